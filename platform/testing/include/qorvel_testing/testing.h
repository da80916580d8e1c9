// Helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qtest {

/// A fresh temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

/// Points QORVEL_HOME at a fresh temporary folder for the object's lifetime, and
/// XDG_DATA_HOME and XDG_CONFIG_HOME at its subfolders "data" and "config", so a test never
/// touches the user's own settings, registry, Windows directory or desktop files.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  struct Saved {
    const char* name;
    bool had = false;
    std::string value;
  };
  TempDir dir_;
  std::vector<Saved> saved_;
};

/// A disk of `bytes` (a tmpfs, whole pages) on a fresh temporary folder for the object's
/// lifetime, mounted in a mount namespace of the test process's own, so that no mount
/// outlives the process. Where mounting is refused (no rights, a sandbox), mounted() is false
/// and why() says so: the test skips with that message.
/// The namespace is the calling thread's (unshare moves only it): make the disk on the test's
/// main thread before any thread that is to write on it starts; a thread started earlier sees
/// the plain folder beneath.
class SmallDisk {
 public:
  explicit SmallDisk(uint64_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  const std::filesystem::path& path() const { return dir_.path(); }
  std::filesystem::path operator/(const std::string& name) const { return dir_.path() / name; }

 private:
  TempDir dir_;
  bool mounted_ = false;
  std::string why_;
};

std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);

/// Folder of the source tree and of the build tree (set by the test registration).
std::filesystem::path sourceDir();
std::filesystem::path binaryDir();

/// Runs a shell command, returns its exit status and (optionally) what it printed on stdout.
int run(const std::string& command, std::string* output = nullptr);

/// \brief Runs `f` in a forked child process and returns what it returned (its exit status;
/// -1 when it did not exit normally). For limits and rights that must not touch the test run.
int inChildProcess(const std::function<int()>& f);
/// \brief In a child process: files grow to at most `bytes`; a write beyond fails with EFBIG
/// instead of raising SIGXFSZ.
void limitFileSize(uint64_t bytes);
/// \brief In a child process: gives up the rights to ignore file permissions (what root has),
/// so that a read-only file or folder is read-only to it as well.
void obeyFilePermissions();
/// \brief True when the test may act as a second, unprivileged user of the machine (it runs
/// as root); tests that need one skip with a message otherwise.
bool canActAsOtherUser();
/// \brief The second user's ids: the account "nobody" (65534).
unsigned otherUid();
unsigned otherGid();
/// \brief In a child process: becomes the second user for good (no extra groups, its group,
/// its uid); false when that fails.
bool becomeOtherUser();

/// A forked child that acts as the second user while the test goes on: `setup` runs in it
/// after it has become that user, and the constructor returns once `setup` has; the child
/// then stays alive, holding what it opened or locked, until the object goes.
class OtherUserProcess {
 public:
  explicit OtherUserProcess(const std::function<bool()>& setup);
  ~OtherUserProcess();
  OtherUserProcess(const OtherUserProcess&) = delete;
  OtherUserProcess& operator=(const OtherUserProcess&) = delete;
  /// \brief True when the child became the second user and `setup` answered true.
  bool ok() const { return ok_; }

 private:
  int pid_ = -1;
  bool ok_ = false;
};

/// \brief Writes an OpenDocument spreadsheet of one sheet whose rows are `rows` (the
/// table:table-row elements), packed by the zip command with the mimetype first and stored,
/// as office programs do; false when zip failed.
bool writeOdsPackage(const std::filesystem::path& p, const std::string& rows);

}  // namespace qtest
