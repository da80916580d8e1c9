// The main dialog: opening files from the command line and the open dialog, paging and
// counting in each code-page form, the default worksheet, the XML record file, the answers
// to the editor's notifications, WM_PASTE and the About item.
#include "viewer_support.h"

#include "record_xml.h"
#include "viewer_app.h"

#include <loomkit/CvtCode.h>
#include <penwick/notify.h>
#include <ui/clipboard.h>
#include <ui/commondlg.h>
#include <ui/fonts.h>
#include <ui/messages.h>

#include <QComboBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QPushButton>

using namespace scrivo_test;

namespace {

const QString kLast = QStringLiteral("这已经是最后一条记录");
const QString kFirst = QStringLiteral("这已经是第一条记录");
const QString kDefaultCaption = QStringLiteral("Scrivor -- QorvelMARC文件查看器");

std::string eaccTitle(const u16& title) {
  // Chinese characters as one EACC run, the rest as ASCII.
  CCvtCode codes(u"Codes");
  std::string out;
  bool inRun = false;
  for (char16_t c : title) {
    char b[3] = {};
    if (c >= 0x80 && codes.Unicode2Eacc(&c, b) == 3) {
      if (!inRun) out += "\x1B$1";
      inRun = true;
      out.append(b, 3);
    } else {
      if (inRun) out += "\x1B(B";
      inRun = false;
      out += char(c);
    }
  }
  if (inRun) out += "\x1B(B";
  return out;
}

std::string threeRecords(int cp, const std::string& head = std::string()) {
  std::function<std::string(const u16&)> data;
  int bytesCp = cp;
  if (cp == -2) {
    data = eaccTitle;
    bytesCp = 0;
  }
  return head + isoRecord(u"1", u"甲书", bytesCp, data) + isoRecord(u"2", u"乙书", bytesCp, data) +
         isoRecord(u"3", u"丙书", bytesCp, data);
}

// A MARCXML file of three records made into ISO 2709 (UTF-8) by yaz-marcdump.
std::string yazUtf8Records(const qtest::TempDir& dir) {
  std::string xml = "<collection xmlns=\"http://www.loc.gov/MARC21/slim\">";
  for (const char* t : {"甲书", "乙书", "丙书"})
    xml += std::string("<record><leader>00000nam a2200000 a 4500</leader><controlfield tag=\"001\">x</controlfield>"
                       "<datafield tag=\"245\" ind1=\"1\" ind2=\"0\"><subfield code=\"a\">") + t +
           "</subfield></datafield></record>";
  xml += "</collection>";
  qtest::writeFile(dir / "in.xml", xml);
  std::string out;
  EXPECT_EQ(qtest::run("yaz-marcdump -i marcxml -o marc '" + (dir / "in.xml").string() + "'", &out), 0);
  return out;
}

}  // namespace

