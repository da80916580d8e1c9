#include <platform/file.h>

#include <platform/paths.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>

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

// The temporary files of writes whose process was killed before its rename, as
// createTemporary names them (".<name>.<pid>-..."), are removed once that process is gone;
// those of a living writer, and of a process we cannot tell about, stay.
void removeStaleTemporaries(const std::string& path) {
  const std::string start = "." + fileNameOf(path) + ".";
  const std::string folder = folderOf(path);
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    std::string_view name = e->d_name;
    if (name.size() <= start.size() || name.substr(0, start.size()) != start) continue;
    name.remove_prefix(start.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
        name.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos)
      continue;
    const pid_t pid = pid_t(std::stol(std::string(name.substr(0, dash))));
    if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(::dirfd(dir), e->d_name, 0);
  }
  ::closedir(dir);
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

namespace {

// Replaces the file through a temporary file beside it, which `fill` writes by its
// descriptor or by its name.
bool replaceThrough(const std::string& givenPath, unsigned newFileMode, unsigned clearMode,
                    const std::function<bool(int fd, const std::string& temporary)>& fill) {
  if (givenPath.empty()) {
    errno = EINVAL;
    return false;
  }
  // Renaming over a link would replace the link itself.
  const std::string path = fileBehindLink(givenPath);
  struct stat st{};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists) {
    // Renaming would get round a file that may not be written: honour its permissions.
    if (!S_ISREG(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (access(path.c_str(), W_OK) != 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }
  removeStaleTemporaries(path);
  const mode_t clear = mode_t(clearMode) & 0777;
  std::string tmp;
  int fd = createTemporary(path, exists ? 0600 : mode_t(newFileMode) & ~clear, tmp);
  if (fd < 0) return false;
  if (exists) {
    // Best effort: a run as root must not leave a user's file owned by root; an ordinary
    // user cannot give a file away and has no need to.
    [[maybe_unused]] int owner = fchown(fd, st.st_uid, st.st_gid);
  }
  // The file's mode is set before its first byte, so that what is closed to others never
  // lies open to them, neither here nor once renamed.
  bool ok = (!exists || fchmod(fd, st.st_mode & 07777 & ~clear) == 0) && fill(fd, tmp) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) {
    // The rename itself is made durable too, so that after a crash the folder names the new file.
    syncFolder(folderOf(path));
    return true;
  }
  if (ok) error = errno;
  ::unlink(tmp.c_str());
  errno = error ? error : EIO;
  return false;
}

}  // namespace

bool replaceFileWith(const std::string& path, const std::function<bool(const std::string& temporary)>& write,
                     unsigned newFileMode, unsigned clearMode) {
  return replaceThrough(path, newFileMode, clearMode, [&](int, const std::string& temporary) { return write(temporary); });
}

bool replaceFileContents(const std::string& path, std::string_view bytes, unsigned newFileMode, unsigned clearMode) {
  return replaceThrough(path, newFileMode, clearMode, [&](int fd, const std::string&) { return writeAll(fd, bytes); });
}

}  // namespace platform
