// Character-set detection and decoding of raw records, positions checked against the record.
#include "marc_fixture.h"

#include "z3950/record_charset.h"

#include <loomkit/MarcFile.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace ztest;
using z3950::decodeRecord;

namespace {

const std::string kGbkChinese = "\xD6\xD0\xCE\xC4";              // 中文 in GBK
const std::string kUtf8Chinese = "\xE4\xB8\xAD\xE6\x96\x87";      // 中文 in UTF-8
bool latinTable(unsigned char b) { return b == 0xE2 || b == 0x88; }  // two bytes of the table

}  // namespace

TEST(Utf8Test, CountsOnlyCompleteSequences) {
  struct Case {
    const char* what;
    std::string bytes;
    bool passes;
  } cases[] = {
      {"pure ASCII", "00026nam  2200025   4500abc", false},
      {"one two-byte sequence", "abc\xC3\xA9xyz", true},
      {"three- and four-byte sequences", kUtf8Chinese + "\xF0\x9F\x98\x80", true},
      {"continuation byte out of place", "abc\x80xyz" + kUtf8Chinese, false},
      {"byte F8", kUtf8Chinese + "\xF8\x80\x80\x80\x80", false},
      {"lead byte followed by ASCII", "ab\xE4\xB8x", false},
      {"sequence cut by the end of the record", "abc\xE4\xB8", false},
      {"four-byte lead as the last byte", "abc\xF0", false},
      {"GBK text", "title " + kGbkChinese, false},
  };
  for (const Case& c : cases) EXPECT_EQ(z3950::passesUtf8Test(c.bytes), c.passes) << c.what;
}

