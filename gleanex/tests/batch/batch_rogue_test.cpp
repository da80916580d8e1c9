// Whole batch runs against a Z39.50 server that misbehaves (the zoom tests' rogue server)
// and with rule scripts that never end: 停止 ends the run at once whatever the server or the
// script does, nothing the server sends is taken for a record, and each server's trouble is
// told once, with what it cost counted at the run's end.
#include "batch_fixture.h"
#include "live_call.h"
#include "main_dlg.h"

#include <ui_testing/modal_script.h>

#include <QTimer>

#include <gtest/gtest.h>

#ifdef GLEANEX_WITH_ZSERVER
#include <server_process.h>

namespace {

using namespace batchtest;
using Clock = std::chrono::steady_clock;

class RogueRun : public BatchRun {
 protected:
  void SetUp() override {
    BatchRun::SetUp();
    CAppSettings& s = theApp().settings;
    s.servers = {u"z39.50://rogue/Default?p=public/?r=no?n=0"};
    s.oneHit.output = wide(out("one.mrc"));
    s.noHit.output = wide(out("none.mrc"));
    writeSource({{"a", "1"}, {"b", "3"}, {"c", "0"}, {"d", ""}});
  }
  void TearDown() override {
    // A call given up at a stop ends once its server is gone.
    server.reset();
    WaitForAbandonedCalls();
  }
  /// \brief Starts the rogue server as `behaviour` says, with a time-out of `timeout` seconds
  /// for its operations.
  void serve(std::vector<std::string> behaviour, int timeout = 60) {
    server = std::make_unique<ztest::ServerProcess>(ZOOM_ROGUE_SERVER, std::move(behaviour), dir.path() / "rogue.log");
    ASSERT_TRUE(server->running());
    platform::writeProfileString(u"Loomstore.ini", u"Servers", u"rogue", u"z39.50");
    platform::writeProfileString(u"Loomstore.ini", u"rogue", u"IP", u"127.0.0.1");
    platform::writeProfileString(u"Loomstore.ini", u"rogue", u"port", platform::fromUtf8(std::to_string(server->port())));
    platform::writeProfileString(u"Loomstore.ini", u"rogue", u"timeout", platform::fromUtf8(std::to_string(timeout)));
  }
  std::string hostText() const { return "rogue:" + std::to_string(server->port()); }
  std::vector<std::string> texts(const uitest::ModalScript& script) const {
    std::vector<std::string> t;
    for (const auto& m : script.messages()) t.push_back(m.text.toStdString());
    return t;
  }

