// The markup's entity references and the record text's content escape.
#include "xml_test_util.h"

#include <xml/escape.h>

using namespace xml;

namespace {

TEST(ContentEscape, TheSixCharactersAndBack) {
  EXPECT_EQ(escapeContent(u" &<>\"'x中\u0011"), u"\u0011\u0012\u0013\u0014\u0015\u0016x中\u0011");
  EXPECT_EQ(unescapeContent(u"\u0011\u0012\u0013\u0014\u0015\u0016x中\u0010\u0017"), u" &<>\"'x中\u0010\u0017");
  for (char16_t c = 0; c < 0x80; ++c) {
    EXPECT_EQ(contentUnescape(contentEscape(c)), isContentEscape(c) ? contentUnescape(c) : c) << int(c);
    EXPECT_EQ(isContentEscape(c), c >= 0x11 && c <= 0x16);
  }
  EXPECT_EQ(contentEscape(u' '), kEscapedBlank);
}

TEST(MarkupEscape, AttributesAlsoEscapeTheDoubleQuote) {
  std::u16string text = u"<";
  appendMarkupEscaped(text, u"a&b<c>\"d'\u0012", false);
  EXPECT_EQ(text, u"<a&amp;b&lt;c&gt;\"d'\u0012");
  EXPECT_EQ(markupEscaped(u"a&b<c>\"d'"), u"a&amp;b&lt;c&gt;&quot;d'");
}

}  // namespace
