#include <platform/file.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

CFile::~CFile() { Close(); }

bool CFile::Open(const std::string& path, unsigned flags) {
  Close();
  int oflags = O_CLOEXEC;
  if (flags & modeReadWrite) oflags |= O_RDWR;
  else if (flags & modeWrite) oflags |= O_WRONLY;
  else oflags |= O_RDONLY;
  if (flags & modeCreate) {
    oflags |= O_CREAT;
    if (!(flags & modeNoTruncate)) oflags |= O_TRUNC;
  }
  int fd;
  do fd = ::open(path.c_str(), oflags, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  fd_ = fd;
  own_ = true;
  path_ = path;
  return true;
}

void CFile::Close() {
  // A descriptor the caller lent us stays open: only our own is closed.
  if (fd_ >= 0 && own_) ::close(fd_);
  fd_ = -1;
  own_ = false;
  path_.clear();
}

uint32_t CFile::Read(void* buf, uint32_t count) {
  if (fd_ < 0 || !buf) return 0;
  auto* p = static_cast<char*>(buf);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += uint32_t(n);
  }
  return done;
}

bool CFile::Write(const void* buf, uint32_t count) {
  if (fd_ < 0 || (!buf && count)) return false;
  auto* p = static_cast<const char*>(buf);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += uint32_t(n);
  }
  return true;
}

int64_t CFile::Seek(int64_t offset, SeekPosition from) {
  if (fd_ < 0) return -1;
  int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, off_t(offset), whence);
  return r < 0 ? -1 : int64_t(r);
}

int64_t CFile::GetPosition() const {
  if (fd_ < 0) return -1;
  off_t r = ::lseek(fd_, 0, SEEK_CUR);
  return r < 0 ? -1 : int64_t(r);
}

int64_t CFile::GetLength() const {
  struct stat st{};
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return int64_t(st.st_size);
}

bool CFile::SetLength(int64_t length) { return fd_ >= 0 && length >= 0 && ::ftruncate(fd_, off_t(length)) == 0; }

void CFile::Flush() {
  if (fd_ >= 0) ::fsync(fd_);
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  CFile f;
  if (!f.Open(path, CFile::modeRead)) return false;
  char buf[65536];
  while (uint32_t n = f.Read(buf, sizeof buf)) bytes.append(buf, n);
  return true;
}

}  // namespace platform
