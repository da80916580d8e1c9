// Gleanex.ini: defaults, the character-set keys, the numbered server list, a full round trip.
#include "settings.h"

#include <platform/profile.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

namespace {

struct SettingsFile : ::testing::Test {
  qtest::TempDir dir;
  u16 path = platform::fromUtf8((dir.path() / "Gleanex.ini").string());
  void put(u16v section, u16v key, u16v value) { platform::writeProfileString(path, section, key, value); }
  u16 get(u16v section, u16v key) { return platform::profileString(path, section, key, u"<none>"); }
};

TEST_F(SettingsFile, MissingFileGivesTheFileDefaults) {
  CAppSettings s;
  s.Load(path);
  EXPECT_FALSE(s.sourceRuleOn);
  EXPECT_EQ(s.codePage, 0);
  EXPECT_EQ(s.marker, 0);
  EXPECT_EQ(s.userName, u"root");
  EXPECT_EQ(s.multiStrategy, 1019);
  EXPECT_EQ(s.waitSeconds, 12);
  EXPECT_TRUE(s.servers.empty());
  EXPECT_TRUE(s.oneHit.output.empty());
}

TEST_F(SettingsFile, CharacterSetKeys) {
  struct Case {
    const char16_t* charset;
    int32_t codePage, marker;
  } cases[] = {
      {u"UTF8", 65001, 1}, {u"ucs2", -1, 1}, {u"eacc3", -2, 3}, {u"EACC4", -2, 4},
      {u"gbk", 0, 0},  // 文件头 is read for UTF-16LE and UTF-8 only
      {u"latin", 0, 0},
  };
  for (const Case& c : cases) {
    put(u"输出MARC", u"字符集", c.charset);
    put(u"输出MARC", u"文件头", u"1");
    CAppSettings s;
    s.Load(path);
    EXPECT_EQ(s.codePage, c.codePage) << platform::toUtf8(c.charset);
    EXPECT_EQ(s.marker, c.marker) << platform::toUtf8(c.charset);
  }
}

TEST_F(SettingsFile, ServerListStopsAtTheFirstGapAndIsRenumbered) {
  put(u"数据库列表", u"1", u"z39.50://a/db?p=public/?r=no?n=0");
  put(u"数据库列表", u"2", u"qzap://b/db");
  put(u"数据库列表", u"4", u"qzap://d/db");
  CAppSettings s;
  s.Load(path);
  ASSERT_EQ(s.servers.size(), 2u);
  EXPECT_EQ(s.servers[1], u"qzap://b/db");
  ASSERT_TRUE(s.Save(path));
  EXPECT_EQ(get(u"数据库列表", u"2"), u"qzap://b/db");
  EXPECT_EQ(get(u"数据库列表", u"4"), u"<none>");
}

TEST_F(SettingsFile, ALongServerListIsWrittenWhole) {
  CAppSettings s;
  for (int i = 0; i < 60; ++i)
    s.servers.push_back(platform::fromUtf8("z39.50://server" + std::to_string(i) +
                                           "/some-long-database-name?p=public/?r=no?n=0"));
  ASSERT_TRUE(s.Save(path));
  CAppSettings back;
  back.Load(path);
  EXPECT_EQ(back.servers, s.servers);
}

TEST_F(SettingsFile, RoundTripWithTheFileKeys) {
  CAppSettings s;
  s.sourceRuleOn = true;
  s.sourceRuleScript = u"/rules/source.js";
  s.schemeName = u"图书方案";
  s.codePage = -2;
  s.marker = 4;
  s.recordSeparator = true;
  s.userName = u"cat";
  s.password = u"secret";
  s.servers = {u"z39.50://a/db?p=public/?r=yes?n=21", u"qzap://b/books?p=cat/x?r=no?n=0"};
  s.oneHit = {u"/rules/one.js", u"/out/one.mrc", {u"qzap://b/d1", u"", u"qzap://b/d3"}};
  s.multiStrategy = 1021;
  s.multiOutput = u"/out/multi.mrc";
  s.noHit = {u"", u"/out/none.xls", {u"qzap://c/d", u"", u""}};
  s.waitSeconds = 3;
  ASSERT_TRUE(s.Save(path));

  EXPECT_EQ(get(u"源数据", u"预处理"), u"1");
  EXPECT_EQ(get(u"输出MARC", u"字符集"), u"eacc4");
  EXPECT_EQ(get(u"输出MARC", u"文件头"), u"<none>") << "written for UTF-16LE and UTF-8 only";
  EXPECT_EQ(get(u"输出MARC", u"记录分隔"), u"1");
  EXPECT_EQ(get(u"一条记录", u"转入库3"), u"qzap://b/d3");
  EXPECT_EQ(get(u"多条记录", u"选择策略"), u"1021");
  EXPECT_EQ(get(u"系统参数", u"等待时间"), u"3");

  CAppSettings back;
  back.Load(path);
  EXPECT_TRUE(back.sourceRuleOn);
  EXPECT_EQ(back.sourceRuleScript, s.sourceRuleScript);
  EXPECT_EQ(back.schemeName, s.schemeName);
  EXPECT_EQ(back.codePage, -2);
  EXPECT_EQ(back.marker, 4);
  EXPECT_TRUE(back.recordSeparator);
  EXPECT_EQ(back.userName, u"cat");
  EXPECT_EQ(back.password, u"secret");
  EXPECT_EQ(back.servers, s.servers);
  EXPECT_EQ(back.oneHit.script, s.oneHit.script);
  EXPECT_EQ(back.oneHit.output, s.oneHit.output);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back.oneHit.database[i], s.oneHit.database[i]);
    EXPECT_EQ(back.noHit.database[i], s.noHit.database[i]);
  }
  EXPECT_EQ(back.multiStrategy, 1021);
  EXPECT_EQ(back.multiOutput, s.multiOutput);
  EXPECT_EQ(back.noHit.output, s.noHit.output);
  EXPECT_EQ(back.waitSeconds, 3);

  // The other variant and the UTF forms, with their file-header flag.
  struct Case {
    int32_t codePage, marker;
    const char16_t* charset;
  } cases[] = {{-2, 3, u"eacc3"}, {-2, 0, u"eacc3"}, {-1, 1, u"ucs2"}, {65001, 0, u"utf8"}, {936, 0, u"gbk"}};
  for (const Case& c : cases) {
    s.codePage = c.codePage;
    s.marker = c.marker;
    ASSERT_TRUE(s.Save(path));
    EXPECT_EQ(get(u"输出MARC", u"字符集"), c.charset);
    if (c.codePage == -1 || c.codePage == 65001) {
      EXPECT_EQ(get(u"输出MARC", u"文件头"), c.marker ? u"1" : u"0");
    }
  }
}

}  // namespace
