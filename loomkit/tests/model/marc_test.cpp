// The record object: loading, counting, copying, field lookups, adding, inserting, deleting.
#include "support.h"

using namespace model_test;

namespace {

const u16 kSample = record(controlField(u"001", u"012000") +
                           dataField(u"200", u"1\u0011", {{u"a", u"Title\u0011one"}, {u"b", u"x"}}) +
                           dataField(u"215", u"\u0011\u0011", {{u"a", u"300p"}}));

TEST(Marc, FieldCountByShapeOfText) {
  struct Case {
    const char* what;
    u16 text;
    int32_t count;
    int isNull;
  } cases[] = {
      {"header only", record(u""), 1, 0},
      {"empty record", u"<marc/>", 0, 0},
      {"marc holding only text", u"<marc>just text</marc>", 0, 0},
      {"three fields", kSample, 4, 0},
      {"line breaks between elements", u"<marc>\n <header>x</header>\n <field name=\"001\">1</field>\n</marc>", 2, 0},
      {"does not parse", u"<marc><header>", 0, 1},
      {"empty text", u"", 0, 1},
      {"prefix before <marc>", u"FFFFFFFF" + kSample, 0, 1},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(c.text.c_str());
    EXPECT_EQ(m.GetFieldCount(), c.count) << c.what;
    EXPECT_EQ(m.IsNull(), c.isNull) << c.what;
  }
}

TEST(Marc, NewRecordHasNoRoot) {
  CMarc m;
  EXPECT_EQ(m.IsNull(), 1);
  EXPECT_EQ(m.IsEmpty(), 1);
  EXPECT_EQ(m.GetFieldCount(), 0);
  EXPECT_TRUE(m.GetField(0).IsNull());
  EXPECT_TRUE(m.GetField(u"200", 0).IsNull());
  EXPECT_EQ(m.DelField(0), 0);
  char16_t buf[8] = u"keep";
  EXPECT_EQ(m.GetContent(buf, 8), 0);
  EXPECT_EQ(u16(buf), u"keep");
}

TEST(Marc, IsEmptyLooksAtCharacterData) {
  struct Case {
    u16 text;
    int empty;
  } cases[] = {{u"<marc/>", 1}, {u"<marc><field name=\"200\"/></marc>", 1}, {kSample, 0}};
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(c.text.c_str());
    EXPECT_EQ(m.IsEmpty(), c.empty) << u8(c.text);
  }
}

TEST(Marc, GetContentBufferRule) {
  CMarc m;
  m.SetContent(kSample.c_str());
  std::vector<char16_t> buf(kSample.size() + 1, u'#');
  EXPECT_EQ(m.GetContent(buf.data(), int32_t(kSample.size())), 0);
  EXPECT_EQ(buf[0], u'#') << "buffer untouched";
  EXPECT_EQ(m.GetContent(buf.data(), int32_t(kSample.size() + 1)), 1);
  EXPECT_EQ(u16(buf.data()), kSample);
  EXPECT_EQ(m.GetContent(nullptr, 1000000), 0);
}

TEST(Marc, EscapeCharactersComeBackRaw) {
  u16 all = u"\u0011\u0012\u0013\u0014\u0015\u0016";
  u16 text = record(controlField(u"001", all) + dataField(u"200", all, {{all.substr(0, 1), all}}));
  CMarc m;
  m.SetContent(text.c_str());
  ASSERT_EQ(m.IsNull(), 0);
  u16 back = content(m);
  EXPECT_EQ(back, text);
  EXPECT_EQ(back.find(u"&#"), u16::npos);
  EXPECT_EQ(content(m.GetField(1)), all + u"\u001E");
  EXPECT_EQ(content(m.GetField(1), 1), u" &<>\"'\u001E");
}

TEST(Marc, GetFieldByIndexAndTag) {
  CMarc m;
  m.SetContent(kSample.c_str());
  EXPECT_EQ(u16(m.GetField(0).GetName()), u"000");
  EXPECT_EQ(u16(m.GetField(2).GetName()), u"200");
  EXPECT_TRUE(m.GetField(4).IsNull());
  EXPECT_TRUE(m.GetField(-1).IsNull());
  EXPECT_EQ(u16(m.GetField(u"215", 0).GetName()), u"215");
  EXPECT_TRUE(m.GetField(u"215", 1).IsNull());
  EXPECT_TRUE(m.GetField(u"215", -1).IsNull());
  EXPECT_TRUE(m.GetField(u"000", 0).IsNull()) << "the header is never found by tag";
  EXPECT_TRUE(m.GetField(nullptr, 0).IsNull());
}

