// ISO 2709 exchanged with yaz-marcdump (Debian's yaz): its records read back field for
// field, ours read by it without errors, our EACC decoded by its MARC-8 decoder.
#include "iso_support.h"

#include <loomkit/Field.h>
#include <loomkit/SubField.h>

#include <qorvel_testing/testing.h>

#include <string>
#include <vector>

using namespace isotest;

namespace {

struct Sub {
  char code;
  std::string text;  // UTF-8
};
struct Fld {
  std::string tag;
  std::string ind;  // two characters; empty for a control field
  std::string control;
  std::vector<Sub> subs;
};
using Rec = std::vector<Fld>;

const std::string kLeader = "00000nam a2200000   4500";

std::vector<Rec> sampleRecords() {
  return {
      {{"001", "", "CAL 012345", {}},
       {"245", "10", "", {{'a', "中文 题名 & <x> \"q\" 'a'"}, {'c', "王小明 著"}}},
       {"260", "  ", "", {{'a', "北京"}, {'b', "书局"}, {'c', "2024"}}}},
      {{"001", "", "000002", {}},
       {"005", "", "20240101120000.0", {}},
       {"100", "1 ", "", {{'a', "李白"}}},
       {"500", "  ", "", {{'a', std::string(3000, 'x') + "文"}}}},
      {{"008", "", "240101s2024    ch a          000 0 chi d", {}},
       {"245", "00", "", {{'a', "Plain title"}, {'b', "subtitle"}}}},
  };
}

std::string xmlEscaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string marcxml(const std::vector<Rec>& recs) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<collection xmlns=\"http://www.loc.gov/MARC21/slim\">\n";
  for (const Rec& r : recs) {
    x += "<record><leader>" + kLeader + "</leader>\n";
    for (const Fld& f : r) {
      if (f.ind.empty()) {
        x += "<controlfield tag=\"" + f.tag + "\">" + xmlEscaped(f.control) + "</controlfield>\n";
      } else {
        x += "<datafield tag=\"" + f.tag + "\" ind1=\"" + f.ind.substr(0, 1) + "\" ind2=\"" + f.ind.substr(1, 1) + "\">";
        for (const Sub& s : f.subs) x += std::string("<subfield code=\"") + s.code + "\">" + xmlEscaped(s.text) + "</subfield>";
        x += "</datafield>\n";
      }
    }
    x += "</record>\n";
  }
  return x + "</collection>\n";
}

// The internal record text of a sample record (what Iso2Jinei gives, columns aside).
u16 recordText(const Rec& r, const std::string& leader = kLeader) {
  auto esc = [](const std::string& s) {
    u16 out;
    for (char16_t c : platform::fromUtf8(s)) {
      switch (c) {
        case u' ': out += u'\x11'; break;
        case u'&': out += u'\x12'; break;
        case u'<': out += u'\x13'; break;
        case u'>': out += u'\x14'; break;
        case u'"': out += u'\x15'; break;
        case u'\'': out += u'\x16'; break;
        default: out += c;
      }
    }
    return out;
  };
  u16 t = u"<marc><header>" + esc(leader) + u"</header>";
  for (const Fld& f : r) {
    u16 tag = platform::fromUtf8(f.tag);
    if (f.ind.empty()) {
      t += u"<field name=\"" + tag + u"\">" + esc(f.control) + u"</field>";
      continue;
    }
    t += u"<field name=\"" + tag + u"\" indicator=\"" + esc(f.ind) + u"\">";
    for (const Sub& s : f.subs) t += u"<sf name=\"" + esc(std::string(1, s.code)) + u"\">" + esc(s.text) + u"</sf>";
    t += u"</field>";
  }
  return t + u"</marc>";
}

std::vector<std::string> splitRecords(const std::string& bytes) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\x1D', pos);
    if (end == std::string::npos) break;
    out.push_back(bytes.substr(pos, end + 1 - pos));
    pos = end + 1;
  }
  return out;
}

