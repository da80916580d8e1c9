#include "profile_storage.h"

#include <platform/file.h>
#include <platform/paths.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

namespace platform::profile {
namespace {

// The file behind a symbolic link is the one to rewrite; renaming over the link would
// replace the link itself.
std::string target(const std::string& path) {
  char buf[PATH_MAX];
  struct stat st{};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(path.c_str(), buf)) return buf;
  return path;
}

// An flock on a file of its own: the INI file itself is replaced by every write, so a lock
// on it would be held on a file that is no longer there.
class WriteLock {
 public:
  explicit WriteLock(const std::string& path) {
    std::string lock = joinPath(folderOf(path), "." + fileNameOf(path) + ".lock");
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~WriteLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

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

bool replaceFile(const std::string& path, const std::string& bytes, const struct stat* existing) {
  mode_t mode = existing ? (existing->st_mode & 07777) : isPrivateFile(path) ? 0600 : 0666;
  std::string tmp;
  int fd = createTemporary(path, existing ? 0600 : mode, tmp);
  if (fd < 0) return false;
  if (existing) {
    // Best effort: a run as root must not leave a user's settings owned by root; an
    // ordinary user cannot give a file away and has no need to.
    [[maybe_unused]] int owner = fchown(fd, existing->st_uid, existing->st_gid);
  }
  bool ok = CFile(fd).Write(bytes.data(), uint32_t(bytes.size())) && (!existing || fchmod(fd, mode) == 0) && fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return false;
}

}  // namespace

bool isPrivateFile(const std::string& path) { return equalsNoCase(std::string_view(fileNameOf(path)), "Loomstore.ini"); }

Document load(const std::string& path) {
  std::string bytes;
  if (!readWholeFile(path, bytes)) bytes.clear();
  return Document::parse(bytes);
}

bool update(const std::string& givenPath, const std::function<bool(Document&)>& edit) {
  if (givenPath.empty()) return false;
  std::string path = target(givenPath);
  WriteLock lock(path);
  if (!lock.held()) return false;

  struct stat st{};
  bool exists = ::stat(path.c_str(), &st) == 0;
  std::string bytes;
  if (exists) {
    // Renaming would get round a file that may not be written: honour its permissions.
    if (!S_ISREG(st.st_mode) || access(path.c_str(), R_OK | W_OK) != 0) return false;
    if (!readWholeFile(path, bytes)) return false;
  } else if (errno != ENOENT) {
    return false;
  }

  Document doc = Document::parse(bytes);
  if (!edit(doc)) return true;
  return replaceFile(path, doc.serialize(), exists ? &st : nullptr);
}

}  // namespace platform::profile

namespace platform {

std::string profilePath(u16v file) {
  if (file.empty()) return {};
  std::string name = toUtf8(file);
  if (name.find('/') != std::string::npos) return name;
  return joinPath(windowsDirectory(), name);
}

}  // namespace platform
