// Sheetrix.XlsFile through its dispatch wrapper, as the suite's programs call it: reading
// rows of each file kind under a scheme, scheme text, writing rows, and the scheme editor.
// Fixtures are made here: .xlsx with libxlsxwriter, .ods with zip, legacy .xls with Debian's
// python3-xlwt, delimited text by hand.
#include <com/drivers/XlsFileDriver.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <QCheckBox>
#include <QTableWidget>

#include <xlsxwriter.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include <signal.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

const std::u16string kRow1 = u"<row><F200a>红楼梦</F200a><F701a>曹雪芹</F701a><F010a>9787020002207</F010a><D>A&amp;B</D></row>";
const std::u16string kRow2 = u"<row><F200a>两行&#10;标题</F200a><F701a/><F010a>7-02-000220-X</F010a><D/></row>";
const std::u16string kGuessed = u"header=1;A=200a;B=701a;C=010a";

std::u16string w(const fs::path& p) { return p.u16string(); }

class XlsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    ASSERT_TRUE(xls.CreateDispatch(u"Sheetrix.XlsFile"));
  }
  // Opens a file and reads every row under the guessed scheme.
  std::vector<std::u16string> readAll(const fs::path& p, int32_t expectedCount) {
    EXPECT_EQ(xls.Open(w(p)), expectedCount);
    xls.SetScheme(u"");
    std::vector<std::u16string> rows;
    for (std::u16string r = xls.ReadRow(); !r.empty(); r = xls.ReadRow()) rows.push_back(r);
    return rows;
  }

  qtest::TempHome home;
  qtest::TempDir dir;
  CXlsFileDriver xls;
};

