// Internal record text written from and read into the editor's fields.
#include "xml_converter.h"

#include <platform/text.h>

#include <gtest/gtest.h>

using namespace penwick;

namespace {

const std::u16string SF(1, kDelimiter);
const std::u16string LEADER = u"01234nam  2200000   4500";
const std::u16string LEADER_ESC = u"01234nam\x11\x11" u"2200000\x11\x11\x11" u"4500";

std::u16string write(CEditorDocument& doc) {
  std::u16string out;
  CXmlConverter(&doc).WriteJinei(out);
  return out;
}

struct Item {
  std::u16string name, indicators, data;
  bool operator==(const Item&) const = default;
};

std::vector<Item> itemsOf(const CEditorDocument& doc) {
  std::vector<Item> out;
  for (CFieldItem* f = doc.FirstField(); f; f = f->next) out.push_back({f->name, f->indicators, f->data});
  return out;
}

TEST(Jinei, WritesTheRecordAsTheToolkitReadsIt) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::u16string, std::u16string>> fields;
    std::u16string text;
  } cases[] = {
      {"leader only", {{u"000", LEADER}}, u"<marc><header>" + LEADER_ESC + u"</header></marc>"},
      {"control and data fields",
       {{u"000", LEADER}, {u"001", u"123"}, {u"245", u"10" + SF + u"aTitle"}},
       u"<marc><header>" + LEADER_ESC + u"</header><field name=\"001\">123</field>"
       u"<field name=\"245\" indicator=\"10\"><sf name=\"a\">Title</sf></field></marc>"},
      {"blank indicators", {{u"000", LEADER}, {u"245", u"  " + SF + u"aT"}},
       u"<marc><header>" + LEADER_ESC + u"</header><field name=\"245\" indicator=\"\x11\x11\"><sf name=\"a\">T</sf></field></marc>"},
      {"content escapes", {{u"000", LEADER}, {u"500", u"  " + SF + u"aA & <b> \"c\" 'd'"}},
       u"<marc><header>" + LEADER_ESC + u"</header><field name=\"500\" indicator=\"\x11\x11\"><sf name=\"a\">"
       u"A\x11\x12\x11\x13" u"b\x14\x11\x15" u"c\x15\x11\x16" u"d\x16</sf></field></marc>"},
      {"text before the first delimiter is dropped; a last delimiter gives an empty sf",
       {{u"000", LEADER}, {u"650", u" 0lost" + SF + u"ax" + SF}},
       u"<marc><header>" + LEADER_ESC + u"</header><field name=\"650\" indicator=\"\x11" u"0\">"
       u"<sf name=\"a\">x</sf><sf name=\"\"></sf></field></marc>"},
      {"a data field without delimiters holds its data", {{u"000", LEADER}, {u"999", u"12abc"}},
       u"<marc><header>" + LEADER_ESC + u"</header><field name=\"999\" indicator=\"12\">abc</field></marc>"},
  };
  for (const Case& c : cases) {
    CEditorDocument doc(u"/h");
    for (const auto& [name, data] : c.fields) doc.AddField(name, data);
    EXPECT_EQ(write(doc), c.text) << c.what;
  }
}

TEST(Jinei, EmptyRecordWritesNothing) {
  CEditorDocument doc(u"/h");
  EXPECT_EQ(write(doc), u"");
}

TEST(Jinei, LeaderOnlyTextHas54Characters) {
  CEditorDocument doc(u"/h");
  doc.AddField(u"000", LEADER);
  EXPECT_EQ(write(doc).size(), 54u);
}

TEST(Jinei, ReadsWhatItWritesWithOrWithoutAPrefix) {
  CEditorDocument doc(u"/h");
  doc.AddField(u"000", LEADER);
  doc.AddField(u"001", u"123");
  doc.AddField(u"245", u"10" + SF + u"aTitle & <x>" + SF + u"bSub");
  doc.AddField(u"246", u"  " + SF + u"a'q'");
  const std::u16string text = write(doc);
  for (const std::u16string& variant : {text, u"FFFFFFFF" + text, u"junk<" + text + u"trailing</marc>"}) {
    CEditorDocument back(u"/h");
    EXPECT_EQ(CXmlConverter(&back).ReadJinei(variant), 1);
    EXPECT_EQ(itemsOf(back), itemsOf(doc));
  }
}

TEST(Jinei, ReadsIndicatorsFromTheirAttributeOnly) {
  struct Case {
    std::u16string field;
    Item want;
  } cases[] = {
      {u"<field name=\"245\" indicator=\"10\"><sf name=\"a\">T</sf></field>", {u"245", u"10", SF + u"aT"}},
      // a data field without indicators keeps its first subfield whole
      {u"<field name=\"245\"><sf name=\"a\">T</sf></field>", {u"245", u"", SF + u"aT"}},
      {u"<field name=\"245\" indicator=\"1\"><sf name=\"a\">T</sf></field>", {u"245", u"1", SF + u"aT"}},
      {u"<field indicator=\"\x11\x11\" name=\"100\"><sf name=\"a\">N\x11" u"x</sf></field>", {u"100", u"  ", SF + u"aN x"}},
      {u"<field name=\"001\">12\x11" u"3</field>", {u"001", u"", u"12 3"}},
      {u"<field name=\"650\"> 0<sf name=\"a\">S</sf>tail</field>", {u"650", u"", u" 0" + SF + u"aStail"}},
  };
  for (const Case& c : cases) {
    CEditorDocument doc(u"/h");
    ASSERT_EQ(CXmlConverter(&doc).ReadJinei(u"<marc><header>" + LEADER_ESC + u"</header>" + c.field + u"</marc>"), 1);
    ASSERT_EQ(doc.FieldCount(), 2) << platform::toUtf8(c.field);
    EXPECT_EQ(itemsOf(doc)[0], (Item{u"000", u"", LEADER}));
    EXPECT_EQ(itemsOf(doc)[1], c.want) << platform::toUtf8(c.field);
  }
}

TEST(Jinei, UnreadableTextReadsNothing) {
  const std::u16string cases[] = {
      u"",
      u"<rdf:RDF><rdf:Description><dc:title>x</dc:title></rdf:Description></rdf:RDF>",
      u"<marc><header>x</header>",
      u"</marc><marc><header>x</header>",
      u"<marc><header>x</heder></marc>",
      u"<marc></marc>",
  };
  for (const std::u16string& text : cases) {
    CEditorDocument doc(u"/h");
    EXPECT_EQ(CXmlConverter(&doc).ReadJinei(text), 0) << platform::toUtf8(text);
    EXPECT_EQ(doc.FieldCount(), 0);
  }
}

TEST(Jinei, OddTagsAndCodesStillMakeTextThatReadsBack) {
  CEditorDocument doc(u"/h");
  doc.AddField(u"000", LEADER);
  doc.AddField(u"2\"5", u"<&" + SF + u"\"x");
  std::u16string text = write(doc);
  CEditorDocument back(u"/h");
  ASSERT_EQ(CXmlConverter(&back).ReadJinei(text), 1);
  EXPECT_EQ(itemsOf(back), itemsOf(doc));
}

}  // namespace
