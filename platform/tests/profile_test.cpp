#include <platform/paths.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

using namespace platform;

namespace {

class Profile : public ::testing::Test {
 protected:
  qtest::TempDir dir;
  std::string file = (dir / "test.ini").string();
  u16 wfile = fromUtf8(file);

  void ini(const std::string& bytes) { qtest::writeFile(file, bytes); }
  std::string bytes() const { return qtest::readFile(file); }
  std::string lockAndTemporaries() const {
    std::string names;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().filename() != "test.ini") names += e.path().filename().string() + " ";
    return names;
  }
};

// The list form: NUL-separated texts ending in a double NUL.
std::vector<u16> splitList(const char16_t* buf, int32_t n) {
  std::vector<u16> out;
  for (const char16_t* p = buf; p < buf + n && *p; p += length(p) + 1) out.emplace_back(p);
  return out;
}

mode_t modeOf(const std::string& path) {
  struct stat st{};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

}  // namespace

TEST_F(Profile, ValueIsCutToSizeMinusOne) {
  ini("[S]\nk=abcdef\n");
  struct Case {
    uint32_t size;
    int32_t result;
    u16 text;
  } cases[] = {{1, 0, u""}, {2, 1, u"a"}, {6, 5, u"abcde"}, {7, 6, u"abcdef"}, {64, 6, u"abcdef"}};
  for (auto& c : cases) {
    char16_t buf[65];
    std::fill(std::begin(buf), std::end(buf), u'#');
    EXPECT_EQ(GetPrivateProfileString(u"S", u"k", u"", buf, c.size, wfile.c_str()), c.result) << c.size;
    EXPECT_EQ(u16(buf), c.text) << c.size;
    EXPECT_EQ(buf[c.size], u'#') << "wrote past the buffer at size " << c.size;
  }
  char16_t untouched[2] = {u'#', u'#'};
  EXPECT_EQ(GetPrivateProfileString(u"S", u"k", u"", untouched, 0, wfile.c_str()), 0);
  EXPECT_EQ(untouched[0], u'#');
  EXPECT_EQ(GetPrivateProfileString(u"S", u"k", u"", nullptr, 10, wfile.c_str()), 0);
  // The default is cut the same way.
  EXPECT_EQ(profileString(file, u"S", u"missing", u"0123456789", 4), u"012");
}

TEST_F(Profile, ValuesTrimmedAndOnePairOfQuotesDropped) {
  struct Case {
    std::string line;
    u16 value;
  } cases[] = {
      {"k=plain", u"plain"},
      {"k =  spaced out \t", u"spaced out"},
      {"k=\"double\"", u"double"},
      {"k='single'", u"single"},
      {"k=\" kept blanks \"", u" kept blanks "},
      {"k=\"\"", u""},
      {"k=\"mixed'", u"\"mixed'"},
      {"k=\"", u"\""},
      {"k=\"\"twice\"\"", u"\"twice\""},
      {"k=a\"b\"", u"a\"b\""},
      {"k=a=b", u"a=b"},
      {"k=", u""},
      {"k", u""},
  };
  for (auto& c : cases) {
    ini("[S]\n" + c.line + "\n");
    EXPECT_EQ(profileString(file, u"S", u"k", u"default"), c.value) << c.line;
  }
}

TEST_F(Profile, DefaultOnlyWhenKeyIsMissing) {
  ini("[S]\nempty=\n;k=commented\n[T]\nk=other section\n");
  EXPECT_EQ(profileString(file, u"S", u"empty", u"def"), u"");
  EXPECT_EQ(profileString(file, u"S", u"k", u"def"), u"def");
  EXPECT_EQ(profileString(file, u"Nope", u"k", u"def"), u"def");
  EXPECT_EQ(profileString(dir / "absent.ini", u"S", u"k", u"def"), u"def");
  char16_t buf[16];
  EXPECT_EQ(GetPrivateProfileString(u"S", u"k", u"def  ", buf, 16, wfile.c_str()), 3);  // trailing blanks go
  EXPECT_EQ(u16(buf), u"def");
  EXPECT_EQ(GetPrivateProfileString(u"S", u"k", nullptr, buf, 16, wfile.c_str()), 0);
  EXPECT_EQ(buf[0], 0);
}

