// Rule scripts through the real engine (ScriptelU over QJSEngine) with qzmarc.js as the
// build puts it beside the program: the answers the batch run reads, the engine's state
// across records, the result buffer, and the record helpers of the library script.
#include "script_rule.h"

#include <platform/paths.h>
#include <qorvel_testing/testing.h>
#include <scriptel/Scriptel.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using platform::u16;

// A record with a control field, an escaped subfield ("A B&C" and a quote) and a field
// without indicators.
const u16 kRecord =
    u"<marc><header>00000nam\u00110\u00112200000\u0011\u0011\u001145\u0011\u0011</header>"
    u"<field name=\"001\">012345</field>"
    u"<field name=\"010\" indicator=\"\u0011\u0011\"><sf name=\"a\">7-02-001234-5</sf></field>"
    u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">A\u0011B\u0012C\u0015</sf><sf name=\"f\">x</sf></field>"
    u"<field name=\"905\"><sf name=\"d\">y</sf></field></marc>";

class ScriptRuleTest : public ::testing::Test {
 protected:
  u16 settingsPath() const { return platform::fromUtf8(platform::joinPath(platform::programFolder(), "Gleanex.ini")); }
  // A rule script in the temporary folder; its path.
  u16 script(const std::string& body, const std::string& name = "rule.js") {
    fs::path p = dir / name;
    qtest::writeFile(p, body);
    return platform::fromUtf8(p.string());
  }
  ScriptAnswer runOnce(const std::string& body, const u16& record = kRecord) {
    CScriptRule rule(settingsPath(), script(body));
    return rule.Run(record);
  }
  qtest::TempDir dir;
};

TEST(ScriptArguments, LibraryScriptBesideTheProgramThenTheRule) {
  struct Case { const char16_t* settings; const char16_t* script; const char16_t* expected; };
  const Case cases[] = {
      {u"C:\\App\\Gleanex.ini", u"D:\\r.js", u"\"C:\\App\\qzmarc.js\" \"D:\\r.js\""},
      {u"/opt/q m/Gleanex.ini", u"/home/a b/rule.js", u"\"/opt/q m/qzmarc.js\" \"/home/a b/rule.js\""},
      // Every occurrence is replaced, the rule's own path too.
      {u"/a/Gleanex.ini", u"/b/Gleanex.ini.js", u"\"/a/qzmarc.js\" \"/b/qzmarc.js.js\""},
  };
  for (const Case& c : cases) EXPECT_EQ(ScriptStartupArguments(c.settings, c.script), c.expected) << platform::toUtf8(c.script);
}

TEST(ScriptAnswers, StopAndNullInAnyLetterCase) {
  struct Case { const char16_t* answer; ScriptAnswer::Kind kind; };
  const Case cases[] = {
      {u"stop", ScriptAnswer::Stop}, {u"STOP", ScriptAnswer::Stop}, {u"Stop", ScriptAnswer::Stop},
      {u"null", ScriptAnswer::Null}, {u"NULL", ScriptAnswer::Null}, {u"nUlL", ScriptAnswer::Null},
      {u" stop", ScriptAnswer::Text}, {u"nullx", ScriptAnswer::Text}, {u"", ScriptAnswer::Text},
      {u"<marc></marc>", ScriptAnswer::Text},
  };
  for (const Case& c : cases) {
    ScriptAnswer a = ReadScriptAnswer(c.answer);
    EXPECT_EQ(a.kind, c.kind) << platform::toUtf8(c.answer);
    if (a.kind == ScriptAnswer::Text) {
      EXPECT_EQ(a.text, c.answer);
    }
  }
}

TEST_F(ScriptRuleTest, AnswersOfRuleScripts) {
  struct Case { const char* name; std::string body; ScriptAnswer::Kind kind; u16 text; };
  const Case cases[] = {
      {"stop", "function process(t) { return 'Stop'; }", ScriptAnswer::Stop, u""},
      {"null text", "function process(t) { return 'NULL'; }", ScriptAnswer::Null, u""},
      {"null value", "function process(t) { return null; }", ScriptAnswer::Null, u""},
      {"no answer", "function process(t) { }", ScriptAnswer::Null, u""},
      {"same text", "function process(t) { return t; }", ScriptAnswer::Text, kRecord},
      {"decoded value", "function process(t) { return new MarcRecord(t).getSubfield('200', 'a'); }",
       ScriptAnswer::Text, u"A B&C\""},
      {"isbn", "function process(t) { return new MarcRecord(t).isbn(); }", ScriptAnswer::Text, u"7-02-001234-5"},
      // A broken rule never loses the record: it comes back unchanged.
      {"syntax error", "function process(t) { return ; ) }", ScriptAnswer::Text, kRecord},
      {"exception", "function process(t) { throw new Error('bad'); }", ScriptAnswer::Text, kRecord},
      {"no process", "var x = 1;", ScriptAnswer::Text, kRecord},
      // An answer longer than the result buffer would be cut into a broken record.
      {"too long", "function process(t) { return new Array(100001).join('x'); }", ScriptAnswer::Text, kRecord},
      {"just fits", "function process(t) { return new Array(100000).join('y'); }", ScriptAnswer::Text,
       u16(99999, u'y')},
  };
  for (const Case& c : cases) {
    ScriptAnswer a = runOnce(c.body);
    EXPECT_EQ(a.kind, c.kind) << c.name;
    EXPECT_EQ(a.text, c.text) << c.name;
  }
}

