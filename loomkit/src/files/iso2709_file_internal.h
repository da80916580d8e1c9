// The byte-level steps of reading ISO 2709 record files: form detection, finding the next
// record (skipping what cannot be one), the backward walk to the previous record. CMarcFile's
// readers are built from these; they are kept apart so that each step can be checked on its
// own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <climits>
#include <string>
#include <string_view>

namespace platform {
class CFile;
}

namespace loomkit::files {

/// Files are read in blocks of this size, forwards and backwards.
constexpr size_t kBlockSize = 2048;
/// One record (from its first digit to its terminator) is gathered into at most this many
/// bytes; a longer run without a terminator is not a record and is skipped.
constexpr size_t kGatherLimit = 256000;

/// \brief The 16-bit unit at byte offset `i` of a UTF-16LE text.
inline char16_t unitAt(std::string_view s, size_t i) {
  return char16_t(uint8_t(s[i]) | (uint8_t(s[i + 1]) << 8));
}

/// \brief True when the block holds UTF-16LE text without a byte-order mark, by our own rule:
/// its first ASCII digit byte stands at an even offset and the five 16-bit units from there
/// (the record length of a leader) are ASCII digits whose high bytes are zero.
bool looksLikeUtf16Le(std::string_view block);

/// \brief The UTF-8 test of a gathered record: at least one well-formed multi-byte sequence
/// among the first ten, and no byte above 7F outside one.
bool LooksLikeUtf8(std::string_view bytes);

/// \brief Offset of the first ASCII digit in `block`, in bytes (`unit` 1) or in UTF-16LE
/// units at even offsets (`unit` 2); the block's length (rounded down to a whole unit) when
/// there is none.
size_t firstDigit(std::string_view block, int unit);

/// \brief Blanks the control characters of a widened record: below U+0020 within the leader
/// (its first 24 characters), below U+001B after it.
void blankControls(char16_t* text, size_t length);

/// One record found in a file.
struct Located {
  int64_t start = -1;       // file offset of its first digit
  int64_t end = -1;         // file offset just past it (its terminator included)
  bool terminated = false;  // false: the file ended before a terminator, or the record was cut short
  bool brokenDirectory = false;  // salvaged: an entry has blanks or letters in its numbers
  std::string bytes;        // the record's bytes (UTF-16LE for `unit` 2)
};

/// \brief Finds records forwards from a file offset, in bytes (`unit` 1, terminator 1D) or
/// in UTF-16LE units (`unit` 2, terminator U+001D, units at the parity of the offset).
///
/// A record starts at a digit where a leader stands: digits in its positions 0-4 and 12-16,
/// and a directory (from position 24 to the first field or record terminator) whose length
/// and start columns are digits. Broken records that real files hold are salvaged: a base
/// address that is no number where the directory is whole (entries of 12 and a field
/// terminator), and a directory entry with blanks or letters in its numbers where the record
/// length ends on the terminator. Anything else is skipped a unit at a time. A record ends at
/// its first terminator; when the file ends first, the rest of the file is the record; when a
/// record's own length does not end there and a whole record (its length ending on that
/// terminator, its base address on its directory) stands inside it, the first one is a record
/// cut short and ends where the whole one starts. A candidate with no terminator within
/// kGatherLimit bytes is an oversize run: it is skipped to its next terminator, or to an
/// earlier point where a record can start (a leader whose record length ends on a terminator
/// or whose base address ends on the directory). In UTF-16LE units a stray byte puts the units
/// out of step: records are looked for at the other parity too, and a record that a stray byte
/// has broken ends on its terminator at the other parity.
class RecordScanner {
 public:
  /// `first` is what has already been read from `from` on (it may be empty).
  RecordScanner(platform::CFile& file, int64_t from, int unit, std::string first = {});

