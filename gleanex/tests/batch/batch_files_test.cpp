// What a batch run does with the cataloguer's files before and around the run: outputs that
// are the source, spreadsheets by their names (made here by libxlsxwriter, zip and
// python3-xlwt), sources without any item, and rule scripts that do not load or that fail.
#include "batch_fixture.h"

#include <xlsxwriter.h>

#include <QString>

#include <functional>
#include <random>

namespace {

using namespace batchtest;

/// The spreadsheet of every kind: a caption row, then id, ISBN and title of three books (the
/// last without ISBN). Under the scheme kScheme, r1 is in the catalogue, r2 and r3 are not.
const char* const kRows[][3] = {{"id", "isbn", "title"}, {"r1", "7020012345", "One"}, {"r2", "9999999999", "Two"}, {"r3", "", "Three"}};
constexpr char16_t kScheme[] = u"header=1;A=001;B=010a;C=200a";

void writeXlsx(const fs::path& p) {
  lxw_workbook* wb = workbook_new(p.c_str());
  lxw_worksheet* ws = workbook_add_worksheet(wb, "书目");
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c)
      if (*kRows[r][c]) worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), kRows[r][c], nullptr);
  ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

void writeOds(const fs::path& p) {
  std::string rows;
  for (const auto& row : kRows) {
    rows += "<table:table-row>";
    for (const char* cell : row)
      rows += *cell ? "<table:table-cell office:value-type=\"string\"><text:p>" + std::string(cell) + "</text:p></table:table-cell>"
                    : std::string("<table:table-cell/>");
    rows += "</table:table-row>";
  }
  ASSERT_TRUE(qtest::writeOdsPackage(p, rows));
}

void writeXls(const fs::path& p) {
  std::string rows;
  for (const auto& row : kRows) rows += std::string("['") + row[0] + "','" + row[1] + "','" + row[2] + "'],";
  qtest::writeFile(p.string() + ".py",
                   "import sys, xlwt\n"
                   "wb = xlwt.Workbook(encoding='utf-8')\n"
                   "ws = wb.add_sheet('Sheet1')\n"
                   "for r, row in enumerate([" + rows + "]):\n"
                   "    for c, v in enumerate(row):\n"
                   "        if v: ws.write(r, c, v)\n"
                   "wb.save(sys.argv[1])\n");
  ASSERT_EQ(qtest::run("/usr/bin/python3 '" + p.string() + ".py' '" + p.string() + "'"), 0)
      << "python3-xlwt (scripts/packages.txt) writes the .xls fixture";
  fs::remove(p.string() + ".py");
}

using Maker = std::function<void(const fs::path&)>;

CAppSettings& s() { return theApp().settings; }

std::u16string messageText(const uitest::ModalScript& script, size_t i = 0) {
  auto m = script.messages();
  return i < m.size() ? m[i].text.toStdU16String() : u"(no message)";
}

/// Runs that must be refused: nothing of the run happens, nothing is written, the settings
/// in memory and on disk stay as they were.
class RefusedRun : public BatchRun {
 protected:
  /// Runs on `sourceText`; expects exactly the message `expected` and no trace of a run.
  void expectRefused(const QString& sourceText, const std::u16string& expected, const char* name) {
    SCOPED_TRACE(name);
    CAppSettings before = theApp().settings;
    std::map<fs::path, std::string> files;
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.is_regular_file()) files[e.path()] = qtest::readFile(e.path());
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(runOn(dlg, sourceText), QString()) << "the run never started";
    ASSERT_EQ(script.messages().size(), 1u) << (script.messages().empty() ? "" : script.messages()[1].text.toStdString());
    EXPECT_EQ(messageText(script), expected);
    EXPECT_EQ(dlg.itemCount, 0);
    EXPECT_TRUE(ui::findControl(&dlg, ui::IDOK)->isEnabled());
    const CAppSettings& after = theApp().settings;
    EXPECT_EQ(after.oneHit.output, before.oneHit.output);
    EXPECT_EQ(after.multiOutput, before.multiOutput);
    EXPECT_EQ(after.noHit.output, before.noHit.output);
    EXPECT_FALSE(fs::exists(dir.path() / "Gleanex.ini")) << "the settings file was not written";
    for (const auto& e : fs::directory_iterator(dir.path())) {
      if (!e.is_regular_file() || e.is_symlink()) continue;
      auto old = files.find(e.path());
      EXPECT_TRUE(old != files.end()) << "a new file: " << e.path();
      if (old != files.end()) {
        EXPECT_EQ(qtest::readFile(e.path()), old->second) << e.path();
      }
    }
  }
};

