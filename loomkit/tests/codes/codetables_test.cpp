// The code tables and CCvtCode's lookups.
//
// The lookups answer through an index; the reference here is the plain search of the table
// text for the key, taking the first matching line, which is what the index must agree with.
#include <loomkit/CvtCode.h>

#include "../../src/codes/cvtcode_internal.h"

#include <platform/codepage.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ct = loomkit::codetables;

namespace {

struct Line {
  std::string_view key;    // the line's first column
  std::string_view value;  // the rest, after the separating blanks
};

std::vector<Line> linesOf(ct::Table t, size_t keyLength, size_t gap) {
  std::vector<Line> out;
  std::string_view text = ct::tableText(t);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    EXPECT_NE(end, std::string_view::npos) << "every line ends with CR LF";
    if (end == std::string_view::npos) break;
    std::string_view line = text.substr(pos, end - pos);
    out.push_back({line.substr(0, keyLength), line.substr(keyLength + gap)});
    pos = end + 2;
  }
  return out;
}

unsigned hex(std::string_view s) { return unsigned(std::stoul(std::string(s), nullptr, 16)); }

// The search a lookup stands for: the UCS-2 column followed by the line end.
uint32_t searchEacc(char16_t c) {
  char key[16];
  std::snprintf(key, sizeof key, " %04X\r\n", unsigned(c));
  std::string_view text = ct::tableText(ct::Codes);
  size_t at = text.find(key);
  if (at == std::string_view::npos || at < 6) return 0;
  return hex(text.substr(at - 6, 6));
}

// The search of the EACC column: the three bytes in hex and a blank.
char16_t searchUnicode(unsigned b1, unsigned b2, unsigned b3) {
  char key[16];
  std::snprintf(key, sizeof key, "%X%X%X ", b1, b2, b3);
  std::string_view text = ct::tableText(ct::Codes);
  size_t at = text.find(key);
  if (at == std::string_view::npos) return 0;
  return char16_t(hex(text.substr(at + 7, 4)));
}

std::u16string units(std::string_view bytes) {
  std::u16string s;
  for (char b : bytes) s.push_back(char16_t(uint8_t(b)));
  return s;
}

}  // namespace

TEST(CodeTables, TextsHaveTheirFixedShape) {
  struct Case {
    ct::Table table;
    const char* first;
    size_t keyLength, gap;
  } cases[] = {{ct::Codes, "212321 3000\r\n", 6, 1}, {ct::Latin, "88 0098\r\n", 2, 1}, {ct::Pinyin, "\x81\x40     ", 2, 5}};
  for (const Case& c : cases) {
    std::string_view text = ct::tableText(c.table);
    EXPECT_EQ(text.substr(0, std::strlen(c.first)), c.first);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // Two NUL bytes close the text in memory.
    EXPECT_EQ(text.data()[text.size()], '\0');
    EXPECT_EQ(text.data()[text.size() + 1], '\0');
    EXPECT_FALSE(linesOf(c.table, c.keyLength, c.gap).empty());
  }
  EXPECT_EQ(linesOf(ct::Latin, 2, 1).size(), 67u);
  EXPECT_EQ(ct::tableText(ct::Latin).size() + 2, 605u);
}

TEST(CodeTables, LookedUpByResourceTypeAndId) {
  struct Case {
    ct::ResourceType type;
    int32_t id;
    const char* first;  // nullptr: no such resource
  } cases[] = {{ct::CODETABLE, 5000, "212321 3000\r\n"}, {ct::CODETABLE, 5005, "88 0098\r\n"},
               {ct::PINYINTABLE, 5001, "\x81\x40     "}, {ct::PINYINTABLE, 5000, nullptr},
               {ct::CODETABLE, 5001, nullptr}};
  for (const Case& c : cases) {
    ct::Embedded e = ct::embeddedTable(c.type, c.id);
    if (!c.first) {
      EXPECT_EQ(e.begin, nullptr) << c.id;
      continue;
    }
    ASSERT_NE(e.begin, nullptr) << c.id;
    EXPECT_EQ(std::string_view(e.begin, std::strlen(c.first)), c.first);
  }
}

