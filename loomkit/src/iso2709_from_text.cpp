// A record object to ISO 2709 (UTF-16), and the plain exports that go on to bytes.
#include <loomkit/Field.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <loomkit/SubField.h>

#include "iso2709_internal.h"

#include <cstring>
#include <vector>

namespace loomkit::iso2709 {
namespace {

char16_t unescaped(char16_t c) {
  switch (c) {
    case 0x11: return u' ';
    case 0x12: return u'&';
    case 0x13: return u'<';
    case 0x14: return u'>';
    case 0x15: return u'"';
    case 0x16: return u'\'';
  }
  return c;
}

// Content never breaks the record's frame: its frame characters are written as blanks, as the
// reader blanks control bytes.
void appendContent(u16& out, u16v text) {
  for (char16_t c : text) out.push_back(breaksFrame(c) ? u' ' : c);
}

// Leader and tags must keep one byte per character in every byte form, or the directory
// and the base address no longer point at the data: a character outside ASCII becomes "?"
// (as a code page writes what it cannot hold), a frame character a blank. The escape
// characters stand for ASCII and stay.
void makeAscii(u16& text) {
  for (char16_t& c : text) {
    if (breaksFrame(c)) c = u' ';
    else if (c > 0x7F) c = u'?';
  }
}

struct FieldData {
  u16 tag;   // exactly 3 ASCII units
  u16 data;  // without its terminator
};

// A field's data as ISO 2709 holds it (escaped as the record stores it), cut at 9,990 units.
FieldData readField(CField& field) {
  FieldData f;
  f.tag = field.GetName();
  f.tag.resize(3, u' ');  // a short tag would shift every later directory entry
  makeAscii(f.tag);
  if (isControlTag(f.tag)) {
    u16 text = field.FieldText(0);
    if (!text.empty() && text.back() == kFieldEnd) text.pop_back();
    appendContent(f.data, text);
  } else {
    u16 indicator;
    field.ReadIndicator(indicator, 0);
    appendContent(f.data, indicator);
    f.data += field.SubfieldsIsoText();  // frame characters in codes and texts already blanked
  }
  if (f.data.size() >= kFieldCut) {
    size_t keep = kFieldCut;
    if (isHighSurrogate(f.data[keep - 1])) --keep;
    f.data.resize(keep);
  }
  return f;
}

}  // namespace

u16 jineiToIso(CMarc& marc) {
  if (marc.IsNull()) return u16();
  int32_t count = marc.GetFieldCount();
  if (count < 1) return u16();
  CField header = marc.GetField(0);
  if (header.IsNull() || u16v(header.GetName()) != u"000") return u16();

  // The header's text (not its terminator), padded with "0" or cut to the 24 leader places.
  u16 leader = header.FieldText(0);
  if (!leader.empty() && leader.back() == kFieldEnd) leader.pop_back();
  // A record with no leader at all would go out with a leader of zeros: write none.
  if (leader.empty()) return u16();
  leader.resize(kLeaderLength, u'0');
  makeAscii(leader);

  std::vector<FieldData> fields;
  fields.reserve(size_t(count - 1));
  size_t total = kLeaderLength + 1 + 1;  // leader, directory end, record end
  for (int32_t i = 1; i < count; ++i) {
    CField f = marc.GetField(i);
    if (f.IsNull()) continue;
    fields.push_back(readField(f));
    total += kEntryLength + fields.back().data.size() + 1;
  }
  // The length column has five digits: trailing fields go, whole, until the record fits.
  while (total > kMaxRecord && !fields.empty()) {
    total -= kEntryLength + fields.back().data.size() + 1;
    fields.pop_back();
  }

  size_t base = kLeaderLength + kEntryLength * fields.size() + 1;
  u16 rec;
  rec.reserve(total);
  rec += leader;
  size_t start = 0;
  for (const FieldData& f : fields) {
    rec += f.tag;
    rec.append(9, u'0');
    putDigits(rec, rec.size() - 9, f.data.size() + 1, 4);
    putDigits(rec, rec.size() - 5, start, 5);
    start += f.data.size() + 1;
  }
  rec.push_back(kFieldEnd);
  for (const FieldData& f : fields) {
    rec += f.data;
    rec.push_back(kFieldEnd);
  }
  rec.push_back(kRecordEnd);
  putDigits(rec, 0, rec.size(), 5);
  putDigits(rec, 12, base, 5);
  for (char16_t& c : rec) c = unescaped(c);
  return rec;
}

}  // namespace loomkit::iso2709

namespace iso = loomkit::iso2709;

int32_t CMarcFile::Jinei2Iso(CMarc& marc, char16_t* output, int32_t size) {
  if (!output || size <= 0) return 0;
  iso::u16 rec = iso::jineiToIso(marc);
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
    std::vector<char16_t> iso(100000);
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
