// ISO 2709 (UTF-16) to internal record text: the directory sort and the text writer.
#include <loomkit/MarcFile.h>
#include <platform/words.h>
#include <xml/escape.h>
#include <xml/tree.h>

#include "iso2709_internal.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace loomkit::iso2709 {
namespace {

// The content escape of field data: the blank and the five characters XML reserves become
// U+0011-U+0016. A NUL, which no XML text can hold and which would end the record text for
// every reader of it, is taken as a blank, as the file reader takes control bytes.
constexpr char16_t escaped(char16_t c) { return xml::contentEscape(c == 0 ? u' ' : c); }

// escaped() of every unit up to ">", looked up rather than branched on.
constexpr std::array<char16_t, 0x3F> kEscapes = [] {
  std::array<char16_t, 0x3F> t{};
  for (char16_t c = 0; c < t.size(); ++c) t[c] = escaped(c);
  return t;
}();

void appendEscaped(u16& out, u16v text) {
  // Everything above ">" is kept as it is; only the few characters below it are looked at.
  platform::words::appendMappedBelow(out, text, u'?', [](char16_t c) { return c > u'>' ? c : kEscapes[c]; });
}

// The leader keeps its other characters raw, but "<" and "&" would end the element or start
// an entity and make the whole record text unparseable, so they get the content escape too.
void appendLeader(u16& out, u16v leader) {
  platform::words::appendMappedBelow(out, leader, u'=',
                                     [](char16_t c) { return c == u' ' || c == u'<' || c == u'&' || c == 0 ? escaped(c) : c; });
}

// A tag stands in an attribute value: the five XML characters are escaped, the blank is not.
void appendTag(u16& out, u16v tag) {
  platform::words::appendMappedBelow(out, tag, u'?', [](char16_t c) { return c == u' ' || c == 0 ? u' ' : escaped(c); });
}

// Fields and subfields are looked for over every unit of a record: four units at a time.
using platform::words::findUnit;

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

// Where a record goes: text (TextSink) or straight into a document's tree (TreeSink). Both
// count the text's length the same way, so that each element is taken only when it keeps the
// counted length within the 99,999 budget and the whole text, with the end tags it still
// needs and its NUL, within the caller's capacity; otherwise the record is closed and ends
// there. The escapes map one unit to one unit, so a tree's text length is known without it.
class Budget {
 public:
  explicit Budget(size_t capacity) : capacity_(capacity) {}
  void startCounting(size_t at) { counted_ = at; }
  bool fits(size_t mark, size_t length, u16v closing) const {
    return counted_ + length <= kTextBudget &&
           (capacity_ == kNoLimit || mark + length + closing.size() + 1 <= capacity_);
  }
  void take(size_t length) { counted_ += length; }
  // Whether even the empty record's text passes the capacity.
  bool tooSmall(size_t leader) const {
    return capacity_ != kNoLimit && kOpen.size() + leader + kHeaderEnd.size() + kMarcEnd.size() + 1 > capacity_;
  }

 private:
  size_t counted_ = 0;
  size_t capacity_;
};

class TextSink {
 public:
  explicit TextSink(size_t capacity) : budget_(capacity) {}
  u16& text() { return out_; }
  size_t size() const { return out_.size(); }
  bool tooSmall(size_t leader) const { return budget_.tooSmall(leader); }

