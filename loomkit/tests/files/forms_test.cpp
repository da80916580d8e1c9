// The character forms of record files, written and read back: what the EACC form holds, EACC
// runs decoded record by record, MARC-8 escapes of other sets, delimiters inside runs and in
// control fields, lone surrogates.
#include "fixtures.h"

#include <gtest/gtest.h>

using namespace files_test;

namespace {

const u16 kHeader = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>";

// A record object of one control field 001 and data field 245 holding `title` in $a.
u16 titleRecord(const u16& id, const u16& title) {
  return kHeader + u"<field name=\"001\">" + id + u"</field><field name=\"245\" indicator=\"10\"><sf name=\"a\">" +
         title + u"</sf></field></marc>";
}

// The bytes AppendToIso2709 writes for record texts, through the record object.
std::string written(const std::vector<u16>& texts, int codePage, int markerFlag = 0) {
  File file;
  platform::CFile out(file.fd());
  CMarcFile writer;
  writer.SetAttributeEx(codePage, 0, markerFlag);
  for (const u16& t : texts) {
    CMarc m;
    m.SetContent(t.c_str());
    EXPECT_GT(writer.AppendToIso2709(m, out), 0);
  }
  return file.bytes();
}

std::string marcxmlRecord(const std::string& id, const std::string& title) {
  return "<record><leader>00000nam  2200000   4500</leader><controlfield tag=\"001\">" + id +
         "</controlfield><datafield tag=\"245\" ind1=\"1\" ind2=\"0\"><subfield code=\"a\">" + title +
         "</subfield></datafield></record>";
}
std::string collection(const std::string& records) {
  return "<collection xmlns=\"http://www.loc.gov/MARC21/slim\">" + records + "</collection>";
}

}  // namespace

TEST(EaccForm, EveryCharacterOfU0080ToU00FEReadsBackAsItselfOrAQuestionMark) {
  u16 latin;
  for (char16_t c = 0x80; c <= 0xFE; ++c) latin.push_back(c);
  // Between characters of the table, so that runs close before them and open after them.
  const u16 texts[] = {u"中" + latin + u"中", u"列夫·托尔斯泰", u"26×19cm", u"-5°C"};
  for (int marker : {3, 4}) {
    SCOPED_TRACE(marker);
    std::vector<u16> records;
    for (const u16& t : texts) records.push_back(titleRecord(t.substr(0, 1), t));
    File file(written(records, -2, marker));
    CMarcFile reader;
    std::vector<u16> back = readAll(reader, file.fd());
    ASSERT_EQ(back.size(), 4u);
    int32_t cp = 0, nl = 0, flag = 0;
    reader.GetAttributeEx(cp, nl, flag);
    EXPECT_EQ(cp, -2);
    EXPECT_EQ(flag, marker);
    u16 got = platform::fromUtf8(fieldText(back[0], u"245", u"a"));
    ASSERT_EQ(got.size(), latin.size() + 2);
    for (size_t i = 0; i < latin.size(); ++i)
      EXPECT_TRUE(got[i + 1] == latin[i] || got[i + 1] == u'?') << std::hex << unsigned(latin[i]);
    // What code page 936 holds comes back as itself: the signs of names and sizes, and the
    // vowels of pinyin.
    for (char16_t c : u16(u"·×°±§÷¤¨àáèéêìíòóùúü")) EXPECT_NE(got.find(c), u16::npos) << std::hex << unsigned(c);
    for (size_t k = 1; k < 4; ++k) EXPECT_EQ(fieldText(back[k], u"245", u"a"), platform::toUtf8(texts[k]));
  }
}

