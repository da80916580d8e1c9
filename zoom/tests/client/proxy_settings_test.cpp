// The proxy text of a server section and the proxy state filled from it.
#include "client_support.h"

#include "z3950/proxy_settings.h"

using namespace ztest;

TEST(ProxySettings, ProxyTextFollowsTheServerAndProxySections) {
  struct Case {
    const char* use;  // [S] proxy, nullptr: key missing
    const char* host;
    const char* port;
    const char* user;
    const char* pass;
    const char16_t* text;
  } cases[] = {
      {"TRUE", "10.0.0.1", "1081", "", "", u"10.0.0.1:1081"},
      {"yes", "10.0.0.1", nullptr, "", "", u"10.0.0.1:1080"},
      {"False", "10.0.0.1", "1081", "", "", u""},
      {nullptr, "10.0.0.1", "1081", "", "", u""},
      {"true", "", "1081", "u", "p", u""},
      {"true", "10.0.0.1", "1081", "u", "p", u"10.0.0.1:1081?u/p"},
      {"true", "10.0.0.1", "1081", "u", "", u"10.0.0.1:1081?u"},
      {"true", "10.0.0.1", "1081", "", "p", u"10.0.0.1:1081"},
  };
  for (const Case& c : cases) {
    ClientHome home;
    if (c.use) home.server("S", {{"proxy", c.use}});
    home.server("Proxy", {{"hostname", c.host}, {"user", c.user}, {"pass", c.pass}});
    if (c.port) home.server("Proxy", {{"port", c.port}});
    EXPECT_EQ(z3950::proxyText(u"S"), c.text) << (c.use ? c.use : "(none)") << " " << c.host;
  }
}

TEST(ProxySettings, ParseProxySplitsAddressAndAccount) {
  z3950::ProxyState p = z3950::parseProxy(u"192.168.1.9:3128", u"reader/pw/x");
  EXPECT_EQ(p.host, "192.168.1.9");
  EXPECT_EQ(p.port, 3128);
  EXPECT_EQ(p.user, "reader");
  EXPECT_EQ(p.password, "pw/x");
  p = z3950::parseProxy(u"192.168.1.9", u"reader");
  EXPECT_EQ(p.port, 1080);
  EXPECT_EQ(p.user, "reader");
  EXPECT_EQ(p.password, "");
  p = z3950::parseProxy(u"h:", u"");
  EXPECT_EQ(p.port, 0);
  EXPECT_EQ(p.user, "");
}
