// A byte record read into a CMarc is built straight into its tree; these tests hold that tree
// to the one the record's text gives when it is written out and parsed back.
#include <loomkit/CvtCode.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/text.h>
#include <xml/dom.h>

#include "../../src/files/iso2709_file_internal.h"
#include "../../src/iso/iso2709_internal.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace files_test;
namespace iso = loomkit::iso2709;

namespace {

std::string u8(const u16& s) { return platform::toUtf8(s); }

// A UTF-16 record from raw pieces: the leader, directory entries and field data as given,
// so that broken directories can be written too.
u16 raw(const u16& leader, const std::vector<u16>& entries, const std::vector<u16>& data, bool terminated = true) {
  u16 r = leader;
  for (const u16& e : entries) r += e;
  if (terminated) r += u'\x1E';
  for (const u16& d : data) r += d + u'\x1E';
  return r + u'\x1D';
}

// A record with a sound directory over `fields` (tag, data).
u16 sound(const std::vector<Field>& fields, const u16& leader = u"01234nam  2200025   4500") {
  std::vector<u16> entries, data;
  size_t start = 0;
  for (const Field& f : fields) {
    entries.push_back(f.tag + platform::format(u"%04d%05d", int(f.data.size() + 1), int(start)));
    data.push_back(f.data);
    start += f.data.size() + 1;
  }
  return raw(leader, entries, data);
}

struct Shape {
  const char* what;
  u16 record;
};

std::vector<Shape> shapes() {
  const u16 big(12000, u'\u4E2D');
  std::vector<Field> many;
  for (int i = 0; i < 40; ++i) many.push_back({u"300", u"  \x1F" u"a" + u16(3000, u'x')});
  return {
      {"plain", sound({{u"001", u"id1"}, {u"200", u"1 \x1F" u"a题名\x1F" u"f著者"}})},
      {"control characters", sound({{u"001", u"a\x01\tb\n\rc\x1B"}, {u"200", u"\x02\x1F" u"a\x1A" u"b\x1B(B"}})},
      {"XML characters everywhere",
       sound({{u"0<&", u"&<>\"' x"}, {u"2\"'", u"<&\x1F" u"&<>\"'\x1F\"q"}}, u"0<&>\"'am  2200025   4500")},
      {"blank and empty data",
       sound({{u"001", u""}, {u"002", u"   "}, {u"200", u""}, {u"210", u"  "}, {u"300", u"  \x1F"}})},
      {"empty subfields", sound({{u"200", u"  \x1F\x1F\x1F" u"a\x1F\x1F" u"b \x1F"}, {u"210", u"\x1F"}})},
      {"indicators of odd lengths",
       sound({{u"200", u"\x1F" u"ax"}, {u"201", u"1\x1F" u"ax"}, {u"202", u"123\x1F" u"ax"}, {u"203", u"no delimiter"}})},
      {"control field tags", sound({{u"00", u"short"}, {u"-01", u"minus"}, {u"009", u"\x1F" u"a kept"}, {u"0", u"x"}})},
      {"surrogates", sound({{u"200", u"  \x1F" u"a\U00020000\xD800x\xDC00"}})},
      {"field past the cut", sound({{u"330", u"  \x1F" u"a" + big}, {u"001", big}})},
      {"text past the budget", sound(many)},
      {"directory out of order",
       raw(u"01234nam  2200025   4500", {u"200000300004", u"001000400000"}, {u"id1", u"  \x1F" u"ab"})},
      {"directory longer than the data",
       raw(u"01234nam  2200025   4500", {u"001000400000", u"200000300004", u"300000300008"}, {u"id1"})},
      {"directory one short", u"01234nam  2200025   4500" u"00100040000" u"\x1E" u"id1\x1E\x1D"},
      {"no directory end", u"01234nam  2200025   4500" u"001000400000id1\x1D"},
      {"short leader", u"0123"},
      {"empty", u""},
  };
}

// Every node below `n` with its type, name, value and attributes, one a line: unlike the
// serialised text this tells an empty text node from none.
std::string outline(const xml::Node& n, int depth = 0) {
  std::string s = std::string(size_t(depth), ' ') + std::to_string(int(n.type())) + " " + u8(n.name()) + "=" +
                  u8(n.value());
  if (n.type() == xml::NodeType::Element)
    for (size_t i = 0; i < n.attributeCount(); ++i)
      s += " @" + u8(n.attributeAt(i).name()) + "=" + u8(n.attributeAt(i).value());
  s += "\n";
  for (size_t i = 0; i < n.childCount(); ++i) s += outline(n.child(i), depth + 1);
  return s;
}

}  // namespace

