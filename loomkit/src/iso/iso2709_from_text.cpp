// A record object to ISO 2709 (UTF-16), and the plain exports that go on to bytes.
#include <loomkit/Field.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <loomkit/RecordText.h>
#include <loomkit/SubField.h>
#include <platform/codepage.h>
#include <platform/words.h>
#include <xml/escape.h>
#include <xml/tree.h>

#include "iso2709_internal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace loomkit::iso2709 {
namespace {

using xml::NodeType;
using xml::WalkStep;
using Steps = xml::TreeWalk;

// One unit of content as it goes out: the frame characters (U+0000, U+001D-U+001F) as blanks,
// as the reader blanks control bytes, so that content never breaks the record's frame; then
// the content escape undone (U+0011-U+0016 back to blank & < > " ').
constexpr char16_t outControl(char16_t c) { return breaksFrame(c) ? u' ' : xml::contentUnescape(c); }

// outControl() of every unit below U+0020, looked up rather than branched on.
constexpr std::array<char16_t, 0x20> kOutControls = [] {
  std::array<char16_t, 0x20> t{};
  for (char16_t c = 0; c < t.size(); ++c) t[c] = outControl(c);
  return t;
}();

// The same for a control field's text, which no subfield splits: a delimiter in it is written
// as it stands (danMARC records carry subfields in 001, 004 and 008, LC records code 007 so).
constexpr std::array<char16_t, 0x20> kControlFieldControls = [] {
  std::array<char16_t, 0x20> t = kOutControls;
  t[kDelimiter] = kDelimiter;
  return t;
}();

inline char16_t outUnit(char16_t c) { return c < 0x20 ? kOutControls[c] : c; }

void appendContent(u16& out, u16v text, const char16_t* controls) {
  platform::words::appendMappedBelow(out, text, 0x20, [controls](char16_t c) { return c < 0x20 ? controls[c] : c; });
}

// Where a record's characters go: UTF-16 units, or bytes of a code page (ByteSink, below).
// `controls` maps the units below U+0020 of the content.
struct UnitSink {
  u16& out;
  const char16_t* controls = kOutControls.data();
  void content(u16v text) { appendContent(out, text, controls); }
  void delimiter() { out.push_back(kDelimiter); }
};

// A record's nodes as the walk gives them, in one list per thread that keeps its room from
// record to record.
const Steps& walkRecord(const xml::Node& root) {
  thread_local Steps steps;
  steps.walk(root);
  return steps;
}

bool holdsChildren(const WalkStep& n) { return n.type == NodeType::Element || n.type == NodeType::Document; }

// The step of the first child of the node at `n` (which has one).
size_t firstChild(const Steps& s, size_t n) { return n + 1 + s[n].attributes; }

// All character data below the node at `n` (text and CDATA, in document order), or the
// node's own value when it holds no children, as content.
template <class Sink>
void appendText(Sink& out, const Steps& s, size_t n) {
  if (!holdsChildren(s[n])) return out.content(s[n].value());
  for (size_t i = n + 1, end = n + s[n].size; i < end; ++i)
    if (s[i].type == NodeType::Text || s[i].type == NodeType::CData) out.content(s[i].value());
}

void appendText(u16& out, const Steps& s, size_t n) {
  UnitSink sink{out};
  appendText(sink, s, n);
}

// A subfield's code: its first attribute's value, empty without one.
u16v firstAttribute(const Steps& s, size_t n) {
  return s[n].type == NodeType::Element && s[n].attributes ? s[n + 1].value() : u16v();
}

// The tag a field goes by: its first attribute's value, "000" (the header's) without one.
u16v fieldName(const Steps& s, size_t n) {
  return s[n].type == NodeType::Element && s[n].attributes ? s[n + 1].value() : u16v(u"000");
}

// No children, or a text first: then the element holds no subfields or fields.
bool holdsEntries(const Steps& s, size_t n) {
  return s[n].children && s[firstChild(s, n)].type != NodeType::Text;
}

// Subfields below the field at `field` in document order, groups entered: each element that
// is no group is a subfield, with all character data below it; text between them is not data.
template <class Sink>
void appendSubfields(Sink& out, const Steps& s, size_t field) {
  size_t subfieldEnd = 0;  // the step past the subfield being written
  for (size_t i = firstChild(s, field), end = field + s[field].size; i < end; ++i) {
    const WalkStep& c = s[i];
    if (i < subfieldEnd) {
      if (c.type == NodeType::Text || c.type == NodeType::CData) out.content(c.value());
    } else if (c.type == NodeType::Element && c.name() != u"group") {
      out.delimiter();
      out.content(firstAttribute(s, i));
      subfieldEnd = i + c.size;
    }
  }
}

// Leader and tags must keep one byte per character in every byte form, or the directory
// and the base address no longer point at the data: a character outside ASCII becomes "?"
// (as a code page writes what it cannot hold), a frame character a blank. The escape
// characters stand for ASCII and stay.
char16_t asciiUnit(char16_t c) { return c > 0x7F ? u'?' : outUnit(c); }

struct Entry {
  char16_t tag[3];
  size_t length;  // with the field terminator
};

}  // namespace

