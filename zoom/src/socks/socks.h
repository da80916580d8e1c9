// SOCKS 5 redirection of YAZ's connections.
//
// At load, zoom rewrites the GOT slots of the loaded libyaz.so.5 for `connect` and
// `getaddrinfo`. A connection through a proxy is planned before YAZ is given its host: the
// plan stands for (target, proxy) by an address of our own out of 198.18.0.0/15, and YAZ is
// given that address. When YAZ connects to it, the replacement connects to the proxy instead
// and asks it for the target (by name or by address). Every other connect and lookup passes
// straight through, so direct connections behave as if nothing had been replaced.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace socks {

/// One proxy as a server's settings give it (narrow text, ANSI code page).
struct ProxySettings {
  std::string host;       // dotted IPv4 address; never looked up by name
  int32_t port = 1080;
  std::string user;       // empty: no user name
  std::string password;
};

/// \brief Puts both replacements into the GOT of the loaded libyaz.so.5: first the lookup
/// (`getaddrinfo`), then `connect`. Called once, at load, by the application object.
void install();
/// \brief Whether both replacements are in YAZ's GOT (set once at load).
bool installed();

/// \brief The host text to give YAZ for a connection to `host` (a name or a dotted
/// address): `host` itself when `proxy` is null; otherwise a reserved address that makes
/// YAZ's connect go through the proxy. Nothing when the connection cannot be made through
/// the proxy: the replacements are not installed, the proxy host is not a dotted IPv4
/// address, or the host, user or password is longer than 255 bytes.
std::optional<std::string> planTarget(const std::string& host, const ProxySettings* proxy);

}  // namespace socks
