// A TCP relay between the store and a PostgreSQL server that fails as networks do: it goes
// silent (connections stay open, nothing passes), refuses new connections, or cuts a
// connection once the server has answered a COMMIT, so that the answer never arrives.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ktest {

class Proxy {
 public:
  /// \brief Relays 127.0.0.1:port() to the server at 127.0.0.1:`serverPort`.
  explicit Proxy(int serverPort) : serverPort_(serverPort) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 64);
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { loop(); });
  }
  ~Proxy() {
    stop_ = true;
    thread_.join();
    for (const Pair& p : pairs_) {
      ::close(p.client);
      ::close(p.server);
    }
    ::close(listen_);
  }
  Proxy(const Proxy&) = delete;
  Proxy& operator=(const Proxy&) = delete;

  int port() const { return port_; }
  /// \brief Nothing passes either way while set; the connections stay open.
  void silent(bool on) { silent_ = on; }
  /// \brief The next connection whose client sends `text` goes silent from there (its
  /// message is held back), while other connections go on.
  void silentOn(const std::string& text) {
    std::lock_guard lock(mutex_);
    silentOn_ = text;
  }
  /// \brief New connections are closed at once while set.
  void refuse(bool on) { refuse_ = on; }
  /// \brief The `nth` COMMIT from now reaches the server, and its connection is closed as
  /// soon as the server has answered, without handing the answer on; with `thenRefuse`
  /// new connections are refused from then on.
  void cutAfterCommit(int nth = 1, bool thenRefuse = false) {
    refuseAfterCut_ = thenRefuse;
    cut_ = nth;
  }
  /// \brief How many connections were cut after their COMMIT.
  int cuts() const { return cuts_; }

 private:
  struct Pair {
    int client, server;
    bool quiet = false;
  };

  static int connectTo(int port) {
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(s);
      return -1;
    }
    return s;
  }

  static bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
      ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
      if (w <= 0) return false;
      p += w;
      n -= size_t(w);
    }
    return true;
  }

  // Moves what `from` has to `to`; false when the connection is over.
  bool relay(Pair& p, bool fromClient) {
    char buf[65536];
    ssize_t n = ::recv(fromClient ? p.client : p.server, buf, sizeof buf, 0);
    if (n <= 0) return false;
    std::string chunk(buf, size_t(n));
    if (fromClient) {
      std::string on;
      {
        std::lock_guard lock(mutex_);
        on = silentOn_;
      }
      if (!on.empty() && chunk.find(on) != std::string::npos) {
        std::lock_guard lock(mutex_);
        silentOn_.clear();
        p.quiet = true;
        return true;
      }
      if (cut_ > 0 && chunk.find("COMMIT") != std::string::npos && --cut_ == 0) {
        if (refuseAfterCut_) refuse_ = true;
        writeAll(p.server, chunk.data(), chunk.size());
        pollfd answer{p.server, POLLIN, 0};
        if (::poll(&answer, 1, 10000) > 0) ::recv(p.server, buf, sizeof buf, 0);
        ++cuts_;
        return false;
      }
    }
    return writeAll(fromClient ? p.server : p.client, chunk.data(), chunk.size());
  }

  void loop() {
    while (!stop_) {
      std::vector<pollfd> fds{{listen_, POLLIN, 0}};
      bool quiet = silent_;
      for (const Pair& p : pairs_) {
        short ev = quiet || p.quiet ? 0 : POLLIN;
        fds.push_back({p.client, ev, 0});
        fds.push_back({p.server, ev, 0});
      }
      if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
      size_t polled = pairs_.size();
      if (fds[0].revents & POLLIN) {
        int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        int s = c >= 0 && !refuse_ ? connectTo(serverPort_) : -1;
        if (s < 0) {
          if (c >= 0) ::close(c);
        } else {
          pairs_.push_back({c, s});
        }
      }
      std::vector<Pair> kept;
      for (size_t i = 0; i < pairs_.size(); ++i) {
        Pair& p = pairs_[i];
        bool alive = true;
        if (i < polled) {
          short fromClient = fds[1 + 2 * i].revents, fromServer = fds[2 + 2 * i].revents;
          if (fromClient & (POLLIN | POLLHUP | POLLERR)) alive = relay(p, true);
          if (alive && (fromServer & (POLLIN | POLLHUP | POLLERR))) alive = relay(p, false);
        }
        if (alive) {
          kept.push_back(p);
        } else {
          ::close(p.client);
          ::close(p.server);
        }
      }
      pairs_ = std::move(kept);
    }
  }

  int serverPort_, port_ = 0, listen_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false}, silent_{false}, refuse_{false}, refuseAfterCut_{false};
  std::atomic<int> cut_{0};
  std::atomic<int> cuts_{0};
  std::mutex mutex_;
  std::string silentOn_;
  std::vector<Pair> pairs_;  // the relay thread's own
};

/// \brief The port in a libpq connection string "host=... port=N ...".
inline int portOf(const std::string& conninfo) {
  size_t at = conninfo.find("port=");
  return at == std::string::npos ? 5432 : std::atoi(conninfo.c_str() + at + 5);
}

/// \brief `conninfo` with its port changed to `port`.
inline std::string withPort(const std::string& conninfo, int port) {
  size_t at = conninfo.find("port=");
  if (at == std::string::npos) return conninfo + " port=" + std::to_string(port);
  size_t end = conninfo.find(' ', at);
  return conninfo.substr(0, at) + "port=" + std::to_string(port) + (end == std::string::npos ? "" : conninfo.substr(end));
}

}  // namespace ktest
