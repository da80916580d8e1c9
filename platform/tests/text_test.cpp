#include <platform/text.h>

#include <gtest/gtest.h>

using namespace platform;

TEST(Text, FormatForms) {
  struct Case {
    u16 got, want;
  } cases[] = {
      {format(u"%05d|%04d", 42, 7), u"00042|0007"},
      {format(u"<field name=\"%.3s\">%s</field>", u"2450", u"x"), u"<field name=\"245\">x</field>"},
      {format(u"%ld%%", -12), u"-12%"},
      {format(u"%X %x", 255, 255u), u"FF ff"},
      {format(u"%-4s|%3s", u"ab", u"c"), u"ab  |  c"},
      {format(u"%.1s", u"abc"), u"a"},
      {format(u"%08X", 0x1D), u"0000001D"},
  };
  for (auto& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_EQ(formatCut(5, u"%s", u"abcdefgh"), u"abcd");
  // The message formatting's buffer of 1,024 units holds 1,023 characters and the NUL.
  EXPECT_EQ(formatCut(1024, u"%s!", u16(2000, u'x')), u16(1023, u'x'));
  EXPECT_EQ(formatCut(1024, u"%s!", u16(1022, u'x')), u16(1022, u'x') + u"!");
  EXPECT_EQ(formatCut(0, u"%s", u"abc"), u"");
}

TEST(Text, Utf8RoundTripKeepsLoneSurrogates) {
  u16 s = u"a\u4E2D\U0001F600";
  s.push_back(char16_t(0xD800));
  EXPECT_EQ(fromUtf8(toUtf8(s)), s);
  EXPECT_EQ(fromUtf8("\xC3\x28"), u"\uFFFD(");
  // Three-byte forms: whole, a surrogate as toUtf8 writes it, overlong, cut short, broken.
  const struct {
    std::string_view bytes;
    u16 text;
  } threeByte[] = {
      {"\xE4\xB8\xAD", u"\u4E2D"},       {"\xED\xA0\x80", u16(1, char16_t(0xD800))},
      {"\xE0\x80\x80", u"\uFFFD"},       {"\xE0\x9F\xBFz", u"\uFFFDz"},
      {"\xE4\xB8", u"\uFFFD"},            {"\xE4\xB8(", u"\uFFFD("},
      {"\xE4(\xAD", u"\uFFFD(\uFFFD"},   {"a\xE4\xB8\xAD\xE4\xB8", u"a\u4E2D\uFFFD"},
      // Runs of them, ended by a broken or overlong form, by ASCII and by the end.
      {"\xE4\xB8\xAD\xE6\x96\x87\xE0\x80\x80", u"\u4E2D\u6587\uFFFD"},
      {"\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8(", u"\u4E2D\u6587\uFFFD("},
      {"\xE4\xB8\xAD\xE6\x96\x87\xC3\xA9z", u"\u4E2D\u6587\u00E9z"},
  };
  for (const auto& c : threeByte) EXPECT_EQ(fromUtf8(c.bytes), c.text) << c.bytes;
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
  EXPECT_TRUE(isValidUtf8("\xE4\xB8\xAD"));
}

// ASCII runs go through several units at a time: what follows a run, at every offset
// within and after a word, comes out as it does alone.
TEST(Text, Utf8AsciiRunsAtEveryOffset) {
  const struct {
    std::string_view bytes;
    u16 text;
  } tails[] = {
      {"\xE4\xB8\xAD", u"\u4E2D"}, {"\xC3\xA9", u"\u00E9"}, {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xFF", u"\uFFFD"},         {"\xE4\xB8", u"\uFFFD"},  {"\x80\x80", u"\uFFFD\uFFFD"},
  };
  for (size_t run = 0; run <= 17; ++run) {
    const std::string ascii(run, 'a' + char(run % 26));
    const u16 wide(ascii.begin(), ascii.end());
    for (const auto& t : tails) {
      const std::string bytes = ascii + std::string(t.bytes) + ascii + "z";
      const u16 text = wide + t.text + wide + u"z";
      EXPECT_EQ(fromUtf8(bytes), text) << run << " " << bytes;
      if (t.text.find(u'\uFFFD') == u16::npos) {
        EXPECT_EQ(toUtf8(text), bytes) << run;
      }
    }
  }
  u16 lone = u"abcd";
  lone.push_back(char16_t(0xDC00));
  EXPECT_EQ(toUtf8(lone + u"efgh"), "abcd\xED\xB0\x80" "efgh");
}

TEST(Text, CaseAndCopyOut) {
  EXPECT_TRUE(equalsNoCase(u16v(u"Servers"), u16v(u"SERVERS")));
  EXPECT_FALSE(equalsNoCase(u16v(u"\u00E9"), u16v(u"\u00C9")));  // only A-Z fold
  char16_t buf[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(copyOut(u"abcd", buf, 4), 0);
  EXPECT_EQ(buf[0], u'x');
  EXPECT_EQ(copyOut(u"abc", buf, 4), 3);
  EXPECT_EQ(u16(buf), u"abc");
}