TEST(EaccForm, OneRecordWithRunsDecidesNothingForTheOthers) {
  const std::string shanghai = "上海古籍出版社";
  std::vector<std::string> utf8 = yazRecords(
      collection(marcxmlRecord("u1", shanghai) + marcxmlRecord("e1", "English only") + marcxmlRecord("u3", shanghai + "2")),
      "utf-8");
  std::vector<std::string> gbk = yazRecords(collection(marcxmlRecord("g1", shanghai) + marcxmlRecord("g3", shanghai + "2")), "gbk");
  std::vector<std::string> marc8 = yazRecords(collection(marcxmlRecord("m2", "中华书局")), "marc8");
  ASSERT_EQ(utf8.size(), 3u);
  ASSERT_EQ(gbk.size(), 2u);
  ASSERT_EQ(marc8.size(), 1u);
  ASSERT_NE(marc8[0].find("\x1B$1"), std::string::npos);
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> titles;
    int32_t codePage;  // what the reader reports at the end
  } cases[] = {
      {"UTF-8, a MARC-8 record in the middle", utf8[0] + marc8[0] + utf8[2], {shanghai, "中华书局", shanghai + "2"}, 65001},
      {"UTF-8 still open, a MARC-8 record, then UTF-8", utf8[1] + marc8[0] + utf8[2],
       {"English only", "中华书局", shanghai + "2"}, 65001},
      {"GBK, a MARC-8 record in the middle", gbk[0] + marc8[0] + gbk[1], {shanghai, "中华书局", shanghai + "2"}, -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File file(c.bytes);
    CMarcFile m;
    std::vector<u16> forwards = readAll(m, file.fd());
    ASSERT_EQ(forwards.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(fieldText(forwards[i], u"245", u"a"), c.titles[i]) << i;
    int32_t cp = 0, nl = 0, flag = 0;
    m.GetAttributeEx(cp, nl, flag);
    EXPECT_EQ(cp, c.codePage);
    // Backwards the same records, then forwards again from the first.
    std::vector<u16> backwards = readBack(m, file.fd());
    ASSERT_EQ(backwards.size(), 2u);
    EXPECT_EQ(backwards[0], forwards[1]);
    EXPECT_EQ(backwards[1], forwards[0]);
    std::vector<u16> again = readAll(m, file.fd());
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0], forwards[1]);
    EXPECT_EQ(again[1], forwards[2]);
    // The record object reads the same.
    ::lseek(file.fd(), 0, SEEK_SET);
    platform::CFile in(file.fd());
    CMarcFile direct;
    CMarc marc;
    for (size_t i = 0; i < 3; ++i) {
      ASSERT_GT(direct.ReadFromIso2709(marc, in), 0);
      std::vector<char16_t> buf(128000);
      ASSERT_EQ(marc.GetContent(buf.data(), int32_t(buf.size())), 1);
      EXPECT_EQ(u16(buf.data()), forwards[i]) << i;
    }
  }
}

TEST(EaccForm, EscapesToOtherSetsEndARunAndNoneIsLeft) {
  // yaz-marcdump writes quotation marks in the set ESC ( 3 and Greek in ESC ( S, between EACC
  // runs; the bytes of those sets are read as code page 936.
  std::vector<std::string> marc8 = yazRecords(collection(marcxmlRecord("q1", "中文“引号”αβ中华")), "marc8");
  ASSERT_EQ(marc8.size(), 1u);
  ASSERT_NE(marc8[0].find("\x1B(S"), std::string::npos);
  File file(marc8[0]);
  CMarcFile m;
  std::vector<u16> texts = readAll(m, file.fd());
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].find(u'\x1B'), u16::npos) << fieldText(texts[0], u"245", u"a");
  EXPECT_EQ(fieldText(texts[0], u"245", u"a"), "中文z引号yab中华");
}