TEST_F(ViewerTest, OpensPagesAndCountsEachForm) {
  struct Form {
    const char* name;
    std::string bytes;
    const char* suffix;
  };
  const Form forms[] = {
      {"GBK", threeRecords(0), " (Ansi)"},
      {"UTF-16 with FF FE", threeRecords(-1, "\xFF\xFE"), " (UCS2)"},
      {"UTF-8 with EF BB BF", threeRecords(65001, "\xEF\xBB\xBF"), " (UTF8)"},
      {"UTF-8 from yaz-marcdump", yazUtf8Records(dir), " (UTF8)"},
      {"EACC", threeRecords(-2), " (EACC3)"},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.name);
    // A path with blanks, quoted on the command line.
    const auto path = writeFile(std::string("my records/") + f.name + ".mrc", f.bytes);
    start(u"\"" + platform::fromUtf8(path.string()) + u"\"");
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(caption(), QStringLiteral("Scrivo - ") + QString::fromStdString(path.string()) + f.suffix);
    EXPECT_EQ(dlg->commandLineFile, platform::fromUtf8(path.string()));
    EXPECT_TRUE(dlg->item(CViewerDlg::IDC_PREV)->isEnabled());
    EXPECT_TRUE(dlg->item(CViewerDlg::IDC_NEXT)->isEnabled());
    EXPECT_EQ(dlg->RecordNumber(), 1);
    EXPECT_TRUE(shows(u"甲书")) << platform::toUtf8(shown());

    ASSERT_TRUE(dlg->OnNextRecord());
    EXPECT_EQ(dlg->RecordNumber(), 2);
    EXPECT_TRUE(shows(u"乙书"));
    // Counting leaves the position: ">>" goes on with the third record.
    dlg->OnRecordCount();
    EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{
                                  {QStringLiteral("MARC文件中共有: 3条记录"), ui::Icon::None}}));
    EXPECT_EQ(dlg->RecordNumber(), 2);
    ASSERT_TRUE(dlg->OnNextRecord());
    EXPECT_EQ(dlg->RecordNumber(), 3);
    EXPECT_TRUE(shows(u"丙书"));
    EXPECT_FALSE(dlg->OnNextRecord());
    EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{{kLast, ui::Icon::Information}}));
    EXPECT_EQ(dlg->RecordNumber(), 3);

    ASSERT_TRUE(dlg->OnPrevRecord());
    EXPECT_EQ(dlg->RecordNumber(), 2);
    EXPECT_TRUE(shows(u"乙书"));
    ASSERT_TRUE(dlg->OnPrevRecord());
    EXPECT_TRUE(shows(u"甲书"));
    EXPECT_FALSE(dlg->OnPrevRecord());
    EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{{kFirst, ui::Icon::Information}}));
    EXPECT_EQ(dlg->RecordNumber(), 1);
    dlg.reset();
  }
}

TEST_F(ViewerTest, AFileThatCannotBeOpenedShowsTheDefaultWorksheet) {
  const u16 sheet = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"450\x11</header><field name=\"001\">sheet</field></marc>";
  qtest::writeFile(iniPath(), platform::toNarrow(-1, sheet));
  start(u"\"" + platform::fromUtf8((dir / "missing.mrc").string()) + u"\"");
  EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{
                                {QStringLiteral("指定的MARC数据文件打开失败!"), ui::Icon::Error}}));
  EXPECT_EQ(caption(), kDefaultCaption);
  EXPECT_EQ(dlg->RecordNumber(), 0);
  EXPECT_NE(shown().find(u"sheet"), u16::npos) << platform::toUtf8(shown());
  EXPECT_FALSE(dlg->item(CViewerDlg::IDC_NEXT)->isEnabled());
  // With no file open, paging and counting say so and change nothing.
  EXPECT_FALSE(dlg->OnNextRecord());
  EXPECT_FALSE(dlg->OnPrevRecord());
  dlg->OnRecordCount();
  EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{
                                {kLast, ui::Icon::Information},
                                {kFirst, ui::Icon::Information},
                                {QStringLiteral("MARC文件中共有: 0条记录"), ui::Icon::None}}));
  EXPECT_EQ(dlg->RecordNumber(), 0);
}

