// The field handle: names, indicators, content, subfield lookups and edits, grouping.
#include "support.h"

using namespace model_test;

namespace {

// A record with one data field 606 whose subfields carry the given codes (text = code + index).
struct Fixture {
  CMarc m;
  explicit Fixture(const u16& subfieldCodes, const u16& extra = u"") {
    u16 sfs;
    for (size_t i = 0; i < subfieldCodes.size(); ++i)
      sfs += u"<sf name=\"" + subfieldCodes.substr(i, 1) + u"\">" + subfieldCodes.substr(i, 1) +
             char16_t(u'0' + i) + u"</sf>";
    m.SetContent(record(u"<field name=\"606\" indicator=\"0\u0011\">" + sfs + u"</field>" + extra).c_str());
  }
  CField field() { return m.GetField(u"606", 0); }
};

TEST(Field, HeaderIsFieldZero) {
  Fixture fx(u"a");
  CField h = fx.m.GetField(0);
  EXPECT_EQ(u16(h.GetName()), u"000");
  EXPECT_EQ(content(h), u16(kLeader) + u"\u001E");
  EXPECT_EQ(content(h, 1), u"00714cam  2200205   450 \u001E");
  EXPECT_EQ(h.GetSGCount(), 0);
  EXPECT_EQ(h.IsEmpty(), 0);
  EXPECT_EQ(indicator(h), u"<none>");
}

// Readers take the tag from the first attribute and the indicator from the second, whatever
// the attributes are called.
TEST(Field, NameAndIndicatorByAttributePosition) {
  struct Case {
    u16 element;
    u16 name, indicator;
  } cases[] = {
      {u"<field name=\"200\" indicator=\"12\"/>", u"200", u"12"},
      {u"<field tag=\"300\" ind=\"ab\"/>", u"300", u"ab"},
      {u"<field indicator=\"12\" name=\"200\"/>", u"12", u"200"},
      {u"<field name=\"700\"/>", u"700", u"<none>"},
      {u"<field/>", u"000", u"<none>"},
      {u"<field name=\"\" indicator=\"\"/>", u"", u""},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(record(c.element).c_str());
    CField f = m.GetField(1);
    EXPECT_EQ(u16(f.GetName()), c.name) << u8(c.element);
    EXPECT_EQ(indicator(f), c.indicator) << u8(c.element);
  }
}

TEST(Field, ControlAndDataFields) {
  CMarc m;
  m.SetContent(record(controlField(u"001", u"a\u0011b") + controlField(u"-01", u"") +
                      dataField(u"010", u"", {{u"a", u"x\u0011y"}}) + u"<field name=\"200\"/>")
                   .c_str());
  struct Case {
    int32_t index;
    u16 raw, decoded;
    int32_t sgCount;
    int empty;
  } cases[] = {
      {1, u"a\u0011b\u001E", u"a b\u001E", 0, 0},
      {2, u"\u001E", u"\u001E", 0, 1},
      // A data field is always its XML text, escape characters included.
      {3, u"<field name=\"010\"><sf name=\"a\">x\u0011y</sf></field>",
       u"<field name=\"010\"><sf name=\"a\">x\u0011y</sf></field>", 1, 0},
      {4, u"<field name=\"200\"/>", u"<field name=\"200\"/>", 0, 1},
  };
  for (const auto& c : cases) {
    CField f = m.GetField(c.index);
    EXPECT_EQ(content(f, 0), c.raw) << c.index;
    EXPECT_EQ(content(f, 1), c.decoded) << c.index;
    EXPECT_EQ(f.GetSGCount(), c.sgCount) << c.index;
    EXPECT_EQ(f.IsEmpty(), c.empty) << c.index;
  }
}

TEST(Field, GetContentBufferRule) {
  Fixture fx(u"a");
  CField f = fx.field();
  u16 text = content(f);
  std::vector<char16_t> buf(text.size() + 1, u'#');
  EXPECT_EQ(f.GetContent(buf.data(), int32_t(text.size()), 0), 0);
  EXPECT_EQ(buf[0], u'#');
  EXPECT_EQ(f.GetContent(buf.data(), int32_t(text.size() + 1), 0), 1);
  EXPECT_EQ(u16(buf.data()), text);
}

TEST(Field, Indicator) {
  CMarc m;
  m.SetContent(record(u"<field name=\"200\" indicator=\"\u0011\u0012\"/><field name=\"300\"/>").c_str());
  CField f = m.GetField(1);
  EXPECT_EQ(indicator(f, 0), u"\u0011\u0012");
  EXPECT_EQ(indicator(f, 1), u" \u0012") << "only the blank is decoded";
  char16_t buf[3] = {u'#', u'#', u'#'};
  EXPECT_EQ(f.GetIndicator(buf, 2, 0), 0);
  EXPECT_EQ(buf[0], u'#');
  EXPECT_EQ(f.GetIndicator(buf, 3, 0), 1);

  CField bare = m.GetField(2);
  EXPECT_EQ(bare.GetIndicator(buf, 3, 0), 0);
  EXPECT_EQ(buf[0], u'\u0011') << "left untouched";
}

TEST(Field, RepIndicator) {
  CMarc m;
  m.SetContent(record(u"<field name=\"200\" indicator=\"12\"/><field name=\"300\"/>").c_str());
  struct Case {
    int32_t index;
    const char16_t* indicator;
    int result;
    u16 xml;
  } cases[] = {
      {1, u"", 0, u"<field name=\"200\"/>"},
      {1, u"ab", 1, u"<field name=\"200\" indicator=\"ab\"/>"},
      {1, u"cd", 1, u"<field name=\"200\" indicator=\"cd\"/>"},
      {1, nullptr, 0, u"<field name=\"200\"/>"},
      {2, u"\u0011\u0011", 1, u"<field name=\"300\" indicator=\"\u0011\u0011\"/>"},
  };
  for (const auto& c : cases) {
    CField f = m.GetField(c.index);
    EXPECT_EQ(f.RepIndicator(c.indicator), c.result);
    EXPECT_EQ(content(f), c.xml);
  }
  EXPECT_EQ(indicator(m.GetField(2), 1), u"  ");

  // The header has no attribute: an indicator there would become its name.
  CField h = m.GetField(0);
  EXPECT_EQ(h.RepIndicator(u"12"), 0);
  EXPECT_EQ(h.RepIndicator(u""), 0);
  EXPECT_EQ(u16(m.GetField(0).GetName()), u"000");
  EXPECT_EQ(content(m).substr(0, 6 + header().size()), u"<marc>" + header());
}

TEST(Field, RenameAndNameCache) {
  Fixture fx(u"a");
  CField f = fx.field();
  f.Rename(u"607");
  EXPECT_EQ(u16(f.GetName()), u"607");
  EXPECT_EQ(u16(fx.m.GetField(1).GetName()), u"607");
  EXPECT_EQ(content(f).substr(0, 18), u"<field name=\"607\" ") << "name stays first";
  f.RepIndicator(u"");
  EXPECT_EQ(u16(f.GetName()), u"607");
}

TEST(Field, SubfieldLookups) {
  Fixture fx(u"aba");
  CField f = fx.field();
  struct Case {
    const char16_t* code;
    int32_t n;
    const char16_t* text;  // null: a null handle
  } byCode[] = {
      {u"a", 0, u"a0"}, {u"a", 1, u"a2"}, {u"a", 2, nullptr}, {u"b", 0, u"b1"},
      {u"c", 0, nullptr}, {u"a", -1, nullptr}, {nullptr, 0, nullptr}, {u"", 0, nullptr},
  };
  for (const auto& c : byCode) {
    CSubField s = f.GetSubFld(c.code, c.n);
    if (c.text)
      EXPECT_EQ(content(s), c.text);
    else
      EXPECT_TRUE(s.IsNull()) << (c.code ? u8(c.code) : "null") << c.n;
  }
  EXPECT_EQ(content(f.GetSubFld(2)), u"a2");
  EXPECT_TRUE(f.GetSubFld(3).IsNull());
  EXPECT_TRUE(f.GetSubFld(-1).IsNull());
}

TEST(Field, InsertByCodeKeepsDescendingOrder) {
  struct Case {
    u16 start;
    const char16_t* code;
    u16 expected;
    int32_t at;  // where the new subfield stands
  } cases[] = {
      {u"ca", u"b", u"cba", 1}, {u"cba", u"b", u"cbba", 1}, {u"", u"b", u"b", 0}, {u"ab", u"c", u"cab", 0},
      {u"cb", u"a", u"cba", 2},
  };
  for (const auto& c : cases) {
    Fixture fx(c.start);
    CField f = fx.field();
    CSubField s = f.InsSubFld(c.code, u"new");
    EXPECT_EQ(codes(f), c.expected) << u8(c.start);
    EXPECT_EQ(content(s), u"new");
    // A new subfield goes before the existing ones with its code.
    EXPECT_EQ(content(f.GetSubFld(c.at)), u"new") << u8(c.start);
  }
}

TEST(Field, InsertAtIndexAndAppend) {
  struct Case {
    int32_t index;
    u16 expected;
  } cases[] = {{0, u"zab"}, {1, u"azb"}, {2, u"abz"}, {5, u"abz"}, {-1, u"abz"}};
  for (const auto& c : cases) {
    Fixture fx(u"ab");
    CField f = fx.field();
    f.InsSubFld(c.index, u"z", u"new");
    EXPECT_EQ(codes(f), c.expected) << c.index;
  }
  Fixture fx(u"ab");
  CField f = fx.field();
  f.AddSubFld(u"c", u"x\u0011y");
  EXPECT_EQ(codes(f), u"abc");
  EXPECT_EQ(content(f.GetSubFld(u"c", 0), 1), u"x y");
}

TEST(Field, DeleteSubfields) {
  Fixture fx(u"abc", dataField(u"700", u"", {{u"a", u"other"}}));
  CField f = fx.field();
  EXPECT_EQ(f.DelSubFld(fx.m.GetField(u"700", 0).GetSubFld(0)), 0) << "another field's subfield";
  EXPECT_EQ(f.DelSubFld(CSubField()), 0);
  EXPECT_EQ(f.DelSubFld(3), 0);
  EXPECT_EQ(f.DelSubFld(-1), 0);
  EXPECT_EQ(f.DelSubFld(f.GetSubFld(u"b", 0)), 1);
  EXPECT_EQ(codes(f), u"ac");
  EXPECT_EQ(f.DelSubFld(0), 1);
  EXPECT_EQ(codes(f), u"c");

  Fixture grouped(u"axay");
  CField g = grouped.field();
  CSubField y = g.GetSubFld(u"y", 0);
  ASSERT_EQ(g.SetGroupStatus(u"a"), 1);
  EXPECT_EQ(g.DelSubFld(y), 0) << "inside a group it is no direct child";
  EXPECT_EQ(g.DelGroup(g.GetGroup(0)), 1);
  EXPECT_EQ(codes(g), u"(ay)");
}

TEST(Field, Grouping) {
  struct Case {
    u16 start;
    const char16_t* code;
    int result;
    u16 grouped;
  } cases[] = {
      {u"abcad", u"a", 1, u"(abc)(ad)"},
      {u"bac", u"a", 1, u"b(ac)"},
      {u"bcd", u"a", 0, u"bcd"},
      {u"aaa", u"a", 1, u"(a)(a)(a)"},
      {u"", u"a", 0, u""},
  };
  for (const auto& c : cases) {
    Fixture fx(c.start);
    CField f = fx.field();
    EXPECT_EQ(f.SetGroupStatus(c.code), c.result) << u8(c.start);
    EXPECT_EQ(codes(f), c.grouped) << u8(c.start);
    EXPECT_EQ(f.SetSubFieldStatus(), 1);
    EXPECT_EQ(codes(f), c.start) << "flattened again";
  }
}

TEST(Field, GroupedStaysAtFirstCode) {
  Fixture fx(u"abcad");
  CField f = fx.field();
  ASSERT_EQ(f.SetGroupStatus(u"a"), 1);
  EXPECT_EQ(f.SetGroupStatus(u"c"), 1);
  EXPECT_EQ(codes(f), u"(abc)(ad)");
  EXPECT_EQ(f.GetSGCount(), 2);
  EXPECT_EQ(content(f.GetSubFld(4)), u"d4") << "index lookup flattens first";
  EXPECT_EQ(codes(f), u"abcad");
}

TEST(Field, ControlFieldDoesNotGroup) {
  CMarc m;
  m.SetContent(record(controlField(u"001", u"x")).c_str());
  CField f = m.GetField(1);
  EXPECT_EQ(f.SetGroupStatus(u""), 0);
  EXPECT_TRUE(f.GetGroup(0).IsNull());
}

TEST(Field, GetGroupByIndex) {
  Fixture fx(u"axay");
  {
    CField f = fx.field();
    CGroup g = f.GetGroup(1);
    ASSERT_FALSE(g.IsNull());
    EXPECT_EQ(g.GetSubFldCount(), 2);
    EXPECT_EQ(content(g.GetSubFld(1)), u"y3");
    EXPECT_TRUE(f.GetGroup(2).IsNull());
    EXPECT_TRUE(f.GetGroup(-1).IsNull());
  }
  EXPECT_EQ(codes(fx.field()), u"axay") << "the handle flattened the field when it went";

  Fixture none(u"bc");
  CField f = none.field();
  EXPECT_TRUE(f.GetGroup(0).IsNull());
  EXPECT_EQ(codes(f), u"bc");

  // A subfield before the first "a" stands as a child of its own.
  Fixture lead(u"ba");
  CField l = lead.field();
  EXPECT_EQ(l.GetGroup(0).GetSubFldCount(), 1);
  EXPECT_EQ(l.GetGroup(1).GetSubFldCount(), 1);
}

TEST(Field, GetGroupByText) {
  CMarc m;
  m.SetContent(record(dataField(u"606", u"", {{u"a", u"Rivers"}, {u"x", u"Maps"}, {u"a", u"Lakes\u0011big"},
                                               {u"y", u"Rivers"}}))
                   .c_str());
  struct Case {
    const char16_t* text;
    const char16_t* second;  // text of the found group's second subfield; null: none found
  } cases[] = {{u"Rivers", u"Maps"}, {u"Lakes big", u"Rivers"}, {u"Maps", nullptr},
               {u"rivers", nullptr}, {u"River", nullptr}, {u"", nullptr}};
  for (const auto& c : cases) {
    CField f = m.GetField(1);
    CGroup g = f.GetGroup(c.text);
    if (c.second)
      EXPECT_EQ(content(g.GetSubFld(1)), c.second) << u8(c.text);
    else
      EXPECT_TRUE(g.IsNull()) << u8(c.text);
  }
}

TEST(Field, GetGroupByTextSkipsEmptyChildren) {
  Fixture fx(u"axay");
  CField f = fx.field();
  ASSERT_EQ(f.SetGroupStatus(u"a"), 1);
  f.AddGroup();
  CGroup last = f.AddGroup();
  last.AddSubFld(u"a", u"wanted");
  // An empty group and an empty subfield stand before the match.
  f.InsSubFld(0, u"b", u"");
  f.InsSubFld(0, u"c", u"");
  CGroup g;
  EXPECT_EQ(thrown([&] { g = f.GetGroup(u"wanted"); }), 0);
  EXPECT_EQ(g == last, 1);
  EXPECT_TRUE(f.GetGroup(u"absent").IsNull());
}

TEST(Field, CopiesOfAGroupedHandleLeaveTheFieldFlat) {
  Fixture fx(u"axay");
  {
    CField f = fx.field();
    ASSERT_EQ(f.SetGroupStatus(u"a"), 1);
    CField copy1 = f;
    CField copy2(f);
    EXPECT_EQ(codes(copy2), u"(ax)(ay)");
  }
  EXPECT_EQ(codes(fx.field()), u"axay");
  EXPECT_EQ(content(fx.m).find(u"group"), u16::npos);
}

TEST(Field, AssigningOverAGroupedHandleFlattensItsField) {
  Fixture fx(u"axay", dataField(u"700", u"", {{u"a", u"x"}}));
  CField f = fx.field();
  ASSERT_EQ(f.SetGroupStatus(u"a"), 1);
  f = fx.m.GetField(u"700", 0);
  EXPECT_EQ(content(fx.m).find(u"group"), u16::npos);
  EXPECT_EQ(u16(f.GetName()), u"700");
}

TEST(Field, SetContentFromText) {
  Fixture fx(u"ab");
  CField f = fx.field();
  f.SetContent(u"<field name=\"610\" indicator=\"1\u0011\"><sf name=\"z\">new</sf></field>");
  EXPECT_EQ(u16(f.GetName()), u"610");
  EXPECT_EQ(content(f.GetSubFld(0)), u"new");
  EXPECT_EQ(tags(fx.m), u"000 610");
  EXPECT_EQ(u16(fx.m.GetField(u"610", 0).GetName()), u"610");
  EXPECT_TRUE(fx.m.GetField(u"606", 0).IsNull());

  u16 before = content(fx.m);
  EXPECT_NE(thrown([&] { f.SetContent(u"<field"); }), 0);
  EXPECT_NE(thrown([&] { f.SetContent(u""); }), 0);
  EXPECT_EQ(content(fx.m), before);
  EXPECT_EQ(u16(f.GetName()), u"610");
}

TEST(Field, SetContentFromHandle) {
  Fixture fx(u"ab", dataField(u"700", u"1", {{u"c", u"copied"}}));
  CField f = fx.field();
  CField source = fx.m.GetField(u"700", 0);
  source.GetName();
  f.SetContent(source);
  EXPECT_EQ(u16(f.GetName()), u"700");
  EXPECT_EQ(tags(fx.m), u"000 700 700");
  f.AddSubFld(u"d", u"d");
  EXPECT_EQ(codes(source), u"c") << "a deep copy";
  EXPECT_EQ(codes(fx.m.GetField(1)), u"cd");
  EXPECT_EQ(fx.m.GetField(u"700", 1) == source, 1);

  CField detached;
  EXPECT_EQ(thrown([&] { f.SetContent(detached); }), platform::E_POINTER);
  EXPECT_EQ(thrown([&] { detached.SetContent(f); }), platform::E_POINTER);
}

TEST(Field, AppendCopies) {
  Fixture fx(u"ab", dataField(u"700", u"", {{u"c", u"C"}}));
  CField f = fx.field();
  CSubField c = fx.m.GetField(u"700", 0).GetSubFld(0);
  f += c;
  EXPECT_EQ(codes(f), u"abc");
  EXPECT_EQ(codes(fx.m.GetField(u"700", 0)), u"c");
  f.GetSubFld(u"c", 0).SetContent(u"changed");
  EXPECT_EQ(content(c), u"C");

  CField g = fx.m.GetField(u"700", 0);
  CGroup group = g.AddGroup();
  group.AddSubFld(u"q", u"Q");
  f += group;
  EXPECT_EQ(codes(f), u"abc(q)");
  EXPECT_EQ(thrown([&] { f += CSubField(); }), platform::E_POINTER);
}

TEST(Field, Equality) {
  CMarc m;
  m.SetContent(record(dataField(u"200", u"", {{u"a", u"x"}}) + dataField(u"200", u"", {{u"a", u"x"}}) +
                      dataField(u"200", u"", {{u"a", u"y"}}))
                   .c_str());
  CField a = m.GetField(1), b = m.GetField(2), c = m.GetField(3), null1, null2;
  EXPECT_EQ(a == b, 1);
  EXPECT_EQ(a == c, 0);
  EXPECT_EQ(a == null1, 0);
  EXPECT_EQ(null1 == a, 0);
  EXPECT_EQ(null1 == null2, 1);
}

TEST(Field, NullHandle) {
  Fixture fx(u"ab");
  CField live = fx.field();
  CGroup liveGroup = live.AddGroup();
  CField f;
  EXPECT_EQ(f.IsNull(), 1);
  EXPECT_EQ(f.IsEmpty(), 1);
  EXPECT_EQ(f.GetSGCount(), 0);
  EXPECT_EQ(f.SetGroupStatus(u"a"), 0);
  EXPECT_EQ(f.SetSubFieldStatus(), 1);
  EXPECT_TRUE(f.GetGroup(0).IsNull());
  EXPECT_TRUE(f.GetGroup(u"x").IsNull());
  char16_t buf[16];
  std::pair<const char*, std::function<void()>> throwing[] = {
      {"GetName", [&] { f.GetName(); }},
      {"GetIndicator", [&] { f.GetIndicator(buf, 16, 0); }},
      {"GetContent", [&] { f.GetContent(buf, 16, 0); }},
      {"GetSubFld(i)", [&] { f.GetSubFld(0); }},
      {"GetSubFld(code)", [&] { f.GetSubFld(u"a", 0); }},
      {"AddSubFld", [&] { f.AddSubFld(u"a", u"x"); }},
      {"InsSubFld(code)", [&] { f.InsSubFld(u"a", u"x"); }},
      {"InsSubFld(i)", [&] { f.InsSubFld(0, u"a", u"x"); }},
      {"DelSubFld(i)", [&] { f.DelSubFld(0); }},
      {"DelSubFld(handle)", [&] { f.DelSubFld(CSubField()); }},
      {"AddGroup", [&] { f.AddGroup(); }},
      {"DelGroup", [&] { f.DelGroup(0); }},
      {"DelGroup(handle)", [&] { f.DelGroup(CGroup()); }},
      {"+= subfield", [&] { f += live.GetSubFld(0); }},
      {"+= group", [&] { f += liveGroup; }},
      {"SetContent(handle)", [&] { f.SetContent(live); }},
      {"SetContent(text)", [&] { f.SetContent(u"<field name=\"1\"/>"); }},
      {"RepIndicator", [&] { f.RepIndicator(u"12"); }},
      {"Rename", [&] { f.Rename(u"200"); }},
      {"FieldText", [&] { f.FieldText(0); }},
  };
  for (auto& [what, call] : throwing) EXPECT_EQ(thrown(call), platform::E_POINTER) << what;
}

}  // namespace