  std::unique_ptr<ztest::ServerProcess> server;
};

// 停止 pressed a moment after the run started, while a script loops (on a record, or in its
// top-level code before the first item) or while a server keeps the client waiting: the run
// ends as interrupted well within a second of the press, and no item is handled.
TEST_F(RogueRun, StopEndsALoopingScriptOrAServerThatKeepsTheRunWaiting) {
  const std::string loopOnRecord = "function process(text) { for (;;) {} }\n";
  const std::string loopAtTop = "while (true) {}\nfunction process(text) { return 'null'; }\n";
  struct Case {
    const char* what;
    std::vector<std::string> behaviour;
    std::string script;  // the source rule, none when empty
    int items;           // how many source items
  } cases[] = {
      {"a rule script that loops on a record", {}, loopOnRecord, 4},
      {"a rule script that loops at its top level", {}, loopAtTop, 4},
      {"a server that never answers a search", {"search=silent"}, "", 4},
      {"a server that answers searches with present responses", {"search=present"}, "", 3000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    serve(c.behaviour);
    std::string bytes;
    for (int i = 0; i < c.items; ++i) bytes += sourceRecord("i" + std::to_string(i), std::to_string(i % 5));
    qtest::writeFile(source(), bytes);
    CAppSettings& s = theApp().settings;
    s.sourceRuleOn = !c.script.empty();
    s.sourceRuleScript = c.script.empty() ? u16() : ruleScript(dir, "loop.js", c.script);
    std::filesystem::remove(out("one.mrc"));
    std::filesystem::remove(out("none.mrc"));

    uitest::ModalScript script;
    CGleanexDlg dlg;
    dlg.initialize();
    ui::setChecked(&dlg, 1001, s.sourceRuleOn);
    ui::setControlText(&dlg, 1002, QString::fromStdU16String(s.sourceRuleScript));
    ui::setControlText(&dlg, 1000, QString::fromStdString(source().string()));
    Clock::time_point pressed{};
    QTimer::singleShot(300, &dlg, [&] {
      pressed = Clock::now();
      uitest::click(&dlg, ui::IDCANCEL);
    });
    dlg.OnOK();
    ASSERT_NE(pressed, Clock::time_point{}) << "the run ended before 停止 was pressed";
    const double afterPress = std::chrono::duration<double>(Clock::now() - pressed).count();
    EXPECT_LT(afterPress, 3.0) << "the run went on after 停止";
    std::printf("%s: the run ended %.0f ms after 停止\n", c.what, afterPress * 1000);
    EXPECT_TRUE(ui::controlText(&dlg, 1017).startsWith(QStringLiteral(u"用户中断，已处理"))) << ui::controlText(&dlg, 1017).toStdString();
    EXPECT_EQ(ui::controlText(&dlg, ui::IDCANCEL), QStringLiteral(u"退出"));
    if (!c.script.empty()) {
      EXPECT_EQ(ui::controlText(&dlg, 1017).toStdU16String(), u"用户中断，已处理0条记录");
      EXPECT_TRUE(script.messages().empty()) << "a stopped script is no failing one: " << texts(script).front();
      EXPECT_FALSE(std::filesystem::exists(out("none.mrc")));
    }
    server.reset();
    WaitForAbandonedCalls();
  }
}

// A rule script that runs past [系统参数] 脚本时限 on some records is interrupted each time;
// it is told once, like a script that fails, and each such item goes on with its record as
// it was.
TEST_F(RogueRun, AScriptPastItsTimeLimitIsToldOnceAndItsItemsGoOn) {
  serve({"hits=0"});
  CAppSettings& s = theApp().settings;
  s.scriptSeconds = 1;
  s.noHit.script = ruleScript(dir, "slow.js",
                              "function process(text) {\n"
                              "  var rec = new MarcRecord(text);\n"
                              "  if (rec.getControl(\"001\") != \"b\") { for (;;) {} }\n"
                              "  rec.setSubfield(\"801\", \"a\", \"CN\");\n"
                              "  return rec.toString();\n"
                              "}\n");
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(dlg.noHitCount, 4);
  std::vector<std::string> messages = texts(script);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "JavaScript程序[" + utf8(s.noHit.script) + "]处理记录时出错，本次处理中不再提示!\n运行超过1秒，已被中止");
  std::vector<u16> none = readRecords(out("none.mrc"));
  ASSERT_EQ(none.size(), 4u);
  for (size_t i = 0; i < none.size(); ++i)
    EXPECT_EQ(has(none[i], "<field name=\"801\""), i == 1) << "only b's rule came to its end: " << i;
}

TEST_F(RogueRun, HitCountsBelowZeroAreNoHitsAndHugeOnesSeveral) {
  struct Case {
    const char* hits;
    int32_t one, several, none;
  } cases[] = {{"-1", 0, 0, 4}, {"-2147483649", 0, 0, 4}, {"1099511627776", 0, 3, 1}, {"1", 3, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hits);
    serve({std::string("hits=") + c.hits});
    std::filesystem::remove(out("one.mrc"));
    std::filesystem::remove(out("none.mrc"));
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
    EXPECT_EQ(std::make_tuple(dlg.oneHitCount, dlg.multiHitCount, dlg.noHitCount), std::make_tuple(c.one, c.several, c.none));
    // Several hits go through the first-hit strategy: one record per item with hits.
    EXPECT_EQ(readRecords(out("one.mrc")).size(), size_t(c.one + c.several));
    EXPECT_EQ(readRecords(out("none.mrc")).size(), size_t(c.none));
    EXPECT_TRUE(script.messages().empty()) << texts(script).front();
  }
}

// Bytes that are no ISO 2709 record, sent as a USMARC record: the items are errors, never
// hits, nothing goes into the hits file, and the run's end says why.
TEST_F(RogueRun, BytesThatAreNoRecordAreAnErrorNotAHit) {
  serve({"hits=1", "record=junk"});
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(std::make_tuple(dlg.oneHitCount, dlg.multiHitCount, dlg.noHitCount, dlg.errorCount),
            std::make_tuple(0, 0, 1, 3));
  EXPECT_FALSE(std::filesystem::exists(out("one.mrc")));
  EXPECT_EQ(texts(script), (std::vector<std::string>{"3条记录在Z39.50服务器: " + hostText() +
                                                     "上有命中，但命中记录无法取回(错误号: 10003)，未作为命中处理!"}));
}

// A server that dies after the first search, or stops answering after it, or is down from
// the start: told once (the box naming it, or the reconnection's box), the run goes on, and
// its end says how many items the server could not search.
TEST_F(RogueRun, AServerThatFailsMidRunIsToldOnceAndItsMissedItemsCounted) {
  struct Case {
    const char* what;
    std::vector<std::string> behaviour;
    const char16_t* entry;
    bool downFromStart;
    int notSearched;
    bool lostBox;  // the first box names the server (else it is the reconnection's)
  } cases[] = {
      {"dies", {"die-after=1"}, u"z39.50://rogue/Default?p=public/?r=no?n=0", false, 2, true},
      {"dies, reconnected for every search", {"die-after=1"}, u"z39.50://rogue/Default?p=public/?r=yes?n=0", false, 2, true},
      {"stops answering", {"silent-after=1"}, u"z39.50://rogue/Default?p=public/?r=no?n=0", false, 2, true},
      {"down from the start, reconnected for every search", {}, u"z39.50://rogue/Default?p=public/?r=yes?n=0", true, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    serve(c.behaviour, 1);
    if (c.downFromStart) {
      platform::writeProfileString(u"Loomstore.ini", u"rogue", u"port", platform::fromUtf8(std::to_string(ztest::closedPort())));
    }
    theApp().settings.servers = {c.entry};
    std::filesystem::remove(out("one.mrc"));
    std::filesystem::remove(out("none.mrc"));
    uitest::ModalScript script;
    CGleanexDlg dlg;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 20.0) << "a server that stopped answering is waited for once";
    EXPECT_EQ(dlg.oneHitCount, c.downFromStart ? 0 : 1);
    EXPECT_EQ(dlg.noHitCount, c.downFromStart ? 4 : 3);
    std::vector<std::string> messages = texts(script);
    ASSERT_EQ(messages.size(), 2u);
    if (c.lostBox) {
      EXPECT_EQ(messages[0], "Z39.50服务器: " + hostText() + "没有响应或已断开连接，处理结束时将报告未在该服务器上检索的记录数!");
    } else {
      EXPECT_EQ(messages[0], "连接指定的Z39.50服务器失败！");
    }
    const std::string port = platform::toUtf8(platform::profileString(u"Loomstore.ini", u"rogue", u"port", u"", 16));
    EXPECT_EQ(messages[1], std::to_string(c.notSearched) + "条记录未能在Z39.50服务器: rogue:" + port + "上检索!");
  }
}

// A server that answers searches but not the fetch of their hits: the fetch that timed out
// marks it down, as a search that timed out does, so the items after it do not wait for it
// again; the end says which hits could not be fetched and which items were not searched.
TEST_F(RogueRun, AServerWhoseFetchTimesOutIsSearchedNoMore) {
  serve({"present=silent"}, 1);
  theApp().settings.servers = {u"z39.50://rogue/Default?p=public/?r=no?n=0"};
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(dlg.oneHitCount, 0);
  EXPECT_EQ(dlg.noHitCount, 3);
  const std::vector<std::string> messages = texts(script);
  const std::string host = hostText();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "2条记录未能在Z39.50服务器: " + host + "上检索!\n1条记录在Z39.50服务器: " + host +
                             "上有命中，但命中记录无法取回(错误号: 10007)，未作为命中处理!");
}

}  // namespace

#endif  // GLEANEX_WITH_ZSERVER
