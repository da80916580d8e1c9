// Reading record files: which form a file is read as, what the reader reports for it, and
// how it copes with files that are not (or not wholly) ISO 2709.
#include <loomkit/CvtCode.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include "../../src/files/iso2709_file_internal.h"
#include "fixtures.h"

#include <platform/text.h>

#include <gtest/gtest.h>

using namespace files_test;

namespace {

// The records read hold these titles, in order.
void expectTitles(const std::vector<u16>& texts, const std::vector<u16>& titles) {
  ASSERT_EQ(texts.size(), titles.size());
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_NE(texts[i].find(titleElement(titles[i])), u16::npos) << platform::toUtf8(texts[i]);
}

std::string eacc(char16_t c) {
  CCvtCode codes(u"Codes");
  char b[3] = {};
  int n = codes.Unicode2Eacc(&c, b);
  EXPECT_EQ(n, 3);
  return std::string(b, 3);
}

// A GBK record whose title holds the EACC run of 中 between the given escapes.
std::string eaccRecord(const std::string& in, const std::string& out) {
  std::string run = in + eacc(u'中') + out;
  u16 title = u"x" + u16(run.begin(), run.end()) + u"y";
  return simple(u"e1", title, 0);
}

struct Form {
  const char* name;
  std::string bytes;
  int32_t codePage, markerFlag;  // what GetAttributeEx reports after reading
  std::vector<u16> titles;       // the title of every record, in order
};

TEST(FileRead, DetectsEveryFormFromTheStartOfTheFile) {
  const u16 zh = u"中文";
  const std::string crlf16 = utf16(u"\r\n");
  const Form forms[] = {
      {"FF FE", "\xFF\xFE" + simple(u"1", zh, -1) + simple(u"2", u"B", -1), -1, 1, {zh, u"B"}},
      {"UTF-16 without mark", simple(u"1", zh, -1) + simple(u"2", u"B", -1), -1, 0, {zh, u"B"}},
      {"EF BB BF", "\xEF\xBB\xBF" + simple(u"1", zh, 65001) + simple(u"2", u"B", 65001), 65001, 1, {zh, u"B"}},
      {"UTF-8 without mark", simple(u"1", u"caf\u00E9", 65001), 65001, 9, {u"caf\u00E9"}},
      {"GBK", simple(u"1", zh, 0) + simple(u"2", u"\u00B7B", 0), 0, 9, {zh, u"\u00B7B"}},
      {"ASCII only", simple(u"1", u"A", 0), 0, 9, {u"A"}},
      {"EACC ESC $ 1", eaccRecord("\x1B$1", "\x1B(B"), -2, 3, {u"x中y"}},
      {"EACC ESC $ $ 1", eaccRecord("\x1B$$1", "\x1B((B"), -2, 4, {u"x中y"}},
      {"CR LF between and after", simple(u"1", u"A", 0) + "\r\n" + simple(u"2", u"B", 0) + "\r\n", 0, 9,
       {u"A", u"B"}},
      {"UTF-16 CR LF between and after",
       "\xFF\xFE" + simple(u"1", u"A", -1) + crlf16 + simple(u"2", u"B", -1) + crlf16, -1, 1, {u"A", u"B"}},
      {"junk before a record", "\r\n#!x" + simple(u"1", u"A", 0), 0, 9, {u"A"}},
      {"missing terminator", simple(u"1", u"A", 0) + simple(u"2", u"B", 0).substr(0, 60) + "\x1E", 0, 9,
       {u"A", u""}},
      {"UTF-16 with bytes 1D inside characters",
       "\xFF\xFE" + simple(u"1", u"\u4E1D\u1D00", -1) + simple(u"2", u"\u1D1D", -1), -1, 1,
       {u"\u4E1D\u1D00", u"\u1D1D"}},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.name);
    File file(f.bytes);
    CMarcFile m;
    m.SetAttributeEx(936, 1, 9);  // the caller's form is replaced by what the file shows
    std::vector<u16> texts = readAll(m, file.fd());
    ASSERT_EQ(texts.size(), f.titles.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(texts[i].rfind(u"<marc><header>", 0), 0u);
      if (!f.titles[i].empty()) {
        EXPECT_NE(texts[i].find(titleElement(f.titles[i])), u16::npos) << i;
      }
    }
    int32_t cp = 0, nl = 0, marker = 0;
    m.GetAttributeEx(cp, nl, marker);
    EXPECT_EQ(cp, f.codePage);
    EXPECT_EQ(nl, 1);
    EXPECT_EQ(marker, f.markerFlag);
    EXPECT_EQ(file.position(), long(f.bytes.size()));
  }
}