// The tree built from a record is the very tree its text parses to, at every capacity that
// cuts the text somewhere (and none), with the same length answered.
TEST(TreeRoute, SameTreeAsTheTextGives) {
  const std::vector<size_t> capacities = {iso::kNoLimit, 128000, 20, 47, 48, 60, 75, 90, 120, 160, 400, 9000};
  for (const Shape& s : shapes()) {
    u16 rec = s.record;
    loomkit::files::blankControls(rec.data(), rec.size());  // as the file reader hands records on
    for (size_t capacity : capacities) {
      SCOPED_TRACE(std::string(s.what) + " at capacity " + std::to_string(capacity));
      u16 text = iso::isoToJinei(rec, capacity);
      xml::Document parsed = xml::Document::create(), built = xml::Document::create();
      ASSERT_TRUE(built.loadXml(u"<old/>"));
      size_t n = iso::isoToTree(rec, capacity, built);
      EXPECT_EQ(n, text.size());
      if (text.empty()) {
        EXPECT_EQ(built.xml(), u"<old/>");  // left as it was
        continue;
      }
      ASSERT_TRUE(parsed.loadXml(text)) << u8(text);
      EXPECT_EQ(u8(built.xml()), u8(parsed.xml()));
      EXPECT_EQ(outline(built.asNode()), outline(parsed.asNode()));
    }
  }
}

namespace {

std::string eacc(char16_t c) {
  CCvtCode codes(u"Codes");
  char b[3] = {};
  EXPECT_EQ(codes.Unicode2Eacc(&c, b), 3);
  return std::string(b, 3);
}

// Every record of a file, read through its text into a CMarc and straight into a CMarc, then
// backwards the same two ways: the same contents, lengths and positions.
void expectSameReads(const std::string& bytes) {
  File a(bytes), b(bytes);
  platform::CFile fa(a.fd()), fb(b.fd());
  CMarcFile ta, tb;
  std::vector<char16_t> buf(128000);
  auto content = [&](CMarc& m) {
    std::vector<char16_t> out(256000);
    return m.GetContent(out.data(), int32_t(out.size())) ? u16(out.data()) : u16(u"<none>");
  };
  // One step both ways; false at the end.
  CMarc direct;  // one record object throughout, as a reader loops with it
  auto step = [&](bool backwards) {
    CMarc viaText;
    int32_t n = backwards ? ta.ReadPrevRecord(buf.data(), int32_t(buf.size()), a.fd())
                          : ta.ReadFromIso2709(buf.data(), int32_t(buf.size()), fa);
    if (n > 0) viaText.SetContent(u16(buf.data(), size_t(n)).c_str());
    int32_t m = backwards ? tb.ReadPrevRecord(direct, fb) : tb.ReadFromIso2709(direct, fb);
    EXPECT_EQ(m, n);
    EXPECT_EQ(b.position(), a.position());
    if (n < 0 || m < 0) return false;
    EXPECT_EQ(u8(content(direct)), u8(content(viaText)));
    return true;
  };
  int records = 0;
  for (;; ++records) {
    SCOPED_TRACE("record " + std::to_string(records));
    if (!step(false)) break;
  }
  EXPECT_GT(records, 0);
  for (int k = 0; k <= records; ++k) {
    SCOPED_TRACE("backwards " + std::to_string(k));
    if (!step(true)) break;
  }
}

}  // namespace

TEST(TreeRoute, FileReadsMatchTextReads) {
  const u16 zh = u"中文题名\u00B7";
  const std::vector<Field> awkward = {
      {u"001", u"a\x01\tb&<c"}, {u"005", u""}, {u"200", u"1\x1F" u"a" + zh + u"\x1F\x1F" u"b\x1F"},
      {u"210", u"\x1F" u"c<>&\"'"}, {u"300", u"12 \x1F" u"a\r\n"}, {u"301", u"no subfields"}};
  std::string run = "\x1B$1" + eacc(u'中') + "\x1B(B";
  const std::vector<Field> eaccFields = {{u"001", u"e1"}, {u"200", u"  \x1F" u"ax" + u16(run.begin(), run.end()) + u"y"}};
  struct Form {
    const char* what;
    std::string bytes;
  };
  const std::vector<Form> forms = {
      {"GBK", record(awkward, 936) + simple(u"2", zh, 936) + record(awkward, 936)},
      {"UTF-8", record(awkward, 65001) + simple(u"2", zh, 65001)},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + record(awkward, 65001) + simple(u"2", zh, 65001)},
      {"ASCII, then GBK", simple(u"1", u"A", 0) + record(awkward, 936)},
      {"EACC", record(eaccFields, 0) + record(awkward, 0) + record(eaccFields, 0)},
      {"stray escape", record({{u"200", u"  \x1F" u"a\x1B" u"x"}}, 0)},
      {"UTF-16", "\xFF\xFE" + record(awkward, -1) + record(awkward, -1)},
      {"broken directory", simple(u"1", u"A", 936) + simple(u"2", u"B", 936).substr(0, 50) + "\x1E\x1D"},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.what);
    expectSameReads(f.bytes);
  }
}

