// Record text loads exactly: what a subfield, an indicator or a control field holds comes back
// as it went in, line ends and white space included.
#include "support.h"

using namespace model_test;

TEST(RecordText, LoadingKeepsTheDataExactly) {
  const u16 head = u"<marc><header>00000nam  2200000   4500</header>";
  struct Case {
    const char* what;
    u16 field;
    u16 subfield;   // text of subfield 0, or of the control field
    u16 indicator;  // "" for none
  } cases[] = {
      {"CR LF in subfield data", u"<field name=\"500\" indicator=\"\x11\x11\"><sf name=\"a\">a\r\nb</sf></field>", u"a\r\nb",
       u"\x11\x11"},
      {"a lone CR", u"<field name=\"500\" indicator=\"\x11\x11\"><sf name=\"a\">a\rb</sf></field>", u"a\rb", u"\x11\x11"},
      {"a tab in the indicator", u"<field name=\"500\" indicator=\"\t1\"><sf name=\"a\">x</sf></field>", u"x", u"\t1"},
      {"blanks alone", u"<field name=\"500\" indicator=\"1\x11\"><sf name=\"a\">   </sf></field>", u"   ", u"1\x11"},
      {"a line feed alone", u"<field name=\"500\" indicator=\"1\x11\"><sf name=\"a\">\n</sf></field>", u"\n", u"1\x11"},
      {"CR LF in a control field", u"<field name=\"001\">a\r\nb</field>", u"a\r\nb", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CMarc m;
    m.SetContent((head + c.field + u"</marc>").c_str());
    ASSERT_EQ(m.IsNull(), 0);
    CField f = m.GetField(1);
    if (c.indicator.empty()) {
      EXPECT_EQ(u8(content(f)), u8(c.subfield + u"\x1E"));
    } else {
      CSubField s = f.GetSubFld(0);
      ASSERT_EQ(s.IsNull(), 0);
      char16_t buf[64] = {};
      ASSERT_EQ(s.GetContent(buf, 64, 0), 1);
      EXPECT_EQ(u8(buf), u8(c.subfield));
      ASSERT_EQ(f.GetIndicator(buf, 64, 0), 1);
      EXPECT_EQ(u8(buf), u8(c.indicator));
    }
    // The record's own text is the text it was loaded from, and so is a copy's.
    EXPECT_EQ(u8(content(m)), u8(head + c.field + u"</marc>"));
    CMarc copy;
    copy = m;
    EXPECT_EQ(copy == m, 1);
    // A field built from content and a field replaced from text keep it too.
    u16 inner = c.field.substr(c.field.find(u'>') + 1);
    inner = inner.substr(0, inner.size() - 8);
    CField built = m.AddField(u"900", c.indicator.empty() ? nullptr : c.indicator.c_str(), (u"<x>" + inner + u"</x>").c_str());
    EXPECT_EQ(u8(content(m)), u8(head + c.field + u16(u"<field name=\"900\"") +
                                  (c.indicator.empty() ? u"" : u" indicator=\"" + c.indicator + u"\"") + u">" + inner +
                                  u"</field></marc>"));
  }
}