// Reads go on from wherever the caller has put the file: read again from where an earlier
// read started, in any order and back at offset 0 (which detects the form anew), the same
// record comes back and the file is left where it was left then.
TEST(FileRead, ReadingAgainFromAnEarlierStartGivesTheSameRecordAndPosition) {
  const u16 zh = u"中文";
  const std::string crlf16 = utf16(u"\r\n");
  const std::pair<const char*, std::string> files[] = {
      {"FF FE", "\xFF\xFE" + simple(u"1", zh, -1) + crlf16 + simple(u"2", u"B", -1) + simple(u"3", u"C", -1)},
      {"UTF-16 without mark", simple(u"1", zh, -1) + simple(u"2", u"B", -1) + simple(u"3", u"C", -1)},
      {"EF BB BF", "\xEF\xBB\xBF" + simple(u"1", zh, 65001) + simple(u"2", u"B", 65001) + simple(u"3", zh, 65001)},
      {"GBK", simple(u"1", u"A", 0) + "\r\n" + simple(u"2", zh, 0) + "#!" + simple(u"3", u"C", 0) + "\r\n"},
  };
  CMarcFile shared;  // one object over every file in turn, each read from its start
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    File file(bytes);
    CMarcFile m;
    std::vector<char16_t> buf(128000);
    struct Read {
      long before, after;
      int32_t result;
      u16 text;
    };
    std::vector<Read> reads;
    for (int guard = 0; guard < 10; ++guard) {
      long before = file.position();
      int32_t n = m.ReadFromIso2709(buf.data(), int32_t(buf.size()), file.fd());
      reads.push_back({before, file.position(), n, n > 0 ? u16(buf.data(), size_t(n)) : u16()});
      if (n < 0) break;
    }
    ASSERT_EQ(reads.size(), 4u);
    int32_t cp = 0, nl = 0, marker = 0;
    m.GetAttributeEx(cp, nl, marker);
    for (size_t k : {2, 0, 3, 1, 0, 2}) {
      SCOPED_TRACE(k);
      ::lseek(file.fd(), reads[k].before, SEEK_SET);
      int32_t n = m.ReadFromIso2709(buf.data(), int32_t(buf.size()), file.fd());
      EXPECT_EQ(n, reads[k].result);
      if (n > 0) {
        EXPECT_EQ(u16(buf.data(), size_t(n)), reads[k].text);
      }
      EXPECT_EQ(file.position(), reads[k].after);
      int32_t cp2 = 0, marker2 = 0;
      m.GetAttributeEx(cp2, nl, marker2);
      EXPECT_EQ(cp2, cp);
      EXPECT_EQ(marker2, marker);
    }
    File again(bytes);
    for (size_t k = 0; k < 2; ++k) {
      int32_t n = shared.ReadFromIso2709(buf.data(), int32_t(buf.size()), again.fd());
      EXPECT_EQ(n, reads[k].result);
      if (n > 0) {
        EXPECT_EQ(u16(buf.data(), size_t(n)), reads[k].text);
      }
      EXPECT_EQ(again.position(), reads[k].after);
    }
  }
}

