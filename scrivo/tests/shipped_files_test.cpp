// The files a fresh install carries beside the program: the field and element names, the
// language list, the help pages and the default worksheet. Each is read the way the editor
// or the viewer reads it, from the folder of the running program (the tests' own folder is
// the program's).
#include "viewer_support.h"

#include <platform/paths.h>
#include <platform/profile.h>

#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest/QTest>

#include <regex>
#include <set>

using namespace scrivo_test;

namespace {

namespace fs = std::filesystem;

const fs::path kProgram = SCRIVO_PROGRAM;
const fs::path kSources = SCRIVO_RES_DIR;

fs::path hostFolder() { return fs::path(platform::programPath()).parent_path(); }
u16 beside(const char* name) { return platform::fromUtf8((hostFolder() / name).string()); }

// The plain text a page shows, decoded by the charset it declares.
QString pageText(const char* name) {
  QTextDocument doc;
  doc.setHtml(QString::fromUtf8(qtest::readFile(hostFolder() / name)));
  return doc.toPlainText();
}

// The tags of the fields of an internal record text, in order.
std::vector<u16> tagsOf(const u16& record) {
  const std::string text = platform::toUtf8(record);
  static const std::regex field("<field name=\"([^\"]*)\"");
  std::vector<u16> tags;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), field); it != std::sregex_iterator(); ++it)
    tags.push_back(platform::fromUtf8((*it)[1].str()));
  return tags;
}

u16 fieldName(const u16& tag) { return platform::profileString(beside("fldtips.ini"), u"Alias", tag, u"新增字段", 256); }

}  // namespace

TEST(ShippedFiles, LieBesideTheProgramAsInTheSources) {
  ASSERT_EQ(hostFolder(), kProgram.parent_path()) << "the tests read the program's folder";
  for (const char* name : {"fldtips.ini", "dctips.ini", "lang.ini", "marcfld.htm", "marcid.htm", "lang.htm"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::exists(hostFolder() / name));
    EXPECT_EQ(qtest::readFile(hostFolder() / name), qtest::readFile(kSources / name));
  }
  // The worksheet is the record text in UTF-16LE, without a byte-order mark.
  const std::string sheet = qtest::readFile(hostFolder() / "Scrivo.ini");
  EXPECT_EQ(sheet.substr(0, 12), platform::toNarrow(-1, u"<marc>"));
  EXPECT_EQ(sheet.size() % 2, 0u);
}

// Every field of a CNMARC book record has its name; the names are the ones cataloguers know.
TEST(ShippedFiles, FieldNamesForEveryBlock) {
  struct Case {
    const char16_t* tag;
    const char16_t* name;
  };
  const Case cases[] = {
      {u"000", u"记录头标"},         {u"001", u"记录标识号"},     {u"005", u"记录版次标识"},
      {u"010", u"国际标准书号"}, {u"100", u"通用处理数据"}, {u"200", u"题名与责任说明"},
      {u"210", u"出版发行等"},       {u"215", u"载体形态项"},     {u"330", u"提要或文摘"},
      {u"410", u"丛编"},             {u"517", u"其他题名"},       {u"606", u"普通主题"},
      {u"690", u"中国图书馆分类法分类号"}, {u"701", u"个人等同责任者"}, {u"801", u"记录来源"},
      {u"905", u"馆藏信息"},
  };
  for (const Case& c : cases) EXPECT_EQ(fieldName(c.tag), c.name) << platform::toUtf8(c.tag);
  for (const IsoField& f : cnmarcBook()) EXPECT_NE(fieldName(platform::fromUtf8(f.tag)), u"新增字段") << f.tag;
  // Every field with subfields lists their names under its tag.
  EXPECT_EQ(platform::profileString(beside("fldtips.ini"), u"200", u"a", u"", 256), u"正题名");
  EXPECT_EQ(platform::profileString(beside("fldtips.ini"), u"701", u"4", u"", 256), u"责任方式");
}

