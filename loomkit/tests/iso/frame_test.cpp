// What the ISO 2709 writer and reader keep whole: grouped subfields, the record's frame
// against content that holds its terminators, tags and leaders outside ASCII, record text
// that always loads, a directory one character short.
#include "iso_support.h"

#include <loomkit/Field.h>
#include <loomkit/Group.h>

using namespace isotest;
using namespace std::string_literals;

namespace {

const u16 kHeader = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>";

u16 isoOfRecord(CMarc& m) {
  std::vector<char16_t> out(200000);
  CMarcFile f;
  int32_t n = f.Jinei2Iso(m, out.data(), int32_t(out.size()));
  return n > 0 ? u16(out.data(), size_t(n)) : u16();
}

// The data of each field of a UTF-16 record, after checking every column.
std::vector<u16> fieldData(const u16& iso) {
  auto r = isocheck::check(iso);
  return r.data;
}

// A field element, and its data as written.
struct FieldCase {
  const char* what;
  u16 field;
  u16 written;
};

const u16 kAfter = u"<field name=\"300\" indicator=\"\x11\x11\"><sf name=\"a\">after</sf></field>";

// The record of the case's field and kAfter, written; checks that both fields are there,
// whole.
u16 isoOfCase(const FieldCase& c) {
  CMarc m;
  m.SetContent((kHeader + c.field + kAfter + u"</marc>").c_str());
  EXPECT_EQ(m.IsNull(), 0);
  u16 iso = isoOfRecord(m);
  EXPECT_EQ(fieldData(iso), (std::vector<u16>{c.written, u"  \x1F" u"aafter"}));
  return iso;
}

const u16 kGroupedIso = u"1 \x1F" u"aA1\x1F" u"eE1\x1F" u"fF1\x1F" u"aA2\x1F" u"gG2";

}  // namespace

TEST(Jinei2Iso, GroupedSubfieldsAreWrittenWithTheirCodesInOrder) {
  const u16 flat = kHeader + u"<field name=\"210\" indicator=\"1\x11\"><sf name=\"a\">A1</sf><sf name=\"e\">E1</sf>"
                   u"<sf name=\"f\">F1</sf><sf name=\"a\">A2</sf><sf name=\"g\">G2</sf></field></marc>";

  {  // Written while a handle holds the field grouped; the grouping outlives the write.
    CMarc m;
    m.SetContent(flat.c_str());
    CField f = m.GetField(1);
    ASSERT_EQ(f.SetGroupStatus(u"a"), 1);
    ASSERT_EQ(f.GetSGCount(), 2);
    EXPECT_EQ(fieldData(isoOfRecord(m)), std::vector<u16>{kGroupedIso});
    EXPECT_EQ(f.GetSGCount(), 2) << "writing neither flattens nor regroups";
  }
  {  // Built with AddGroup and AddSubFld, after a subfield outside any group.
    CMarc m;
    m.SetContent((kHeader + u"<field name=\"210\" indicator=\"1\x11\"><sf name=\"a\">A1</sf></field></marc>").c_str());
    CField f = m.GetField(1);
    CGroup g = f.AddGroup();
    g.AddSubFld(u"e", u"E1");
    g.AddSubFld(u"f", u"F1");
    CGroup h = f.AddGroup();
    h.AddSubFld(u"a", u"A2");
    h.AddSubFld(u"g", u"G2");
    f.AddGroup();  // an empty group writes nothing
    EXPECT_EQ(fieldData(isoOfRecord(m)), std::vector<u16>{kGroupedIso});
  }
  {  // A grouped handle added to another record carries its groups there.
    CMarc source;
    source.SetContent(flat.c_str());
    CField f = source.GetField(1);
    ASSERT_EQ(f.SetGroupStatus(u"a"), 1);
    CMarc m;
    m.SetContent((kHeader + u"</marc>").c_str());
    m.AddField(f);
    u16 iso = isoOfRecord(m);
    EXPECT_EQ(fieldData(iso), std::vector<u16>{kGroupedIso});
    // And back: the same record as the flat one.
    CMarc flatRecord;
    flatRecord.SetContent(flat.c_str());
    EXPECT_EQ(u8(textOf(iso)), u8(textOf(isoOfRecord(flatRecord))));
  }
  {  // OutMarc of record text that holds groups.
    const u16 grouped = kHeader + u"<field name=\"210\" indicator=\"1\x11\"><group><sf name=\"a\">A1</sf>"
                        u"<sf name=\"e\">E1</sf><sf name=\"f\">F1</sf></group><group><sf name=\"a\">A2</sf>"
                        u"<sf name=\"g\">G2</sf></group></field></marc>";
    std::vector<char> bytes(100000);
    int32_t n = OutMarc(grouped.c_str(), 65001, 0, bytes.data());
    ASSERT_GT(n, 0);
    auto r = isocheck::check(std::string(bytes.data(), size_t(n)));
    ASSERT_EQ(r.data.size(), 1u);
    EXPECT_EQ(r.data[0], u8(kGroupedIso));
  }
}