// Control characters are blanked and escapes kept wherever they stand in a byte record (the
// reader looks at its units several at a time).
TEST(FileRead, ControlCharactersAreBlankedAtEveryOffset) {
  for (size_t k = 0; k < 9; ++k) {
    u16 lead(k, u'x');
    File file(simple(u"1", lead + u"\x01\x1C\x1B\t\x1A" u"b\u4E2D\x05", 0));
    CMarcFile m;
    std::vector<u16> texts = readAll(m, file.fd());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(titleElement(lead + u"\x11\x1C\x1B\x11\x11" u"b\u4E2D\x11")), u16::npos)
        << k << " " << platform::toUtf8(texts[0]);
  }
}

TEST(FileRead, ATrailingLineBreakIsNoRecord) {
  File file(simple(u"1", u"A", 0) + "\r\n");
  CMarcFile m;
  EXPECT_EQ(readAll(m, file.fd()).size(), 1u);
}

TEST(FileRead, FewerThan24CharactersAfterTheSkipAreNoRecord) {
  // A tail whose first digit leaves a few bytes (byte form) or units (UTF-16) before the end.
  const std::string tails[] = {
      std::string(30, '#') + "12345\x1D",
      std::string(30, '#') + "12345",
  };
  for (const std::string& tail : tails) {
    File file(simple(u"1", u"A", 0) + tail);
    CMarcFile m;
    EXPECT_EQ(readAll(m, file.fd()).size(), 1u);
    EXPECT_EQ(file.position(), long(file.bytes().size()));
  }
  File wide("\xFF\xFE" + simple(u"1", u"A", -1) + utf16(u"################12345\x1D"));
  CMarcFile m;
  EXPECT_EQ(readAll(m, wide.fd()).size(), 1u);
}

TEST(FileRead, AFileWithoutTerminatorsHoldsNoRecord) {
  // 1 MB of digits: one read crosses it all and says "no record" at the real end.
  File file(std::string(1 << 20, '1'));
  CMarcFile m;
  std::vector<char16_t> buf(128000);
  EXPECT_EQ(m.ReadFromIso2709(buf.data(), int32_t(buf.size()), file.fd()), -1);
  EXPECT_EQ(file.position(), long(1 << 20));

  File wide("\xFF\xFE" + utf16(std::u16string(200000, u'1')));
  CMarcFile w;
  EXPECT_EQ(w.ReadFromIso2709(buf.data(), int32_t(buf.size()), wide.fd()), -1);
  EXPECT_EQ(wide.position(), long(2 + 400000));
}

// The same bytes as UTF-16LE units (for ASCII text).
std::string widen(const std::string& ascii) { return utf16(u16(ascii.begin(), ascii.end())); }

TEST(FileRead, OversizeRunsAndJunkAreSkippedAndReadingGoesOn) {
  const std::string a = simple(u"1", u"A", 0), b = simple(u"2", u"B", 0);
  // A record cut short (no terminator) at the head of a long run of text.
  const std::string unterminated = record({{u"001", u"x"}, {u"245", u"10\x1F" u"a"}}, 0).substr(0, 50);
  std::string zip = "PK\x03\x04\x14\x00\x06\x00\x08\x00\x00\x00!\x00" + noise(3000, 7);
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<u16> titles;
  } cases[] = {
      {"300,000-byte record between two good ones", a + oversize(300000) + b, {u"A", u"B"}},
      {"10 MB without a terminator, then a good record", unterminated + std::string(10 << 20, 'x') + b, {u"B"}},
      {"10 MB of digits, then a good record", std::string(10 << 20, '7') + b, {u"B"}},
      {"UTF-16: 300,000 bytes between two good ones",
       "\xFF\xFE" + simple(u"1", u"A", -1) + widen(oversize(150000)) + simple(u"2", u"B", -1), {u"A", u"B"}},
      {"5 KB of random bytes", noise(5000, 1), {}},
      {"random bytes around a record", noise(5000, 2) + a + noise(5000, 3), {u"A"}},
      {"a zip archive", zip, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File file(c.bytes);
    CMarcFile m;
    expectTitles(readAll(m, file.fd()), c.titles);
    EXPECT_EQ(file.position(), long(c.bytes.size()));
  }
}

