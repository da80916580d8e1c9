// The test program's own fsync and ftruncate take the place of the C library's for the whole
// process: visible by default, the program exports them to the shared libraries that call
// them. Unless a failure is armed they make the system call itself.
#include "faults.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>

namespace {

std::string syncFails;  // the path whose fsync fails; empty: none
int syncError = 0;
int truncateError = 0;  // 0: ftruncate does its work

std::string pathOfDescriptor(int fd) {
  char buf[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

}  // namespace

namespace faults {

FailSync::FailSync(const std::string& path, int error) {
  syncFails = std::filesystem::weakly_canonical(path).string();
  syncError = error;
}
FailSync::~FailSync() { syncFails.clear(); }

FailTruncate::FailTruncate(int error) { truncateError = error; }
FailTruncate::~FailTruncate() { truncateError = 0; }

}  // namespace faults

extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
  if (!syncFails.empty() && pathOfDescriptor(fd) == syncFails) {
    errno = syncError;
    return -1;
  }
  return int(syscall(SYS_fsync, fd));
}

extern "C" __attribute__((visibility("default"))) int ftruncate(int fd, off_t length) {
  if (truncateError != 0) {
    errno = truncateError;
    return -1;
  }
  return int(syscall(SYS_ftruncate, fd, length));
}
