// Appending ISO 2709 records to a file in the object's code page: the byte-order mark at the
// start of a file, the record's bytes, and the line break after it when asked for. A record
// is written whole or not at all: when its conversion gives no bytes, nothing is written
// (no mark, no line break) and the answer is 0 with errno 0; when the disk takes only part
// of it (full, a file-size limit), that part is cut off again where the file lets it be
// (else it stays at the end, for MendTornTail) and the answer is 0 with errno saying why.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/codepage.h>
#include <platform/file.h>

#include "iso/iso2709_internal.h"

#include <cerrno>
#include <string>

namespace {

// The writer converts one record into at most this many bytes.
constexpr size_t kWriteLimit = 128000;

// The record's characters as UTF-16LE bytes, leader and directory left in characters.
std::string utf16Bytes(const char16_t* record, int32_t length) {
  std::string out(size_t(length) * 2, '\0');
  for (int32_t i = 0; i < length; ++i) {
    out[2 * size_t(i)] = char(record[i] & 0xFF);
    out[2 * size_t(i) + 1] = char(record[i] >> 8);
  }
  return out;
}

// The answer for a record that gives nothing to write: 0, and no write failed.
int32_t nothingToWrite() {
  errno = 0;
  return 0;
}

}  // namespace

int32_t CMarcFile::AppendToIso2709(const char16_t* record, int32_t length, int32_t hFile) {
  platform::CFile file(hFile);
  return AppendToIso2709(record, length, file);
}

int32_t CMarcFile::AppendToIso2709(const char16_t* record, int32_t length, CFile& file) {
  if (!record || length <= 0) return nothingToWrite();
  std::string bytes;
  if (codePage == -1) {
    bytes = utf16Bytes(record, length);
  } else {
    std::u16string_view text(record, size_t(length));
    bytes = codePage == -2 ? loomkit::iso2709::eaccRecordBytes(text, markerFlag, kWriteLimit)
                           : loomkit::iso2709::codePageRecordBytes(text, codePage, kWriteLimit);
  }
  if (bytes.empty()) return nothingToWrite();
  if (!writeRecordBytes(bytes, file)) return 0;
  return codePage == -1 || codePage == -2 ? length : int32_t(bytes.size());
}

bool CMarcFile::writeRecordBytes(const std::string& bytes, CFile& file) {
  // Only the forms with a byte-order mark need to know whether the file is still empty.
  std::string mark;
  if (markerFlag != 0 && (codePage == -1 || codePage == 65001) && file.GetPosition() == 0)
    mark = codePage == -1 ? "\xFF\xFE" : "\xEF\xBB\xBF";
  const std::string* out = &bytes;
  std::string whole;
  if (!mark.empty() || newlineAfterRecord != 0) {
    whole = mark + bytes;
    if (newlineAfterRecord != 0) whole += codePage == -1 ? std::string("\r\0\n\0", 4) : std::string("\r\n");
    out = &whole;
  }
  const int64_t start = file.GetPosition();
  const int64_t length = file.GetLength();
  if (file.Write(out->data(), uint32_t(out->size()))) return true;
  // Whatever part of the record reached the file is taken back, so that the file still ends
  // on a whole record; the caller learns why the write failed. A part that cannot be taken
  // back is left where it is, the file standing past it: the next record starts after it
  // and the next mend moves it out, where a record written over it from its start would
  // leave the rest of it behind, in the middle of the file.
  const int error = errno;
  if (start >= 0 && length >= 0) {
    const int64_t now = file.GetLength();
    if (now >= 0 && (now <= length || file.SetLength(length))) file.Seek(start, CFile::begin);
    else file.SeekToEnd();
  }
  errno = error;
  return false;
}

int32_t CMarcFile::AppendToIso2709(CMarc& marc, CFile& file) {
  // The byte forms go from the tree to bytes at once, unless the record needs cutting or
  // the converter; then, and in the other forms, through the record's UTF-16 form.
  if (codePage == 0 || codePage == 936 || codePage == 65001) {
    size_t units = 0;
    std::string bytes = loomkit::iso2709::jineiToBytes(marc.root, codePage, units);
    if (!bytes.empty()) return writeRecordBytes(bytes, file) ? int32_t(units) : 0;
  }
  std::u16string iso = loomkit::iso2709::jineiToIso(marc.root);
  if (iso.empty()) return nothingToWrite();
  if (AppendToIso2709(iso.data(), int32_t(iso.size()), file) == 0) return 0;
  return int32_t(iso.size());
}
