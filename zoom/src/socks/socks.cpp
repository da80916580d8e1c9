// The two replacements in YAZ's GOT, their installation (by the application object at
// load), and the planning of proxied connections.
#include "socks.h"

#include "got_rewrite.h"
#include "route_table.h"
#include "socks5_exchange.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace socks {
namespace {

constexpr char kYazLibrary[] = "libyaz.so.5";
constexpr size_t kMaxField = 255;

std::atomic<bool> g_installed{false};
std::atomic<int32_t> g_timeoutMs{30000};

int redirectedConnect(int fd, const sockaddr* address, socklen_t length) {
  if (!address || address->sa_family != AF_INET || length < sizeof(sockaddr_in))
    return ::connect(fd, address, length);
  const auto* to = reinterpret_cast<const sockaddr_in*>(address);
  std::optional<Route> route = findRoute(to->sin_addr);
  if (!route) return ::connect(fd, address, length);

  int32_t timeout = g_timeoutMs.load();
  if (connectToProxy(fd, route->proxyAddress, timeout) != 0) return -1;
  Target target;
  target.byName = route->byName;
  target.name = route->target;
  target.address = route->address;
  target.portNet = to->sin_port;
  // On failure the socket stays open: it is YAZ's, and YAZ closes it.
  return negotiate(fd, target, route->proxy, timeout);
}

int redirectedGetaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
  if (!isRouteAddress(node)) return ::getaddrinfo(node, service, hints, result);
  // One of our reserved addresses: answer it as the IPv4 number it is, never asking a
  // resolver about it.
  addrinfo h{};
  if (hints) h = *hints;
  h.ai_family = AF_INET;
  h.ai_flags |= AI_NUMERICHOST;
  h.ai_flags &= ~(AI_CANONNAME | AI_V4MAPPED | AI_ADDRCONFIG);
  return ::getaddrinfo(node, service, &h, result);
}

}  // namespace

void install() {
  // Both or nothing would be ideal; what counts is connect, which does the redirection.
  int lookups = rewriteGotSlots(kYazLibrary, "getaddrinfo", reinterpret_cast<void*>(&redirectedGetaddrinfo));
  int connects = rewriteGotSlots(kYazLibrary, "connect", reinterpret_cast<void*>(&redirectedConnect));
  g_installed = lookups > 0 && connects > 0;
}

bool installed() { return g_installed.load(); }

std::optional<std::string> planTarget(const std::string& host, const ProxySettings* proxy) {
  if (!proxy) return host;
  if (!installed()) return std::nullopt;
  if (host.size() > kMaxField || proxy->user.size() > kMaxField || proxy->password.size() > kMaxField)
    return std::nullopt;
  Route route;
  route.target = host;
  route.proxy = *proxy;
  route.byName = inet_pton(AF_INET, host.c_str(), &route.address) != 1;
  route.proxyAddress.sin_family = AF_INET;
  route.proxyAddress.sin_port = htons(static_cast<uint16_t>(proxy->port));
  if (inet_pton(AF_INET, proxy->host.c_str(), &route.proxyAddress.sin_addr) != 1) return std::nullopt;
  in_addr reserved = reserveRoute(route);
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &reserved, text, sizeof text);
  return std::string(text);
}

}  // namespace socks