TEST_F(ScriptRuleTest, EngineStartsOnceAndKeepsItsStateForTheRun) {
  CScriptRule rule(settingsPath(), script("var n = 0; function process(t) { n++; return n == 3 ? 'stop' : 'seen ' + n; }"));
  EXPECT_FALSE(rule.started());
  EXPECT_EQ(rule.Run(kRecord).text, u"seen 1");
  EXPECT_TRUE(rule.started());
  EXPECT_EQ(rule.Run(kRecord).text, u"seen 2");
  EXPECT_EQ(rule.Run(kRecord).kind, ScriptAnswer::Stop);
}

TEST_F(ScriptRuleTest, HelpersChangeTheRecordText) {
  struct Case { const char* name; std::string body; u16 expected; };
  const u16 head = u"<marc><header>00000nam\u00110\u00112200000\u0011\u0011\u001145\u0011\u0011</header>";
  const u16 f001 = u"<field name=\"001\">012345</field>";
  const u16 f010 = u"<field name=\"010\" indicator=\"\u0011\u0011\"><sf name=\"a\">7-02-001234-5</sf></field>";
  const u16 f200 = u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">A\u0011B\u0012C\u0015</sf><sf name=\"f\">x</sf></field>";
  const u16 f905 = u"<field name=\"905\"><sf name=\"d\">y</sf></field>";
  const Case cases[] = {
      {"round trip", "return r.toString();", head + f001 + f010 + f200 + f905 + u"</marc>"},
      {"set existing", "r.setSubfield('010', 'a', '978 7<1>'); return r.toString();",
       head + f001 + u"<field name=\"010\" indicator=\"\u0011\u0011\"><sf name=\"a\">978\u00117\u00131\u0014</sf></field>" +
           f200 + f905 + u"</marc>"},
      {"new field in tag order", "r.setSubfield('801', 'a', 'CN'); return r.toString();",
       head + f001 + f010 + f200 + u"<field name=\"801\" indicator=\"\u0011\u0011\"><sf name=\"a\">CN</sf></field>" + f905 +
           u"</marc>"},
      {"remove field", "r.removeField('200'); return r.toString();", head + f001 + f010 + f905 + u"</marc>"},
      {"remove subfields", "r.removeSubfields('200', 'f'); return r.toString();",
       head + f001 + f010 +
           u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">A\u0011B\u0012C\u0015</sf></field>" + f905 + u"</marc>"},
      {"control field", "r.setControl('005', '2026'); return r.getControl('001') + '|' + r.count('005');", u"012345|1"},
      {"leader", "r.leader = r.leader.substr(0, 5) + 'c' + r.leader.substr(6); return r.toString().substr(0, 25);",
       u"<marc><header>00000cam\u00110\u0011"},
      {"every subfield", "r.addSubfield('200', 'a', 'second'); return r.getSubfields('200', 'a').join('/');",
       u"A B&C\"/second"},
  };
  for (const Case& c : cases) {
    ScriptAnswer a = runOnce("function process(t) { var r = new MarcRecord(t); " + c.body + " }");
    EXPECT_EQ(a.kind, ScriptAnswer::Text) << c.name;
    EXPECT_EQ(a.text, c.expected) << c.name;
  }
}

TEST_F(ScriptRuleTest, ScriptFilesInGbkAndWithAMarkAreRead) {
  // "书" in code page 936 (CA E9) and with the UTF-8 mark.
  struct Case { std::string bytes; u16 expected; };
  const Case cases[] = {
      {"function process(t) { return '\xCA\xE9'; }", u"书"},
      {"\xEF\xBB\xBF" "function process(t) { return '\xE4\xB9\xA6'; }", u"书"},
  };
  for (const Case& c : cases) EXPECT_EQ(runOnce(c.bytes).text, c.expected);
}

TEST(ScriptelEngine, ResultIsCutSafelyIntoTheBuffer) {
  qtest::TempDir dir;
  qtest::writeFile(dir / "r.js", "function process(t) { return 'ab\\uD83D\\uDE00'; }");
  CScriptel engine;
  ASSERT_EQ(engine.Startup(u"JavaScript", platform::fromUtf8("\"" + (dir / "r.js").string() + "\"").c_str()), 1);
  ASSERT_EQ(engine.SetParameters(u"x"), 1);
  struct Case { int32_t size; int32_t result; u16 text; };
  const Case cases[] = {
      {5, 1, u"ab\U0001F600"},  // four units and the NUL
      {4, 0, u"ab"},            // the pair is not split
      {2, 0, u"a"},
      {1, 0, u""},
  };
  for (const Case& c : cases) {
    char16_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    int32_t length = c.size;
    EXPECT_EQ(engine.GetResult(buffer, length), c.result) << c.size;
    EXPECT_EQ(length, 4) << c.size;
    EXPECT_EQ(u16(buffer), c.text) << c.size;
    EXPECT_EQ(buffer[c.size], u'#') << "wrote past the buffer of " << c.size;
  }
}

