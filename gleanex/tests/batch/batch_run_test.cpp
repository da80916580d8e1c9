// Whole batch runs from a small ISO 2709 source: against yaz-ztest (its hit count is the
// number searched for) and against the record server stand-in, with the outputs read back
// from the ISO 2709 files and from the stand-in's databases.
#include "browse_dlg.h"
#include "main_dlg.h"
#include "batch_fixture.h"
#include "z3950_conn.h"

#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/paths.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <store/store.h>
#include <ui_testing/modal_script.h>

#include <QCoreApplication>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <marc_fixture.h>
#ifdef GLEANEX_WITH_ZSERVER
#include <server_process.h>
#endif

namespace {

using namespace batchtest;
namespace fs = std::filesystem;

#ifdef GLEANEX_WITH_ZSERVER

class ZtestRun : public BatchRun {
 protected:
  void SetUp() override {
    BatchRun::SetUp();
    server = std::make_unique<ztest::ServerProcess>("yaz-ztest", std::vector<std::string>{"-S"}, dir.path() / "ztest.log");
    ASSERT_TRUE(server->running());
    platform::writeProfileString(u"Loomstore.ini", u"Servers", u"ztest", u"z39.50");
    platform::writeProfileString(u"Loomstore.ini", u"ztest", u"IP", u"127.0.0.1");
    platform::writeProfileString(u"Loomstore.ini", u"ztest", u"port", platform::fromUtf8(std::to_string(server->port())));
    CAppSettings& s = theApp().settings;
    s.servers = {u"z39.50://ztest/Default?p=public/?r=no?n=0"};
    s.oneHit.output = wide(out("one.mrc"));
    s.noHit.output = wide(out("none.mrc"));
    s.multiOutput = wide(out("multi.mrc"));
    writeSource({{"a", "1"}, {"b", "3"}, {"c", "0"}, {"d", ""}});
  }
  std::unique_ptr<ztest::ServerProcess> server;
};

TEST_F(ZtestRun, EachItemEndsInItsRule) {
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(dlg.oneHitCount, 1);
  EXPECT_EQ(dlg.multiHitCount, 1);
  EXPECT_EQ(dlg.noHitCount, 2);
  EXPECT_EQ(ui::controlText(&dlg, 1016), "2");
  EXPECT_EQ(ui::controlText(&dlg, ui::IDCANCEL), QStringLiteral(u"退出"));
  EXPECT_TRUE(ui::findControl(&dlg, ui::IDOK)->isEnabled());
  EXPECT_TRUE(script.records().empty()) << script.records().front().text.toStdString();

  // The one hit and the first of the three hits, as the server sent them.
  std::vector<u16> one = readRecords(out("one.mrc"));
  ASSERT_EQ(one.size(), 2u);
  for (const u16& r : one) EXPECT_TRUE(has(r, "<marc>")) << utf8(r);
  // The unmatched source items, as they were read.
  std::vector<u16> none = readRecords(out("none.mrc"));
  ASSERT_EQ(none.size(), 2u);
  EXPECT_TRUE(has(none[0], "<field name=\"001\">c</field>")) << utf8(none[0]);
  EXPECT_TRUE(has(none[1], "<field name=\"001\">d</field>")) << utf8(none[1]);
  EXPECT_FALSE(fs::exists(out("multi.mrc")));
  // The run saved the settings at its start.
  EXPECT_TRUE(fs::exists(dir.path() / "Gleanex.ini"));
}

TEST_F(ZtestRun, TheFirstServerWithHitsDecides) {
  // A server that finds nothing (it cannot be reached) comes first; the same server twice
  // after it: the first of them takes every item with hits.
  platform::writeProfileString(u"Loomstore.ini", u"Servers", u"dead", u"z39.50");
  platform::writeProfileString(u"Loomstore.ini", u"dead", u"port", platform::fromUtf8(std::to_string(ztest::closedPort())));
  theApp().settings.servers = {u"z39.50://dead/Default?p=public/?r=no?n=0", u"z39.50://ztest/Default?p=public/?r=no?n=0",
                               u"z39.50://ztest/Default?p=public/?r=no?n=0"};
  uitest::ModalScript script;
  CGleanexDlg dlg;
  run(dlg);
  EXPECT_EQ(std::make_tuple(dlg.oneHitCount, dlg.multiHitCount, dlg.noHitCount), std::make_tuple(1, 1, 2));
  EXPECT_EQ(readRecords(out("one.mrc")).size(), 2u) << "the one hit and the first of the several";
}

TEST_F(ZtestRun, SkippedItemsAreNeitherHandledNorCounted) {
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg, 2).toStdU16String(), u"完成，共处理2条记录");
  EXPECT_EQ(dlg.itemCount, 4);
  EXPECT_FALSE(fs::exists(out("one.mrc")));
  EXPECT_EQ(readRecords(out("none.mrc")).size(), 2u);
}