TEST(FileRead, RecordsNeedingRepairStillRead) {
  // What real files get wrong and the reader has always put up with.
  const std::string good = record({{u"001", u"r1"}, {u"245", u"10\x1F" u"aTitle"}}, 0);
  std::string wrongLength = good, wrongBase = good, outOfOrder = good;
  wrongLength.replace(0, 5, "00999");
  wrongBase.replace(12, 5, "00010");
  // The 245 entry listed before the 001 entry.
  outOfOrder.replace(24, 24, good.substr(36, 12) + good.substr(24, 12));
  for (const std::string& bytes : {wrongLength, wrongBase, outOfOrder}) {
    File file(bytes + simple(u"2", u"B", 0));
    CMarcFile m;
    std::vector<u16> texts = readAll(m, file.fd());
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find(u"<field name=\"001\">r1</field>"), u16::npos);
    EXPECT_NE(texts[0].find(titleElement(u"Title")), u16::npos);
  }
}

TEST(FileRead, TheFirstRecordWithAByteAbove7FDecidesTheForm) {
  const u16 pound = u"\u00A35", lodz = u"\u0141\u00F3d\u017A", zh = u"中文";
  struct Case {
    const char* name;
    std::string bytes;
    int32_t codePage;
    std::vector<u16> titles;
  } cases[] = {
      {"UTF-8 after English-only records",
       simple(u"1", u"English", 65001) + simple(u"2", u"Only", 65001) + simple(u"3", pound, 65001) +
           simple(u"4", lodz, 65001),
       65001, {u"English", u"Only", pound, lodz}},
      {"GBK after English-only records", simple(u"1", u"English", 0) + simple(u"2", zh, 0) + simple(u"3", zh, 0),
       0, {u"English", zh, zh}},
      // Once a record decided for GBK, a later one that happens to pass the test stays GBK.
      {"GBK first, UTF-8 bytes later", simple(u"1", zh, 0) + simple(u"2", u"\u00E9", 65001), 0,
       {zh, platform::toWide(0, "\xC3\xA9")}},
      {"UTF-8 first", simple(u"1", pound, 65001) + simple(u"2", u"B", 65001), 65001, {pound, u"B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File file(c.bytes);
    CMarcFile m;
    expectTitles(readAll(m, file.fd()), c.titles);
    int32_t cp = 0, nl = 0, marker = 0;
    m.GetAttributeEx(cp, nl, marker);
    EXPECT_EQ(cp, c.codePage);
  }
}

TEST(FileRead, Utf8FromYazWithEnglishRecordsFirst) {
  qtest::TempDir dir;
  std::string x = "<collection xmlns=\"http://www.loc.gov/MARC21/slim\">";
  for (const char* title : {"English", "Only", "\xC5\x81\xC3\xB3" "d\xC5\xBA"})
    x += std::string("<record><leader>00000nam a2200000 a 4500</leader><datafield tag=\"245\" ind1=\"1\" "
                     "ind2=\"0\"><subfield code=\"a\">") + title + "</subfield></datafield></record>";
  qtest::writeFile(dir / "in.xml", x + "</collection>");
  ASSERT_EQ(qtest::run("yaz-marcdump -i marcxml -o marc '" + (dir / "in.xml").string() + "' > '" +
                       (dir / "out.mrc").string() + "'"),
            0);
  File file(qtest::readFile(dir / "out.mrc"));
  CMarcFile m;
  std::vector<u16> texts = readAll(m, file.fd());
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_NE(texts[2].find(titleElement(u"\u0141\u00F3d\u017A")), u16::npos) << platform::toUtf8(texts[2]);
}

TEST(FileRead, AUtf16RecordLongerThanTheBufferIsPassedOver) {
  File file("\xFF\xFE" + simple(u"1", u16(500, u'L'), -1) + simple(u"2", u"B", -1));
  CMarcFile m;
  std::vector<char16_t> small(300, u'#');
  EXPECT_EQ(m.ReadFromIso2709(small.data(), 300, file.fd()), 0);
  EXPECT_EQ(small[0], u'#');
  int32_t n = m.ReadFromIso2709(small.data(), 300, file.fd());
  ASSERT_GT(n, 0);
  EXPECT_NE(u16(small.data(), size_t(n)).find(titleElement(u"B")), u16::npos);
}

TEST(FileRead, ABufferTooSmallForTheTextIsNeverOverrun) {
  // The record fits the buffer but its internal record text does not: the text is cut
  // before the field that would not fit, and stays well-formed.
  for (int cp : {0, -1}) {
    SCOPED_TRACE(cp);
    const std::string mark = cp == -1 ? "\xFF\xFE" : "";
    const std::string rec = simple(u"1", u16(100, u'L'), cp);
    File file(mark + rec + simple(u"2", u"B", cp));
    CMarcFile m;
    const size_t size = rec.size() / (cp == -1 ? 2 : 1) + 10;
    std::vector<char16_t> buf(size + 64, u'#');
    int32_t cut = m.ReadFromIso2709(buf.data(), int32_t(size), file.fd());
    ASSERT_GT(cut, 0);
    EXPECT_LT(size_t(cut), size);
    for (size_t i = size; i < buf.size(); ++i) ASSERT_EQ(buf[i], u'#');
    const u16 text(buf.data(), size_t(cut));
    EXPECT_NE(text.find(u"<field name=\"001\">1</field>"), u16::npos);
    EXPECT_EQ(text.find(u"L</sf>"), u16::npos);
    EXPECT_EQ(text.substr(text.size() - 7), u"</marc>");
    // The next record is read in its turn.
    int32_t n = m.ReadFromIso2709(buf.data(), int32_t(size), file.fd());
    ASSERT_GT(n, 0);
    EXPECT_NE(u16(buf.data(), size_t(n)).find(titleElement(u"B")), u16::npos);
  }
}

TEST(FileRead, ARecordWiderThanTheBufferIsCutLikeTheBudget) {
  // The record's characters do not fit the buffer: whole trailing fields go, the leader and
  // the fields that fit stay, and the text loads and writes back with its own leader.
  File file(simple(u"1", u16(500, u'L'), 0) + simple(u"2", u"B", 0));
  CMarcFile m;
  std::vector<char16_t> buf(200, u'#');
  int32_t n = m.ReadFromIso2709(buf.data(), 200, file.fd());
  ASSERT_GT(n, 0);
  u16 text(buf.data(), size_t(n));
  EXPECT_EQ(text.rfind(u"<marc><header>00", 0), 0u) << platform::toUtf8(text);
  EXPECT_NE(text.find(u"<field name=\"001\">1</field>"), u16::npos);
  EXPECT_EQ(text.find(u"LLL"), u16::npos);
  EXPECT_EQ(text.substr(text.size() - 7), u"</marc>");
  CMarc marc;
  marc.SetContent(text.c_str());
  char16_t iso[256];
  ASSERT_GT(m.Jinei2Iso(marc, iso, 256), 0);
  EXPECT_EQ(u16(iso + 5, 7), u"nam a22");
  // Too small for even the leader: nothing, as for a UTF-16 record passed over.
  EXPECT_EQ(m.ReadFromIso2709(buf.data(), 40, file.fd()), 0);
}

}  // namespace

TEST(FileRead, ATextLongerThanTheBufferIsCutWellFormed) {
  // 6,000 empty data fields make a record of 78,026 bytes, well within ISO 2709, whose text
  // passes 128,000 characters: the "</field>" end tags are not counted in the 99,999 budget.
  // The reader cuts the text at the caller's buffer as the budget cuts it, never loses it.
  std::vector<Field> fields(6000, {u"200", u""});
  for (int cp : {0, -1}) {
    SCOPED_TRACE(cp);
    File file((cp == -1 ? "\xFF\xFE" : "") + record(fields, cp) + simple(u"2", u"B", cp));
    CMarcFile m;
    for (int32_t size : {128000, 100000}) {
      std::vector<char16_t> buf(size_t(size) + 16, u'#');
      ::lseek(file.fd(), 0, SEEK_SET);
      int32_t n = m.ReadFromIso2709(buf.data(), size, file.fd());
      ASSERT_GT(n, 0) << size;
      ASSERT_LT(n, size);
      for (size_t i = size_t(size); i < buf.size(); ++i) ASSERT_EQ(buf[i], u'#');
      u16 text(buf.data(), size_t(n));
      EXPECT_EQ(text.substr(text.size() - 15), u"</field></marc>");
      CMarc marc;
      marc.SetContent(text.c_str());
      ASSERT_EQ(marc.IsNull(), 0) << "the cut text parses";
      EXPECT_GT(marc.GetFieldCount(), 3000);
      // The next record follows in its turn.
      n = m.ReadFromIso2709(buf.data(), size, file.fd());
      ASSERT_GT(n, 0);
      EXPECT_NE(u16(buf.data(), size_t(n)).find(titleElement(u"B")), u16::npos);
    }
  }
}

// What the reader tells of the text it made of the record last read: the fields it keeps
// whole, a field cut among its subfields, a field cut at 9,990, in a byte form and in UTF-16,
// into a record object (the tree) and into a buffer (the text); nothing once the end is read.
TEST(FileRead, TellsWhatTheTextKeepsOfTheRecordRead) {
  using u16v = std::u16string_view;
  auto subfields = [](int n) {
    u16 data = u"  ";
    for (int i = 0; i < n; ++i) data += u"\x1F" u"ax";
    return data;
  };
  struct Case {
    const char* what;
    std::vector<Field> fields;
    Iso2709Extent extent;  // fields, kept, whole, cut at 9,990
  } cases[] = {
      {"whole", {{u"001", u"1"}, {u"245", u"10\x1F" u"a" u"题名"}}, {2, 2, 2, false}},
      {"a field of 9,995 characters", {{u"001", u"1"}, {u"500", u"  \x1F" u"a" + u16(9991, u'x')}}, {2, 2, 2, true}},
      {"the second of two fields cut among its subfields",
       {{u"500", subfields(3000)}, {u"500", subfields(3000)}},
       {2, 2, 1, false}},
      // Each field's text is 126 characters: 793 of them fit the 99,999.
      {"cut between fields", std::vector<Field>(850, Field{u"005", u16(100, u'x')}), {850, 793, 793, false}},
  };
  for (int cp : {0, -1}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(cp) + ": " + c.what);
      File file((cp == -1 ? "\xFF\xFE" : "") + record(c.fields, cp));
      for (const bool tree : {true, false}) {
        CMarcFile m;
        platform::CFile f(file.fd());
        f.SeekToBegin();
        CMarc marc;
        std::vector<char16_t> buf(128000);
        ASSERT_GT(tree ? m.ReadFromIso2709(marc, f) : m.ReadFromIso2709(buf.data(), 128000, f), 0);
        const Iso2709Extent got = m.LastRecordExtent();
        EXPECT_EQ(got.fields, c.extent.fields) << tree;
        EXPECT_EQ(got.fieldsKept, c.extent.fieldsKept) << tree;
        EXPECT_EQ(got.wholeFields, c.extent.wholeFields) << tree;
        EXPECT_EQ(got.fieldCut, c.extent.fieldCut) << tree;
        if (tree) marc.GetContent(buf.data(), 128000);
        size_t shown = 0;
        for (size_t at = 0; (at = u16v(buf.data()).find(u"<field ", at)) != u16v::npos; ++at) ++shown;
        EXPECT_EQ(shown, size_t(c.extent.fieldsKept)) << tree;
        EXPECT_EQ(m.ReadFromIso2709(marc, f), -1);
        EXPECT_EQ(m.LastRecordExtent().fields, 0);
      }
    }
  }
}