TEST_F(Profile, IntegersReadAsWindowsReadsThem) {
  struct Case {
    std::string value;
    int32_t result;
  } cases[] = {
      {"42", 42},      {"  42", 42},     {"-17", -17},  {"+5", 5},      {"0x1F", 31},      {"0X1f", 31},
      {"0o17", 15},    {"0b101", 5},     {"12abc", 12}, {"abc", 0},     {"'7'", 7},        {"\"-3\"", -3},
      {"007", 7},      {"1 2", 1},       {"0x", 0},     {"-", 0},       {"4294967295", -1}, {"2100", 2100},
  };
  for (auto& c : cases) {
    ini("[S]\nk=" + c.value + "\n");
    EXPECT_EQ(profileInt(file, u"S", u"k", 99), c.result) << c.value;
  }
  ini("[S]\nempty=\n");
  EXPECT_EQ(profileInt(file, u"S", u"empty", 210), 210);
  EXPECT_EQ(profileInt(file, u"S", u"missing", 210), 210);
}

TEST_F(Profile, NamesIgnoreCaseAndKeepTheirSpelling) {
  ini("[Servers]\nMyHost=qzap\n");
  EXPECT_EQ(profileString(file, u"SERVERS", u"myhost"), u"qzap");
  ASSERT_TRUE(writeProfileString(file, u"servers", u"MYHOST", u"z39.50"));
  ASSERT_TRUE(writeProfileString(file, u"sERVERS", u"NewOne", u"qzap"));
  ASSERT_TRUE(writeProfileString(file, u"Proxy", u"hostname", u"10.0.0.1"));
  EXPECT_EQ(bytes(), "[Servers]\nMyHost=z39.50\nNewOne=qzap\n\n[Proxy]\nhostname=10.0.0.1\n");
  // Only A-Z fold: a name in other letters is matched exactly.
  ASSERT_TRUE(writeProfileString(file, u"\u00C9", u"k", u"upper"));
  EXPECT_EQ(profileString(file, u"\u00E9", u"k", u"none"), u"none");
  EXPECT_EQ(lockAndTemporaries(), ".test.ini.lock ");
}

TEST_F(Profile, NullValueDeletesKeyAndNullKeyTheSection) {
  ini("; settings\n[A]\nx=1\ny=2\nX=dup\n\n[B]\nz=3\n[a]\nw=4\n");
  ASSERT_TRUE(WritePrivateProfileString(u"a", u"x", nullptr, wfile.c_str()));
  EXPECT_EQ(bytes(), "; settings\n[A]\ny=2\n\n[B]\nz=3\n[a]\nw=4\n");
  ASSERT_TRUE(WritePrivateProfileString(u"A", nullptr, nullptr, wfile.c_str()));
  EXPECT_EQ(bytes(), "; settings\n[B]\nz=3\n");  // every section of that name goes
  EXPECT_EQ(profileString(file, u"A", u"w", u"gone"), u"gone");

  // Deleting what is not there succeeds and creates no file.
  std::string absent = (dir / "absent.ini").string();
  EXPECT_TRUE(deleteProfileKey(absent, u"S", u"k"));
  EXPECT_TRUE(deleteProfileSection(absent, u"S"));
  EXPECT_FALSE(std::filesystem::exists(absent));
  EXPECT_FALSE(WritePrivateProfileString(nullptr, u"k", u"v", wfile.c_str()));
}

TEST_F(Profile, ListsOfKeysSectionsAndLines) {
  ini("top=ignored\n[Servers]\nAlpha = qzap\n; a comment\nBeta=\"z39.50\"\nGamma\n\n[Proxy]\nport=1080\n");
  EXPECT_EQ(profileKeys(file, u"servers"), (std::vector<u16>{u"Alpha", u"Beta", u"Gamma"}));
  EXPECT_EQ(profileSectionNames(file), (std::vector<u16>{u"Servers", u"Proxy"}));
  // Section lines: quotes kept, blanks around "=" dropped, a line without "=" included.
  EXPECT_EQ(profileSection(file, u"SERVERS"), (std::vector<u16>{u"Alpha=qzap", u"Beta=\"z39.50\"", u"Gamma"}));
  EXPECT_TRUE(profileSection(file, u"Nope").empty());

  char16_t buf[64];
  int32_t n = GetPrivateProfileString(nullptr, nullptr, nullptr, buf, 64, wfile.c_str());
  EXPECT_EQ(u16(buf, size_t(n) + 1), u16(u"Servers\0Proxy\0\0", 15));
  EXPECT_EQ(GetPrivateProfileSection(u"Proxy", buf, 64, wfile.c_str()), 10);
  EXPECT_EQ(u16(buf, 11), u16(u"port=1080\0\0", 11));
  EXPECT_EQ(GetPrivateProfileSection(u"Nope", buf, 64, wfile.c_str()), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf[1], 0);
}

