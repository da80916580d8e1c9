// A Z39.50 server run as a child process for the tests: it listens on tcp:127.0.0.1:0 and
// the port the system gave it is read back from the kernel's socket table.
#pragma once

#include <filesystem>
#include <string>
#include <vector>
#include <sys/types.h>

namespace ztest {

class ServerProcess {
 public:
  /// \brief Starts `program` with `args`, then "-l `logFile`" (the front end's own log) and
  /// the listener "tcp:127.0.0.1:0", and waits until it listens.
  ServerProcess(const std::string& program, std::vector<std::string> args, const std::filesystem::path& logFile);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  /// \brief "127.0.0.1:<port>", the host text of a Connect.
  std::string hostText() const;
  /// \brief What the front end has logged so far.
  std::string log() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::filesystem::path logFile_;
};

/// \brief In a child just forked: ends the child when the test program that forked it ends.
void dieWithParent();

/// \brief `command` for a shell, ended when it runs longer than `seconds`: a client that
/// hangs fails its test instead of holding it.
std::string bounded(const std::string& command, int seconds = 60);

/// \brief A port on which nothing listens (bound once, then released).
int closedPort();

/// \brief The port a process listens on over IPv4 TCP, or 0.
int listeningPort(pid_t pid);

/// \brief How many established connections this process holds to `port` on the loopback.
int connectionsTo(int port);

}  // namespace ztest
