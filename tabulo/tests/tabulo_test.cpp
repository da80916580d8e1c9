// Tabulo's scheme list and its commands, driven through ConfigTabulo with every modal window
// answered by the test script, against the real spreadsheet component; Sheetrix.ini (beside
// this test program) is checked after each step.
#include <tabulo/Tabulo.h>

#include "resource.h"

#include <platform/paths.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;
using uitest::ModalScript;

constexpr char16_t kSection[] = u"转换方案";
const std::u16string kSampleScheme = u"header=1;A=200a;B=010a";

class TabuloTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    fs::remove(ini);
    qtest::writeFile(sample, "200a,010a\n书名,7-111\n");
  }
  void TearDown() override { fs::remove(ini); }

  void writeIni(const std::string& text) { qtest::writeFile(ini, text); }
  std::vector<std::u16string> keys() const { return platform::profileKeys(ini, kSection); }
  std::u16string value(std::u16string_view key) const { return platform::profileString(ini, kSection, key, u"", 4096); }

  // Runs ConfigTabulo with the list dialog handed to `act`; the list dialog's result.
  int32_t run(const std::u16string& scheme, const fs::path& samplePath, std::function<void(QDialog&)> act) {
    script.act(std::move(act));
    return ConfigTabulo(scheme.c_str(), samplePath.u16string().c_str());
  }

  static QTreeWidget* list(QDialog& d) { return qobject_cast<QTreeWidget*>(ui::findControl(&d, IDC_SCHEME_LIST)); }
  static std::vector<QString> rows(QDialog& d) {
    std::vector<QString> out;
    for (int i = 0; i < list(d)->topLevelItemCount(); ++i) out.push_back(list(d)->topLevelItem(i)->text(0));
    return out;
  }
  static int selectedRow(QDialog& d) {
    auto sel = list(d)->selectedItems();
    return sel.isEmpty() ? -1 : list(d)->indexOfTopLevelItem(sel.front());
  }
  static QString current(QDialog& d) { return ui::controlText(&d, IDC_SCHEME_CURRENT); }
  // As a click on the row does it.
  static void select(QDialog& d, int row) { list(d)->setCurrentItem(list(d)->topLevelItem(row)); }
  bool componentEditorShown() const {
    for (const auto& r : script.records())
      if (r.templateId == 3000) return true;
    return false;
  }
  std::vector<QString> messageTexts() const {
    std::vector<QString> out;
    for (const auto& m : script.messages()) out.push_back(m.text);
    return out;
  }

  qtest::TempHome home;
  qtest::TempDir dir;
  fs::path ini = fs::path(platform::programFolder()) / "Sheetrix.ini";
  fs::path sample = dir / "sample.csv";
  ModalScript script;
};

const std::string kThree = "[转换方案]\n甲=header=0;A=200a\n乙\nabc=header=1;B=701a\n";