TEST_F(ZtestRun, ASkipCountBeyondALongSkipsEverything) {
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg, QStringLiteral("99999999999")).toStdU16String(), u"完成，共处理0条记录");
  EXPECT_EQ(dlg.itemCount, 4);
  EXPECT_FALSE(fs::exists(out("none.mrc")));
}

TEST_F(ZtestRun, OutputsTakeTheChosenCharacterSetAndFraming) {
  struct Case {
    int32_t codePage, marker;
    bool separator;
    std::string start, recordEnd;  // the file's first bytes, the end of each record
  } cases[] = {
      {65001, 1, true, "\xEF\xBB\xBF", std::string("\x1D\r\n")},
      {-1, 1, false, "\xFF\xFE", std::string("\x1D\0", 2)},
      {0, 0, true, "0", std::string("\x1D\r\n")},
  };
  for (const Case& c : cases) {
    fs::remove(out("none.mrc"));
    CAppSettings& s = theApp().settings;
    s.codePage = c.codePage;
    s.marker = c.marker;
    s.recordSeparator = c.separator;
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
    std::string bytes = qtest::readFile(out("none.mrc"));
    EXPECT_EQ(bytes.substr(0, c.start.size()), c.start) << c.codePage;
    if (c.marker) {
      EXPECT_EQ(bytes.find(c.start, 1), std::string::npos) << "one file header only, " << c.codePage;
    }
    size_t ends = 0;
    for (size_t at = bytes.find(c.recordEnd); at != std::string::npos; at = bytes.find(c.recordEnd, at + 1)) ++ends;
    EXPECT_EQ(ends, 2u) << c.codePage;
    EXPECT_EQ(bytes.size() - bytes.rfind(c.recordEnd), c.recordEnd.size()) << c.codePage;
  }
}

TEST_F(ZtestRun, AllHitsToTheSeveralHitsFile) {
  theApp().settings.multiStrategy = kStrategyAll;
  uitest::ModalScript script;
  // The browse dialog appends the hits while it lists them and closes itself.
  script.act([](QDialog& d) {
    for (int i = 0; i < 10000 && d.isVisible(); ++i) QCoreApplication::processEvents();
  });
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(dlg.multiHitCount, 1);
  EXPECT_EQ(readRecords(out("multi.mrc")).size(), 3u);
  EXPECT_EQ(readRecords(out("one.mrc")).size(), 1u);
}

TEST_F(ZtestRun, ChoiceInTheBrowseDialogSetsTheStrategy) {
  struct Case {
    const char* name;
    int button, row;  // the button pressed once the hits are listed, the row selected first
    int32_t strategy;
    size_t oneHitRecords;
  } cases[] = {
      {"keep the first", CBrowseHitsDlg::IDC_FIRST, -1, kStrategyFirst, 2},
      {"the first row", CBrowseHitsDlg::IDC_CHOOSE, 0, kStrategyFirst, 2},
      {"another row", CBrowseHitsDlg::IDC_CHOOSE, 2, kStrategyChoose, 2},
      {"output all", CBrowseHitsDlg::IDC_ALL, -1, kStrategyAll, 1},
  };
  for (const Case& c : cases) {
    fs::remove(out("one.mrc"));
    theApp().settings.multiStrategy = kStrategyChoose;
    uitest::ModalScript script;
    script.actOn<CBrowseHitsDlg>([&](CBrowseHitsDlg& d) {
      auto* list = ui::findControlAs<QTreeWidget>(&d, CBrowseHitsDlg::IDC_LIST);
      for (int i = 0; i < 10000 && (list->topLevelItemCount() < 3 || d.filling()); ++i) QCoreApplication::processEvents();
      if (c.row >= 0) list->setCurrentItem(list->topLevelItem(c.row));
      uitest::click(&d, c.button);
    });
    CGleanexDlg dlg;
    EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录") << c.name;
    EXPECT_EQ(dlg.multiHitCount, 1) << c.name;
    EXPECT_EQ(theApp().settings.multiStrategy, c.strategy) << c.name;
    EXPECT_EQ(readRecords(out("one.mrc")).size(), c.oneHitRecords) << c.name;
    EXPECT_FALSE(fs::exists(out("multi.mrc"))) << c.name;
  }
}

