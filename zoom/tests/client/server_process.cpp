#include "server_process.h"

#include <qorvel_testing/testing.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ztest {
namespace {

// Socket inodes among the open descriptors of a process.
std::set<std::string> socketInodes(pid_t pid) {
  std::set<std::string> inodes;
  std::error_code ec;
  std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& e : std::filesystem::directory_iterator(fds, ec)) {
    std::string target = std::filesystem::read_symlink(e.path(), ec).string();
    if (target.rfind("socket:[", 0) == 0) inodes.insert(target.substr(8, target.size() - 9));
  }
  return inodes;
}

struct TcpSocket {
  int localPort, remotePort;
  std::string state;  // "0A" listening, "01" established
};

int portOf(const std::string& address) {
  size_t colon = address.find(':');
  return colon == std::string::npos ? 0 : std::stoi(address.substr(colon + 1), nullptr, 16);
}

// The IPv4 TCP sockets of a process, from the kernel's table.
std::vector<TcpSocket> tcpSockets(pid_t pid) {
  std::set<std::string> inodes = socketInodes(pid);
  std::vector<TcpSocket> sockets;
  std::ifstream tcp("/proc/net/tcp");
  std::string line;
  std::getline(tcp, line);  // column titles
  while (std::getline(tcp, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
    if (inodes.count(inode)) sockets.push_back({portOf(local), portOf(remote), state});
  }
  return sockets;
}

}  // namespace

void dieWithParent() {
  // A test program that crashes or is killed by ctest's time-out takes its servers along.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() == 1) _exit(127);
}

std::string bounded(const std::string& command, int seconds) {
  std::string quoted;
  for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "timeout -k 5 " + std::to_string(seconds) + " sh -c '" + quoted + "'";
}

int listeningPort(pid_t pid) {
  for (const TcpSocket& s : tcpSockets(pid))
    if (s.state == "0A") return s.localPort;
  return 0;
}

int connectionsTo(int port) {
  int n = 0;
  for (const TcpSocket& s : tcpSockets(getpid()))
    if (s.state == "01" && s.remotePort == port) ++n;
  return n;
}

int closedPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(s);
  return port;
}

ServerProcess::ServerProcess(const std::string& program, std::vector<std::string> args,
                             const std::filesystem::path& logFile)
    : logFile_(logFile) {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.insert(argv.end(), {"-l", logFile.string(), "tcp:127.0.0.1:0"});
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  // Until the child has run its program it holds copies of this process's sockets, whose
  // listeners must not be taken for the server's: a pipe that closes on exec tells when.
  int exec[2];
  if (pipe2(exec, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(exec[0]);
    dieWithParent();
    execvp(raw[0], raw.data());
    _exit(127);
  }
  close(exec[1]);
  char ignored;
  while (pid_ > 0 && read(exec[0], &ignored, 1) < 0 && errno == EINTR) {
  }
  close(exec[0]);
  if (pid_ < 0) return;
  // Wait for the listener to come up; a server that exits gives up at once.
  for (int i = 0; i < 500 && port_ == 0; ++i) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    port_ = listeningPort(pid_);
    if (port_ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServerProcess::~ServerProcess() {
  if (pid_ <= 0) return;
  // The front end notes a SIGTERM that comes while it closes a session and then sleeps
  // on: ask again until it goes, and end it for good when it will not.
  int status;
  for (int i = 0; i < 100; ++i) {
    kill(pid_, SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (waitpid(pid_, &status, WNOHANG) == pid_) return;
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
}

std::string ServerProcess::hostText() const { return "127.0.0.1:" + std::to_string(port_); }

std::string ServerProcess::log() const { return qtest::readFile(logFile_); }

}  // namespace ztest