TEST_F(Profile, ListsTooLongForTheBufferKeepWholeEntries) {
  ini("[S]\naa=1\nbb=2\ncc=3\n");
  struct Case {
    uint32_t size;
    int32_t result;
    std::vector<u16> entries;
  } cases[] = {
      {16, 15, {u"aa=1", u"bb=2", u"cc=3"}},  // "aa=1\0bb=2\0cc=3\0\0" just fits
      {15, 13, {u"aa=1", u"bb=2"}},           // cut: size-2, the third line left out whole
      {7, 5, {u"aa=1"}},
      {6, 4, {u"aa=1"}},
      {5, 3, {}},
      {2, 0, {}},
  };
  for (auto& c : cases) {
    char16_t buf[17];
    std::fill(std::begin(buf), std::end(buf), u'#');
    int32_t n = GetPrivateProfileSection(u"S", buf, c.size, wfile.c_str());
    EXPECT_EQ(n, c.result) << c.size;
    EXPECT_EQ(splitList(buf, n), c.entries) << c.size;
    EXPECT_EQ(buf[c.size - 1], 0) << c.size;
    EXPECT_EQ(buf[c.size - 2], 0) << c.size;
    EXPECT_EQ(buf[c.size], u'#') << c.size;
  }
}

TEST_F(Profile, SectionWriteReplacesTheLines) {
  ini("[Gleanex]\nx=1\n[数据库列表]\n1=old\n2=old\n3=old\n\n[Z]\nz=1\n");
  ASSERT_TRUE(writeProfileSection(file, u"数据库列表", {u"1=qzap://a/b", u"2=z39.50://c/d"}));
  EXPECT_EQ(bytes(), "[Gleanex]\nx=1\n[数据库列表]\n1=qzap://a/b\n2=z39.50://c/d\n\n[Z]\nz=1\n");
  EXPECT_EQ(profileList(file, u"数据库列表"), (std::vector<u16>{u"qzap://a/b", u"z39.50://c/d"}));
  ASSERT_TRUE(writeProfileSection(file, u"New", {u"a=1"}));
  EXPECT_EQ(profileString(file, u"new", u"A"), u"1");
  ASSERT_TRUE(WritePrivateProfileSection(u"数据库列表", nullptr, wfile.c_str()));
  EXPECT_TRUE(profileKeys(file, u"数据库列表").empty());
  EXPECT_EQ(profileString(file, u"Z", u"z"), u"1");
}

TEST_F(Profile, NumberedListEndsAtFirstMissingOrEmptyKey) {
  ini("[L]\n1=one\n2=two\n4=four\n[M]\n1=a\n2=\n3=c\n");
  EXPECT_EQ(profileList(file, u"L"), (std::vector<u16>{u"one", u"two"}));
  EXPECT_EQ(profileList(file, u"M"), (std::vector<u16>{u"a"}));
}

TEST_F(Profile, LineBreaksInWrittenTextsCannotForgeLines) {
  ASSERT_TRUE(writeProfileString(file, u"S", u"pass", u"secret\n[Other]\nk=v"));
  EXPECT_EQ(bytes(), "[S]\npass=secret\n");
}

