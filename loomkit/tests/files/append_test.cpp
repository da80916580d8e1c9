// Appending records: marks, line breaks and results per code page, records that cannot be
// written, and files that yaz-marcdump reads back.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/file.h>

#include "fixtures.h"

#include <platform/text.h>

#include <gtest/gtest.h>

using namespace files_test;

namespace {

// The UTF-16 ISO 2709 text of a record, as the writer takes it.
u16 isoText(const u16& id, const u16& title) {
  std::string b = simple(id, title, -1);
  u16 t(b.size() / 2, u'\0');
  for (size_t i = 0; i < t.size(); ++i) t[i] = char16_t(uint8_t(b[2 * i]) | (uint8_t(b[2 * i + 1]) << 8));
  return t;
}

int32_t append(CMarcFile& m, File& f, const u16& rec) { return m.AppendToIso2709(rec.data(), int32_t(rec.size()), f.fd()); }

TEST(FileAppend, Utf8WithMarkAndLineBreak) {
  File f;
  CMarcFile m;
  m.SetAttributeEx(65001, 1, 1);
  u16 rec = isoText(u"1", u"中文");
  int32_t n = append(m, f, rec);
  std::string bytes = f.bytes();
  EXPECT_EQ(n, int32_t(bytes.size()) - 5);  // bytes of the record itself
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(bytes.substr(bytes.size() - 3), "\x1D\r\n");
  EXPECT_EQ(std::stoi(bytes.substr(3, 5)), n);  // the length is counted in bytes again
  append(m, f, rec);
  std::string twice = f.bytes();
  EXPECT_EQ(twice.size(), 2 * bytes.size() - 3);  // no mark before the second record
}

TEST(FileAppend, Utf16WithMarkReturnsCharacters) {
  File f;
  CMarcFile m;
  m.SetAttributeEx(-1, 0, 1);
  u16 rec = isoText(u"1", u"\u4E1D");
  EXPECT_EQ(append(m, f, rec), int32_t(rec.size()));
  EXPECT_EQ(f.bytes(), "\xFF\xFE" + utf16(rec));
  m.SetAttributeEx(-1, 1, 1);
  append(m, f, rec);
  EXPECT_EQ(f.bytes(), "\xFF\xFE" + utf16(rec) + utf16(rec) + utf16(u"\r\n"));
}

TEST(FileAppend, MarksOnlyWhereAsked) {
  struct Case {
    int32_t cp, marker;
    std::string start;
  } cases[] = {{-1, 0, "\x30\x00"}, {65001, 0, "0"}, {0, 1, "0"}, {-2, 1, "0"}};
  for (const Case& c : cases) {
    File f;
    CMarcFile m;
    m.SetAttributeEx(c.cp, 0, c.marker);
    ASSERT_GT(append(m, f, isoText(u"1", u"A")), 0) << c.cp;
    EXPECT_EQ(f.bytes().substr(0, c.start.size()), c.start) << c.cp;
  }
}

TEST(FileAppend, NothingWrittenMeansZeroAndNoMarkOrLineBreak) {
  const u16 rec = isoText(u"1", u"A");
  {
    File f;
    CMarcFile m;
    m.SetAttributeEx(65001, 1, 1);
    EXPECT_EQ(m.AppendToIso2709(u"", 0, f.fd()), 0);
    EXPECT_EQ(m.AppendToIso2709(nullptr, 10, f.fd()), 0);
    EXPECT_EQ(f.bytes().size(), 0u);
  }
  {
    File f;
    CMarcFile m;
    m.SetAttributeEx(12345, 1, 1);  // a code page that does not exist
    EXPECT_EQ(append(m, f, rec), 0);
    EXPECT_EQ(f.bytes().size(), 0u);
  }
  {
    File f;
    int readOnly = ::open(f.path().c_str(), O_RDONLY);
    CMarcFile m;
    m.SetAttributeEx(-1, 1, 1);
    EXPECT_EQ(m.AppendToIso2709(rec.data(), int32_t(rec.size()), readOnly), 0);  // the write fails
    EXPECT_EQ(m.AppendToIso2709(rec.data(), int32_t(rec.size()), -1), 0);
    ::close(readOnly);
    EXPECT_EQ(f.bytes().size(), 0u);
  }
}

TEST(FileAppend, AnOverlongRecordStaysWithinOneRecordsBounds) {
  // 70,000 CJK characters in one field: far more than a record holds in any byte form.
  const u16 huge = isoText(u"1", u16(70000, u'中'));
  for (int32_t cp : {65001, 0, -2}) {
    File f;
    CMarcFile m;
    m.SetAttributeEx(cp, 0, 0);
    append(m, f, huge);
    EXPECT_LE(f.bytes().size(), 99999u) << cp;
  }
}

TEST(FileAppend, WrittenFilesReadBackHereAndInYaz) {
  const int32_t forms[] = {-1, 0, 65001, -2};
  for (int32_t cp : forms) {
    SCOPED_TRACE(cp);
    File f;
    CMarcFile w;
    // yaz-marcdump reads records back to back: the byte forms go without mark or line break.
    const bool plain = cp == 0 || cp == 65001;
    w.SetAttributeEx(cp, plain ? 0 : 1, cp == -2 ? 3 : plain ? 0 : 1);
    const u16 titles[] = {u"中文标题", u"Title", u"中M\u00FCller"};
    for (int i = 0; i < 3; ++i) ASSERT_GT(append(w, f, isoText(u"r" + u16(1, u'1' + i), titles[i])), 0);
    ::lseek(f.fd(), 0, SEEK_SET);
    CMarcFile r;
    std::vector<char16_t> buf(128000);
    for (const u16& t : titles) {
      int32_t n = r.ReadFromIso2709(buf.data(), 128000, f.fd());
      ASSERT_GT(n, 0);
      EXPECT_NE(u16(buf.data(), size_t(n)).find(titleElement(t)), u16::npos) << platform::toUtf8(u16(buf.data(), size_t(n)));
    }
    EXPECT_EQ(r.ReadFromIso2709(buf.data(), 128000, f.fd()), -1);
    int32_t rcp = 0, nl = 0, marker = 0;
    r.GetAttributeEx(rcp, nl, marker);
    EXPECT_EQ(rcp, cp);
    if (plain) {
      // The byte forms are ISO 2709 that another toolkit reads: lengths and starts in bytes.
      std::string out;
      ASSERT_EQ(qtest::run("yaz-marcdump -i marc -o line '" + f.path().string() + "' 2>&1", &out), 0);
      EXPECT_EQ(out.find("Warning"), std::string::npos) << out;
      EXPECT_NE(out.find("245 10 $a Title"), std::string::npos) << out;
    }
  }
}

}  // namespace

