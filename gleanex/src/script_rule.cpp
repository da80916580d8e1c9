#include "script_rule.h"

#include "live_call.h"

#include <scriptel/Scriptel.h>

#include <cstdio>
#include <vector>

platform::u16 ScriptStartupArguments(platform::u16v settingsPath, platform::u16v scriptPath) {
  platform::u16 args = platform::format(u"\"%s\" \"%s\"", settingsPath, scriptPath);
  constexpr platform::u16v from = u"Gleanex.ini", to = u"qzmarc.js";
  for (size_t k = args.find(from); k != platform::u16::npos; k = args.find(from, k + to.size()))
    args.replace(k, from.size(), to);
  return args;
}

ScriptAnswer ReadScriptAnswer(platform::u16v answer) {
  if (platform::equalsNoCase(answer, u"stop")) return {ScriptAnswer::Stop, {}};
  if (platform::equalsNoCase(answer, u"null")) return {ScriptAnswer::Null, {}};
  return {ScriptAnswer::Text, platform::u16(answer)};
}

CScriptRule::CScriptRule(platform::u16 settingsPath, platform::u16 scriptPath, std::chrono::seconds timeLimit,
                         const CSearchHost* host)
    : m_settingsPath(std::move(settingsPath)),
      m_scriptPath(std::move(scriptPath)),
      m_timeLimit(timeLimit),
      m_host(host),
      m_thread(std::make_unique<CLiveThread>()) {}

CScriptRule::~CScriptRule() {
  // The engine goes on the thread it was made on, and before the thread.
  if (m_engine) m_thread->Run([this] { m_engine.reset(); }, nullptr, std::chrono::milliseconds(0), {});
}

void CScriptRule::RunOnEngine(std::function<void()> work) {
  CScriptel* engine = m_engine.get();
  LiveEnd end = m_thread->Run(std::move(work), m_host, std::chrono::duration_cast<std::chrono::milliseconds>(m_timeLimit),
                              [engine] { engine->Interrupt(); });
  m_timedOut = end == LiveEnd::TimedOut;
  m_stopped = end == LiveEnd::Stopped;
}

ScriptError CScriptRule::LastError() const {
  ScriptError e;
  constexpr int32_t kSize = 4096;
  std::vector<char16_t> buffer(kSize);
  if (m_engine->GetLastErrorFile(buffer.data(), kSize) > 0) e.file = buffer.data();
  if (m_engine->GetLastError(buffer.data(), kSize) > 0) e.message = buffer.data();
  e.line = m_engine->GetLastErrorLine();
  if (e.file.empty()) e.file = m_scriptPath;
  if (m_timedOut) e.message = platform::format(kScriptRanTooLong, int32_t(m_timeLimit.count()));
  return e;
}

bool CScriptRule::Start() {
  if (m_engine) return true;
  m_engine = std::make_unique<CScriptel>();
  int32_t started = 0;
  const platform::u16 arguments = ScriptStartupArguments(m_settingsPath, m_scriptPath);
  RunOnEngine([&] { started = m_engine->Startup(u"javascript", arguments.c_str()); });
  if (started && !m_timedOut && !m_stopped) return true;
  m_loadError = LastError();
  return false;
}

bool CScriptRule::TakeFirstItemError(ScriptError& error) {
  if (!m_itemFailed || m_itemErrorTaken) return false;
  m_itemErrorTaken = true;
  error = LastError();
  return true;
}

ScriptAnswer CScriptRule::Run(platform::u16v record) {
  Start();
  platform::u16 input(record);
  std::vector<char16_t> buffer(kScriptResultSize);
  int32_t length = kScriptResultSize;
  int32_t answered = 0, whole = 0;
  RunOnEngine([&] {
    answered = m_engine->SetParameters(input.c_str());
    whole = m_engine->GetResult(buffer.data(), length);
  });
  if (m_stopped) return {ScriptAnswer::Null, {}};
  m_itemFailed = answered == 0;
  if (!whole) {
    // A cut record would be a broken one: keep the record as it was.
    std::fprintf(stderr, "Gleanex: a rule answer of %d characters does not fit %d; the record is kept\n",
                 int(length), int(kScriptResultSize));
    return {ScriptAnswer::Text, input};
  }
  return ReadScriptAnswer(platform::u16v(buffer.data()));
}
