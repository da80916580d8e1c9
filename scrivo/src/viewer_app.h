// CViewerApp: the viewer program's start and what it keeps for the whole process: the one
// record reader every read of the main dialog goes through, the path of the viewer's own INI
// file and the program icon.
#pragma once

#include <QIcon>

#include <string>
#include <string_view>

class CMarcFile;

class CViewerApp {
 public:
  /// \brief Runs the main dialog modally with `commandLine` as the file to open; FALSE (0):
  /// the process ends when the dialog closes.
  int InitInstance(const std::u16string& commandLine);
  /// \brief Nothing of its own to release.
  int ExitInstance() { return 0; }
};

/// \brief The record reader of the whole program; it keeps the form detected at a file's
/// first read between calls.
CMarcFile& ViewerReader();

/// \brief The command line as one text: the arguments joined by blanks, as the program's
/// whole command line would read.
std::u16string CommandLineOf(int argc, char** argv);
/// \brief `text` with every double quote removed.
std::u16string RemoveQuotes(std::u16string_view text);
/// \brief The viewer's INI file for an executable path: every ".exe" replaced by ".ini",
/// or ".ini" appended when the name has none.
std::string ViewerIniPath(std::string_view programPath);
/// \brief The program icon (resource 128).
QIcon ViewerIcon();