TEST_F(ViewerTest, TheWorksheetIsTheIniFileBesideTheProgram) {
  EXPECT_EQ(ViewerIniPath("/opt/q/Scrivo"), "/opt/q/Scrivo.ini");
  EXPECT_EQ(ViewerIniPath("/opt/a.exe/Scrivo.exe"), "/opt/a.ini/Scrivo.ini");
  EXPECT_EQ(RemoveQuotes(u"\"/a b/\"c\".mrc\""), u"/a b/c.mrc");
  // The arguments form the whole command line again, as the shell split it.
  char arg0[] = "Scrivo", arg1[] = "\"/my", arg2[] = "records/甲.mrc\"";
  char* argv[] = {arg0, arg1, arg2};
  EXPECT_EQ(RemoveQuotes(CommandLineOf(3, argv)), u"/my records/甲.mrc");
  EXPECT_EQ(CommandLineOf(1, argv), u"");

  // Without an INI file the start shows nothing and says nothing.
  start();
  EXPECT_TRUE(takeMessages().empty());
  EXPECT_EQ(shown(), u"");

  // Over an open file: number 0, and ">>" goes on after the last record read, counted from 0.
  const auto path = writeFile("three.mrc", threeRecords(0));
  dlg->commandLineFile.clear();
  ASSERT_TRUE(dlg->recordFile.Open(path.string(), platform::CFile::modeRead));
  dlg->ShowOpenedFile(platform::fromUtf8(path.string()));
  const u16 sheet = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"450\x11</header><field name=\"001\">ws</field></marc>";
  // An odd last byte is no character.
  qtest::writeFile(iniPath(), platform::toNarrow(-1, sheet) + "x");
  dlg->LoadDefaultWorksheet();
  EXPECT_EQ(caption(), kDefaultCaption);
  EXPECT_EQ(dlg->RecordNumber(), 0);
  EXPECT_EQ(shown(), sheet);
  ASSERT_TRUE(dlg->OnNextRecord());
  EXPECT_EQ(dlg->RecordNumber(), 1);
  EXPECT_TRUE(shows(u"乙书"));
}

TEST_F(ViewerTest, TheOpenDialogOpensTheChosenFile) {
  const auto good = writeFile("good.iso", threeRecords(0));
  const auto empty = writeFile("empty.mrc", "");
  start();
  struct Case {
    std::filesystem::path pick;
    std::vector<std::pair<QString, ui::Icon>> messages;
    QString caption;
    int number;
  };
  const QString goodCaption = QStringLiteral("Scrivo - ") + QString::fromStdString(good.string()) + " (Ansi)";
  const Case cases[] = {
      {{}, {}, kDefaultCaption, 0},
      {good, {}, goodCaption, 1},
      // Not opened: the shown record, caption and number stay.
      {dir / "missing.mrc", {{QStringLiteral("指定的MARC数据文件打开失败"), ui::Icon::Error}}, goodCaption, 1},
      // Opened but holding no record.
      {empty, {{kLast, ui::Icon::Information}}, goodCaption, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pick.string());
    script.act(pickFile(c.pick));
    dlg->OnLoadFile();
    ASSERT_FALSE(script.records().empty());
    EXPECT_EQ(script.records().front().caption, QStringLiteral("指定源MARC(GBK,Unicode,UFT8,EACC)数据文件名"));
    auto messages = takeMessages();
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(caption(), c.caption);
    EXPECT_EQ(dlg->RecordNumber(), c.number);
  }
  EXPECT_TRUE(shows(u"甲书"));
}

TEST_F(ViewerTest, SavesTheShownRecordInTheXmlWrapper) {
  const auto path = writeFile("one.mrc", isoRecord(u"7", u"记录", 0));
  start(platform::fromUtf8(path.string()));
  const u16 text = shown();
  ASSERT_NE(text.find(titleElement(u"记录")), u16::npos) << platform::toUtf8(text);

  const auto out = dir / "out.xml";
  qtest::writeFile(out, std::string(5000, 'z'));  // replaced, not overwritten in place
  script.act(pickFile(out));
  dlg->OnSaveXml();
  EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{
                                {QStringLiteral("本记录成功输出到文件中"), ui::Icon::Information}}));
  const std::string bytes = qtest::readFile(out);
  const u16 expected = u"<?xml version=\"1.0\" encoding=\"Unicode\" ?>"
                       u"<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                       u"xmlns:marc=\"file://./marc.xml\">" +
                       text + u"</rdf:RDF>";
  EXPECT_EQ(bytes, platform::toNarrow(-1, expected));
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x3C\x00\x3F\x00", 4));
  EXPECT_EQ(bytes.find("\n\0", 0, 2), std::string::npos);
  EXPECT_EQ(dlg->lastXmlFile, platform::fromUtf8(out.string()));

  // The next dialog offers the last name; a file that cannot be made is said so.
  QString offered;
  script.act([&](QDialog& d) {
    auto& fd = dynamic_cast<QFileDialog&>(d);
    offered = fd.selectedFiles().value(0);
    pickFile(dir / "no folder" / "x.xml")(d);
  });
  dlg->OnSaveXml();
  EXPECT_EQ(offered, QString::fromStdString(out.string()));
  EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{
                                {QStringLiteral("指定的XML数据文件打开失败"), ui::Icon::Error}}));
  EXPECT_EQ(dlg->lastXmlFile, platform::fromUtf8(out.string()));
  // Cancelled: nothing at all.
  script.act(pickFile({}));
  dlg->OnSaveXml();
  EXPECT_TRUE(takeMessages().empty());
}

