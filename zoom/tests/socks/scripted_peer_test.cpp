// The SOCKS 5 dialogue against a scripted proxy: the exact bytes sent, and every way a
// proxy can answer badly.
#include "socks5_exchange.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::string;

// One step of the proxy's part: wait for `expect` bytes from the client (recorded), then
// send `reply`. `expect` 0 sends without reading; a negative `expect` ends the script by
// keeping silent until the client gives up.
struct Step {
  int expect;
  Bytes reply;
};

class ScriptedProxy {
 public:
  explicit ScriptedProxy(std::vector<Step> script) : script_(std::move(script)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listener_, 1);
    socklen_t len = sizeof address_;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address_), &len);
    thread_ = std::thread([this] { serve(); });
  }
  ~ScriptedProxy() {
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }
  const sockaddr_in& address() const { return address_; }
  // Everything the client sent, once the script is over.
  Bytes received() {
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  void serve() {
    int c = accept(listener_, nullptr, nullptr);
    if (c < 0) return;
    for (const Step& s : script_) {
      if (s.expect < 0) {
        // Silent until the client closes its end.
        char b;
        while (recv(c, &b, 1, 0) > 0) received_.push_back(b);
        break;
      }
      int got = 0;
      while (got < s.expect) {
        char b[512];
        ssize_t n = recv(c, b, std::min<int>(sizeof b, s.expect - got), 0);
        if (n <= 0) break;
        received_.append(b, size_t(n));
        got += int(n);
      }
      if (!s.reply.empty()) send(c, s.reply.data(), s.reply.size(), MSG_NOSIGNAL);
    }
    close(c);
  }

  std::vector<Step> script_;
  int listener_ = -1;
  sockaddr_in address_{};
  std::thread thread_;
  Bytes received_;
};

Bytes bytes(std::initializer_list<int> list) {
  Bytes b;
  for (int v : list) b.push_back(char(v));
  return b;
}

socks::Target byName(const std::string& name, uint16_t port) {
  socks::Target t;
  t.byName = true;
  t.name = name;
  t.portNet = htons(port);
  return t;
}

socks::Target byAddress(const char* dotted, uint16_t port) {
  socks::Target t;
  inet_pton(AF_INET, dotted, &t.address);
  t.portNet = htons(port);
  return t;
}

socks::ProxySettings account(const std::string& user, const std::string& password) {
  socks::ProxySettings p;
  p.host = "127.0.0.1";
  p.user = user;
  p.password = password;
  return p;
}

const Bytes kGreeting = bytes({5, 2, 0, 2});
const Bytes kChooseNone = bytes({5, 0});
const Bytes kChooseAccount = bytes({5, 2});
const Bytes kGranted = bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x1F, 0x90});

