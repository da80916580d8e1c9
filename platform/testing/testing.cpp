#include <qorvel_testing/testing.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <cstring>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

namespace qtest {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "qorvel-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

TempHome::TempHome() {
  const std::pair<const char*, std::filesystem::path> vars[] = {
      {"QORVEL_HOME", dir_.path()}, {"XDG_DATA_HOME", dir_ / "data"}, {"XDG_CONFIG_HOME", dir_ / "config"}};
  for (const auto& [name, value] : vars) {
    Saved s{name};
    if (const char* v = std::getenv(name)) {
      s.had = true;
      s.value = v;
    }
    saved_.push_back(s);
    setenv(name, value.c_str(), 1);
  }
}

TempHome::~TempHome() {
  for (const Saved& s : saved_) {
    if (s.had) setenv(s.name, s.value.c_str(), 1);
    else unsetenv(s.name);
  }
}

SmallDisk::SmallDisk(uint64_t bytes) {
  // Once per process: a mount namespace of its own, whose mounts nobody else sees and which
  // goes with the process, however it ends.
  static const std::string unshared = [] {
    if (unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return std::string("mount --make-rprivate /: ") + std::strerror(errno);
    return std::string();
  }();
  if (!unshared.empty()) {
    why_ = "no small disk can be mounted here (" + unshared + ")";
    return;
  }
  std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    why_ = std::string("no small disk can be mounted here (mount -t tmpfs: ") + std::strerror(errno) + ")";
    return;
  }
  mounted_ = true;
}

SmallDisk::~SmallDisk() {
  if (mounted_) umount2(dir_.path().c_str(), MNT_DETACH);
}

std::string readFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

std::filesystem::path sourceDir() {
  const char* v = std::getenv("QORVEL_SOURCE_DIR");
  return v ? v : QORVEL_TESTING_SOURCE_DIR;
}

std::filesystem::path binaryDir() {
  const char* v = std::getenv("QORVEL_BINARY_DIR");
  return v ? v : QORVEL_TESTING_BINARY_DIR;
}

int run(const std::string& command, std::string* output) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = pclose(p);
  if (output) *output = std::move(out);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

int inChildProcess(const std::function<int()>& f) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int rc = 1;
    try {
      rc = f();
    } catch (...) {
    }
    _exit(rc);  // no exit handlers: they belong to the parent's run
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void limitFileSize(uint64_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit r{rlim_t(bytes), rlim_t(bytes)};
  setrlimit(RLIMIT_FSIZE, &r);
}

void obeyFilePermissions() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return;
  const uint32_t overrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
  for (auto& d : data) {
    d.effective &= ~overrides;
    d.permitted &= ~overrides;
  }
  syscall(SYS_capset, &header, data);
}

bool canActAsOtherUser() { return ::geteuid() == 0; }

unsigned otherUid() { return 65534; }
unsigned otherGid() { return 65534; }

bool becomeOtherUser() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(gid_t(otherGid())) == 0 && ::setuid(uid_t(otherUid())) == 0 &&
         ::geteuid() == otherUid();
}

OtherUserProcess::OtherUserProcess(const std::function<bool()>& setup) {
  int ready[2];
  if (::pipe(ready) != 0) return;
  std::fflush(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    ::close(ready[0]);
    bool ok = false;
    try {
      ok = becomeOtherUser() && setup();
    } catch (...) {
    }
    const char answer = ok ? '1' : '0';
    [[maybe_unused]] ssize_t n = ::write(ready[1], &answer, 1);
    for (;;) ::pause();  // until the test is done with it
  }
  ::close(ready[1]);
  char answer = '0';
  if (pid_ > 0) {
    while (::read(ready[0], &answer, 1) < 0 && errno == EINTR) {
    }
  }
  ::close(ready[0]);
  ok_ = answer == '1';
}

OtherUserProcess::~OtherUserProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

bool writeOdsPackage(const std::filesystem::path& p, const std::string& rows) {
  TempDir pkg;
  writeFile(pkg.path() / "mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  writeFile(pkg.path() / "content.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
            " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
            " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\">"
            "<office:body><office:spreadsheet><table:table table:name=\"Sheet1\">" +
                rows + "</table:table></office:spreadsheet></office:body></office:document-content>");
  std::filesystem::create_directories(pkg.path() / "META-INF");
  writeFile(pkg.path() / "META-INF/manifest.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
            "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
            "<manifest:file-entry manifest:full-path=\"/\" "
            "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
            "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
            "</manifest:manifest>");
  std::string cd = "cd '" + pkg.path().string() + "' && ";
  return run(cd + "zip -q -X -0 '" + p.string() + "' mimetype && zip -q -X -r '" + p.string() + "' content.xml META-INF") == 0;
}

}  // namespace qtest