TEST(CodeTables, EveryCodesLineInBothDirectionsWithTheFirstLineRule) {
  CCvtCode codes(u"Codes");
  std::set<char16_t> seen;
  size_t duplicates = 0;
  for (const Line& l : linesOf(ct::Codes, 6, 1)) {
    ASSERT_EQ(l.key.size(), 6u);
    ASSERT_EQ(l.value.size(), 4u);
    unsigned eacc = hex(l.key);
    char16_t ucs = char16_t(hex(l.value));
    unsigned b1 = eacc >> 16, b2 = (eacc >> 8) & 0xFF, b3 = eacc & 0xFF;

    // EACC to Unicode: every line's code gives its own character.
    std::u16string in = {char16_t(b1), char16_t(b2), char16_t(b3)};
    char16_t out[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    ASSERT_EQ(codes.Eacc2Unicode(in.c_str(), out, 4), 1) << l.key;
    EXPECT_EQ(out[0], ucs) << l.key;
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[0], searchUnicode(b1, b2, b3));

    // Unicode to EACC: the first line that holds the character wins.
    ASSERT_GT(ucs, 0xFE) << "no table character falls in the single-byte range";
    char bytes[3] = {};
    ASSERT_EQ(codes.Unicode2Eacc(&ucs, bytes), 3) << l.value;
    unsigned got = (unsigned(uint8_t(bytes[0])) << 16) | (unsigned(uint8_t(bytes[1])) << 8) | uint8_t(bytes[2]);
    EXPECT_EQ(got, searchEacc(ucs)) << l.value;
    if (seen.insert(ucs).second) {
      EXPECT_EQ(got, eacc) << "the first line with " << l.value;
    } else {
      ++duplicates;
      EXPECT_NE(got, eacc) << "a later line with " << l.value << " is never chosen";
    }
  }
  EXPECT_GT(duplicates, 0u);
}

TEST(CodeTables, EveryLatinLine) {
  CCvtCode latin(u"Latin");
  std::set<unsigned> inTable;
  for (const Line& l : linesOf(ct::Latin, 2, 1)) {
    unsigned b = hex(l.key);
    inTable.insert(b);
    char c = char(b);
    EXPECT_EQ(latin.IsExtLatin(&c), 1) << l.key;
    EXPECT_EQ(ct::unicodeOfLatin(uint8_t(b)), hex(l.value)) << l.key;
  }
  for (unsigned b = 0; b < 256; ++b) {
    char c = char(b);
    if (!inTable.count(b)) {
      EXPECT_EQ(latin.IsExtLatin(&c), 0) << b;
    }
  }
}

TEST(CodeTables, EveryPinyinLineAndOnlyWholeCharactersMatch) {
  std::string_view text = ct::tableText(ct::Pinyin);
  std::set<std::string> keys;
  for (const Line& l : linesOf(ct::Pinyin, 2, 5)) {
    std::string key(l.key);
    ASSERT_TRUE(keys.insert(key).second) << "one line per character";
    std::string_view line = ct::pinyinLine(key);
    EXPECT_EQ(line, std::string("     ") + std::string(l.value));
    // The character through UTF-16 finds the same line.
    std::u16string wide = platform::toWide(platform::CP_GBK, key);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_GE(wide[0], 0x4E00);
    EXPECT_LE(wide[0], 0x9FA5);
    EXPECT_EQ(ct::pinyinLineFor(wide[0]), line);
    // Readings: lower-case letters separated by ";", at most six.
    size_t readings = 1;
    for (char c : l.value) {
      if (c == ';') {
        ++readings;
      } else {
        EXPECT_TRUE(c >= 'a' && c <= 'z') << key;
      }
    }
    EXPECT_LE(readings, 6u);
  }
  EXPECT_EQ(ct::pinyinLineFor(u'\u4E0D').substr(0, 7), "     bu");

  // 0x80 is the one-byte euro sign in code page 936. A plain search of the text finds that
  // byte as the trail byte of some line; the lookup must not.
  EXPECT_NE(text.find('\x80'), std::string_view::npos);
  EXPECT_EQ(platform::toNarrow(platform::CP_GBK, u"\u20AC"), "\x80");
  EXPECT_TRUE(ct::pinyinLineFor(u'\u20AC').empty());
  EXPECT_TRUE(ct::pinyinLine("\x80").empty());
  EXPECT_TRUE(ct::pinyinLineFor(u'A').empty());
  // A pair made of one line's trail byte and the next line's lead byte is no character.
  std::string straddle{text[1], text[text.find("\r\n") + 3]};
  if (!keys.count(straddle)) {
    EXPECT_TRUE(ct::pinyinLine(straddle).empty());
  }
}