TEST_F(RefusedRun, AnOutputThatIsTheIsoSourceInAnyForm) {
  writeSource({{"a", "1"}, {"b", ""}});
  fs::create_directories(dir.path() / "sub");
  fs::create_symlink(source(), dir.path() / "link.mrc");
  fs::create_hard_link(source(), dir.path() / "hard.mrc");
  const std::string src = source().string();
  const std::string relative = fs::relative(source(), fs::current_path()).string();
  struct Case {
    const char* name;
    std::string source;  // as typed into the dialog
    int which;           // 0 one hit, 1 several hits, 2 no hit
    std::string output;
    const char16_t* what;
  } cases[] = {
      {"the same path", src, 0, src, u"命中一条数据的输出文件"},
      {"with ./", src, 1, (dir.path() / "." / "source.mrc").string(), u"命中多条数据的输出文件"},
      {"through ..", src, 2, (dir.path() / "sub" / ".." / "source.mrc").string(), u"无命中记录的数据输出文件"},
      {"a symbolic link", src, 2, (dir.path() / "link.mrc").string(), u"无命中记录的数据输出文件"},
      {"a hard link", src, 0, (dir.path() / "hard.mrc").string(), u"命中一条数据的输出文件"},
      {"relative output", src, 0, relative, u"命中一条数据的输出文件"},
      {"relative source", relative, 1, src, u"命中多条数据的输出文件"},
  };
  for (const Case& c : cases) {
    s() = CAppSettings();
    u16 output = platform::fromUtf8(c.output);
    (c.which == 0 ? s().oneHit.output : c.which == 1 ? s().multiOutput : s().noHit.output) = output;
    expectRefused(QString::fromStdString(c.source), platform::format(u"%s[%s]就是源数据文件，不能开始处理!", u16(c.what), output),
                  c.name);
  }
}

TEST_F(RefusedRun, TheUnmatchedRowsSpreadsheetThatIsTheSpreadsheetSource) {
  struct Case {
    const char* name;
    Maker make;
  } cases[] = {{"book.xlsx", writeXlsx}, {"book.ods", writeOds}, {"book.xls", writeXls}};
  for (const Case& c : cases) {
    c.make(dir.path() / c.name);
    for (const u16& output : {platform::fromUtf8(c.name), wide(dir.path() / c.name)}) {
      s().noHit.output = output;  // a bare name is in the program folder, as the source is
      expectRefused(QString::fromUtf8(c.name),
                    platform::format(u"无命中记录输出的Excel文件[%s]就是源数据文件，不能开始处理!", output), c.name);
    }
  }
}

TEST_F(RefusedRun, OutputsWhoseNamesPromiseWhatTheyWouldNotHold) {
  writeXlsx(dir.path() / "book.xlsx");
  writeSource({{"a", "1"}});
  qtest::writeFile(dir.path() / "old.xlsx", sourceRecord("x", "1"));  // ISO 2709 under an .xlsx name
  const QString iso = QString::fromStdString(source().string());
  struct Case {
    const char* name;
    QString source;
    int which;  // 0 one hit, 2 no hit
    u16 output;
    std::u16string expected;
  } cases[] = {
      {"legacy .xls", "book.xlsx", 2, u"rest.xls", u"无命中记录输出的Excel文件[rest.xls]只能是.xlsx文件，请把文件名改为以.xlsx结尾!"},
      {"OpenDocument", "book.xlsx", 2, u"rest.ODS", u"无命中记录输出的Excel文件[rest.ODS]只能是.xlsx文件，请把文件名改为以.xlsx结尾!"},
      {"not a workbook", "book.xlsx", 2, u"old.xlsx", u"无命中记录输出的Excel文件[old.xlsx]已经存在，但不是.xlsx格式的表格文件!"},
      {"ISO 2709 unmatched", iso, 2, u"none.xlsx", u"无命中记录的数据输出文件[none.xlsx]是表格文件名，MARC记录不能写入表格文件!"},
      {"ISO 2709 hits", iso, 0, u"hits.XLS", u"命中一条数据的输出文件[hits.XLS]是表格文件名，MARC记录不能写入表格文件!"},
  };
  for (const Case& c : cases) {
    s() = CAppSettings();
    (c.which == 0 ? s().oneHit.output : s().noHit.output) = c.output;
    expectRefused(c.source, c.expected, c.name);
  }
}