// A client socket as YAZ makes it: non-blocking.
struct Client {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  Client() { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }
  ~Client() { close(fd); }
  bool stillOpen() const { return fcntl(fd, F_GETFD) != -1; }
  bool stillNonBlocking() const { return (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0; }
};

struct Outcome {
  int result;
  int error;
  Bytes sent;
};

Outcome runAgainst(ScriptedProxy& proxy, const socks::Target& target, const socks::ProxySettings& settings,
                   Client& client, int timeoutMs = 5000) {
  Outcome o{};
  o.result = socks::connectToProxy(client.fd, proxy.address(), timeoutMs);
  if (o.result == 0) o.result = socks::negotiate(client.fd, target, settings, timeoutMs);
  o.error = o.result == 0 ? 0 : errno;
  shutdown(client.fd, SHUT_WR);  // lets a silent proxy's script end
  o.sent = proxy.received();
  return o;
}

TEST(SocksDialogue, SendsTheExactBytesOfEachKindOfRequest) {
  struct Case {
    const char* what;
    socks::Target target;
    socks::ProxySettings settings;
    std::vector<Step> script;
    Bytes expected;
  } cases[] = {
      {"by name, no account",
       byName("z3950.example.org", 210),
       account("", ""),
       {{4, kChooseNone}, {7 + 17, kGranted}},
       kGreeting + bytes({5, 1, 0, 3, 17}) + "z3950.example.org" + bytes({0, 210})},
      {"by address, no account",
       byAddress("192.0.2.7", 2100),
       account("", ""),
       {{4, kChooseNone}, {10, kGranted}},
       kGreeting + bytes({5, 1, 0, 1, 192, 0, 2, 7, 0x08, 0x34})},
      {"by name with user and password",
       byName("lib", 210),
       account("ann", "secret"),
       {{4, kChooseAccount}, {3 + 3 + 6, bytes({1, 0})}, {7 + 3, kGranted}},
       kGreeting + bytes({1, 3}) + "ann" + bytes({6}) + "secret" + bytes({5, 1, 0, 3, 3}) + "lib" + bytes({0, 210})},
      {"a proxy that wants no account gets none",
       byAddress("10.1.2.3", 210),
       account("ann", "secret"),
       {{4, kChooseNone}, {10, kGranted}},
       kGreeting + bytes({5, 1, 0, 1, 10, 1, 2, 3, 0, 210})},
  };
  for (auto& c : cases) {
    ScriptedProxy proxy(c.script);
    Client client;
    Outcome o = runAgainst(proxy, c.target, c.settings, client);
    EXPECT_EQ(o.result, 0) << c.what << ": errno " << o.error;
    EXPECT_EQ(o.sent, c.expected) << c.what;
    EXPECT_TRUE(client.stillNonBlocking()) << c.what;
  }
}

TEST(SocksDialogue, FailuresLeaveTheSocketOpenAndSayWhy) {
  struct Case {
    const char* what;
    socks::ProxySettings settings;
    std::vector<Step> script;
    int error;
    Bytes sent;  // all the client sent before it gave up
  } cases[] = {
      {"no acceptable method", account("ann", "pw"), {{4, bytes({5, 0xFF})}}, ECONNREFUSED, kGreeting},
      {"an account asked for while none is set", account("", ""), {{4, kChooseAccount}}, ECONNREFUSED, kGreeting},
      {"wrong password", account("ann", "pw"), {{4, kChooseAccount}, {8, bytes({1, 1})}}, EHOSTDOWN,
       kGreeting + bytes({1, 3}) + "ann" + bytes({2}) + "pw"},
      {"CONNECT refused", account("", ""), {{4, kChooseNone}, {10, bytes({5, 5, 0, 1, 0, 0, 0, 0, 0, 0})}},
       EHOSTDOWN, kGreeting + bytes({5, 1, 0, 1, 192, 0, 2, 1, 0, 210})},
      {"unknown address type in the reply", account("", ""), {{4, kChooseNone}, {10, bytes({5, 0, 0, 9, 1, 2})}},
       EPROTO, kGreeting + bytes({5, 1, 0, 1, 192, 0, 2, 1, 0, 210})},
      {"proxy closes after the greeting", account("", ""), {{4, bytes({5})}}, ECONNRESET, kGreeting},
      {"silent proxy", account("", ""), {{-1, ""}}, ETIMEDOUT, kGreeting},
      {"proxy falls silent inside the reply", account("", ""), {{4, kChooseNone}, {10, bytes({5, 0, 0, 1, 127})}, {-1, ""}},
       ETIMEDOUT, kGreeting + bytes({5, 1, 0, 1, 192, 0, 2, 1, 0, 210})},
  };
  for (auto& c : cases) {
    ScriptedProxy proxy(c.script);
    Client client;
    Outcome o = runAgainst(proxy, byAddress("192.0.2.1", 210), c.settings, client, 300);
    EXPECT_EQ(o.result, -1) << c.what;
    EXPECT_EQ(o.error, c.error) << c.what << ": " << strerror(o.error);
    EXPECT_EQ(o.sent, c.sent) << c.what;
    EXPECT_TRUE(client.stillOpen()) << c.what;
  }
}

TEST(SocksDialogue, ReadsLongRepliesWholeAndLeavesTheStreamAfterThem) {
  const Bytes kAfter = "first bytes of the server";
  Bytes longName(200, 'n');
  struct Case {
    const char* what;
    Bytes reply;
  } cases[] = {
      {"bound address as a name", bytes({5, 0, 0, 3, 200}) + longName + bytes({0, 210})},
      {"bound address as IPv6", bytes({5, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 210})},
      {"bound address as IPv4", kGranted},
  };
  for (auto& c : cases) {
    ScriptedProxy proxy({{4, kChooseNone}, {10, c.reply + kAfter}});
    Client client;
    Outcome o = runAgainst(proxy, byAddress("192.0.2.1", 210), account("", ""), client);
    ASSERT_EQ(o.result, 0) << c.what << ": " << strerror(o.error);
    Bytes rest(kAfter.size(), '\0');
    pollfd p{client.fd, POLLIN, 0};
    poll(&p, 1, 5000);
    size_t got = 0;
    while (got < rest.size()) {
      ssize_t n = recv(client.fd, rest.data() + got, rest.size() - got, 0);
      if (n <= 0) break;
      got += size_t(n);
    }
    EXPECT_EQ(rest, kAfter) << c.what;
  }
}

TEST(SocksDialogue, RefusesFieldsOverTwoHundredFiftyFiveBytes) {
  Bytes tooLong(256, 'x');
  struct Case {
    const char* what;
    socks::Target target;
    socks::ProxySettings settings;
  } cases[] = {
      {"name", byName(tooLong, 210), account("", "")},
      {"user", byAddress("192.0.2.1", 210), account(tooLong, "pw")},
      {"password", byAddress("192.0.2.1", 210), account("ann", tooLong)},
  };
  for (auto& c : cases) {
    ScriptedProxy proxy({{-1, ""}});
    Client client;
    Outcome o = runAgainst(proxy, c.target, c.settings, client);
    EXPECT_EQ(o.result, -1) << c.what;
    EXPECT_EQ(o.error, ENAMETOOLONG) << c.what;
    EXPECT_EQ(o.sent, "") << c.what;
  }
}

TEST(SocksDialogue, AProxyThatRefusesTheConnectionFailsTheConnect) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);  // nothing listens there now
  Client client;
  EXPECT_EQ(socks::connectToProxy(client.fd, a, 5000), -1);
  EXPECT_EQ(errno, ECONNREFUSED);
  EXPECT_TRUE(client.stillOpen());
}

}  // namespace