TEST(Marc, EqualityComparesText) {
  CMarc a, b, none1, none2;
  a.SetContent(kSample.c_str());
  b.SetContent(kSample.c_str());
  EXPECT_EQ(a == b, 1);
  EXPECT_EQ(a == none1, 0);
  EXPECT_EQ(none1 == a, 0);
  EXPECT_EQ(none1 == none2, 1);
  b.GetField(1).Rename(u"002");
  EXPECT_EQ(a == b, 0);
}

TEST(Marc, CopiesGoThroughTextAndNeverShareATree) {
  CMarc source;
  source.SetContent(kSample.c_str());

  CMarc assigned;
  assigned = source;
  CMarc loaded;
  loaded.SetContent(source);
  CMarc constructed(source);

  for (CMarc* copy : {&assigned, &loaded, &constructed}) {
    EXPECT_EQ(*copy == source, 1);
    copy->GetField(2).AddSubFld(u"z", u"changed");
    copy->DelField(1);
    EXPECT_EQ(content(source), kSample);
  }
  source.GetField(3).Rename(u"999");
  EXPECT_EQ(assigned.GetField(3).IsNull(), 1) << "assigned copy lost field 001 only";
  EXPECT_EQ(u16(assigned.GetField(2).GetName()), u"215");
  EXPECT_EQ(u16(loaded.GetField(2).GetName()), u"215");
  EXPECT_EQ(u16(constructed.GetField(2).GetName()), u"215");
}

TEST(Marc, CopyFromRecordWithoutRootThrows) {
  CMarc empty, target;
  target.SetContent(kSample.c_str());
  EXPECT_EQ(thrown([&] { target = empty; }), platform::E_POINTER);
  EXPECT_EQ(thrown([&] { target.SetContent(empty); }), platform::E_POINTER);
  EXPECT_EQ(content(target), kSample);
  CMarc fromEmpty(empty);
  EXPECT_EQ(fromEmpty.IsNull(), 1);
}

TEST(Marc, SelfAssignmentKeepsHandlesOnTheRecord) {
  CMarc m;
  m.SetContent(kSample.c_str());
  CField f = m.GetField(u"200", 0);
  CMarc& alias = m;
  m = alias;
  f.AddSubFld(u"c", u"still here");
  EXPECT_NE(content(m).find(u"still here"), u16::npos);
}

TEST(Marc, InsertInTagOrder) {
  struct Case {
    const char* what;
    std::vector<const char16_t*> inserts;
    u16 expected;
  } cases[] = {
      {"between", {u"210"}, u"000 001 200 210 215"},
      {"equal tag goes after", {u"200"}, u"000 001 200 200 215"},
      {"before all", {u"000"}, u"000 000 001 200 215"},
      {"after all", {u"999", u"300"}, u"000 001 200 215 300 999"},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(kSample.c_str());
    for (const char16_t* tag : c.inserts) m.InsField(tag, u"", u"");
    EXPECT_EQ(tags(m), c.expected) << c.what;
  }
  CMarc m;
  m.SetContent(kSample.c_str());
  m.InsField(u"200", u"  ", u"<x><sf name=\"a\">new</sf></x>");
  EXPECT_EQ(content(m.GetField(u"200", 1).GetSubFld(0)), u"new");
}

TEST(Marc, InsertHandleInTagOrderMovesTheElement) {
  CMarc m;
  m.SetContent(kSample.c_str());
  CField f = m.GetField(1);  // 001, moved behind 200
  f.Rename(u"205");
  m.InsField(f);
  EXPECT_EQ(tags(m), u"000 200 205 215");
  f.AddSubFld(u"a", u"seen");
  EXPECT_NE(content(m).find(u"seen"), u16::npos) << "the record holds the handle's own element";

  CMarc unloaded;
  CField g = m.GetField(1);
  EXPECT_EQ(thrown([&] { unloaded.InsField(g); }), platform::E_POINTER);
  CField null;
  EXPECT_EQ(thrown([&] { m.InsField(null); }), platform::E_POINTER);
}

