// Reading ISO 2709 record files: one record per call, forwards from the file's position or
// back to the record before the one last read, in every form the suite writes (UTF-16LE
// with or without a byte-order mark, UTF-8 with or without one, the ANSI code page, EACC
// runs inside ANSI bytes). A read from offset 0 detects the form and keeps it in the
// object's attributes for the reads that follow.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/codepage.h>
#include <platform/file.h>

#include "iso2709_file_internal.h"
#include "iso2709_internal.h"

#include <algorithm>
#include <memory>
#include <string>

namespace loomkit::files {

namespace {

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The 16-bit unit at byte offset i of a UTF-16LE text.
char16_t unitAt(std::string_view s, size_t i) {
  return char16_t(uint8_t(s[i]) | (uint8_t(s[i + 1]) << 8));
}

// Offset just past the first terminator of `s` (bytes or units), or npos.
size_t pastTerminator(std::string_view s, int unit) {
  if (unit == 1) {
    size_t at = s.find('\x1D');
    return at == std::string_view::npos ? at : at + 1;
  }
  for (size_t i = 0; i + 1 < s.size(); i += 2)
    if (s[i] == '\x1D' && s[i + 1] == '\0') return i + 2;
  return std::string_view::npos;
}

}  // namespace

bool looksLikeUtf16Le(std::string_view block) {
  // Windows decides this with IsTextUnicode, a statistical guess. We use a fixed rule of our
  // own instead, on the one thing every record starts with: its five-digit record length.
  // Written as UTF-16LE, its first digit stands at an even offset and each of the five
  // digits is followed by a zero byte; no byte form can look like that.
  size_t at = firstDigit(block, 1);
  if (at >= block.size() || at % 2 != 0) return false;
  if (at + 10 > block.size()) return false;
  for (size_t k = 0; k < 5; ++k) {
    char16_t u = unitAt(block, at + 2 * k);
    if (u < u'0' || u > u'9') return false;
  }
  return true;
}

bool LooksLikeUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size(), i = 0;
  int counted = 0;
  while (i < n && counted < 10) {
    unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    int follow = (b & 0xF8) == 0xF0 ? 3 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xE0) == 0xC0 ? 1 : -1;
    if (follow < 0) return false;
    for (int k = 1; k <= follow; ++k)
      if (i + k >= n || (p[i + k] & 0xC0) != 0x80) return false;
    i += size_t(follow) + 1;
    ++counted;
  }
  return counted > 0;
}

size_t firstDigit(std::string_view block, int unit) {
  if (unit == 1) {
    for (size_t i = 0; i < block.size(); ++i)
      if (isDigit(uint8_t(block[i]))) return i;
    return block.size();
  }
  size_t i = 0;
  for (; i + 1 < block.size(); i += 2) {
    char16_t u = unitAt(block, i);
    if (u >= u'0' && u <= u'9') return i;
  }
  return i;
}

Gathered gatherRecord(platform::CFile& file, std::string_view first, bool moreToRead, int unit) {
  Gathered g;
  std::string_view chunk = first;
  char block[kBlockSize];
  for (;;) {
    size_t room = kGatherLimit - g.bytes.size();
    size_t end = pastTerminator(chunk, unit);
    if (end != std::string_view::npos && end <= room) {
      g.bytes.append(chunk.substr(0, end));
      g.consumed += end;
      g.end = GatherEnd::Terminator;
      return g;
    }
    if (chunk.size() >= room) {
      // No terminator within the bound: this is not a record, however long the file is.
      g.consumed += room;
      g.bytes.clear();
      g.end = GatherEnd::Limit;
      return g;
    }
    g.bytes.append(chunk);
    g.consumed += chunk.size();
    if (!moreToRead) {
      g.end = GatherEnd::EndOfFile;
      return g;
    }
    size_t n = file.Read(block, kBlockSize);
    moreToRead = n == kBlockSize;
    chunk = std::string_view(block, n);
  }
}

void blankControls(char16_t* text, size_t length) {
  size_t leader = std::min<size_t>(length, 24);
  for (size_t i = 0; i < leader; ++i) text[i] = text[i] < 0x20 ? u' ' : text[i];
  for (size_t i = leader; i < length; ++i) text[i] = text[i] < 0x1B ? u' ' : text[i];
}

int64_t previousRecordStart(platform::CFile& file, int64_t position, int unit) {
  if (position <= 0) return -1;
  char block[kBlockSize];
  int found = 0;
  int64_t end = position;
  while (end > 0) {
    int64_t start = std::max<int64_t>(0, end - int64_t(kBlockSize));
    uint32_t want = uint32_t(end - start);
    if (file.Seek(start, platform::CFile::begin) != start || file.Read(block, want) != want) break;
    // Units keep the parity of `position`; blocks are whole units wide except the first.
    for (int64_t at = end - unit; at >= start; at -= unit) {
      const char* p = block + (at - start);
      bool terminator = unit == 1 ? *p == '\x1D' : (p[0] == '\x1D' && p[1] == '\0');
      if (terminator && ++found == 3) return at + unit;
    }
    end = start;
  }
  if (found == 2 && end == 0) return 0;
  file.Seek(position, platform::CFile::begin);
  return -1;
}

}  // namespace loomkit::files

using namespace loomkit::files;

