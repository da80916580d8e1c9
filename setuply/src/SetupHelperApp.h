// What the exports share: the library's application object, which makes the Qt application
// an installer script does not have when a window is about to be shown, the narrow texts of
// the interface, and the library's message boxes.
#pragma once

#include <ui/modal.h>

#include <QString>

#include <string>

class QLineEdit;
class QWidget;

/// The library's application object, made when the library is loaded. Windows needs the
/// sockets layer started there; Linux sockets need no start-up, so loading never fails.
/// An installer often runs without a display: the Qt application is made only when a window
/// is about to be shown, so that the exports that show none work anywhere.
class CSetupHelperApp {
 public:
  CSetupHelperApp();
  virtual ~CSetupHelperApp();

  /// \brief True when windows can be shown: the host's Qt application, or one made now and
  /// kept for the life of the process. False, making nothing, when there is no display to
  /// show them on (creating the application there would end the host process).
  bool InitGui();
};

namespace setuply {

/// \brief Whether the Qt application could be made here without ending the process: the
/// platform that QT_QPA_PLATFORM names, else an X display that answers, else a Wayland
/// session whose compositor answers and for which Qt has its platform plugin.
bool displayAvailable();

/// \brief Whether the dialog of `exportName` can be shown; when not, says so in one line on
/// stderr, and the export answers as if it had been cancelled.
bool canShowDialog(const char* exportName);

/// \brief A narrow argument (ANSI code page) as UTF-16; null is empty.
std::u16string wideArg(const char* text);
/// \brief A narrow path argument as a file-system path (UTF-8).
std::string pathArg(const char* text);
/// \brief Copies `text` in the ANSI code page with its NUL into a caller's buffer of
/// kSetuplyBufferSize bytes, cut at a character boundary when it would not fit; nothing for null.
void copyNarrow(const QString& text, char* buffer);

/// \brief Keeps an edit box's text short enough for copyNarrow to return it whole; returns it.
QLineEdit* limitToBuffer(QLineEdit* edit);

/// \brief Lets an edit box take digits only; returns it.
QLineEdit* digitsOnly(QLineEdit* edit);

/// \brief A message box of the library (its caption the library's name); without a display
/// the text goes to stderr as one line and the box counts as answered OK.
int message(QWidget* parent, const QString& text, ui::Icon icon = ui::Icon::None);

/// \brief The dialogs' parent: the host's active window, none when it has none.
QWidget* hostWindow();

/// \brief Whether `file`, a path inside the install folder `folder`, may be written: no part
/// of it below the folder is a symbolic link, or every link that is belongs to the folder's
/// owner, and the file (or, when it does not exist yet, the folder it would be made in) lies
/// inside the folder once every link is followed. A link that leads nowhere is refused.
bool staysInFolder(const std::string& folder, const std::string& file);

}  // namespace setuply