TEST_F(ZtestRun, SeveralHitsWithoutAFileWriteNothing) {
  theApp().settings.multiStrategy = kStrategyAll;
  theApp().settings.multiOutput.clear();
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(dlg.multiHitCount, 1);
  EXPECT_TRUE(script.records().empty()) << "no browse dialog";
  EXPECT_EQ(readRecords(out("one.mrc")).size(), 1u);
}

TEST_F(ZtestRun, OutputFileThatCannotBeCreated) {
  theApp().settings.oneHit.output = wide(dir.path() / "missing" / "one.mrc");
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  auto messages = script.messages();
  ASSERT_EQ(messages.size(), 2u) << "once per one-hit item";
  EXPECT_EQ(messages[0].text.toStdU16String(), u"命中一条数据的输出文件创建失败!");
  EXPECT_EQ(messages[0].icon, ui::Icon::Information);
}

/// Presses 停止 whenever a message box comes up.
class StopOnMessage : public ui::ModalHook {
 public:
  explicit StopOnMessage(CGleanexDlg& dlg, int clicks = 1) : clicks_(clicks), dlg_(dlg), previous_(ui::setModalHook(this)) {}
  ~StopOnMessage() override { ui::setModalHook(previous_); }
  int messageBox(const ui::MessageBoxInfo& box) override {
    ++boxes;
    status = ui::controlText(&dlg_, 1017);
    for (int i = 0; i < clicks_; ++i) uitest::click(&dlg_, ui::IDCANCEL);
    return ui::IDOK;
  }
  int dialog(QDialog&) override { return ui::IDCANCEL; }
  int boxes = 0;
  QString status;  // the status line when the box came up

 private:
  int clicks_;
  CGleanexDlg& dlg_;
  ui::ModalHook* previous_;
};

TEST_F(ZtestRun, StopEndsTheRunAfterTheCurrentItem) {
  theApp().settings.oneHit.output = wide(dir.path() / "missing" / "one.mrc");
  CGleanexDlg dlg;
  StopOnMessage stop(dlg);
  // The first item's output fails; 停止 is pressed at that message.
  EXPECT_EQ(run(dlg).toStdU16String(), u"用户中断，已处理1条记录");
  EXPECT_EQ(stop.boxes, 1);
  // While the item was handled: the percentage read (file position over a hundredth of the
  // file's length), the item's number and its key.
  int64_t length = int64_t(fs::file_size(source()));
  int64_t percent = int64_t(sourceRecord("a", "1").size()) / (length / 100);
  EXPECT_EQ(stop.status.toStdString(), std::to_string(percent) + "% @ 1 [1]");
  EXPECT_EQ(dlg.itemCount, 1);
  EXPECT_FALSE(fs::exists(out("none.mrc")));
  EXPECT_EQ(ui::controlText(&dlg, ui::IDCANCEL), QStringLiteral(u"退出"));
  EXPECT_TRUE(dlg.isVisible() || !dlg.result()) << "a stop during a run does not close the dialog";
}

TEST_F(ZtestRun, StopPressedTwiceOnlyStopsTheRun) {
  theApp().settings.oneHit.output = wide(dir.path() / "missing" / "one.mrc");
  CGleanexDlg dlg;
  StopOnMessage stop(dlg, 2);
  EXPECT_EQ(run(dlg).toStdU16String(), u"用户中断，已处理1条记录");
  EXPECT_EQ(dlg.result(), 0) << "the dialog was not closed";
  EXPECT_FALSE(fs::exists(out("none.mrc")));
}

