#include "route_table.h"

#include <arpa/inet.h>

#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace socks {
namespace {

constexpr uint32_t kFirst = 0xC6120001u;  // 198.18.0.1
constexpr uint32_t kCount = 0x1FFFEu;     // up to 198.19.255.254

using Key = std::tuple<bool, std::string, std::string, int32_t, std::string, std::string>;

Key keyOf(const Route& r) {
  return {r.byName, r.target, r.proxy.host, r.proxy.port, r.proxy.user, r.proxy.password};
}

struct Table {
  std::mutex lock;
  std::vector<Route> routes;  // index i stands for kFirst + i
  std::map<Key, uint32_t> index;
  uint32_t next = 0;          // once full, the oldest entries are given out again
};

Table& table() {
  static Table* t = new Table;  // used by connects that may run while the process exits
  return *t;
}

}  // namespace

in_addr reserveRoute(const Route& route) {
  Table& t = table();
  std::lock_guard g(t.lock);
  Key key = keyOf(route);
  uint32_t slot;
  if (auto it = t.index.find(key); it != t.index.end()) {
    slot = it->second;
  } else {
    slot = t.next;
    t.next = (t.next + 1) % kCount;
    if (slot < t.routes.size()) {
      t.index.erase(keyOf(t.routes[slot]));
      t.routes[slot] = route;
    } else {
      t.routes.push_back(route);
    }
    t.index.emplace(std::move(key), slot);
  }
  in_addr a;
  a.s_addr = htonl(kFirst + slot);
  return a;
}

std::optional<Route> findRoute(in_addr address) {
  uint32_t host = ntohl(address.s_addr);
  if (host < kFirst || host >= kFirst + kCount) return std::nullopt;
  Table& t = table();
  std::lock_guard g(t.lock);
  uint32_t slot = host - kFirst;
  if (slot >= t.routes.size()) return std::nullopt;
  return t.routes[slot];
}

bool isRouteAddress(const char* text) {
  in_addr a;
  return text && inet_pton(AF_INET, text, &a) == 1 && findRoute(a).has_value();
}

}  // namespace socks
