// Subfield lookups on a record, plain and through a group, and the shared tree operations.
#include "support.h"

using namespace model_test;

namespace {

const u16 kRecord = record(controlField(u"001", u"id") + u"<field name=\"010\"/>" +
                           dataField(u"010", u"", {{u"a", u"second"}}) +
                           dataField(u"200", u"", {{u"a", u"T"}, {u"b", u""}}) +
                           dataField(u"606", u"", {{u"x", u"lead"}, {u"a", u"Rivers"}, {u"x", u"Maps"},
                                                   {u"a", u"Lakes\u0011big"}, {u"y", u"1990"}}) +
                           dataField(u"606", u"", {{u"a", u"Hills"}, {u"x", u"Atlas"}}));

TEST(MarcFileLookup, PlainLookups) {
  struct Case {
    const char16_t* tag;
    const char16_t* code;
    const char16_t* text;  // null: not found
  } cases[] = {
      {u"200", u"a", u"T"},
      {u"200", u"b", u""},
      {u"200", u"c", nullptr},
      {u"010", u"a", nullptr},  // only the first 010 counts, and it is empty
      {u"001", u"a", nullptr},
      {u"606", u"a", u"Rivers"},
      {u"999", u"a", nullptr},
      {nullptr, u"a", nullptr},
      {u"200", nullptr, nullptr},
  };
  CMarcFile& mf = CMarcFile::Shared();
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(kRecord.c_str());
    u16 before = content(m);
    CSubField s = mf.GetSpecifySubFld(m, c.tag, c.code);
    int found = mf.AccessSubFld(m, c.tag, c.code);
    EXPECT_EQ(found, c.text != nullptr) << (c.tag ? u8(c.tag) : "null");
    if (c.text)
      EXPECT_EQ(content(s), c.text);
    else
      EXPECT_TRUE(s.IsNull());
    EXPECT_EQ(content(m), before) << "lookups change nothing";
  }
}

TEST(MarcFileLookup, GroupedLookups) {
  struct Case {
    const char16_t* tag;
    const char16_t* groupCode;
    const char16_t* groupText;
    const char16_t* code;
    const char16_t* text;  // null: not found
  } cases[] = {
      {u"606", u"a", u"Rivers", u"x", u"Maps"},
      {u"606", u"a", u"Lakes big", u"y", u"1990"},
      {u"606", u"a", u"Lakes big", u"x", nullptr},
      {u"606", u"a", u"Lakes\u0011big", u"y", nullptr},  // compared decoded
      {u"606", u"a", u"Hills", u"x", nullptr},          // only the first 606
      {u"606", u"a", u"lead", u"x", nullptr},           // a subfield before the first group
      {u"606", u"x", u"Maps", u"a", u"Lakes\u0011big"},
      {u"606", u"q", u"Rivers", u"x", nullptr},         // nothing to group at
      {u"200", u"a", u"T", u"b", u""},
      {u"010", u"a", u"", u"a", nullptr},
      {u"999", u"a", u"x", u"a", nullptr},
  };
  CMarcFile& mf = CMarcFile::Shared();
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(kRecord.c_str());
    u16 before = content(m);
    CSubField s = mf.GetSpecifySubFld(m, c.tag, c.groupCode, c.groupText, c.code);
    EXPECT_EQ(mf.AccessSubFld(m, c.tag, c.groupCode, c.groupText, c.code), c.text != nullptr)
        << u8(c.groupText);
    if (c.text)
      EXPECT_EQ(content(s), c.text) << u8(c.groupText);
    else
      EXPECT_TRUE(s.IsNull()) << u8(c.groupText);
    EXPECT_EQ(content(m), before) << "the grouping is undone";
    if (!s.IsNull()) {
      s.SetContent(u"edited");
      EXPECT_NE(content(m).find(u"edited"), u16::npos) << "the subfield is back in the record";
    }
  }
}

TEST(MarcFileLookup, GroupedLookupWithAnEmptyGroupBeforeTheMatch) {
  CMarc m;
  m.SetContent(record(dataField(u"606", u"", {{u"b", u""}, {u"a", u"Rivers"}, {u"x", u"Maps"}})).c_str());
  CMarcFile& mf = CMarcFile::Shared();
  EXPECT_EQ(thrown([&] { EXPECT_EQ(mf.AccessSubFld(m, u"606", u"a", u"Rivers", u"x"), 1); }), 0);
}

TEST(MarcFileTree, CloneAndChildIndex) {
  CMarc m;
  m.SetContent(kRecord.c_str());
  CMarcFile& mf = CMarcFile::Shared();
  xml::Document doc = xml::Document::create();
  ASSERT_TRUE(doc.loadXml(u"<a><b x=\"1\" y=\"2\"><c>t</c>tail</b><d/></a>"));
  xml::Node b = doc.documentElement().firstChild();
  xml::Node copy = mf.CloneNode(b);
  EXPECT_EQ(copy.xml(), b.xml());
  EXPECT_NE(copy, b);
  EXPECT_TRUE(copy.parent().isNull());
  EXPECT_EQ(mf.ChildIndex(b), 0);
  EXPECT_EQ(mf.ChildIndex(b.nextSibling()), 1);
  EXPECT_EQ(mf.ChildIndex(b.firstChild().nextSibling()), 1) << "text nodes count";
  EXPECT_EQ(mf.ChildIndex(copy), -1);
  EXPECT_EQ(thrown([&] { mf.CloneNode(xml::Node()); }), platform::E_POINTER);
  EXPECT_EQ(thrown([&] { mf.ChildIndex(xml::Node()); }), platform::E_POINTER);
}

}  // namespace