TEST_F(ViewerTest, AnswersTheEditorsNotifications) {
  start();
  struct Case {
    int code;
    int field;
    intptr_t answer;
  };
  const Case cases[] = {
      {penwick::EDN_QUERY, 0, 0},          {penwick::EDN_QUERY, 2, 0},
      {penwick::EDN_QUERY, 3, 0xFF0000},   {penwick::EDN_QUERY, 4, 0xFF0000},
      {penwick::EDN_QUERY, 5, 0xFFFF00},   {penwick::EDN_QUERY, 6, 0xFFFF00},
      {penwick::EDN_QUERY, 7, 0xFFFFFF},   {penwick::EDN_QUERY, 300, 0xFFFFFF},
      {penwick::EDN_QUERY, 0x8000, 0},     {penwick::EDN_CHANGED, 5, 0xFFFF00},
      {penwick::EDN_AUTODATA, 7, 1},       {penwick::EDN_DEFAULTSCRIPT, 0, 1},
      {penwick::EDN_PAGEDOWN, 9, 1},       {penwick::EDN_FKEY_F2, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << "/" << c.field);
    const ui::WPARAM w = penwick::PackNotifyWParam(c.code, c.field);
    EXPECT_EQ(ui::sendMessage(dlg.get(), penwick::WM_EDITORNOTIFY, w, ui::LPARAM(penwick::PackNotifyLParam(-1, 3))),
              c.answer);
  }
  EXPECT_TRUE(takeMessages().empty());
}

TEST_F(ViewerTest, PasteLoadsTheClipboardText) {
  start();
  const u16 record = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"450\x11</header><field name=\"001\">pasted</field></marc>";
  ui::setClipboardText(ui::qs(record));
  EXPECT_EQ(ui::sendMessage(dlg.get(), ui::WM_PASTE, 0, 0), 1);
  EXPECT_EQ(shown(), record);
  // No text on the clipboard: the record stays, the answer is 1 all the same.
  ui::setClipboardText(QString());
  EXPECT_EQ(ui::sendMessage(dlg.get(), ui::WM_PASTE, 0, 0), 1);
  EXPECT_EQ(shown(), record);
}

TEST_F(ViewerTest, ControlsAboutBoxAndScreenshot) {
  const auto path = writeFile("shot.mrc", isoRecord(u"20260001", u"中文图书", 0));
  start(platform::fromUtf8(path.string()));
  struct Control {
    int id;
    const char* text;
  };
  const Control controls[] = {{1001, "装入MARC文件"}, {1007, "<<"},          {1008, ">>"},
                              {1010, "1"},            {1003, "记录数"},      {1006, "缺省工作单"},
                              {1005, "保存到XML文件"}, {1004, "改变字体 >>"}, {1009, "读二维码书目"},
                              {1002, "设置打开方式"}};
  for (const Control& c : controls) EXPECT_EQ(ui::controlText(dlg.get(), c.id), QString::fromUtf8(c.text)) << c.id;
  EXPECT_TRUE(dlg->itemAs<QPushButton>(1003)->isDefault());
  QWidget* editor = PenwickWidget(dlg->editor.m_pEditor);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->geometry().topLeft(), QPoint(10, 45));
  EXPECT_TRUE(dlg->editorCreated);

  dlg->resize(900, 600);
  processEvents();
  EXPECT_EQ(editor->geometry(), QRect(10, 45, 900 - 30, 600 - 65));

  dlg->OnSysCommand(CViewerDlg::IDM_ABOUTBOX);
  ASSERT_EQ(script.records().size(), 1u);
  EXPECT_EQ(script.records()[0].templateId, 100);
  EXPECT_EQ(script.records()[0].caption, QStringLiteral("关于 Scrivo"));
  script.clear();

  dlg->resize(dlg->mapDialogRect(QRect(0, 0, 527, 318)).size());
  processEvents();
  const auto shot = uitest::saveScreenshot(*dlg, "scrivo_main");
  EXPECT_TRUE(std::filesystem::exists(shot));

  // Closing closes the record file.
  dlg->reject();
  EXPECT_FALSE(dlg->recordFile.IsOpen());
}

