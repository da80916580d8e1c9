// The byte-level steps of reading ISO 2709 record files: form detection, the skip to a
// record's first digit, gathering one record block by block, the backward walk to the
// previous record. CMarcFile's readers are built from these; they are kept apart so that
// each step can be checked on its own.
#pragma once

#include <loomkit/export.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class CFile;
}

namespace loomkit::files {

/// Files are read in blocks of this size, forwards and backwards.
constexpr size_t kBlockSize = 2048;
/// One record (from its first digit to its terminator) is gathered into at most this many
/// bytes; a longer run without a terminator is not a record.
constexpr size_t kGatherLimit = 256000;

/// \brief True when the block holds UTF-16LE text without a byte-order mark, by our own rule:
/// its first ASCII digit byte stands at an even offset and the five 16-bit units from there
/// (the record length of a leader) are ASCII digits whose high bytes are zero.
LOOMKIT_API bool looksLikeUtf16Le(std::string_view block);

/// \brief The UTF-8 test of a gathered record: at least one well-formed multi-byte sequence
/// among the first ten, and no byte above 7F outside one.
LOOMKIT_API bool LooksLikeUtf8(std::string_view bytes);

/// \brief Offset of the first ASCII digit in `block`, in bytes (`unit` 1) or in UTF-16LE
/// units at even offsets (`unit` 2); the block's length (rounded down to a whole unit) when
/// there is none.
LOOMKIT_API size_t firstDigit(std::string_view block, int unit);

/// How a gather ended.
enum class GatherEnd {
  Terminator,  // the record ends with its terminator
  EndOfFile,   // the file ended first: the rest of the file is the record
  Limit,       // kGatherLimit bytes without a terminator: no record
};

struct Gathered {
  std::string bytes;    // the record, its terminator included
  size_t consumed = 0;  // bytes taken from the file from the start of `first` on
  GatherEnd end = GatherEnd::EndOfFile;
};

/// \brief Gathers one record: `first` is the rest of the block already read (from the
/// record's first digit); when it holds no terminator, further blocks are read from `file`
/// until one is found, a read comes back short, or kGatherLimit is reached. `moreToRead`
/// says whether the block already read was a full one. `unit` 1 looks for the byte 1D,
/// `unit` 2 for the UTF-16LE unit U+001D.
LOOMKIT_API Gathered gatherRecord(platform::CFile& file, std::string_view first, bool moreToRead, int unit);

/// \brief Blanks the control characters of a widened record: below U+0020 within the leader
/// (its first 24 characters), below U+001B after it.
LOOMKIT_API void blankControls(char16_t* text, size_t length);

/// \brief Where the record before the one that ends at `position` starts: the walk back
/// counts terminators (`unit` 1: bytes 1D, `unit` 2: units U+001D at the position's parity)
/// in blocks of kBlockSize. -1 when there is no earlier record; the file's position is then
/// back at `position`.
LOOMKIT_API int64_t previousRecordStart(platform::CFile& file, int64_t position, int unit);

}  // namespace loomkit::files