TEST_F(ZtestRun, SourceThatCannotBeOpened) {
  fs::remove(source());
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg), QString());
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].text.toStdU16String(), u"打开指定的MARC数据文件失败！");
  EXPECT_EQ(script.messages()[0].icon, ui::Icon::Error);
}

TEST_F(ZtestRun, UnreachableServerIsReportedOnceAndFindsNothing) {
  const std::string port = std::to_string(ztest::closedPort());
  platform::writeProfileString(u"Loomstore.ini", u"ztest", u"port", platform::fromUtf8(port));
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(dlg.noHitCount, 4);
  // Once when the run starts; the searches that follow fail without a box of their own, and
  // the run's end counts the three items with a key that the server could not search.
  auto messages = script.messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral(u"连接服务器: ztest:"))) << messages[0].text.toStdString();
  EXPECT_EQ(messages[1].text.toStdString(), "3条记录未能在Z39.50服务器: ztest:" + port + "上检索!");
}

TEST_F(ZtestRun, SourceRuleStopEndsTheRunAsCompleted) {
  CAppSettings& s = theApp().settings;
  s.sourceRuleOn = true;
  s.sourceRuleScript = ruleScript(dir, "source.js",
                                  "function process(text) {\n"
                                  "  var rec = new MarcRecord(text);\n"
                                  "  return rec.getControl(\"001\") == \"c\" ? \"Stop\" : \"null\";\n"
                                  "}\n");
  uitest::ModalScript script;
  CGleanexDlg dlg;
  dlg.initialize();
  ui::setChecked(&dlg, 1001, true);
  ui::setControlText(&dlg, 1002, QString::fromStdU16String(s.sourceRuleScript));
  ui::setControlText(&dlg, 1000, QString::fromStdString(source().string()));
  dlg.OnOK();
  EXPECT_EQ(ui::controlText(&dlg, 1017).toStdU16String(), u"完成，共处理2条记录");
  EXPECT_EQ(dlg.oneHitCount + dlg.multiHitCount, 2);
  EXPECT_FALSE(fs::exists(out("none.mrc"))) << "the run ended before the unmatched items";
}

TEST_F(ZtestRun, HitRuleAnsweringNullDropsTheItem) {
  CAppSettings& s = theApp().settings;
  s.oneHit.script = ruleScript(dir, "one.js", "function process(text) { return \"NULL\"; }\n");
  s.noHit.script = ruleScript(dir, "none.js",
                              "function process(text) {\n"
                              "  var rec = new MarcRecord(text);\n"
                              "  rec.setSubfield(\"801\", \"a\", \"CN\");\n"
                              "  return rec.toString();\n"
                              "}\n");
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_EQ(dlg.oneHitCount, 1) << "a dropped item still counts";
  EXPECT_FALSE(fs::exists(out("one.mrc")));
  std::vector<u16> none = readRecords(out("none.mrc"));
  ASSERT_EQ(none.size(), 2u);
  for (const u16& r : none) EXPECT_TRUE(has(r, "<field name=\"801\"")) << utf8(r);
}

TEST_F(ZtestRun, ReconnectingServerIsConnectedForEverySearch) {
  theApp().settings.servers = {u"z39.50://ztest/Default?p=public/?r=yes?n=0"};
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理4条记录");
  EXPECT_TRUE(script.records().empty());
  EXPECT_EQ(dlg.oneHitCount, 1);
  EXPECT_EQ(dlg.multiHitCount, 1);
  EXPECT_EQ(readRecords(out("one.mrc")).size(), 2u);
}

/// The window of a search alone: it records the server status texts and clears the running
/// flag at a given drain, as the 停止 button would.
class SearchWindow : public CSearchHost {
 public:
  void ShowServerStatus(const u16& text) override { statuses.push_back(text); }
  void DrainMessages() override {
    if (++drains == stopAtDrain) running = false;
  }
  bool IsRunning() const override { return running; }
  std::vector<u16> statuses;
  int drains = 0, stopAtDrain = -1;
  bool running = true;
};

