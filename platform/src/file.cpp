#include <platform/file.h>

#include <platform/paths.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

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

bool CFile::Write(const void* buf, uint32_t count, uint32_t* written) {
  if (written) *written = 0;
  if (fd_ < 0 || (!buf && count)) {
    errno = EBADF;
    return false;
  }
  auto* p = static_cast<const char*>(buf);
  uint32_t done = 0;
  // A full disk or a file-size limit lets part of a write through and fails the next one:
  // the caller learns how far it got.
  while (done < count) {
    ssize_t n = ::write(fd_, p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      break;
    }
    done += uint32_t(n);
    if (written) *written = done;
  }
  return done == count;
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

bool CFile::Flush() {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  return ::fsync(fd_) == 0;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  CFile f;
  if (!f.Open(path, CFile::modeRead)) return false;
  char buf[65536];
  while (uint32_t n = f.Read(buf, sizeof buf)) bytes.append(buf, n);
  return true;
}

namespace {

// A new file beside `path`, named so that it shows as hidden and as ours, never one that exists.
int createTemporary(const std::string& path, mode_t mode, std::string& name) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  std::string base = joinPath(folderOf(path), "." + fileNameOf(path) + ".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = base + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" + std::to_string(rd() % 100000);
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // a full disk or a file-size limit (EFBIG) among others
    bytes.remove_prefix(size_t(n));
  }
  return true;
}

}  // namespace

bool syncFolder(const std::string& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && errno == ENOTDIR) {
    const std::string holder = folderOf(folder);
    fd = ::open(holder.empty() ? "." : holder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

std::string fileBehindLink(const std::string& path) {
  char buf[PATH_MAX];
  struct stat st{};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(path.c_str(), buf)) return buf;
  return path;
}

bool replaceFileContents(const std::string& givenPath, std::string_view bytes, unsigned newFileMode) {
  if (givenPath.empty()) return false;
  // Renaming over a link would replace the link itself.
  const std::string path = fileBehindLink(givenPath);
  struct stat st{};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists) {
    // Renaming would get round a file that may not be written: honour its permissions.
    if (!S_ISREG(st.st_mode) || access(path.c_str(), W_OK) != 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }
  std::string tmp;
  int fd = createTemporary(path, exists ? 0600 : mode_t(newFileMode), tmp);
  if (fd < 0) return false;
  if (exists) {
    // Best effort: a run as root must not leave a user's file owned by root; an ordinary
    // user cannot give a file away and has no need to.
    [[maybe_unused]] int owner = fchown(fd, st.st_uid, st.st_gid);
  }
  bool ok = writeAll(fd, bytes) && (!exists || fchmod(fd, st.st_mode & 07777) == 0) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) {
    // The rename itself is made durable too, so that after a crash the folder names the new file.
    syncFolder(folderOf(path));
    return true;
  }
  ::unlink(tmp.c_str());
  return false;
}

}  // namespace platform
