// Reading ISO 2709 record files: one record per call, forwards from the file's position or
// back to the record before the one last read, in every form the suite writes (UTF-16LE
// with or without a byte-order mark, UTF-8 with or without one, the ANSI code page, EACC
// runs inside ANSI bytes). A read from offset 0 detects the form and keeps it in the
// object's attributes for the reads that follow.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/words.h>

#include "iso2709_file_internal.h"
#include "iso/iso2709_internal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace loomkit::files {

namespace {

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

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

void blankControls(char16_t* text, size_t length) {
  size_t leader = std::min<size_t>(length, 24);
  for (size_t i = 0; i < leader; ++i) text[i] = text[i] < 0x20 ? u' ' : text[i];
  for (size_t i = leader; i < length; ++i) text[i] = text[i] < 0x1B ? u' ' : text[i];
}

// --- Finding records forwards ---------------------------------------------------------------

namespace {
constexpr char16_t kFieldEndUnit = 0x1E;
constexpr char16_t kRecordEndUnit = 0x1D;
// Reads grow to this size while a long run is crossed; a buffer keeps at most about this
// much behind the scan.
constexpr size_t kMaxRead = 1 << 20;
}  // namespace

RecordScanner::RecordScanner(platform::CFile& file, int64_t from, int unit, std::string first)
    : file_(file), unit_(unit), buf_(std::move(first)), bufStart_(from), pos_(from) {}

size_t RecordScanner::have(int64_t at, size_t count) {
  int64_t want = at + int64_t(count);
  while (!eof_ && bufStart_ + int64_t(buf_.size()) < want) {
    size_t old = buf_.size();
    buf_.resize(old + readSize_);
    uint32_t n = file_.Read(buf_.data() + old, uint32_t(readSize_));
    buf_.resize(old + n);
    if (n < readSize_) eof_ = true;
    readSize_ = std::min(readSize_ * 2, kMaxRead);
  }
  int64_t end = bufStart_ + int64_t(buf_.size());
  if (at >= end) return 0;
  return size_t(std::min<int64_t>(end - at, int64_t(count)));
}

size_t RecordScanner::buffered(int64_t at) {
  have(at, size_t(unit_));
  int64_t end = bufStart_ + int64_t(buf_.size());
  return at >= end ? 0 : size_t(end - at);
}

void RecordScanner::dropBefore(int64_t at) {
  if (at - bufStart_ > int64_t(kMaxRead)) {
    buf_.erase(0, size_t(at - bufStart_));
    bufStart_ = at;
  }
}

bool RecordScanner::leaderFits(int64_t at, bool& baseDigits) {
  if (have(at, size_t(24 * unit_)) < size_t(24 * unit_)) return false;
  for (int i = 0; i < 5; ++i)
    if (!isDigitAt(at + i * unit_)) return false;
  // A record ends at its first terminator, so none stands inside its leader.
  for (int i = 5; i < 24; ++i)
    if (unit(at + i * unit_) == kRecordEndUnit) return false;
  baseDigits = true;
  for (int i = 12; i < 17; ++i) baseDigits = baseDigits && isDigitAt(at + i * unit_);
  return true;
}

long RecordScanner::numberAt(int64_t at, int width) {
  long v = 0;
  for (int i = 0; i < width; ++i) v = v * 10 + long(unit(at + i * unit_) - u'0');
  return v;
}

bool RecordScanner::unitAt(int64_t at, long index, char16_t what) {
  int64_t p = at + index * unit_;
  return have(p, size_t(unit_)) == size_t(unit_) && unit(p) == what;
}

namespace {

// Whether the 12 bytes at `e` are a directory entry of a byte record: no terminator among the
// tag's three, digits in the other nine.
bool isWholeEntry(const char* e) {
  for (int k = 0; k < 3; ++k)
    if (e[k] == '\x1D' || e[k] == '\x1E') return false;
  return platform::words::allBytesDigits(platform::words::bytesAt(e + 3)) && e[11] >= '0' && e[11] <= '9';
}

}  // namespace

RecordScanner::Dir RecordScanner::directory(int64_t at, int64_t& dirEnd) {
  // Tags may be any characters; the length and start columns of every entry are digits.
  int64_t p = at + 24 * unit_;
  int64_t available = p;  // what the buffer holds is known up to here
  // The column within the current 12-character entry, counted rather than divided out.
  for (int column = 0;; column = column == 11 ? 0 : column + 1, p += unit_) {
    // A whole byte entry at once where it lies in the buffer: a tag that ends nothing and nine
    // digits. Anything else is looked at unit by unit.
    while (unit_ == 1 && column == 0 && p + 12 <= available && p + 12 - at < int64_t(kGatherLimit) &&
           isWholeEntry(buf_.data() + (p - bufStart_)))
      p += 12;
    if (p - at >= int64_t(kGatherLimit)) return Dir::TooLong;
    if (p + unit_ > available) {
      // What is already read is scanned before more is asked for: a record usually lies
      // whole in the first block.
      size_t n = buffered(p);
      if (n < size_t(unit_)) break;  // the file ends inside the directory
      available = p + int64_t(n);
    }
    char16_t c = unit(p);
    if (c == kFieldEndUnit || c == kRecordEndUnit) break;
    if (column >= 3 && (c < u'0' || c > u'9')) return Dir::Invalid;
  }
  dirEnd = p;
  return Dir::Valid;
}

RecordScanner::Start RecordScanner::candidate(int64_t at, bool strict, int64_t& dirEnd) {
  bool baseDigits = false;
  if (!leaderFits(at, baseDigits)) return Start::None;
  if (!strict && baseDigits) {
    // The usual case, on the leader and directory test alone.
    Dir d = directory(at, dirEnd);
    if (d != Dir::Invalid) return d == Dir::Valid ? Start::Record : Start::TooLong;
    // An entry with blanks or letters in its numbers: the record is read as far as its
    // directory goes when its length ends on its terminator, which junk never shows. Not
    // among junk, though: there a window into such a record's directory, all digits, may
    // show a length that happens to end on the terminator.
    const long length = numberAt(at, 5);
    if (length < 25 || !unitAt(at, length - 1, kRecordEndUnit)) return Start::None;
    dirEnd = at + 24 * unit_;
    return Start::Broken;
  }
  const long length = numberAt(at, 5), base = baseDigits ? numberAt(at + 12 * unit_, 5) : 0;
  const bool lengthFits = length >= 25 && unitAt(at, length - 1, kRecordEndUnit);
  const bool baseFits = base >= 25 && unitAt(at, base - 1, kFieldEndUnit);
  if (strict && !lengthFits && !baseFits) return Start::None;
  if (directory(at, dirEnd) != Dir::Valid) return Start::None;
  if (!baseDigits) {
    // A base address that is no number is taken from the directory's end, when the directory
    // is whole: entries of 12 and a field terminator after them.
    long entriesUnits = long((dirEnd - at) / unit_) - 24;
    bool whole = entriesUnits > 0 && entriesUnits % 12 == 0 && unitAt(dirEnd, 0, kFieldEndUnit);
    return whole ? Start::Record : Start::None;
  }
  if (strict && !lengthFits && dirEnd != at + (base - 1) * unit_) return Start::None;
  return Start::Record;
}

bool RecordScanner::canStart(int64_t at) {
  int64_t dirEnd = 0;
  return candidate(at, true, dirEnd) == Start::Record;
}

int64_t RecordScanner::innerRecord(int64_t at, int64_t from, int64_t terminator) {
  // The record's own length ending on the terminator says it is whole.
  if (at + (numberAt(at, 5) - 1) * unit_ == terminator) return -1;
  for (int64_t q = from; q + 24 * unit_ <= terminator; q += unit_) {
    // Its length column says exactly the units from here to the terminator; most places fail
    // on the first digit.
    const long expected = long((terminator - q) / unit_) + 1;
    if (expected > 99999 || unit(q) != char16_t(u'0' + expected / 10000)) continue;
    bool baseDigits = false;
    if (!leaderFits(q, baseDigits) || !baseDigits || numberAt(q, 5) != expected) continue;
    const long base = numberAt(q + 12 * unit_, 5);
    int64_t dirEnd = 0;
    if (base >= 25 && directory(q, dirEnd) == Dir::Valid && dirEnd == q + (base - 1) * unit_ &&
        unit(dirEnd) == kFieldEndUnit)
      return q;
  }
  return -1;
}

bool RecordScanner::otherParityStarts(int64_t at, bool strict) {
  if (have(at, 2) < 2 || !isDigitAt(at)) return false;
  int64_t dirEnd = 0;
  return candidate(at, strict, dirEnd) != Start::None;
}

bool RecordScanner::endsOnOtherParity(int64_t terminator) {
  // A UTF-16 record that a stray byte has put out of step ends on a terminator at the other
  // parity. One that a pair of characters only seems to hold (U+1Dxx then U+xx00) is told apart
  // by what follows: the end of the file, a line break, a terminator or a record.
  int64_t next = terminator + 2;
  if (have(next, 2) < 2) return true;
  char16_t c = unit(next);
  if (c == u'\r' || c == u'\n' || c == kRecordEndUnit) return true;
  bool baseDigits = false;
  return c >= u'0' && c <= u'9' && leaderFits(next, baseDigits);
}

int64_t RecordScanner::skipRun(int64_t from) {
  for (int64_t q = from + unit_;; q += unit_) {
    // Keep the look-ahead a record length can reach, and little behind.
    dropBefore(q);
    if (have(q, size_t(unit_)) < size_t(unit_)) return q;
    char16_t c = unit(q);
    if (c == kRecordEndUnit) return q + unit_;
    if (c >= u'0' && c <= u'9' && canStart(q)) return q;
  }
}

bool RecordScanner::next(Located& out) {
  const size_t leader = size_t(24 * unit_);
  int64_t at = pos_;
  // The first digit after a terminator (or the start) is taken on the leader and directory
  // test alone, as broken lengths and base addresses are common. Once a candidate has
  // failed, the bytes up to the next terminator are junk, and a record found among them
  // must also show a length or a base address that fits (otherwise a window into a broken
  // record's directory, all digits, would pass for a record). What is found after a
  // terminator thus never depends on what came before it, which the walk back relies on.
  bool strict = false;
  for (;;) {
    dropBefore(at);
    if (at >= stopAt_) {
      pos_ = at;
      return false;
    }
    if (have(at, leader) < leader) {
      // The end, or a tail too short for a leader: the scan stands past what was read.
      pos_ = std::max(at, bufStart_ + int64_t(buf_.size()));
      return false;
    }
    if (!isDigitAt(at)) {
      if (unit(at) == kRecordEndUnit) strict = false;
      // UTF-16 units put out of step by a stray byte: a record at the other parity is read
      // from there, and the scan goes on at its parity.
      at += unit_ == 2 && otherParityStarts(at + 1, strict) ? 1 : unit_;
      continue;
    }
    int64_t dirEnd = 0;
    Start start = candidate(at, strict, dirEnd);
    if (start == Start::None) {
      strict = true;
      at += unit_;
      continue;
    }
    if (start == Start::TooLong) {
      at = skipRun(at);
      strict = false;
      continue;
    }
    out.brokenDirectory = start == Start::Broken;
    // The record runs to its first terminator, within the bound.
    const int64_t limit = at + int64_t(kGatherLimit);
    int64_t p = dirEnd;
    bool found = false, ended = false, inStep = true;
    while (p + unit_ <= limit) {
      size_t n = size_t(std::min<int64_t>(limit - p, int64_t(buffered(p))));
      n -= n % size_t(unit_);
      if (n == 0) {
        ended = true;
        break;
      }
      const char* b = buf_.data() + (p - bufStart_);
      if (unit_ == 1) {
        const void* hit = std::memchr(b, 0x1D, n);
        if (hit) {
          p += static_cast<const char*>(hit) - b;
          found = true;
          break;
        }
      } else {
        // Bytes 1D 00 at the record's parity, or at the other one where the record ends there
        // (its 00 may lie past what is buffered yet).
        for (size_t i = 0; i < n;) {
          const void* hit = std::memchr(b + i, 0x1D, n - i);
          if (!hit) break;
          i = size_t(static_cast<const char*>(hit) - b);
          bool pair = i + 1 < n ? b[i + 1] == '\0' : unitAt(p + int64_t(i), 0, kRecordEndUnit);
          if (pair && (i % 2 == 0 || endsOnOtherParity(p + int64_t(i)))) {
            found = true;
            inStep = i % 2 == 0;
            p += int64_t(i);
            break;
          }
          b = buf_.data() + (p - bufStart_);  // looking on may have read more
          ++i;
        }
        if (found) break;
      }
      p += int64_t(n);
    }
    if (found || ended) {
      int64_t end = found ? p + unit_ : p;
      // A record cut short runs on into the next one up to that one's terminator: when a
      // whole record stands inside the run, the cut one ends where it starts.
      int64_t inner = found && inStep ? innerRecord(at, dirEnd + unit_, p) : -1;
      if (inner >= 0) end = inner;
      out.start = at;
      out.end = end;
      out.terminated = found && inner < 0;
      out.bytes.assign(buf_, size_t(at - bufStart_), size_t(end - at));
      pos_ = end;
      return true;
    }
    at = skipRun(at);
    strict = false;
  }
}

// --- Walking back ---------------------------------------------------------------------------

int64_t TerminatorsBack::next() {
  for (;;) {
    at_ -= unit_;
    if (at_ < 0) return -1;
    if (at_ < blockStart_) {
      int64_t end = at_ + unit_;
      blockStart_ = std::max<int64_t>(0, end - int64_t(kBlockSize));
      uint32_t want = uint32_t(end - blockStart_);
      block_.resize(want);
      errno = 0;
      if (file_.Seek(blockStart_, platform::CFile::begin) != blockStart_ || file_.Read(block_.data(), want) != want) {
        if (errno == 0) errno = EIO;  // the file is shorter than it was
        failed_ = true;
        return -1;
      }
    }
    const char* p = block_.data() + (at_ - blockStart_);
    if (unit_ == 1 ? *p == '\x1D' : (p[0] == '\x1D' && p[1] == '\0')) return at_;
  }
}

bool previousRecord(platform::CFile& file, int64_t position, int unit, Located& out, bool* first) {
  if (position <= 0) return false;
  TerminatorsBack back(file, position, unit);
  std::vector<int64_t> ends;  // terminators before `position`, nearest first
  // The record last read is the last one that ends by `position` (with its terminator, or
  // at the end of a file that lacks one, or before stray bytes the last read passed over);
  // the answer is the one before it. Both normally lie after the third terminator back;
  // when what lies there is junk or an oversize run, read forwards from twice as far back,
  // and so on.
  for (size_t want = 3;; want *= 2) {
    while (ends.size() < want) {
      int64_t e = back.next();
      if (e < 0) break;
      ends.push_back(e);
    }
    bool atStart = ends.size() < want;
    int64_t from = atStart ? 0 : ends[want - 1] + unit;
    if (file.Seek(from, platform::CFile::begin) != from) return false;
    RecordScanner scan(file, from, unit);
    scan.stopAt(position);
    Located r, previous, last;
    int found = 0;
    while (scan.next(r) && r.end <= position) {
      previous = std::move(last);
      last = std::move(r);
      ++found;
    }
    if (found >= 2) {
      if (first) *first = from == 0 && found == 2;
      out = std::move(previous);
      return true;
    }
    if (atStart) return false;
  }
}

}  // namespace loomkit::files