TEST_F(Profile, WrittenBackInTheEncodingItWasReadIn) {
  struct Case {
    const char* name;
    std::string before, after;
  } cases[] = {
      {"UTF-8", "[数据]\r\n旧=值\r\n", "[数据]\r\n旧=值\r\n新=中文\r\n"},
      {"UTF-8 with mark", "\xEF\xBB\xBF[数据]\n", "\xEF\xBB\xBF[数据]\n新=中文\n"},
      {"GBK", "[\xCA\xFD\xBE\xDD]\n\xBE\xC9=\xD6\xB5\n",  // [数据] 旧=值
       "[\xCA\xFD\xBE\xDD]\n\xBE\xC9=\xD6\xB5\n\xD0\xC2=\xD6\xD0\xCE\xC4\n"},
      {"GBK with a stray byte kept", "[\xCA\xFD\xBE\xDD]\nbad=\xFF\n", "[\xCA\xFD\xBE\xDD]\nbad=\xFF\n\xD0\xC2=\xD6\xD0\xCE\xC4\n"},
      {"UTF-16LE", std::string("\xFF\xFE[\0\x70\x65\x6E\x63]\0\r\0\n\0", 14),
       std::string("\xFF\xFE[\0\x70\x65\x6E\x63]\0\r\0\n\0\xB0\x65=\0\x2D\x4E\x87\x65\r\0\n\0", 26)},
  };
  for (auto& c : cases) {
    ini(c.before);
    ASSERT_TRUE(writeProfileString(file, u"数据", u"新", u"中文")) << c.name;
    EXPECT_EQ(bytes(), c.after) << c.name;
    EXPECT_EQ(profileString(file, u"数据", u"新"), u"中文") << c.name;
  }
  // Reading each form: the values come back as text.
  ini("[\xCA\xFD\xBE\xDD]\nk=\xAA\xA1\xFE\x50\n");  // user-defined area of code page 936
  EXPECT_EQ(profileString(file, u"数据", u"k"), u"\uE000\uE815");
  ini(std::string("\xFF\xFE[\0S\0]\0\n\0k\0=\0\x2D\x4E", 16));
  EXPECT_EQ(profileString(file, u"S", u"k"), u"中");
}

TEST_F(Profile, NewFilesAreUtf8AndGbkFilesTurnUtf8RatherThanLoseText) {
  ASSERT_TRUE(writeProfileString(file, u"S", u"k", u"中文"));
  EXPECT_EQ(bytes(), "[S]\nk=中文\n");

  ini("[S]\nold=\xD6\xD0\n");  // GBK 中
  ASSERT_TRUE(writeProfileString(file, u"S", u"new", u"\U0001F600"));
  EXPECT_EQ(bytes(), "[S]\nold=中\nnew=\U0001F600\n");
  EXPECT_EQ(profileString(file, u"S", u"new"), u"\U0001F600");
}

TEST_F(Profile, HalfASurrogatePairDoesNotTurnTheFileIntoGbk) {
  ASSERT_TRUE(writeProfileString(file, u"S", u"name", u"中文"));
  u16 cut = profileString(file, u"S", u"missing", u"ab\U0001F600", 4);  // "ab" and a high surrogate
  ASSERT_EQ(cut.size(), 3u);
  ASSERT_TRUE(writeProfileString(file, u"S", u"cut", cut));
  EXPECT_EQ(profileString(file, u"S", u"cut"), u"ab\uFFFD");
  EXPECT_EQ(profileString(file, u"S", u"name"), u"中文");
}

TEST_F(Profile, FileWithoutFinalLineBreakOrHeaderGrowsCleanly) {
  ini("[S]\na=1");
  ASSERT_TRUE(writeProfileString(file, u"S", u"b", u"2"));
  EXPECT_EQ(bytes(), "[S]\na=1\nb=2\n");
  ini("[S]");
  ASSERT_TRUE(writeProfileString(file, u"S", u"b", u"2"));
  EXPECT_EQ(bytes(), "[S]\nb=2\n");
  ini("");
  ASSERT_TRUE(writeProfileSection(file, u"S", {}));
  EXPECT_EQ(bytes(), "[S]\n");
  EXPECT_EQ(profileSectionNames(file), (std::vector<u16>{u"S"}));
}

