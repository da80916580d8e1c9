#include "record_cut.h"

#include <loomkit/MarcFile.h>
#include <platform/codepage.h>
#include <platform/file.h>

#include <algorithm>
#include <vector>

namespace scrivo {

namespace {

constexpr char16_t kRecordEnd = 0x1D, kFieldEnd = 0x1E, kDelimiter = 0x1F;
constexpr size_t kLeader = 24, kEntry = 12;
constexpr size_t kFieldCut = 9990;
// The reader gathers a record into 256,000 bytes; the record is looked for no further back.
constexpr int64_t kMostRecordBytes = 256000;
constexpr int64_t kBlock = 2048;

bool digits(std::u16string_view s, size_t from, size_t n) {
  if (from + n > s.size()) return false;
  return std::all_of(s.begin() + std::ptrdiff_t(from), s.begin() + std::ptrdiff_t(from + n),
                     [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Where a record starts: digits at leader positions 0-4 and 12-16, and in the length and
// start columns of every directory entry.
bool startsRecord(std::u16string_view s, size_t at) {
  if (!digits(s, at, 5) || !digits(s, at + 12, 5)) return false;
  const size_t dirEnd = s.find(kFieldEnd, at + kLeader);
  if (dirEnd == std::u16string_view::npos) return false;
  for (size_t e = at + kLeader; e + kEntry <= dirEnd; e += kEntry)
    if (!digits(s, e + 3, 4) || !digits(s, e + 7, 5)) return false;
  return true;
}

bool controlTag(std::u16string_view tag) {
  return tag.size() >= 2 && (tag[0] == u'0' || tag[0] == u'-') && tag[1] == u'0';
}

size_t count(std::u16string_view text, std::u16string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::u16string_view::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

}  // namespace

RecordExtent ExtentOfRecord(std::u16string_view record) {
  RecordExtent extent;
  // Control characters blanked as the reader blanks them (the separators stay), then the
  // directory sorted by start as the toolkit sorts it.
  std::u16string rec(record);
  for (size_t i = 0; i < rec.size(); ++i)
    if (rec[i] < (i < kLeader ? 0x20 : 0x1B)) rec[i] = u' ';
  CMarcFile::SortDirectory(rec.data());
  const size_t dirEnd = rec.find(kFieldEnd);
  if (dirEnd == std::u16string::npos || dirEnd + 1 < kLeader) return extent;
  const size_t entries = (dirEnd + 1 - kLeader) / kEntry;
  size_t pos = dirEnd + 1;
  for (size_t k = 0; k < entries; ++k) {
    const size_t end = rec.find(kFieldEnd, pos);
    if (end == std::u16string::npos) break;
    std::u16string_view piece = std::u16string_view(rec).substr(pos, end - pos);
    pos = end + 1;
    ++extent.fields;
    if (piece.size() > kFieldCut) {
      extent.longField = true;
      piece = piece.substr(0, kFieldCut);
    }
    if (controlTag(std::u16string_view(rec).substr(kLeader + k * kEntry, 3))) continue;
    // A delimiter gives a subfield unless another follows it at once; the last one always.
    for (size_t i = 0; i < piece.size(); ++i)
      if (piece[i] == kDelimiter && (i + 1 == piece.size() || piece[i + 1] != kDelimiter)) ++extent.subfields;
  }
  return extent;
}

RecordExtent ExtentOfText(std::u16string_view text) {
  // Content never holds "<": the writer escapes it.
  RecordExtent extent;
  extent.fields = int32_t(count(text, u"<field "));
  extent.subfields = int32_t(count(text, u"<sf "));
  return extent;
}

std::u16string RecordEndingAt(platform::CFile& file, int64_t end, int32_t codePage) {
  const size_t unit = codePage == platform::CP_UTF16LE ? 2 : 1;
  const int64_t saved = file.GetPosition();
  // Back a block at a time to the record terminator before this record's own (its last
  // unit). In a UTF-16 file units stand at even offsets, and `end` and the blocks are even.
  std::string bytes;  // the file from `from` to `end`
  int64_t from = end;
  size_t start = std::string::npos;
  auto terminator = [&](size_t p) { return uint8_t(bytes[p]) == kRecordEnd && (unit == 1 || bytes[p + 1] == 0); };
  while (start == std::string::npos && from > 0 && end - from < kMostRecordBytes) {
    const int64_t block = std::min(kBlock, from);
    from -= block;
    std::string got(size_t(block), '\0');
    if (file.Seek(from, platform::CFile::begin) != from || file.Read(got.data(), uint32_t(block)) != uint32_t(block)) break;
    bytes.insert(0, got);
    if (bytes.size() < 2 * unit) continue;
    for (size_t i = std::min(size_t(block), bytes.size() - unit); i >= unit; i -= unit) {
      if (terminator(i - unit)) {
        start = i;
        break;
      }
    }
  }
  file.Seek(saved, platform::CFile::begin);
  bytes.erase(0, start == std::string::npos ? 0 : start);

  std::u16string text;
  if (unit == 2) {
    text.resize(bytes.size() / 2);
    for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
  } else {
    // EACC runs are read from bytes of the ANSI code page.
    text = platform::toWide(codePage == -2 ? platform::CP_ACP : codePage, bytes);
    if (codePage == -2 && !text.empty()) {
      CMarcFile eacc;
      text.resize(size_t(eacc.DecodeEaccRuns(text.data(), int32_t(text.size()))));
    }
  }
  for (size_t at = 0; at < text.size(); ++at)
    if (startsRecord(text, at)) return text.substr(at);
  return {};
}

}  // namespace scrivo