using namespace loomkit::files;

namespace {

// The record-object forms read into a buffer of this many characters.
constexpr size_t kTextBuffer = 128000;
// What the readers give besides a text's length: no record, or one passed over.
constexpr int32_t kEnd = -1, kPassedOver = -2;

// A reader's result into a caller's buffer: -1 at the end, 0 (buffer untouched) for a
// record passed over, else the text's length.
int32_t deliver(int32_t status, const std::u16string& text, char16_t* buffer, int32_t size) {
  if (status < 0) return status == kPassedOver ? 0 : -1;
  if (text.size() + 1 > size_t(size)) return 0;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return int32_t(text.size());
}

// The next record from `start` on, the file left just past it (or at its end); false at the
// end of the file. `first` is what has been read from `start` already.
bool locateNext(platform::CFile& file, int64_t start, int unit, std::string first, Located& rec) {
  RecordScanner scan(file, start, unit, std::move(first));
  bool found = scan.next(rec);
  file.Seek(scan.position(), platform::CFile::begin);
  return found;
}

// A directory entry whose start column is no number would be moved from its place by the
// directory sort, which pairs entries with the fields in data order: it takes the start of the
// entry before it, so that it stays where it stands.
void keepBrokenEntriesInPlace(std::u16string& iso) {
  size_t dirEnd = iso.find(u'\x1E', 24);
  if (dirEnd == std::u16string::npos) return;
  const char16_t* previous = u"00000";
  for (size_t e = 24; e + 12 <= dirEnd; e += 12) {
    char16_t* start = iso.data() + e + 7;
    bool digits = true;
    for (int k = 0; k < 5; ++k) digits = digits && start[k] >= u'0' && start[k] <= u'9';
    if (!digits) std::copy(previous, previous + 5, start);
    previous = start;
  }
}

// A UTF-16LE record as internal record text of at most `capacity` units with its NUL;
// `extent` is told what the text keeps of it.
int32_t utf16Text(const Located& rec, size_t capacity, std::u16string& text, Iso2709Extent& extent) {
  size_t units = rec.bytes.size() / 2;
  if (units >= capacity) return kPassedOver;  // the position is already past it
  std::u16string iso(units, u'\0');
  for (size_t i = 0; i < units; ++i) iso[i] = unitAt(rec.bytes, 2 * i);
  blankControls(iso.data(), iso.size());
  if (rec.brokenDirectory) keepBrokenEntriesInPlace(iso);
  // The text can pass the buffer even when the record does not (its end tags are not
  // counted in the 99,999 budget): it is cut at the buffer, still well-formed.
  text = loomkit::iso2709::isoToJinei(std::move(iso), capacity, &extent);
  return int32_t(text.size());
}

// UTF-16LE records from `start` on (right after a byte-order mark, or a record's end).
int32_t readUtf16Record(platform::CFile& file, int64_t start, size_t capacity, std::u16string& text,
                        Iso2709Extent& extent) {
  Located rec;
  if (!locateNext(file, start, 2, {}, rec)) return kEnd;
  return utf16Text(rec, capacity, text, extent);
}

}  // namespace