// The record read back through the record object, field for field, decoded.
void expectFields(const u16& text, const Rec& want) {
  CMarc m;
  m.SetContent(text.c_str());
  ASSERT_EQ(m.IsNull(), 0);
  ASSERT_EQ(m.GetFieldCount(), int32_t(want.size() + 1));
  std::vector<char16_t> buf(20000);
  for (size_t i = 0; i < want.size(); ++i) {
    CField f = m.GetField(int32_t(i + 1));
    const Fld& w = want[i];
    EXPECT_EQ(u8(f.GetName()), w.tag);
    if (w.ind.empty()) {
      ASSERT_EQ(f.GetContent(buf.data(), int32_t(buf.size()), 1), 1);
      EXPECT_EQ(u8(buf.data()), w.control + "\x1E");
      continue;
    }
    ASSERT_EQ(f.GetIndicator(buf.data(), int32_t(buf.size()), 1), 1);
    EXPECT_EQ(u8(buf.data()), w.ind) << w.tag;
    ASSERT_EQ(f.GetSGCount(), int32_t(w.subs.size())) << w.tag;
    for (size_t j = 0; j < w.subs.size(); ++j) {
      CSubField s = f.GetSubFld(int32_t(j));
      EXPECT_EQ(u8(s.GetName()), std::string(1, w.subs[j].code));
      ASSERT_EQ(s.GetContent(buf.data(), int32_t(buf.size()), 1), 1);
      EXPECT_EQ(u8(buf.data()), w.subs[j].text) << w.tag << " $" << w.subs[j].code;
    }
  }
}

std::string shellQuote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// yaz-marcdump's own ISO 2709 of the MARCXML file, in a character set; the file written.
std::filesystem::path yazIso(qtest::TempDir& dir, const std::filesystem::path& xml, const std::string& charset) {
  std::filesystem::path out = dir / ("yaz." + charset);
  EXPECT_EQ(qtest::run("yaz-marcdump -i marcxml -o marc -f utf-8 -t " + charset + " " + shellQuote(xml) + " > " +
                       shellQuote(out)),
            0);
  return out;
}

// yaz-marcdump's own line dump of a file, its exit status checked and its stderr kept apart.
std::string yazLines(const std::filesystem::path& file, const std::string& from, qtest::TempDir& dir) {
  std::string out;
  std::string err = (dir / "stderr").string();
  int rc = qtest::run("yaz-marcdump -f " + from + " -t utf-8 -o line " + shellQuote(file) + " 2>" + err, &out);
  EXPECT_EQ(rc, 0) << from;
  EXPECT_EQ(qtest::readFile(err), "") << "yaz-marcdump reports nothing on " << from;
  return out;
}

// A line dump without the leader lines (their length columns differ between code pages).
std::string withoutLeaders(const std::string& lines) {
  std::string out;
  size_t pos = 0;
  bool first = true;
  while (pos < lines.size()) {
    size_t end = lines.find('\n', pos);
    if (end == std::string::npos) end = lines.size();
    std::string line = lines.substr(pos, end - pos);
    if (!first && !line.empty()) out += line + "\n";
    first = line.empty();
    pos = end + 1;
  }
  return out;
}

struct Charset {
  const char* charset;
  int codePage;
};
const Charset kCharsets[] = {{"utf-8", 65001}, {"gbk", 0}};

// The sample records, and their MARCXML in a folder of the test's own.
class YazPeer : public ::testing::Test {
 protected:
  void SetUp() override { qtest::writeFile(dir / "in.xml", marcxml(recs)); }
  qtest::TempDir dir;
  std::vector<Rec> recs = sampleRecords();
};

}  // namespace

TEST_F(YazPeer, ItsRecordsReadBackFieldForField) {
  for (const Charset& c : kCharsets) {
    SCOPED_TRACE(c.charset);
    std::filesystem::path out = yazIso(dir, dir / "in.xml", c.charset);
    std::vector<std::string> bytes = splitRecords(qtest::readFile(out));
    ASSERT_EQ(bytes.size(), recs.size());
    for (size_t i = 0; i < recs.size(); ++i) {
      isocheck::check(bytes[i]);
      u16 iso = platform::toWide(c.codePage, bytes[i]);
      u16 text = textOf(iso);
      expectFields(text, recs[i]);
      EXPECT_EQ(u8(text), u8(withColumns(recordText(recs[i]), iso)));
    }
  }
}