// A CNMARC record opened in the viewer: the field dialog of each field shows the field's
// name, and its help pane shows the field help page.
TEST_F(ViewerTest, ARealRecordShowsFieldNamesAndTheFieldHelp) {
  const auto path = writeFile("book.mrc", isoRecordOf(cnmarcBook()));
  start(platform::fromUtf8(path.string()));
  QWidget* editor = PenwickWidget(dlg->editor.m_pEditor);
  ASSERT_NE(editor, nullptr);
  const std::vector<u16> tags = tagsOf(shown());
  ASSERT_EQ(tags.size(), cnmarcBook().size());

  QString help;
  for (size_t i = 0; i < tags.size(); ++i) {
    SCOPED_TRACE(platform::toUtf8(tags[i]));
    ASSERT_EQ(dlg->editor.SetCursorPos(int32_t(i + 1), -1, 0), 1);
    const QRect caret = editor->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QString alias;
    script.act([&](QDialog& d) {
      alias = ui::controlText(&d, 27039);
      if (help.isEmpty()) {
        uitest::click(&d, 27035);  // 字段帮助>>
        if (auto* browser = ui::findControlAs<QTextBrowser>(&d, 27018)) help = browser->toPlainText();
      }
      d.reject();
    });
    // A double-click on the field's tag opens its field dialog.
    QTest::mouseDClick(dlg->windowHandle(), Qt::LeftButton, {}, editor->mapTo(dlg.get(), QPoint(8, caret.center().y())));
    ASSERT_EQ(script.records().size(), 1u);
    EXPECT_EQ(script.records()[0].templateId, 27023);
    EXPECT_EQ(alias, ui::qs(fieldName(tags[i])));
    EXPECT_NE(alias, QStringLiteral("新增字段"));
    script.clear();
  }
  EXPECT_TRUE(help.contains(QStringLiteral("CNMARC 字段帮助"))) << help.left(200).toStdString();
  EXPECT_TRUE(help.contains(QStringLiteral("题名与责任说明")));
}

// The help pages name every field and language code that the INI files list.
TEST(ShippedFiles, TheHelpPagesCoverTheLists) {
  const QString fieldHelp = pageText("marcfld.htm"), ids = pageText("marcid.htm"), langs = pageText("lang.htm");
  const std::vector<u16> tags = platform::profileKeys(beside("fldtips.ini"), u"Alias");
  ASSERT_GT(tags.size(), 140u);
  for (const u16& tag : tags) {
    if (tag == u"000") continue;
    const QString name = ui::qs(fieldName(tag));
    EXPECT_TRUE(fieldHelp.contains(ui::qs(tag)) && fieldHelp.contains(name)) << platform::toUtf8(tag);
    EXPECT_TRUE(ids.contains(ui::qs(tag))) << platform::toUtf8(tag);
    // Each subfield identifier stands in the identifier page as tag$code.
    for (const u16& code : platform::profileKeys(beside("fldtips.ini"), tag))
      EXPECT_TRUE(ids.contains(ui::qs(tag + u"$" + code))) << platform::toUtf8(tag + u"$" + code);
  }
  const std::vector<u16> codes = platform::profileList(beside("lang.ini"), u"Langs");
  ASSERT_GT(codes.size(), 40u);
  EXPECT_EQ(codes.front(), u"chi");
  for (const u16& code : codes) {
    EXPECT_EQ(code.size(), 3u);
    EXPECT_TRUE(langs.contains(ui::qs(code))) << platform::toUtf8(code);
  }
}

