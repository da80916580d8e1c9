// CScriptRule: the JavaScript engine of one rule (source, one hit or no hit) for one batch
// run. The engine is started at the rule's first use with the library script qzmarc.js
// beside the program and the rule's own script, keeps whatever state the scripts build for
// the rest of the run, and is deleted with this object at the end of the run.
#pragma once

#include <platform/text.h>

#include <cstdint>
#include <memory>

class CScriptel;

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

/// The result buffer of one call, in characters.
inline constexpr int32_t kScriptResultSize = 100000;

/// \brief The engine's argument text: the settings file path and the script path, each in
/// double quotes, separated by one blank, with every "Gleanex.ini" replaced by "qzmarc.js".
platform::u16 ScriptStartupArguments(platform::u16v settingsPath, platform::u16v scriptPath);
/// \brief Reads an answer: "stop" and "null" in any letter case, anything else a record text.
ScriptAnswer ReadScriptAnswer(platform::u16v answer);

class CScriptRule {
 public:
  CScriptRule(platform::u16 settingsPath, platform::u16 scriptPath);
  ~CScriptRule();
  CScriptRule(const CScriptRule&) = delete;
  CScriptRule& operator=(const CScriptRule&) = delete;

  /// \brief Starts the engine unless it runs already: false when the library script or the
  /// rule's script could not be read or run (LoadError() says where).
  bool Start();
  /// \brief Runs the script over one record (internal record text without prefix), starting
  /// the engine first when this is the rule's first use. An answer that does not fit the
  /// result buffer is not used: the record is answered unchanged, as it is when the script
  /// fails on it.
  ScriptAnswer Run(platform::u16v record);
  bool started() const { return m_engine != nullptr; }
  /// \brief Why Start failed.
  const ScriptError& LoadError() const { return m_loadError; }
  /// \brief The error of the script on the record of the last Run, the first time one
  /// occurs in this engine's life only: a rule that fails on every record is told once.
  bool TakeFirstItemError(ScriptError& error);

 private:
  ScriptError LastError() const;

  platform::u16 m_settingsPath;
  platform::u16 m_scriptPath;
  std::unique_ptr<CScriptel> m_engine;
  ScriptError m_loadError;
  bool m_itemFailed = false;     // the last Run's record made the script fail
  bool m_itemErrorTaken = false;  // an item error has been handed out
};
