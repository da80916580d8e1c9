// Internal record text written from and read into the editor's fields.
#include "xml_converter.h"

#include <platform/text.h>

#include <gtest/gtest.h>

#include <algorithm>

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

// Rows of a few characters each, so that every field of a record spans several rows.
class NarrowRows : public CTextMeasure {
 public:
  int FitCount(std::u16string_view, int n) const override { return std::max(1, std::min(n, 7)); }
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
      // In the toolkit's form, all in the attribute: text standing in the element would be
      // lost on the way to ISO 2709, whose writer takes indicators and subfields only.
      {"a data field without delimiters holds its data in the indicator attribute",
       {{u"000", LEADER}, {u"999", u"12abc"}, {u"300", u"  附注 & <x>"}},
       u"<marc><header>" + LEADER_ESC + u"</header><field name=\"999\" indicator=\"12abc\"></field>"
       u"<field name=\"300\" indicator=\"\x11\x11附注\x11\x12\x11\x13x\x14\"></field></marc>"},
      {"without indicators the text stands in the element", {{u"000", LEADER}, {u"300", u""}},
       u"<marc><header>" + LEADER_ESC + u"</header><field name=\"300\"></field></marc>"},
  };
  for (const Case& c : cases) {
    CEditorDocument doc(u"/h");
    for (const auto& [name, data] : c.fields) doc.AddField(name, data);
    EXPECT_EQ(write(doc), c.text) << c.what;
  }
  // A data field that has text but no indicators keeps the text in the element.
  CEditorDocument doc(u"/h");
  doc.AddField(u"000", LEADER);
  doc.AddField(u"300", u"", u"abc");
  EXPECT_EQ(write(doc), u"<marc><header>" + LEADER_ESC + u"</header><field name=\"300\">abc</field></marc>");
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
  doc.AddField(u"880", u"  " + SF + u"a\x1b(B\x01x");  // control characters other than the escapes
  const std::u16string text = write(doc);
  // A record laid out with line breaks between its elements reads the same.
  std::u16string broken = text;
  for (size_t at = 0; (at = broken.find(u"><", at)) != std::u16string::npos; at += 4) broken.replace(at, 2, u">\r\n<");
  for (const std::u16string& variant : {text, u"FFFFFFFF" + text, u"junk<" + text + u"trailing</marc>", broken}) {
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
      // The toolkit writes a data field without subfields wholly into the attribute: its
      // first two characters are the indicators, the rest the field's text.
      {u"<field name=\"300\" indicator=\"\x11\x11附注\x11\x12\"></field>", {u"300", u"  ", u"附注 &"}},
      {u"<field name=\"300\" indicator=\"\x11\x11\">附注</field>", {u"300", u"  ", u"附注"}},
      {u"<field name=\"300\" indicator=\"1\x11" u"a\"><sf name=\"b\">c</sf></field>", {u"300", u"1 ", u"a" + SF + u"bc"}},
      // Two units, but the second begins a pair: one indicator, and the pair stays whole.
      {u"<field name=\"300\" indicator=\"a\U0002000Bb\"></field>", {u"300", u"a", u"\U0002000Bb"}},
  };
  for (const Case& c : cases) {
    CEditorDocument doc(u"/h");
    ASSERT_EQ(CXmlConverter(&doc).ReadJinei(u"<marc><header>" + LEADER_ESC + u"</header>" + c.field + u"</marc>"), 1);
    ASSERT_EQ(doc.FieldCount(), 2) << platform::toUtf8(c.field);
    EXPECT_EQ(itemsOf(doc)[0], (Item{u"000", u"", LEADER}));
    EXPECT_EQ(itemsOf(doc)[1], c.want) << platform::toUtf8(c.field);
  }
}

TEST(Jinei, RealRecordSurvivesLayoutAndTheRoundTrip) {
  // A record as the toolkit writes it: blanks in the leader and the 008, blank and set
  // indicators, every content escape, Chinese text, a field long enough for many rows.
  const std::u16string text =
      u"<marc><header>" + LEADER_ESC + u"</header>"
      u"<field name=\"001\">CAL\x11" u"012000123456</field>"
      u"<field name=\"008\">990101s1999\x11\x11\x11\x11" u"cc\x11" u"a\x11\x11\x11\x11" u"000\x11" u"0\x11" u"chi\x11" u"d</field>"
      u"<field name=\"010\" indicator=\"\x11\x11\"><sf name=\"a\">7-5321-1234-X</sf><sf name=\"d\">CNY12.00</sf></field>"
      u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">题名\x11\x12\x11" u"A\x13" u"b\x14\x15" u"q\x15\x16" u"s\x16</sf>"
      u"<sf name=\"f\">著者</sf></field>"
      u"<field name=\"300\" indicator=\"\x11\x11附注：据1999年版重印，\x11\x12\x11另附光盘一张\"></field>"
      u"<field name=\"606\" indicator=\"0\x11\"><sf name=\"a\">一个很长很长很长很长很长很长的主题词</sf><sf name=\"x\">研究</sf></field>"
      u"</marc>";
  NarrowRows narrow;
  CEditorDocument doc(u"/h");
  doc.SetMeasure(&narrow);
  ASSERT_EQ(CXmlConverter(&doc).ReadJinei(u"FFFFFFFF" + text), 1);
  doc.LayoutAll();
  EXPECT_GT(doc.TotalRows(), doc.FieldCount() + 5);
  EXPECT_EQ(itemsOf(doc)[4], (Item{u"200", u"1 ", SF + u"a题名 & A<b>\"q\"'s'" + SF + u"f著者"}));
  EXPECT_EQ(itemsOf(doc)[5], (Item{u"300", u"  ", u"附注：据1999年版重印， & 另附光盘一张"}));
  EXPECT_EQ(write(doc), text);
}

TEST(Jinei, EditsStillInTheRowsAreWritten) {
  // The host reads the record when the change notification arrives, before the window has
  // painted (and so folded the rows back): the writer must fold them itself.
  NarrowRows narrow;
  CEditorDocument doc(u"/h");
  doc.SetMeasure(&narrow);
  doc.AddField(u"000", LEADER);
  doc.AddField(u"245", u"10" + SF + u"aTitle of it");
  doc.LayoutAll();
  CFieldRow* row = doc.FieldAt(1)->firstRow->next;
  row->text += u"XY";
  row->dirty = true;
  EXPECT_NE(write(doc).find(u"<sf name=\"a\">Title\x11" u"of\x11" u"itXY</sf>"), std::u16string::npos) << platform::toUtf8(write(doc));
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
