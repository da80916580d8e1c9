// bench-libs: Loomstore
// bench-servers: zoom
// How long the members of a parallel search take to return while a source's server has
// accepted the connection and never answers: Stop, a new Search, the destructor. Each busy
// worker is abandoned, not waited for. Plain program: prints milliseconds per member.
#include <loomstore/VirtualRs.h>

#include <platform/paths.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QCoreApplication>
#include <QObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRounds = 20;

// A listener that never accepts: the kernel completes each connection, nobody answers.
int silentListener(int* port) {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 128) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    return -1;
  *port = ntohs(a.sin_port);
  return s;
}

double millisecondsOf(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void report(const char* member, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-28s %9.3f %9.3f %9.3f\n", member, ms.front(), ms[ms.size() / 2], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  qtest::TempHome home;
  platform::makeFolders(platform::windowsDirectory());
  if (qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS) != 0) {
    std::printf("registration failed\n");
    return 1;
  }
  int port = 0;
  const int listener = silentListener(&port);
  if (listener < 0) return 1;
  platform::writeProfileString(u"Loomstore.ini", u"Servers", u"silent", u"z39.50");
  platform::writeProfileString(u"Loomstore.ini", u"silent", u"port", platform::fromUtf8(std::to_string(port)));

  QObject window;
  bool connecting = false;
  ui::onMessages(&window, [&](uint32_t message, ui::WPARAM w, ui::LPARAM) -> ui::LRESULT {
    if (message == WM_SEARCH_NOTIFY && w == SEARCH_NOTIFY_STATUS) connecting = true;
    return 0;
  });
  // Starts a search of the silent server and returns once its worker is inside Connect.
  auto startSearch = [&](CVirtualRs& rs) {
    connecting = false;
    rs.SetOption(ui::handleOf(&window), 0, u"public");
    rs.Search(u"z39.50://silent/Default", u"_{{1}}");
    while (!connecting) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  };

  std::vector<double> stop, search, destroy;
  for (int i = 0; i < kRounds; ++i) {
    auto rs = std::make_unique<CVirtualRs>();
    startSearch(*rs);
    stop.push_back(millisecondsOf([&] { rs->Stop(); }));
    startSearch(*rs);
    search.push_back(millisecondsOf([&] { rs->Search(u"z39.50://silent/Default", u"_{{2}}"); }));
    destroy.push_back(millisecondsOf([&] { rs.reset(); }));
  }
  std::printf("%d rounds against a server that never answers (milliseconds):\n", kRounds);
  std::printf("%-28s %9s %9s %9s\n", "member", "min", "median", "max");
  report("Stop", stop);
  report("Search while searching", search);
  report("destructor", destroy);

  // The server goes: every abandoned worker's call returns and it lets go of its objects.
  close(listener);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return 0;
}