TEST(CvtCode, TableNamesAndNoTable) {
  for (const char16_t* name : {u"codes", u"CODES", u"Codes"}) {
    CCvtCode c(name);
    char16_t ideographicSpace = 0x3000;
    char b[3];
    EXPECT_EQ(c.Unicode2Eacc(&ideographicSpace, b), 3);
  }
  for (const char16_t* name : {u"Latin1", u"", static_cast<const char16_t*>(nullptr)}) {
    CCvtCode none(name);
    char16_t a = u'A';
    char b[3];
    char16_t out[4] = {u'x', u'x'};
    char x88 = char(0x88);
    EXPECT_EQ(none.Unicode2Eacc(&a, b), 0);
    EXPECT_EQ(none.Eacc2Unicode(u"!#!", out, 4), 0);
    EXPECT_EQ(out[0], 0) << "an empty output";
    EXPECT_EQ(none.IsExtLatin(&x88), 0);
  }
}

TEST(CvtCode, Unicode2EaccCases) {
  CCvtCode codes(u"Codes");
  // A character of the ANSI code page that the EACC table lacks.
  char16_t missing = 0;
  for (char16_t c = 0x4E00; c < 0x9FA5 && !missing; ++c)
    if (!ct::eaccOf(c)) missing = c;
  ASSERT_NE(missing, 0);
  std::string ansi = platform::toNarrow(platform::CP_GBK, std::u16string(1, missing));

  struct Case {
    char16_t c;
    std::string bytes;
  } cases[] = {
      {0x3000, "\x21\x23\x21"}, {u'A', "A"}, {0x00FC, "\xE8\x75"}, {0x0001, "\x01"}, {missing, ansi},
      // U+0080-U+00FE as their code page 936 bytes where it holds them, else "?".
      {0x00E9, "\xA8\xA6"}, {0x00B7, "\xA1\xA4"}, {0x00FE, "?"}, {0x0080, "?"},
      {0xD800, "?"},  // a lone surrogate
  };
  for (const Case& c : cases) {
    char out[3] = {};
    int32_t n = codes.Unicode2Eacc(&c.c, out);
    EXPECT_EQ(std::string(out, size_t(n)), c.bytes) << std::hex << unsigned(c.c);
  }
}

