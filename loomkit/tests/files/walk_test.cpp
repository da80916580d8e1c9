// Paging through record files: back to the previous record, and counting a large file
// written by another MARC toolkit (yaz-marcdump).
#include <loomkit/MarcFile.h>

#include "fixtures.h"

#include <platform/text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace files_test;

namespace {

struct Paged {
  const char* name;
  std::string prefix;
  int cp;
  std::string between;
};

TEST(FileWalk, PreviousRecordWalksBackToTheFirst) {
  // Titles long enough that records span several 2,048-byte blocks; U+4E1D is the bytes
  // 1D 4E in UTF-16, which must not count as a terminator. In GBK, U+4E1D alone (CB BF) is
  // also a well-formed UTF-8 sequence; U+7EF8 after it makes the GBK file plainly GBK.
  const u16 titles[] = {u"One" + u16(3000, u'1'), u"Two\u4E1D\u7EF8" + u16(3000, u'2'), u"Three"};
  const Paged forms[] = {
      {"GBK, CR LF", "", 0, "\r\n"},
      {"UTF-8 with mark", "\xEF\xBB\xBF", 65001, ""},
      {"UTF-16 with mark, CR LF", "\xFF\xFE", -1, utf16(u"\r\n")},
      {"UTF-16 without mark", "", -1, ""},
  };
  for (const Paged& f : forms) {
    SCOPED_TRACE(f.name);
    std::string bytes = f.prefix;
    for (const u16& t : titles) bytes += simple(u"n", t, f.cp) + f.between;
    File file(bytes);
    CMarcFile m;
    std::vector<char16_t> buf(128000);
    auto text = [&](int32_t n) { return n > 0 ? u16(buf.data(), size_t(n)) : u16(); };
    for (int i = 0; i < 3; ++i) ASSERT_GT(m.ReadFromIso2709(buf.data(), 128000, file.fd()), 0);
    EXPECT_NE(text(m.ReadPrevRecord(buf.data(), 128000, file.fd())).find(titleElement(titles[1])), u16::npos);
    EXPECT_NE(text(m.ReadPrevRecord(buf.data(), 128000, file.fd())).find(titleElement(titles[0])), u16::npos);
    EXPECT_EQ(m.ReadPrevRecord(buf.data(), 128000, file.fd()), -1);
    // Forwards again from the first record.
    EXPECT_NE(text(m.ReadFromIso2709(buf.data(), 128000, file.fd())).find(titleElement(titles[1])), u16::npos);
  }
}

TEST(FileWalk, PreviousRecordPassesOverJunkAndFindsAnUnterminatedLast) {
  const std::string a = simple(u"1", u"A", 0), b = simple(u"2", u"B", 0), c = simple(u"3", u"C", 0);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"last record without terminator", a + b + c.substr(0, c.size() - 1)},
      {"an oversize run between", a + oversize(300000) + b + c},
      {"junk with terminators between", a + "junk\x1D" "12345\x1D" + b + "\r\n\x1D\r\n" + c},
      // Thousands of stray terminators: the walk back must not start over at each.
      {"a megabyte of random bytes between", a + noise(1 << 20, 5) + b + c},
  };
  for (const Case& f : cases) {
    SCOPED_TRACE(f.name);
    File file(f.bytes);
    CMarcFile m;
    std::vector<char16_t> buf(128000);
    auto title = [&](int32_t n) {
      u16 t = n > 0 ? u16(buf.data(), size_t(n)) : u16();
      for (const char16_t* x : {u"A", u"B", u"C"})
        if (t.find(titleElement(x)) != u16::npos) return u16(x);
      return u16(u"-");
    };
    u16 forwards;
    for (int32_t n; (n = m.ReadFromIso2709(buf.data(), 128000, file.fd())) >= 0;) forwards += title(n);
    EXPECT_EQ(forwards, u"ABC");
    u16 backwards;
    for (int32_t n; (n = m.ReadPrevRecord(buf.data(), 128000, file.fd())) >= 0 && backwards.size() < 5;)
      backwards += title(n);
    EXPECT_EQ(backwards, u"BA");
  }
}

TEST(FileWalk, PreviousRecordAtTheStartIsNone) {
  File file(simple(u"1", u"A", 0));
  CMarcFile m;
  std::vector<char16_t> buf(1000);
  EXPECT_EQ(m.ReadPrevRecord(buf.data(), 1000, file.fd()), -1);
}

