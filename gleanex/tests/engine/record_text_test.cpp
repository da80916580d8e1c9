// The ISBN rules of a server, the key of a record, and the record text of a spreadsheet row.
#include "kelvra_conn.h"
#include "main_dlg.h"
#include "row_record.h"
#include "z3950_conn.h"

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

namespace {

std::string utf8(u16v s) { return platform::toUtf8(s); }

// A connection creates its automation objects from the registry of its QORVEL_HOME: a home of
// the test's own, where none is registered, keeps the user's registrations out of the test.
TEST(IsbnRules, KeyAdaptedToTheServer) {
  qtest::TempHome home;
  struct Case {
    int32_t n;  // the "?n=" value: tens digit hyphen rule, units digit ISBN rule
    const char16_t* key;
    const char16_t* searched;
  } cases[] = {
      {21, u"7020012345", u"978-7-02-001234-3"},
      {12, u"978-7-02-001234-3", u"7020012345"},
      {1, u"750531234X", u"9787505312340"},    // the X gives way to the ISBN-13 check digit
      {1, u"7505312340", u"9787505312340"},    // EAN sum a multiple of 10: check digit 0
      {2, u"9780804429573", u"080442957X"},    // remainder 1: check character X
      {22, u"9787020012343", u"7-02-001234-5"},
      {11, u"7-02-001234-5", u"9787020012343"},
      {20, u"7505312340", u"7-5053-1234-0"},
      {20, u"9787020012343", u"978-7-02-001234-3"},
      {20, u"9788020012343", u"9788020012343"},  // group digit above 7: no hyphens
      {10, u"7-02-001234-5", u"7020012345"},
      {0, u"7-02-001234-5", u"7-02-001234-5"},
      {21, u"123456789012", u"123456789012"},    // 12 characters: no rule applies
      {11, u"7-02-0012", u"7-02-0012"},
      {2, u"97870", u"97870"},
      // Rule lengths with too few digits to convert: not converted (nothing is read past
      // the digits), only the hyphen rule applies.
      {11, u"1-2-3-4-5-6-7", u"1234567"},
      {12, u"978-1-2-3-4-5-6-7", u"9781234567"},
  };
  for (const Case& c : cases) {
    CZ3950Conn conn;
    conn.hyphenRule = c.n / 10;
    conn.isbnRule = c.n % 10;
    EXPECT_EQ(utf8(conn.BuildQuery(c.key)), "@attr 1=7 \"" + utf8(c.searched) + "\"") << c.n << " " << utf8(c.key);
  }
}

TEST(IsbnRules, RecordServerQueryNamesTheKeyThrice) {
  qtest::TempHome home;
  CKelvraConn conn;
  EXPECT_EQ(conn.BuildQuery(u"7020012345"),
            u"_@@010$a='_{{7020012345}}' _**or _@@010$z='_{{7020012345}}' _**or _@@020$a='_{{7020012345}}'");
}

u16 record(std::initializer_list<u16> fields) {
  u16 text = u"<marc><header>00000nam0\x11\x11" u"2200000\x11\x11\x11" u"45\x11\x11</header>";
  for (const u16& f : fields) text += f;
  return text + u"</marc>";
}
u16 control(u16v tag, u16v data) { return u"<field name=\"" + u16(tag) + u"\">" + u16(data) + u"</field>"; }
u16 data(u16v tag, std::initializer_list<std::pair<char16_t, u16>> subfields) {
  u16 f = u"<field name=\"" + u16(tag) + u"\" indicator=\"\x11\x11\">";
  for (const auto& [code, value] : subfields) f += u"<sf name=\"" + u16(1, code) + u"\">" + value + u"</sf>";
  return f + u"</field>";
}

TEST(IsbnKey, FromTheRecordText) {
  struct Case {
    const char* what;
    u16 text;
    const char16_t* key;
  } cases[] = {
      {"008 takes 020 only", record({control(u"008", u"x"), data(u"010", {{u'a', u"111"}})}), u""},
      {"008 and 020", record({control(u"008", u"x"), data(u"010", {{u'a', u"111"}}), data(u"020", {{u'a', u"222"}})}),
       u"222"},
      {"010 before 020", record({data(u"010", {{u'a', u"111"}}), data(u"020", {{u'a', u"222"}})}), u"111"},
      {"010 without $a is passed over", record({data(u"010", {{u'z', u"999"}}), data(u"020", {{u'a', u"222"}})}),
       u"222"},
      {"010 empty $a takes $z", record({data(u"010", {{u'a', u""}, {u'z', u"333"}})}), u"333"},
      {"second 010", record({data(u"010", {{u'b', u"x"}}), data(u"010", {{u'a', u"444"}})}), u"444"},
      {"second 020", record({data(u"020", {{u'a', u""}}), data(u"020", {{u'a', u"555"}})}), u"555"},
      {"escape undone", record({data(u"020", {{u'a', u"7-02\x11(\x12)\x15"}})}), u"7-02 (&)\""},
      {"no key", record({data(u"200", {{u'a', u"title"}})}), u""},
      {"a field that never closes", u"<marc><field name=\"020\" indicator=\"  \"><sf name=\"a\">1", u""},
      {"empty", u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8(CGleanexDlg::ExtractIsbnKey(c.text)), utf8(c.key)) << c.what;
}

TEST(RowRecord, ColumnsBecomeFields) {
  const u16 header = u"<marc><header>00000nam0\x11" u"2200000\x11\x11\x11" u"45\x11\x11</header>";
  struct Case {
    const char* what;
    const char16_t* row;
    u16 text;
  } cases[] = {
      {"names from the first digit", u"<row><F200a>Title</F200a><x0100>123</x0100><c001>ID 1</c001></row>",
       header + data(u"200", {{u'a', u"Title"}}) + data(u"010", {{u'0', u"123"}}) + control(u"001", u"ID 1") +
           u"</marc>"},
      {"two-character control field", u"<row><c95>x</c95></row>", header + control(u"95", u"x") + u"</marc>"},
      {"one field per column", u"<row><c200a>A</c200a><c200b>B</c200b></row>",
       header + data(u"200", {{u'a', u"A"}}) + data(u"200", {{u'b', u"B"}}) + u"</marc>"},
      {"trailing blanks cut, content escaped", u"<row><c010a>ABC  </c010a><c020a>A&amp;B</c020a></row>",
       header + data(u"010", {{u'a', u"ABC"}}) + data(u"020", {{u'a', u"A\x12" u"B"}}) + u"</marc>"},
      {"columns without digits or text", u"<row><name>x</name><c200a></c200a></row>", u"</marc>"},
      {"not XML", u"<row><c200a>x</row>", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8(RowToRecordText(c.row)), utf8(c.text)) << c.what;
}

}  // namespace