// The sample sheet of every kind: captions, two data rows and a blank row between them.
void writeXlsx(const fs::path& p, bool secondSheet = false) {
  lxw_workbook* wb = workbook_new(p.c_str());
  lxw_worksheet* ws = workbook_add_worksheet(wb, "书目");
  const char* caps[] = {"200a", "701 $a", "010a", "备注"};
  for (int c = 0; c < 4; ++c) worksheet_write_string(ws, 0, c, caps[c], nullptr);
  worksheet_write_string(ws, 1, 0, "红楼梦", nullptr);
  worksheet_write_string(ws, 1, 1, "曹雪芹", nullptr);
  worksheet_write_number(ws, 1, 2, 9787020002207.0, nullptr);
  worksheet_write_string(ws, 1, 3, "A&B", nullptr);
  worksheet_write_string(ws, 3, 0, "两行\n标题", nullptr);
  worksheet_write_string(ws, 3, 2, "7-02-000220-X", nullptr);
  if (secondSheet) worksheet_write_string(workbook_add_worksheet(wb, "Notes"), 0, 0, "keep me", nullptr);
  ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

void writeOds(const fs::path& p) {
  auto cell = [](const std::string& v) {
    return "<table:table-cell office:value-type=\"string\"><text:p>" + v + "</text:p></table:table-cell>";
  };
  std::string rows =
      "<table:table-row>" + cell("200a") + cell("701$a") + cell("010a") + cell("备注") + "</table:table-row>"
      "<table:table-row>" + cell("红楼梦") + cell("曹雪芹") +
      "<table:table-cell office:value-type=\"float\" office:value=\"9787020002207\"><text:p>9787020002207</text:p>"
      "</table:table-cell>" + cell("A&amp;B") + "</table:table-row>"
      "<table:table-row><table:table-cell table:number-columns-repeated=\"4\"/></table:table-row>"
      "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>两行</text:p><text:p>标题</text:p>"
      "</table:table-cell><table:table-cell/>" + cell("7-02-000220-X") + "</table:table-row>";
  ASSERT_TRUE(qtest::writeOdsPackage(p, rows));
}

void writeXls(const fs::path& p) {
  // Cell (3, 0) holds a line break; the ISBN is a number cell.
  std::string script =
      "import sys, xlwt\n"
      "wb = xlwt.Workbook(encoding='utf-8')\n"
      "ws = wb.add_sheet('Sheet1')\n"
      "for c, v in enumerate(['200a', '701 $a', '010a', '备注']): ws.write(0, c, v)\n"
      "for c, v in enumerate(['红楼梦', '曹雪芹', 9787020002207, 'A&B']): ws.write(1, c, v)\n"
      "ws.write(3, 0, '两行\\n标题')\n"
      "ws.write(3, 2, '7-02-000220-X')\n"
      "wb.save(sys.argv[1])\n";
  qtest::writeFile(p.string() + ".py", script);
  ASSERT_EQ(qtest::run("/usr/bin/python3 '" + p.string() + ".py' '" + p.string() + "'"), 0);
}

bool canWriteXls() { return qtest::run("/usr/bin/python3 -c 'import xlwt' 2>/dev/null") == 0; }

TEST_F(XlsFileTest, ReadsRowsOfEachKindUnderTheGuessedScheme) {
  const std::string csvText = "200a,701 $a,010a,备注\r\n红楼梦,曹雪芹,9787020002207,A&B\r\n,,,\r\n\"两行\n标题\",,7-02-000220-X\r\n";
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
  } cases[] = {
      {"book.xlsx", [](const fs::path& p) { writeXlsx(p); }},
      // Content decides, not the name: an .xlsx workbook named as the legacy format.
      {"book.xls", [](const fs::path& p) { writeXlsx(p); }},
      {"book.ods", [](const fs::path& p) { writeOds(p); }},
      {"legacy.xls", [](const fs::path& p) { writeXls(p); }},
      {"utf8.csv", [&](const fs::path& p) { qtest::writeFile(p, csvText); }},
      {"bom.csv", [&](const fs::path& p) { qtest::writeFile(p, "\xEF\xBB\xBF" + csvText); }},
      {"tabs.txt",
       [](const fs::path& p) {
         qtest::writeFile(p, "200a\t701a\t010a\t备注\n红楼梦\t曹雪芹\t9787020002207\tA&B\n\n\"两行\n标题\"\t\t7-02-000220-X\n");
       }},
      {"gbk.csv",
       [](const fs::path& p) {
         // 红楼梦 / 曹雪芹 / 两行 标题 / 备注 in code page 936.
         qtest::writeFile(p,
                          "200a,701a,010a,\xB1\xB8\xD7\xA2\n\xBA\xEC\xC2\xA5\xC3\xCE,\xB2\xDC\xD1\xA9\xC7\xDB,"
                          "9787020002207,A&B\n\"\xC1\xBD\xD0\xD0\n\xB1\xEA\xCC\xE2\",,7-02-000220-X\n");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path p = dir / c.name;
    if (c.name == std::string("legacy.xls") && !canWriteXls()) {
      ADD_FAILURE() << "python3-xlwt (scripts/packages.txt) is needed to write the .xls fixture";
      continue;
    }
    c.make(p);
    std::vector<std::u16string> rows = readAll(p, 3);
    EXPECT_EQ(xls.GetScheme(), kGuessed);
    EXPECT_NE(xls.HasHeaderRow(), 0);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], kRow1);
    EXPECT_EQ(rows[1], kRow2);
    xls.Close();
  }
}

TEST_F(XlsFileTest, RowsFollowTheSchemeGiven) {
  fs::path p = dir / "plain.csv";
  qtest::writeFile(p, "x,y\n");
  struct Case {
    std::u16string scheme, row;
    int32_t header;
  } cases[] = {
      {u"header=0", u"<row><A>x</A><B>y</B></row>", 0},
      {u"B=001;A=690A", u"<row><F690a>x</F690a><F001>y</F001></row>", 0},
      {u"header=1;A=200a", u"", 1},  // the only row is the caption row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.scheme.begin(), c.scheme.end()));
    EXPECT_EQ(xls.Open(w(p)), 1);
    xls.SetScheme(c.scheme);
    EXPECT_EQ(xls.HasHeaderRow(), c.header);
    EXPECT_EQ(xls.ReadRow(), c.row);
    EXPECT_EQ(xls.ReadRow(), u"");
  }
}

