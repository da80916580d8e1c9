// The record-server query language: what parses, what does not, and how terms compare.
#include "store/query.h"

#include <platform/text.h>

#include <gtest/gtest.h>

namespace {

using kelvra::parseQuery;

struct Good {
  const char16_t* text;
  std::vector<std::u16string> expected;  // "tag$code=term" per condition
};

TEST(KelvraQuery, ParsesConditionsJoinedByOr) {
  const Good cases[] = {
      {u"_@@010$a='_{{7-5053-1234-0}}'", {u"010$a=7-5053-1234-0"}},
      {u"_@@010$a='_{{x}}' _**or _@@010$z='_{{x}}' _**or _@@020$a='_{{x}}'", {u"010$a=x", u"010$z=x", u"020$a=x"}},
      {u"  _@@200$a='_{{中国 文学}}'  _**OR   _@@701$a='_{{李}}'  ", {u"200$a=中国 文学", u"701$a=李"}},
      // The term runs to the first "}}'": braces and quotes inside it are its own.
      {u"_@@245$a='_{{a}b'c}}'", {u"245$a=a}b'c"}},
      {u"_@@010$a='_{{}}'", {u"010$a="}},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.text));
    auto q = parseQuery(c.text);
    ASSERT_TRUE(q.has_value());
    std::vector<std::u16string> got;
    for (const auto& cond : *q) got.push_back(cond.tag + u"$" + cond.code + u"=" + cond.term);
    EXPECT_EQ(got, c.expected);
  }
}

TEST(KelvraQuery, RefusesMalformedText) {
  const char16_t* cases[] = {
      u"",
      u"   ",
      u"9787020012343",
      u"_@@01$a='_{{x}}'",                     // tag of two characters
      u"_@@0100$a='_{{x}}'",                   // tag of four characters
      u"_@@010$a='_{{x}}",                     // term never closed
      u"_@@010$a='_{{x",                       //
      u"_@@010$a=_{{x}}'",                     // no opening quote
      u"_@@010$",                              // cut after the code mark
      u"_@@010$a='_{{x}}' _**or",              // joiner with nothing after it
      u"_@@010$a='_{{x}}' _**or ",             //
      u"_@@010$a='_{{x}}' _@@020$a='_{{x}}'",  // two conditions without joiner
      u"_@@010$a='_{{x}}' _**and _@@020$a='_{{x}}'",
      u"_@@010$a='_{{x}}' _**orx _@@020$a='_{{x}}'",
      u"_@@010$a='_{{x}}' trailing",
  };
  for (const char16_t* c : cases) {
    SCOPED_TRACE(platform::toUtf8(c));
    EXPECT_FALSE(parseQuery(c).has_value());
  }
}

TEST(KelvraQuery, MatchKeysTrimAndFoldAsciiCaseOnly) {
  EXPECT_EQ(kelvra::matchKey(u"  7-5053-1234-X (pbk.) "), u"7-5053-1234-x (pbk.)");
  EXPECT_EQ(kelvra::firstWord(kelvra::matchKey(u"7-5053-1234-X (pbk.)")), u"7-5053-1234-x");
  EXPECT_EQ(kelvra::matchKey(u"ÄBC"), u"Äbc");
}

}  // namespace
