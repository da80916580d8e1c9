// The subfield handle: code and content, comparisons, numbers, edits.
#include "support.h"

using namespace model_test;

namespace {

// One subfield "a" holding the stored text, in field 200 of a fresh record.
struct One {
  CMarc m;
  explicit One(const u16& stored) {
    m.SetContent(record(dataField(u"200", u"", {{u"a", stored}})).c_str());
  }
  CSubField sf() { return m.GetField(1).GetSubFld(0); }
};

TEST(SubField, ContentRawAndDecoded) {
  struct Case {
    u16 stored, raw, decoded;
  } cases[] = {
      {u"A\u0011B", u"A\u0011B", u"A B"},
      {u"\u0011\u0012\u0013\u0014\u0015\u0016", u"\u0011\u0012\u0013\u0014\u0015\u0016", u" &<>\"'"},
      {u"\u001F\u001E", u"\u001F\u001E", u"\u001F\u001E"},
      {u"", u"", u""},
  };
  for (const auto& c : cases) {
    One fx(c.stored);
    EXPECT_EQ(content(fx.sf(), 0), c.raw);
    EXPECT_EQ(content(fx.sf(), 1), c.decoded);
  }
}

TEST(SubField, GetContentBufferRule) {
  One fx(u"abc");
  CSubField s = fx.sf();
  char16_t buf[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(s.GetContent(buf, 3, 0), 0);
  EXPECT_EQ(buf[0], u'#');
  EXPECT_EQ(s.GetContent(buf, 4, 0), 1);
  EXPECT_EQ(u16(buf), u"abc");
  EXPECT_EQ(s.GetContent(buf, 0, 0), 0);
  EXPECT_EQ(s.GetContent(buf, -5, 0), 0);
}

TEST(SubField, Names) {
  CMarc m;
  m.SetContent(record(u"<field name=\"200\"><sf name=\"a\">x</sf><sf>y</sf><sf code=\"q\" name=\"r\">z</sf></field>").c_str());
  CField f = m.GetField(1);
  EXPECT_EQ(u16(f.GetSubFld(0).GetName()), u"a");
  EXPECT_EQ(u16(f.GetSubFld(1).GetName()), u"") << "no attribute";
  EXPECT_EQ(u16(f.GetSubFld(2).GetName()), u"q") << "whatever the first attribute is called";
  EXPECT_EQ(content(f.GetSubFld(u"r", 0)), u"z") << "lookup by code reads the name attribute";

  CSubField s = f.GetSubFld(0);
  s.Rename(u"b");
  EXPECT_EQ(u16(s.GetName()), u"b");
  EXPECT_EQ(content(f).find(u"<sf name=\"b\">x</sf>") != u16::npos, true);
  EXPECT_EQ(content(f.GetSubFld(u"b", 0)), u"x");
  EXPECT_TRUE(f.GetSubFld(u"a", 0).IsNull());
}

TEST(SubField, Compare) {
  struct Case {
    u16 stored;
    const char16_t* with;
    int32_t n;
    int sign;
    int isign;
  } cases[] = {
      {u"abc", u"abd", -1, -1, -1}, {u"abc", u"abd", 2, 0, 0},   {u"ABC", u"abc", -1, -1, 0},
      {u"abc", u"ab", -1, 1, 1},    {u"a\u0011b", u"a b", -1, 0, 0}, {u"", u"", -1, 0, 0},
      {u"", u"a", -1, -1, -1},      {u"abc", u"xyz", 0, 0, 0},   {u"\u00C4", u"\u00E4", -1, -1, -1},
      {u"b", nullptr, -1, 1, 1},
  };
  auto sign = [](int32_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
  for (const auto& c : cases) {
    One fx(c.stored);
    EXPECT_EQ(sign(fx.sf().Compare(c.with, c.n)), c.sign) << u8(c.stored) << " " << c.n;
    EXPECT_EQ(sign(fx.sf().ICompare(c.with, c.n)), c.isign) << u8(c.stored) << " " << c.n;
  }
}

TEST(SubField, Numbers) {
  struct Case {
    u16 stored;
    int32_t lvalue;
    double fvalue;
  } cases[] = {
      {u" 42x", 42, 42},
      {u"\u001142x", 0, 0},
      {u"x42", 0, 0},
      {u"-7", -7, -7},
      {u"+15", 15, 15},
      {u"3.25", 3, 3.25},
      {u"", 0, 0},
      {u"1e3", 1, 1000},
      {u"2.5E-1kg", 2, 0.25},
      {u"7e", 7, 7},
      {u"\t\n 9", 9, 9},
      {u"99999999999", 2147483647, 99999999999.0},
      {u"-99999999999", -2147483647 - 1, -99999999999.0},
      {u"inf", 0, 0},
      {u"0x1A", 0, 0},
      {u"\uFF14\uFF12", 0, 0},
      {u".5", 0, 0.5},
  };
  for (const auto& c : cases) {
    One fx(c.stored);
    EXPECT_EQ(fx.sf().GetLvalue(), c.lvalue) << u8(c.stored);
    EXPECT_DOUBLE_EQ(fx.sf().GetFvalue(), c.fvalue) << u8(c.stored);
  }
}

TEST(SubField, Edits) {
  One fx(u"ab");
  CSubField s = fx.sf();
  s += u"cd";
  EXPECT_EQ(content(s), u"abcd");
  s += nullptr;
  EXPECT_EQ(content(s), u"abcd");
  s.SetContent(u"x\u0011&amp;");
  EXPECT_EQ(content(s), u"x\u0011&amp;") << "taken unchanged";
  s.SetContent(u"");
  EXPECT_EQ(s.IsEmpty(), 1);
  EXPECT_EQ(content(fx.m.GetField(1)), u"<field name=\"200\"><sf name=\"a\"/></field>");
  s += u"again";
  EXPECT_EQ(content(s), u"again");
}

TEST(SubField, SetContentFromHandleCopies) {
  CMarc m;
  m.SetContent(record(dataField(u"200", u"", {{u"a", u"one"}, {u"b", u"two"}})).c_str());
  CField f = m.GetField(1);
  CSubField a = f.GetSubFld(0), b = f.GetSubFld(1);
  b.GetName();
  a.SetContent(b);
  EXPECT_EQ(u16(a.GetName()), u"b");
  EXPECT_EQ(codes(f), u"bb");
  a.SetContent(u"changed");
  EXPECT_EQ(content(b), u"two");
  EXPECT_EQ(content(f.GetSubFld(0)), u"changed") << "the handle holds the copy in the field";

  EXPECT_EQ(thrown([&] { a.SetContent(CSubField()); }), platform::E_POINTER);
  f.DelSubFld(a);
  EXPECT_EQ(thrown([&] { a.SetContent(b); }), platform::E_POINTER) << "no parent any more";
}

TEST(SubField, EqualityAndEmptiness) {
  CMarc m;
  m.SetContent(record(dataField(u"200", u"", {{u"a", u"x"}, {u"a", u"x"}, {u"a", u""}})).c_str());
  CField f = m.GetField(1);
  CSubField first = f.GetSubFld(0), copy = first, twin = f.GetSubFld(1), empty = f.GetSubFld(2), null1, null2;
  EXPECT_EQ(first == copy, 1);
  EXPECT_EQ(first == twin, 1) << "same code and content";
  EXPECT_EQ(first == empty, 0);
  EXPECT_EQ(first == null1, 0);
  EXPECT_EQ(null1 == null2, 1);
  EXPECT_EQ(empty.IsEmpty(), 1);
  EXPECT_EQ(null1.IsEmpty(), 1);
  EXPECT_EQ(first.IsEmpty(), 0);
}

TEST(SubField, IsoText) {
  struct Case {
    u16 code, stored;
    int decode;
    u16 iso;
  } cases[] = {
      {u"a", u"x\u0012y", 1, u"\u001Fax&y"},
      {u"a", u"x\u0012y", 0, u"\u001Fax\u0012y"},
      {u"\u0015", u"", 1, u"\u001F\""},
      {u"", u"", 0, u"\u001F"},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(record(dataField(u"200", u"", {{c.code, c.stored}})).c_str());
    EXPECT_EQ(m.GetField(1).GetSubFld(0).SubfieldIsoText(c.decode), c.iso);
  }
}

TEST(SubField, TextNodeHandedOutAsSubfield) {
  CMarc m;
  m.SetContent(record(controlField(u"001", u"abc")).c_str());
  CSubField t = m.GetField(1).GetSubFld(0);
  ASSERT_FALSE(t.IsNull());
  EXPECT_EQ(content(t), u"abc");
  EXPECT_EQ(thrown([&] { t.GetName(); }), platform::E_POINTER);
  EXPECT_EQ(thrown([&] { t.Rename(u"a"); }), platform::E_POINTER);
}

TEST(SubField, NullHandle) {
  CSubField s;
  EXPECT_EQ(s.IsNull(), 1);
  char16_t buf[8];
  std::pair<const char*, std::function<void()>> throwing[] = {
      {"GetName", [&] { s.GetName(); }},
      {"GetContent", [&] { s.GetContent(buf, 8, 0); }},
      {"Rename", [&] { s.Rename(u"a"); }},
      {"SetContent(text)", [&] { s.SetContent(u"x"); }},
      {"SetContent(handle)", [&] { s.SetContent(s); }},
      {"+=", [&] { s += u"x"; }},
      {"Compare", [&] { s.Compare(u"x", -1); }},
      {"ICompare", [&] { s.ICompare(u"x", -1); }},
      {"GetLvalue", [&] { s.GetLvalue(); }},
      {"GetFvalue", [&] { s.GetFvalue(); }},
      {"SubfieldText", [&] { s.SubfieldText(0); }},
      {"SubfieldIsoText", [&] { s.SubfieldIsoText(0); }},
  };
  for (auto& [what, call] : throwing) EXPECT_EQ(thrown(call), platform::E_POINTER) << what;
}

}  // namespace
