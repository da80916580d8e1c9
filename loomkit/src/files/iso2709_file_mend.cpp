// Mending a record file before records are appended to it. A process killed in the middle of
// an append (or a disk that filled under a writer that did not take its part back) leaves
// the file ending in part of a record; appending after it would bury that fragment in the
// middle of the file, where it garbles the record that follows for every reader. The tail is
// moved into a file of its own beside the record file, so nothing is thrown away, and the
// record file is cut back to its last whole record.
#include <loomkit/MarcFile.h>
#include <platform/file.h>
#include <platform/paths.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlock = 65536;
constexpr char16_t kRecordEnd = 0x1D;

// The file read unit by unit from its end towards its start, a block at a time.
class BackwardUnits {
 public:
  BackwardUnits(int fd, int64_t base, int64_t end, int unit) : fd_(fd), base_(base), end_(end), unit_(unit) {}

  // The offset of the last unit `c` before `before` (at or after the base), or -1; false
  // when the file cannot be read.
  bool findBefore(int64_t before, char16_t c, int64_t& at) {
    at = -1;
    for (int64_t pos = before - unit_; pos >= base_; pos -= unit_) {
      char16_t u = 0;
      if (!unitAt(pos, u)) return false;
      if (u == c) {
        at = pos;
        return true;
      }
    }
    return true;
  }

  bool unitAt(int64_t pos, char16_t& u) {
    if (pos < blockStart_ || pos + unit_ > blockStart_ + int64_t(block_.size())) {
      // Going backwards, the block that ends just past this unit; going forwards, the one
      // that starts at it; both on unit boundaries and within the file.
      bool forwards = !block_.empty() && pos >= blockStart_;
      int64_t start = forwards ? pos : std::max(base_, pos + unit_ - int64_t(kBlock));
      start = base_ + (start - base_) / unit_ * unit_;
      int64_t stop = forwards ? std::min(end_, start + int64_t(kBlock)) : pos + unit_;
      stop = start + (stop - start) / unit_ * unit_;
      block_.resize(size_t(stop - start));
      ssize_t n = pread(fd_, block_.data(), block_.size(), off_t(start));
      if (n != ssize_t(block_.size()) || block_.size() < size_t(unit_)) {
        if (n >= 0) errno = EIO;
        block_.clear();
        return false;
      }
      blockStart_ = start;
    }
    size_t i = size_t(pos - blockStart_);
    u = unit_ == 1 ? char16_t(uint8_t(block_[i])) : char16_t(uint8_t(block_[i]) | (uint8_t(block_[i + 1]) << 8));
    return true;
  }

  int64_t end() const { return end_; }

 private:
  int fd_;
  int64_t base_, end_;
  int unit_;
  std::vector<char> block_;
  int64_t blockStart_ = 0;
};

bool isLineBreak(char16_t u) { return u == u'\r' || u == u'\n'; }

// Past the line break units that follow `from` (the break written after a record).
bool skipLineBreaks(BackwardUnits& units, int64_t from, int unit, int64_t& at) {
  at = from;
  while (at + unit <= units.end()) {
    char16_t u = 0;
    if (!units.unitAt(at, u)) return false;
    if (!isLineBreak(u)) break;
    at += unit;
  }
  return true;
}

// Where the torn tail starts, or -1 when the file ends on a whole record.
bool tornTailStart(BackwardUnits& units, int64_t base, int unit, int64_t& cut) {
  cut = -1;
  const int64_t end = units.end();
  // Only whole units can end a record; a half unit at the end is part of the tail.
  const int64_t whole = base + (end - base) / unit * unit;
  int64_t last = -1;
  if (!units.findBefore(whole, kRecordEnd, last)) return false;
  const int64_t afterLast = last < 0 ? base : last + unit;
  int64_t rest = 0;
  if (!skipLineBreaks(units, afterLast, unit, rest)) return false;
  if (rest < end) {
    // A run after the last terminator (or a file without any): a record cut off.
    cut = rest;
    return true;
  }
  if (last < 0) return true;  // nothing but line breaks (or nothing at all)

  // The last record, from past the terminator before it: a leader whose length passes the
  // end of the file belongs to a record that never was written whole.
  int64_t previous = -1;
  if (!units.findBefore(last, kRecordEnd, previous)) return false;
  const int64_t from = previous < 0 ? base : previous + unit;
  int64_t digit = from;
  for (char16_t u = 0; digit < last; digit += unit) {
    if (!units.unitAt(digit, u)) return false;
    if (u >= u'0' && u <= u'9') break;
  }
  if (digit + 5 * unit > last) return true;
  int64_t length = 0;
  for (int i = 0; i < 5; ++i) {
    char16_t u = 0;
    if (!units.unitAt(digit + i * unit, u)) return false;
    if (u < u'0' || u > u'9') return true;
    length = length * 10 + (u - u'0');
  }
  if (digit + length * unit > end) return skipLineBreaks(units, from, unit, cut);
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
  std::vector<char> buf(kBlock);
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

void syncFolderOf(const std::string& path) {
  int fd = ::open(platform::folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int32_t CMarcFile::MendTornTail(CFile& file, std::string& tailFile) {
  tailFile.clear();
  const int64_t end = file.GetLength();
  if (end < 0) {
    errno = EBADF;
    return -1;
  }
  // The file's own form where a byte-order mark gives it, else the one records are written in.
  unsigned char head[3] = {};
  ssize_t got = end > 0 ? pread(file.handle(), head, sizeof head, 0) : 0;
  if (got < 0) return -1;
  int unit = codePage == -1 ? 2 : 1;
  int64_t base = 0;
  if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
    unit = 2;
    base = 2;
  } else if (got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
    unit = 1;
    base = 3;
  }
  BackwardUnits units(file.handle(), base, end, unit);
  int64_t cut = -1;
  if (!tornTailStart(units, base, unit, cut)) return -1;
  if (cut < 0) {
    file.SeekToEnd();
    return 0;
  }

  const std::string path = pathOf(file);
  if (path.empty()) return -1;
  std::string name;
  int out = createTailFile(path, name);
  if (out < 0) return -1;
  // The tail is safe in its own file before the record file loses it: a crash in between
  // leaves it in both, never in neither.
  bool ok = copyTail(file.handle(), cut, end, out);
  ok = ::close(out) == 0 && ok;
  if (ok) syncFolderOf(name);
  if (!ok || !file.SetLength(cut)) {
    const int error = errno;
    if (file.GetLength() == end) ::unlink(name.c_str());
    errno = error;
    return -1;
  }
  file.Flush();
  file.SeekToEnd();
  tailFile = name;
  return 1;
}
