// The group handle: lookups, insertion, deletion, copies.
#include "support.h"

using namespace model_test;

namespace {

// A record whose field 606 holds subfields with the given codes; `group()` groups it at the
// first code and hands out group 0. The field handle lives as long as the fixture.
struct Grouped {
  CMarc m;
  CField f;
  explicit Grouped(const u16& subfieldCodes, const u16& extraGroups = u"") {
    u16 sfs;
    for (char16_t c : subfieldCodes + extraGroups) sfs += u"<sf name=\"" + u16(1, c) + u"\">" + u16(1, c) + u"</sf>";
    m.SetContent(record(u"<field name=\"606\">" + sfs + u"</field>").c_str());
    f = m.GetField(1);
    f.SetGroupStatus(u16(1, subfieldCodes[0]).c_str());
  }
  CGroup group(int32_t i = 0) { return f.GetGroup(i); }
};

u16 groupCodes(CGroup g) {
  u16 out;
  for (int32_t i = 0; i < g.GetSubFldCount(); ++i) out += g.GetSubFld(i).GetName();
  return out;
}

TEST(Group, Lookups) {
  Grouped fx(u"abc");
  CGroup g = fx.group();
  EXPECT_EQ(g.GetSubFldCount(), 3);
  EXPECT_EQ(content(g.GetSubFld(2)), u"c");
  EXPECT_TRUE(g.GetSubFld(3).IsNull());
  EXPECT_TRUE(g.GetSubFld(-1).IsNull());
  EXPECT_EQ(content(g.GetSubFld(u"a", 0)), u"a");
  EXPECT_TRUE(g.GetSubFld(u"a", 1).IsNull());
  EXPECT_TRUE(g.GetSubFld(u"a", -1).IsNull());
  EXPECT_TRUE(g.GetSubFld(u"z", 0).IsNull());
  EXPECT_EQ(g.IsEmpty(), 0);
}

TEST(Group, EmptyGroupFromAddGroup) {
  Grouped fx(u"ab");
  CGroup g = fx.f.AddGroup();
  EXPECT_EQ(g.IsEmpty(), 1);
  EXPECT_EQ(g.GetSubFldCount(), 0);
  EXPECT_EQ(g.DelSubFld(0), 0);
  g.AddSubFld(u"x", u"1");
  g.AddSubFld(u"a", u"2");
  EXPECT_EQ(groupCodes(g), u"xa");
}

TEST(Group, InsertByCodeAndAtIndex) {
  struct ByCode {
    u16 start;
    const char16_t* code;
    u16 expected;
  } byCode[] = {{u"bc", u"a", u"bca"}, {u"bc", u"d", u"dbc"}, {u"bc", u"b", u"bbc"}};
  for (const auto& c : byCode) {
    Grouped fx(c.start);
    CGroup g = fx.group();
    EXPECT_EQ(content(g.InsSubFld(c.code, u"n")), u"n");
    EXPECT_EQ(groupCodes(g), c.expected) << u8(c.start) << "+" << u8(c.code);
  }
  struct AtIndex {
    int32_t index;
    u16 expected;
  } atIndex[] = {{0, u"nac"}, {1, u"anc"}, {2, u"acn"}, {-1, u"acn"}, {7, u"acn"}};
  for (const auto& c : atIndex) {
    Grouped fx(u"ac");
    CGroup g = fx.group();
    g.InsSubFld(c.index, u"n", u"n");
    EXPECT_EQ(groupCodes(g), c.expected) << c.index;
  }
}

TEST(Group, Delete) {
  Grouped fx(u"ab", u"ac");
  CGroup first = fx.group(0), second = fx.group(1);
  EXPECT_EQ(first.DelSubFld(second.GetSubFld(1)), 0) << "a subfield of another group";
  EXPECT_EQ(groupCodes(second), u"ac");
  EXPECT_EQ(first.DelSubFld(CSubField()), 0);
  EXPECT_EQ(first.DelSubFld(first.GetSubFld(u"b", 0)), 1);
  EXPECT_EQ(groupCodes(first), u"a");
  EXPECT_EQ(first.DelSubFld(5), 0);
  EXPECT_EQ(first.DelSubFld(0), 1);
  EXPECT_EQ(first.IsEmpty(), 1);
}

TEST(Group, AppendCopyOfOwnSubfield) {
  Grouped fx(u"ab");
  CGroup g = fx.group();
  CSubField b = g.GetSubFld(1);
  g += b;
  EXPECT_EQ(groupCodes(g), u"abb");
  g.GetSubFld(2).SetContent(u"copy");
  EXPECT_EQ(content(b), u"b");
  EXPECT_EQ(content(g.GetSubFld(1)), u"b") << "the original stays in place";
}

TEST(Group, EqualityAndCopies) {
  Grouped fx(u"ab", u"ac");
  CGroup a = fx.group(0), again = fx.group(0), other = fx.group(1), null1, null2;
  EXPECT_EQ(a == again, 1);
  EXPECT_EQ(a == other, 0);
  EXPECT_EQ(a == null1, 0);
  EXPECT_EQ(null1 == null2, 1);
  other.SetContent(a);
  EXPECT_EQ(a == other, 1);
  other.AddSubFld(u"z", u"z");
  EXPECT_EQ(groupCodes(a), u"ab") << "a deep copy";
  EXPECT_EQ(groupCodes(fx.group(1)), u"abz") << "the copy stands in the field";
}

TEST(Group, SetContentFromText) {
  Grouped fx(u"ab", u"ac");
  CGroup g = fx.group(1);
  g.SetContent(u"<group><sf name=\"a\">new</sf></group>");
  EXPECT_EQ(content(g.GetSubFld(0)), u"new");
  EXPECT_EQ(content(fx.group(1).GetSubFld(0)), u"new");
  u16 before = content(fx.f);
  EXPECT_NE(thrown([&] { g.SetContent(u"<group>"); }), 0);
  EXPECT_EQ(content(fx.f), before);
}

TEST(Group, DetachedAfterFlattening) {
  Grouped fx(u"ab");
  CGroup g = fx.group();
  fx.f.SetSubFieldStatus();
  EXPECT_EQ(g.GetSubFldCount(), 0) << "its subfields went back into the field";
  g.AddSubFld(u"z", u"z");
  EXPECT_EQ(codes(fx.f), u"ab");
  EXPECT_EQ(thrown([&] { g.SetContent(u"<group/>"); }), platform::E_POINTER) << "no parent";
}

TEST(Group, NullHandle) {
  CGroup g;
  EXPECT_EQ(g.IsNull(), 1);
  EXPECT_EQ(g.IsEmpty(), 1);
  std::pair<const char*, std::function<void()>> throwing[] = {
      {"GetSubFldCount", [&] { g.GetSubFldCount(); }},
      {"GetSubFld(i)", [&] { g.GetSubFld(0); }},
      {"GetSubFld(code)", [&] { g.GetSubFld(u"a", 0); }},
      {"AddSubFld", [&] { g.AddSubFld(u"a", u""); }},
      {"InsSubFld", [&] { g.InsSubFld(u"a", u""); }},
      {"InsSubFld(i)", [&] { g.InsSubFld(0, u"a", u""); }},
      {"DelSubFld", [&] { g.DelSubFld(0); }},
      {"+=", [&] { g += CSubField(); }},
      {"SetContent(text)", [&] { g.SetContent(u"<group/>"); }},
  };
  for (auto& [what, call] : throwing) EXPECT_EQ(thrown(call), platform::E_POINTER) << what;
  Grouped fx(u"ab");
  CGroup real = fx.group();
  EXPECT_EQ(thrown([&] { real.SetContent(g); }), platform::E_POINTER);
}

}  // namespace
