// The SOCKS 5 proxy settings that a Connect reads for its server.
//
// Each Connect works on its own copy: connections made at the same time on different
// threads never see each other's settings. The process keeps a copy of the latest ones,
// behind a lock, for whoever asks what was used last.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace z3950 {

struct ProxyState {
  int32_t flag = 0;          // 1: connections go through the proxy
  std::string host;          // the proxy's host (dotted IPv4), ANSI code page
  int32_t port = 1080;
  std::string user;          // empty: no user name
  std::string password;
};

/// \brief A copy of the settings that the latest Connect of the process used.
ProxyState proxyState();
/// \brief Records `state` as the latest settings of the process.
void keepProxyState(const ProxyState& state);

/// \brief The proxy text of a server section of Loomstore.ini: host ":" port, then "?" user
/// and "/" password when set; "" when the server does not go through a proxy.
std::u16string proxyText(std::u16string_view section);

/// \brief The settings but the flag from an address (host, optionally ":" port) and an
/// account (user, optionally "/" password).
ProxyState parseProxy(std::u16string_view address, std::u16string_view account);

}  // namespace z3950
