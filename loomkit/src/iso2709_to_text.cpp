// ISO 2709 (UTF-16) to internal record text: the directory sort and the text writer.
#include <loomkit/MarcFile.h>

#include "iso2709_internal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace loomkit::iso2709 {
namespace {

// The content escape of field data: the blank and the five characters XML reserves become
// U+0011-U+0016. A NUL, which no XML text can hold and which would end the record text for
// every reader of it, is taken as a blank, as the file reader takes control bytes.
char16_t escaped(char16_t c) {
  switch (c) {
    case 0:
    case u' ': return 0x11;
    case u'&': return 0x12;
    case u'<': return 0x13;
    case u'>': return 0x14;
    case u'"': return 0x15;
    case u'\'': return 0x16;
  }
  return c;
}

// Appends `text` through `map`, written straight into the string's new tail.
template <class Map>
void appendMapped(u16& out, u16v text, Map map) {
  size_t at = out.size();
  out.resize(at + text.size());
  char16_t* o = out.data() + at;
  for (char16_t c : text) *o++ = map(c);
}

void appendEscaped(u16& out, u16v text) {
  // Everything above ">" is kept as it is; only the few characters below it are looked at.
  appendMapped(out, text, [](char16_t c) { return c > u'>' ? c : escaped(c); });
}

// The leader keeps its other characters raw, but "<" and "&" would end the element or start
// an entity and make the whole record text unparseable, so they get the content escape too.
void appendLeader(u16& out, u16v leader) {
  appendMapped(out, leader,
               [](char16_t c) { return c == u' ' || c == u'<' || c == u'&' || c == 0 ? escaped(c) : c; });
}

// A tag stands in an attribute value: the five XML characters are escaped, the blank is not.
void appendTag(u16& out, u16v tag) {
  appendMapped(out, tag, [](char16_t c) { return c == u' ' || c == 0 ? u' ' : escaped(c); });
}

// The first `c` in `s` from `from` on (npos when none), as u16v::find gives it, four units at
// a time: fields and subfields are looked for over every unit of a record.
size_t findUnit(u16v s, char16_t c, size_t from = 0) {
  static_assert(std::endian::native == std::endian::little, "units are read four to a word");
  constexpr uint64_t kOnes = 0x0001000100010001ull, kHighs = 0x8000800080008000ull;
  const uint64_t pattern = kOnes * c;
  size_t i = from, n = s.size();
  for (; i + 4 <= n; i += 4) {
    uint64_t w;
    std::memcpy(&w, s.data() + i, sizeof w);
    uint64_t x = w ^ pattern;  // a zero unit where `c` stands
    // The lowest flagged unit is the first zero (a borrow only flags units above one).
    uint64_t zero = (x - kOnes) & ~x & kHighs;
    if (zero) return i + size_t(std::countr_zero(zero) / 16);
  }
  for (; i < n; ++i)
    if (s[i] == c) return i;
  return u16v::npos;
}

// The 9,990-unit cut, moved back one unit rather than part a surrogate pair.
u16v cutField(u16v piece) {
  if (piece.size() <= kFieldCut) return piece;
  size_t n = kFieldCut;
  if (isLowSurrogate(piece[n]) && isHighSurrogate(piece[n - 1])) --n;
  return piece.substr(0, n);
}

constexpr u16v kOpen = u"<marc><header>";
constexpr u16v kHeaderEnd = u"</header>";
constexpr u16v kMarcEnd = u"</marc>";
constexpr u16v kFieldEndTag = u"</field>";
constexpr u16v kFieldAndMarcEnd = u"</field></marc>";
constexpr u16v kFieldOpen = u"<field name=\"";
constexpr u16v kIndicatorAttr = u"\" indicator=\"";
constexpr u16v kTagEnd = u"\">";
constexpr u16v kSubfieldOpen = u"<sf name=\"";
constexpr u16v kSubfieldEnd = u"</sf>";

// Builds the text element by element. Each element is taken only when it keeps the counted
// length within the 99,999 budget and the whole text, with the end tags it still needs and
// its NUL, within the caller's capacity; otherwise the text is closed and ends there.
class TextWriter {
 public:
  explicit TextWriter(size_t capacity) : capacity_(capacity) {}

  u16& text() { return out_; }
  void startCounting() { counted_ = out_.size(); }

  // The element written since `mark` is kept when it fits, with `closing` (what must still
  // follow once it is in); otherwise it is taken out again and the answer is false.
  bool keep(size_t mark, u16v closing) {
    size_t length = out_.size() - mark;
    bool fits = counted_ + length <= kTextBudget &&
                (capacity_ == kNoLimit || mark + length + closing.size() + 1 <= capacity_);
    if (!fits) {
      out_.resize(mark);
      return false;
    }
    counted_ += length;
    return true;
  }

