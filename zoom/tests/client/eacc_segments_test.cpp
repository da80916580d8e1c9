// EACC segments between escape markers, and U+9465 outside them.
#include "z3950/eacc_segments.h"

#include <gtest/gtest.h>

using z3950::replaceEaccSegments;

namespace {

// Shows what was handed to the converter.
std::u16string bracket(std::u16string_view eacc) { return u"[" + std::u16string(eacc) + u"]"; }

}  // namespace

TEST(EaccSegments, ReplacesSegmentsOfTheChosenMarkerPair) {
  struct Case {
    const char* what;
    std::u16string text, expected;
  } cases[] = {
      {"no marker keeps U+9465", u"a\x9465" u"b", u"a\x9465" u"b"},
      {"three-character pair", u"\x9465" u"x\x1B$1!0#\x1B(By\x9465", u"\xFCx[!0#]y\xFC"},
      {"four-character pair", u"x\x1B$$1!0#\x1B((By", u"x[!0#]y"},
      {"two segments", u"\x1B$1ab\x1B(B-\x1B$1cd\x1B(B", u"[ab]-[cd]"},
      {"three-character pair chosen, four-character kept",
       u"\x1B$$1ab\x1B((B \x1B$1cd\x1B(B", u"\x1B$$1ab\x1B((B [cd]"},
      {"start without end keeps the rest of its field",
       u"a\x9465\x1B$1!0#z\x9465\x1E" u"b\x9465\x1D", u"a\xFC\x1B$1!0#z\x9465\x1E" u"b\xFC\x1D"},
      {"start without end at the very end", u"ok\x1B$1", u"ok\x1B$1"},
      {"segment then an unended start", u"\x1B$1ab\x1B(B\x1B$1cd", u"[ab]\x1B$1cd"},
      {"empty segment", u"\x1B$1\x1B(B", u"[]"},
  };
  for (const Case& c : cases) EXPECT_EQ(replaceEaccSegments(c.text, bracket), c.expected) << c.what;
}

TEST(EaccSegments, ConvertsThroughTheCodeTable) {
  EXPECT_EQ(z3950::eaccToUnicode(u"!0#!0$"), u"\u4E03\u4E09");
  EXPECT_EQ(z3950::eaccToUnicode(u"!#!!"), u"\u3000") << "an incomplete last group is dropped";
  EXPECT_EQ(z3950::eaccToUnicode(u""), u"");
  std::u16string many;
  for (int i = 0; i < 20000; ++i) many += u"!0#";
  EXPECT_EQ(z3950::eaccToUnicode(many), std::u16string(20000, u'\u4E03')) << "longer than one work buffer";
}
