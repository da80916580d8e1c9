// The SOCKS 5 proxy settings that each Connect leaves for the socket layer of the process.
//
// One state per process, shared by every connection and written by every Connect before
// the connection is opened (not locked: connections are made one at a time).
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

/// \brief The process's proxy state.
ProxyState& proxyState();

/// \brief The proxy text of a server section of Loomstore.ini: host ":" port, then "?" user
/// and "/" password when set; "" when the server does not go through a proxy.
std::u16string proxyText(std::u16string_view section);

/// \brief Fills the proxy state but its flag from an address (host, optionally ":" port)
/// and an account (user, optionally "/" password).
void setProxy(std::u16string_view address, std::u16string_view account);

}  // namespace z3950