  /// \brief The next record; false when the file holds no further record.
  bool next(Located& out);
  /// \brief Where the scan stands: just past the record last found, or the end of the file.
  int64_t position() const { return pos_; }
  // Where the file stands after the scanner's reads: the end of what it has read.
  int64_t readEnd() const { return bufStart_ + int64_t(buf_.size()); }
  /// \brief No record starting at or after `offset` is looked for.
  void stopAt(int64_t offset) { stopAt_ = offset; }

 private:
  // Makes [at, at + count) available as far as the file reaches; the bytes available from
  // `at` (at most `count`).
  size_t have(int64_t at, size_t count);
  // Everything the buffer holds from `at` on, reading one more block only when it holds
  // nothing there; 0 at the end of the file.
  size_t buffered(int64_t at);
  // Defined here so that the scanning loops inline them.
  char16_t unit(int64_t at) const {
    size_t i = size_t(at - bufStart_);
    if (unit_ == 1) return char16_t(uint8_t(buf_[i]));
    return char16_t(uint8_t(buf_[i]) | (uint8_t(buf_[i + 1]) << 8));
  }
  bool isDigitAt(int64_t at) const {
    char16_t c = unit(at);
    return c >= u'0' && c <= u'9';
  }
  // Digits in the leader's record length and no terminator in it; `baseDigits` says whether
  // its base address holds digits too.
  bool leaderFits(int64_t at, bool& baseDigits);
  long numberAt(int64_t at, int width);
  // Whether the unit `index` units after `at` is `what`.
  bool unitAt(int64_t at, long index, char16_t what);
  enum class Dir { Valid, Invalid, TooLong };
  Dir directory(int64_t at, int64_t& dirEnd);
  // What may start at a digit: nothing, a record (its directory ending at `dirEnd`), a record
  // whose directory has broken entries, or an oversize run. `strict` among junk: the record
  // length or the base address must fit.
  enum class Start { None, Record, Broken, TooLong };
  Start candidate(int64_t at, bool strict, int64_t& dirEnd);
  bool canStart(int64_t at);
  // A whole record standing between `from` and the terminator of the record at `at`, whose own
  // length does not end there; its start, -1 when there is none.
  int64_t innerRecord(int64_t at, int64_t from, int64_t terminator);
  // UTF-16 only: whether a record (or an oversize run) may start at the other parity, at `at`;
  // whether the bytes 1D 00 at `terminator`, out of step, end a record.
  bool otherParityStarts(int64_t at, bool strict);
  bool endsOnOtherParity(int64_t terminator);
  int64_t skipRun(int64_t from);
  void dropBefore(int64_t at);

  platform::CFile& file_;
  int unit_;
  std::string buf_;    // file bytes from bufStart_ on
  int64_t bufStart_;
  int64_t pos_;
  bool eof_ = false;
  size_t readSize_ = 2048;
  int64_t stopAt_ = INT64_MAX;
};

/// \brief The record terminators before a position, nearest first (`unit` 1: bytes 1D,
/// `unit` 2: units U+001D at the position's parity), read back in blocks of kBlockSize.
class TerminatorsBack {
 public:
  TerminatorsBack(platform::CFile& file, int64_t position, int unit) : file_(file), unit_(unit), at_(position) {}
  /// \brief The offset of the next terminator further back; -1 at the start of the file, or
  /// when the file could not be read (failed() then says so).
  int64_t next();
  /// \brief Whether a read failed; errno is then its reason.
  bool failed() const { return failed_; }

 private:
  platform::CFile& file_;
  int unit_;
  int64_t at_;
  int64_t blockStart_ = INT64_MAX;
  std::string block_;
  bool failed_ = false;
};

/// \brief The record before the last one that ends by `position` (the one last read):
/// found by walking back over terminators (`unit` 1: bytes 1D, `unit` 2: units U+001D at
/// the position's parity) in blocks of kBlockSize and reading forwards from there. False
/// when there is no earlier record. `first` (when given) says whether the record found is
/// the first of the file.
bool previousRecord(platform::CFile& file, int64_t position, int unit, Located& out,
                                bool* first = nullptr);

}  // namespace loomkit::files
