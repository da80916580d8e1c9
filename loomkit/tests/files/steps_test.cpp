// The byte-level steps of the record-file reader on their own: form tests, the skip to the
// first digit, gathering across blocks and at the bound, the backward walk.
#include "../../src/files/iso2709_file_internal.h"
#include "fixtures.h"

#include <platform/file.h>

#include <gtest/gtest.h>

using namespace loomkit::files;
using namespace files_test;

namespace {

TEST(FileSteps, Utf16RuleNeedsFiveDigitUnitsFromAnEvenOffset) {
  struct Case {
    std::string block;
    bool utf16;
  } cases[] = {
      {utf16(u"00123nam"), true},
      {utf16(u"\r\n00123nam"), true},          // a line break before the record
      {std::string("00123nam  22"), false},    // bytes: the second digit is no high byte
      {std::string("x") + utf16(u"00123"), false},  // first digit at an odd offset
      {utf16(u"0012x"), false},                // only four digits
      {utf16(u"0012"), false},                 // the block ends inside the length
      {std::string("\x30\x00\x31\x00\x32\x01\x33\x00\x34\x00", 10), false},  // a high byte set
      {std::string("\xFF\xFE") + utf16(u"00123"), true},
      {std::string("no digits at all"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(looksLikeUtf16Le(c.block), c.utf16) << c.block;
}

TEST(FileSteps, Utf8TestCountsSequencesAndFailsOnAStrayHighByte) {
  struct Case {
    std::string bytes;
    bool utf8;
  } cases[] = {
      {"plain ascii", false},
      {"caf\xC3\xA9", true},
      {"\xE4\xB8\xAD\xE6\x96\x87", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xD6\xD0\xCE\xC4", false},   // GBK
      {"\xC3", false},               // sequence cut at the end
      {"\xE4\xB8", false},
      {"\x80", false},               // a continuation byte alone
      {"\xF8\x88\x80\x80\x80", false},
      // ten good sequences end the walk before the bad byte
      {[] {
         std::string s;
         for (int i = 0; i < 10; ++i) s += "\xC3\xA9";
         return s + "\xFF";
       }(),
       true},
      {"\xC3\xA9\xFF", false},
  };
  for (const Case& c : cases) EXPECT_EQ(LooksLikeUtf8(c.bytes), c.utf8) << c.bytes;
}

TEST(FileSteps, FirstDigitInBytesAndInUnits) {
  EXPECT_EQ(firstDigit("\r\nxx01", 1), 4u);
  EXPECT_EQ(firstDigit("abc", 1), 3u);
  EXPECT_EQ(firstDigit(utf16(u"\r\n0"), 2), 4u);
  // a byte 0x31 in a unit's high half is no digit
  EXPECT_EQ(firstDigit(std::string("\x00\x31\x32\x00", 4), 2), 2u);
  EXPECT_EQ(firstDigit(std::string("\x41\x00\x42", 3), 2), 2u);  // a half unit at the end
}

TEST(FileSteps, BlankControlsKeepsTheSeparatorsAfterTheLeader) {
  std::u16string t = u"00\x01\x1E\x1F" + std::u16string(19, u'x') + u"\x01\x1A\x1B\x1D\x1E\x1F\x0A";
  blankControls(t.data(), t.size());
  EXPECT_EQ(t, u"00   " + std::u16string(19, u'x') + u"  \x1B\x1D\x1E\x1F ");
}

// Every record the scanner finds from offset 0, and where it stands at the end.
struct Scan {
  std::vector<Located> records;
  int64_t end = -1;
};

Scan scanAll(File& f, int unit) {
  platform::CFile file(f.fd());
  ::lseek(f.fd(), 0, SEEK_SET);
  RecordScanner scanner(file, 0, unit);
  Scan s;
  Located r;
  while (s.records.size() < 100 && scanner.next(r)) s.records.push_back(r);
  s.end = scanner.position();
  return s;
}

TEST(FileSteps, ScannerStopsAtEachTerminatorAndCrossesBlocks) {
  const std::string a = simple(u"1", u"A", 0), b = simple(u"2", u16(5000, u'7'), 0);
  File f(a + "\r\n" + b + "\r\n");
  Scan s = scanAll(f, 1);
  ASSERT_EQ(s.records.size(), 2u);
  EXPECT_EQ(s.records[0].bytes, a);
  EXPECT_EQ(s.records[0].start, 0);
  EXPECT_EQ(s.records[0].end, int64_t(a.size()));
  EXPECT_EQ(s.records[1].bytes, b);
  EXPECT_EQ(s.records[1].start, int64_t(a.size() + 2));
  EXPECT_TRUE(s.records[1].terminated);
  EXPECT_EQ(s.end, int64_t(f.bytes().size()));
}

TEST(FileSteps, ScannerOfUnitsIgnoresTheByte1DInsideACharacter) {
  // U+4E1D is the bytes 1D 4E, U+1D00 the bytes 00 1D: neither ends the record.
  const std::string a = simple(u"1", u"\u4E1D\u1D00", -1), b = simple(u"2", u"\u1D1D", -1);
  File f(a + b);
  Scan s = scanAll(f, 2);
  ASSERT_EQ(s.records.size(), 2u);
  EXPECT_EQ(s.records[0].bytes, a);
  EXPECT_EQ(s.records[1].bytes, b);
}

TEST(FileSteps, ScannerTakesTheRestOfTheFileWithoutTerminator) {
  const std::string a = simple(u"1", u16(3000, u'5'), 0);
  File f(a.substr(0, a.size() - 1));
  Scan s = scanAll(f, 1);
  ASSERT_EQ(s.records.size(), 1u);
  EXPECT_FALSE(s.records[0].terminated);
  EXPECT_EQ(s.records[0].bytes, a.substr(0, a.size() - 1));
}

TEST(FileSteps, ScannerSkipsAnOversizeRunAndTakesOneOfExactlyTheBound) {
  const std::string good = simple(u"g", u"G", 0);
  {
    File f(oversize(kGatherLimit + 1) + good);
    Scan s = scanAll(f, 1);
    ASSERT_EQ(s.records.size(), 1u);
    EXPECT_EQ(s.records[0].bytes, good);
  }
  {
    File f(oversize(kGatherLimit) + good);
    Scan s = scanAll(f, 1);
    ASSERT_EQ(s.records.size(), 2u);
    EXPECT_EQ(s.records[0].bytes.size(), kGatherLimit);
  }
}

TEST(FileSteps, ACandidateNeedsLeaderAndDirectoryDigits) {
  const std::string good = simple(u"g", u"G", 0);
  std::string letters = good;
  letters[24 + 5] = 'x';  // the length column of the first entry
  std::string tagLetters = good;
  tagLetters[24] = 'C';  // tags may be anything
  // What salvages a broken leader or directory: a whole directory, a record length that ends on
  // the terminator. Without it the record is junk.
  std::string baseLetter = good.substr(0, 14) + "x" + good.substr(15);
  std::string wrongLength = "99999" + letters.substr(5), halfEntry = good;
  halfEntry.erase(24 + 11, 1);  // the directory is no whole number of entries
  halfEntry.replace(0, 5, digits(long(halfEntry.size()), 5));
  struct Case {
    const char* name;
    std::string bytes;
    size_t records;
  } cases[] = {
      {"good", good, 1},
      {"letter in the record length", "0012x" + good.substr(5), 0},
      {"letter in the base address, whole directory", baseLetter, 1},
      {"letter in the base address, directory not whole", halfEntry.substr(0, 14) + "x" + halfEntry.substr(15), 0},
      {"letter in a directory column, length ends on the terminator", letters, 1},
      {"letter in a directory column, wrong length", wrongLength, 0},
      {"letter in the base address and a directory column", baseLetter.substr(0, 29) + "x" + baseLetter.substr(30), 0},
      {"letter in a tag", tagLetters, 1},
      {"leader only", "00025nam a2200025 a 4500\x1D", 1},
      {"too short for a leader", "0002\x1D", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File f(c.bytes);
    EXPECT_EQ(scanAll(f, 1).records.size(), c.records);
  }
}

// Directory entries are checked a whole entry at a time where they can be: a letter in any
// number column of any entry fails the record unless its length ends on its terminator, a
// letter in a tag does not, and a field terminator anywhere in the directory ends it there (a
// letter in a number column after it then no longer counts).
TEST(FileSteps, EveryDirectoryPlaceIsChecked) {
  const std::string good = record({{u"001", u"id"}, {u"200", u"  \x1F" u"at"}, {u"210", u"x"}, {u"300", u"y"}}, 0);
  const size_t entries = 4;
  for (size_t at = 24; at < 24 + 12 * entries; ++at) {
    const size_t column = (at - 24) % 12;
    SCOPED_TRACE(at);
    std::string letter = good, end = good;
    letter[at] = 'x';
    end[at] = '\x1E';
    if (at < 24 + 12 * (entries - 1)) end[24 + 12 * (entries - 1) + 5] = 'x';
    std::string wrongLength = "99999" + letter.substr(5);
    File f(letter), g(end), h(wrongLength);
    EXPECT_EQ(scanAll(f, 1).records.size(), 1u);
    EXPECT_EQ(scanAll(h, 1).records.size(), column < 3 ? 1u : 0u);
    Scan s = scanAll(g, 1);
    ASSERT_EQ(s.records.size(), 1u);
    EXPECT_EQ(s.records[0].bytes, end);
  }
}

TEST(FileSteps, WalkBackFindsThePreviousRecord) {
  // Records of 3,000 bytes, so that the walk crosses blocks.
  const std::string a = simple(u"a", u16(3000, u'a'), 0), b = simple(u"b", u16(3000, u'b'), 0),
                    c = simple(u"c", u16(3000, u'c'), 0);
  File f(a + "\r\n" + b + "\r\n" + c + "\r\n");
  int64_t afterA = int64_t(a.size()), afterB = afterA + 2 + int64_t(b.size()),
          afterC = afterB + 2 + int64_t(c.size());
  platform::CFile file(f.fd());
  Located r;
  bool first = true;
  ASSERT_TRUE(previousRecord(file, afterC, 1, r, &first));
  EXPECT_EQ(r.bytes, b);
  EXPECT_EQ(r.start, afterA + 2);
  EXPECT_FALSE(first);
  ASSERT_TRUE(previousRecord(file, afterB, 1, r, &first));
  EXPECT_EQ(r.bytes, a);
  EXPECT_TRUE(first);
  EXPECT_FALSE(previousRecord(file, afterA, 1, r));
  EXPECT_FALSE(previousRecord(file, 0, 1, r));
}

TEST(FileSteps, WalkBackInUnitsSkipsBytes1DInsideCharacters) {
  const std::string a = simple(u"a", u"\u4E1D\u1D00a", -1), b = simple(u"b", u"\u4E1Db", -1),
                    c = simple(u"c", u"\u1D00c", -1);
  File f("\xFF\xFE" + a + b + c);
  int64_t afterA = 2 + int64_t(a.size()), afterB = afterA + int64_t(b.size()), afterC = afterB + int64_t(c.size());
  platform::CFile file(f.fd());
  Located r;
  ASSERT_TRUE(previousRecord(file, afterC, 2, r));
  EXPECT_EQ(r.bytes, b);
  ASSERT_TRUE(previousRecord(file, afterB, 2, r));
  EXPECT_EQ(r.bytes, a);
  EXPECT_FALSE(previousRecord(file, afterA, 2, r));
}

}  // namespace