TEST(ScriptelEngine, ErrorsNameTheirFileAndLine) {
  qtest::TempDir dir;
  const std::string path = (dir / "r.js").string();
  qtest::writeFile(dir / "r.js", "var a = 1;\nfunction process(t) {\n  return t.noSuch.x;\n}\n");
  CScriptel engine;
  ASSERT_EQ(engine.Startup(u"javascript", platform::fromUtf8("\"" + path + "\"").c_str()), 1);
  EXPECT_EQ(engine.SetParameters(u"x"), 0);
  char16_t text[256];
  ASSERT_GT(engine.GetLastErrorFile(text, 256), 0);
  EXPECT_EQ(platform::toUtf8(text), path);
  EXPECT_EQ(engine.GetLastErrorLine(), 3);
  ASSERT_GT(engine.GetLastError(text, 256), 0);
  EXPECT_EQ(platform::toUtf8(text).rfind("TypeError", 0), 0u) << platform::toUtf8(text);
}

TEST(ScriptelEngine, UnknownLanguageOrMissingFileFailsStartup) {
  CScriptel vb;
  EXPECT_EQ(vb.Startup(u"vbscript", u""), 0);
  CScriptel missing;
  EXPECT_EQ(missing.Startup(u"javascript", u"\"/no/such/file.js\""), 0);
  char16_t error[256];
  EXPECT_GT(missing.GetLastError(error, 256), 0);
  ASSERT_GT(missing.GetLastErrorFile(error, 256), 0);
  EXPECT_EQ(u16(error), u"/no/such/file.js");
  EXPECT_EQ(missing.GetLastErrorLine(), 0);
  // Without a process function the record is answered unchanged.
  EXPECT_EQ(missing.SetParameters(u"<marc></marc>"), 0);
  char16_t out[32];
  int32_t length = 32;
  EXPECT_EQ(missing.GetResult(out, length), 1);
  EXPECT_EQ(u16(out), u"<marc></marc>");
}

// A script that never ends, at its top level or on a record, is ended by Interrupt from
// another thread as a failing script is: the record comes back unchanged, the error names
// the file (the engine names no line for an interrupted script), and the engine goes on
// with the next record.
TEST(ScriptelEngine, InterruptEndsAScriptThatRunsForEver) {
  qtest::TempDir dir;
  const std::string looping = (dir / "loop.js").string(), top = (dir / "top.js").string();
  qtest::writeFile(looping, "function process(t) {\n  if (t == 'loop')\n    for (;;) {}\n  return 'done ' + t;\n}\n");
  qtest::writeFile(top, "var n = 0;\nwhile (true) { n++; }\n");
  // Interrupts from a moment on and again every 10 ms until the call has come back, so that an
  // interrupt that came before the engine was running (a loaded machine) does not leave the
  // test looping for ever.
  std::atomic<bool> returned{false};
  auto interruptSoon = [&returned](CScriptel& engine) {
    returned = false;
    return std::thread([&engine, &returned] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      while (!returned) {
        engine.Interrupt();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  };
  char16_t text[256];
  {
    CScriptel engine;
    engine.Interrupt();  // nothing runs: no effect
    ASSERT_EQ(engine.Startup(u"javascript", platform::fromUtf8("\"" + looping + "\"").c_str()), 1);
    std::thread interrupter = interruptSoon(engine);
    EXPECT_EQ(engine.SetParameters(u"loop"), 0);
    returned = true;
    interrupter.join();
    ASSERT_GT(engine.GetLastError(text, 256), 0);
    EXPECT_EQ(u16(text), u"the script was interrupted");
    ASSERT_GT(engine.GetLastErrorFile(text, 256), 0);
    EXPECT_EQ(platform::toUtf8(text), looping);
    EXPECT_EQ(engine.GetLastErrorLine(), 0);
    int32_t length = 256;
    ASSERT_EQ(engine.GetResult(text, length), 1);
    EXPECT_EQ(u16(text), u"loop") << "the record is answered unchanged";
    EXPECT_EQ(engine.SetParameters(u"next"), 1) << "an earlier interruption does not end the next call";
    length = 256;
    ASSERT_EQ(engine.GetResult(text, length), 1);
    EXPECT_EQ(u16(text), u"done next");
  }
  CScriptel engine;
  std::thread interrupter = interruptSoon(engine);
  EXPECT_EQ(engine.Startup(u"javascript", platform::fromUtf8("\"" + top + "\" \"" + looping + "\"").c_str()), 0);
  returned = true;
  interrupter.join();
  ASSERT_GT(engine.GetLastErrorFile(text, 256), 0);
  EXPECT_EQ(platform::toUtf8(text), top) << "the file that ran when it was interrupted";
  EXPECT_EQ(engine.GetLastErrorLine(), 0);
}

}  // namespace
