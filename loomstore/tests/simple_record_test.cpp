#include <loomstore/SimpleRecord.h>

#include <platform/text.h>
#include <qorvel_testing/testing.h>

#include <QFont>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::u16;

namespace {

// Stored leader: blanks as U+0011.
const u16 kLeader = u"00714cam\u0011\u00112200205\u0011\u0011\u0011450\u0011";
const u16 kLeaderShown = u"00714cam  2200205   450 ";

u16 record(const u16& fields) { return u"<marc><header>" + kLeader + u"</header>" + fields + u"</marc>"; }

// 001, 010$a, 200 (indicators "1 ") $a $f; no 210.
const u16 kUnimarc = record(
    u"<field name=\"001\">CAL\u0011012</field>"
    u"<field name=\"010\"><sf name=\"a\">7-5013-0001-2</sf></field>"
    u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">Title\u0011\u0012\u0011more</sf>"
    u"<sf name=\"f\">Author</sf></field>"
    u"<field name=\"606\"><sf name=\"a\">Subject</sf></field>");

u16 list(CSimpleRecord& r, int32_t size = 4096, int32_t* answer = nullptr) {
  std::vector<char16_t> buf(size_t(std::max(size, 1)), u'#');
  int32_t n = r.GetList(buf.data(), size);
  if (answer) *answer = n;
  return u16(buf.data());
}

u16 filterOf(const u16& items) { return u"<list>" + items + u"</list>"; }

}  // namespace

TEST(SimpleRecordList, ValuesChosenByTheFilter) {
  struct Case {
    const char* what;
    u16 filter;  // empty: the default filter
    u16 expected;
  } cases[] = {
      {"default filter: missing publisher and class give empty columns", u"",
       u"Title & more\tAuthor\t\t\t7-5013-0001-2\t"},
      {"control field keeps its terminator", filterOf(u"<item><element name=\"001\"/></item>"), u"CAL 012\u001E\t"},
      {"indicator 1* matches 1 and any", filterOf(u"<item><element name=\"200$a\" indicator=\"1*\"/></item>"),
       u"Title & more\t"},
      {"indicator *  is compared as a blank", filterOf(u"<item><element name=\"200$f\" indicator=\"* \"/></item>"),
       u"Author\t"},
      {"indicator 0* does not match", filterOf(u"<item><element name=\"200$a\" indicator=\"0*\"/></item>"), u"\t"},
      {"a field without indicators matches only **",
       filterOf(u"<item><element name=\"606$a\" indicator=\"**\"/></item>"
                u"<item><element name=\"606$a\" indicator=\"*1\"/></item>"),
       u"Subject\t\t"},
      {"value takes precedence over name", filterOf(u"<item><element name=\"200$a\" value=\"200$f\"/></item>"),
       u"Author\t"},
      {"an empty value falls back to name", filterOf(u"<item><element name=\"200$f\" value=\"\"/></item>"),
       u"Author\t"},
      {"keys of two characters or fewer give nothing", filterOf(u"<item><element name=\"20\"/></item>"), u"\t"},
      {"separators join values", filterOf(u"<item><element name=\"200$a\"/><SEPARATOR value=\" / \"/>"
                                          u"<element name=\"200$f\"/></item>"),
       u"Title & more / Author\t"},
      {"an item without children is its own element",
       filterOf(u"<item name=\"010$a\"/><item/><item name=\"999$a\"/>"), u"7-5013-0001-2\t\t\t"},
      {"a missing subfield gives nothing", filterOf(u"<item><element name=\"200$z\"/></item>"), u"\t"},
      {"only the first 8 items count",
       filterOf(u"<item name=\"010$a\"/><item/><item/><item/><item/><item/><item/><item name=\"200$f\"/>"
                u"<item name=\"200$f\"/><item name=\"200$f\"/>"),
       u"7-5013-0001-2\t\t\t\t\t\t\tAuthor\t"},
  };
  for (const Case& c : cases) {
    CSimpleRecord r;
    EXPECT_EQ(r.SetFilter(c.filter.empty() ? nullptr : c.filter.c_str()), 1) << c.what;
    EXPECT_EQ(r.SetRecord(kUnimarc.c_str()), 5) << c.what;
    int32_t n = -1;
    EXPECT_EQ(list(r, 4096, &n), c.expected) << c.what;
    EXPECT_EQ(n, int32_t(c.expected.size())) << c.what;
  }
}

