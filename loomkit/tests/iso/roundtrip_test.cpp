// Internal record text to ISO 2709 and back, in every code-page form.
#include "iso_support.h"

#include <cstring>

using namespace isotest;

namespace {

// Blank leader positions, a blank indicator, escapes, Chinese text, user-defined GBK
// characters (U+E000 = AA A1, U+E815 = FE 50, U+E76C = A2 E3), an empty subfield.
const u16 kRecord =
    u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>"
    u"<field name=\"001\">CAL\x11" u"012345</field>"
    u"<field name=\"245\" indicator=\"1\x11\"><sf name=\"a\">中文\x11题名\x12\x13\x14</sf>"
    u"<sf name=\"c\">王\x15小\x16明</sf><sf name=\"\"></sf></field>"
    u"<field name=\"100\" indicator=\"\x11\x11\"><sf name=\"a\">20240101d2024\x11\x11\x11\x11</sf></field>"
    u"</marc>";
const u16 kUserDefined =
    u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>"
    u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">\uE000\uE815\uE76C书</sf></field></marc>";

}  // namespace

TEST(RoundTrip, EveryCodePage) {
  struct Case {
    const char* what;
    int codePage, markerFlag;
    u16 text;
  } cases[] = {
      {"UTF-16", -1, 0, kRecord},
      {"GBK", 0, 0, kRecord},
      {"GBK, user-defined characters", 0, 0, kUserDefined},
      {"936 by number", 936, 0, kUserDefined},
      {"UTF-8", 65001, 0, kRecord},
      {"EACC, ESC $ 1", -2, 3, kRecord},
      {"EACC, ESC $ $ 1", -2, 4, kRecord},
      {"EACC, user-defined characters outside the table", -2, 3, kUserDefined},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    u16 iso = isoOf(c.text);
    ASSERT_FALSE(iso.empty());
    isocheck::check(iso);
    std::string bytes = bytesOf(iso, c.codePage, c.markerFlag);
    ASSERT_FALSE(bytes.empty());
    if (c.codePage != -1) isocheck::check(bytes);
    int marker = 0;
    u16 back = widen(bytes, c.codePage, &marker);
    if (c.codePage == -2) {
      EXPECT_EQ(marker, c.markerFlag);
    }
    EXPECT_EQ(u8(textOf(back)), u8(withColumns(c.text, back)));
  }
}

// Content is escaped and unescaped several units at a time: escapes and frame characters at
// every offset of a piece come back as they went (the frame characters as blanks).
TEST(RoundTrip, EscapesAtEveryOffset) {
  for (size_t k = 0; k <= 9; ++k) {
    SCOPED_TRACE(k);
    const u16 before(k, u'\u4E2D'), after(9 - k, u'\u6587');
    const u16 escapes = u"\x11\x12\x13\x14\x15\x16" u"0-9";
    u16 text = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>"
               u"<field name=\"200\" indicator=\"" + u16(k % 3, u'1') + u"\x11\"><sf name=\"a\">" + before + escapes +
               after + u"</sf><sf name=\"b\">" + before + u16(1, u'\x1E') + after + u"</sf></field></marc>";
    for (int cp : {0, 65001}) {
      std::string bytes = bytesOf(isoOf(text), cp);
      u16 back = widen(bytes, cp, nullptr);
      u16 expected = text;
      expected[expected.find(u'\x1E')] = u'\x11';
      EXPECT_EQ(u8(textOf(back)), u8(withColumns(expected, back))) << cp;
    }
  }
}

TEST(RoundTrip, ByteFormsCountBytes) {
  u16 iso = isoOf(kUserDefined);
  auto wide = isocheck::check(iso);
  std::string gbk = bytesOf(iso, 0);
  auto narrow = isocheck::check(gbk);
  ASSERT_EQ(narrow.data.size(), 1u);
  EXPECT_EQ(narrow.data[0], "1 \x1F" "a\xAA\xA1\xFE\x50\xA2\xE3\xCA\xE9");
  EXPECT_EQ(wide.entries[0].length, 9u);
  EXPECT_EQ(narrow.entries[0].length, 13u);
  EXPECT_EQ(wide.lengthColumn + 4, narrow.lengthColumn);
}

TEST(Jinei2Iso, LayoutOfTheRecord) {
  // The header alone: base address 25, length 26, U+001E at 24.
  u16 iso = isoOf(u"<marc><header>99999nam  2299999   4500</header></marc>");
  EXPECT_EQ(iso, u"00026nam  2200025   4500\x1E\x1D");

  // Fields in document order, not by tag; lengths count the terminator.
  iso = isoOf(u"<marc><header>00000nam  2200000   4500</header>"
              u"<field name=\"245\" indicator=\"10\"><sf name=\"a\">T</sf></field>"
              u"<field name=\"100\"><sf name=\"a\">A</sf></field><field name=\"001\">x</field></marc>");
  EXPECT_EQ(iso, u"00074nam  2200061   4500245000600000100000400006001000200010\x1E"
                 u"10\x1F" u"aT\x1E\x1F" u"aA\x1E" u"x\x1E\x1D");
  isocheck::check(iso);
}