int32_t CMarcFile::ReadFromIso2709(char16_t* buffer, int32_t size, int32_t hFile) {
  platform::CFile file(hFile);
  return ReadFromIso2709(buffer, size, file);
}

int32_t CMarcFile::ReadFromIso2709(char16_t* buffer, int32_t size, CFile& file) {
  if (!buffer || size <= 0) return -1;
  std::u16string text;
  return deliver(readText(file, size_t(size), text), text, buffer, size);
}

int32_t CMarcFile::readText(CFile& file, size_t capacity, std::u16string& text) {
  lastExtent = {};
  // Most reads go on from the record before in a byte form: read first and learn where the
  // read began from the one seek that leaves the file just past the record, offsets counted
  // from the read's start meanwhile. A read that turns out to start at offset 0 (which
  // detects the file's form) is done again the long way; so is every read of a UTF-16 file
  // and every read of an object that has not settled a byte form yet, whose scan could not
  // know its unit.
  if (codePage == -1) {
    int64_t start = file.GetPosition();
    if (start < 0) return kEnd;
    return readTextAt(file, start, capacity, text);
  }
  std::string block(kBlockSize, '\0');  // handed on to the scanner, not copied
  size_t n = file.Read(block.data(), kBlockSize);
  if (n < 24) return kEnd;  // the position stands past what was read, as a full read leaves it
  block.resize(n);
  const auto* b = reinterpret_cast<const unsigned char*>(block.data());
  if ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) || looksLikeUtf16Le(block)) {
    // What can only stand at the start of a file: read from where the read began.
    int64_t start = file.Seek(-int64_t(n), platform::CFile::current);
    if (start < 0) return kEnd;
    return readTextAt(file, start, capacity, text);
  }
  RecordScanner scan(file, 0, 1, std::move(block));
  Located rec;
  bool found = scan.next(rec);
  int64_t end = file.Seek(scan.position() - scan.readEnd(), platform::CFile::current);
  if (end < 0) return kEnd;
  if (end - scan.position() == 0) {
    file.SeekToBegin();
    return readTextAt(file, 0, capacity, text);
  }
  if (!found) return kEnd;
  settleForm(rec.bytes);
  return byteText(rec.bytes, capacity, text, rec.brokenDirectory);
}