TEST(SimpleRecordList, DataFieldWithoutCodeGivesItsXml) {
  const u16 field = u"<field name=\"606\"><sf name=\"a\">Subject</sf></field>";
  CSimpleRecord r(filterOf(u"<item name=\"606\"/>").c_str());
  r.SetRecord(record(field).c_str());
  EXPECT_EQ(list(r), field + u"\t");
}

TEST(SimpleRecordList, ValuesAreReadIntoTwoThousandCharacters) {
  CSimpleRecord r(filterOf(u"<item name=\"200$a\"/><item name=\"200$f\"/>").c_str());
  const u16 fits(2047, u'x'), tooLong(2048, u'y');
  r.SetRecord(record(u"<field name=\"200\"><sf name=\"a\">" + fits + u"</sf><sf name=\"f\">" + tooLong +
                     u"</sf></field>")
                  .c_str());
  EXPECT_EQ(list(r, 8192), fits + u"\t\t");
}

TEST(SimpleRecordList, BufferAndStateLimits) {
  CSimpleRecord noFilter;
  noFilter.SetRecord(kUnimarc.c_str());
  int32_t n = -1;
  EXPECT_EQ(list(noFilter, 64, &n), u"") << "no root: nothing";
  EXPECT_EQ(n, 0);

  CSimpleRecord r;
  r.SetFilter(nullptr);
  EXPECT_EQ(r.SetRecord(u"not a record"), 0);
  EXPECT_EQ(list(r, 64, &n), u"");
  EXPECT_EQ(n, 0);

  r.SetRecord(kUnimarc.c_str());
  const u16 full = list(r);
  const int32_t length = int32_t(full.size());
  EXPECT_EQ(list(r, length + 1, &n), full);
  EXPECT_EQ(n, length);
  EXPECT_EQ(list(r, length, &n), u"") << "the text must be shorter than the buffer";
  EXPECT_EQ(n, 0);
  EXPECT_EQ(r.GetList(nullptr, 100), 0);
}

TEST(SimpleRecordFilter, FilesTextsAndTheDefault) {
  qtest::TempDir dir;
  qtest::writeFile(dir / "filter.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                       "<list><item name=\"200$f\"/></list>");
  const u16 path = platform::fromUtf8((dir / "filter.xml").string());
  struct Case {
    u16 filter;
    u16 expected;
  } cases[] = {
      {u"file://" + path, u"Author\t"},
      {u"FILE://" + path, u"Author\t"},
      {u"file://" + path + u".missing", u"Title & more\tAuthor\t\t\t7-5013-0001-2\t"},
      {u"<list><unclosed></list>", u"Title & more\tAuthor\t\t\t7-5013-0001-2\t"},
      {u"<other><item name=\"010$a\"/></other>", u"7-5013-0001-2\t"},
  };
  for (const Case& c : cases) {
    CSimpleRecord r;
    EXPECT_EQ(r.SetFilter(c.filter.c_str()), 1) << platform::toUtf8(c.filter);
    r.SetRecord(kUnimarc.c_str());
    EXPECT_EQ(list(r), c.expected) << platform::toUtf8(c.filter);
  }
  // The constructor parses text only: a file name is no filter.
  CSimpleRecord fromName((u"file://" + path).c_str());
  fromName.SetRecord(kUnimarc.c_str());
  EXPECT_EQ(list(fromName), u"");
}

namespace {

// Worksheets are measured with a fixed-pitch face, so that a width of n "m" units holds n
// characters.
class WorksheetTest : public ::testing::Test {
 protected:
  WorksheetTest() : image_(10, 10, QImage::Format_RGB32), painter_(&image_) {
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(20);
    font.setKerning(false);
    painter_.setFont(font);
  }
  void SetUp() override {
    ASSERT_TRUE(QFontInfo(painter_.font()).fixedPitch()) << "the fixed-pitch test face is missing";
  }
  u16 sheet(const u16& fields, int32_t width, int32_t size = 100000, int32_t* answer = nullptr) {
    CSimpleRecord r;
    r.SetRecord(record(fields).c_str());
    std::vector<char16_t> buf(size_t(std::max(size, 1)), u'#');
    int32_t n = r.GetWorkSheet(buf.data(), size, &painter_, width);
    if (answer) *answer = n;
    return u16(buf.data());
  }

