// Handles outliving their nodes' place in the record, lookups that never splice text into a
// query, and lookup caches that follow every change of the record.
#include "support.h"

#include <memory>

using namespace model_test;

namespace {

const u16 kRecord = record(controlField(u"001", u"id") +
                           dataField(u"200", u"1\u0011", {{u"a", u"one"}, {u"b", u"two"}, {u"a", u"three"}}) +
                           dataField(u"606", u"", {{u"a", u"Rivers"}, {u"x", u"Maps"}, {u"a", u"Lakes"}}) +
                           dataField(u"700", u"", {{u"a", u"Name"}}));

// Every handle kind still reads and writes its detached nodes; run under ASan this also shows
// that nothing points into freed memory.
void useDetached(CField f, CSubField s) {
  EXPECT_FALSE(f.IsNull());
  EXPECT_NE(content(f), u"<none>");
  f.AddSubFld(u"z", u"late");
  EXPECT_FALSE(f.GetSubFld(u"z", 0).IsNull());
  f.SetGroupStatus(u"a");
  f.SetSubFieldStatus();
  s.SetContent(u"edited");
  EXPECT_EQ(content(s), u"edited");
  s.Rename(u"q");
  EXPECT_EQ(u16(s.GetName()), u"q");
}

TEST(Handles, SurviveDelField) {
  CMarc m;
  m.SetContent(kRecord.c_str());
  CField f = m.GetField(u"200", 0);
  CSubField s = f.GetSubFld(0);
  ASSERT_EQ(m.DelField(f), 1);
  useDetached(f, s);
  EXPECT_EQ(content(m).find(u"late"), u16::npos);
  EXPECT_EQ(content(m).find(u"edited"), u16::npos);
  EXPECT_THROW(f.SetContent(u"<field name=\"201\"/>"), platform::ComError) << "no parent to replace in";
}

TEST(Handles, SurviveDelSubFld) {
  CMarc m;
  m.SetContent(kRecord.c_str());
  CField f = m.GetField(u"200", 0);
  CSubField s = f.GetSubFld(u"b", 0);
  ASSERT_EQ(f.DelSubFld(s), 1);
  s.SetContent(u"gone");
  s += u" still";
  EXPECT_EQ(content(s), u"gone still");
  EXPECT_EQ(codes(f), u"aa");
  EXPECT_EQ(content(m).find(u"gone"), u16::npos);
}

TEST(Handles, GroupAndSubfieldSurviveFlattening) {
  CMarc m;
  m.SetContent(kRecord.c_str());
  CGroup g;
  CSubField s;
  {
    CField f = m.GetField(u"606", 0);
    g = f.GetGroup(u"Lakes");
    s = g.GetSubFld(0);
  }
  // The field handle flattened the field: the group element left the record, the subfield
  // went back into the field.
  EXPECT_EQ(content(m).find(u"group"), u16::npos);
  EXPECT_EQ(g.GetSubFldCount(), 0);
  g.AddSubFld(u"k", u"lost");
  EXPECT_EQ(content(m).find(u"lost"), u16::npos);
  s.SetContent(u"Ponds");
  EXPECT_NE(content(m).find(u"Ponds"), u16::npos);
}

TEST(Handles, SurviveReload) {
  CMarc m;
  m.SetContent(kRecord.c_str());
  CField f = m.GetField(u"606", 0);
  CSubField s = f.GetSubFld(0);
  CGroup g = CField(f).GetGroup(0);
  m.SetContent(record(u"").c_str());
  useDetached(f, s);
  g.AddSubFld(u"a", u"x");
  EXPECT_EQ(m.GetFieldCount(), 1);
  EXPECT_EQ(content(m), record(u""));
  EXPECT_TRUE(m.GetField(u"606", 0).IsNull());
}

TEST(Handles, SurviveTheRecord) {
  CField f, grouped;
  CSubField s;
  CGroup g;
  {
    auto m = std::make_unique<CMarc>();
    m->SetContent(kRecord.c_str());
    f = m->GetField(u"200", 0);
    s = f.GetSubFld(2);
    grouped = m->GetField(u"606", 0);
    g = grouped.GetGroup(1);
    ASSERT_FALSE(g.IsNull());
  }
  useDetached(f, s);
  EXPECT_EQ(g.GetSubFldCount(), 1);
  g.AddSubFld(u"y", u"after");
  grouped.AddGroup();
  grouped = CField();  // flattens a field whose record is gone
  EXPECT_EQ(g.GetSubFldCount(), 0);
}

TEST(Handles, RecordDestroyedBeforeGroupedCopies) {
  auto m = std::make_unique<CMarc>();
  m->SetContent(kRecord.c_str());
  auto a = std::make_unique<CField>(m->GetField(u"606", 0));
  ASSERT_EQ(a->SetGroupStatus(u"a"), 1);
  auto b = std::make_unique<CField>(*a);
  m.reset();
  b.reset();
  EXPECT_EQ(codes(*a), u"axa");
  a.reset();
}

TEST(Lookups, QuotesAndQuerySyntaxFindNothing) {
  CMarc m;
  m.SetContent(kRecord.c_str());
  const char16_t* tags[] = {u"\"", u"2\"0", u"200\"]|./field[@name=\"606", u"*", u"", u"200 ", u"'200'"};
  for (const char16_t* tag : tags) {
    CField f;
    EXPECT_EQ(thrown([&] { f = m.GetField(tag, 0); }), 0) << u8(tag);
    EXPECT_TRUE(f.IsNull()) << u8(tag);
    CMarcFile& mf = CMarcFile::Shared();
    EXPECT_EQ(mf.AccessSubFld(m, tag, u"a"), 0) << u8(tag);
  }
  CField f = m.GetField(u"200", 0);
  CGroup g = CField(m.GetField(u"606", 0)).GetGroup(0);
  const char16_t* badCodes[] = {u"\"", u"a\"", u"a\"]|./sf[@name=\"b", u"*", u"\u0015"};
  for (const char16_t* code : badCodes) {
    EXPECT_EQ(thrown([&] { EXPECT_TRUE(f.GetSubFld(code, 0).IsNull()); }), 0) << u8(code);
    EXPECT_EQ(thrown([&] { EXPECT_TRUE(g.GetSubFld(code, 0).IsNull()); }), 0) << u8(code);
  }
  // A long code is just another code.
  u16 longCode(300, u'a');
  EXPECT_TRUE(f.GetSubFld(longCode.c_str(), 0).IsNull());
  f.AddSubFld(longCode.c_str(), u"long");
  EXPECT_EQ(content(f.GetSubFld(longCode.c_str(), 0)), u"long");
}

TEST(Lookups, FieldNamesThatNeedEscapingAreFoundLiterally) {
  CMarc m;
  m.SetContent(record(u"<field name=\"a&quot;b\"/><field name='x\"y'/>").c_str());
  EXPECT_FALSE(m.GetField(u"a\"b", 0).IsNull());
  EXPECT_FALSE(m.GetField(u"x\"y", 0).IsNull());
}

// After each change through the record or through a handle, tag lookups answer for the
// fields the record now holds.
TEST(Lookups, TagCacheFollowsChanges) {
  struct Case {
    const char* what;
    std::function<void(CMarc&)> change;
    u16 tag;
    int32_t count;  // fields the tag then finds
  } cases[] = {
      {"AddField", [](CMarc& m) { m.AddField(u"200", u"", u""); }, u"200", 2},
      {"AddField handle", [](CMarc& m) { m += m.GetField(u"700", 0); }, u"700", 2},
      {"InsField tag order", [](CMarc& m) { m.InsField(u"200", u"", u""); }, u"200", 2},
      {"InsField index", [](CMarc& m) { m.InsField(1, u"200", u"", u""); }, u"200", 2},
      {"InsField index handle", [](CMarc& m) { m.InsField(0, m.GetField(u"200", 0)); }, u"200", 2},
      {"DelField index", [](CMarc& m) { m.DelField(2); }, u"200", 0},
      {"DelField handle", [](CMarc& m) { m.DelField(m.GetField(u"200", 0)); }, u"200", 0},
      {"Rename", [](CMarc& m) { m.GetField(u"700", 0).Rename(u"200"); }, u"200", 2},
      {"Rename away", [](CMarc& m) { m.GetField(u"200", 0).Rename(u"201"); }, u"200", 0},
      {"SetContent text", [](CMarc& m) { m.GetField(u"700", 0).SetContent(u"<field name=\"200\"/>"); }, u"200", 2},
      {"SetContent handle", [](CMarc& m) { m.GetField(u"700", 0).SetContent(m.GetField(u"200", 0)); }, u"200", 2},
      {"reload", [](CMarc& m) { m.SetContent(record(u"").c_str()); }, u"200", 0},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(kRecord.c_str());
    // Fill the cache first, for the tag and for another one.
    ASSERT_FALSE(m.GetField(u"200", 0).IsNull());
    ASSERT_FALSE(m.GetField(u"700", 0).IsNull());
    ASSERT_FALSE(m.GetField(3).IsNull());
    c.change(m);
    int32_t found = 0;
    while (!m.GetField(c.tag.c_str(), found).IsNull()) ++found;
    EXPECT_EQ(found, c.count) << c.what;
    for (int32_t n = 0; n < found; ++n)
      EXPECT_EQ(m.GetField(c.tag.c_str(), n).IsNull(), 0) << c.what;
    // Every handle found is a field the record holds.
    for (int32_t n = 0; n < found; ++n) EXPECT_EQ(m.DelField(m.GetField(c.tag.c_str(), 0)), 1) << c.what;
    EXPECT_TRUE(m.GetField(c.tag.c_str(), 0).IsNull()) << c.what;
  }
}

TEST(Lookups, MovingAFieldBetweenRecords) {
  CMarc a, b;
  a.SetContent(kRecord.c_str());
  b.SetContent(record(u"").c_str());
  ASSERT_FALSE(a.GetField(u"700", 0).IsNull());
  CField f = a.GetField(u"700", 0);
  b.InsField(f);
  EXPECT_TRUE(a.GetField(u"700", 0).IsNull());
  EXPECT_EQ(a.GetFieldCount(), 4);
  EXPECT_FALSE(b.GetField(u"700", 0).IsNull());
  f.Rename(u"710");
  EXPECT_TRUE(b.GetField(u"700", 0).IsNull());
  EXPECT_FALSE(b.GetField(u"710", 0).IsNull());
}

// Handles made before a field moved to another record still tell that record's lookups
// about their changes.
TEST(Lookups, HandlesFromBeforeAMoveBetweenRecords) {
  CMarc a, b;
  a.SetContent(kRecord.c_str());
  b.SetContent(record(u"").c_str());
  CField moved = a.GetField(u"200", 0);
  CField older = moved;
  CSubField sub = moved.GetSubFld(u"b", 0);
  ASSERT_EQ(older.GetSubFld(u"a", 1).IsNull(), 0);
  b.InsField(moved);
  ASSERT_FALSE(b.GetField(u"200", 0).IsNull());
  ASSERT_TRUE(older.GetSubFld(u"a", 2).IsNull());

  older.Rename(u"210");
  EXPECT_TRUE(b.GetField(u"200", 0).IsNull());
  EXPECT_FALSE(b.GetField(u"210", 0).IsNull());
  sub.Rename(u"a");
  EXPECT_EQ(content(b.GetField(u"210", 0).GetSubFld(u"a", 1)), u"two");
  b.GetField(u"210", 0).AddSubFld(u"a", u"four");
  EXPECT_EQ(content(older.GetSubFld(u"a", 3)), u"four");
  // The record it left keeps answering for what it still holds.
  EXPECT_TRUE(a.GetField(u"200", 0).IsNull());
  a.GetField(u"606", 0).Rename(u"200");
  EXPECT_FALSE(a.GetField(u"200", 0).IsNull());
}

// The same for subfield lookups of a field handle, whichever handle made the change.
TEST(Lookups, CodeCacheFollowsChanges) {
  struct Case {
    const char* what;
    std::function<void(CMarc&, CField&)> change;
    int32_t countA;  // "a" subfields of 200 afterwards
  } cases[] = {
      {"AddSubFld", [](CMarc&, CField& f) { f.AddSubFld(u"a", u"x"); }, 3},
      {"AddSubFld on a copy", [](CMarc&, CField& f) { CField(f).AddSubFld(u"a", u"x"); }, 3},
      {"AddSubFld on another handle", [](CMarc& m, CField&) { m.GetField(2).AddSubFld(u"a", u"x"); }, 3},
      {"InsSubFld", [](CMarc&, CField& f) { f.InsSubFld(u"a", u"x"); }, 3},
      {"InsSubFld at", [](CMarc&, CField& f) { f.InsSubFld(0, u"a", u"x"); }, 3},
      {"DelSubFld on a copy", [](CMarc&, CField& f) { CField(f).DelSubFld(0); }, 1},
      {"DelSubFld handle", [](CMarc&, CField& f) { f.DelSubFld(f.GetSubFld(u"a", 1)); }, 1},
      {"subfield Rename", [](CMarc&, CField& f) { f.GetSubFld(u"b", 0).Rename(u"a"); }, 3},
      {"subfield Rename away", [](CMarc&, CField& f) { f.GetSubFld(u"a", 0).Rename(u"c"); }, 1},
      {"subfield SetContent handle",
       [](CMarc&, CField& f) { f.GetSubFld(u"b", 0).SetContent(f.GetSubFld(u"a", 0)); }, 3},
      {"+=", [](CMarc&, CField& f) { f += f.GetSubFld(u"a", 0); }, 3},
      {"SetContent text",
       [](CMarc&, CField& f) { f.SetContent(u"<field name=\"200\"><sf name=\"a\">1</sf></field>"); }, 1},
      {"group edits on a copy", [](CMarc&, CField& f) { CField(f).GetGroup(0).AddSubFld(u"a", u"in group"); }, 3},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(kRecord.c_str());
    CField f = m.GetField(u"200", 0);
    ASSERT_FALSE(f.GetSubFld(u"a", 1).IsNull());
    ASSERT_FALSE(f.GetSubFld(u"b", 0).IsNull());
    c.change(m, f);
    int32_t found = 0;
    while (!f.GetSubFld(u"a", found).IsNull()) ++found;
    EXPECT_EQ(found, c.countA) << c.what;
    // Whatever the lookup finds is a direct child of the field.
    for (int32_t n = 0; n < found; ++n) EXPECT_EQ(f.DelSubFld(f.GetSubFld(u"a", 0)), 1) << c.what;
  }
}

}  // namespace
