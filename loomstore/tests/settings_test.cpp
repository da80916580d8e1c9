#include <loomstore/ServerSettings.h>

#include <platform/paths.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

namespace {

using namespace loomstore;

TEST(ServerSettings, ProxyIsUsedForAnyValueButFalse) {
  struct Case {
    const char16_t* value;
    bool uses;
  } cases[] = {
      {u"false", false}, {u"FALSE", false}, {u"False", false},
      {u"true", true},   {u"TRUE", true},   {u"yes", true},
      {u"1", true},      {u"", true},       {u"falsey", true},
  };
  for (const Case& c : cases) EXPECT_EQ(UsesProxy(c.value), c.uses) << platform::toUtf8(c.value);
}

TEST(ServerSettings, ServerUsesProxyReadsTheKeyWithItsDefault) {
  qtest::TempHome home;
  qtest::writeFile(platform::profilePath(kSettingsFile),
                   "[A]\nproxy=TRUE\n[B]\nproxy=False\n[C]\nIP=1.2.3.4\n[D]\nproxy=\n");
  EXPECT_TRUE(ServerUsesProxy(kSettingsFile, u"A"));
  EXPECT_FALSE(ServerUsesProxy(kSettingsFile, u"B"));
  EXPECT_FALSE(ServerUsesProxy(kSettingsFile, u"C")) << "missing key reads as \"false\"";
  EXPECT_TRUE(ServerUsesProxy(kSettingsFile, u"D")) << "an empty value is not \"false\"";
  EXPECT_FALSE(ServerUsesProxy(kSettingsFile, u"nowhere"));
}

TEST(ServerSettings, ServerNamesThatWouldBreakTheFileOrPathsAreInvalid) {
  for (const char16_t* bad : {u"a/b", u"a:b", u"a=b", u"[a", u"a]", u"a+b", u"a#", u"a?b", u";a", u"  ;a", u"", u"  "})
    EXPECT_FALSE(IsValidServerName(bad)) << platform::toUtf8(bad);
  for (const char16_t* good : {u"国家图书馆", u"a;b", u"host.example.org", u"(新服务器)", u"a b", u"LC-1"})
    EXPECT_TRUE(IsValidServerName(good)) << platform::toUtf8(good);
}

TEST(ServerSettings, PortsAreNumbersFromOneTo65535) {
  for (const char16_t* bad : {u"", u"0", u"00", u"65536", u"99999999999", u"-1", u"+21", u" 210", u"210 ", u"21a", u"２１０"})
    EXPECT_FALSE(IsValidPort(bad)) << platform::toUtf8(bad);
  for (const char16_t* good : {u"1", u"210", u"3089", u"65535", u"0210"})
    EXPECT_TRUE(IsValidPort(good)) << platform::toUtf8(good);
}

TEST(ServerSettings, DatabaseListsSplitAndJoinWithPlus) {
  EXPECT_EQ(SplitDatabases(u"a+b+"), (std::vector<u16>{u"a", u"b"}));
  EXPECT_EQ(SplitDatabases(u"+a++b"), (std::vector<u16>{u"a", u"b"}));
  EXPECT_TRUE(SplitDatabases(u"").empty());
  EXPECT_EQ(JoinDatabases({u"a", u"中文库"}), u"a+中文库+");
  EXPECT_EQ(JoinDatabases({}), u"");
}

TEST(ServerSettings, ListedServersIncludeBareLines) {
  qtest::TempHome home;
  qtest::writeFile(platform::profilePath(kSettingsFile), "[Servers]\nA=z39.50\nB\nC=\n");
  EXPECT_TRUE(ServerListed(kSettingsFile, u"A"));
  EXPECT_TRUE(ServerListed(kSettingsFile, u"a"));
  EXPECT_TRUE(ServerListed(kSettingsFile, u"B")) << "a line without \"=\" is a record server";
  EXPECT_FALSE(ServerListed(kSettingsFile, u"C")) << "an empty value counts as absent";
  EXPECT_FALSE(ServerListed(kSettingsFile, u"D"));
}

}  // namespace
