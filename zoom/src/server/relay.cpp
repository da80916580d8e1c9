#include "relay.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace zoomsvr {
namespace {

constexpr uint32_t kMaxFrame = 64u << 20;  // a sanity bound against a corrupt length

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

bool readAll(int fd, char* data, size_t size) {
  while (size > 0) {
    ssize_t n = recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

std::string packInt(int32_t value) {
  auto v = static_cast<uint32_t>(value);
  return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

int32_t unpackInt(const std::string& bytes, size_t at) {
  if (bytes.size() < at + 4) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + size_t(i)]);
  return static_cast<int32_t>(v);
}

bool writeFrame(int fd, const Frame& f) {
  std::string bytes = packInt(int32_t(1 + 4 + f.payload.size()));
  bytes.push_back(static_cast<char>(f.kind));
  bytes += packInt(int32_t(f.seq));
  bytes += f.payload;
  return writeAll(fd, bytes.data(), bytes.size());
}

std::optional<Frame> readFrame(int fd) {
  std::string head(4, '\0');
  if (!readAll(fd, head.data(), 4)) return std::nullopt;
  auto length = static_cast<uint32_t>(unpackInt(head, 0));
  if (length < 5 || length > kMaxFrame) return std::nullopt;
  std::string body(length, '\0');
  if (!readAll(fd, body.data(), length)) return std::nullopt;
  Frame f;
  f.kind = static_cast<Kind>(body[0]);
  f.seq = static_cast<uint32_t>(unpackInt(body, 1));
  f.payload = body.substr(5);
  return f;
}

}  // namespace zoomsvr
