// ISO 2709 (UTF-16) to internal record text: Iso2Jinei and SortDirectory.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include <platform/text.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using u16 = std::u16string;

namespace {

const u16 kLeader = u"01234nam  2200025   4500";

struct TestField {
  u16 tag;
  u16 data;
};

// A UTF-16 record with its directory in the given order of fields; `order` lists, per entry,
// which field it describes (so entries can stand out of data order).
u16 makeRecord(const std::vector<TestField>& fields, std::vector<size_t> order = {}) {
  if (order.empty())
    for (size_t i = 0; i < fields.size(); ++i) order.push_back(i);
  std::vector<size_t> starts;
  size_t s = 0;
  for (const TestField& f : fields) {
    starts.push_back(s);
    s += f.data.size() + 1;
  }
  u16 dir, data;
  for (size_t k : order)
    dir += fields[k].tag + platform::format(u"%04d%05d", int(fields[k].data.size() + 1), int(starts[k]));
  for (const TestField& f : fields) data += f.data + u'\x1E';
  return kLeader + dir + u'\x1E' + data + u'\x1D';
}

u16 toText(u16 rec, int32_t capacity = 128000) {
  std::vector<char16_t> buf(std::max<size_t>(rec.size() + 1, size_t(capacity) + 1));
  std::vector<char16_t> scratch(rec.size() + 1);
  std::copy(rec.begin(), rec.end(), buf.begin());
  CMarcFile f;
  int32_t n = f.Iso2Jinei(buf.data(), scratch.data(), int32_t(rec.size()), capacity);
  if (n == 0) return u"<nothing>";
  EXPECT_EQ(size_t(n), platform::length(buf.data()));
  return u16(buf.data(), size_t(n));
}

const u16 kHead = u"<marc><header>01234nam\x11\x11" u"2200025\x11\x11\x11" u"4500</header>";

}  // namespace

TEST(Iso2Jinei, FieldShapes) {
  struct Case {
    const char* what;
    std::vector<TestField> fields;
    u16 body;
  } cases[] = {
      {"control field", {{u"001", u"ab c"}}, u"<field name=\"001\">ab\x11" u"c</field>"},
      {"-0 tag is a control field", {{u"-01", u"x"}}, u"<field name=\"-01\">x</field>"},
      {"empty control field", {{u"005", u""}}, u"<field name=\"005\"></field>"},
      {"empty data field", {{u"245", u""}}, u"<field name=\"245\"></field>"},
      {"blank indicator, & between blanks",
       {{u"245", u"  \x1F" u"aA & B"}},
       u"<field name=\"245\" indicator=\"\x11\x11\"><sf name=\"a\">A\x11\x12\x11" u"B</sf></field>"},
      {"no delimiter: all indicator", {{u"300", u"xyz"}}, u"<field name=\"300\" indicator=\"xyz\"></field>"},
      {"empty indicator", {{u"200", u"\x1F" u"ab"}}, u"<field name=\"200\"><sf name=\"a\">b</sf></field>"},
      {"adjacent delimiters and a trailing one",
       {{u"200", u"1 \x1F" u"ab\x1F\x1F" u"cd\x1F"}},
       u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">b</sf><sf name=\"c\">d</sf><sf name=\"\"></sf></field>"},
      {"escapes in data", {{u"500", u"\x1F" u"a<>\"'&"}}, u"<field name=\"500\"><sf name=\"a\">\x13\x14\x15\x16\x12</sf></field>"},
  };
  for (const Case& c : cases) EXPECT_EQ(toText(makeRecord(c.fields)), kHead + c.body + u"</marc>") << c.what;
}

// Separators are looked for several units at a time: each one is found at every offset, in
// fields of every length.
TEST(Iso2Jinei, SeparatorsAtEveryOffset) {
  for (size_t k = 0; k < 10; ++k) {
    u16 x(k, u'x');
    std::vector<TestField> fields = {{u"001", x}, {u"200", x + u"\x1F" u"a" + x + u"\x1F" u"by"}, {u"300", u"\x1F" u"c" + x}};
    u16 body = u"<field name=\"001\">" + x + u"</field><field name=\"200\"" +
               (k ? u" indicator=\"" + x + u"\"" : u16()) + u"><sf name=\"a\">" + x +
               u"</sf><sf name=\"b\">y</sf></field><field name=\"300\"><sf name=\"c\">" + x + u"</sf></field>";
    EXPECT_EQ(toText(makeRecord(fields)), kHead + body + u"</marc>") << k;
  }
}

TEST(Iso2Jinei, NoTerminatorAndMissingPieces) {
  EXPECT_EQ(toText(kLeader + u"abc"), kHead + u"</marc>");
  // Two entries, one piece: the text ends at the last piece found.
  u16 rec = kLeader + u"001000400000245000500004\x1E" u"abc\x1E";
  EXPECT_EQ(toText(rec), kHead + u"<field name=\"001\">abc</field></marc>");
}

TEST(Iso2Jinei, PairsTagsAndDataByStartingPosition) {
  std::vector<TestField> fields = {{u"001", u"one"}, {u"100", u"\x1F" u"atwo"}, {u"245", u"\x1F" u"athree"}};
  u16 text = toText(makeRecord(fields, {2, 0, 1}));
  EXPECT_EQ(text, kHead + u"<field name=\"001\">one</field><field name=\"100\"><sf name=\"a\">two</sf></field>"
                          u"<field name=\"245\"><sf name=\"a\">three</sf></field></marc>");
  u16 rec = makeRecord(fields, {2, 0, 1});
  CMarcFile::SortDirectory(rec.data());
  EXPECT_EQ(rec, makeRecord(fields));
}