void CMarcFile::settleForm(std::string_view bytes) {
  // Only the file's byte form is open: a record with EACC runs (all its bytes below 80) has
  // made the object report -2 and decides nothing. While the form stays open (all records
  // ASCII, or MARC-8 with EACC runs), each record is looked through, eight bytes at a time.
  if (!formOpen || (codePage != 0 && codePage != -2) || !platform::words::holdsHighByte(bytes)) return;
  formOpen = false;
  if (LooksLikeUtf8(bytes)) codePage = 65001;
}

int32_t CMarcFile::readTextAt(CFile& file, int64_t start, size_t capacity, std::u16string& text) {
  if (start > 0 && codePage == -1) return readUtf16Record(file, start, capacity, text, lastExtent);

  std::string block(kBlockSize, '\0');  // handed on to the scanner, not copied
  size_t n = file.Read(block.data(), kBlockSize);
  if (n < 24) return kEnd;
  block.resize(n);
  const auto* b = reinterpret_cast<const unsigned char*>(block.data());
  if (start == 0) {
    formOpen = false;
    if (b[0] == 0xFF && b[1] == 0xFE) {
      codePage = -1;
      markerFlag = 1;
      file.Seek(2, platform::CFile::begin);
      return readUtf16Record(file, 2, capacity, text, lastExtent);
    }
    if (looksLikeUtf16Le(block)) {
      codePage = -1;
      markerFlag = 0;
      file.SeekToBegin();
      return readUtf16Record(file, 0, capacity, text, lastExtent);
    }
    if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
      codePage = 65001;
      markerFlag = 1;
    } else {
      // The ANSI code page until a record shows a byte above 7F: the first that does
      // decides between it and UTF-8.
      codePage = 0;
      formOpen = true;
    }
  }

  Located rec;
  if (!locateNext(file, start, 1, std::move(block), rec)) return kEnd;
  settleForm(rec.bytes);
  return byteText(rec.bytes, capacity, text, rec.brokenDirectory);
}