TEST_F(ZtestRun, StopEndsTheReconnectionPauseAfterItsCurrentStep) {
  uitest::ModalScript script;
  CZ3950Conn conn;
  conn.waitSeconds = 1000000;  // a pause that no test run would outlast
  conn.Open(u"z39.50://ztest/Default?p=public/?r=yes?n=0");
  SearchWindow window;
  // Not connected yet: the first search connects without a pause.
  EXPECT_EQ(conn.Search(u"1", window), 1);
  EXPECT_EQ(window.statuses, (std::vector<u16>{u"等待...", u"检索..."}));
  EXPECT_EQ(window.drains, 2);

  // The next search closes and waits; 停止 comes at the drain after the first one-second
  // step, which ends the pause. The search itself still runs.
  window.statuses.clear();
  window.drains = 0;
  window.stopAtDrain = 2;
  EXPECT_EQ(conn.Search(u"3", window), 3);
  EXPECT_EQ(window.statuses, (std::vector<u16>{u"等待...", u"检索..."}));
  EXPECT_EQ(window.drains, 3) << "等待, one pause step, 检索";
  EXPECT_TRUE(conn.connected);
  EXPECT_TRUE(script.records().empty());
}

#endif  // GLEANEX_WITH_ZSERVER


TEST_F(KelvraRun, HitsAndMissesAreStoredIntoTheirDatabases) {
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理3条记录");
  EXPECT_TRUE(script.records().empty()) << script.records().front().text.toStdString();
  EXPECT_EQ(dlg.oneHitCount, 1);
  EXPECT_EQ(dlg.multiHitCount, 1);
  EXPECT_EQ(dlg.noHitCount, 1);
  std::vector<u16> saved = records(u"saved");
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_TRUE(has(saved[0], "k1"));
  EXPECT_TRUE(has(saved[1], "k2")) << "several hits take the first";
  std::vector<u16> missed = records(u"missed");
  ASSERT_EQ(missed.size(), 1u);
  EXPECT_TRUE(has(missed[0], "9999999999"));
}

TEST_F(KelvraRun, LoginFailuresAreReported) {
  theApp().settings.servers = {u"qzap://kv/books?p=nobody/x?r=no?n=0", u"qzap://kv/nothere?p=public/?r=no?n=0"};
  theApp().settings.userName = u"nobody";
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理3条记录");
  EXPECT_EQ(dlg.noHitCount, 3);
  std::vector<std::u16string> texts;
  for (const auto& m : script.messages()) texts.push_back(m.text.toStdU16String());
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], u"帐户[nobody]无法登录到服务器: kv");
  EXPECT_EQ(texts[1], u"服务器: kv上不存在数据库[nothere]");
  EXPECT_EQ(texts[2], u"指定的帐户[nobody]无法登录到服务器[kv]，无法保存数据!");
  ASSERT_EQ(texts.size(), 6u) << "one storing message per unmatched item, and the count at the end";
  EXPECT_EQ(texts[5], u"3条记录未能存入数据库[missed]（服务器[kv]）!");
  EXPECT_TRUE(records(u"missed").empty());
}

TEST_F(KelvraRun, StoringGoesBackToAServerAfterAFailedOne) {
  // Database 2 lies on a server that does not exist; database 3 is on the first server again.
  CAppSettings& s = theApp().settings;
  s.oneHit.database[1] = u"qzap://nosuch/saved";
  s.oneHit.database[2] = u"qzap://kv/saved";
  writeSource({{"a", "7020012345"}});
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理1条记录");
  ASSERT_EQ(script.messages().size(), 2u);
  EXPECT_EQ(script.messages()[0].text.toStdU16String(), u"连接到服务器[nosuch]不成功，无法保存数据!");
  EXPECT_EQ(script.messages()[1].text.toStdU16String(), u"1条记录未能存入数据库[saved]（服务器[nosuch]）!");
  EXPECT_EQ(records(u"saved").size(), 2u);
}

TEST_F(KelvraRun, IsbnRulesOfTheServerAreApplied) {
  // The catalogue holds 7020012345; the source asks for its ISBN-13 form.
  theApp().settings.servers = {u"qzap://kv/books?p=public/?r=no?n=2"};
  writeSource({{"a", "9787020012343"}});
  uitest::ModalScript script;
  CGleanexDlg dlg;
  EXPECT_EQ(run(dlg).toStdU16String(), u"完成，共处理1条记录");
  EXPECT_EQ(dlg.oneHitCount, 1);
}