TEST_F(RefusedRun, SourcesWithoutAnyItem) {
  theApp().settings.noHit.output = wide(out("none.mrc"));
  fs::create_directories(dir.path() / "folder.mrc");
  fs::create_directories(dir.path() / "folder.xlsx");
  qtest::writeFile(dir.path() / "empty.mrc", "");
  // A workbook with its caption row only.
  lxw_workbook* wb = workbook_new((dir.path() / "captions.xlsx").c_str());
  worksheet_write_string(workbook_add_worksheet(wb, nullptr), 0, 0, "isbn", nullptr);
  ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
  platform::writeProfileString(wide(dir.path() / "Sheetrix.ini"), u"转换方案", u"isbn", u"header=1;A=010a");
  theApp().settings.schemeName = u"isbn";
  struct Case {
    const char* name;
    std::u16string expected;
    ui::Icon icon;
  } cases[] = {
      {"folder.mrc", u"打开指定的MARC数据文件失败！", ui::Icon::Error},
      {"folder.xlsx", u"打开指定的MARC数据文件失败！", ui::Icon::Error},
      {"empty.mrc", u"指定的MARC数据文件中没有ISO 2709格式的记录！", ui::Icon::Error},
      {"captions.xlsx", u"指定的Excel源文件中没有数据行！", ui::Icon::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(runOn(dlg, QString::fromStdString((dir.path() / c.name).string())), QString());
    ASSERT_EQ(script.messages().size(), 1u);
    EXPECT_EQ(messageText(script), c.expected);
    EXPECT_EQ(script.messages()[0].icon, c.icon);
    EXPECT_FALSE(fs::exists(out("none.mrc")));
  }
}

TEST_F(RefusedRun, ASourceOfBytesThatAreNoRecord) {
  theApp().settings.noHit.output = wide(out("none.mrc"));
  std::mt19937 random(2709);
  std::string noise(64 * 1024, '\0');
  for (char& b : noise) b = char(random() & 0xFF);
  for (const std::string& bytes : {std::string("ISBN 7-02-001234-5\nno record here\n"), noise}) {
    qtest::writeFile(source(), bytes);
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(run(dlg), QString()) << bytes.size() << " bytes";
    EXPECT_EQ(messageText(script), u"指定的MARC数据文件中没有ISO 2709格式的记录！");
    EXPECT_FALSE(fs::exists(out("none.mrc"))) << qtest::readFile(out("none.mrc")).size() << " bytes of junk records";
    fs::remove(out("none.mrc"));
  }
}

TEST_F(KelvraRun, SpreadsheetSourcesOfEveryKindByTheirNames) {
  platform::writeProfileString(wide(dir.path() / "Sheetrix.ini"), u"转换方案", u"图书", kScheme);
  struct Case {
    const char* name;
    Maker make;
  } cases[] = {{"books.xlsx", writeXlsx}, {"BOOKS.XLSX", writeXlsx}, {"books.ods", writeOds}, {"books.Ods", writeOds},
               {"books.xls", writeXls}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(dir.path() / "rest.xlsx");
    for (const char16_t* db : {u"saved", u"missed"}) {
      ASSERT_EQ(store->dropDatabase(id(db)), 0);
      ASSERT_EQ(store->createDatabase(db), 0);
    }
    c.make(dir.path() / c.name);
    s().schemeName = u"图书";
    s().noHit.output = u"rest.xlsx";
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(runOn(dlg, QString::fromUtf8(c.name)).toStdU16String(), u"完成，共处理3条记录");
    EXPECT_TRUE(script.records().empty()) << script.records().front().text.toStdString();
    EXPECT_EQ(std::make_tuple(dlg.oneHitCount, dlg.multiHitCount, dlg.noHitCount), std::make_tuple(1, 0, 2));
    std::vector<u16> missed = records(u"missed");
    ASSERT_EQ(missed.size(), 2u);
    EXPECT_TRUE(has(missed[0], "<field name=\"001\">r2</field>")) << utf8(missed[0]);
    EXPECT_TRUE(has(missed[1], "<field name=\"200\" indicator=\"\x11\x11\"><sf name=\"a\">Three</sf>")) << utf8(missed[1]);
    // The unmatched rows went into a real workbook.
    EXPECT_EQ(qtest::readFile(dir.path() / "rest.xlsx").substr(0, 4), std::string("PK\x03\x04", 4));
    CXlsFileDriver rest;
    ASSERT_TRUE(rest.CreateDispatch(u"Sheetrix.XlsFile"));
    EXPECT_EQ(rest.Open(wide(dir.path() / "rest.xlsx")), 3);
    rest.Close();
    fs::remove(dir.path() / c.name);
  }
}

/// Rule scripts that cannot be loaded stop the run before its first item.
TEST_F(KelvraRun, ARuleScriptThatDoesNotLoadIsToldOnceAndNothingRuns) {
  s().noHit.output = wide(out("none.mrc"));
  const std::string broken = "function process(text) {\n  return text;\n  )\n}\n";
  const std::string throwsAtLoad = "var ok = 1;\n\nnoSuchFunction();\nfunction process(t) { return t; }\n";
  struct Case {
    const char* name;
    int rule;  // 0 source, 1 one hit, 2 no hit
    std::string body;  // empty: the file does not exist
    const char* where;  // the line and engine message expected after the file name
  } cases[] = {
      {"source rule syntax error", 0, broken, "\n第3行: SyntaxError"},
      {"one-hit rule missing", 1, "", "\ncannot read the script"},
      {"no-hit rule throwing at load", 2, throwsAtLoad, "\n第3行: ReferenceError: noSuchFunction is not defined"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAppSettings& settings = s();
    settings.sourceRuleOn = false;
    settings.sourceRuleScript.clear();
    settings.oneHit.script.clear();
    settings.noHit.script.clear();
    u16 path = c.body.empty() ? wide(dir.path() / "missing.js") : ruleScript(dir, "rule.js", c.body);
    uitest::ModalScript script;
    CGleanexDlg dlg;
    dlg.initialize();
    if (c.rule == 0) {
      ui::setChecked(&dlg, 1001, true);
      ui::setControlText(&dlg, 1002, QString::fromStdU16String(path));
    }
    if (c.rule == 1) settings.oneHit.script = path;
    if (c.rule == 2) settings.noHit.script = path;
    ui::setControlText(&dlg, 1000, QString::fromStdString(source().string()));
    dlg.OnOK();
    ASSERT_EQ(script.messages().size(), 1u);
    std::u16string expected = u"JavaScript程序[" + path + u"]无法加载，不能开始处理!" + platform::fromUtf8(c.where);
    EXPECT_EQ(messageText(script).substr(0, expected.size()), expected) << platform::toUtf8(messageText(script));
    EXPECT_EQ(ui::controlText(&dlg, 1017), QString()) << "no item was read";
    EXPECT_EQ(dlg.itemCount, 0);
    EXPECT_FALSE(fs::exists(out("none.mrc")));
    EXPECT_TRUE(records(u"saved").empty());
    EXPECT_TRUE(ui::findControl(&dlg, ui::IDOK)->isEnabled());
  }
}

TEST_F(KelvraRun, AScriptFailingOnItemsIsToldOncePerRun) {
  // The no-hit rule throws on every unmatched item: the items go on unchanged, told once.
  writeSource({{"a", "7020012345"}, {"c", "9999999999"}, {"d", ""}});
  s().noHit.output = wide(out("none.mrc"));
  s().noHit.script = ruleScript(dir, "none.js", "function process(text) {\n  throw new Error(\"bad item\");\n}\n");
  for (int run = 0; run < 2; ++run) {
    uitest::ModalScript script;
    CGleanexDlg dlg;
    EXPECT_EQ(this->run(dlg).toStdU16String(), u"完成，共处理3条记录");
    ASSERT_EQ(script.messages().size(), 1u) << "run " << run;
    EXPECT_EQ(messageText(script), u"JavaScript程序[" + s().noHit.script + u"]处理记录时出错，本次处理中不再提示!\n第2行: Error: bad item");
  }
  std::vector<u16> none = readRecords(out("none.mrc"));
  ASSERT_EQ(none.size(), 4u) << "two unmatched items in each run, written as they were";
  EXPECT_TRUE(has(none[0], "9999999999"));
  EXPECT_TRUE(has(none[3], "<field name=\"001\">d</field>"));
}

}  // namespace
