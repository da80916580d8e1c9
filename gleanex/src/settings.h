// The settings of the batch harvester and the program's application object: Gleanex.ini
// beside the executable, read once at start and written at each run start and at exit.
#pragma once

#include <platform/text.h>

#include <cstdint>
#include <vector>

using platform::u16;
using platform::u16v;

/// One hit rule (one hit or no hit): a script, an ISO 2709 output file, up to three databases.
struct CHitRule {
  u16 script, output;
  u16 database[3];
};

/// The key of [系统参数] that bounds a rule script's calls, and its default in seconds.
inline constexpr char16_t kScriptLimitKey[] = u"脚本时限";
inline constexpr int32_t kDefaultScriptSeconds = 10;

/// Several-hits strategies.
enum : int32_t { kStrategyChoose = 1019, kStrategyFirst = 1020, kStrategyAll = 1021 };

class CAppSettings {
 public:
  bool sourceRuleOn = false;
  u16 sourceRuleScript;
  u16 schemeName;
  int32_t codePage = 0;         // 0 GBK, -1 UTF-16LE, 65001 UTF-8, -2 EACC
  bool recordSeparator = false; // a line break after each output record
  int32_t marker = 0;           // EACC lead-in variant (3 or 4), or the file-header flag
  u16 userName = u"root";
  u16 password;
  std::vector<u16> servers;     // resource paths with the options suffix
  CHitRule oneHit;
  int32_t multiStrategy = 0;
  u16 multiOutput;
  CHitRule noHit;
  int32_t waitSeconds = 0;
  /// Seconds one call of a rule script may run before it is interrupted; 0 or less: no limit.
  int32_t scriptSeconds = kDefaultScriptSeconds;

  /// \brief Reads the settings file; missing keys take the file defaults.
  void Load(const u16& path);
  /// \brief Writes every setting; false when the file cannot be written.
  bool Save(const u16& path) const;
};

/// The application object: the program folder (ending with "/"), the settings file beside
/// the executable and the settings themselves.
class CGleanexApp {
 public:
  u16 programFolder;
  u16 settingsPath;
  CAppSettings settings;

  /// \brief Sets the program folder (a "/" is added when missing) and the settings path.
  void SetProgramFolder(u16v folder);
  void LoadSettings() { settings.Load(settingsPath); }
  /// \brief Writes the settings file; a file that cannot be written (its lock kept by another
  /// program, a full disk, no right to write) is named in a message and false is returned.
  bool SaveSettings();
};

/// \brief The one application object.
CGleanexApp& theApp();

class QWidget;

/// Formats a message into 1,024 characters and shows it in a plain message box (OK, no icon).
class CMessageReporter {
 public:
  QWidget* parent = nullptr;
  template <class... A>
  void operator()(u16v fmt, const A&... args) const {
    Show(platform::formatCut(1024, fmt, args...));
  }
  void Show(const u16& text) const;
};

/// \brief The one message reporter.
CMessageReporter& theReporter();