  void begin(u16v leader, size_t recordSize) {
    // Room for a usual record's text at once (its markup about doubles it).
    out_.reserve(recordSize * 3 + 256);
    out_ += kOpen;
    appendLeader(out_, leader);
    out_ += kHeaderEnd;
    budget_.startCounting(out_.size());
  }
  void fieldOpen(u16v tag, const u16v* indicator) {
    out_ += kFieldOpen;
    appendTag(out_, tag);
    if (indicator) {
      out_ += kIndicatorAttr;
      appendEscaped(out_, *indicator);
    }
    out_ += kTagEnd;
  }
  void controlData(u16v data) { appendEscaped(out_, data); }
  void fieldEnd() { out_ += kFieldEndTag; }
  void subfield(u16v chunk) {
    out_ += kSubfieldOpen;
    appendEscaped(out_, chunk.substr(0, 1));
    out_ += kTagEnd;
    if (chunk.size() > 1) appendEscaped(out_, chunk.substr(1));
    out_ += kSubfieldEnd;
  }
  // The element written since `mark` is kept when it fits, with `closing`; otherwise it is
  // taken out again and the answer is false.
  bool keep(size_t mark, u16v closing, bool /*stillOpen*/) {
    size_t length = out_.size() - mark;
    if (!budget_.fits(mark, length, closing)) {
      out_.resize(mark);
      return false;
    }
    budget_.take(length);
    return true;
  }
  void end() { out_ += kMarcEnd; }

 private:
  u16 out_;
  Budget budget_;
};

class TreeSink {
 public:
  TreeSink(size_t capacity, const xml::Document& doc, xml::Node* release)
      : budget_(capacity), doc_(doc), release_(release) {}
  size_t size() const { return size_; }
  bool tooSmall(size_t leader) const { return budget_.tooSmall(leader); }

  void begin(u16v leader, size_t) {
    // The old tree's nodes are built into the new one, save those a handle still holds.
    if (release_) *release_ = xml::Node();
    tree_.emplace(doc_);
    tree_->open(u"marc");
    tree_->open(u"header");
    if (!leader.empty()) appendLeader(tree_->text(), leader);
    tree_->close();
    size_ = kOpen.size() + leader.size() + kHeaderEnd.size();
    budget_.startCounting(size_);
  }
  void fieldOpen(u16v tag, const u16v* indicator) {
    tree_->open(u"field");
    appendTag(tree_->attribute(u"name"), tag);
    size_ += kFieldOpen.size() + tag.size() + kTagEnd.size();
    if (indicator) {
      appendEscaped(tree_->attribute(u"indicator"), *indicator);
      size_ += kIndicatorAttr.size() + indicator->size();
    }
  }
  void controlData(u16v data) {
    if (!data.empty()) appendEscaped(tree_->text(), data);
    size_ += data.size();
  }
  void fieldEnd() {
    tree_->close();
    size_ += kFieldEndTag.size();
  }
  void subfield(u16v chunk) {
    tree_->open(u"sf");
    appendEscaped(tree_->attribute(u"name"), chunk.substr(0, 1));
    if (chunk.size() > 1) appendEscaped(tree_->text(), chunk.substr(1));
    tree_->close();
    size_ += kSubfieldOpen.size() + kTagEnd.size() + chunk.size() + kSubfieldEnd.size();
  }
  // As TextSink::keep; `stillOpen` tells that the element to take out is not closed yet.
  bool keep(size_t mark, u16v closing, bool stillOpen) {
    size_t length = size_ - mark;
    if (!budget_.fits(mark, length, closing)) {
      if (stillOpen) tree_->close();
      tree_->dropLast();
      size_ = mark;
      return false;
    }
    budget_.take(length);
    return true;
  }
  void end() {
    tree_->close();
    size_ += kMarcEnd.size();
  }

