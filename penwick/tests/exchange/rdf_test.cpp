// RDF/XML Dublin Core text written from and read into the editor's elements.
#include "xml_converter.h"

#include <qorvel_testing/testing.h>
#include <platform/paths.h>
#include <platform/text.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace penwick;

namespace {

const std::u16string ESC(1, kEsc);
const std::u16string HEAD =
    u"<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
    u" xmlns:dcq=\"http://purl.org/dc/qualifiers/1.0/\"";
const std::u16string DECL = u"<?xml version=\"1.0\" encoding=\"unicode\"?>";

struct Rdf : ::testing::Test {
  qtest::TempDir dir;
  CEditorDocument doc{platform::pathToWide(dir.path().string())};
  Rdf() { doc.SetFormat(FORMAT_DC); }
  void useIni(const std::string& text) {
    std::ofstream(dir / "dctips.ini") << text;
  }
  std::u16string write(int codePage = -1) {
    std::u16string out;
    EXPECT_EQ(CXmlConverter(&doc).WriteRdf(out, codePage), 1);
    return out;
  }
  std::vector<std::pair<std::u16string, std::u16string>> readBack(const std::u16string& text) {
    CEditorDocument back(u"/h");
    back.SetFormat(FORMAT_DC);
    EXPECT_EQ(CXmlConverter(&back).ReadRdf(text), 1) << platform::toUtf8(text);
    std::vector<std::pair<std::u16string, std::u16string>> out;
    for (CFieldItem* f = back.FirstField(); f; f = f->next) out.emplace_back(f->name, f->data);
    return out;
  }
};

using Items = std::vector<std::pair<std::u16string, std::u16string>>;

TEST_F(Rdf, SyntaxChoosesTheElementForm) {
  struct Case {
    std::string syntax;
    std::u16string body;
    Items back;
  } cases[] = {
      {"", HEAD + u"><rdf:Description><dc:title Type=\"Main\">Report</dc:title></rdf:Description></rdf:RDF>",
       {{u"title", u"Report" + ESC + u"Type::=Main"}}},
      {"Rdf", HEAD + u"><rdf:Description><dc:title Type=\"Main\">Report</dc:title></rdf:Description></rdf:RDF>",
       {{u"title", u"Report" + ESC + u"Type::=Main"}}},
      {"RDF",
       HEAD + u"><rdf:Description><dc:title><rdf:Description><rdf:value>Report</rdf:value>"
              u"<dcq:titleType>Main</dcq:titleType></rdf:Description></dc:title></rdf:Description></rdf:RDF>",
       {{u"title", u"Report" + ESC + u"Type::=Main"}}},
  };
  for (const Case& c : cases) {
    useIni(c.syntax.empty() ? "" : "[General]\nsyntax=" + c.syntax + "\n");
    doc.ClearRecord();
    doc.AddField(u"title", u"Report" + ESC + u"Type::=Main");
    std::u16string text = write();
    EXPECT_EQ(text, DECL + c.body) << c.syntax;
    EXPECT_EQ(readBack(text), c.back) << c.syntax;
  }
}

TEST_F(Rdf, OtherSyntaxWritesBareRecordWithoutQualifiers) {
  useIni("[General]\nsyntax=marcxml\n");
  doc.AddField(u"title", u"Report" + ESC + u"Type::=Main");
  doc.AddField(u"my:tag", u"v");
  EXPECT_EQ(write(0), u"<?xml version=\"1.0\" encoding=\"gb2312\"?><record><title>Report</title><tag>v</tag></record>");
}

TEST_F(Rdf, DeclarationFollowsTheCodePage) {
  const std::pair<int, std::u16string> cases[] = {
      {-1, u"unicode"}, {0, u"gb2312"}, {65001, u"utf-8"}, {936, u"utf-8"}};
  for (const auto& [cp, name] : cases) {
    const std::u16string decl = u"<?xml version=\"1.0\" encoding=\"" + name + u"\"?><rdf:RDF ";
    EXPECT_EQ(write(cp).substr(0, decl.size()), decl) << cp;
  }
}

TEST_F(Rdf, NamespacesOfThePropertyFileAreDeclared) {
  useIni("[NameSpaces]\ndtq=\"http://example.org/dtq/\"\nmy='urn:my'\n");
  std::u16string text = write();
  EXPECT_NE(text.find(u"xmlns:dcq=\"http://purl.org/dc/qualifiers/1.0/\" xmlns:dtq=\"http://example.org/dtq/\" xmlns:my='urn:my'>"
                      u"<rdf:Description>"),
            std::u16string::npos)
      << platform::toUtf8(text);
}

TEST_F(Rdf, EveryQualifierInBothForms) {
  const std::u16string data = u"Report" + ESC + u"MarcID::=245$a" + ESC + u"Lang::=chi" + ESC + u"Scheme::=ISBD" + ESC + u"Type::=Main";
  // The writers put them in the order Type, Scheme, Lang, MarcID; both read back the same.
  const std::u16string ordered = u"Report" + ESC + u"Type::=Main" + ESC + u"Scheme::=ISBD" + ESC + u"Lang::=chi" + ESC + u"MarcID::=245$a";
  for (const char* syntax : {"rdf", "RDF"}) {
    useIni(std::string("[General]\nsyntax=") + syntax + "\n[NameSpaces]\ndtq=\"urn:dtq\"\n");
    doc.ClearRecord();
    doc.AddField(u"title", data);
    doc.AddField(u"creator", u"Li" + ESC + u"Type::=");  // an empty qualifier is left out
    EXPECT_EQ(readBack(write()), (Items{{u"title", ordered}, {u"creator", u"Li"}})) << syntax;
  }
}

TEST_F(Rdf, SpecialCharactersSurviveTheRoundTrip) {
  for (const char* syntax : {"rdf", "RDF"}) {
    useIni(std::string("[General]\nsyntax=") + syntax + "\n");
    doc.ClearRecord();
    doc.AddField(u"title", u"a<b>&c \"d\"" + ESC + u"Type::=x&\"<y>\"");
    std::u16string text = write();
    EXPECT_NE(text.find(u"a\x13" u"b\x14"), std::u16string::npos) << syntax;
    EXPECT_EQ(readBack(text), (Items{{u"title", u"a<b>&c \"d\"" + ESC + u"Type::=x&\"<y>\""}})) << syntax;
  }
}

TEST_F(Rdf, ReaderTakesTheFirstDescription) {
  struct Case {
    std::u16string text;
    Items want;
  } cases[] = {
      {u"<?xml version=\"1.0\"?><rdf:RDF xmlns:rdf=\"x\"><rdf:Description><dc:title>T</dc:title>"
       u"<my:tag>v</my:tag><dc:subject xml:lang=\"en\">S</dc:subject></rdf:Description></rdf:RDF><tail/>",
       {{u"title", u"T"}, {u"my:tag", u"v"}, {u"subject", u"S"}}},
      {u"<rdf:Description rdf:about=\"r\"><dc:title Lang=\"chi\"></dc:title></rdf:Description>",  // no end of rdf:RDF
       {{u"title", ESC + u"Lang::=chi"}}},
      {u"</rdf:RDF><rdf:Description><dc:date>2020</dc:date></rdf:Description></rdf:RDF>", {{u"date", u"2020"}}},
      {u"<rdf:Description><dc:title><rdf:Description><rdf:value>V</rdf:value><xml:lang>chi</xml:lang>"
       u"<dtq:MarcID>200$a</dtq:MarcID></rdf:Description></dc:title></rdf:Description>",
       {{u"title", u"V" + ESC + u"Lang::=chi" + ESC + u"MarcID::=200$a"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(readBack(c.text), c.want) << platform::toUtf8(c.text);
}

TEST_F(Rdf, DescriptionWithShownQualifiersAndRowEditsRoundTrips) {
  // A description being edited: qualifiers shown, a qualifier row changed and not yet
  // folded back (the host reads the record on the change notification, before a paint).
  const Items description = {
      {u"title", u"中国图书馆 & <分类>" + ESC + u"Type::=Main" + ESC + u"Lang::=chi"},
      {u"creator", u"Li Ming" + ESC + u"Scheme::=LCNA" + ESC + u"MarcID::=700$a"},
      {u"date", u"2001-02-03"},
      {u"my:local", u"v"},
  };
  for (const char* syntax : {"rdf", "RDF"}) {
    useIni(std::string("[General]\nsyntax=") + syntax + "\n[NameSpaces]\ndtq=\"urn:dtq\"\nmy=\"urn:my\"\n");
    doc.ClearRecord();
    for (const auto& [name, data] : description) doc.AddField(name, data);
    for (CFieldItem* f = doc.FirstField(); f; f = f->next) f->qualifiersShown = 1;
    doc.LayoutAll();
    EXPECT_EQ(readBack(write()), description) << syntax;
    ASSERT_TRUE(doc.FirstField()->SetQualifierRow(u"Lang", u"eng"));
    Items edited = description;
    edited[0].second = u"中国图书馆 & <分类>" + ESC + u"Type::=Main" + ESC + u"Lang::=eng";
    EXPECT_EQ(readBack(write()), edited) << syntax;
  }
}

TEST_F(Rdf, NamesStoredWithThePrefixKeepTheirQualifiers) {
  // A host may add an element by its prefixed name; it reads back by its local name, with
  // its Type and Scheme still there.
  for (const char* syntax : {"rdf", "RDF"}) {
    useIni(std::string("[General]\nsyntax=") + syntax + "\n");
    doc.ClearRecord();
    doc.AddField(u"dc:title", u"Report" + ESC + u"Type::=Main" + ESC + u"Scheme::=S");
    doc.AddField(u"my:tag", u"v" + ESC + u"Type::=T");
    EXPECT_EQ(readBack(write()), (Items{{u"title", u"Report" + ESC + u"Type::=Main" + ESC + u"Scheme::=S"},
                                        {u"my:tag", u"v" + ESC + u"Type::=T"}}))
        << syntax;
  }
}

TEST_F(Rdf, UnreadableTextReadsNothing) {
  const std::u16string cases[] = {
      u"<marc><header>x</header></marc>",
      u"<rdf:RDF><rdf:Description><dc:title>x</dc:titl></rdf:Description></rdf:RDF>",
      u"<rdf:Description",
  };
  for (const std::u16string& text : cases) {
    CEditorDocument back(u"/h");
    back.SetFormat(FORMAT_DC);
    EXPECT_EQ(CXmlConverter(&back).ReadRdf(text), 0) << platform::toUtf8(text);
    EXPECT_EQ(back.FieldCount(), 0);
  }
}

TEST(StripPrefixes, DropsTheKnownPrefixesOfEveryTag) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"<rdf:Description><dc:title>a:b</dc:title></rdf:Description>", u"<Description><title>a:b</title></Description>"},
      {u"<dcq:titleType>x</dcq:titleType><xml:lang/><dtq:MarcID>", u"<titleType>x</titleType><lang/><MarcID>"},
      {u"<my:tag>v</my:tag><", u"<my:tag>v</my:tag><"},
      {u"</", u"</"},
  };
  for (const auto& [in, out] : cases) {
    std::u16string s = in;
    CXmlConverter::StripPrefixes(s);
    EXPECT_EQ(s, out);
  }
}

}  // namespace