int32_t CMarcFile::byteText(const std::string& bytes, size_t capacity, std::u16string& text, bool brokenDirectory) {
  std::u16string iso = platform::toWide(codePage == -2 ? 0 : codePage, bytes);
  // Control characters blanked as blankControls does, noting on the way whether an escape
  // is left: only a record with one can hold an EACC run.
  char16_t* u = iso.data();
  size_t length = iso.size(), leader = std::min<size_t>(length, 24);
  for (size_t i = 0; i < leader; ++i) u[i] = u[i] < 0x20 ? u' ' : u[i];
  bool escapes = false;
  // A word at a time while none is below U+001C (nearly all of a record); a word that
  // holds one is done unit by unit.
  platform::words::mapBelow(u + leader, length - leader, char16_t(0x1C), [&escapes](char16_t c) {
    escapes |= c == 0x1B;
    return c < 0x1B ? u' ' : c;
  });
  // EACC runs are decoded record by record on top of the file's byte form (code page 936 or
  // UTF-8), which they leave as it was decided. A file of the ANSI code page with runs is
  // reported as the EACC form.
  if (brokenDirectory) keepBrokenEntriesInPlace(iso);
  bool eacc = false;
  if (escapes) {
    int flag = markerFlag;
    std::u16string decoded = loomkit::iso2709::decodeEaccRuns(iso, &flag);
    if (decoded.size() < iso.size()) {
      if (codePage == 0 || codePage == 936) codePage = -2;
      if (codePage == -2) markerFlag = flag;
      iso = std::move(decoded);
      eacc = true;
    }
  }
  // Every unit below U+001B is a blank now, as the tree needs; decoded EACC text goes the
  // text's way only when its runs gave such a unit.
  if (treeTarget && (!eacc || !platform::words::holdsUnitBelow(iso, 0x1B))) {
    size_t length =
        loomkit::iso2709::isoToTree(std::move(iso), capacity, treeTarget->document, &treeTarget->root, &lastExtent);
    treeBuilt = length > 0;
    return int32_t(length);
  }
  // A record wider than the buffer is cut like the 99,999 budget cuts: whole trailing
  // fields go, and the text stays well-formed.
  text = loomkit::iso2709::isoToJinei(std::move(iso), capacity, &lastExtent);
  return int32_t(text.size());
}