TEST(Marc, InsertAtIndex) {
  struct Case {
    int32_t index;
    u16 expected;
  } cases[] = {
      {0, u"NEW 000 001 200 215"}, {3, u"000 001 200 NEW 215"}, {4, u"000 001 200 215 NEW"},
      {99, u"000 001 200 215 NEW"}, {-1, u"000 001 200 215 NEW"},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(kSample.c_str());
    CField made = m.InsField(c.index, u"NEW", u"", u"");
    EXPECT_EQ(tags(m), c.expected) << c.index;
    EXPECT_EQ(u16(made.GetName()), u"NEW");

    CMarc n;
    n.SetContent(kSample.c_str());
    CField copy = n.InsField(c.index, m.GetField(u"NEW", 0));
    EXPECT_EQ(tags(n), c.expected) << c.index;
    copy.AddSubFld(u"a", u"only in n");
    EXPECT_EQ(content(m).find(u"only in n"), u16::npos);
  }
}

TEST(Marc, AddFieldBuildsElements) {
  struct Case {
    const char* what;
    const char16_t* indicator;
    const char16_t* content;
    u16 xml;
  } cases[] = {
      {"empty indicator", u"", u"", u"<field name=\"300\"/>"},
      {"null indicator and content", nullptr, nullptr, u"<field name=\"300\"/>"},
      {"indicator second", u"\u0011\u0011", u"", u"<field name=\"300\" indicator=\"\u0011\u0011\"/>"},
      {"text content", u"", u"<any>plain\u0011text</any>", u"<field name=\"300\">plain\u0011text</field>"},
      {"subfields", u"1", u"<x><sf name=\"a\">A</sf><sf name=\"b\">B</sf></x>",
       u"<field name=\"300\" indicator=\"1\"><sf name=\"a\">A</sf><sf name=\"b\">B</sf></field>"},
      {"content that does not parse", u"", u"<x><sf>", u"<field name=\"300\"/>"},
  };
  for (const auto& c : cases) {
    CMarc m;
    m.SetContent(record(u"").c_str());
    CField f = m.AddField(u"300", c.indicator, c.content);
    EXPECT_EQ(content(m), record(c.xml)) << c.what;
    EXPECT_EQ(u16(f.GetName()), u"300") << c.what;
  }
}

TEST(Marc, BuildingFormsGiveARecordWithoutRootAnEmptyOne) {
  CMarc a;
  a.AddField(u"001", u"", u"<c>x</c>");
  EXPECT_EQ(content(a), u"<marc><field name=\"001\">x</field></marc>");
  CMarc b;
  b.InsField(u"200", u"", u"");
  EXPECT_EQ(content(b), u"<marc><field name=\"200\"/></marc>");
  CMarc c;
  c.InsField(5, u"300", u"", u"");
  EXPECT_EQ(content(c), u"<marc><field name=\"300\"/></marc>");
  CMarc d;
  d += a.GetField(0);
  EXPECT_EQ(content(d), u"<marc><field name=\"001\">x</field></marc>");
  CMarc e;
  CField null;
  EXPECT_EQ(thrown([&] { e.AddField(null); }), platform::E_POINTER);
}

TEST(Marc, AddFieldCopiesTheElement) {
  CMarc m;
  m.SetContent(kSample.c_str());
  m.AddField(m.GetField(u"200", 0));
  CField copy = m.GetField(u"200", 1);
  ASSERT_FALSE(copy.IsNull());
  copy.AddSubFld(u"z", u"z");
  EXPECT_EQ(codes(m.GetField(u"200", 0)), u"ab");
  EXPECT_EQ(codes(copy), u"abz");
}

TEST(Marc, DeleteByIndexAndHandle) {
  CMarc m;
  m.SetContent(kSample.c_str());
  CMarc other;
  other.SetContent(kSample.c_str());
  EXPECT_EQ(m.DelField(other.GetField(2)), 0) << "a field of another record";
  EXPECT_EQ(m.DelField(CField()), 0);
  EXPECT_EQ(m.DelField(4), 0);
  EXPECT_EQ(m.DelField(-1), 0);
  EXPECT_EQ(m.DelField(m.GetField(u"200", 0)), 1);
  EXPECT_EQ(tags(m), u"000 001 215");
  EXPECT_EQ(m.DelField(0), 1) << "the header goes too";
  EXPECT_EQ(tags(m), u"001 215");
}

}  // namespace