TEST_F(XlsFileTest, SchemeTextIsReadLenientlyAndWrittenInOneForm) {
  struct Case {
    std::u16string in, out;
  } cases[] = {
      {u"", u"header=0"},  // nothing open: nothing to guess from
      {u"A=200a;header=1", u"header=1;A=200a"},
      {u" b = 200 $A ; c=001 ;AA=701a", u"header=0;B=200a;C=001;AA=701a"},
      // Not fields: a data field without code, a short tag, a column beyond XFD, no "=".
      {u"D=200;E=20a;XFE=200a;junk;F=", u"header=0"},
      // A text cut by a short buffer keeps what is whole.
      {u"header=1;A=200a;B=70", u"header=1;A=200a"},
  };
  for (const Case& c : cases) {
    xls.SetScheme(c.in);
    EXPECT_EQ(xls.GetScheme(), c.out) << std::string(c.in.begin(), c.in.end());
  }
}

TEST_F(XlsFileTest, OpenTellsMissingEmptyAndUnreadableFilesApart) {
  qtest::writeFile(dir / "empty.csv", "");
  qtest::writeFile(dir / "blank.csv", " , \n\n");
  qtest::writeFile(dir / "broken.xlsx", std::string("PK\x03\x04", 4) + "not a zip archive at all");
  qtest::writeFile(dir / "broken.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x'));
  struct Case {
    std::u16string path;
    int32_t result;
  } cases[] = {
      {u"", -1},
      {w(dir.path()), -1},
      {w(dir / "missing.xlsx"), 0},
      {w(dir / "empty.csv"), 0},
      {w(dir / "blank.csv"), 1},  // blanks are text
      {w(dir / "broken.xlsx"), -1},
      {w(dir / "broken.xls"), -1},
  };
  uitest::ModalScript script;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    script.clear();
    EXPECT_EQ(xls.Open(c.path), c.result);
    // The callers stay silent on -1: the component says why it read nothing, except for
    // an empty path, which names no file.
    bool told = c.result == -1 && !c.path.empty();
    ASSERT_EQ(script.messages().size(), told ? 1u : 0u);
    if (told) {
      EXPECT_NE(script.messages()[0].text.indexOf(QString::fromStdU16String(c.path)), -1);
      EXPECT_EQ(script.messages()[0].icon, ui::Icon::Warning);
    }
  }
  // A file that could not be read is never written over.
  EXPECT_EQ(xls.WriteRow(u"<row><A>x</A></row>"), 0);
  xls.Close();
  EXPECT_EQ(qtest::readFile(dir / "broken.xls").size(), 608u);
}

TEST_F(XlsFileTest, RowsWrittenReadBackAsTheyWereRead) {
  fs::path source = dir / "source.xlsx", out = dir / "nohit.xls";
  writeXlsx(source);
  std::vector<std::u16string> rows = readAll(source, 3);
  xls.Close();
  // Two runs of the no-hit writer: the second appends to what the first wrote.
  for (size_t run = 0; run < 2; ++run) {
    CXlsFileDriver writer;
    ASSERT_TRUE(writer.CreateDispatch(u"Sheetrix.XlsFile"));
    EXPECT_EQ(writer.Open(w(out)), run == 0 ? 0 : 2);  // captions and the first row
    writer.SetScheme(kGuessed);
    EXPECT_EQ(writer.WriteRow(rows[run]), 1);
    EXPECT_EQ(writer.Close(), 1);
  }
  // A new file gets the mode any new file gets, not the temporary file's private one.
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(unsigned(fs::status(out).permissions()), 0666u & ~unsigned(mask));
  // The writer's caption row lets the guess find the same scheme again.
  std::vector<std::u16string> back = readAll(out, 3);
  EXPECT_EQ(xls.GetScheme(), u"header=1;A=200a;B=701a;C=010a");
  EXPECT_EQ(back, rows);
}

