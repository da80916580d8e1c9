// The byte-level steps of the record-file reader on their own: form tests, the skip to the
// first digit, gathering across blocks and at the bound, the backward walk.
#include "../../src/iso2709_file_internal.h"
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

// Gathers from offset 0 of a file as the reader does: first block, then further blocks.
Gathered gatherFrom(File& f, int unit) {
  platform::CFile file(f.fd());
  char block[kBlockSize];
  size_t n = file.Read(block, kBlockSize);
  return gatherRecord(file, std::string_view(block, n), n == kBlockSize, unit);
}

TEST(FileSteps, GatherStopsAtTheFirstTerminator) {
  File f("0123\x1D" "4567\x1D");
  Gathered g = gatherFrom(f, 1);
  EXPECT_EQ(g.end, GatherEnd::Terminator);
  EXPECT_EQ(g.bytes, "0123\x1D");
  EXPECT_EQ(g.consumed, 5u);
}

TEST(FileSteps, GatherCrossesBlocks) {
  std::string rec = std::string(5000, '7') + "\x1D";
  File f(rec + "next");
  Gathered g = gatherFrom(f, 1);
  EXPECT_EQ(g.end, GatherEnd::Terminator);
  EXPECT_EQ(g.bytes, rec);
  EXPECT_EQ(g.consumed, rec.size());
}

TEST(FileSteps, GatherOfUnitsIgnoresTheByte1DInsideACharacter) {
  // U+4E1D is the bytes 1D 4E, U+1D00 the bytes 00 1D: neither ends the record.
  std::string rec = utf16(u"01\u4E1D\u1D00\x1D");
  File f(rec + utf16(u"02\x1D"));
  Gathered g = gatherFrom(f, 2);
  EXPECT_EQ(g.end, GatherEnd::Terminator);
  EXPECT_EQ(g.bytes, rec);
}

TEST(FileSteps, GatherWithoutTerminatorTakesTheRestOfTheFile) {
  File f(std::string(3000, '5'));
  Gathered g = gatherFrom(f, 1);
  EXPECT_EQ(g.end, GatherEnd::EndOfFile);
  EXPECT_EQ(g.bytes.size(), 3000u);
  EXPECT_EQ(g.consumed, 3000u);
}

TEST(FileSteps, GatherGivesUpAtTheBound) {
  File f(std::string(kGatherLimit + 10000, '5') + "\x1D");
  Gathered g = gatherFrom(f, 1);
  EXPECT_EQ(g.end, GatherEnd::Limit);
  EXPECT_TRUE(g.bytes.empty());
  EXPECT_EQ(g.consumed, kGatherLimit);
}

TEST(FileSteps, GatherTakesARecordOfExactlyTheBound) {
  std::string rec = std::string(kGatherLimit - 1, '5') + "\x1D";
  File f(rec);
  Gathered g = gatherFrom(f, 1);
  EXPECT_EQ(g.end, GatherEnd::Terminator);
  EXPECT_EQ(g.bytes.size(), kGatherLimit);
}

TEST(FileSteps, WalkBackCountsThreeTerminators) {
  // records of 3000 bytes, so that the walk crosses blocks
  std::string a = std::string(3000, 'a') + "\x1D", b = std::string(3000, 'b') + "\x1D",
              c = std::string(3000, 'c') + "\x1D";
  File f(a + "\r\n" + b + "\r\n" + c + "\r\n");
  long afterA = long(a.size()), afterB = afterA + 2 + long(b.size()), afterC = afterB + 2 + long(c.size());
  platform::CFile file(f.fd());
  EXPECT_EQ(previousRecordStart(file, afterC, 1), afterA);  // B starts after A's terminator
  EXPECT_EQ(previousRecordStart(file, afterB, 1), 0);       // A is the first record
  EXPECT_EQ(previousRecordStart(file, afterA, 1), -1);
  EXPECT_EQ(f.position(), afterA);  // where the walk started
  EXPECT_EQ(previousRecordStart(file, 0, 1), -1);
}

TEST(FileSteps, WalkBackInUnitsSkipsBytes1DInsideCharacters) {
  std::string a = utf16(u"\u4E1D\u1D00a\x1D"), b = utf16(u"\u4E1Db\x1D"), c = utf16(u"\u1D00c\x1D");
  File f("\xFF\xFE" + a + b + c);
  long afterA = 2 + long(a.size()), afterB = afterA + long(b.size()), afterC = afterB + long(c.size());
  platform::CFile file(f.fd());
  EXPECT_EQ(previousRecordStart(file, afterC, 2), afterA);
  EXPECT_EQ(previousRecordStart(file, afterB, 2), 0);
  EXPECT_EQ(previousRecordStart(file, afterA, 2), -1);
}

}  // namespace