// The pixels of `w` drawn in exactly `c`.
int pixelsOf(QWidget& w, const QColor& c) {
  const QImage image = w.grab().toImage();
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == c;
  return n;
}

TEST_F(ViewerTest, TheChosenFontAndColourGoToTheEditor) {
  const auto path = writeFile("book.mrc", isoRecordOf(cnmarcBook()));
  start(platform::fromUtf8(path.string()));
  QWidget* editor = PenwickWidget(dlg->editor.m_pEditor);
  ASSERT_NE(editor, nullptr);
  const QColor green(0, 128, 0);
  EXPECT_EQ(pixelsOf(*editor, green), 0);

  QFont offered, chosen;
  QString offeredColour;
  script.act([&](QDialog& d) {
    auto& fd = dynamic_cast<QFontDialog&>(d);
    offered = fd.currentFont();
    QFont f = ui::makeFont(QStringLiteral("宋体"), 9);
    f.setPixelSize(20);
    fd.setCurrentFont(f);
    chosen = fd.currentFont();
    for (auto* list : fd.findChildren<QComboBox*>())
      if (ui::controlId(list) == ui::IDC_FONT_COLOUR) {
        offeredColour = list->currentText();
        list->setCurrentIndex(list->findText(QStringLiteral("绿色")));
      }
    static_cast<QDialog&>(fd).accept();
  });
  dlg->OnChangeFont();
  EXPECT_EQ(QFontInfo(offered).pixelSize(), 16);
  // The dialog starts on the face that 宋体 is drawn with.
  EXPECT_EQ(offered.family().toStdString(), QFontInfo(ui::makeFont(QStringLiteral("宋体"), 9)).family().toStdString());
  EXPECT_EQ(offeredColour, QStringLiteral("黑色"));
  penwick::LOGFONTW lf;
  int32_t colour = -1;
  dlg->editor.GetFont(&lf, colour);
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(QString::fromUtf16(lf.lfFaceName), chosen.family());
  EXPECT_EQ(colour, 0x008000);
  // The record's text is drawn in the colour.
  EXPECT_GT(pixelsOf(*editor, green), 100);

  // Cancelled: font and colour stay; the next dialog starts on black again.
  script.act([&](QDialog& d) {
    for (auto* list : d.findChildren<QComboBox*>())
      if (ui::controlId(list) == ui::IDC_FONT_COLOUR) offeredColour = list->currentText();
    d.reject();
  });
  dlg->OnChangeFont();
  EXPECT_EQ(offeredColour, QStringLiteral("黑色"));
  dlg->editor.GetFont(&lf, colour);
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_EQ(colour, 0x008000);
}

// A worksheet of `chars` characters: a record of short 005 fields, the last one filling what
// is left (the editor lays out many short fields far faster than one long one).
u16 worksheetOf(size_t chars) {
  const u16 head = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"450\x11</header>";
  const u16 open = u"<field name=\"005\">", close = u"</field>", tail = u"</marc>";
  const u16 full = open + u16(80, u'w') + close;
  u16 text = head;
  while (text.size() + 2 * full.size() + tail.size() <= chars) text += full;
  return text + open + u16(chars - text.size() - open.size() - close.size() - tail.size(), u'w') + close + tail;
}