// A record object appended in a byte form goes from its tree to bytes at once where it can:
// the bytes and the answer must be those of the way through its UTF-16 form (Jinei2Iso, then
// CvtCharset), for records that take the direct way and for those that must not.
TEST(FileAppend, RecordObjectsWriteWhatTheirUtf16FormGives) {
  const u16 head = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>";
  auto field = [](const u16& tag, const u16& ind, const u16& body) {
    return u"<field name=\"" + tag + u"\" indicator=\"" + ind + u"\">" + body + u"</field>";
  };
  auto sf = [](const u16& code, const u16& text) { return u"<sf name=\"" + code + u"\">" + text + u"</sf>"; };
  const u16 han(3330, u'\u4E2D');  // 9,990 bytes in UTF-8, 6,660 in GBK
  const std::vector<std::pair<const char*, u16>> records = {
      {"plain", head + u"<field name=\"001\">CAL\x11" u"1</field>" + field(u"200", u"1\x11", sf(u"a", u"中文\x11题名") + sf(u"f", u"王"))},
      {"escapes and frame characters",
       head + field(u"200", u"\x12\x13", sf(u"a", u"\x12\x13\x14\x15\x16\x11\x1E\x1F\x1D|\x01") + sf(u"", u""))},
      {"no subfields, text only", head + field(u"300", u"", u"loose text") + u"<field name=\"001\"></field>"},
      {"groups and several texts", head + u"<field name=\"200\" indicator=\"1\x11\"><group>" + sf(u"e", u"E1") +
                                        sf(u"f", u"F1") + u"</group>x" + sf(u"g", u"<![CDATA[c]]>t") + u"</field>"},
      {"tags and leader outside ASCII",
       u"<marc><header>0000中nam</header>" + field(u"2中", u"", sf(u"a", u"x")) + field(u"2", u"", sf(u"a", u"y"))},
      {"a pair whole", head + field(u"200", u"", sf(u"a", u"\U00020000x"))},
      {"a pair across two texts", head + u"<field name=\"001\">\xD840<![CDATA[\xDC00]]></field>"},
      {"a lone surrogate", head + field(u"200", u"", sf(u"a", u"a\xDC00" u"b"))},
      {"a character GBK lacks", head + field(u"200", u"", sf(u"a", u"\u0E01\u00FC"))},
      {"a NUL", head + u"<field name=\"001\">a&#0;b</field>"},
      {"a field just short of the cut", head + field(u"330", u"", sf(u"a", han.substr(0, 3329) + u"x"))},
      {"a field at the cut in UTF-8 bytes", head + field(u"330", u"\x11", sf(u"a", han))},
      {"a field at the cut in characters", head + field(u"330", u"", sf(u"a", u16(9990, u'x')))},
      {"a record past 99,999 bytes", [&] {
         u16 r = head;
         for (int i = 0; i < 12; ++i) r += field(u"330", u"", sf(u"a", han.substr(0, 3000)));
         return r;
       }()},
      {"an empty header", u"<marc><header></header>" + field(u"200", u"", sf(u"a", u"x"))},
  };
  for (const auto& [what, text] : records) {
    CMarc marc;
    marc.SetContent((text + u"</marc>").c_str());
    for (int cp : {0, 936, 65001}) {
      SCOPED_TRACE(std::string(what) + " in " + std::to_string(cp));
      CMarcFile m;
      m.SetAttributeEx(cp, 0, 0);
      std::vector<char16_t> iso(200000), out(200000);
      int32_t units = m.Jinei2Iso(marc, iso.data(), int32_t(iso.size()));
      int32_t bytes = units > 0 ? m.CvtCharset(iso.data(), out.data(), int32_t(out.size())) : 0;
      File f;
      platform::CFile file(f.fd());
      EXPECT_EQ(m.AppendToIso2709(marc, file), bytes > 0 ? units : 0);
      EXPECT_EQ(f.bytes(), std::string(reinterpret_cast<const char*>(out.data()), size_t(std::max(bytes, 0))));
    }
  }
}