// A MARCXML collection of `count` records, numbered from 1.
std::string marcxml(int count) {
  std::string x = "<collection xmlns=\"http://www.loc.gov/MARC21/slim\">\n";
  for (int i = 1; i <= count; ++i) {
    std::string n = std::to_string(i);
    x += "<record><leader>00000nam a2200000 a 4500</leader><controlfield tag=\"001\">rec" + n +
         "</controlfield><datafield tag=\"245\" ind1=\"1\" ind2=\"0\"><subfield code=\"a\">\xE6\xA0\x87\xE9\xA2\x98" +
         n + "</subfield><subfield code=\"c\">Author " + n + "</subfield></datafield></record>\n";
  }
  return x + "</collection>\n";
}

TEST(FileWalk, CountsTheRecordsOfAFileWrittenByYaz) {
  qtest::TempDir dir;
  qtest::writeFile(dir / "in.xml", marcxml(10000));
  std::string cmd = "yaz-marcdump -i marcxml -o marc '" + (dir / "in.xml").string() + "' > '" +
                    (dir / "out.mrc").string() + "'";
  ASSERT_EQ(qtest::run(cmd), 0);
  File file(qtest::readFile(dir / "out.mrc"));
  CMarcFile m;
  std::vector<char16_t> buf(128000);
  int count = 0;
  u16 last;
  while (int32_t n = m.ReadFromIso2709(buf.data(), 128000, file.fd())) {
    if (n < 0) break;
    ++count;
    if (count == 5000) last = u16(buf.data(), size_t(n));
  }
  EXPECT_EQ(count, 10000);
  EXPECT_NE(last.find(u"<field name=\"001\">rec5000</field>"), u16::npos);
  EXPECT_NE(last.find(titleElement(u"标题5000")), u16::npos);
  int32_t cp = 0, nl = 0, marker = 0;
  m.GetAttributeEx(cp, nl, marker);
  EXPECT_EQ(cp, 65001);
}

}  // namespace

namespace {

TEST(FileWalk, AnyBytesReadToTheEndBothWays) {
  // Files pieced together from records, cut records, noise, digit runs and stray
  // separators, in bytes and in UTF-16: reading forwards ends at the end of the file, and
  // walking back from there gives the same records in reverse.
  auto wide = [](const std::string& s) { return utf16(u16(s.begin(), s.end())); };
  const std::vector<std::string> pieces[] = {
      {simple(u"1", u"A", 0), simple(u"2", u"中文", 0), simple(u"3", u"C", 0).substr(0, 40), noise(300, 9),
       std::string(100, '5'), "\x1D", "\x1E", "\r\n", "00012"},
      {simple(u"1", u"A", -1), simple(u"2", u"中文", -1), simple(u"3", u"C", -1).substr(0, 80), noise(300, 9),
       wide(std::string(100, '5')), wide("\x1D"), wide("\x1E"), wide("\r\n"), wide("00012")},
  };
  uint32_t seed = 1;
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const std::vector<std::string>& from = pieces[round % 2];
    std::string bytes = round % 2 ? "\xFF\xFE" : "";
    for (int k = 0; k < 12; ++k) {
      seed = seed * 1103515245u + 12345u;
      bytes += from[(seed >> 16) % from.size()];
    }
    File file(bytes);
    CMarcFile m;
    std::vector<char16_t> buf(128000);
    std::vector<u16> forwards, backwards;
    for (int32_t n; forwards.size() < 100 && (n = m.ReadFromIso2709(buf.data(), 128000, file.fd())) >= 0;)
      forwards.emplace_back(buf.data(), size_t(n));
    ASSERT_LT(forwards.size(), 100u);
    ASSERT_EQ(file.position(), long(bytes.size()));
    for (int32_t n; backwards.size() < 100 && (n = m.ReadPrevRecord(buf.data(), 128000, file.fd())) >= 0;)
      backwards.emplace_back(buf.data(), size_t(n));
    if (!forwards.empty()) forwards.pop_back();
    std::reverse(forwards.begin(), forwards.end());
    ASSERT_EQ(backwards, forwards);
  }
}

}  // namespace