TEST(Iso2Jinei, SortIsStableOnEqualStarts) {
  u16 rec = kLeader + u"AAA000100001BBB000100000CCC000100000\x1E" u"x\x1E\x1D";
  CMarcFile::SortDirectory(rec.data());
  EXPECT_EQ(rec.substr(24, 36), u"BBB000100000CCC000100000AAA000100001");
}

TEST(Iso2Jinei, LeaderAndTagsCannotBreakTheText) {
  // The leader keeps ">" raw but escapes "<" and "&"; a tag escapes all five XML characters.
  u16 rec = makeRecord({{u"<&\"", u"x"}, {u"2'>", u"\x1F" u"ay"}});
  rec.replace(5, 3, u"<&>");
  u16 text = toText(rec);
  EXPECT_EQ(text.substr(0, 23), u"<marc><header>01234\x13\x12>\x11");
  EXPECT_NE(text.find(u"<field name=\"\x13\x12\x15\" indicator=\"x\"></field>"), u16::npos);
  EXPECT_NE(text.find(u"<field name=\"2\x16\x14\"><sf name=\"a\">y</sf></field>"), u16::npos);
  CMarc m;
  m.SetContent(text.c_str());
  ASSERT_EQ(m.IsNull(), 0) << "the text parses";
  ASSERT_EQ(m.GetFieldCount(), 3);
  // And back: Jinei2Iso undoes the escape over the whole record.
  std::vector<char16_t> out(1000);
  CMarcFile f;
  int32_t n = f.Jinei2Iso(m, out.data(), 1000);
  ASSERT_GT(n, 0);
  u16 back(out.data(), size_t(n));
  EXPECT_EQ(back.substr(5, 3), u"<&>");
  EXPECT_EQ(back.substr(24, 3), u"<&\"");
  EXPECT_EQ(back.substr(36, 3), u"2'>");
}

TEST(Iso2Jinei, LongFieldIsCutAt9990) {
  u16 data(12000, u'x');
  u16 text = toText(makeRecord({{u"001", data}}));
  EXPECT_EQ(text, kHead + u"<field name=\"001\">" + u16(9990, u'x') + u"</field></marc>");
  // A surrogate pair across the cut goes whole.
  data[9989] = 0xD840;
  data[9990] = 0xDC00;
  text = toText(makeRecord({{u"001", data}}));
  EXPECT_EQ(text, kHead + u"<field name=\"001\">" + u16(9989, u'x') + u"</field></marc>");
}

TEST(Iso2Jinei, BudgetCutsKeepTheTextWellFormed) {
  // Control fields: the one that would pass 99,999 counted characters and all after it go.
  std::vector<TestField> controls(12, {u"001", u16(9000, u'c')});
  u16 text = toText(makeRecord(controls));
  size_t one = u16(u"<field name=\"001\"></field>").size() + 9000;
  size_t taken = (99999 - 47) / one;
  EXPECT_EQ(text.size(), 47 + taken * one + 7);
  EXPECT_EQ(text.substr(text.size() - 15), u"</field></marc>");

  // Subfields: twelve fields of 8,054 counted characters fit; the thirteenth's start tag
  // still fits but its first subfield does not, so that field is closed empty.
  std::vector<TestField> data(13, {u"200", u"\x1F" u"a" + u16(4000, u'd') + u"\x1F" u"b" + u16(4000, u'e')});
  text = toText(makeRecord(data));
  EXPECT_EQ(text.size(), 47 + 12 * (8054 + 8) + 18 + 15);
  EXPECT_EQ(text.substr(text.size() - 33), u"<field name=\"200\"></field></marc>");
  CMarc m;
  m.SetContent(text.c_str());
  EXPECT_EQ(m.IsNull(), 0);
  EXPECT_EQ(m.GetFieldCount(), 14);
}

TEST(Iso2Jinei, OutputStaysWithinTheCallersCapacity) {
  // Data fields of many short subfields: the end tags are not counted in the 99,999
  // budget, so the text passes 99,999 characters; a caller's capacity must still hold.
  std::vector<TestField> fields(40, {u"200", u""});
  for (TestField& f : fields)
    for (int i = 0; i < 300; ++i) f.data += u"\x1F" u"a" + u16(4, u'z');
  u16 rec = makeRecord(fields);
  u16 unbounded = toText(rec, 1000000);
  ASSERT_GT(unbounded.size(), 99999u);
  for (int32_t capacity : {99999, 50000, 4096, 1000, 100, 55}) {
    u16 text = toText(rec, capacity);
    ASSERT_LT(text.size(), size_t(capacity)) << capacity;
    EXPECT_EQ(unbounded.substr(0, text.size() - 15), text.substr(0, text.size() - 15));
    CMarc m;
    m.SetContent(text.c_str());
    EXPECT_EQ(m.IsNull(), 0) << "well-formed at capacity " << capacity;
  }
  // Not even the header fits: nothing is written.
  EXPECT_EQ(toText(rec, 54), u"<nothing>");
}
