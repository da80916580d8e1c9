// bench-libs: zoom_client_engine zoom_test_servers
// Memory and time of one very large record: a record of about 100 MB (one long field) from the
// tests' rogue server on the loopback, fetched and converted to internal record text (GetXml)
// in a child process, whose peak resident size (VmHWM) is read before it ends; then zoomsh
// fetching the same record, its peak read from the kernel's account of the child.
//
//   build/bench/zoom_large_record [megabytes]
#include "server_process.h"

#include "z3950/connection.h"
#include "z3950/result_set.h"

#include <platform/text.h>
#include <qorvel_testing/testing.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

long statusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
  return -1;
}

struct Measure {
  long baseKb = -1, peakKb = -1;
  double seconds = -1;
  long textUnits = -1;
};

// In a child: connect, search, fetch record 0 and make its text; what it cost.
Measure ours(const ztest::ServerProcess& server) {
  int pipefd[2];
  if (pipe(pipefd) != 0) return {};
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    close(pipefd[0]);
    Measure m;
    qtest::TempDir dir;
    auto conn = z3950::Connection::create((dir / "zoom.xml").string());
    conn->SetOptionLong(u"timeout", 300);
    if (conn->Connect(platform::fromUtf8(server.hostText()), u"") == 0) {
      auto rs = conn->SearchPqf(u"x");
      m.baseKb = statusKb("VmRSS:");
      const Clock::time_point start = Clock::now();
      std::unique_ptr<z3950::Record> rec = rs->GetRecord(0);
      if (std::getenv("STEPS")) std::fprintf(stderr, "after fetch: hwm %ld rss %ld\n", statusKb("VmHWM:"), statusKb("VmRSS:"));
      m.textUnits = long(rec->GetXml().size());
      m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
      m.peakKb = statusKb("VmHWM:");
    }
    (void)!write(pipefd[1], &m, sizeof m);
    _exit(0);
  }
  close(pipefd[1]);
  Measure m;
  if (read(pipefd[0], &m, sizeof m) != sizeof m) m = {};
  close(pipefd[0]);
  waitpid(pid, nullptr, 0);
  return m;
}

Measure zoomsh(const ztest::ServerProcess& server) {
  Measure m;
  const Clock::time_point start = Clock::now();
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    std::string open = "open " + server.hostText() + "/Default";
    execlp("zoomsh", "zoomsh", "set preferredRecordSyntax usmarc", open.c_str(), "find x", "show 0 1", "quit",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
  }
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 100;
  const long long bytes = megabytes * 1024LL * 1024LL;
  qtest::TempDir dir;
  qtest::TempHome home;
  std::printf("one record of %ld MB, fetched and made into record text\n", megabytes);
  std::printf("%-26s %10s %10s %8s %9s\n", "", "peak MB", "base MB", "x size", "seconds");
  for (const char* kind : {"big", "bigcjk"}) {
    ztest::ServerProcess server(ZOOM_ROGUE_SERVER, {std::string("record=") + kind + ":" + std::to_string(bytes), "length=00000"},
                                dir / "rogue.log");
    if (!server.running()) {
      std::printf("the rogue server did not start\n");
      return 1;
    }
    const double mb = double(bytes) / (1024.0 * 1024.0);
    Measure m = ours(server);
    const char* label = *kind == 'b' && kind[3] == 0 ? "ours, ASCII field" : "ours, UTF-8 Chinese field";
    if (m.peakKb < 0 || m.textUnits <= 0) {
      std::printf("%-26s failed\n", label);
    } else {
      std::printf("%-26s %10.0f %10.0f %8.2f %9.2f\n", label, m.peakKb / 1024.0, m.baseKb / 1024.0,
                  (m.peakKb - m.baseKb) / 1024.0 / mb, m.seconds);
    }
    Measure z = zoomsh(server);
    if (z.peakKb < 0) std::printf("%-26s failed\n", "zoomsh");
    else std::printf("%-26s %10.0f %10s %8.2f %9.2f\n", "zoomsh", z.peakKb / 1024.0, "", z.peakKb / 1024.0 / mb, z.seconds);
  }
  return 0;
}
