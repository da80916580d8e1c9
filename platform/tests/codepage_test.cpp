#include <platform/codepage.h>
#include <platform/text.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;

TEST(CodePage, DecodesAsWindowsMapsIt) {
  struct Case {
    int cp;
    std::string bytes;
    u16 text;
  } cases[] = {
      {CP_ACP, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
      {CP_GBK, "a\xD6\xD0z", u"a\u4E2Dz"},
      {CP_ACP, "\xAA\xA1", u"\uE000"},  // first user-defined character
      {CP_ACP, "\xFE\x50", u"\uE815"},  // a user-defined character of the FE row
      {CP_ACP, "\xA1\xA1", u"\u3000"},
      {CP_ACP, "\x80", u"\u20AC"},      // the single-byte euro sign of code page 936
      {CP_ACP, "a\x81", u"a\uFFFD"},    // lead byte at the end
      {CP_ACP, "\x81\x7F" "b", u"\uFFFD\u007Fb"},  // a trail byte that is not one: kept as itself
      {CP_ACP, "\xFF" "c", u"\uF8F5c"},  // Windows gives the lone 0xFF a private-use character
      {CP_UTF8, "\xE4\xB8\xAD\xC3\x28", u"\u4E2D\uFFFD("},
      {CP_UTF16LE, std::string("\x2D\x4E" "a\0", 4), u"\u4E2Da"},
      {CP_UTF16LE, std::string("a\0b", 3), u"a\uFFFD"},  // odd byte
      {CP_LATIN1, "\xE9\x80\xFF", u"\u00E9\u0080\u00FF"},  // every byte is its own code point
  };
  for (auto& c : cases) {
    EXPECT_EQ(toWide(c.cp, c.bytes), c.text) << c.cp << " " << c.bytes;
    std::vector<char16_t> out(c.text.size() + 1, u'#');
    int n = MultiByteToWideChar(c.cp, c.bytes.data(), int(c.bytes.size()), out.data(), int(out.size()));
    EXPECT_EQ(u16(out.data(), size_t(n)), c.text) << c.cp << " " << c.bytes;
  }
}

TEST(CodePage, EncodesAsWindowsMapsIt) {
  struct Case {
    int cp;
    u16 text;
    std::string bytes;
  } cases[] = {
      {CP_ACP, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
      {CP_ACP, u"\uE000\uE815", "\xAA\xA1\xFE\x50"},
      {CP_ACP, u"\u20AC", "\x80"},
      {CP_ACP, u"\u0E01a", "?a"},  // Thai is not in code page 936
      {CP_ACP, u"\U0001F600", "?"},
      {CP_ACP, u16(1, char16_t(0xD800)) + u"x", "?x"},  // a lone surrogate
      {CP_UTF8, u"\u4E2D", "\xE4\xB8\xAD"},
      {CP_UTF16LE, u"\u4E2Da", std::string("\x2D\x4E" "a\0", 4)},
      {CP_LATIN1, u"\u00E9\u4E2D", "\xE9?"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(toNarrow(c.cp, c.text), c.bytes) << c.cp;
    std::vector<char> out(c.bytes.size() + 1, '#');
    int n = WideCharToMultiByte(c.cp, c.text.data(), int(c.text.size()), out.data(), int(out.size()));
    EXPECT_EQ(std::string(out.data(), size_t(n)), c.bytes) << c.cp;
  }
}

TEST(CodePage, LengthQueryAndTooSmallOutput) {
  const char* gbk = "\xD6\xD0\xCE\xC4";
  struct Case {
    int srcLen, dstSize, result;
  } toWideCases[] = {
      {4, 0, 2},   // length only
      {-1, 0, 3},  // the NUL counts
      {4, 1, 0},   // too small: nothing written
      {-1, 2, 0},
      {4, 2, 2},
      {-1, 3, 3},
  };
  for (auto& c : toWideCases) {
    char16_t out[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, gbk, c.srcLen, c.dstSize ? out : nullptr, c.dstSize), c.result)
        << c.srcLen << "/" << c.dstSize;
    if (c.result == 0) {
      EXPECT_EQ(out[0], u'#') << c.srcLen << "/" << c.dstSize;
    } else if (c.srcLen == -1 && c.dstSize) {
      EXPECT_EQ(out[2], 0);
    }
  }
  struct NarrowCase {
    int srcLen, dstSize, result;
  } toNarrowCases[] = {{2, 0, 4}, {-1, 0, 5}, {2, 3, 0}, {2, 4, 4}, {-1, 4, 0}, {-1, 5, 5}};
  for (auto& c : toNarrowCases) {
    char out[6] = "#####";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, u"\u4E2D\u6587", c.srcLen, c.dstSize ? out : nullptr, c.dstSize), c.result)
        << c.srcLen << "/" << c.dstSize;
    if (c.result == 0) {
      EXPECT_EQ(out[0], '#');
    } else if (c.dstSize) {
      EXPECT_EQ(std::memcmp(out, "\xD6\xD0\xCE\xC4", 4), 0);
    }
  }
}

