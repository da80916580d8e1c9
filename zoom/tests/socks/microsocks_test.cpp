// YAZ's own connections through Debian's microsocks to yaz-ztest: the GOT of the loaded
// libyaz.so.5 is rewritten in this test program as in libzoom.
#include "server_process.h"
#include "socks.h"

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>
#include <yaz/zoom.h>

#ifdef ZOOM_SOCKS_WITH_ENGINE
#include "client_support.h"
#include "z3950/connection.h"
#include "z3950/result_set.h"
#endif

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <thread>

namespace {

// microsocks on a loopback port chosen now, its log (stdout and stderr) kept in a file.
class Microsocks {
 public:
  Microsocks(const std::filesystem::path& log, const std::string& user = "", const std::string& password = "")
      : log_(log) {
    for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
      int port = ztest::closedPort();
      std::vector<std::string> args{"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port)};
      if (!user.empty()) args.insert(args.end(), {"-u", user, "-P", password});
      pid_ = fork();
      if (pid_ == 0) {
        ztest::dieWithParent();
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> raw;
        for (auto& a : args) raw.push_back(a.data());
        raw.push_back(nullptr);
        execvp(raw[0], raw.data());
        _exit(127);
      }
      for (int i = 0; i < 300 && port_ == 0; ++i) {
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) break;  // port taken meanwhile: again
        if (ztest::listeningPort(pid_) == port) port_ = port;
        else std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }
  ~Microsocks() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  int port() const { return port_; }
  std::string log() const { return qtest::readFile(log_); }

 private:
  std::filesystem::path log_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// Connects as zoom's Connect does (blocking ZOOM, host from the plan) and searches once, so
// that the Z39.50 stream is seen to work end to end; the ZOOM error, or 0.
int connectAndSearch(const std::string& host, int port, int* hits = nullptr) {
  ZOOM_options o = ZOOM_options_create();
  ZOOM_options_set_int(o, "async", 0);
  ZOOM_connection c = ZOOM_connection_create(o);
  ZOOM_connection_connect(c, host.c_str(), port);
  int err = ZOOM_connection_error(c, nullptr, nullptr);
  if (err == 0) {
    ZOOM_resultset rs = ZOOM_connection_search_pqf(c, "@attr 1=4 water");
    err = ZOOM_connection_error(c, nullptr, nullptr);
    if (hits) *hits = err == 0 ? int(ZOOM_resultset_size(rs)) : -1;
    ZOOM_resultset_destroy(rs);
  }
  ZOOM_connection_destroy(c);
  ZOOM_options_destroy(o);
  return err;
}

socks::ProxySettings proxyAt(int port, const std::string& user = "", const std::string& password = "") {
  return socks::ProxySettings{"127.0.0.1", port, user, password};
}

class ThroughMicrosocks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(socks::installed());
    server_ = std::make_unique<ztest::ServerProcess>("yaz-ztest", std::vector<std::string>{}, dir_ / "ztest.log");
    ASSERT_TRUE(server_->running());
  }
  qtest::TempDir dir_;
  std::unique_ptr<ztest::ServerProcess> server_;
};

TEST_F(ThroughMicrosocks, ReachesTheServerByNameAndByAddress) {
  Microsocks proxy(dir_ / "socks.log");
  ASSERT_NE(proxy.port(), 0);
  socks::ProxySettings p = proxyAt(proxy.port());
  std::string port = std::to_string(server_->port());

  // The proxy is asked for the name and resolves it itself; YAZ never looks it up.
  auto byName = socks::planTarget("localhost", &p);
  ASSERT_TRUE(byName);
  EXPECT_EQ(byName->rfind("198.1", 0), 0u) << *byName;
  int hits = 0;
  EXPECT_EQ(connectAndSearch(*byName, server_->port(), &hits), 0);
  EXPECT_GT(hits, 0);
  EXPECT_NE(proxy.log().find("localhost:" + port), std::string::npos) << proxy.log();

  auto byAddress = socks::planTarget("127.0.0.1", &p);
  ASSERT_TRUE(byAddress);
  EXPECT_NE(*byAddress, *byName);
  EXPECT_EQ(connectAndSearch(*byAddress, server_->port()), 0);
  EXPECT_NE(proxy.log().find("127.0.0.1:" + port), std::string::npos) << proxy.log();
}

TEST_F(ThroughMicrosocks, WithAnAccountTheRightPasswordGetsThroughAndAWrongOneDoesNot) {
  Microsocks proxy(dir_ / "socks.log", "ann", "s3cret");
  ASSERT_NE(proxy.port(), 0);
  socks::ProxySettings right = proxyAt(proxy.port(), "ann", "s3cret");
  socks::ProxySettings wrong = proxyAt(proxy.port(), "ann", "guess");
  socks::ProxySettings none = proxyAt(proxy.port());

  EXPECT_EQ(connectAndSearch(*socks::planTarget("127.0.0.1", &right), server_->port()), 0);
  EXPECT_EQ(connectAndSearch(*socks::planTarget("127.0.0.1", &wrong), server_->port()), ZOOM_ERROR_CONNECT);
  // Asked for an account while none is set: no unauthenticated CONNECT goes out.
  EXPECT_EQ(connectAndSearch(*socks::planTarget("127.0.0.1", &none), server_->port()), ZOOM_ERROR_CONNECT);
}

TEST_F(ThroughMicrosocks, AClosedTargetOrProxyFailsTheConnection) {
  Microsocks proxy(dir_ / "socks.log");
  ASSERT_NE(proxy.port(), 0);
  socks::ProxySettings p = proxyAt(proxy.port());
  EXPECT_EQ(connectAndSearch(*socks::planTarget("127.0.0.1", &p), ztest::closedPort()), ZOOM_ERROR_CONNECT);
  socks::ProxySettings closedProxy = proxyAt(ztest::closedPort());
  EXPECT_EQ(connectAndSearch(*socks::planTarget("127.0.0.1", &closedProxy), server_->port()), ZOOM_ERROR_CONNECT);
}

TEST_F(ThroughMicrosocks, WithoutAProxyNothingReachesMicrosocks) {
  Microsocks proxy(dir_ / "socks.log");
  ASSERT_NE(proxy.port(), 0);
  auto direct = socks::planTarget("localhost", nullptr);
  ASSERT_TRUE(direct);
  EXPECT_EQ(*direct, "localhost");
  EXPECT_EQ(connectAndSearch("127.0.0.1", server_->port()), 0);
  EXPECT_EQ(connectAndSearch(*direct, server_->port()), 0);
  EXPECT_EQ(proxy.log(), "");
}

TEST_F(ThroughMicrosocks, TwoThreadsEachGoTheirOwnWay) {
  Microsocks proxy(dir_ / "socks.log");
  ASSERT_NE(proxy.port(), 0);
  ztest::ServerProcess other("yaz-ztest", {}, dir_ / "other.log");
  ASSERT_TRUE(other.running());
  socks::ProxySettings p = proxyAt(proxy.port());
  int viaProxy = -1, direct = -1;
  for (int round = 0; round < 5; ++round) {
    std::thread a([&] { viaProxy = connectAndSearch(*socks::planTarget("localhost", &p), server_->port()); });
    std::thread b([&] { direct = connectAndSearch(*socks::planTarget("127.0.0.1", nullptr), other.port()); });
    a.join();
    b.join();
    EXPECT_EQ(viaProxy, 0);
    EXPECT_EQ(direct, 0);
  }
  std::string log = proxy.log();
  EXPECT_NE(log.find("localhost:" + std::to_string(server_->port())), std::string::npos) << log;
  EXPECT_EQ(log.find(":" + std::to_string(other.port())), std::string::npos) << log;
}

#ifdef ZOOM_SOCKS_WITH_ENGINE
// Connect reads the server's `proxy` key and section [Proxy] of Loomstore.ini.
TEST_F(ThroughMicrosocks, ConnectOfAServerWithAProxyGoesThroughItOrNowhere) {
  Microsocks proxy(dir_ / "socks.log");
  ASSERT_NE(proxy.port(), 0);
  ztest::ClientHome home;
  home.server("localhost", {{"port", std::to_string(server_->port())}, {"proxy", "yes"}});
  home.server("Proxy", {{"hostname", "127.0.0.1"}, {"port", std::to_string(proxy.port())}});
  auto conn = z3950::Connection::create(home.zoomXml());
  EXPECT_EQ(conn->Connect(u"localhost", u""), 0);
  EXPECT_NE(proxy.log().find("localhost:" + std::to_string(server_->port())), std::string::npos) << proxy.log();
  EXPECT_EQ(conn->SearchPqf(u"@attr 1=4 12")->GetSize(), 12);

  // A proxy given by name cannot be used: the connection fails instead of going direct.
  std::string before = proxy.log();
  home.server("Proxy", {{"hostname", "proxy.example.org"}});
  EXPECT_EQ(conn->Connect(u"localhost", u""), ZOOM_ERROR_CONNECT);
  EXPECT_FALSE(conn->connected());
  EXPECT_EQ(proxy.log(), before);
}

// Two connection objects connecting at the same time on two threads, one whose server goes
// through the proxy and one whose server does not: each goes its own way every time.
TEST_F(ThroughMicrosocks, ConcurrentConnectsKeepTheirOwnProxySettings) {
  Microsocks proxy(dir_ / "socks.log");
  ASSERT_NE(proxy.port(), 0);
  ztest::ServerProcess other("yaz-ztest", {}, dir_ / "other.log");
  ASSERT_TRUE(other.running());
  ztest::ClientHome home;
  home.server("localhost", {{"port", std::to_string(server_->port())}, {"proxy", "yes"}});
  home.server("direct", {{"IP", "127.0.0.1"}, {"port", std::to_string(other.port())}});
  home.server("Proxy", {{"hostname", "127.0.0.1"}, {"port", std::to_string(proxy.port())}});
  constexpr int kRounds = 20;
  for (int round = 0; round < kRounds; ++round) {
    int32_t viaProxy = -1, direct = -1, viaHits = -1, directHits = -1;
    std::thread a([&] {
      auto conn = z3950::Connection::create(home.zoomXml());
      viaProxy = conn->Connect(u"localhost", u"");
      viaHits = conn->SearchPqf(u"7")->GetSize();
    });
    std::thread b([&] {
      auto conn = z3950::Connection::create(home.zoomXml());
      direct = conn->Connect(u"direct", u"");
      directHits = conn->SearchPqf(u"5")->GetSize();
    });
    a.join();
    b.join();
    EXPECT_EQ(viaProxy, 0);
    EXPECT_EQ(direct, 0);
    EXPECT_EQ(viaHits, 7);
    EXPECT_EQ(directHits, 5);
  }
  std::string log = proxy.log();
  std::string wanted = "localhost:" + std::to_string(server_->port());
  int proxied = 0;
  for (size_t at = log.find(wanted); at != std::string::npos; at = log.find(wanted, at + 1)) ++proxied;
  EXPECT_EQ(proxied, kRounds) << log;
  EXPECT_EQ(log.find(":" + std::to_string(other.port())), std::string::npos) << log;
}
#endif

TEST(SocksPlan, RefusesWhatCannotGoThroughTheProxy) {
  socks::ProxySettings byName{"proxy.example.org", 1080, "", ""};
  EXPECT_FALSE(socks::planTarget("localhost", &byName));  // the proxy is never looked up by name
  socks::ProxySettings p{"127.0.0.1", 1080, "", ""};
  EXPECT_FALSE(socks::planTarget(std::string(256, 'h'), &p));
  socks::ProxySettings longUser{"127.0.0.1", 1080, std::string(256, 'u'), ""};
  EXPECT_FALSE(socks::planTarget("localhost", &longUser));
  EXPECT_EQ(socks::planTarget("localhost", &p), socks::planTarget("localhost", &p));
}

}  // namespace
