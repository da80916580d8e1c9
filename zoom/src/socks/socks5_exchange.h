// The SOCKS 5 dialogue with a proxy, on a socket that YAZ owns.
#pragma once

#include "socks.h"

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace socks {

/// What the proxy is asked to connect to.
struct Target {
  bool byName = false;   // true: `name` (address type 03); false: `address` (type 01)
  std::string name;
  in_addr address{};
  uint16_t portNet = 0;  // network byte order
};

/// \brief Connects `fd` to `proxy` (an IPv4 address) and waits for the connection when the
/// socket is non-blocking; 0, or -1 with errno. The socket's mode is left as it was.
int connectToProxy(int fd, const sockaddr_in& proxy, int32_t timeoutMs);

/// \brief Runs greeting, authentication and CONNECT on `fd` (already connected to the
/// proxy), all within `timeoutMs`; 0 when the proxy connected the target, else -1 with errno:
/// ETIMEDOUT (the proxy fell silent), ECONNRESET (it closed), ECONNREFUSED (no acceptable
/// method, or user name and password asked for while none is set), EHOSTDOWN (account or
/// CONNECT refused), EPROTO (an answer that is not SOCKS 5), ENAMETOOLONG (name, user or
/// password over 255 bytes). The reply is read whole, so nothing of it reaches the caller.
/// The socket is never closed.
int negotiate(int fd, const Target& target, const ProxySettings& proxy, int32_t timeoutMs);

}  // namespace socks