TEST(CodePage, Utf16FormEndsAtTheFirstZeroUnit) {
  const char bytes[] = {'a', 0, 0x2D, 0x4E, 0, 0, 'z', 0};
  char16_t out[4] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF16LE, bytes, -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF16LE, bytes, -1, out, 4), 3);
  EXPECT_EQ(u16(out, 3), u16(u"a\u4E2D\0", 3));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF16LE, bytes, 8, nullptr, 0), 4);  // an explicit length goes past it
  char narrow[8];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF16LE, u"ab", -1, narrow, 8), 6);
  EXPECT_EQ(std::string(narrow, 6), std::string("a\0b\0\0\0", 6));
}

TEST(CodePage, UnknownCodePagesAndBadArguments) {
  char16_t out[4];
  EXPECT_EQ(MultiByteToWideChar(12345, "abc", 3, out, 4), 0);
  EXPECT_EQ(WideCharToMultiByte(12345, u"abc", 3, nullptr, 0), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, nullptr, 3, out, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, "abc", -2, out, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, "abc", 3, out, -1), 0);
  EXPECT_FALSE(isKnownCodePage(12345));
  EXPECT_TRUE(isKnownCodePage(1252));
  EXPECT_TRUE(isKnownCodePage(CP_UTF16LE));
  EXPECT_EQ(toWide(1252, "\x80"), u"\u20AC");
}

TEST(CodePage, LeadBytesOf936) {
  struct Case {
    unsigned char byte;
    bool lead;
  } cases[] = {{0x7F, false}, {0x80, false}, {0x81, true}, {0xA1, true}, {0xFE, true}, {0xFF, false}};
  for (auto& c : cases) EXPECT_EQ(IsDBCSLeadByte936(c.byte), c.lead) << int(c.byte);
  // A lead byte at the very end stands alone.
  const unsigned char text[] = {'a', 0xD6, 0xD0, 0xD6};
  EXPECT_EQ(gbkCharLength(text, text + 4), 1);
  EXPECT_EQ(gbkCharLength(text + 1, text + 4), 2);
  EXPECT_EQ(gbkCharLength(text + 3, text + 4), 1);
}

TEST(CodePage, Table936AgreesWithTheConverter) {
  // Code page 936 converts by table where it can; a text the table cannot settle (here one
  // ending in a lone lead byte, or holding a lone surrogate) goes through ICU whole. Every
  // byte pair, single byte and BMP character must come out the same both ways.
  ASSERT_EQ(platform::toWide(936, "\x81"), u"\uFFFD");
  ASSERT_EQ(platform::toNarrow(936, u"\xD800"), "?");
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    std::string s(1, char(lead));
    s += 'A';
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      s += char(lead);
      s += char(trail);
    }
    // A line feed cannot be a trail byte, so the lone lead byte after it stands alone.
    s += '\n';
    EXPECT_EQ(platform::toWide(936, s + "\x81"), platform::toWide(936, s) + u"\uFFFD") << lead;
  }
  for (unsigned from = 0; from < 0x10000; from += 0x100) {
    std::u16string t;
    for (unsigned u = from; u < from + 0x100; ++u)
      if (u < 0xD800 || u > 0xDFFF) t += char16_t(u);
    EXPECT_EQ(platform::toNarrow(936, t + u"\xD800"), platform::toNarrow(936, t) + "?") << from;
  }
}

TEST(CodePage, AsciiRunsOf936AtEveryLength) {
  // ASCII goes several characters at a time; runs of every length, around characters that
  // take two bytes or one high byte, and around a NUL (which takes the converter's road),
  // must come out as the characters do one by one.
  const std::u16string others[] = {u"中", u"\u20AC", u"\u00B7", std::u16string(1, u'\0'), u"\x7F"};
  for (const std::u16string& other : others)
    for (size_t before = 0; before <= 17; ++before)
      for (size_t after : {size_t(0), size_t(1), size_t(3), size_t(4), size_t(5), size_t(9)}) {
        std::u16string a, b;
        for (size_t i = 0; i < before; ++i) a += char16_t(u'!' + i);
        for (size_t i = 0; i < after; ++i) b += char16_t(u'a' + i);
        std::u16string text = a + other + b + other + a;
        std::string bytes;
        for (char16_t c : text) bytes += platform::toNarrow(936, std::u16string(1, c));
        SCOPED_TRACE(std::to_string(before) + " " + std::to_string(after));
        EXPECT_EQ(platform::toNarrow(936, text), bytes);
        EXPECT_EQ(platform::toWide(936, bytes), text);
      }
}
