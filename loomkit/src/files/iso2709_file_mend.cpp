// Mending a record file before records are appended to it. A process killed in the middle of
// an append (or a disk that filled under a writer that did not take its part back) leaves
// the file ending in part of a record; appending after it would bury that fragment in the
// middle of the file, where it garbles the record that follows for every reader. The tail is
// moved into a file of its own beside the record file, so nothing is thrown away, and the
// record file is cut back to its last whole record.
#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/paths.h>

#include "iso2709_file_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

namespace {

using loomkit::files::kBlockSize;

// The tail is copied in blocks of this size.
constexpr size_t kCopyBlock = 65536;

// Exactly `count` bytes of the file from `at`; false when they cannot be read (errno says why).
bool readAt(CFile& file, int64_t at, size_t count, std::string& out) {
  out.resize(count);
  errno = 0;
  if (file.Seek(at, CFile::begin) != at || file.Read(out.data(), uint32_t(count)) != count) {
    if (errno == 0) errno = EIO;  // the file is shorter than it was
    return false;
  }
  return true;
}

char16_t unitIn(std::string_view block, size_t i, int unit) {
  return unit == 1 ? char16_t(uint8_t(block[i])) : loomkit::files::unitAt(block, i);
}

// The units the file is written in, from its first block: a byte-order mark (FF FE: UTF-16LE,
// EF BB BF: bytes; `base` is then past it), else the reader's own test for UTF-16LE without
// one. Only a file that cannot tell (empty, no digit, or too short after its first digit for
// a record length) is taken in the writer's units.
int fileUnit(std::string_view head, int writerUnit, int64_t& base) {
  base = 0;
  if (head.size() >= 2 && uint8_t(head[0]) == 0xFF && uint8_t(head[1]) == 0xFE) {
    base = 2;
    return 2;
  }
  if (head.size() >= 3 && head.substr(0, 3) == "\xEF\xBB\xBF") {
    base = 3;
    return 1;
  }
  if (loomkit::files::looksLikeUtf16Le(head)) return 2;
  const size_t digit = loomkit::files::firstDigit(head, 1);
  if (digit < head.size() && (digit % 2 != 0 || digit + 10 <= head.size())) return 1;
  return writerUnit;
}

bool isLineBreak(char16_t u) { return u == u'\r' || u == u'\n'; }

// Past the line break units that follow `from` (the break written after a record), up to
// the last whole unit before `end`.
bool skipLineBreaks(CFile& file, int64_t from, int64_t end, int unit, int64_t& at) {
  std::string block;
  for (at = from; at + unit <= end;) {
    const size_t want = size_t(std::min<int64_t>(end - at, int64_t(kBlockSize))) / size_t(unit) * size_t(unit);
    if (!readAt(file, at, want, block)) return false;
    for (size_t i = 0; i < want; i += size_t(unit))
      if (!isLineBreak(unitIn(block, i, unit))) {
        at += int64_t(i);
        return true;
      }
    at += int64_t(want);
  }
  return true;
}

// The offset of the first digit in [from, to), a whole number of units; -1 when there is none.
bool firstDigitIn(CFile& file, int64_t from, int64_t to, int unit, int64_t& digit) {
  digit = -1;
  std::string block;
  for (int64_t at = from; at < to;) {
    const size_t want = size_t(std::min<int64_t>(to - at, int64_t(kBlockSize)));
    if (!readAt(file, at, want, block)) return false;
    const size_t i = loomkit::files::firstDigit(block, unit);
    if (i < block.size()) {
      digit = at + int64_t(i);
      return true;
    }
    at += int64_t(want);
  }
  return true;
}

// Where the torn tail of a file of `end` bytes starts, or -1 when it ends on a whole record.
bool tornTailStart(CFile& file, int64_t base, int64_t end, int unit, int64_t& cut) {
  cut = -1;
  // Only whole units can end a record; a half unit at the end is part of the tail. A mark
  // holds no terminator, so the walk back never stops inside one.
  const int64_t whole = base + (end - base) / unit * unit;
  loomkit::files::TerminatorsBack back(file, whole, unit);
  const int64_t last = back.next();
  if (back.failed()) return false;
  const int64_t afterLast = last < 0 ? base : last + unit;
  int64_t rest = 0;
  if (!skipLineBreaks(file, afterLast, end, unit, rest)) return false;
  if (rest < end) {
    // A run after the last terminator (or a file without any): a record cut off.
    cut = rest;
    return true;
  }
  if (last < 0) return true;  // nothing but line breaks (or nothing at all)

  // The last record, from past the terminator before it: a leader whose length passes the
  // end of the file belongs to a record that never was written whole.
  const int64_t previous = back.next();
  if (back.failed()) return false;
  const int64_t from = previous < 0 ? base : previous + unit;
  int64_t digit = -1;
  if (!firstDigitIn(file, from, last, unit, digit)) return false;
  if (digit < 0 || digit + 5 * unit > last) return true;
  std::string leader;
  if (!readAt(file, digit, size_t(5 * unit), leader)) return false;
  int64_t length = 0;
  for (int i = 0; i < 5; ++i) {
    const char16_t u = unitIn(leader, size_t(i * unit), unit);
    if (u < u'0' || u > u'9') return true;
    length = length * 10 + (u - u'0');
  }
  if (digit + length * unit > end) return skipLineBreaks(file, from, end, unit, cut);
  return true;
}

// The name of the file behind a descriptor the caller passed in.
std::string pathOf(const CFile& file) {
  if (!file.path().empty()) return file.path();
  char buf[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(file.handle());
  ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, size_t(n));
}

// A new file beside `path` for its tail: "<name>.torn", else "<name>.torn-2" and on, never
// one that exists.
int createTailFile(const std::string& path, std::string& name) {
  for (int i = 1; i < 1000; ++i) {
    name = path + ".torn" + (i == 1 ? std::string() : "-" + std::to_string(i));
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Copies [from, to) of `in` into `out` and makes it durable.
bool copyTail(int in, int64_t from, int64_t to, int out) {
  std::vector<char> buf(kCopyBlock);
  for (int64_t at = from; at < to;) {
    size_t want = size_t(std::min<int64_t>(to - at, int64_t(buf.size())));
    ssize_t n = pread(in, buf.data(), want, off_t(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    platform::CFile sink(out);
    if (!sink.Write(buf.data(), uint32_t(n))) return false;
    at += n;
  }
  return fsync(out) == 0;
}

}  // namespace

int32_t CMarcFile::MendTornTail(CFile& file, std::string& tailFile) {
  tailFile.clear();
  const int64_t end = file.GetLength();
  if (end < 0) {
    errno = EBADF;
    return -1;
  }
  std::string head;
  if (!readAt(file, 0, size_t(std::min<int64_t>(end, int64_t(kBlockSize))), head)) return -1;
  int64_t base = 0;
  const int unit = fileUnit(head, codePage == -1 ? 2 : 1, base);
  int64_t cut = -1;
  if (!tornTailStart(file, base, end, unit, cut)) return -1;
  if (cut < 0) {
    file.SeekToEnd();
    return 0;
  }

  const std::string path = pathOf(file);
  if (path.empty()) return -1;
  std::string name;
  int out = createTailFile(path, name);
  if (out < 0) return -1;
  // The tail is safe in its own file, and the folder names it, before the record file loses
  // it: a crash in between leaves it in both, never in neither.
  bool ok = copyTail(file.handle(), cut, end, out);
  ok = ::close(out) == 0 && ok;
  ok = ok && platform::syncFolder(platform::folderOf(name));
  if (!ok || !file.SetLength(cut)) {
    const int error = errno;
    if (file.GetLength() == end) ::unlink(name.c_str());
    errno = error;
    return -1;
  }
  // A cut that may not have reached the disk is no mend: the caller learns why, and the tail
  // stays in its own file as well.
  tailFile = name;
  const bool flushed = file.Flush();
  const int error = errno;
  file.SeekToEnd();
  errno = error;
  return flushed ? 1 : -1;
}