TEST_F(KelvraRun, SpreadsheetSourceWithItsUnmatchedRowsWrittenBack) {
  // A header row and three data rows; the scheme maps the columns and says so.
  qtest::writeFile(dir.path() / "books.xls",
                   "id\tisbn\ttitle\nr1\t7020012345\tOne\nr2\t9999999999\tTwo\nr3\t\tThree\n");
  platform::writeProfileString(wide(dir.path() / "Sheetrix.ini"), u"转换方案", u"图书", u"header=1;A=001;B=010a;C=200a");
  CAppSettings& s = theApp().settings;
  s.schemeName = u"图书";
  s.noHit.output = u"rest.XLSX";
  uitest::ModalScript script;
  CGleanexDlg dlg;
  dlg.initialize();
  ui::setControlText(&dlg, 1000, QStringLiteral("books.xls"));  // relative to the program folder
  dlg.OnOK();
  EXPECT_EQ(ui::controlText(&dlg, 1017).toStdU16String(), u"完成，共处理3条记录");
  EXPECT_TRUE(script.records().empty()) << script.records().front().text.toStdString();
  EXPECT_EQ(dlg.oneHitCount, 1);
  EXPECT_EQ(dlg.noHitCount, 2);
  EXPECT_EQ(records(u"saved").size(), 1u);
  std::vector<u16> missed = records(u"missed");
  ASSERT_EQ(missed.size(), 2u);
  EXPECT_TRUE(has(missed[0], "<field name=\"001\">r2</field>")) << utf8(missed[0]);
  EXPECT_EQ(s.noHit.output, wide(dir.path() / "rest.XLSX")) << "the setting takes the joined name";

  // The unmatched rows, as they were read, under the source's scheme.
  CXlsFileDriver rest;
  ASSERT_TRUE(rest.CreateDispatch(u"Sheetrix.XlsFile"));
  int32_t rows = rest.Open(wide(dir.path() / "rest.XLSX"));
  rest.SetScheme(u"header=1;A=001;B=010a;C=200a");
  if (rest.HasHeaderRow()) --rows;
  ASSERT_EQ(rows, 2);
  EXPECT_TRUE(has(rest.ReadRow(), "r2"));
  EXPECT_TRUE(has(rest.ReadRow(), "r3"));
  rest.Close();
}

TEST_F(BatchRun, MainDialogShowsTheSettingsAndSavesThemOnClose) {
  CAppSettings& s = theApp().settings;
  s.servers = {u"z39.50://a/db?p=public/?r=no?n=0", u"qzap://b/books"};
  s.oneHit.database[0] = u"qzap://b/saved";
  s.multiStrategy = kStrategyAll;
  s.multiOutput = u"/out/multi.mrc";
  s.noHit.output = u"/out/none.mrc";
  s.noHit.database[0] = u"qzap://b/missed";
  uitest::ModalScript script;
  CGleanexDlg dlg;
  dlg.initialize();
  auto* list = ui::findControlAs<QTreeWidget>(&dlg, 1005);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("z39.50://a/db"));
  EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("qzap://b/books"));
  EXPECT_EQ(ui::controlText(&dlg, 1007), QStringLiteral("qzap://b/saved"));
  EXPECT_EQ(ui::controlText(&dlg, 1009), QStringLiteral("/out/multi.mrc"));
  EXPECT_EQ(ui::controlText(&dlg, 1011), QStringLiteral("/out/none.mrc"));
  EXPECT_FALSE(ui::findControl(&dlg, 1002)->isEnabled());
  uitest::saveScreenshot(dlg, "gleanex_main_dialog");

  dlg.reject();
  EXPECT_EQ(dlg.result(), ui::IDCANCEL);
  CAppSettings back;
  back.Load(theApp().settingsPath);
  EXPECT_EQ(back.servers, s.servers);
  EXPECT_EQ(back.multiStrategy, kStrategyAll);
}

}  // namespace