TEST_F(TabuloTest, ListsTheSchemesAndSelectsThePassedOne) {
  struct Case {
    std::string ini;
    std::u16string passed;
    std::vector<QString> rows;
    int selected;
  } cases[] = {
      {"", u"甲", {}, -1},
      {kThree, u"ABC", {"甲", "乙", "abc"}, 2},  // found without regard to case
      {kThree, u"丙", {"甲", "乙", "abc"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    fs::remove(ini);
    if (!c.ini.empty()) writeIni(c.ini);
    int32_t result = run(c.passed, sample, [&](QDialog& d) {
      EXPECT_EQ(d.windowTitle(), QStringLiteral("Excel字段转换方案"));
      EXPECT_EQ(list(d)->headerItem()->text(0), QStringLiteral("方案名称"));
      EXPECT_EQ(rows(d), c.rows);
      EXPECT_EQ(selectedRow(d), c.selected);
      if (c.selected == 2) uitest::saveScreenshot(d, "tabulo_scheme_list");
      // The box keeps the passed name as written, found or not.
      EXPECT_EQ(current(d), QString::fromStdU16String(c.passed));
      if (c.selected >= 0) {
        select(d, 1 % int(c.rows.size()));
        EXPECT_EQ(current(d), c.rows[1 % c.rows.size()]);
      }
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(result, 1);
  }
  EXPECT_EQ(run(u"", sample, [](QDialog& d) { uitest::click(&d, ui::IDCANCEL); }), 2);
}

TEST_F(TabuloTest, ConfigureWorksOnlyOnThePassedScheme) {
  struct Case {
    const char* name;
    std::string ini;
    std::u16string passed;
    fs::path sample;
    int selectFirst;  // -1: leave the selection as opened
    std::vector<QString> messages;
    bool edited;                // the component's editor came up
    std::u16string key, value;  // the key afterwards
  } cases[] = {
      // No section: the passed scheme is configured (the component guesses from the
      // sample's captions) and stored, without a row.
      {"new key", "", u"甲", sample, -1, {}, true, u"甲", kSampleScheme},
      // Found in another case: the box keeps the passed spelling, so it may be configured;
      // the stored text goes to the component and comes back.
      {"case", kThree, u"ABC", sample, -1, {}, true, u"abc", u"header=1;B=701a"},
      // Once a selection put the row's own text in the box, it is refused.
      {"other", kThree, u"ABC", sample, 2, {"当前方案没有关联的Excel文件，无法配置字段转换信息!"}, false, u"abc",
       u"header=1;B=701a"},
      {"unreadable", kThree, u"甲", dir / "missing.xls", -1, {"指定的Excel文件打开失败，或者内容为空!"}, false,
       u"甲", u"header=0;A=200a"},
      {"no sample", kThree, u"甲", fs::path(), -1, {}, false, u"甲", u"header=0;A=200a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(ini);
    if (!c.ini.empty()) writeIni(c.ini);
    script.clear();
    size_t rowsBefore = 0;
    run(c.passed, c.sample, [&](QDialog& d) {
      rowsBefore = rows(d).size();
      if (c.selectFirst >= 0) {
        select(d, 0);
        select(d, c.selectFirst);
      }
      uitest::click(&d, IDC_SCHEME_CONFIG);
      EXPECT_EQ(rows(d).size(), rowsBefore);
    });
    EXPECT_EQ(messageTexts(), c.messages);
    for (const auto& m : script.messages()) EXPECT_EQ(m.icon, ui::Icon::Information);
    EXPECT_EQ(componentEditorShown(), c.edited);
    EXPECT_EQ(value(c.key), c.value);
  }
}

// A sample the component cannot read (Open gives -1): Tabulo says nothing itself and writes
// nothing; the one message is the component's own.
TEST_F(TabuloTest, DamagedSampleIsReportedOnceAndNothingWritten) {
  fs::path broken = dir / "broken.xlsx";
  qtest::writeFile(broken, std::string("PK\x03\x04", 4) + "not a zip archive");
  writeIni(kThree);
  run(u"甲", broken, [&](QDialog& d) { uitest::click(&d, IDC_SCHEME_CONFIG); });
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_NE(script.messages()[0].text.indexOf(QString::fromStdString(broken.string())), -1);
  EXPECT_EQ(script.messages()[0].icon, ui::Icon::Warning);
  EXPECT_FALSE(componentEditorShown());
  EXPECT_EQ(value(u"甲"), u"header=0;A=200a");
}

TEST_F(TabuloTest, ConfigureKeepsWhatTheComponentsEditorChose) {
  writeIni(kThree);
  run(u"乙", sample, [&](QDialog& d) { uitest::click(&d, IDC_SCHEME_CONFIG); });
  // The component's own dialog came up on the sample and was cancelled: its guess stands.
  ASSERT_EQ(script.records().size(), 2u);
  EXPECT_EQ(script.records()[1].templateId, 3000);
  EXPECT_EQ(value(u"乙"), kSampleScheme);
}

TEST_F(TabuloTest, NewSchemeIsCheckedStoredAndListed) {
  struct Case {
    const char* name;
    std::u16string newName;
    fs::path sample;
    std::vector<QString> messages;
    bool added;
  } cases[] = {
      {"added", u"丙", sample, {}, true},
      {"no sample", u"丙", fs::path(), {"请输入有效的方案名称和样例文件!"}, false},
      {"no name", u"", sample, {"请输入有效的方案名称和样例文件!"}, false},
      {"taken", u"ABC", sample, {"指定的方案已经存在，请重新输入!"}, false},
      // A key with no value counts as free.
      {"empty value", u"乙", sample, {}, true},
      // "=" would end the key in the file: refused rather than stored under another name.
      {"equals sign", u"a=b", sample, {"请输入有效的方案名称和样例文件!"}, false},
      {"unreadable", u"丙", dir / "missing.xls", {"指定的Excel文件打开失败，或者内容为空!"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeIni(kThree);
    script.clear();
    std::vector<QString> after;
    run(u"甲", sample, [&](QDialog& d) {
      script.act([&](QDialog& n) {
        EXPECT_EQ(n.windowTitle(), QStringLiteral("创建新方案"));
        EXPECT_EQ(ui::controlText(&n, IDC_SCHEME_NAME), QStringLiteral("新方案"));
        EXPECT_EQ(ui::controlText(&n, IDC_SAMPLE_FILE), QString());
        ui::setControlText(&n, IDC_SCHEME_NAME, QString::fromStdU16String(c.newName));
        ui::setControlText(&n, IDC_SAMPLE_FILE, QString::fromStdString(c.sample.string()));
        uitest::click(&n, ui::IDOK);
        // A refused name or file keeps the dialog open.
        EXPECT_EQ(n.isVisible(), !c.messages.empty() && c.name != std::string("unreadable"));
      });
      uitest::click(&d, IDC_SCHEME_NEW);
      after = rows(d);
      if (c.added) {
        EXPECT_EQ(selectedRow(d), int(after.size()) - 1);
        EXPECT_EQ(current(d), QString::fromStdU16String(c.newName));
      }
    });
    EXPECT_EQ(messageTexts(), c.messages);
    EXPECT_EQ(after.size(), c.added ? 4u : 3u);
    EXPECT_EQ(value(c.newName), c.added ? kSampleScheme
                                        : c.name == std::string("taken") ? u"header=1;B=701a" : u"");
  }
}

TEST_F(TabuloTest, NewSchemeSampleComesFromTheSaveDialog) {
  fs::path chosen = dir / "chosen.xls";
  run(u"", sample, [&](QDialog& d) {
    script.act([&](QDialog& n) {
      script.act([&](QDialog& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("指定Excel样例文件名"));
        auto& files = dynamic_cast<QFileDialog&>(f);
        EXPECT_EQ(files.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(files.defaultSuffix(), QStringLiteral("xls"));
        files.selectFile(QString::fromStdString(chosen.string()));
        QMetaObject::invokeMethod(&files, "accept", Qt::DirectConnection);
      });
      uitest::click(&n, IDC_SAMPLE_BROWSE);
      EXPECT_EQ(ui::controlText(&n, IDC_SAMPLE_FILE), QString::fromStdString(chosen.string()));
      uitest::click(&n, ui::IDCANCEL);
    });
    uitest::click(&d, IDC_SCHEME_NEW);
    EXPECT_TRUE(rows(d).empty());
  });
  EXPECT_TRUE(keys().empty());
}

TEST_F(TabuloTest, DeleteAsksThenRemovesKeyAndRow) {
  struct Case {
    const char* name;
    std::string ini;
    int row;
    int answer;
    std::vector<QString> rows;
    int selected;
    QString box;
  } cases[] = {
      {"last of three", kThree, 2, ui::IDYES, {"甲", "乙"}, 1, "乙"},
      {"first of three", kThree, 0, ui::IDYES, {"乙", "abc"}, 0, "乙"},
      {"only row", "[转换方案]\n甲=header=0\n", 0, ui::IDYES, {}, -1, ""},
      {"answered no", kThree, 1, ui::IDNO, {"甲", "乙", "abc"}, 1, "乙"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeIni(c.ini);
    script.clear();
    QString deleted;
    // The passed name is in the box from the start; a click on a row puts the row's name there.
    run(u"甲", sample, [&](QDialog& d) {
      select(d, c.row);
      deleted = current(d);
      ASSERT_FALSE(deleted.isEmpty());
      script.answer(c.answer);
      uitest::click(&d, IDC_SCHEME_DELETE);
      EXPECT_EQ(rows(d), c.rows);
      EXPECT_EQ(selectedRow(d), c.selected);
      EXPECT_EQ(current(d), c.box);
    });
    ASSERT_EQ(script.messages().size(), 1u);
    EXPECT_EQ(script.messages()[0].text, QStringLiteral("你确实要删除指定的转换方案吗？"));
    EXPECT_EQ(script.messages()[0].icon, ui::Icon::Question);
    EXPECT_EQ(script.messages()[0].buttons, unsigned(ui::MB_YESNO));
    EXPECT_EQ(keys().size(), c.rows.size());
    std::vector<std::u16string> left = keys();
    bool gone = std::find(left.begin(), left.end(), deleted.toStdU16String()) == left.end();
    EXPECT_EQ(gone, c.answer == ui::IDYES);
  }
}

TEST_F(TabuloTest, RenameMovesTheValueToTheNewKey) {
  struct Case {
    const char* name;
    std::u16string newName;
    std::vector<QString> messages;
    std::vector<std::u16string> keys;
  } cases[] = {
      {"renamed", u"丁", {}, {u"乙", u"abc", u"丁"}},
      {"same name", u"甲", {}, {u"甲", u"乙", u"abc"}},
      {"taken", u"ABC", {"指定的方案已经存在，请重新输入!"}, {u"甲", u"乙", u"abc"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeIni("[转换方案]\n甲=header=0;A=200a\n乙=header=1\nabc=header=1;B=701a\n");
    script.clear();
    run(u"甲", sample, [&](QDialog& d) {
      script.act([&](QDialog& r) {
        EXPECT_EQ(r.windowTitle(), QStringLiteral("方案改名"));
        EXPECT_EQ(ui::controlText(&r, IDC_SCHEME_CURRENT), QStringLiteral("甲"));
        EXPECT_EQ(ui::controlText(&r, IDC_SCHEME_NAME), QStringLiteral("甲"));
        ui::setControlText(&r, IDC_SCHEME_NAME, QString());
        uitest::click(&r, ui::IDOK);  // an empty name: the dialog stays, without a message
        EXPECT_TRUE(r.isVisible());
        ui::setControlText(&r, IDC_SCHEME_NAME, QString::fromStdU16String(c.newName));
        uitest::click(&r, ui::IDOK);
      });
      uitest::click(&d, IDC_SCHEME_RENAME);
      if (c.keys.back() == u"丁") {
        EXPECT_EQ(rows(d), (std::vector<QString>{"丁", "乙", "abc"}));
        EXPECT_EQ(selectedRow(d), 0);
        EXPECT_EQ(current(d), QStringLiteral("丁"));
      }
    });
    EXPECT_EQ(messageTexts(), c.messages);
    EXPECT_EQ(keys(), c.keys);
    EXPECT_EQ(value(c.keys.back() == u"丁" ? u"丁" : u"甲"), u"header=0;A=200a");
  }
}

// The dialogs store scheme texts whole: one longer than the 1,023 characters that a fixed
// read buffer would keep survives a rename and reaches the component whole on "配置 >>".
TEST_F(TabuloTest, LongSchemeTextsAreNotCut) {
  std::u16string longText = u"header=1";
  for (int col = 0; col < 26 * 10; ++col) {
    std::u16string letters = platform::fromUtf8(std::string(1, char('A' + col / 26)) + char('A' + col % 26));
    longText += u";" + letters + u"=200a";
  }
  ASSERT_GT(longText.size(), 2000u);
  writeIni("[转换方案]\n甲=" + platform::toUtf8(longText) + "\n");
  run(u"甲", sample, [&](QDialog& d) {
    script.act([&](QDialog& r) {
      ui::setControlText(&r, IDC_SCHEME_NAME, QStringLiteral("丁"));
      uitest::click(&r, ui::IDOK);
    });
    uitest::click(&d, IDC_SCHEME_RENAME);
  });
  EXPECT_EQ(platform::profileString(ini, kSection, u"丁", u"", 8192), longText);
  // Configured (the component's editor cancelled), the whole scheme comes back from it.
  script.clear();
  run(u"丁", sample, [&](QDialog& d) { uitest::click(&d, IDC_SCHEME_CONFIG); });
  EXPECT_EQ(platform::profileString(ini, kSection, u"丁", u"", 8192), longText);
}

}  // namespace
