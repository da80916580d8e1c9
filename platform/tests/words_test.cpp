// Word-at-a-time scanning: every helper gives what a plain loop over single units or bytes
// gives, for the character that matters at every place of texts of every length from 0 to 40
// (whole vectors, whole words and the tails after them).
#include <platform/words.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace platform::words;

// Texts of `fill` of each length up to 40, with `special` at each place (or nowhere).
template <class S, class C>
std::vector<S> textsWith(C fill, C special) {
  std::vector<S> out;
  for (size_t n = 0; n <= 40; ++n) {
    out.push_back(S(n, fill));
    for (size_t at = 0; at < n; ++at) {
      S t(n, fill);
      t[at] = special;
      out.push_back(t);
    }
  }
  return out;
}

TEST(Words, FindUnitIsFind) {
  for (char16_t fill : {u'a', u'中', char16_t(0x1E1E)}) {
    for (const std::u16string& t : textsWith<std::u16string>(fill, char16_t(0x1E))) {
      for (size_t from = 0; from <= t.size(); ++from) EXPECT_EQ(findUnit(t, 0x1E, from), t.find(u'\x1E', from));
    }
  }
  std::u16string two(30, u'x');
  two[7] = two[20] = 0x1F;
  EXPECT_EQ(findUnit(two, 0x1F), 7u);
  EXPECT_EQ(findUnit(two, 0x1F, 8), 20u);
}

TEST(Words, HoldsUnitBelowAndHighByte) {
  for (const std::u16string& t : textsWith<std::u16string>(u'中', char16_t(0x1A))) {
    bool plain = false;
    for (char16_t c : t) plain |= c < 0x1B;
    EXPECT_EQ(holdsUnitBelow(t, 0x1B), plain);
    EXPECT_FALSE(holdsUnitBelow(t, 0x1A));
  }
  for (const std::string& t : textsWith<std::string>('a', char(0x80))) {
    EXPECT_EQ(holdsHighByte(t), t.find(char(0x80)) != std::string::npos);
  }
}

TEST(Words, WordPredicates) {
  EXPECT_TRUE(anyUnitBelow(0x0041004100410019ull, 0x20));
  EXPECT_TRUE(anyUnitBelow(0x0019004100410041ull, 0x20));
  EXPECT_FALSE(anyUnitBelow(0x0020004100410041ull, 0x20));
  EXPECT_FALSE(anyUnitBelow(0xFFFF8000FFFF8000ull, 0x8000));
  EXPECT_TRUE(allUnitsAscii(0x007F007F007F007Full));
  EXPECT_FALSE(allUnitsAscii(0x0080007F007F007Full));
  EXPECT_EQ(firstUnitEqual(0x001E001E00410041ull, 0x1E), 2u);
  EXPECT_EQ(firstUnitEqual(0x0041004100410041ull, 0x1E), 4u);
  EXPECT_TRUE(anyByteBelow(0x4141414141414119ull, 0x20));
  EXPECT_FALSE(anyByteBelow(0x2020202020202020ull, 0x20));
  EXPECT_TRUE(anyByteHigh(0x8000000000000000ull));
  EXPECT_TRUE(allBytesDigits(bytesAt("01234567")));
  EXPECT_TRUE(allBytesDigits(bytesAt("99999999")));
  for (char bad : {'/', ':', ' ', 'A', char(0xB0), '\0'}) {
    for (int at = 0; at < 8; ++at) {
      std::string s = "00000000";
      s[size_t(at)] = bad;
      EXPECT_FALSE(allBytesDigits(bytesAt(s.data()))) << int(bad) << " at " << at;
    }
  }
}

TEST(Words, AsciiRunsStopAtTheFirstWordThatHoldsAnotherCharacter) {
  for (const std::string& t : textsWith<std::string>('a', char(0xC3))) {
    for (size_t from = 0; from <= t.size(); ++from) {
      std::u16string out(t.size() + 1, u'#');
      char16_t* o = out.data();
      size_t i = from;
      widenAsciiRun(reinterpret_cast<const unsigned char*>(t.data()), i, t.size(), o);
      ASSERT_GE(i, from);
      EXPECT_EQ(size_t(o - out.data()), i - from);
      for (size_t k = from; k < i; ++k) EXPECT_EQ(out[k - from], char16_t(t[k]));
      // An ASCII byte where it starts is always taken.
      if (from < t.size() && uint8_t(t[from]) < 0x80) {
        EXPECT_GT(i, from);
      }
      for (size_t k = from; k < i; ++k) EXPECT_LT(uint8_t(t[k]), 0x80);
    }
  }
  for (char16_t special : {u'中', u'\0'}) {
    for (const std::u16string& t : textsWith<std::u16string>(u'a', special)) {
      for (bool stopAtNul : {false, true}) {
        std::string out(t.size(), '#');
        char* o = out.data();
        size_t i = 0;
        if (stopAtNul) narrowAsciiRun<true>(t.data(), i, t.size(), o);
        else narrowAsciiRun(t.data(), i, t.size(), o);
        EXPECT_EQ(size_t(o - out.data()), i);
        EXPECT_EQ(i % 4, 0u);
        for (size_t k = 0; k < i; ++k) {
          EXPECT_EQ(out[k], char(t[k]));
          EXPECT_LT(t[k], 0x80);
          if (stopAtNul) {
            EXPECT_NE(t[k], 0);
          }
        }
        // Fewer than four left, or the next four hold the unit that stops it.
        bool stops = t.size() - i < 4;
        for (size_t k = i; k < i + 4 && k < t.size(); ++k) stops |= t[k] >= 0x80 || (stopAtNul && t[k] == 0);
        EXPECT_TRUE(stops) << t.size() << " stopped at " << i;
      }
    }
  }
}

TEST(Words, MappingTouchesOnlyWhatTheMapChanges) {
  auto blank = [](char16_t c) { return c < 0x20 ? u' ' : c; };
  for (const std::u16string& t : textsWith<std::u16string>(u'中', char16_t(0x1D))) {
    std::u16string expected = t;
    for (char16_t& c : expected) c = blank(c);
    std::u16string inPlace = t;
    mapBelow(inPlace.data(), inPlace.size(), char16_t(0x20), blank);
    EXPECT_EQ(inPlace, expected);
    std::u16string appended = u"x";
    appendMappedBelow(appended, t, 0x20, blank);
    EXPECT_EQ(appended, u"x" + expected);
  }
  auto bytes = [](char c) { return uint8_t(c) < 0x20 ? '_' : c; };
  for (const std::string& t : textsWith<std::string>(char(0xE4), '\x1F')) {
    std::string expected = t;
    for (char& c : expected) c = bytes(c);
    std::string inPlace = t;
    mapBelow(inPlace.data(), inPlace.size(), char(0x20), bytes);
    EXPECT_EQ(inPlace, expected);
  }
}

}  // namespace