// Reading into a record object that already holds a tree reuses that tree's nodes; a field a
// handle still holds keeps its content, and so do the records read after it.
TEST(TreeRoute, HeldFieldsKeepTheirContent) {
  File f(record({{u"001", u"one"}, {u"200", u"1 \x1F" u"a甲\x1F" u"b乙"}, {u"300", u"  \x1F" u"a丙"}}, 936) +
         record({{u"001", u"two"}, {u"200", u"  \x1F" u"x丁"}}, 936) + simple(u"3", u"戊", 936));
  platform::CFile file(f.fd());
  CMarcFile m;
  CMarc marc;
  auto text = [](CField field) {
    std::vector<char16_t> buf(1000);
    return field.GetContent(buf.data(), int32_t(buf.size()), 0) ? u8(buf.data()) : std::string("<none>");
  };
  ASSERT_GT(m.ReadFromIso2709(marc, file), 0);
  CField title = marc.GetField(u"200", 0), note = marc.GetField(u"300", 0);
  const std::string titleText = text(title), noteText = text(note);
  EXPECT_NE(titleText.find("甲"), std::string::npos);
  ASSERT_GT(m.ReadFromIso2709(marc, file), 0);
  EXPECT_NE(text(marc.GetField(u"200", 0)).find("丁"), std::string::npos);
  EXPECT_EQ(marc.GetFieldCount(), 3);  // the header, 001 and 200
  ASSERT_GT(m.ReadFromIso2709(marc, file), 0);
  EXPECT_NE(text(marc.GetField(u"245", 0)).find("戊"), std::string::npos);
  EXPECT_EQ(text(title), titleText);
  EXPECT_EQ(text(note), noteText);
}

// A record is built over whatever the document held: an instruction and a comment before the
// old root go, and nodes that handles hold (an attribute, a text deep inside, a whole field)
// keep their values and stand alone, while the new tree is the one the record's text gives.
TEST(TreeRoute, BuildsOverAnyOldTree) {
  const u16 rec = sound({{u"001", u"id1"}, {u"200", u"1 \x1F" u"a题名\x1F" u"f著者"}, {u"300", u"  \x1F" u"ax"}});
  xml::Document doc = xml::Document::create(), parsed = xml::Document::create();
  ASSERT_TRUE(parsed.loadXml(iso::isoToJinei(rec, iso::kNoLimit)));
  ASSERT_TRUE(doc.loadXml(u"<?xml version=\"1.0\"?><!--c--><old a=\"1\"><x>t</x><field name=\"9\">u<sf/></field></old>"));
  xml::Node root = doc.documentElement();
  xml::Node attr = root.attributeAt(0), text = root.child(0).child(0), field = root.child(1);
  root = xml::Node();
  ASSERT_GT(iso::isoToTree(rec, iso::kNoLimit, doc), 0u);
  EXPECT_EQ(u8(doc.xml()), u8(parsed.xml()));
  EXPECT_EQ(outline(doc.asNode()), outline(parsed.asNode()));
  EXPECT_EQ(u8(attr.value()), "1");
  EXPECT_EQ(u8(text.value()), "t");
  EXPECT_TRUE(text.parent().isNull());
  EXPECT_TRUE(field.parent().isNull());
  EXPECT_EQ(u8(field.xml()), "<field name=\"9\">u<sf/></field>");
  // A longer record, then a shorter one, into the same document.
  const u16 shorter = sound({{u"001", u"id2"}});
  ASSERT_GT(iso::isoToTree(rec, iso::kNoLimit, doc), 0u);
  ASSERT_GT(iso::isoToTree(shorter, iso::kNoLimit, doc), 0u);
  ASSERT_TRUE(parsed.loadXml(iso::isoToJinei(shorter, iso::kNoLimit)));
  EXPECT_EQ(outline(doc.asNode()), outline(parsed.asNode()));
}