TEST(Marc21Test, LanguageOf008DecidesAndEveryPositionIsChecked) {
  std::string eng = isoRecord({{"001", "x1"}, {"008", field008("eng")}, {"245", df('a', "T")}});
  std::string chi = isoRecord({{"008", field008("CHI")}, {"245", df('a', "T")}});
  std::string short008 = isoRecord({{"008", field008("eng").substr(0, 39)}});
  std::string farStart = eng;
  farStart.replace(24 + 12 + 7, 5, "99990");  // 008 entry's start points past the record
  std::string bigStart = eng;
  bigStart.replace(24 + 12 + 7, 5, "9x999");
  std::string cutInEntry = eng.substr(0, 24 + 12 + 5);  // stops inside the 008 entry
  std::string noFieldEnd = eng.substr(0, 24 + 24);
  std::string cut008 = eng.substr(0, eng.find(field008("eng")) + 30);  // 008 data cut before offset 35
  struct Case {
    const char* what;
    std::string bytes;
    bool nonChinese;
  } cases[] = {
      {"language eng", eng, true},
      {"language CHI", chi, false},
      {"008 of 39 characters (length 0040)", short008, false},
      {"no 008 at all", isoRecord({{"245", df('a', "T")}}), false},
      {"008 start past the end", farStart, false},
      {"008 start not a number", bigStart, false},
      {"record ends inside the 008 entry", cutInEntry, false},
      {"no field terminator", noFieldEnd, false},
      {"008 data cut before the language", cut008, false},
      {"leader only", "00024nam  2200025   45", false},
      {"empty", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(z3950::isNonChineseMarc21(c.bytes), c.nonChinese) << c.what;
}

TEST(RecordDecoding, PicksTheCharacterSetOfEachKindOfRecord) {
  std::string eng = isoRecord({{"008", field008("eng")},
                               {"100", df('a', "Smith")},
                               {"245", df('a', "Caf\xE2")},
                               {"880", df('a', kGbkChinese)}});
  std::u16string text = decodeRecord(eng, latinTable);
  EXPECT_NE(text.find(u"\x1F" u"aCaf\u00E2\x1E"), std::u16string::npos) << "245 read as ISO 8859-1";
  EXPECT_NE(text.find(u"\x1F" u"a中文\x1E"), std::u16string::npos) << "880 read in the ANSI code page";
  EXPECT_NE(text.find(u"\x1F" u"aSmith\x1E"), std::u16string::npos);
  EXPECT_EQ(text.back(), u'\x1D');

  std::string chi = eng;
  chi.replace(chi.find(field008("eng")) + 35, 3, "CHI");
  std::u16string whole = decodeRecord(chi, latinTable);
  EXPECT_EQ(whole.find(u"Caf\u00E2"), std::u16string::npos) << "a Chinese record is read whole as GBK";

  std::string gbk = isoRecord({{"001", "g1"}, {"200", df('a', kGbkChinese + "书")}});
  EXPECT_NE(decodeRecord(gbk, latinTable).find(u"中文"), std::u16string::npos);

  std::string utf8 = isoRecord({{"008", field008("eng")}, {"245", df('a', kUtf8Chinese)}});
  EXPECT_NE(decodeRecord(utf8, latinTable).find(u"中文"), std::u16string::npos) << "UTF-8 wins over MARC 21";
}

TEST(RecordDecoding, FieldByFieldStaysInsideTheRecord) {
  std::string rec = isoRecord({{"008", field008("eng")}, {"245", df('a', "Caf\xE2")}, {"500", df('a', "note")}});
  // Directory longer than the data: the last field has lost its terminator and the rest.
  std::string cut = rec.substr(0, rec.find("Caf") + 4);
  std::u16string text = z3950::decodeFieldByField(cut, latinTable);
  EXPECT_NE(text.find(u"Caf\u00E2"), std::u16string::npos);
  EXPECT_EQ(text.back(), u'\x1D');
  // Every prefix of the record decodes without reading past its end.
  for (size_t n = 0; n <= rec.size(); ++n) {
    std::string prefix = rec.substr(0, n);
    (void)decodeRecord(prefix, latinTable);
    (void)z3950::decodeFieldByField(prefix, latinTable);
  }
}

TEST(RecordDecoding, LargeRecordsAreDecodedWhole) {
  std::vector<MarcField> fields{{"008", field008("eng")}};
  for (int i = 0; i < 40; ++i) fields.push_back({"500", df('a', std::string(9000, char('a' + i % 26)))});
  fields.push_back({"245", df('a', "END\xE2")});
  std::string rec = isoRecord(fields);
  ASSERT_GT(rec.size(), 300000u);
  std::u16string text = decodeRecord(rec, latinTable);
  EXPECT_EQ(text.size(), rec.size());
  EXPECT_NE(text.find(u"END\u00E2"), std::u16string::npos);
}

TEST(RecordDecoding, ControlBytesBecomeBlanks) {
  std::string rec = std::string("\x01\x1F") + std::string(22, '0') + std::string("\x1A\x1B\x1C\x1D\x1E\x1F\x00 x", 9);
  z3950::blankControlBytes(rec);
  EXPECT_EQ(rec.substr(0, 2), "  ");
  EXPECT_EQ(rec.substr(24), std::string(" \x1B\x1C\x1D\x1E\x1F", 6) + "  x");
}

TEST(RecordStart, LeaderDigitsAndADirectoryMakeARecord) {
  std::string good = isoRecord({{"001", "r1"}, {"245", df('a', "T")}});
  std::string letterInLength = good;
  letterInLength[24 + 5] = 'x';
  std::string terminatorInLeader = good;
  terminatorInLeader[20] = '\x1D';
  struct Case {
    const char* what;
    std::string bytes;
    bool record;
  } cases[] = {
      {"a whole record", good, true},
      {"leader and part of the directory", good.substr(0, 30), true},
      {"a leader alone", good.substr(0, 24), true},
      {"shorter than a leader", good.substr(0, 23), false},
      {"text", "Hello, this is not a MARC record", false},
      {"a letter in the base address", good.substr(0, 13) + "x" + good.substr(14), false},
      {"a letter in a directory length", letterInLength, false},
      {"a record terminator inside the leader", terminatorInLeader, false},
      {"a tag of any characters", good.substr(0, 24) + "a\x01-" + good.substr(27), true},
  };
  for (const Case& c : cases) EXPECT_EQ(z3950::isIso2709Record(c.bytes), c.record) << c.what;
}

namespace {

// The internal record text of a decoded record, by the toolkit's conversion.
std::u16string recordText(std::u16string iso) {
  std::u16string text = iso;
  text.resize(std::max<size_t>(iso.size() + 1, 400000), u'\0');
  std::u16string scratch(text.size(), u'\0');
  int32_t n = CMarcFile().Iso2Jinei(text.data(), scratch.data(), int32_t(iso.size()), int32_t(text.size()));
  return text.substr(0, size_t(std::max(n, 0)));
}

// decodeRecord's text of the whole record, control bytes blanked first.
std::u16string wholeText(std::string rec) {
  z3950::blankControlBytes(rec);
  return recordText(decodeRecord(rec, latinTable));
}

std::string repeat(const std::string& unit, size_t bytes) {
  std::string s;
  while (s.size() < bytes) s += unit;
  return s;
}

}  // namespace

// Only the parts of a record that its text can hold are decoded; the text is the same as from
// the whole record, whatever the record's kind and size.
TEST(RecordDecoding, TheTextOfAHugeRecordIsTheTextOfItsKeptParts) {
  // Empty data fields cost the text least: 18 counted characters each.
  std::vector<MarcField> many{{"001", "many"}};
  for (int i = 0; i < 7000; ++i) many.push_back({"500", ""});
  std::string eng = isoRecord({{"008", field008("eng")},
                               {"245", df('a', repeat("Caf", 60000) + "\xE2")},  // Latin only at its end
                               {"880", df('a', repeat(kGbkChinese, 60000))},
                               {"500", df('a', "M\xE8uller")}});
  std::string leaderControls = isoRecord({{"001", "c"}, {"245", df('a', repeat("x\x01", 50000))}});
  leaderControls[9] = '\x1E';  // a terminator in the leader is blanked before anything is read
  struct Case {
    const char* what;
    std::string record;
    bool cut = true;  // a field longer than the kept bytes, with no escape in it
  } cases[] = {
      {"one long ASCII field", isoRecord({{"001", "a"}, {"245", df('a', repeat("abc", 150000))}, {"500", df('a', "x")}})},
      {"long UTF-8 fields", isoRecord({{"001", "u"}, {"245", df('a', repeat(kUtf8Chinese + "a", 90000))},
                                       {"246", df('a', repeat("\xF0\x9F\x98\x80", 30000))}})},
      {"long GBK fields cut between characters", isoRecord({{"001", "g"}, {"200", df('a', "x" + repeat(kGbkChinese, 40000))},
                                                            {"210", df('a', repeat(kGbkChinese, 40000))}})},
      {"MARC 21, field by field", eng},
      {"an EACC segment longer than the kept bytes",
       isoRecord({{"245", df('a', "\x1B$1" + repeat("!0#", 20000) + "\x1B(B")}, {"500", df('a', "\xE8u")}}), false},
      {"more fields than a text holds", isoRecord(many), false},
      {"control bytes, a terminator in the leader", leaderControls},
      {"delimiters only", isoRecord({{"245", repeat("\x1F", 90000)}, {"246", df('a', "after")}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::u16string lean = recordText(z3950::decodeForText(c.record, latinTable));
    EXPECT_GT(lean.size(), 40u);
    EXPECT_EQ(lean, wholeText(c.record));
    std::string blanked = c.record;
    z3950::blankControlBytes(blanked);
    const size_t kept = z3950::decodeForText(c.record, latinTable).size(), whole = decodeRecord(blanked, latinTable).size();
    if (c.cut) {
      EXPECT_LT(kept, whole) << "only the kept parts are decoded";
    } else {
      EXPECT_LE(kept, whole);
    }
  }
}