TEST(Jinei2Iso, ContentNeverBreaksTheFrame) {
  // Terminators and delimiters inside content (from record text, as references or raw, and
  // from edits) are written as blanks; every field after them survives, in every form. A
  // control field keeps its delimiters: no subfield splits it.
  const FieldCase cases[] = {
      {"control field, references", u"<field name=\"001\">a&#x1E;b&#x1D;c&#x1F;d</field>", u"a b c\x1F" u"d"},
      {"control field, raw", u"<field name=\"005\">a\x1E" u"b\x1D" u"c</field>", u"a b c"},
      {"indicator", u"<field name=\"100\" indicator=\"&#x1F;\x1E\"><sf name=\"a\">x</sf></field>", u"  \x1F" u"ax"},
      {"subfield code", u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"&#x1E;\">x</sf></field>", u"1 \x1F x"},
      {"subfield data", u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">x\x1F" u"y\x1D" u"z\x1E</sf></field>",
       u"1 \x1F" u"ax y z "},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.what);
    u16 iso = isoOfCase(c);
    for (int cp : {0, 65001, -2}) {
      std::string bytes = bytesOf(iso, cp, 3);
      auto r = isocheck::check(bytes);
      EXPECT_EQ(r.data.size(), 2u) << "code page " << cp;
    }
  }
  // The same characters given to the record by an editor or a script.
  CMarc m;
  m.SetContent((kHeader + u"<field name=\"200\" indicator=\"1\x11\"></field>" + kAfter + u"</marc>").c_str());
  CField f = m.GetField(1);
  f.AddSubFld(u"a", u"p\x1Dq\x1Er\x1Fs");
  f.InsSubFld(0, u"\x1F", u"t");
  EXPECT_EQ(fieldData(isoOfRecord(m)), (std::vector<u16>{u"1 \x1F t\x1F" u"ap q r s", u"  \x1F" u"aafter"}));
}

TEST(Jinei2Iso, TagsAndLeadersOutsideAsciiKeepTheDirectoryAligned) {
  // Each character of a tag or leader outside ASCII is written as "?", a terminator as a
  // blank: three bytes per tag and 24 per leader in every byte form.
  const u16 text = u"<marc><header>00000n中m\x11\x11" u"é200000\x11\x11\x11" u"450\x1E</header>"
                   u"<field name=\"2中0\" indicator=\"1\x11\"><sf name=\"a\">书</sf></field>"
                   u"<field name=\"00\x1E\">x</field>"
                   u"<field name=\"𠀀5\" indicator=\"\x11\x11\"><sf name=\"a\">y</sf></field>"
                   u"<field name=\"300\" indicator=\"\x11\x11\"><sf name=\"a\">last</sf></field></marc>";
  CMarc m;
  m.SetContent(text.c_str());
  u16 iso = isoOfRecord(m);
  auto wide = isocheck::check(iso);
  EXPECT_EQ(wide.leader.substr(5, 7), u"n?m  ?2");
  EXPECT_EQ(wide.leader.substr(17), u"   450 ");
  std::vector<std::string> tags;
  for (const auto& e : wide.entries) tags.push_back(e.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"2?0", "00 ", "??5", "300"}));
  for (int cp : {-2, 0, 65001}) {
    SCOPED_TRACE(cp);
    std::string bytes = bytesOf(iso, cp, 3);
    auto r = isocheck::check(bytes);
    ASSERT_EQ(r.data.size(), 4u);
    EXPECT_EQ(r.data[3], "  \x1F" "alast");
    EXPECT_EQ(r.data[1], "x");
    // Read back, every field is there with its data.
    u16 back = textOf(widen(bytes, cp));
    EXPECT_NE(back.find(u"<field name=\"300\" indicator=\"\x11\x11\"><sf name=\"a\">last</sf></field>"), u16::npos);
    EXPECT_NE(back.find(u"<sf name=\"a\">书</sf>"), u16::npos);
  }
}