TEST(CvtCode, Eacc2UnicodeCasesAndCapacity) {
  CCvtCode codes(u"Codes");
  char16_t out[8];
  EXPECT_EQ(codes.Eacc2Unicode(units("\x21\x23\x21\x21\x23\x28").c_str(), out, 8), 2);
  EXPECT_EQ(std::u16string(out), u"\u3000\uFF08");
  // Seven units: the last single one is dropped.
  EXPECT_EQ(codes.Eacc2Unicode(units("\x21\x23\x21\x21\x23\x28\x21").c_str(), out, 8), 2);
  // A code missing from the table is dropped.
  EXPECT_EQ(codes.Eacc2Unicode(units("\x7E\x7E\x7E\x21\x23\x21").c_str(), out, 8), 1);
  EXPECT_EQ(out[0], 0x3000);
  // Written in hex without leading zeros, 01 23 21 is "12321", which a search of the text
  // finds inside the line "212321 3000". Codes are looked up at line starts only: no match.
  EXPECT_EQ(codes.Eacc2Unicode(units("\x01\x23\x21").c_str(), out, 8), 0);
  // Two characters and the NUL need three units: with two nothing is written.
  char16_t small[2] = {u'x', u'y'};
  EXPECT_EQ(codes.Eacc2Unicode(units("\x21\x23\x21\x21\x23\x28").c_str(), small, 2), 0);
  EXPECT_EQ(small[0], u'x');
  EXPECT_EQ(small[1], u'y');
}

TEST(CvtCode, IsExtLatinBounds) {
  CCvtCode latin(u"Latin");
  char b87 = char(0x87), b88 = char(0x88), bFE = char(0xFE), bFF = char(0xFF), bA1 = char(0xA1);
  EXPECT_EQ(latin.IsExtLatin(&b87), 0);
  EXPECT_EQ(latin.IsExtLatin(&b88), 1);
  EXPECT_EQ(latin.IsExtLatin(&bA1), 1);
  EXPECT_EQ(latin.IsExtLatin(&bFE), 1);
  EXPECT_EQ(latin.IsExtLatin(&bFF), 0);
}

TEST(CvtCode, IndexesAreSharedByThreads) {
  // Every thread asks at once; each must see the finished index.
  std::vector<std::thread> threads;
  std::vector<int> ok(8, 0);
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t, &ok] {
      CCvtCode codes(u"Codes");
      char16_t out[2];
      char b[3];
      char16_t c = 0x3000;
      ok[size_t(t)] = codes.Unicode2Eacc(&c, b) == 3 && codes.Eacc2Unicode(u"!#(", out, 2) == 1 &&
                      out[0] == 0xFF08 && !ct::pinyinLineFor(u'\u4E2D').empty();
    });
  for (auto& th : threads) th.join();
  for (int v : ok) EXPECT_EQ(v, 1);
}

// yaz-iconv, a MARC-8 converter of its own, agrees with the table on small inputs.
TEST(CodeTablesPeer, YazIconvAgreesWithCodes) {
  qtest::TempDir dir;
  std::vector<Line> lines = linesOf(ct::Codes, 6, 1);
  std::set<std::string_view> repeated;
  {
    std::set<std::string_view> seen;
    for (const Line& l : lines)
      if (!seen.insert(l.value).second) repeated.insert(l.value);
  }
  int checked = 0;
  for (size_t i = 0; i < lines.size(); i += 97) {
    const Line& l = lines[i];
    std::string eacc(3, '\0');
    unsigned code = hex(l.key);
    eacc[0] = char(code >> 16), eacc[1] = char(code >> 8), eacc[2] = char(code);
    char16_t ucs = char16_t(hex(l.value));
    std::string utf8 = platform::toNarrow(platform::CP_UTF8, std::u16string(1, ucs));

    qtest::writeFile(dir / "in.marc8", "\x1B$1" + eacc + "\x1B(B");
    std::string decoded;
    ASSERT_EQ(qtest::run("yaz-iconv -f marc8 -t utf-8 " + (dir / "in.marc8").string(), &decoded), 0);
    EXPECT_EQ(decoded, utf8) << l.key;

    if (repeated.count(l.value)) continue;  // which of several codes yaz prefers is its own choice
    qtest::writeFile(dir / "in.utf8", utf8);
    std::string encoded;
    ASSERT_EQ(qtest::run("yaz-iconv -f utf-8 -t marc8 " + (dir / "in.utf8").string(), &encoded), 0);
    EXPECT_EQ(encoded, "\x1B$1" + eacc + "\x1B(B") << l.value;
    ++checked;
  }
  EXPECT_GT(checked, 100);
}