TEST_F(YazPeer, OurRecordsAreItsRecordsAndItReadsThem) {
  for (const Charset& c : kCharsets) {
    SCOPED_TRACE(c.charset);
    std::string ours;
    for (const Rec& r : recs) ours += bytesOf(isoOf(recordText(r)), c.codePage);
    std::filesystem::path file = dir / (std::string("ours.") + c.charset);
    qtest::writeFile(file, ours);
    // The same record from the same data: yaz-marcdump writes exactly these bytes.
    std::filesystem::path theirs = yazIso(dir, dir / "in.xml", c.charset);
    EXPECT_EQ(ours, qtest::readFile(theirs));
    // And it reads ours without complaint, to the same lines as its own.
    EXPECT_EQ(yazLines(file, c.charset, dir), yazLines(theirs, c.charset, dir));
  }
}

TEST_F(YazPeer, OurEaccDecodesToTheUtf8Source) {
  std::string eacc, utf8;
  // Leader position 9 blank: the records are not flagged as Unicode, so yaz applies MARC-8.
  for (const Rec& r : recs) {
    u16 iso = isoOf(recordText(r, "00000nam  2200000   4500"));
    eacc += bytesOf(iso, -2, 3);
    utf8 += bytesOf(iso, 65001);
  }
  ASSERT_NE(eacc.find("\x1B$1"), std::string::npos);
  qtest::writeFile(dir / "ours.marc8", eacc);
  qtest::writeFile(dir / "ours.utf8", utf8);
  std::string fromEacc = yazLines(dir / "ours.marc8", "marc8", dir);
  std::string fromUtf8 = yazLines(dir / "ours.utf8", "utf-8", dir);
  EXPECT_EQ(withoutLeaders(fromEacc), withoutLeaders(fromUtf8));
  EXPECT_NE(fromEacc.find("中文 题名"), std::string::npos);
}

TEST_F(YazPeer, BrokenEaccCodesCostThatCodeOnlyAsInYaz) {
  // yaz-marcdump's MARC-8 of a publisher's name, broken inside its EACC run in three ways;
  // both readers lose the broken code and read on.
  const Rec rec = {{"260", "  ", "", {{'b', "中华书局出版社有限公司"}, {'c', "2024"}}}};
  qtest::writeFile(dir / "one.xml", marcxml({rec}));
  std::string clean = qtest::readFile(yazIso(dir, dir / "one.xml", "marc8"));
  clean[9] = ' ';  // not flagged as Unicode: yaz applies MARC-8 when reading
  size_t run = clean.find("\x1B$1");
  size_t runEnd = clean.find("\x1B(B", run);
  ASSERT_NE(run, std::string::npos);
  ASSERT_NE(runEnd, std::string::npos);
  run += 3;
  struct Case {
    const char* what;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"a byte lost from the second code", clean.substr(0, run + 4) + clean.substr(run + 5), "中书局出版社有限公司"},
      {"a blank inside the second code", clean.substr(0, run + 4) + " " + clean.substr(run + 4), "中 书局出版社有限公司"},
      {"the last code cut short", clean.substr(0, runEnd - 1) + clean.substr(runEnd), "中华书局出版社有限公"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The one field's length and the record length follow the change.
    std::string& b = c.bytes;
    size_t base = b.find('\x1E') + 1;
    std::string length = std::to_string(10000 + b.size() - base - 1).substr(1);
    b.replace(27, 4, length);
    b.replace(0, 5, std::to_string(100000 + b.size()).substr(1));
    qtest::writeFile(dir / "broken.marc8", b);
    std::string lines = yazLines(dir / "broken.marc8", "marc8", dir);
    size_t from = lines.find("$b "), to = lines.find(" $c");
    ASSERT_NE(from, std::string::npos) << lines;
    EXPECT_EQ(lines.substr(from + 3, to - from - 3), c.expected) << "yaz-marcdump";

    CMarc m;
    m.SetContent(textOf(widen(b, -2)).c_str());
    CField f = m.GetField(1);
    CSubField s = f.GetSubFld(u"b", 0);
    ASSERT_EQ(s.IsNull(), 0);
    char16_t buf[64];
    ASSERT_EQ(s.GetContent(buf, 64, 1), 1);
    EXPECT_EQ(u8(buf), c.expected) << "ours";
  }
}
