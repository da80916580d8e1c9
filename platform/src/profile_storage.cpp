#include "profile_storage.h"

#include <platform/file.h>
#include <platform/paths.h>
#include <platform/profile.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform::profile {
namespace {

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

}  // namespace

bool isPrivateFile(const std::string& path) { return equalsNoCase(std::string_view(fileNameOf(path)), "Loomstore.ini"); }

Document load(const std::string& path) {
  std::string bytes;
  if (!readWholeFile(path, bytes)) bytes.clear();
  return Document::parse(bytes);
}

bool update(const std::string& givenPath, const std::function<bool(Document&)>& edit) {
  if (givenPath.empty()) return false;
  std::string path = fileBehindLink(givenPath);  // the file locked, read and rewritten
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
  return replaceFileContents(path, doc.serialize(), isPrivateFile(path) ? 0600 : 0666);
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
