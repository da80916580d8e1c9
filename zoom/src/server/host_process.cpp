#include "host_process.h"

#include "relay.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace zoomsvr {
namespace {

constexpr int kStartTimeoutMs = 10000;

// The server program lies beside the library that holds this code.
std::string programPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&programPath), &info) == 0 || !info.dli_fname) return kServerProgram;
  return (std::filesystem::path(info.dli_fname).parent_path() / kServerProgram).string();
}

void reap(pid_t pid) {
  kill(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::string listenAddress() {
  const char* v = std::getenv("QORVEL_ZOOMSVR_LISTEN");
  return v && *v ? v : "tcp:@:210";
}

HostProcess startHost(const std::string& address) {
  HostProcess host;
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return host;
  // dup2 onto the same number would keep the close-on-exec flag.
  if (pair[1] == kRelayFd) {
    int moved = fcntl(pair[1], F_DUPFD_CLOEXEC, kRelayFd + 1);
    ::close(pair[1]);
    pair[1] = moved;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pair[1], kRelayFd);
  posix_spawn_file_actions_addclosefrom_np(&actions, kRelayFd + 1);
  std::string program = programPath();
  std::string listen = address;
  char* argv[] = {program.data(), listen.data(), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pair[1]);
  if (rc != 0) {
    ::close(pair[0]);
    return host;
  }
  pollfd p{pair[0], POLLIN, 0};
  std::optional<Frame> first;
  if (poll(&p, 1, kStartTimeoutMs) > 0) first = readFrame(pair[0]);
  if (!first || first->kind != Kind::Listening) {
    reap(pid);
    ::close(pair[0]);
    return host;
  }
  host.pid = pid;
  host.fd = pair[0];
  return host;
}

void stopHost(HostProcess& host) {
  if (host.pid > 0) reap(host.pid);
  host.pid = -1;
  // Shut down rather than close: the relay thread may still be reading it.
  if (host.fd >= 0) shutdown(host.fd, SHUT_RDWR);
}

}  // namespace zoomsvr