 private:
  u16 out_;
  size_t counted_ = 0;
  size_t capacity_;
};

u16 textFromSorted(u16v rec, size_t capacity) {
  TextWriter w(capacity);
  u16& out = w.text();
  u16v leader = rec.substr(0, std::min(rec.size(), kLeaderLength));
  if (capacity != kNoLimit && kOpen.size() + leader.size() + kHeaderEnd.size() + kMarcEnd.size() + 1 > capacity)
    return u16();
  // Room for a usual record's text at once (its markup about doubles it).
  out.reserve(rec.size() * 3 + 256);
  out += kOpen;
  appendLeader(out, leader);
  out += kHeaderEnd;
  w.startCounting();

  size_t dirEnd = findUnit(rec, kFieldEnd);
  if (dirEnd == u16v::npos) {
    out += kMarcEnd;
    return std::move(out);
  }
  // Entries are counted up to and including the directory's terminator, so that a directory
  // one character short of whole entries still pairs its last field.
  long entries = (long(dirEnd) + 1 - long(kLeaderLength)) / long(kEntryLength);
  size_t pos = dirEnd + 1;
  for (long k = 0; k < entries; ++k) {
    size_t end = findUnit(rec, kFieldEnd, pos);
    if (end == u16v::npos) break;
    u16v piece = cutField(rec.substr(pos, end - pos));
    pos = end + 1;
    u16v tag = rec.substr(kLeaderLength + size_t(k) * kEntryLength, 3);

    size_t mark = out.size();
    out += kFieldOpen;
    appendTag(out, tag);
    if (isControlTag(tag)) {
      out += kTagEnd;
      appendEscaped(out, piece);
      out += kFieldEndTag;
      if (!w.keep(mark, kMarcEnd)) break;
      continue;
    }

    size_t delim = findUnit(piece, kDelimiter);
    u16v indicator = piece.substr(0, delim);
    if (!indicator.empty()) {
      out += kIndicatorAttr;
      appendEscaped(out, indicator);
    }
    out += kTagEnd;
    if (!w.keep(mark, kFieldAndMarcEnd)) break;

    bool cut = false;
    while (delim != u16v::npos) {
      size_t next = findUnit(piece, kDelimiter, delim + 1);
      u16v chunk = piece.substr(delim + 1, next == u16v::npos ? u16v::npos : next - delim - 1);
      bool last = next == u16v::npos;
      delim = next;
      // Two delimiters in a row give nothing; a delimiter that ends the data gives an
      // empty subfield, so that it survives the way back to ISO 2709.
      if (chunk.empty() && !last) continue;
      mark = out.size();
      out += kSubfieldOpen;
      appendEscaped(out, chunk.substr(0, 1));
      out += kTagEnd;
      if (chunk.size() > 1) appendEscaped(out, chunk.substr(1));
      out += kSubfieldEnd;
      if (!w.keep(mark, kFieldAndMarcEnd)) {
        cut = true;
        break;
      }
    }
    out += kFieldEndTag;
    if (cut) break;
  }
  out += kMarcEnd;
  return std::move(out);
}

// Start position (characters 7-11) of a 12-character directory entry.
struct Entry {
  std::array<char16_t, kEntryLength> units;
  u16v start() const { return u16v(units.data() + 7, 5); }
};

}  // namespace

bool isControlTag(u16v tag) {
  return tag.size() >= 2 && ((tag[0] == u'0' && tag[1] == u'0') || (tag[0] == u'-' && tag[1] == u'0'));
}

void sortDirectory(char16_t* record, size_t length) {
  const char16_t* end = std::find(record, record + length, kFieldEnd);
  if (end == record + length) return;
  long n = (long(end - record) - long(kLeaderLength)) / long(kEntryLength);
  if (n < 2) return;
  char16_t* dir = record + kLeaderLength;
  // Most directories are in order already, and a stable sort leaves those as they are.
  auto startAt = [&](long i) { return u16v(dir + i * kEntryLength + 7, 5); };
  long i = 1;
  while (i < n && !(startAt(i) < startAt(i - 1))) ++i;
  if (i == n) return;
  std::vector<Entry> entries(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) std::memcpy(entries[size_t(i)].units.data(), dir + i * kEntryLength, sizeof(Entry::units));
  // A bubble sort that swaps only when the first start is greater is stable: the same order
  // as a stable sort by start, without its quadratic cost on long directories.
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.start() < b.start(); });
  for (long i = 0; i < n; ++i) std::memcpy(dir + i * kEntryLength, entries[size_t(i)].units.data(), sizeof(Entry::units));
}

u16 isoToJinei(u16 record, size_t capacity) {
  sortDirectory(record.data(), record.size());
  return textFromSorted(record, capacity);
}

}  // namespace loomkit::iso2709

namespace iso = loomkit::iso2709;

int32_t CMarcFile::Iso2Jinei(char16_t* record, char16_t* scratch, int32_t recordLength, int32_t capacity) {
  if (!record || !scratch || recordLength < 0 || capacity <= 0) return 0;
  std::memmove(scratch, record, size_t(recordLength) * sizeof(char16_t));
  scratch[recordLength] = 0;
  iso::sortDirectory(scratch, size_t(recordLength));
  iso::u16 text = iso::textFromSorted(iso::u16v(scratch, size_t(recordLength)), size_t(capacity));
  if (text.empty()) return 0;
  std::memcpy(record, text.data(), text.size() * sizeof(char16_t));
  record[text.size()] = 0;
  return int32_t(text.size());
}

void CMarcFile::SortDirectory(char16_t* record) {
  if (!record) return;
  size_t n = 0;
  while (record[n]) ++n;
  iso::sortDirectory(record, n);
}
