// CScriptRule: the JavaScript engine of one rule (source, one hit or no hit) for one batch
// run. The engine is started at the rule's first use with the library script qzmarc.js
// beside the program and the rule's own script, keeps whatever state the scripts build for
// the rest of the run, and is deleted with this object at the end of the run.
#pragma once

#include <loomkit/RecordText.h>
#include <platform/text.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class CLiveThread;
class CScriptel;
class CSearchHost;

/// What a rule script answered for one record.
struct ScriptAnswer {
  enum Kind { Stop, Null, Text } kind = Null;
  platform::u16 text;  // Text: the new record text
};

/// Where a rule script failed: its file, the engine's message and the line (0: none named).
struct ScriptError {
  platform::u16 file, message;
  int32_t line = 0;
};

/// The result buffer of one call, in characters: it holds one record text.
inline constexpr int32_t kScriptResultSize = loomkit::kRecordBufferSize;
/// What an error of a script that ran past its time limit says (the limit in seconds).
inline constexpr char16_t kScriptRanTooLong[] = u"运行超过%ld秒，已被中止";

/// \brief The engine's argument text: the settings file path and the script path, each in
/// double quotes, separated by one blank, with every "Gleanex.ini" replaced by "qzmarc.js".
platform::u16 ScriptStartupArguments(platform::u16v settingsPath, platform::u16v scriptPath);
/// \brief Reads an answer: "stop" and "null" in any letter case, anything else a record text.
ScriptAnswer ReadScriptAnswer(platform::u16v answer);

class CScriptRule {
 public:
  /// \brief A rule whose engine runs on a thread of its own. Each call of the script may run
  /// for `timeLimit` (0: without limit) and is interrupted past it; while it runs the window
  /// of `host` (when given) stays alive, and its run's stop interrupts the script.
  CScriptRule(platform::u16 settingsPath, platform::u16 scriptPath, std::chrono::seconds timeLimit = {},
              const CSearchHost* host = nullptr);
  ~CScriptRule();
  CScriptRule(const CScriptRule&) = delete;
  CScriptRule& operator=(const CScriptRule&) = delete;

  /// \brief Starts the engine unless it runs already: false when the library script or the
  /// rule's script could not be read or run (LoadError() says where).
  bool Start();
  /// \brief Runs the script over one record (internal record text without prefix), starting
  /// the engine first when this is the rule's first use. An answer that does not fit the
  /// result buffer is not used: the record is answered unchanged, as it is when the script
  /// fails on it or runs past its time limit. A script interrupted by the run's stop answers
  /// "null": the item is not handled further.
  ScriptAnswer Run(platform::u16v record);
  bool started() const { return m_engine != nullptr; }
  /// \brief Whether the last Start or Run was interrupted by the run's stop.
  bool stopped() const { return m_stopped; }
  /// \brief Why Start failed.
  const ScriptError& LoadError() const { return m_loadError; }
  /// \brief The error of the script on the record of the last Run, the first time one
  /// occurs in this engine's life only: a rule that fails on every record is told once.
  bool TakeFirstItemError(ScriptError& error);

 private:
  ScriptError LastError() const;
  // Runs `work` on the engine's thread, bounded and stoppable; sets m_timedOut and m_stopped.
  void RunOnEngine(std::function<void()> work);

  platform::u16 m_settingsPath;
  platform::u16 m_scriptPath;
  std::chrono::seconds m_timeLimit;
  const CSearchHost* m_host;
  std::unique_ptr<CLiveThread> m_thread;
  std::unique_ptr<CScriptel> m_engine;  // made, used and deleted on m_thread
  bool m_timedOut = false;  // the last call ran past its time limit
  bool m_stopped = false;
  ScriptError m_loadError;
  bool m_itemFailed = false;     // the last Run's record made the script fail
  bool m_itemErrorTaken = false;  // an item error has been handed out
};
