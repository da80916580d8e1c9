// Gleanex.ini: defaults, the character-set keys, the numbered server list, a full round trip.
#include "settings.h"

#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

// ---- Gleanex.ini on a machine shared with other users ----

namespace {

// Gleanex.ini holds the record server's password and the server list's: readable by its
// owner only, from its first write on, whatever the umask.
TEST_F(SettingsFile, TheFileIsItsOwnersAlone) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to try the file with";
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string file = platform::toUtf8(path);
  const mode_t oldMask = umask(0);
  CAppSettings s;
  s.password = u"secret";
  s.servers = {u"qzap://b/books?p=cat/x?r=no?n=0"};
  ASSERT_TRUE(s.Save(path));
  umask(oldMask);
  struct stat st{};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(qtest::inChildProcess([&] {
              if (!qtest::becomeOtherUser()) return 2;
              return open(file.c_str(), O_RDONLY) < 0 && errno == EACCES ? 0 : 1;
            }),
            0);
}

// A second user who keeps the file's lock makes 退出 and 确定 say so, naming the file, after
// the lock wait; the file keeps what it held.
TEST_F(SettingsFile, ALockKeptByAnotherUserIsToldNotWaitedFor) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to keep the lock";
  ASSERT_EQ(chmod(dir.path().c_str(), 01777), 0);
  CGleanexApp app;
  app.SetProgramFolder(platform::fromUtf8(dir.path().string()));
  app.settings.userName = u"cat";
  ASSERT_TRUE(app.SaveSettings());
  const std::string before = qtest::readFile(dir / "Gleanex.ini");
  const std::string lock = (dir / ".Gleanex.ini.lock").string();
  ASSERT_EQ(unlink(lock.c_str()), 0);  // so that the other user can make it and keep it
  qtest::OtherUserProcess holder([&] {
    int fd = open(lock.c_str(), O_RDONLY | O_CREAT, 0644);
    return fd >= 0 && flock(fd, LOCK_EX) == 0;
  });
  ASSERT_TRUE(holder.ok());

  const int oldWait = platform::setProfileLockWait(100);
  uitest::ModalScript script;
  app.settings.userName = u"dog";
  EXPECT_FALSE(app.SaveSettings());
  platform::setProfileLockWait(oldWait);
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].text.toStdU16String(),
            u"设置文件[" + app.settingsPath + u"]正被其他程序锁定，设置未能保存!");
  EXPECT_EQ(qtest::readFile(dir / "Gleanex.ini"), before);

  // Any other failure says the file could not be saved.
  app.SetProgramFolder(platform::fromUtf8((dir / "gone").string()));
  EXPECT_FALSE(app.SaveSettings());
  ASSERT_EQ(script.messages().size(), 2u);
  EXPECT_EQ(script.messages()[1].text.toStdU16String(), u"设置文件[" + app.settingsPath + u"]保存失败，设置未能保存!");
}

}  // namespace