TEST(Jinei2Iso, TagsAreThreeCharacters) {
  // A short tag is padded with blanks rather than shift every later entry; a long one is cut.
  u16 iso = isoOf(u"<marc><header>00000nam  2200000   4500</header><field name=\"24\" indicator=\"1\">"
                  u"</field><field name=\"5000\" indicator=\"2\"></field></marc>");
  auto r = isocheck::check(iso);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].tag, "24 ");
  EXPECT_EQ(r.entries[1].tag, "500");
  EXPECT_EQ(r.data[1], u"2");
}

TEST(Jinei2Iso, HeadersOfOtherLengths) {
  // A short header is padded with "0" (no field terminator inside the leader); a long one
  // gives its first 24 characters, even past 128 characters.
  u16 iso = isoOf(u"<marc><header>abc</header><field name=\"001\">x</field></marc>");
  EXPECT_EQ(iso.substr(0, 24), u"000400000000000370000000");
  iso = isoOf(u"<marc><header>" + u16(200, u'h') + u"</header></marc>");
  EXPECT_EQ(iso, u"00026hhhhhhh00025hhhhhhh\x1E\x1D");
}

TEST(Jinei2Iso, NoRootOrNoHeaderGivesNothing) {
  for (const char16_t* text : {u"not xml", u"<marc/>", u"<marc>text</marc>",
                               u"<marc><field name=\"001\">x</field></marc>"}) {
    CMarc m;
    m.SetContent(text);
    char16_t out[64];
    out[0] = u'!';
    CMarcFile f;
    EXPECT_EQ(f.Jinei2Iso(m, out, 64), 0) << u8(text);
    EXPECT_EQ(out[0], u'!');
    char bytes[64] = "!";
    EXPECT_EQ(OutMarc(text, 0, 0, bytes), 0);
    EXPECT_EQ(OutMarc0(text, -2, 3, bytes), 0);
    EXPECT_EQ(OutMarc(text, -1, 0, bytes), 0);
    EXPECT_EQ(bytes[0], '!');
  }
  EXPECT_EQ(OutMarc(nullptr, 0, 0, nullptr), 0);
}

TEST(Jinei2Iso, OutputBufferIsABound) {
  u16 iso = isoOf(kRecord);
  CMarc m;
  m.SetContent(kRecord.c_str());
  CMarcFile f;
  std::vector<char16_t> out(iso.size() + 1, u'!');
  EXPECT_EQ(f.Jinei2Iso(m, out.data(), int32_t(iso.size())), 0);
  EXPECT_EQ(out[0], u'!');
  EXPECT_EQ(f.Jinei2Iso(m, out.data(), int32_t(iso.size() + 1)), int32_t(iso.size()));
  EXPECT_EQ(u16(out.data()), iso);
}

TEST(Jinei2Iso, FieldsOf9990UnitsOrMoreAreCut) {
  auto record = [](const u16& data) {
    return u"<marc><header>00000nam  2200000   4500</header><field name=\"001\">" + data +
           u"</field><field name=\"005\">next</field></marc>";
  };
  struct Case {
    const char* what;
    u16 data;
    size_t kept;
  } cases[] = {
      {"12,000 units", u16(12000, u'x'), 9990},
      {"9,990 units", u16(9990, u'x'), 9990},
      {"9,989 units stay", u16(9989, u'x'), 9989},
      {"a surrogate pair across the cut", u16(9989, u'x') + u"\U00020000" + u16(100, u'y'), 9989},
      {"a surrogate pair before the cut", u16(9988, u'x') + u"\U00020000" + u16(100, u'y'), 9990},
  };
  for (const Case& c : cases) {
    u16 iso = isoOf(record(c.data));
    auto r = isocheck::check(iso);
    ASSERT_EQ(r.data.size(), 2u) << c.what;
    EXPECT_EQ(r.data[0], c.data.substr(0, c.kept)) << c.what;
    EXPECT_EQ(r.entries[0].length, c.kept + 1) << c.what;
    EXPECT_EQ(r.entries[1].start, c.kept + 1) << c.what;
    EXPECT_EQ(r.data[1], u"next");
  }
}

