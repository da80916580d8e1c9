// The reserved addresses that stand for proxied targets.
#pragma once

#include "socks.h"
#include "socks5_exchange.h"

#include <netinet/in.h>

#include <optional>
#include <string>

namespace socks {

/// One proxied target: what to ask the proxy for, and which proxy.
struct Route {
  bool byName = false;
  std::string target;     // the name or dotted address given to planTarget
  in_addr address{};      // the target's address when !byName
  ProxySettings proxy;
  sockaddr_in proxyAddress{};
};

/// \brief The reserved address (198.18.0.0/15, network byte order) for `route`; the same
/// route asked for again gets the same address. Guarded by one lock, so planning and
/// connecting on different threads never see a half-written entry.
in_addr reserveRoute(const Route& route);

/// \brief The route an address stands for; nothing for an address that is not one of ours.
std::optional<Route> findRoute(in_addr address);

/// \brief Whether a dotted text is an address that stands for a route.
bool isRouteAddress(const char* text);

}  // namespace socks