TEST(Iso2Jinei, TextAlwaysLoads) {
  // A NUL in the leader, a tag or the data (a UTF-16 file can hold one) is taken as a blank.
  u16 rec = u"01234nam  2200049   4500001000400000245000700004\x1E" u"a\0b\x1E" u"1\0\x1F" u"a\0c\x1E\x1D"s;
  rec[7] = 0;
  rec[26] = 0;
  std::vector<char16_t> buf(1000), scratch(rec.size() + 1);
  std::copy(rec.begin(), rec.end(), buf.begin());
  CMarcFile f;
  int32_t n = f.Iso2Jinei(buf.data(), scratch.data(), int32_t(rec.size()), int32_t(buf.size()));
  ASSERT_GT(n, 0);
  u16 text(buf.data(), size_t(n));
  EXPECT_EQ(text, u"<marc><header>01234na\x11\x11\x11" u"2200049\x11\x11\x11" u"4500</header>"
                  u"<field name=\"00 \">a\x11" u"b</field>"
                  u"<field name=\"245\" indicator=\"1\x11\"><sf name=\"a\">\x11" u"c</sf></field></marc>");
  CMarc m;
  m.SetContent(text.c_str());
  ASSERT_EQ(m.IsNull(), 0);
  EXPECT_EQ(m.GetFieldCount(), 3);
}

TEST(Iso2Jinei, DirectoryOneCharacterShortStillPairsItsLastField) {
  // 12k+11 characters before the directory's terminator: the short entry is counted.
  const u16 whole = u"01234nam  2200049   4500001000400000245000700004\x1E" u"abc\x1E" u"10\x1F" u"ax\x1E\x1D";
  u16 shortDir = whole;
  shortDir.erase(47, 1);  // the last digit of the second entry
  for (const u16& rec : {whole, shortDir}) {
    u16 text = textOf(rec);
    EXPECT_NE(text.find(u"<field name=\"001\">abc</field><field name=\"245\" indicator=\"10\"><sf name=\"a\">x</sf></field>"),
              u16::npos)
        << u8(text);
  }
  // Ten characters short: no entry for the second field.
  u16 tenShort = whole;
  tenShort.erase(38, 10);
  EXPECT_EQ(textOf(tenShort).find(u"245"), u16::npos);
}

TEST(Jinei2Iso, UnusualTreeShapesKeepTheirData) {
  // What lies between and inside the elements of a field: comments and blanks between
  // subfields are not data, nested groups are entered and empty ones passed over, CDATA and
  // the text of elements inside a subfield are its data, escapes are undone everywhere.
  const FieldCase cases[] = {
      {"comment and blanks between subfields",
       u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">x</sf><!--note-->\n  <sf name=\"b\">y</sf></field>",
       u"1 \x1F" u"ax\x1F" u"by"},
      {"nested and empty groups",
       u"<field name=\"200\" indicator=\"1\x11\"><group/><group><sf name=\"a\">p</sf><group><sf name=\"b\">q</sf>"
       u"</group><group/></group><sf name=\"c\">r</sf></field>",
       u"1 \x1F" u"ap\x1F" u"bq\x1F" u"cr"},
      {"CDATA and elements inside a subfield",
       u"<field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">x<![CDATA[<&>]]><i>y<b>z</b></i></sf></field>",
       u"1 \x1F" u"ax<&>yz"},
      {"escapes in codes, indicator and data",
       u"<field name=\"210\" indicator=\"\x12\x13\"><sf name=\"\x14\">\x15\x16\x11</sf></field>", u"&<\x1F>\"' "},
      {"a field without indicator or subfields", u"<field name=\"300\"/>", u""},
      {"a subfield without code", u"<field name=\"300\" indicator=\"\x11\x11\"><sf>x</sf></field>",
       u"  \x1Fx"},
      {"control field with CDATA and a comment", u"<field name=\"001\">a<!--c--><![CDATA[b]]>c</field>", u"abc"},
      {"a tag of one character", u"<field name=\"7\" indicator=\"01\"><sf name=\"a\">x</sf></field>",
       u"01\x1F" u"ax"},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.what);
    isoOfCase(c);
  }
}