TEST_F(Profile, TwoProcessesWritingOneFileLoseNothing) {
  constexpr int kKeys = 150;
  auto writeKeys = [&](const char* prefix) {
    for (int i = 0; i < kKeys; ++i)
      if (!writeProfileString(file, u"S", ascii(prefix + std::to_string(i)), u"v")) return false;
    return true;
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(writeKeys("child") ? 0 : 1);
  bool parentOk = writeKeys("parent");
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(parentOk);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  auto keys = profileKeys(file, u"S", 1 << 16);
  std::set<u16> unique(keys.begin(), keys.end());
  EXPECT_EQ(keys.size(), size_t(2 * kKeys));
  EXPECT_EQ(unique.size(), size_t(2 * kKeys));
  EXPECT_EQ(lockAndTemporaries(), ".test.ini.lock ");  // no temporary file left behind
}

TEST_F(Profile, NewPasswordFileIsPrivateOtherFilesKeepTheirMode) {
  qtest::TempHome home;
  mode_t old = umask(022);
  ASSERT_TRUE(writeProfileString(u"Loomstore.ini", u"Proxy", u"pass", u"secret"));
  std::string windows = joinPath(home.path().string(), "windows");
  EXPECT_EQ(modeOf(joinPath(windows, "Loomstore.ini")), 0600u);
  ASSERT_TRUE(writeProfileString(u"LOOMSTORE.INI", u"Proxy", u"pass", u"secret"));  // same file
  EXPECT_EQ(modeOf(joinPath(windows, "Loomstore.ini")), 0600u);
  EXPECT_EQ(profileString("Loomstore.ini", u"proxy", u"PASS"), u"secret");

  ASSERT_TRUE(writeProfileString(u"QzConfig.ini", u"QzConfig", u"k", u"v"));
  EXPECT_EQ(modeOf(joinPath(windows, "QzConfig.ini")), 0644u);

  ini("[S]\n");
  chmod(file.c_str(), 0640);
  ASSERT_TRUE(writeProfileString(file, u"S", u"k", u"v"));
  EXPECT_EQ(modeOf(file), 0640u);
  umask(old);
}

TEST_F(Profile, WriteThroughSymbolicLinkKeepsTheLink) {
  ini("[S]\n");
  std::string link = (dir / "link.ini").string();
  ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
  ASSERT_TRUE(writeProfileString(link, u"S", u"k", u"v"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(bytes(), "[S]\nk=v\n");
}

TEST_F(Profile, UnwritableFileIsNotReplaced) {
  ini("[S]\nk=v\n");
  chmod(file.c_str(), 0444);
  // In a child without root's right to write any file, so that the test also runs as root.
  EXPECT_EQ(qtest::inChildProcess([&] {
              qtest::obeyFilePermissions();
              return writeProfileString(file, u"S", u"k", u"changed") ? 1 : 0;
            }),
            0);
  EXPECT_EQ(bytes(), "[S]\nk=v\n");
}

TEST_F(Profile, MissingFolderFailsTheWrite) {
  EXPECT_FALSE(writeProfileString((dir / "no/such/dir.ini").string(), u"S", u"k", u"v"));
  EXPECT_FALSE(writeProfileString(u"", u"S", u"k", u"v"));
}

// ---- Settings files on a machine shared with other users ----

namespace {

// A folder that every user may enter and write, as /tmp or an install folder open to all.
void openToAll(const std::filesystem::path& p) { ASSERT_EQ(chmod(p.c_str(), 01777), 0); }

// Whether the second user can open the file for reading.
bool otherUserReads(const std::string& path) {
  return qtest::inChildProcess([&] {
           if (!qtest::becomeOtherUser()) return 2;
           int fd = open(path.c_str(), O_RDONLY);
           if (fd >= 0) close(fd);
           return fd >= 0 ? 1 : 0;
         }) == 1;
}

// The lock wait shortened for a test and given back after it.
class ShortLockWait {
 public:
  ShortLockWait() : old_(setProfileLockWait(200)) {}
  ~ShortLockWait() { setProfileLockWait(old_); }

 private:
  int old_;
};

}  // namespace

// Files with passwords are their owner's alone, whatever the umask, whether new or rewritten;
// files without keep their mode.
TEST_F(Profile, FilesWithPasswordsAreTheOwnersAlone) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to try the files with";
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  struct Case {
    const char* name;
    const char* before;  // the file's text before the write; nullptr: no file yet
    const char16_t* key;
    const char16_t* value;
    mode_t mode;
  } cases[] = {
      {"Gleanex.ini", nullptr, u"预处理", u"0", 0600},           // by its name, from its first key
      {"GLEANEX.INI", "[源数据]\n预处理=0\n", u"用户名", u"root", 0600},  // and when rewritten
      {"a.ini", nullptr, u"口令字", u"secret", 0600},
      {"b.ini", "[S]\nk=v\n", u"Password", u"secret", 0600},      // a file open to all is closed
      {"c.ini", "[S]\nk=v\n", u"1", u"qzap://main/books?p=cat/secret?r=no", 0600},
      {"d.ini", "[S]\nk=v\n", u"Connection", u"host=db user=cat password=secret", 0600},
      {"e.ini", "[S]\npwd=x\n", u"k", u"v", 0600},                 // a password already there
      {"f.ini", nullptr, u"k", u"v", 0644},
      {"g.ini", "[S]\nk=v\n", u"passage", u"v", 0666},  // keeps its mode
  };
  const mode_t oldMask = umask(0);
  for (const Case& c : cases) {
    const std::string path = (dir / c.name).string();
    if (c.before) {
      qtest::writeFile(path, c.before);
      chmod(path.c_str(), 0666);
    }
    umask(c.before ? 0 : 022);
    ASSERT_TRUE(writeProfileString(path, u"S", c.key, c.value)) << c.name;
    EXPECT_EQ(modeOf(path), c.mode) << c.name;
    EXPECT_EQ(otherUserReads(path), c.mode != 0600) << c.name;
    std::filesystem::remove(path);
  }
  umask(oldMask);
}

// The lock beside a file is its owner's alone; another user who holds it makes the write
// fail after the lock wait, never hang, and the file keeps its text.
TEST_F(Profile, ALockHeldByAnotherUserFailsTheWriteInTime) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to hold the lock";
  ini("[S]\nk=v\n");
  const mode_t oldMask = umask(0);
  ASSERT_TRUE(writeProfileString(file, u"S", u"k", u"mine"));
  umask(oldMask);
  const std::string lock = (dir / ".test.ini.lock").string();
  EXPECT_EQ(modeOf(lock), 0600u);
  openToAll(dir.path());
  EXPECT_FALSE(otherUserReads(lock));

  // In a folder open to all, the other user makes the lock file before us and keeps it locked.
  const std::string shared = (dir / "shared.ini").string();
  const std::string sharedLock = (dir / ".shared.ini.lock").string();
  qtest::OtherUserProcess holder([&] {
    int fd = open(sharedLock.c_str(), O_RDWR | O_CREAT, 0644);
    return fd >= 0 && flock(fd, LOCK_EX) == 0;
  });
  ASSERT_TRUE(holder.ok());
  qtest::writeFile(shared, "[S]\nk=v\n");
  ShortLockWait wait;
  EXPECT_FALSE(writeProfileString(shared, u"S", u"k", u"changed"));
  EXPECT_EQ(lastProfileWriteError(), ETIMEDOUT);
  EXPECT_EQ(qtest::readFile(shared), "[S]\nk=v\n");
  EXPECT_TRUE(writeProfileString(file, u"S", u"k", u"again")) << "other files' locks are free";
  EXPECT_EQ(lastProfileWriteError(), 0);
}

// A link planted under the lock file's name is never followed: nothing is made or locked
// where it points, and the write fails.
TEST_F(Profile, APlantedLockLinkIsNotFollowed) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to plant the link";
  openToAll(dir.path());
  qtest::TempDir elsewhere;
  const std::string target = (elsewhere / "nologin").string();
  const std::string lock = (dir / ".test.ini.lock").string();
  ASSERT_EQ(qtest::inChildProcess([&] { return qtest::becomeOtherUser() && symlink(target.c_str(), lock.c_str()) == 0 ? 0 : 1; }), 0);
  ini("[S]\nk=v\n");
  EXPECT_FALSE(writeProfileString(file, u"S", u"k", u"changed"));
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(bytes(), "[S]\nk=v\n");
}

// The temporary file of a write killed before its rename goes with the next write of the
// file once its process is gone; those of living writers and of other files stay.
TEST_F(Profile, TemporariesOfKilledWritesAreRemoved) {
  pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  pid_t living = fork();
  ASSERT_GE(living, 0);
  if (living == 0) {
    pause();
    _exit(0);
  }
  const std::string dead = ".test.ini." + std::to_string(gone) + "-0-4711";
  const std::vector<std::string> kept = {
      ".test.ini." + std::to_string(living) + "-0-4711",  // a writer still at work
      ".other.ini." + std::to_string(gone) + "-0-4711",   // another file's
      ".test.ini.lock", ".test.ini.x-1", "test.ini.bak",
  };
  ini("[S]\nk=v\n");
  qtest::writeFile(dir / dead, "[S]\nk=ha");
  for (const std::string& k : kept) qtest::writeFile(dir / k, "");
  ASSERT_TRUE(writeProfileString(file, u"S", u"k", u"w"));
  kill(living, SIGKILL);
  waitpid(living, nullptr, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / dead));
  for (const std::string& k : kept) EXPECT_TRUE(std::filesystem::exists(dir / k)) << k;
}