TEST(Jinei2Iso, RecordsStayBelow100000Units) {
  u16 text = u"<marc><header>00000nam  2200000   4500</header>";
  for (int i = 0; i < 15; ++i)
    text += platform::format(u"<field name=\"%03d\"><sf name=\"a\">", 10 + i) + u16(9000, u'a' + i) + u"</sf></field>";
  text += u"</marc>";
  u16 iso = isoOf(text);
  auto r = isocheck::check(iso);
  // 24 + 12n + 1 + 9003n + 1 <= 99,999: eleven whole fields, the first eleven.
  ASSERT_EQ(r.data.size(), 11u);
  for (size_t i = 0; i < r.data.size(); ++i) EXPECT_EQ(r.data[i], u"\x1F" u"a" + u16(9000, char16_t(u'a' + i)));
  EXPECT_EQ(r.entries.back().tag, "020");
}

TEST(CvtCharset, ResultsAndCapacities) {
  u16 iso = isoOf(kRecord);
  CMarcFile f;
  std::vector<char16_t> out(iso.size() * 2, u'!');
  // -1: characters; the text and its NUL must fit.
  f.SetAttribute(-1, 0);
  EXPECT_EQ(f.CvtCharset(iso.c_str(), out.data(), int32_t(iso.size())), 0);
  EXPECT_EQ(out[0], u'!');
  EXPECT_EQ(f.CvtCharset(iso.c_str(), out.data(), int32_t(iso.size() + 1)), int32_t(iso.size()));
  // A code page no converter knows gives nothing.
  f.SetAttribute(12345, 0);
  EXPECT_EQ(f.CvtCharset(iso.c_str(), out.data(), int32_t(out.size())), 0);
  // Byte forms: bytes, into at most 2 x size bytes with the NUL.
  for (int cp : {0, 65001, -2}) {
    f.SetAttributeEx(cp, 0, 3);
    std::string bytes = bytesOf(iso, cp, 3);
    ASSERT_FALSE(bytes.empty());
    std::fill(out.begin(), out.end(), u'!');
    int32_t tight = int32_t(bytes.size() / 2);  // 2 x tight < bytes + NUL
    EXPECT_EQ(f.CvtCharset(iso.c_str(), out.data(), tight), 0) << cp;
    EXPECT_EQ(out[0], u'!') << cp;
    int32_t enough = int32_t(bytes.size() / 2 + 1);
    ASSERT_EQ(f.CvtCharset(iso.c_str(), out.data(), enough), int32_t(bytes.size())) << cp;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), bytes.size() + 1), bytes + '\0');
  }
}

TEST(OutMarc, BothExportsWriteTheBytes) {
  for (int cp : {-1, 0, 65001, -2}) {
    std::vector<char> a(100000), b(100000);
    int32_t n = OutMarc(kRecord.c_str(), cp, 4, a.data());
    ASSERT_GT(n, 0) << cp;
    EXPECT_EQ(OutMarc0(kRecord.c_str(), cp, 4, b.data()), n);
    EXPECT_EQ(a, b);
    size_t bytes = cp == -1 ? 2 * size_t(n) : size_t(n);
    EXPECT_EQ(std::string(a.data(), bytes), bytesOf(isoOf(kRecord), cp, 4)) << cp;
  }
}

TEST(OutMarc, NeverWritesPast100000Bytes) {
  // 60,000 UTF-16 units do not fit 100,000 bytes: nothing, rather than an overrun (the
  // buffer here is exactly 100,000 bytes, so the sanitizer build would catch one).
  u16 text = u"<marc><header>00000nam  2200000   4500</header>";
  for (int i = 0; i < 7; ++i) text += u"<field name=\"500\"><sf name=\"a\">" + u16(8500, u'z') + u"</sf></field>";
  text += u"</marc>";
  auto out = std::make_unique<char[]>(100000);
  EXPECT_EQ(OutMarc(text.c_str(), -1, 0, out.get()), 0);
  // The same record in UTF-8 fits.
  int32_t n = OutMarc(text.c_str(), 65001, 0, out.get());
  EXPECT_GT(n, 59000);
  isocheck::check(std::string(out.get(), size_t(n)));
  // Chinese text in UTF-8 passes 100,000 bytes: whole trailing fields go.
  text = u"<marc><header>00000nam  2200000   4500</header>";
  for (int i = 0; i < 11; ++i) text += u"<field name=\"500\"><sf name=\"a\">" + u16(3300, u'书') + u"</sf></field>";
  text += u"</marc>";
  n = OutMarc(text.c_str(), 65001, 0, out.get());
  auto r = isocheck::check(std::string(out.get(), size_t(n)));
  // 26 + (12 + 9,903) n <= 99,999
  EXPECT_EQ(r.data.size(), 10u);
}
