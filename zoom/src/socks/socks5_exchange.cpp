#include "socks5_exchange.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace socks {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kVersion = 0x05;
constexpr uint8_t kNoAuth = 0x00;
constexpr uint8_t kUserPassword = 0x02;
constexpr uint8_t kAuthVersion = 0x01;
constexpr uint8_t kCommandConnect = 0x01;
constexpr uint8_t kTypeIPv4 = 0x01;
constexpr uint8_t kTypeName = 0x03;
constexpr uint8_t kTypeIPv6 = 0x04;
constexpr size_t kMaxField = 255;

// One exchange's deadline: every wait takes what is left of it.
class Deadline {
 public:
  explicit Deadline(int32_t ms) : end_(Clock::now() + std::chrono::milliseconds(ms)) {}
  // Waits for `events` on fd; false with errno set on time-out or failure.
  bool wait(int fd, short events) const {
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
      if (left <= 0) {
        errno = ETIMEDOUT;
        return false;
      }
      pollfd p{fd, events, 0};
      int r = poll(&p, 1, static_cast<int>(left));
      if (r > 0) return true;
      if (r == 0) {
        errno = ETIMEDOUT;
        return false;
      }
      if (errno != EINTR) return false;
    }
  }

 private:
  Clock::time_point end_;
};

bool sendAll(int fd, const std::vector<uint8_t>& bytes, const Deadline& d) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!d.wait(fd, POLLOUT)) return false;
      continue;
    }
    return false;
  }
  return true;
}

// Reads exactly `count` bytes: a proxy may split its answer over several reads, and what follows
// the answer belongs to the Z39.50 stream.
bool receiveExactly(int fd, uint8_t* into, size_t count, const Deadline& d) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = recv(fd, into + done, count - done, 0);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) {
      errno = ECONNRESET;
      return false;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!d.wait(fd, POLLIN)) return false;
      continue;
    }
    return false;
  }
  return true;
}

int fail(int code) {
  errno = code;
  return -1;
}

bool authenticate(int fd, const ProxySettings& proxy, const Deadline& d) {
  std::vector<uint8_t> request{kAuthVersion, static_cast<uint8_t>(proxy.user.size())};
  request.insert(request.end(), proxy.user.begin(), proxy.user.end());
  request.push_back(static_cast<uint8_t>(proxy.password.size()));
  request.insert(request.end(), proxy.password.begin(), proxy.password.end());
  uint8_t answer[2];
  if (!sendAll(fd, request, d) || !receiveExactly(fd, answer, 2, d)) return false;
  if (answer[1] != 0x00) {
    errno = EHOSTDOWN;
    return false;
  }
  return true;
}

std::vector<uint8_t> connectRequest(const Target& t) {
  std::vector<uint8_t> r{kVersion, kCommandConnect, 0x00};
  if (t.byName) {
    r.push_back(kTypeName);
    r.push_back(static_cast<uint8_t>(t.name.size()));
    r.insert(r.end(), t.name.begin(), t.name.end());
  } else {
    r.push_back(kTypeIPv4);
    const auto* a = reinterpret_cast<const uint8_t*>(&t.address);
    r.insert(r.end(), a, a + 4);
  }
  const auto* p = reinterpret_cast<const uint8_t*>(&t.portNet);
  r.insert(r.end(), p, p + 2);
  return r;
}

// The reply: version, status, reserved, address type, then the bound address of that
// type and its port.
bool readConnectReply(int fd, const Deadline& d) {
  uint8_t head[4];
  if (!receiveExactly(fd, head, 4, d)) return false;
  if (head[1] != 0x00) {
    errno = EHOSTDOWN;
    return false;
  }
  size_t rest;
  switch (head[3]) {
    case kTypeIPv4: rest = 4 + 2; break;
    case kTypeIPv6: rest = 16 + 2; break;
    case kTypeName: {
      uint8_t length;
      if (!receiveExactly(fd, &length, 1, d)) return false;
      rest = length + 2u;
      break;
    }
    default: errno = EPROTO; return false;
  }
  uint8_t bound[255 + 2];
  return receiveExactly(fd, bound, rest, d);
}

}  // namespace

int connectToProxy(int fd, const sockaddr_in& proxy, int32_t timeoutMs) {
  int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&proxy), sizeof proxy);
  if (r == 0) return 0;
  if (errno != EINPROGRESS && errno != EINTR) return -1;
  // A non-blocking socket: wait for the outcome here, since YAZ expects the whole
  // redirected connect to be over when the replacement returns 0.
  if (!Deadline(timeoutMs).wait(fd, POLLOUT)) return -1;
  int error = 0;
  socklen_t len = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return -1;
  return error == 0 ? 0 : fail(error);
}

int negotiate(int fd, const Target& target, const ProxySettings& proxy, int32_t timeoutMs) {
  if ((target.byName && target.name.size() > kMaxField) || proxy.user.size() > kMaxField ||
      proxy.password.size() > kMaxField)
    return fail(ENAMETOOLONG);
  Deadline d(timeoutMs);
  uint8_t choice[2];
  if (!sendAll(fd, {kVersion, 0x02, kNoAuth, kUserPassword}, d) || !receiveExactly(fd, choice, 2, d)) return -1;
  switch (choice[1]) {
    case kNoAuth: break;
    case kUserPassword:
      // Going on without an account would hand the proxy an unauthenticated CONNECT.
      if (proxy.user.empty()) return fail(ECONNREFUSED);
      if (!authenticate(fd, proxy, d)) return -1;
      break;
    default: return fail(ECONNREFUSED);
  }
  if (!sendAll(fd, connectRequest(target), d) || !readConnectReply(fd, d)) return -1;
  return 0;
}

}  // namespace socks