namespace {

// The record-object forms read into a buffer of this many characters.
constexpr int32_t kTextBuffer = 128000;

// The internal record text of a record whose characters did not fit the caller's buffer:
// an empty header and no fields.
constexpr char16_t kEmptyRecord[] = u"<marc><header></header></marc>";

int32_t copyText(const std::u16string& text, char16_t* buffer, int32_t size) {
  if (text.size() + 1 > size_t(size)) return 0;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return int32_t(text.size());
}

// UTF-16LE records from `start` on (right after a byte-order mark, or a record's end).
int32_t readUtf16Record(char16_t* buffer, int32_t size, platform::CFile& file, int64_t start) {
  char block[kBlockSize];
  size_t n = file.Read(block, kBlockSize);
  if (n < 24) return -1;
  std::string_view first(block, n);
  size_t skip = firstDigit(first, 2);
  Gathered g = gatherRecord(file, first.substr(skip), n == kBlockSize, 2);
  file.Seek(start + int64_t(skip + g.consumed), platform::CFile::begin);
  size_t units = g.bytes.size() / 2;
  if (g.end == GatherEnd::Limit || units < 24) return -1;
  if (units >= size_t(size)) return 0;  // passed over: the position is already past it
  std::u16string iso(units, u'\0');
  for (size_t i = 0; i < units; ++i) iso[i] = unitAt(g.bytes, 2 * i);
  blankControls(iso.data(), iso.size());
  // The text can pass the buffer even when the record does not (its end tags are not
  // counted in the 99,999 budget): it is cut at the buffer, still well-formed.
  return copyText(loomkit::iso2709::isoToJinei(iso, size_t(size)), buffer, size);
}

}  // namespace

int32_t CMarcFile::ReadFromIso2709(char16_t* buffer, int32_t size, int32_t hFile) {
  platform::CFile file(hFile);
  return ReadFromIso2709(buffer, size, file);
}

int32_t CMarcFile::ReadFromIso2709(char16_t* buffer, int32_t size, CFile& file) {
  if (!buffer || size <= 0) return -1;
  int64_t start = file.GetPosition();
  if (start < 0) return -1;
  if (start > 0 && codePage == -1) return readUtf16Record(buffer, size, file, start);

  char block[kBlockSize];
  size_t n = file.Read(block, kBlockSize);
  if (n < 24) return -1;
  const auto* b = reinterpret_cast<const unsigned char*>(block);
  if (start == 0) {
    if (b[0] == 0xFF && b[1] == 0xFE) {
      codePage = -1;
      markerFlag = 1;
      file.Seek(2, platform::CFile::begin);
      return readUtf16Record(buffer, size, file, 2);
    }
    if (looksLikeUtf16Le(std::string_view(block, n))) {
      codePage = -1;
      markerFlag = 0;
      file.SeekToBegin();
      return readUtf16Record(buffer, size, file, 0);
    }
    if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
      codePage = 65001;
      markerFlag = 1;
    } else {
      codePage = 0;
    }
  }

  std::string_view first(block, n);
  size_t skip = firstDigit(first, 1);
  Gathered g = gatherRecord(file, first.substr(skip), n == kBlockSize, 1);
  if (start == 0 && codePage == 0 && LooksLikeUtf8(g.bytes)) codePage = 65001;
  file.Seek(start + int64_t(skip + g.consumed), platform::CFile::begin);
  if (g.end == GatherEnd::Limit || g.bytes.size() < 24) return -1;

  std::u16string iso = platform::toWide(codePage == -2 ? 0 : codePage, g.bytes);
  if (iso.size() + 1 > size_t(size)) return copyText(kEmptyRecord, buffer, size);
  blankControls(iso.data(), iso.size());
  // Only a record with an escape can hold an EACC run.
  if (iso.find(u'\x1B') != std::u16string::npos) {
    int flag = markerFlag;
    std::u16string decoded = loomkit::iso2709::decodeEaccRuns(iso, &flag);
    if (decoded.size() < iso.size()) {
      codePage = -2;
      markerFlag = flag;
      iso = std::move(decoded);
    }
  }
  return copyText(loomkit::iso2709::isoToJinei(iso, size_t(size)), buffer, size);
}

int32_t CMarcFile::ReadFromIso2709(CMarc& marc, CFile& file, int noLoad) {
  std::unique_ptr<char16_t[]> text(new char16_t[kTextBuffer]);
  int32_t result = ReadFromIso2709(text.get(), kTextBuffer, file);
  if (result > 0 && noLoad == 0) marc.SetContent(text.get());
  return result;
}

int32_t CMarcFile::ReadPrevRecord(char16_t* buffer, int32_t size, int32_t hFile) {
  if (!buffer || size <= 0) return -1;
  platform::CFile file(hFile);
  int64_t position = file.GetPosition();
  int64_t at = previousRecordStart(file, position, codePage == -1 ? 2 : 1);
  if (at < 0) return -1;
  file.Seek(at, platform::CFile::begin);
  int32_t result = codePage == -1 ? readUtf16Record(buffer, size, file, at) : ReadFromIso2709(buffer, size, file);
  // A record that does not end before the one last read is not the one before it (junk or
  // units out of step between them): the walk ends there rather than return it again.
  if (result >= 0 && file.GetPosition() >= position) {
    file.Seek(position, platform::CFile::begin);
    return -1;
  }
  return result;
}

int32_t CMarcFile::ReadPrevRecord(CMarc& marc, CFile& file) {
  std::unique_ptr<char16_t[]> text(new char16_t[kTextBuffer]);
  int32_t result = ReadPrevRecord(text.get(), kTextBuffer, int32_t(file.handle()));
  if (result > 0) marc.SetContent(text.get());
  return result;
}