// The record's nodes are read from the walk's steps: a handle per field and subfield, and a
// string per piece of text, cost more than the writing itself.
u16 jineiToIso(const xml::Node& root) {
  const Steps& s = walkRecord(root);
  if (s.empty() || !holdsEntries(s, 0)) return u16();
  const size_t header = firstChild(s, 0);
  if (fieldName(s, header) != u"000") return u16();

  // The header's text, padded with "0" or cut to the 24 leader places.
  u16 rec;
  // Most records fit at once; the rest grow from there.
  rec.reserve(4096);
  appendText(rec, s, header);
  // A record with no leader at all would go out with a leader of zeros: write none.
  if (rec.empty()) return u16();
  rec.resize(kLeaderLength, u'0');
  for (char16_t& c : rec) c = asciiUnit(c);

  // Room for the directory, then the fields' data straight after it.
  const size_t count = s[0].children - 1;
  std::vector<Entry> entries(count);
  rec.resize(kLeaderLength + kEntryLength * count + 1, u'0');
  rec.back() = kFieldEnd;
  size_t dataAt = rec.size();
  for (size_t i = 0, f = header + s[header].size; i < count; ++i, f += s[f].size) {
    Entry& e = entries[i];
    u16v name = fieldName(s, f);
    for (size_t k = 0; k < 3; ++k) e.tag[k] = k < name.size() ? asciiUnit(name[k]) : u' ';
    size_t start = rec.size();
    // Control tags: the first two characters "00" or "-0" (after the tag is made ASCII; the
    // escape characters are not digits either way).
    bool control = (e.tag[0] == u'0' || e.tag[0] == u'-') && e.tag[1] == u'0';
    if (control) {
      UnitSink sink{rec, kControlFieldControls.data()};
      appendText(sink, s, f);
    } else {
      if (s[f].type == NodeType::Element && s[f].attributes >= 2) appendContent(rec, s[f + 2].value(), kOutControls.data());
      if (holdsEntries(s, f)) {
        UnitSink sink{rec};
        appendSubfields(sink, s, f);
      }
    }
    if (rec.size() - start >= kFieldCut) {
      size_t keep = kFieldCut;
      if (isHighSurrogate(rec[start + keep - 1])) --keep;
      rec.resize(start + keep);
    }
    rec.push_back(kFieldEnd);
    e.length = rec.size() - start;
  }
  rec.push_back(kRecordEnd);

  // The length column has five digits: trailing fields go, whole, until the record fits.
  size_t kept = count;
  size_t total = rec.size();
  while (total > kMaxRecord && kept > 0) {
    --kept;
    total -= kEntryLength + entries[kept].length;
  }
  if (kept < count) {
    size_t dataLength = 0;
    for (size_t i = 0; i < kept; ++i) dataLength += entries[i].length;
    rec.resize(dataAt + dataLength);
    rec.push_back(kRecordEnd);
    rec.erase(kLeaderLength + kEntryLength * kept, kEntryLength * (count - kept));
  }

  size_t start = 0;
  for (size_t i = 0; i < kept; ++i) {
    char16_t* d = rec.data() + kLeaderLength + kEntryLength * i;
    d[0] = entries[i].tag[0], d[1] = entries[i].tag[1], d[2] = entries[i].tag[2];
    putDigits(rec, kLeaderLength + kEntryLength * i + 3, entries[i].length, 4);
    putDigits(rec, kLeaderLength + kEntryLength * i + 7, start, 5);
    start += entries[i].length;
  }
  putDigits(rec, 0, rec.size(), 5);
  putDigits(rec, 12, kLeaderLength + kEntryLength * kept + 1, 5);
  return rec;
}

namespace {

// Content straight into bytes of code page 936 or UTF-8, piece by piece, written at `used`
// into the room. Below 20 a byte is one character in both forms, so the content escape is
// undone and the frame characters are blanked on the bytes. `ok` goes false where the pieces
// would not give what the whole record's conversion gives: a character the table lacks, or a
// surrogate at a piece's edge (UTF-8 joins a pair that two pieces split).
struct ByteSink {
  static constexpr size_t kShortPiece = 8;
  static bool isAscii(u16v text) {
    char16_t all = 0;
    for (char16_t c : text) all |= c;
    return all < 0x80;
  }

  Room& out;
  int codePage;
  size_t used;
  size_t units;  // the UTF-16 record's length so far
  bool ok = true;
  const char16_t* controls = kOutControls.data();  // as UnitSink's

