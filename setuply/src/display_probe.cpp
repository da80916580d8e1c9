// Whether a Qt application can be made in this process. QApplication ends the process when
// its platform cannot start (no display), and an installer run from a console or a service
// often has none; so the display is asked first, the way the platform plugin would reach it.
#include "SetupHelperApp.h"

#include <QDir>
#include <QLibraryInfo>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace setuply {
namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Connects within two seconds; a server that does not answer counts as none.
bool connects(int family, const sockaddr* addr, socklen_t len) {
  int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = ::connect(fd, addr, len) == 0;
  if (!ok && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int err = 0;
    socklen_t n = sizeof err;
    ok = ::poll(&p, 1, 2000) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &n) == 0 && err == 0;
  }
  ::close(fd);
  return ok;
}

// A local socket by path; a leading '@' names one in the abstract namespace.
bool localSocketAnswers(const std::string& path) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof a.sun_path) return false;
  std::memcpy(a.sun_path, path.data(), path.size());
  if (path[0] == '@') a.sun_path[0] = '\0';
  return connects(AF_UNIX, reinterpret_cast<sockaddr*>(&a), socklen_t(offsetof(sockaddr_un, sun_path) + path.size()));
}

// DISPLAY is [host]:number[.screen]; a local display listens on /tmp/.X11-unix/X<number>
// (and in the abstract namespace under the same name), a remote one on TCP 6000 + number.
bool xDisplayAnswers() {
  const std::string display = env("DISPLAY");
  size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = display.substr(0, colon);
  std::string number = display.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
  if (host.empty() || host == "unix") {
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return localSocketAnswers("@" + socket) || localSocketAnswers(socket);
  }
  if (host.find('/') != std::string::npos) return localSocketAnswers(display.substr(0, colon));
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string port = std::to_string(6000 + std::atoi(number.c_str()));
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) return false;
  bool ok = false;
  for (addrinfo* a = list; a && !ok; a = a->ai_next) ok = connects(a->ai_family, a->ai_addr, a->ai_addrlen);
  freeaddrinfo(list);
  return ok;
}

bool waylandAnswers() {
  std::string name = env("WAYLAND_DISPLAY");
  if (name.empty()) return false;
  if (name[0] != '/') {
    const std::string runtime = env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    name = runtime + "/" + name;
  }
  return localSocketAnswers(name);
}

bool hasPlatformPlugin(const QString& prefix) {
  QDir dir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
  return !dir.entryList({QStringLiteral("libq") + prefix + QStringLiteral("*.so")}, QDir::Files).isEmpty();
}

}  // namespace

bool displayAvailable() {
  const std::string chosen = env("QT_QPA_PLATFORM");
  if (!chosen.empty()) {
    // Qt tries the platforms of the list in order. Anything but a desktop display
    // (offscreen, vnc, a frame buffer ...) is the host's own choice and taken as working.
    for (size_t from = 0; from <= chosen.size();) {
      size_t end = chosen.find(';', from);
      if (end == std::string::npos) end = chosen.size();
      std::string name = chosen.substr(from, end - from);
      name = name.substr(0, name.find(':'));
      from = end + 1;
      if (name == "xcb") {
        if (xDisplayAnswers()) return true;
      } else if (name.rfind("wayland", 0) == 0) {
        if (waylandAnswers()) return true;
      } else if (!name.empty()) {
        return true;
      }
    }
    return false;
  }
  if (xDisplayAnswers()) return true;
  return env("XDG_SESSION_TYPE") == "wayland" && waylandAnswers() && hasPlatformPlugin(QStringLiteral("wayland"));
}

}  // namespace setuply
