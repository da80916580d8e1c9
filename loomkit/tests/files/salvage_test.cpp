// Broken records that real files hold, read as far as they go: a base address that is no
// number, directory entries with blanks or letters in their numbers, a record cut short before
// the next one, UTF-16 units put out of step by a stray byte. Junk still gives no record.
#include "fixtures.h"

#include <gtest/gtest.h>

using namespace files_test;

namespace {

// Reading forwards, backwards and counting give the same records.
std::vector<u16> readEveryWay(const std::string& bytes) {
  File file(bytes);
  CMarcFile m;
  std::vector<u16> forwards = readAll(m, file.fd());
  std::vector<u16> backwards = readBack(m, file.fd());
  EXPECT_EQ(backwards.size() + 1, std::max<size_t>(forwards.size(), 1));
  for (size_t i = 0; i < backwards.size() && i + 2 <= forwards.size(); ++i)
    EXPECT_EQ(backwards[i], forwards[forwards.size() - 2 - i]) << i;
  ::lseek(file.fd(), 0, SEEK_SET);
  platform::CFile in(file.fd());
  CMarcFile counter;
  CMarc marc;
  size_t count = 0;
  while (counter.ReadFromIso2709(marc, in, 1) >= 0 && count < 100) ++count;
  EXPECT_EQ(count, forwards.size());
  return forwards;
}

// The control field 001 of each record.
std::vector<std::string> ids(const std::vector<u16>& texts) {
  std::vector<std::string> out;
  for (const u16& t : texts) out.push_back(fieldText(t, u"001"));
  return out;
}

const std::vector<Field> kBroken = {{u"001", u"b1"},
                                    {u"245", u"10\x1F" u"a中文题名"},
                                    {u"260", u"  \x1F" u"a北京"},
                                    {u"300", u"  \x1F" u"a300页"}};

}  // namespace

TEST(Salvage, BrokenLeadersAndDirectoriesAreRead) {
  const std::string good = simple(u"g", u"Good", 0), broken = record(kBroken, 0);
  auto changed = [&](size_t at, const std::string& with) { return broken.substr(0, at) + with + broken.substr(at + with.size()); };
  const size_t entry260 = 24 + 2 * 12;
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"a letter in the base address", changed(12, "f")},
      {"blanks in a length column", changed(entry260 + 3, "  1 ")},
      {"letters in a length column", changed(entry260 + 3, "00x7")},
      {"a letter in a start column", changed(entry260 + 7, "0x02")},
      {"blanks in a start column", changed(entry260 + 7, "     ")},
      {"a letter in the first start column", changed(24 + 7, "x")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u16> texts = readEveryWay(c.bytes + good);
    ASSERT_EQ(ids(texts), (std::vector<std::string>{"b1", "g"}));
    // Every field in its place: the fields are paired with the directory in data order.
    EXPECT_EQ(fieldText(texts[0], u"245", u"a"), "中文题名");
    EXPECT_EQ(fieldText(texts[0], u"260", u"a"), "北京");
    EXPECT_EQ(fieldText(texts[0], u"300", u"a"), "300页");
  }
}

TEST(Salvage, ARecordCutShortNoLongerSwallowsTheNext) {
  const std::string a = simple(u"a", u"A", 0), b = simple(u"b", u"B", 0);
  const std::string broken = record(kBroken, 0), wide = record(kBroken, -1);
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> ids;
  } cases[] = {
      // Cut inside its last field: returned as far as it goes, its last field lost.
      {"cut inside a field", a + broken.substr(0, broken.size() - 8) + b + a, {"a", "b1", "b", "a"}},
      // Cut inside its directory: nothing of it can be read.
      {"cut inside the directory", a + broken.substr(0, 40) + b + a, {"a", "b", "a"}},
      {"cut at the start of the file", broken.substr(0, broken.size() - 8) + b, {"b1", "b"}},
      {"UTF-16, cut inside a field",
       "\xFF\xFE" + simple(u"a", u"A", -1) + wide.substr(0, wide.size() - 16) + simple(u"b", u"B", -1),
       {"a", "b1", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u16> texts = readEveryWay(c.bytes);
    EXPECT_EQ(ids(texts), c.ids);
    for (size_t i = 0; i < texts.size(); ++i) {
      if (c.ids[i] == "b") {
        EXPECT_EQ(fieldText(texts[i], u"245", u"a"), "B");
      }
    }
  }
  // The cut record keeps what it has.
  std::vector<u16> texts = readEveryWay(broken.substr(0, broken.size() - 8) + b);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(fieldText(texts[0], u"260", u"a"), "北京");
  EXPECT_EQ(fieldText(texts[0], u"300", u"a"), "<none>");
}

TEST(Salvage, JunkStillGivesNoRecord) {
  // A spreadsheet saved as text: ISBNs, prices and dates, digits everywhere.
  std::string csv = "ISBN,题名,价格,日期\r\n";
  for (int i = 0; i < 300; ++i)
    csv += "97875" + std::to_string(10000000 + i * 7919) + ",书名" + std::to_string(i) + "," +
           std::to_string(10 + i % 90) + ".00,2024" + std::to_string(1000 + i) + "12345678901234567890\r\n";
  // A workbook: a zip archive whose sheet is stored, numbers and all.
  std::string sheet = "<sheetData>";
  for (int i = 0; i < 300; ++i)
    sheet += "<row r=\"" + std::to_string(i) + "\"><c><v>97875" + std::to_string(10000000 + i) + "</v></c><c><v>" +
             std::to_string(i * 1234567) + "</v></c></row>";
  std::string xlsx = "PK\x03\x04\x14\x00\x00\x00\x00\x00" + noise(20, 4) + "xl/worksheets/sheet1.xml" + sheet +
                     "</sheetData>PK\x01\x02" + noise(200, 5) + "PK\x05\x06" + std::string(18, '\0');
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"5 KB of random bytes", noise(5000, 1)},
      {"a zip archive", "PK\x03\x04\x14\x00\x06\x00\x08\x00\x00\x00!\x00" + noise(3000, 7)},
      {"a spreadsheet as text", csv},
      {"a workbook", xlsx},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readEveryWay(c.bytes).size(), 0u);
  }
}

TEST(Salvage, AStrayByteInUtf16IsPassedOverBothWays) {
  auto rec = [](const char16_t* id) { return simple(id, u"题名", -1); };
  const std::string r2 = rec(u"2");
  const size_t middle = r2.size() - 10;  // inside its last field
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> ids;
  } cases[] = {
      {"between records", "\xFF\xFE" + rec(u"1") + rec(u"2") + "\x7F" + rec(u"3") + rec(u"4"), {"1", "2", "3", "4"}},
      {"inside a record", "\xFF\xFE" + rec(u"1") + r2.substr(0, middle) + "\x7F" + r2.substr(middle) + rec(u"3") + rec(u"4"),
       {"1", "2", "3", "4"}},
      {"without a mark, two stray bytes", rec(u"1") + "\x01" + rec(u"2") + "\x02" + rec(u"3"), {"1", "2", "3"}},
      {"a line break out of step", "\xFF\xFE" + rec(u"1") + "\r" + utf16(u"\r\n") + rec(u"2"), {"1", "2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<u16> texts = readEveryWay(c.bytes);
    EXPECT_EQ(ids(texts), c.ids);
    // Every record but the one the stray byte broke keeps its title.
    for (size_t i = 0; i < texts.size(); ++i) {
      if (c.ids[i] != "2" || std::string(c.name) != "inside a record") {
        EXPECT_EQ(fieldText(texts[i], u"245", u"a"), "题名");
      }
    }
  }
}
