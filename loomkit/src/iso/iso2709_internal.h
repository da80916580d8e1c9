// ISO 2709 conversion in memory, as string-based cores (private to the toolkit).
//
// CMarcFile's buffer methods (Iso2Jinei, Jinei2Iso, CvtCharset, RecomputeIsoDirectory,
// DecodeEaccRuns) and the file reader and writer are thin shells over these functions: they
// work on strings and never write past anything, and the shells copy a result out only when
// it fits the caller's buffer.
#pragma once

#include <platform/text.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

class CMarc;
struct Iso2709Extent;
namespace xml {
class Document;
class Node;
}

namespace loomkit::iso2709 {

using u16 = std::u16string;
using u16v = std::u16string_view;

constexpr char16_t kFieldEnd = 0x1E;     // field terminator
constexpr char16_t kRecordEnd = 0x1D;    // record terminator
constexpr char16_t kDelimiter = 0x1F;    // subfield delimiter
constexpr size_t kLeaderLength = 24;
constexpr size_t kEntryLength = 12;
/// A field is cut to this many units (bytes in a byte form) when it has this many or more.
constexpr size_t kFieldCut = 9990;
/// The longest record the five-digit length column can give.
constexpr size_t kMaxRecord = 99999;
/// Budget of the internal record text (its end tags not counted).
constexpr size_t kTextBudget = 99999;
constexpr size_t kNoLimit = size_t(-1);

/// \brief True for the characters that end text, a record, a field or a subfield (U+0000,
/// U+001D, U+001E, U+001F): inside content they are written as blanks.
constexpr bool breaksFrame(char16_t c) { return c == 0 || (c >= kRecordEnd && c <= kDelimiter); }

/// \brief True for a control field's tag: its first two characters are "00" or "-0".
bool isControlTag(u16v tag);

using platform::isHighSurrogate;
using platform::isLowSurrogate;

/// \brief Room for a record's bytes that a writer keeps (one per thread) from record to
/// record and never clears: only what is written is read.
class Room {
 public:
  char* data() { return room_.get(); }
  /// \brief Makes room for `size` bytes, keeping the first `keep`.
  char* reserve(size_t size, size_t keep) {
    if (size > size_) {
      size_t grown = size > 2 * size_ ? size : 2 * size_;
      auto bigger = std::make_unique_for_overwrite<char[]>(grown);
      if (keep) __builtin_memcpy(bigger.get(), room_.get(), keep);
      room_ = std::move(bigger);
      size_ = grown;
    }
    return room_.get();
  }

 private:
  std::unique_ptr<char[]> room_;
  size_t size_ = 0;
};

/// \brief Writes `value` as `width` decimal digits with leading zeros over s[at..at+width).
template <class Text>
void putDigits(Text&& s, size_t at, size_t value, int width) {
  using Unit = std::remove_cvref_t<decltype(s[0])>;
  for (int i = width - 1; i >= 0; --i) {
    s[at + size_t(i)] = Unit('0' + value % 10);
    value /= 10;
  }
}

/// \brief Bubble-sorts the 12-character directory entries (between position 24 and the first
/// U+001E) by their 5-character starting position, ordinal, until a pass makes no swap.
void sortDirectory(char16_t* record, size_t length);

/// \brief One ISO 2709 record (UTF-16) to internal record text. The text stays within
/// `capacity` units with its terminating NUL, cut like the 99,999 budget so that it stays
/// well-formed; empty when not even the header and "</marc>" fit. `extent`, when given, is
/// told what the text keeps of the record.
u16 isoToJinei(u16 record, size_t capacity = kNoLimit, Iso2709Extent* extent = nullptr);

/// \brief The same record built straight into `doc`'s tree: the very nodes that loading
/// isoToJinei's text gives, for a record whose units below U+0020 are all blanked (as the
/// file reader blanks them) save the structure marks and escapes. Answers the text's length,
/// 0 (the document untouched) when not even an empty record fits. `release`, when given, is
/// a handle on the old tree's root let go of before the tree is rebuilt (so that its nodes
/// can be used again) and left alone otherwise. `extent` as for isoToJinei.
size_t isoToTree(u16 record, size_t capacity, const xml::Document& doc, xml::Node* release = nullptr,
                 Iso2709Extent* extent = nullptr);

/// \brief The record as UTF-16 ISO 2709 text: fields in document order, fields of 9,990 units
/// or more cut to 9,990 (9,989 rather than split a surrogate pair), trailing fields dropped
/// until the record is at most 99,999 units, the content escape undone. Empty when the
/// record has no root or no header. `root` is the record's root element (a null handle when
/// it has none).
u16 jineiToIso(const xml::Node& root);
/// \brief The record's bytes in code page 936 (0 or 936) or UTF-8 (65001) straight from its
/// tree: what jineiToIso and codePageRecordBytes give together, and `units` the length of
/// jineiToIso's record. Empty when the record needs their way (a field or the record to cut,
/// a character the 936 table lacks, no leader, another code page); `units` is then unset.
std::string jineiToBytes(const xml::Node& root, int codePage, size_t& units);

/// How a field of a byte record may be cut without breaking a character.
enum class CutRule {
  Plain,     // any byte
  LeadByte,  // never after a lead byte of a double-byte code page (GBK)
  Utf8,      // never inside a UTF-8 sequence
  Eacc,      // never inside an EACC code or escape; an open run is closed before the cut
};

/// \brief Rewrites the base address, the directory's length and start columns and the record
/// length of a byte record in place. Fields of 9,990 bytes or more are cut by the rule; whole
/// trailing fields are dropped until the record is at most 99,999 bytes. The directory
/// entries are expected in data order. Returns the new length (bytes no longer needed are
/// removed from the string).
size_t recomputeIsoDirectory(std::string& bytes, CutRule rule);

/// \brief The escape-in and escape-out of a marker flag: ESC $ 1 / ESC ( B for 3, ESC $ $ 1 /
/// ESC ( ( B for any other value.
std::string_view eaccEscapeIn(int markerFlag);
std::string_view eaccEscapeOut(int markerFlag);

/// \brief The EACC bytes of a UTF-16 ISO 2709 record, the directory recomputed. Empty when
/// the result is longer than `limit` bytes.
std::string eaccRecordBytes(u16v record, int markerFlag, size_t limit = kNoLimit);

/// \brief The bytes of a UTF-16 ISO 2709 record in a code page (0 = 936, 65001 UTF-8, ...),
/// the directory recomputed. Empty when the code page is unknown or the result is longer than
/// `limit` bytes.
std::string codePageRecordBytes(u16v record, int codePage, size_t limit = kNoLimit);

/// \brief Decodes the EACC runs of a widened record. A run reaches from its escape-in to its
/// escape-out or to the next field or record terminator, whichever comes first; units that
/// cannot belong to an EACC code (terminators, delimiters, blanks) pass through. Outside the
/// runs U+9465 (E8 75 read as GBK) becomes U+00FC. `markerFlag` is set to 3 or 4 when a run
/// was found; without any escape-in the text comes back unchanged.
u16 decodeEaccRuns(u16v text, int* markerFlag = nullptr);

}  // namespace loomkit::iso2709
