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

  /// \brief Runs the script over one record (internal record text without prefix), starting
  /// the engine first when this is the rule's first use. An answer that does not fit the
  /// result buffer is not used: the record is answered unchanged.
  ScriptAnswer Run(platform::u16v record);
  bool started() const { return m_engine != nullptr; }

 private:
  platform::u16 m_settingsPath;
  platform::u16 m_scriptPath;
  std::unique_ptr<CScriptel> m_engine;
};
