#include "profile_storage.h"

#include <platform/file.h>
#include <platform/paths.h>
#include <platform/profile.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace platform::profile {
namespace {

// How long a writer waits for another writer's lock before the write fails.
std::atomic<int> lockWaitMs{5000};

thread_local int lastWriteError = 0;

// An flock on a file of its own: the INI file itself is replaced by every write, so a lock
// on it would be held on a file that is no longer there. The lock file is its owner's alone
// and never a link (a link planted under its name would make us create or lock the file it
// points to), and a lock that another program keeps is waited for a few seconds only.
class WriteLock {
 public:
  explicit WriteLock(const std::string& path) {
    std::string lock = joinPath(folderOf(path), "." + fileNameOf(path) + ".lock");
    // Read access is all that flock needs, so a lock file of another writer of a shared
    // folder can still be taken.
    fd_ = ::open(lock.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    struct stat st{};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      release(EINVAL);
      return;
    }
    // Lock files of earlier versions were made open to all.
    if (st.st_uid == ::geteuid() && (st.st_mode & 077)) ::fchmod(fd_, st.st_mode & 0700);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockWaitMs.load());
    auto pause = std::chrono::milliseconds(1);
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
        release(errno == EWOULDBLOCK ? ETIMEDOUT : errno);
        return;
      }
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::milliseconds(25));
    }
  }
  ~WriteLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool held() const { return fd_ >= 0; }
  int error() const { return error_; }

 private:
  void release(int error) {
    ::close(fd_);
    fd_ = -1;
    error_ = error;
  }
  int fd_ = -1;
  int error_ = 0;
};

// Keys and values that carry a password: the file that holds one is for its owner's eyes.
bool isPasswordKey(u16v key) {
  const u16 k = toLowerAscii(key);
  for (u16v part : {u16v(u"password"), u16v(u"passwd"), u16v(u"pwd"), u16v(u"口令"), u16v(u"密码")})
    if (k.find(part) != u16::npos) return true;
  return k == u"pass";
}
bool carriesPassword(u16v value) {
  const u16 v = toLowerAscii(value);
  // A server list entry's "?p=user/password", a connection text's "Password=...".
  return v.find(u"?p=") != u16::npos || v.find(u"password=") != u16::npos;
}
bool holdsPassword(const Document& doc) {
  for (const Line& l : doc.lines)
    if (l.kind() == Line::Entry && (isPasswordKey(l.key()) || carriesPassword(l.value()))) return true;
  return false;
}

}  // namespace

bool isPrivateFile(const std::string& path) {
  const std::string name = fileNameOf(path);
  return equalsNoCase(std::string_view(name), "Loomstore.ini") || equalsNoCase(std::string_view(name), "Gleanex.ini");
}

Document load(const std::string& path) {
  std::string bytes;
  if (!readWholeFile(path, bytes)) bytes.clear();
  return Document::parse(bytes);
}

bool update(const std::string& givenPath, const std::function<bool(Document&)>& edit) {
  lastWriteError = EINVAL;
  if (givenPath.empty()) return false;
  std::string path = fileBehindLink(givenPath);  // the file locked, read and rewritten
  WriteLock lock(path);
  if (!lock.held()) {
    lastWriteError = lock.error();
    return false;
  }

  struct stat st{};
  bool exists = ::stat(path.c_str(), &st) == 0;
  std::string bytes;
  lastWriteError = EACCES;
  if (exists) {
    // Renaming would get round a file that may not be written: honour its permissions.
    if (!S_ISREG(st.st_mode) || access(path.c_str(), R_OK | W_OK) != 0) return false;
    if (!readWholeFile(path, bytes)) return false;
  } else if (errno != ENOENT) {
    return false;
  }

  Document doc = Document::parse(bytes);
  lastWriteError = 0;
  if (!edit(doc)) return true;
  const bool secret = isPrivateFile(path) || holdsPassword(doc);
  // A rewrite keeps the file's mode, but one that holds a password is its owner's alone
  // from the first byte written.
  if (!replaceFileContents(path, doc.serialize(), secret ? 0600 : 0666, secret ? 077 : 0)) {
    lastWriteError = errno ? errno : EIO;
    return false;
  }
  return true;
}

}  // namespace platform::profile

namespace platform {

int setProfileLockWait(int milliseconds) { return profile::lockWaitMs.exchange(milliseconds); }

int lastProfileWriteError() { return profile::lastWriteError; }

std::string profilePath(u16v file) {
  if (file.empty()) return {};
  std::string name = toUtf8(file);
  if (name.find('/') != std::string::npos) return name;
  return joinPath(windowsDirectory(), name);
}

}  // namespace platform