TEST_F(ViewerTest, TheWorksheetIsReadUpTo256000Bytes) {
  struct Case {
    size_t chars;
    bool shownWhole;  // else cut at the limit, which the editor takes for no record
  };
  const Case cases[] = {{500, true}, {128000, true}, {128001, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chars);
    const u16 sheet = worksheetOf(c.chars);
    qtest::writeFile(iniPath(), platform::toNarrow(-1, sheet));
    start();
    EXPECT_EQ(shown() == sheet, c.shownWhole) << shown().size();
    dlg.reset();
  }
}

// The shown record is saved whole even when it no longer fits the 128,000-character record
// buffer (the editor then gives no text for that buffer); a file that cannot be written is
// reported, not taken for saved.
TEST_F(ViewerTest, SavesARecordLongerThanTheRecordBuffer) {
  const u16 sheet = worksheetOf(128000);
  qtest::writeFile(iniPath(), platform::toNarrow(-1, sheet));
  start();
  ASSERT_EQ(shown(), sheet);
  const auto out = dir / "long.xml";
  script.act(pickFile(out));
  dlg->OnSaveXml();
  EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{
                                {QStringLiteral("本记录成功输出到文件中"), ui::Icon::Information}}));
  EXPECT_EQ(qtest::readFile(out), scrivo::RecordXmlBytes(sheet));

  // A disk that takes no byte: opened, but not written.
  const auto full = dir / "full.xml";
  std::filesystem::create_symlink("/dev/full", full);
  script.act(pickFile(full));
  dlg->OnSaveXml();
  EXPECT_EQ(takeMessages(), (std::vector<std::pair<QString, ui::Icon>>{
                                {QStringLiteral("指定的XML数据文件打开失败"), ui::Icon::Error}}));
}

namespace {

// What internal record text holds: its fields and subfields (content never holds "<": the
// writer escapes it).
struct TextExtent {
  int32_t fields = 0;
  int32_t subfields = 0;
};

TextExtent ExtentOfText(std::u16string_view text) {
  auto count = [text](std::u16string_view what) {
    int32_t n = 0;
    for (size_t at = text.find(what); at != std::u16string_view::npos; at = text.find(what, at + what.size())) ++n;
    return n;
  };
  return {count(u"<field "), count(u"<sf ")};
}

// `count` fields 500, each of `subfields` subfields $a holding one letter.
std::vector<IsoField> manySubfields(int count, int subfields) {
  u16 data = u"  ";
  for (int i = 0; i < subfields; ++i) data += u"$ax";
  return std::vector<IsoField>(size_t(count), IsoField{"500", data});
}

}  // namespace