  char* room(size_t bytes) { return out.reserve(used + bytes, used) + used; }
  void content(u16v text) {
    if (!ok || text.empty()) return;
    if (isLowSurrogate(text.front()) || isHighSurrogate(text.back())) {
      ok = false;
      return;
    }
    char* const at = room(text.size() * 3);
    // A short piece in ASCII (a code, an indicator, a number) is its own bytes in UTF-8: it
    // goes out here, unit by unit, rather than through the converter.
    if (codePage == 65001 && text.size() <= kShortPiece && isAscii(text)) {
      for (size_t k = 0; k < text.size(); ++k) at[k] = char(text[k] < 0x20 ? controls[text[k]] : text[k]);
      used += text.size();
      units += text.size();
      return;
    }
    char* const end = platform::narrowByTable(codePage, text, at);
    if (!end) {
      ok = false;
      return;
    }
    // A word at a time while none of its bytes is below 20.
    const char16_t* const map = controls;
    platform::words::mapBelow(at, size_t(end - at), char(0x20),
                              [map](char c) { return uint8_t(c) < 0x20 ? char(map[uint8_t(c)]) : c; });
    used += size_t(end - at);
    units += text.size();
  }
  void put(char c) {
    *room(1) = c;
    ++used;
    ++units;
  }
  void delimiter() { put(char(kDelimiter)); }
};

}  // namespace

std::string jineiToBytes(const xml::Node& root, int codePage, size_t& units) {
  const Steps& s = walkRecord(root);
  if (s.empty() || !holdsEntries(s, 0)) return {};
  const size_t header = firstChild(s, 0);
  if (fieldName(s, header) != u"000") return {};
  u16 leader;
  appendText(leader, s, header);
  if (leader.empty()) return {};
  leader.resize(kLeaderLength, u'0');

  const size_t count = s[0].children - 1;
  const size_t base = kLeaderLength + kEntryLength * count + 1;
  thread_local Room room;
  char* out = room.reserve(base + 4096, 0);
  for (size_t k = 0; k < kLeaderLength; ++k) out[k] = char(asciiUnit(leader[k]));
  out[base - 1] = char(kFieldEnd);
  ByteSink sink{room, codePage, base, base};
  size_t dataAt = 0;
  for (size_t i = 0, f = header + s[header].size; i < count; ++i, f += s[f].size) {
    const size_t entry = kLeaderLength + kEntryLength * i;
    u16v name = fieldName(s, f);
    char tag[3];
    for (size_t k = 0; k < 3; ++k) tag[k] = char(k < name.size() ? asciiUnit(name[k]) : u' ');
    const size_t start = sink.used, unitsAtStart = sink.units;
    bool control = (tag[0] == '0' || tag[0] == '-') && tag[1] == '0';
    sink.controls = control ? kControlFieldControls.data() : kOutControls.data();
    if (control) {
      appendText(sink, s, f);
    } else {
      if (s[f].type == NodeType::Element && s[f].attributes >= 2) sink.content(s[f + 2].value());
      if (holdsEntries(s, f)) appendSubfields(sink, s, f);
    }
    // A field to cut, in characters or in bytes, goes the long way.
    if (!sink.ok || sink.units - unitsAtStart >= kFieldCut || sink.used - start >= kFieldCut) return {};
    sink.put(char(kFieldEnd));
    const size_t length = sink.used - start;
    out = room.data();  // the room may have moved
    std::memcpy(out + entry, tag, 3);
    putDigits(out, entry + 3, length, 4);
    putDigits(out, entry + 7, dataAt, 5);
    dataAt += length;
  }
  sink.put(char(kRecordEnd));
  // So does a record past the length column.
  if (sink.used > kMaxRecord) return {};
  out = room.data();
  putDigits(out, 0, sink.used, 5);
  putDigits(out, 12, base, 5);
  units = sink.units;
  return std::string(out, sink.used);
}

}  // namespace loomkit::iso2709

namespace iso = loomkit::iso2709;

int32_t CMarcFile::Jinei2Iso(CMarc& marc, char16_t* output, int32_t size) {
  if (!output || size <= 0) return 0;
  iso::u16 rec = iso::jineiToIso(marc.root);
  if (rec.empty() || rec.size() + 1 > size_t(size)) return 0;
  std::memcpy(output, rec.data(), rec.size() * sizeof(char16_t));
  output[rec.size()] = 0;
  return int32_t(rec.size());
}

namespace {

// The body of both exports. The output holds at most 100,000 bytes (50,000 UTF-16 units);
// nothing is thrown out of it.
int32_t outMarc(const char16_t* text, int32_t codePage, int32_t markerFlag, void* output) {
  if (!text || !output) return 0;
  try {
    CMarc marc;
    marc.SetContent(text);
    CMarcFile file;
    file.SetAttributeEx(codePage, 0, markerFlag);
    std::vector<char16_t> iso(loomkit::kRecordBufferSize);
    if (file.Jinei2Iso(marc, iso.data(), int32_t(iso.size())) <= 0) return 0;
    return file.CvtCharset(iso.data(), static_cast<char16_t*>(output), 50000);
  } catch (...) {
    return 0;
  }
}

}  // namespace

extern "C" int32_t OutMarc(const char16_t* text, int32_t codePage, int32_t markerFlag, void* output) {
  return outMarc(text, codePage, markerFlag, output);
}

int32_t OutMarc0(const char16_t* text, int32_t codePage, int32_t markerFlag, void* output) {
  return outMarc(text, codePage, markerFlag, output);
}