 private:
  Budget budget_;
  const xml::Document& doc_;
  xml::Node* release_;
  std::optional<xml::TreeBuilder> tree_;
  size_t size_ = 0;
};

// Data pieces (fields) of the directory's `entries` entries from `pos` on.
int32_t piecesFrom(u16v rec, size_t pos, long entries) {
  int32_t n = 0;
  for (; n < entries; ++n) {
    size_t end = findUnit(rec, kFieldEnd, pos);
    if (end == u16v::npos) break;
    pos = end + 1;
  }
  return n;
}

// The record's elements, one by one, into `out`; false when not even an empty record fits.
// `extent`, when given, is told what the text keeps of the record.
template <class Sink>
bool writeSorted(u16v rec, Sink& out, Iso2709Extent* extent = nullptr) {
  u16v leader = rec.substr(0, std::min(rec.size(), kLeaderLength));
  if (out.tooSmall(leader.size())) return false;
  out.begin(leader, rec.size());

  size_t dirEnd = findUnit(rec, kFieldEnd);
  if (dirEnd == u16v::npos) {
    out.end();
    if (extent) *extent = Iso2709Extent();
    return true;
  }
  // Entries are counted up to and including the directory's terminator, so that a directory
  // one character short of whole entries still pairs its last field.
  long entries = (long(dirEnd) + 1 - long(kLeaderLength)) / long(kEntryLength);
  size_t pos = dirEnd + 1;
  // What the text keeps is told from where the walk stopped: fields before entry k are
  // whole, and at a cut entry k is kept in part or not at all.
  long k = 0, firstLong = -1;
  bool cut = false, keptInPart = false;
  for (; k < entries; ++k) {
    size_t end = findUnit(rec, kFieldEnd, pos);
    if (end == u16v::npos) break;
    u16v piece = rec.substr(pos, end - pos);
    if (piece.size() > kFieldCut && firstLong < 0) firstLong = k;
    piece = cutField(piece);
    pos = end + 1;
    u16v tag = rec.substr(kLeaderLength + size_t(k) * kEntryLength, 3);

    size_t mark = out.size();
    if (isControlTag(tag)) {
      out.fieldOpen(tag, nullptr);
      out.controlData(piece);
      out.fieldEnd();
      if (!out.keep(mark, kMarcEnd, false)) {
        cut = true;
        break;
      }
      continue;
    }

    size_t delim = findUnit(piece, kDelimiter);
    u16v indicator = piece.substr(0, delim);
    out.fieldOpen(tag, indicator.empty() ? nullptr : &indicator);
    if (!out.keep(mark, kFieldAndMarcEnd, true)) {
      cut = true;
      break;
    }

    while (delim != u16v::npos) {
      size_t next = findUnit(piece, kDelimiter, delim + 1);
      u16v chunk = piece.substr(delim + 1, next == u16v::npos ? u16v::npos : next - delim - 1);
      bool last = next == u16v::npos;
      delim = next;
      // Two delimiters in a row give nothing; a delimiter that ends the data gives an
      // empty subfield, so that it survives the way back to ISO 2709.
      if (chunk.empty() && !last) continue;
      mark = out.size();
      out.subfield(chunk);
      if (!out.keep(mark, kFieldAndMarcEnd, false)) {
        cut = keptInPart = true;
        break;
      }
    }
    out.fieldEnd();
    if (cut) break;
  }
  out.end();
  if (extent) {
    extent->wholeFields = int32_t(k);
    extent->fieldsKept = int32_t(k) + (keptInPart ? 1 : 0);
    extent->fieldCut = firstLong >= 0 && firstLong < extent->fieldsKept;
    // Past a cut the fields left out are counted on.
    extent->fields = cut ? int32_t(k) + 1 + piecesFrom(rec, pos, entries - k - 1) : int32_t(k);
  }
  return true;
}

u16 textFromSorted(u16v rec, size_t capacity, Iso2709Extent* extent = nullptr) {
  TextSink sink(capacity);
  if (!writeSorted(rec, sink, extent)) return u16();
  return std::move(sink.text());
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

u16 isoToJinei(u16 record, size_t capacity, Iso2709Extent* extent) {
  sortDirectory(record.data(), record.size());
  return textFromSorted(record, capacity, extent);
}

size_t isoToTree(u16 record, size_t capacity, const xml::Document& doc, xml::Node* release, Iso2709Extent* extent) {
  sortDirectory(record.data(), record.size());
  TreeSink sink(capacity, doc, release);
  try {
    if (!writeSorted(record, sink, extent)) return 0;
  } catch (...) {
    xml::Document(doc).clear();
    throw;
  }
  return sink.size();
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