void CMarcFile::loadInto(CMarc& marc, const std::u16string& text) {
  // What SetContent does with the text's NUL-terminated copy, without measuring it again:
  // record text never holds a NUL.
  marc.document.loadXml(text);
  marc.loaded();
}

int32_t CMarcFile::loadRecord(CMarc& marc, CFile& file, bool previous) {
  std::u16string text;
  treeTarget = &marc;
  treeBuilt = false;
  // The lookup is rebuilt for the new tree anyway; let go of the old one's nodes now.
  marc.queryCache.reset();
  int32_t result;
  try {
    result = previous ? prevText(file, kTextBuffer, text) : readText(file, kTextBuffer, text);
  } catch (...) {
    treeTarget = nullptr;
    throw;
  }
  treeTarget = nullptr;
  if (result > 0) {
    if (treeBuilt) marc.loaded();
    else loadInto(marc, text);
  }
  return result == kPassedOver ? 0 : result;
}

int32_t CMarcFile::ReadFromIso2709(CMarc& marc, CFile& file, int noLoad) {
  if (noLoad == 0) return loadRecord(marc, file, false);
  std::u16string text;
  int32_t result = readText(file, kTextBuffer, text);
  return result == kPassedOver ? 0 : result;
}

int32_t CMarcFile::ReadPrevRecord(char16_t* buffer, int32_t size, int32_t hFile) {
  if (!buffer || size <= 0) return -1;
  platform::CFile file(hFile);
  std::u16string text;
  return deliver(prevText(file, size_t(size), text), text, buffer, size);
}

int32_t CMarcFile::prevText(CFile& file, size_t capacity, std::u16string& text) {
  lastExtent = {};
  int64_t position = file.GetPosition();
  int unit = codePage == -1 ? 2 : 1;
  Located rec;
  bool first = false;
  if (!previousRecord(file, position, unit, rec, &first)) {
    file.Seek(position, platform::CFile::begin);
    return kEnd;
  }
  file.Seek(rec.end, platform::CFile::begin);
  if (unit == 2) return utf16Text(rec, capacity, text, lastExtent);
  // The first record of the file is read afresh from offset 0, which detects the form again.
  if (first) {
    file.SeekToBegin();
    return readTextAt(file, 0, capacity, text);
  }
  return byteText(rec.bytes, capacity, text, rec.brokenDirectory);
}

int32_t CMarcFile::ReadPrevRecord(CMarc& marc, CFile& file) { return loadRecord(marc, file, true); }

Iso2709Extent CMarcFile::LastRecordExtent() const { return lastExtent; }
