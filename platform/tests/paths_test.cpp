#include <platform/paths.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using namespace platform;

TEST(Paths, ProgramAndModuleFolders) {
  std::string exe = programPath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.front(), '/');
  EXPECT_TRUE(std::filesystem::equivalent(exe, "/proc/self/exe"));
  EXPECT_EQ(programFolder(), folderOf(exe));
  // This test is linked into the program, so its own module is the program.
  EXPECT_EQ(modulePath(reinterpret_cast<const void*>(&programPath)), exe);
  // A shared library answers with its own file.
  std::string libc = modulePath(reinterpret_cast<const void*>(&std::getenv));
  EXPECT_NE(libc.find("libc"), std::string::npos) << libc;
  EXPECT_EQ(moduleFolder(reinterpret_cast<const void*>(&std::getenv)), folderOf(libc));
  EXPECT_EQ(modulePath(nullptr), "");
}

TEST(Paths, HomeAndWindowsDirectoryAreCreatedOnUse) {
  qtest::TempHome temp;
  std::string home = joinPath(temp.path().string(), "nested/home");
  setenv("QORVEL_HOME", (home + "/").c_str(), 1);
  EXPECT_EQ(qorvelHome(), home);
  EXPECT_EQ(windowsDirectory(), home + "/windows");
  struct stat st{};
  ASSERT_EQ(stat((home + "/windows").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Bare profile names go to the Windows directory; names with a folder stay as given.
  EXPECT_EQ(profilePath(u"Loomstore.ini"), home + "/windows/Loomstore.ini");
  EXPECT_EQ(profilePath(u"/opt/app/Gleanex.ini"), "/opt/app/Gleanex.ini");
  EXPECT_EQ(profilePath(u"sub/x.ini"), "sub/x.ini");
  ASSERT_TRUE(writeProfileString(u"QzConfig.ini", u"QzConfig", u"doc", u"/tmp/x"));
  EXPECT_EQ(qtest::readFile(home + "/windows/QzConfig.ini"), "[QzConfig]\ndoc=/tmp/x\n");
}

TEST(Paths, HomeDefaultsUnderTheUsersConfigFolder) {
  qtest::TempHome temp;
  std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  unsetenv("QORVEL_HOME");
  setenv("HOME", temp.path().c_str(), 1);
  EXPECT_EQ(qorvelHome(), temp.path().string() + "/.config/qorvelmarc");
  setenv("HOME", oldHome.c_str(), 1);
}

TEST(Paths, PieceHelpers) {
  struct Case {
    std::string path, folder, name;
  } cases[] = {{"/a/b/c.ini", "/a/b", "c.ini"}, {"/c.ini", "/", "c.ini"}, {"c.ini", "", "c.ini"}, {"/a/b/", "/a/b", ""}};
  for (auto& c : cases) {
    EXPECT_EQ(folderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(fileNameOf(c.path), c.name) << c.path;
  }
  EXPECT_EQ(joinPath("/a/", "/b"), "/a/b");
  EXPECT_EQ(joinPath("", "b"), "b");
  EXPECT_EQ(pathFromWide(u"/数据/x"), "/数据/x");
  EXPECT_EQ(pathToWide("/数据/x"), u"/数据/x");
}