TEST_F(XlsFileTest, AppendingToAWorkbookKeepsItsOtherSheets) {
  fs::path p = dir / "two.xlsx";
  writeXlsx(p, true);
  EXPECT_EQ(xls.Open(w(p)), 3);
  xls.SetScheme(u"");
  EXPECT_EQ(xls.WriteRow(u"<row><F200a>新书</F200a></row>"), 1);
  EXPECT_EQ(xls.Close(), 1);
  std::string sheets;
  qtest::run("unzip -p '" + p.string() + "' xl/workbook.xml", &sheets);
  EXPECT_NE(sheets.find("Notes"), std::string::npos);
  EXPECT_NE(sheets.find("书目"), std::string::npos);
  std::vector<std::u16string> rows = readAll(p, 4);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2], u"<row><F200a>新书</F200a><F701a/><F010a/><D/></row>");
}

TEST_F(XlsFileTest, DelimitedTextIsWrittenBackInItsOwnEncoding) {
  const std::u16string row = u"<row><F200a>中文,\"引号\"</F200a><F010a>7</F010a></row>";
  struct Case {
    const char* name;
    std::string before;  // "" : a new file
    std::u16string row;
    std::string after;
  } cases[] = {
      {"new.csv", "", row, "\xEF\xBB\xBF" "200a,010a\r\n\"中文,\"\"引号\"\"\",7\r\n"},
      {"new.tsv", "", u"<row><F200a>a,b</F200a><F010a>7</F010a></row>", "\xEF\xBB\xBF" "200a\t010a\r\na,b\t7\r\n"},
      {"gbk.csv", "200a,\xB1\xB8\xD7\xA2\r\n", u"<row><A>\u4E2D</A></row>", "200a,\xB1\xB8\xD7\xA2\r\n\xD6\xD0\r\n"},
      // Text the code page cannot hold turns the file into UTF-8 rather than into "?".
      {"gbk2.csv", "200a,\xD6\xD0\r\n", u"<row><A>\U0001F600</A></row>", "\xEF\xBB\xBF" "200a,中\r\n😀\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path p = dir / c.name;
    if (!c.before.empty()) qtest::writeFile(p, c.before);
    xls.Open(w(p));
    xls.SetScheme(u"header=1;A=200a;B=010a");
    EXPECT_EQ(xls.WriteRow(c.row), 1);
    EXPECT_EQ(xls.Close(), 1);
    EXPECT_EQ(qtest::readFile(p), c.after);
  }
}

TEST_F(XlsFileTest, WritingFailuresAreReported) {
  EXPECT_EQ(xls.WriteRow(u"<row><A>x</A></row>"), 0);  // nothing open
  EXPECT_EQ(xls.Open(w(dir / "ok.xlsx")), 0);
  EXPECT_EQ(xls.WriteRow(u"<row><A>x</row>"), 0);  // not XML
  xls.Close();
  EXPECT_FALSE(fs::exists(dir / "ok.xlsx"));  // nothing written, nothing made
  EXPECT_EQ(xls.Open(w(dir / "no/such/folder.xlsx")), 0);
  EXPECT_EQ(xls.WriteRow(u"<row><A>x</A></row>"), 1);
  EXPECT_EQ(xls.Close(), 0);
}

// A save that the disk cuts short (full, or a file-size limit) answers 0 and leaves the old
// workbook as it was, with no temporary file beside it.
TEST_F(XlsFileTest, ASaveThatFailsLeavesTheOldFileAsItWas) {
  // Rows that pack badly: far more than the disk holds, however the workbook compresses.
  std::vector<std::u16string> rows;
  std::mt19937 random(4102);
  for (int r = 0; r < 3000; ++r) {
    std::u16string text;
    for (int i = 0; i < 200; ++i) text += char16_t(u'a' + random() % 26);
    rows.push_back(u"<row><F200a>" + text + u"</F200a></row>");
  }
  // Opens the old workbook, adds the rows and saves: Close's answer.
  auto addRows = [&](const fs::path& p) {
    CXlsFileDriver writer;
    if (!writer.CreateDispatch(u"Sheetrix.XlsFile") || writer.Open(w(p)) != 3) return -1;
    writer.SetScheme(u"");
    for (const std::u16string& row : rows)
      if (writer.WriteRow(row) != 1) return -1;
    return int(writer.Close());
  };
  auto expectUntouched = [](const fs::path& folder, const fs::path& p, const std::string& before) {
    EXPECT_TRUE(qtest::readFile(p) == before) << "the old workbook changed";
    for (const auto& e : fs::directory_iterator(folder)) EXPECT_EQ(e.path(), p) << "left behind";
  };

  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
  } cases[] = {{"misses.xlsx", [](const fs::path& p) { writeXlsx(p); }},
               {"misses.csv", [](const fs::path& p) { qtest::writeFile(p, "200a,701a\r\nA,B\r\nC,D\r\n"); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A file-size limit of 64 KiB, in a child process.
    qtest::TempDir folder;
    const fs::path p = folder / c.name;
    c.make(p);
    const std::string before = qtest::readFile(p);
    ASSERT_LT(before.size(), 65536u);
    EXPECT_EQ(qtest::inChildProcess([&] {
                qtest::limitFileSize(65536);
                return addRows(p);
              }),
              0);
    expectUntouched(folder.path(), p, before);

    // A disk of 64 KiB.
    qtest::SmallDisk disk(65536);
    if (disk.mounted()) {
      const fs::path full = disk / c.name;
      qtest::writeFile(full, before);
      EXPECT_EQ(addRows(full), 0);
      expectUntouched(disk.path(), full, before);
    } else {
      std::printf("skipped the small disk: %s\n", disk.why().c_str());
    }
    // With room enough the same rows are saved.
    EXPECT_EQ(addRows(p), 1);
    EXPECT_EQ(xls.Open(w(p)), 3003);
    xls.Close();
  }
}

// Saves of either kind go through a link to the file behind it, refuse a read-only file,
// and leave no temporary file in sight when killed; the next save removes what a killed one
// left.
TEST_F(XlsFileTest, SavesKeepLinksAndPermissionsAndLeaveNothingBehind) {
  // Opens the file, adds `count` rows and saves: Close's answer.
  auto addRows = [](const fs::path& p, int count) {
    CXlsFileDriver writer;
    if (!writer.CreateDispatch(u"Sheetrix.XlsFile") || writer.Open(w(p)) < 3) return -1;
    writer.SetScheme(u"");
    std::mt19937 random(4102);
    for (int r = 0; r < count; ++r) {
      std::u16string text;
      for (int i = 0; i < 200; ++i) text += char16_t(u'a' + random() % 26);
      if (writer.WriteRow(u"<row><F200a>" + text + u"</F200a></row>") != 1) return -1;
    }
    return int(writer.Close());
  };
  auto names = [](const fs::path& folder) {
    std::string all;
    for (const auto& e : fs::directory_iterator(folder)) all += e.path().filename().string() + " ";
    return all;
  };
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
  } cases[] = {{"book.xlsx", [](const fs::path& p) { writeXlsx(p); }},
               {"book.csv", [](const fs::path& p) { qtest::writeFile(p, "200a,701a\r\nA,B\r\nC,D\r\n"); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qtest::TempDir folder, elsewhere;
    const fs::path p = folder / c.name, link = elsewhere / c.name;
    c.make(p);
    ASSERT_EQ(chmod(p.c_str(), 0640), 0);

    // Through a link: the link stays, the file behind it gets the rows and keeps its mode.
    fs::create_symlink(p, link);
    EXPECT_EQ(addRows(link, 1), 1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(unsigned(fs::status(p).permissions()), 0640u);
    EXPECT_EQ(xls.Open(w(p)), 4);
    xls.Close();
    EXPECT_EQ(names(folder.path()), std::string(c.name) + " ");
    EXPECT_EQ(names(elsewhere.path()), std::string(c.name) + " ");

    // A read-only file is not replaced (in a child without root's right to write any file).
    const std::string before = qtest::readFile(p);
    ASSERT_EQ(chmod(p.c_str(), 0440), 0);
    EXPECT_EQ(qtest::inChildProcess([&] {
                qtest::obeyFilePermissions();
                return addRows(p, 1);
              }),
              0);
    EXPECT_TRUE(qtest::readFile(p) == before) << "the read-only file changed";
    EXPECT_EQ(names(folder.path()), std::string(c.name) + " ");
    ASSERT_EQ(chmod(p.c_str(), 0640), 0);

    // A save killed by a file-size limit (SIGXFSZ) leaves its temporary file hidden, and
    // the next save of the file removes it.
    EXPECT_EQ(qtest::inChildProcess([&] {
                qtest::limitFileSize(65536);
                signal(SIGXFSZ, SIG_DFL);
                return addRows(p, 3000);
              }),
              -1);
    EXPECT_TRUE(qtest::readFile(p) == before) << "the old file changed";
    size_t leftovers = 0;
    for (const auto& e : fs::directory_iterator(folder.path()))
      if (e.path() != p) {
        ++leftovers;
        EXPECT_EQ(e.path().filename().string()[0], '.') << "left in sight: " << e.path();
      }
    EXPECT_EQ(leftovers, 1u);
    EXPECT_EQ(addRows(p, 1), 1);
    EXPECT_EQ(names(folder.path()), std::string(c.name) + " ");
  }
}

TEST_F(XlsFileTest, ConfigureEditsTheSchemeAgainstTheOpenFile) {
  fs::path p = dir / "book.xlsx";
  writeXlsx(p);
  using uitest::ModalScript;
  auto setField = [](QDialog& d, int row, const QString& text) {
    auto* table = qobject_cast<QTableWidget*>(ui::findControl(&d, 3002));
    ASSERT_TRUE(table);
    table->item(row, 3)->setText(text);
  };
  {
    ModalScript script;
    script.act([&](QDialog& d) {
      auto* table = qobject_cast<QTableWidget*>(ui::findControl(&d, 3002));
      ASSERT_TRUE(table);
      ASSERT_EQ(table->rowCount(), 4);
      EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("701 $a"));  // first row
      EXPECT_EQ(table->item(1, 2)->text(), QStringLiteral("曹雪芹"));  // second row
      EXPECT_EQ(table->item(1, 3)->text(), QStringLiteral("701a"));
      uitest::saveScreenshot(d, "sheetrix_configure");
      setField(d, 1, QStringLiteral("70a"));
      uitest::click(&d, ui::IDOK);  // refused: the dialog stays
      setField(d, 1, QString());
      setField(d, 3, QStringLiteral("300 $A"));
      qobject_cast<QCheckBox*>(ui::findControl(&d, 3001))->setChecked(false);
      uitest::click(&d, ui::IDOK);
    });
    EXPECT_EQ(xls.Open(w(p)), 3);
    xls.SetScheme(u"");
    EXPECT_EQ(xls.Configure(), 1);
    EXPECT_EQ(xls.GetScheme(), u"header=0;A=200a;C=010a;D=300a");
    ASSERT_EQ(script.messages().size(), 1u);
    EXPECT_EQ(script.messages()[0].icon, ui::Icon::Warning);
    EXPECT_TRUE(script.messages()[0].text.contains(QStringLiteral("“70a”")));
  }
  {
    ModalScript script;  // no step: the dialog is cancelled
    EXPECT_EQ(xls.Configure(), 0);
    EXPECT_EQ(xls.GetScheme(), u"header=0;A=200a;C=010a;D=300a");
  }
}

TEST_F(XlsFileTest, HasHeaderRowIsAProperty) {
  // The wrapper reads it with DISPATCH_PROPERTYGET alone; a method call works as well.
  xls.SetScheme(u"header=1");
  EXPECT_EQ(xls.HasHeaderRow(), 1);
  com::DISPPARAMS none;
  com::Variant result;
  EXPECT_EQ(xls.m_lpDispatch->Invoke(206, com::GUID_NULL, 0, com::DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            com::S_OK);
  EXPECT_EQ(result.lVal, 1);
  EXPECT_EQ(xls.m_lpDispatch->Invoke(207, com::GUID_NULL, 0, com::DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                     nullptr),
            com::DISP_E_MEMBERNOTFOUND);
}

}  // namespace