TEST(EaccForm, ARunNotClosedBeforeADelimiterEndsThereAsInYaz) {
  // A run left open before the next subfield, and at the end of its field.
  const std::string in = "\x1B$1", zhongwen = "!04!BX", zhong = "!04";
  std::string bytes = record({{u"001", u"x1"},
                              {u"245", platform::fromUtf8("10\x1F" "a" + in + zhongwen + "\x1Fhvideorecording /\x1F" "c" + in + zhong)},
                              {u"260", platform::fromUtf8("  \x1F" "a" + zhong)}},
                             0);
  bytes[9] = ' ';  // not flagged as Unicode: yaz-marcdump applies MARC-8
  File file(bytes);
  std::string lines;
  ASSERT_EQ(qtest::run("yaz-marcdump -f marc8 -t utf-8 '" + file.path().string() + "'", &lines), 0);
  EXPECT_NE(lines.find("245 10 $a 中文 $h videorecording / $c 中\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("260    $a !04\n"), std::string::npos) << lines;

  CMarcFile m;
  std::vector<u16> texts = readAll(m, file.fd());
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(fieldText(texts[0], u"245", u"a"), "中文");
  EXPECT_EQ(fieldText(texts[0], u"245", u"h"), "videorecording /");
  EXPECT_EQ(fieldText(texts[0], u"245", u"c"), "中");
  EXPECT_EQ(fieldText(texts[0], u"260", u"a"), "!04");
}

TEST(ControlFields, DelimitersSurviveARoundTripByteForByte) {
  // danMARC carries subfields in 001, 004 and 008; LC records code 007 with delimiters.
  const std::vector<Field> fields = {
      {u"001", u"\x1F" u"a12345678\x1F" u"b870970"},
      {u"004", u"\x1F" u"rn\x1F" u"ae"},
      {u"007", u"\x1F" u"ac\x1F" u"br"},
      {u"008", u"\x1F" u"tm\x1F" u"uf\x1F" u"a2024\x1F" u"lchi"},
      {u"245", u"00\x1F" u"a中文题名\x1F" u"cH. C. Andersen"},
  };
  for (int cp : {0, 65001, -1}) {
    SCOPED_TRACE(cp);
    const std::string bytes = record(fields, cp);
    // Through the record object, and through the record text.
    for (bool viaText : {false, true}) {
      File in(bytes);
      CMarcFile reader;
      CMarc marc;
      platform::CFile source(in.fd());
      if (viaText) {
        std::vector<u16> texts = readAll(reader, in.fd());
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(fieldText(texts[0], u"008"), "\x1Ftm\x1Fuf\x1F" "a2024\x1Flchi");
        marc.SetContent(texts[0].c_str());
      } else {
        ASSERT_GT(reader.ReadFromIso2709(marc, source), 0);
      }
      File out;
      platform::CFile target(out.fd());
      CMarcFile writer;
      writer.SetAttributeEx(cp, 0, 0);
      ASSERT_GT(writer.AppendToIso2709(marc, target), 0);
      EXPECT_EQ(out.bytes(), bytes) << viaText;
    }
  }
}

TEST(LoneSurrogates, AreReplacedInEveryByteForm) {
  // Lone halves inside a subfield and at its edges, beside a whole pair.
  const u16 text = kHeader + u"<field name=\"245\" indicator=\"10\"><sf name=\"a\">a\xD800" u"b\xDC00" u"c\xD800</sf>"
                   u"<sf name=\"b\">\xDC00x\U00020000</sf></field></marc>";
  struct Case {
    int codePage;
    std::string a, b;  // the bytes of $a and $b
  } cases[] = {
      {65001, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD", "\xEF\xBF\xBDx\xF0\xA0\x80\x80"},
      {0, "a?b?c?", "?x?"},
      {-2, "a?b?c?", "?x?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    const std::string want = "10\x1F" "a" + c.a + "\x1F" "b" + c.b;
    // Through the record object, and through OutMarc (the UTF-16 record and CvtCharset).
    const int marker = c.codePage == -2 ? 3 : 0;  // no byte-order mark
    std::string file = written({text}, c.codePage, marker);
    std::vector<char> out(100000);
    int32_t n = OutMarc(text.c_str(), c.codePage, marker, out.data());
    ASSERT_GT(n, 0);
    for (const std::string& bytes : {file, std::string(out.data(), size_t(n))}) {
      size_t base = size_t(std::stoi(bytes.substr(12, 5)));
      EXPECT_EQ(bytes.substr(base, bytes.size() - base - 2), want);
    }
  }
}