// The fifteen Dublin Core elements with their names, refinements and schemes, as the editor's
// Dublin Core mode reads them.
TEST(ShippedFiles, DublinCoreElementsAndQualifiers) {
  const u16 ini = beside("dctips.ini");
  const std::vector<u16> elements = platform::profileList(ini, u"Elements");
  const std::vector<u16> fifteen = {u"title",  u"creator",    u"subject", u"description", u"publisher",
                                    u"contributor", u"date", u"type",    u"format",      u"identifier",
                                    u"source", u"language",   u"relation", u"coverage",  u"rights"};
  EXPECT_EQ(elements, fifteen);
  for (const u16& e : elements) {
    SCOPED_TRACE(platform::toUtf8(e));
    EXPECT_NE(platform::profileString(ini, u"Alias", e, u"新增元素", 256), u"新增元素");
    for (const u16& type : platform::profileList(ini, e + u".Type"))
      EXPECT_FALSE(platform::profileString(ini, u"Alias", e + u"." + type, u"", 256).empty()) << platform::toUtf8(type);
  }
  struct Case {
    const char16_t* section;
    std::vector<u16> values;
  };
  const Case lists[] = {
      {u"title.Type", {u"alternative"}},
      {u"date.Type", {u"created", u"valid", u"available", u"issued", u"modified", u"dateAccepted", u"dateCopyrighted",
                      u"dateSubmitted"}},
      {u"coverage.Type", {u"spatial", u"temporal"}},
      {u"coverage.spatial.Scheme", {u"Point", u"ISO3166", u"Box", u"TGN"}},
      {u"type.Scheme", {u"DCMIType"}},
  };
  for (const Case& c : lists) EXPECT_EQ(platform::profileList(ini, c.section), c.values) << platform::toUtf8(c.section);
  EXPECT_EQ(platform::profileString(ini, u"General", u"syntax", u"rdf", 32), u"rdf");
  EXPECT_EQ(platform::profileString(ini, u"Qualifiers", u"MarcID", u"no", 256), u"yes");
}

// The editor in Dublin Core mode writes the namespace the MarcID qualifier needs, from the
// shipped dctips.ini.
TEST_F(ViewerTest, TheDublinCoreModeDeclaresTheQualifierNamespace) {
  start();
  CPenwick dc;
  ASSERT_NE(dc.CreateEditor(dlg.get(), 0, 0, 400, 200), 0);
  dc.SetFormat(1, 0);
  const u16 rdf = u"<rdf:RDF><rdf:Description><dc:title MarcID=\"200$a\">书名</dc:title></rdf:Description></rdf:RDF>";
  dc.SetText(rdf.data(), int32_t(rdf.size()), -1);
  std::vector<char16_t> out(4096);
  int32_t length = int32_t(out.size());
  dc.GetText(out.data(), length, -1);
  const u16 written(out.data(), size_t(std::max(length, 0)));
  EXPECT_NE(written.find(u" xmlns:dtq=\"urn:qorvelmarc:dc-terms-qualifiers#\""), u16::npos) << platform::toUtf8(written);
  EXPECT_NE(written.find(u"<dc:title MarcID=\"200$a\">书名</dc:title>"), u16::npos) << platform::toUtf8(written);
}

// The default worksheet shipped with the program: a CNMARC book record whose fields all have
// names, shown whole.
TEST_F(ViewerTest, TheShippedWorksheetIsACnmarcBookRecord) {
  start();
  dlg->programPath = kProgram.string();
  dlg->LoadDefaultWorksheet();
  const std::string bytes = qtest::readFile(hostFolder() / "Scrivo.ini");
  u16 sheet(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < sheet.size(); ++i) sheet[i] = char16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
  EXPECT_EQ(shown(), sheet);
  EXPECT_EQ(sheet.substr(0, 47), u"<marc><header>00000nam0\x11" u"2200000\x11\x11\x11" u"450\x11</header>");
  const std::vector<u16> tags = tagsOf(sheet);
  const std::vector<u16> book = {u"001", u"005", u"010", u"100", u"101", u"102", u"105", u"106", u"200", u"205", u"210",
                                 u"215", u"225", u"300", u"330", u"410", u"606", u"690", u"701", u"801", u"905"};
  EXPECT_EQ(tags, book);
  for (const u16& tag : tags) EXPECT_NE(fieldName(tag), u"新增字段") << platform::toUtf8(tag);
  // The coded fields carry their fixed-length data, blanks where the cataloguer fills in.
  EXPECT_NE(sheet.find(u"<field name=\"100\" indicator=\"\x11\x11\"><sf name=\"a\">\x11\x11\x11\x11\x11\x11\x11\x11"
                       u"d\x11\x11\x11\x11\x11\x11\x11\x11" u"em\x11y0chiy50\x11\x11\x11\x11\x11\x11" u"ea</sf></field>"),
            u16::npos);
  EXPECT_NE(sheet.find(u"<field name=\"105\" indicator=\"\x11\x11\"><sf name=\"a\">y\x11\x11\x11z\x11\x11\x11" u"000yy</sf>"),
            u16::npos);
}