  QImage image_;
  QPainter painter_;
};

}  // namespace

TEST_F(WorksheetTest, FieldsBecomeTaggedLines) {
  int32_t n = -1;
  EXPECT_EQ(sheet(u"<field name=\"001\">CAL\u0011012</field>"
                  u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">Title\u0012</sf>"
                  u"<sf name=\"f\">Author</sf></field>",
                  80, 100000, &n),
            kLeaderShown + u"\r\n001CAL 012\r\n2001 @aTitle&@fAuthor\r\n***\r\n");
  EXPECT_EQ(n, 3);
}

TEST_F(WorksheetTest, LongFieldsWrapAtBlanksAndSubfields) {
  struct Case {
    const char* what;
    u16 field;
    u16 expected;  // the field's lines
  } cases[] = {
      {"cut at the subfield mark before the limit",
       u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">Title\u0011of\u0011the\u0011book</sf>"
       u"<sf name=\"f\">Author</sf></field>",
       u"2001 @aTitle of the book\r\n     @fAuthor\r\n"},
      {"cut at a blank just after the limit",
       u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">ABCDEFGHIJKLMNOPQRSTUVW\u0011XYZ</sf></field>",
       u"2001 @aABCDEFGHIJKLMNOPQRSTUVW\r\n      XYZ\r\n"},
      {"no blank near the limit: cut at it",
       u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">ABCDEFGHIJKLMNOPQRSTUVWXYZ1234</sf></field>",
       u"2001 @aABCDEFGHIJKLMNOPQRSTU\r\n     VWXYZ1234\r\n"},
      {"a text that ends right at the limit has no empty line after it",
       u"<field name=\"005\">2024010112345678901234567</field>", u"0052024010112345678901234567\r\n"},
      {"three lines", u"<field name=\"330\"><sf name=\"a\">" + u16(60, u'x') + u"</sf></field>",
       u"330@a" + u16(23, u'x') + u"\r\n     " + u16(25, u'x') + u"\r\n     " + u16(12, u'x') + u"\r\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(sheet(c.field, 25), kLeaderShown + u"\r\n" + c.expected + u"***\r\n") << c.what;
}

TEST_F(WorksheetTest, NarrowWidthsNeverGiveEmptyLinesOrLoseText) {
  const u16 fields =
      u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">A\u0011B</sf><sf name=\"b\">@@</sf>"
      u"<sf name=\"c\">\u0011\u0011\u0011x</sf></field>";
  const u16 unwrapped = kLeaderShown + u"\r\n2001 @aA B@b@@@c   x\r\n***\r\n";
  for (int32_t width : {-3, 0, 1, 2, 3, 5, 8, 13, 30}) {
    u16 text = sheet(fields, width);
    EXPECT_EQ(text.find(u"\r\n     \r\n"), u16::npos) << width;
    u16 joined = text;
    for (size_t at; (at = joined.find(u"\r\n     ")) != u16::npos;) joined.erase(at, 7);
    EXPECT_EQ(joined, unwrapped) << width;
  }
}

TEST_F(WorksheetTest, NoRoomNoRecordNoDevice) {
  const u16 fields = u"<field name=\"001\">X</field>";
  const u16 full = sheet(fields, 80);
  int32_t n = -1;
  EXPECT_EQ(sheet(fields, 80, int32_t(full.size()) + 1, &n), full);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(sheet(fields, 80, int32_t(full.size()), &n), u"") << "a worksheet that does not fit";
  EXPECT_EQ(n, 0);

  CSimpleRecord empty;
  char16_t buf[16] = u"old";
  EXPECT_EQ(empty.GetWorkSheet(buf, 16, &painter_, 80), 0);
  EXPECT_EQ(u16(buf), u"");
  CSimpleRecord r;
  r.SetRecord(record(fields).c_str());
  buf[0] = u'x';
  EXPECT_EQ(r.GetWorkSheet(buf, 16, nullptr, 80), 0);
  EXPECT_EQ(u16(buf), u"");
}
