// The hit rule dialogs and the database picker: what they show, what they write into the
// settings on OK, and what the file and picker buttons change at once.
#include "db_picker.h"
#include "dialog_fixture.h"
#include "rule_dlg.h"

#include <loomstore/QzDir.h>
#include <platform/paths.h>

#include <QLabel>

namespace {

using platform::u16;

class HitRuleTest : public DialogTest {};

TEST_F(HitRuleTest, CaptionAndRowsByMode) {
  struct Case { int mode; CHitRule& rule; QString caption; };
  settings.oneHit = {u"/r/one.js", u"", {u"qzap://main/books", u"", u""}};
  settings.noHit = {u"", u"/out/rest.mrc", {u"", u"", u"qzap://main/c"}};
  const Case cases[] = {
      {CHitRuleDlg::kModeOneHit, settings.oneHit, QStringLiteral("命中唯一记录的处理规则")},
      {CHitRuleDlg::kModeNoHit, settings.noHit, QStringLiteral("没有命中记录的处理规则")},
  };
  const int rows[5][3] = {{1001, 1002, 1003}, {1023, 1022, 1005}, {1006, 1007, 1008}, {1012, 1013, 1014}, {1015, 1016, 1017}};
  for (const Case& c : cases) {
    const u16* values[5] = {&c.rule.script, &c.rule.output, &c.rule.database[0], &c.rule.database[1], &c.rule.database[2]};
    CHitRuleDlg dlg(c.mode, settings);
    run<CHitRuleDlg>(dlg, [&](CHitRuleDlg& d) {
      EXPECT_EQ(d.windowTitle(), c.caption);
      for (int i = 0; i < 5; ++i) {
        bool set = !values[i]->empty();
        EXPECT_EQ(ui::isChecked(&d, rows[i][0]), set) << i;
        EXPECT_EQ(ui::controlText(&d, rows[i][1]), ui::qs(*values[i])) << i;
        EXPECT_EQ(enabled(&d, rows[i][1]), set) << i;
        EXPECT_EQ(enabled(&d, rows[i][2]), set) << i;
      }
    });
  }
}

TEST_F(HitRuleTest, OkTakesCheckedRowsOnly) {
  settings.noHit = {u"/r/a.js", u"/out/rest.mrc", {u"qzap://main/books", u"", u""}};
  CHitRuleDlg dlg(CHitRuleDlg::kModeNoHit, settings);
  int result = run<CHitRuleDlg>(dlg, [](CHitRuleDlg& d) {
    toggle(&d, CHitRuleDlg::IDC_OUTPUT_ON);  // unchecked: the output file goes
    EXPECT_FALSE(enabled(&d, CHitRuleDlg::IDC_OUTPUT));
    toggle(&d, CHitRuleDlg::IDC_DB3_ON);
    EXPECT_TRUE(enabled(&d, CHitRuleDlg::IDC_DB3));
    EXPECT_TRUE(enabled(&d, CHitRuleDlg::IDC_DB3_BROWSE));
    ui::setControlText(&d, CHitRuleDlg::IDC_DB3, "qzap://main/c");
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(result, ui::IDOK);
  EXPECT_EQ(settings.noHit.script, u"/r/a.js");
  EXPECT_EQ(settings.noHit.output, u"");
  EXPECT_EQ(settings.noHit.database[0], u"qzap://main/books");
  EXPECT_EQ(settings.noHit.database[2], u"qzap://main/c");
  EXPECT_EQ(settings.oneHit.output, u"");
}

TEST_F(HitRuleTest, OutputFileIsTakenAtOnceEvenOnCancel) {
  struct Case { int mode; QStringList filters; };
  const Case cases[] = {
      {CHitRuleDlg::kModeOneHit, {"MARC文件 (*.mrc *.iso)", "所有文件 (*.*)"}},
      {CHitRuleDlg::kModeNoHit, {"MARC文件 (*.mrc *.iso)", "Excel文件 (*.xlsx)", "所有文件 (*.*)"}},
  };
  for (const Case& c : cases) {
    settings = CAppSettings();
    QString chosen = QString::fromStdString((home.path() / "out.mrc").string());
    CHitRuleDlg dlg(c.mode, settings);
    run<CHitRuleDlg>(dlg, [&](CHitRuleDlg& d) {
      toggle(&d, CHitRuleDlg::IDC_OUTPUT_ON);
      pickFile(chosen, [&](QFileDialog& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("指定输出数据文件名"));
        EXPECT_EQ(f.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(f.defaultSuffix(), QStringLiteral("mrc"));
        EXPECT_EQ(f.nameFilters(), c.filters);
      });
      uitest::click(&d, CHitRuleDlg::IDC_OUTPUT_BROWSE);
      EXPECT_EQ(ui::controlText(&d, CHitRuleDlg::IDC_OUTPUT), chosen);
      uitest::click(&d, ui::IDCANCEL);
    });
    const CHitRule& rule = c.mode == CHitRuleDlg::kModeNoHit ? settings.noHit : settings.oneHit;
    EXPECT_EQ(rule.output, ui::toU16(chosen)) << c.mode;
  }
}

TEST_F(HitRuleTest, ScriptBrowseFillsTheEditOnly) {
  CHitRuleDlg dlg(CHitRuleDlg::kModeOneHit, settings);
  QString chosen = QString::fromStdString((home.path() / "rule.js").string());
  qtest::writeFile(home.path() / "rule.js", "");
  run<CHitRuleDlg>(dlg, [&](CHitRuleDlg& d) {
    toggle(&d, CHitRuleDlg::IDC_SCRIPT_ON);
    pickFile(chosen, [](QFileDialog& f) {
      EXPECT_EQ(f.windowTitle(), QStringLiteral("指定JavaScript预处理程序"));
      EXPECT_EQ(f.acceptMode(), QFileDialog::AcceptOpen);
      EXPECT_EQ(f.nameFilters(), QStringList{"JavaScript程序 (*.js)"});
    });
    uitest::click(&d, CHitRuleDlg::IDC_SCRIPT_BROWSE);
    EXPECT_EQ(ui::controlText(&d, CHitRuleDlg::IDC_SCRIPT), chosen);
    EXPECT_TRUE(settings.oneHit.script.empty());
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(settings.oneHit.script, ui::toU16(chosen));
}

TEST_F(HitRuleTest, DatabaseButtonOpensThePickerWithTheRowsPath) {
  settings.oneHit.database[1] = u"qzap://main/old";
  CHitRuleDlg dlg(CHitRuleDlg::kModeOneHit, settings);
  run<CHitRuleDlg>(dlg, [&](CHitRuleDlg& d) {
    script.actOn<CDbPickerDlg>([](CDbPickerDlg& p) {
      EXPECT_EQ(p.windowTitle(), QStringLiteral("查找Kelvra数据库"));
      EXPECT_EQ(ui::controlText(&p, CDbPickerDlg::IDC_PATH), QStringLiteral("qzap://main/old"));
      ui::setControlText(&p, CDbPickerDlg::IDC_PATH, "qzap://main/new");
      uitest::click(&p, ui::IDOK);
    });
    uitest::click(&d, CHitRuleDlg::IDC_DB2_BROWSE);
    EXPECT_EQ(ui::controlText(&d, CHitRuleDlg::IDC_DB2), QStringLiteral("qzap://main/new"));
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(settings.oneHit.database[1], u"qzap://main/new");
}

class MultiHitTest : public DialogTest {};

TEST_F(MultiHitTest, StrategyShownAndWritten) {
  struct Case { int32_t strategy; int checked; bool fileEnabled; };
  const Case cases[] = {
      {kStrategyChoose, CMultiHitDlg::IDC_CHOOSE, false},
      {kStrategyFirst, CMultiHitDlg::IDC_FIRST, false},
      {kStrategyAll, CMultiHitDlg::IDC_ALL, true},  // with an empty output file
      {0, CMultiHitDlg::IDC_CHOOSE, false},
  };
  for (const Case& c : cases) {
    settings.multiStrategy = c.strategy;
    settings.multiOutput.clear();
    CMultiHitDlg dlg(settings);
    run<CMultiHitDlg>(dlg, [&](CMultiHitDlg& d) {
      EXPECT_EQ(d.windowTitle(), QStringLiteral("命中多条记录的处理策略"));
      EXPECT_TRUE(ui::isChecked(&d, c.checked)) << c.strategy;
      EXPECT_EQ(enabled(&d, CMultiHitDlg::IDC_OUTPUT), c.fileEnabled) << c.strategy;
      EXPECT_EQ(enabled(&d, CMultiHitDlg::IDC_BROWSE), c.fileEnabled) << c.strategy;
      EXPECT_EQ(ui::controlText(&d, CMultiHitDlg::IDC_OUTPUT), QString());
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(settings.multiStrategy, c.strategy ? c.strategy : kStrategyChoose);
  }
}

TEST_F(MultiHitTest, AllToAFileEnablesTheFileAndBrowseTakesItAtOnce) {
  settings.multiStrategy = kStrategyFirst;
  QString chosen = QString::fromStdString((home.path() / "many.mrc").string());
  CMultiHitDlg dlg(settings);
  run<CMultiHitDlg>(dlg, [&](CMultiHitDlg& d) {
    toggle(&d, CMultiHitDlg::IDC_ALL);
    EXPECT_TRUE(enabled(&d, CMultiHitDlg::IDC_OUTPUT));
    pickFile(chosen, [](QFileDialog& f) {
      EXPECT_EQ(f.nameFilters(), (QStringList{"MARC文件 (*.mrc *.iso)", "所有文件 (*.*)"}));
    });
    uitest::click(&d, CMultiHitDlg::IDC_BROWSE);
    EXPECT_EQ(settings.multiOutput, ui::toU16(chosen));
    toggle(&d, CMultiHitDlg::IDC_CHOOSE);
    EXPECT_FALSE(enabled(&d, CMultiHitDlg::IDC_OUTPUT));
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_EQ(settings.multiStrategy, kStrategyFirst);
  EXPECT_EQ(settings.multiOutput, ui::toU16(chosen));
}

class DbPickerTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    // The administration command of the record server, built in the same tree as this test.
    admin = platform::joinPath(platform::programFolder(), "../outside/kelvra/kelvra-admin");
    if (!std::filesystem::exists(admin)) GTEST_SKIP() << "kelvra-admin is not built";
    ASSERT_EQ(qtest::run(admin + " create-server main >/dev/null"), 0);
    ASSERT_EQ(qtest::run(admin + " create-db main books >/dev/null"), 0);
    qtest::writeFile(platform::profilePath(u"Loomstore.ini"),
                     "[Servers]\nmain=qzap\nLC=z39.50\n[LC]\nIP=127.0.0.1\ndatabases=Voyager+\n");
  }
  std::string admin;
};

TEST_F(DbPickerTest, OnlyADatabaseIsTaken) {
  CDbPickerDlg dlg(u"", settings);
  int result = run<CDbPickerDlg>(dlg, [](CDbPickerDlg& d) {
    EXPECT_FALSE(visible(&d, CDbPickerDlg::IDC_TREE_PLACE));
    EXPECT_EQ(ui::controlText(&d, CDbPickerDlg::IDC_PATH), QString());
    // Z39.50 servers are not listed.
    EXPECT_EQ(d.directory().GoTo(u"z39.50://LC"), 0);
    ASSERT_EQ(d.directory().GoTo(u"qzap://main"), 1);
    EXPECT_EQ(ui::controlText(&d, CDbPickerDlg::IDC_PATH), QString());
    ASSERT_EQ(d.directory().GoTo(u"qzap://main/books"), 1);
    EXPECT_EQ(ui::controlText(&d, CDbPickerDlg::IDC_PATH), QStringLiteral("qzap://main/books"));
    ASSERT_EQ(d.directory().GoTo(u"qzap://main"), 1);
    EXPECT_EQ(ui::controlText(&d, CDbPickerDlg::IDC_PATH), QStringLiteral("qzap://main/books"));
    uitest::click(&d, ui::IDOK);
  });
  EXPECT_EQ(result, ui::IDOK);
  EXPECT_EQ(dlg.path(), u"qzap://main/books");
  EXPECT_TRUE(script.messages().empty());
}

TEST_F(DbPickerTest, StartsOnTheGivenPath) {
  CDbPickerDlg dlg(u"qzap://main/books", settings);
  run<CDbPickerDlg>(dlg, [](CDbPickerDlg& d) {
    EXPECT_EQ(ui::controlText(&d, CDbPickerDlg::IDC_PATH), QStringLiteral("qzap://main/books"));
    char16_t buf[256];
    EXPECT_EQ(d.directory().GetCurSelPath(buf, 256), 1);
    EXPECT_EQ(u16(buf), u"qzap://main/books");
    uitest::click(&d, ui::IDCANCEL);
  });
  EXPECT_EQ(dlg.path(), u"qzap://main/books");
}

}  // namespace