// The toolkit makes a record's text of whole elements within 99,999 characters: a longer
// record is shown without its later subfields and fields, and the viewer says so, paging
// forwards and backwards, in every form, with stray text between the records.
TEST_F(ViewerTest, SaysSoWhenARecordIsShownCut) {
  struct Case {
    const char* what;
    int fields, subfields;
    bool cut;
  } cases[] = {
      {"30 fields of 1000 subfields (90 KB)", 30, 1000, true},
      {"the second of two fields cut inside", 2, 3000, true},
      {"4 fields of 1000 subfields: shown whole", 4, 1000, false},
  };
  const struct {
    const char* name;
    int cp;
    std::string head;
  } forms[] = {{"GBK", 0, ""}, {"UTF-16", -1, "\xFF\xFE"}, {"UTF-8", 65001, ""}};
  for (const auto& form : forms) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(form.name) + ": " + c.what);
      const std::string bytes = form.head + isoRecord(u"1", u"甲书", form.cp) +
                                platform::toNarrow(form.cp, u"导出于2026-01-05 10:30\r\n") +
                                isoRecordOf(manySubfields(c.fields, c.subfields), form.cp) +
                                isoRecord(u"3", u"丙书", form.cp);
      start(platform::fromUtf8(writeFile(std::string(form.name) + ".mrc", bytes).string()));
      ASSERT_TRUE(shows(u"甲书"));
      EXPECT_TRUE(takeMessages().empty());
      for (const bool forwards : {true, false}) {
        ASSERT_TRUE(forwards ? dlg->OnNextRecord() : dlg->OnPrevRecord());
        const u16 text = shown();
        const TextExtent seen = ExtentOfText(text);
        ASSERT_GE(seen.fields, 1);
        std::vector<std::pair<QString, ui::Icon>> expected;
        if (c.cut) {
          EXPECT_LT(seen.subfields, c.fields * c.subfields);
          // Fields shown whole: a field cut among its subfields (the last shown) is not.
          expected.emplace_back(ui::qs(platform::format(u"本记录过长，只显示了前%ld个字段（共%ld个字段），后面的内容未显示",
                                                       seen.subfields / c.subfields, c.fields)),
                                ui::Icon::Warning);
        } else {
          EXPECT_EQ(seen.fields, c.fields);
          EXPECT_EQ(seen.subfields, c.fields * c.subfields);
        }
        EXPECT_EQ(takeMessages(), expected) << (forwards ? ">>" : "<<");
        if (forwards) {
          ASSERT_TRUE(dlg->OnNextRecord());
          EXPECT_TRUE(shows(u"丙书"));
          EXPECT_TRUE(takeMessages().empty());
        }
      }
      dlg.reset();
    }
  }
}

// Records shown whole are not taken for cut, whatever their shape; a field longer than the
// toolkit's 9,990 characters is shown cut, and said to be.
TEST_F(ViewerTest, OnlyARecordShownCutIsSaidToBe) {
  auto swapEntries = [](std::string record) {
    // The directory's first two entries the other way round: paired by their starts.
    std::swap_ranges(record.begin() + 24, record.begin() + 36, record.begin() + 36);
    return record;
  };
  auto breakSecondEntry = [](std::string record) {
    record[40] = ' ';  // a blank in the second entry's length column
    return record;
  };
  const std::vector<IsoField> odd = {{"001", u"a$b"},  // a delimiter in a control field is data
                                     {"500", u"  $$a两个分隔符$b末尾$"},
                                     {"300", u"  附注"},
                                     {"200", u"1 $a题名"}};
  struct Case {
    const char* what;
    std::string record;
    const char16_t* message;  // null: none
  } cases[] = {
      {"delimiters doubled and last, a field without subfields", isoRecordOf(odd), nullptr},
      {"directory out of order", swapEntries(isoRecordOf(odd)), nullptr},
      {"a field of 9,990 characters", isoRecordOf({{"001", u16(9990, u'x')}}), nullptr},
      {"a field of 9,995 characters", isoRecordOf({{"500", u"  $a" + u16(9991, u'x')}, {"200", u"1 $a题名"}}),
       u"本记录中有字段长于9990个字符，只显示了该字段的前9990个字符"},
      {"the same, its directory broken (salvaged)",
       breakSecondEntry(isoRecordOf({{"500", u"  $a" + u16(9991, u'x')}, {"200", u"1 $a题名"}})),
       u"本记录中有字段长于9990个字符，只显示了该字段的前9990个字符"},
      // 9,994 bytes of UTF-8 with EACC runs, 3,332 characters once read: shown whole.
      {"UTF-8 with a field of 9,994 bytes in an EACC run", "\xEF\xBB\xBF" + isoRecord(u"1", u16(3328, u'甲'), 65001, eaccTitle),
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start(platform::fromUtf8(writeFile("odd.mrc", c.record).string()));
    EXPECT_GE(ExtentOfText(shown()).fields, 1);
    std::vector<std::pair<QString, ui::Icon>> expected;
    if (c.message) expected.emplace_back(QString::fromUtf16(c.message), ui::Icon::Warning);
    EXPECT_EQ(takeMessages(), expected);
    dlg.reset();
  }
}
