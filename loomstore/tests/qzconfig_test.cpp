// Configuration documents fetched from the Kelvra stand-in, their cache files and the
// per-user rights of a "limit" document.
#include "kelvra_home.h"

#include <loomstore/QzConfig.h>

#include <platform/paths.h>

#include <filesystem>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const QString kConnectFailed = QStringLiteral("与数据库连接不成功!");
const QString kDefaultLoginFailed = QStringLiteral("缺省帐户不能登录到指定的服务器！");
const QString kOpenFailed = QStringLiteral("数据库连接失败!");

class QzConfigTest : public KelvraHome {
 protected:
  std::u16string name() {
    char16_t buf[256];
    return config_.GetName(buf, 256) ? buf : u"";
  }
  std::u16string mapping() {
    char16_t buf[256] = u"?";
    config_.GetMappingName(buf, 256);
    return buf;
  }
  /// The cached text by the buffer form of GetContent.
  std::pair<int32_t, std::u16string> content(int32_t size = 1024, const char16_t* user = u"public",
                                             const char16_t* password = u"") {
    std::u16string buf(size_t(size), u'?');
    int32_t n = config_.GetContent(buf.data(), size, user, password);
    return {n, std::u16string(buf.c_str())};
  }

  /// The user's own folder of cache files in the temporary folder.
  std::string privateFolder() const { return (tmp_ / ("qorvelmarc-" + std::to_string(geteuid()))).string(); }

  CQzConfig config_;
};

TEST_F(QzConfigTest, DocumentNames) {
  struct Case {
    const char16_t* path;
    const char16_t* leaf;
    std::u16string name;
  } cases[] = {
      {u"qzap://main/config#3", u"help.htm", u"main/config/help.htm"},
      {u"main/catalog.xml", u"a/b.xml", u"main/catalog.xml/a/b.xml"},
      {u"z39.50://x//y", u"z", u"x//y/z"},
      {u"", u"z", u"/z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(config_.SetProperty(c.path, c.leaf), int32_t(c.name.size()));
    EXPECT_EQ(name(), c.name);
  }
  char16_t small[4] = u"abc";
  EXPECT_EQ(config_.GetName(small, 2), 0);
  EXPECT_EQ(small[0], 0) << "a name that does not fit empties the buffer";
}

TEST_F(QzConfigTest, FetchCachesAndReadsFromTheCache) {
  putDocument(u"catalog.xml", u"help.htm", u"<p>帮助</p>");
  config_.SetProperty(u"qzap://main/catalog.xml", u"help.htm");
  EXPECT_EQ(mapping(), u"");
  EXPECT_EQ(content(), std::make_pair(10, std::u16string(u"\xFEFF<p>帮助</p>")));
  const std::u16string file = mapping();
  EXPECT_EQ(platform::profileString(u"QzConfig.ini", u"QzConfig", u"main/catalog.xml/help.htm"), file);
  EXPECT_EQ(platform::folderOf(platform::toUtf8(file)), privateFolder());
  EXPECT_EQ(qtest::readFile(platform::toUtf8(file)), std::string("\xFF\xFE<\0p\0>\0\x2E\x5E\xA9\x52<\0/\0p\0>\0", 20));

  putDocument(u"catalog.xml", u"help.htm", u"<p>新</p>");
  EXPECT_EQ(content().second, u"\xFEFF<p>帮助</p>") << "the second read does not ask the server";
  EXPECT_EQ(content(10), std::make_pair(0, std::u16string())) << "no room for the NUL";
  EXPECT_EQ(content(2).first, 0) << "a tiny buffer only asks whether the file exists";

  fs::remove(platform::toUtf8(file));
  EXPECT_EQ(content().second, u"\xFEFF<p>新</p>") << "a lost cache is fetched again";
  EXPECT_EQ(mapping(), file) << "into the same file";

  EXPECT_EQ(config_.GetContent(u"public", u""), 8) << "the fetch alone gives the text's length";
  EXPECT_TRUE(script_.records().empty());
}

TEST_F(QzConfigTest, HtmDocumentsGetAnHtmCacheFile) {
  struct Case {
    const char16_t* leaf;
    const char* tail;
  } cases[] = {{u"a.htm", ".tmp.htm"}, {u"b.HTM", ".tmp"}, {u"c.html", ".tmp"}, {u"dir/x.htm", ".tmp.htm"}};
  for (const Case& c : cases) {
    putDocument(u"catalog.xml", c.leaf, u"text");
    config_.SetProperty(u"main/catalog.xml", c.leaf);
    ASSERT_EQ(config_.GetContent(u"public", u""), 4) << c.tail;
    const std::string file = fs::path(platform::toUtf8(mapping())).filename().string();
    EXPECT_EQ(file.substr(0, 3), "~qz") << file;
    EXPECT_EQ(file.substr(file.find('.')), c.tail) << file;
  }
}

TEST_F(QzConfigTest, FetchFailures) {
  putDocument(u"catalog.xml", u"a.xml", u"<a/>");
  struct Case {
    const char16_t* path;
    const char16_t* user;
    const char16_t* password;
    QString message;
  } cases[] = {
      {u"down/catalog.xml", u"public", u"", kConnectFailed},
      {u"main/catalog.xml", u"cat", u"wrong", kDefaultLoginFailed},
      {u"main/nothing", u"public", u"", kOpenFailed},
      {u"main/catalog.xml", u"cat", u"secret", QString()},  // no such document: no message
  };
  for (const Case& c : cases) {
    script_.clear();
    config_.SetProperty(c.path, u"missing.xml");
    EXPECT_EQ(config_.GetContent(c.user, c.password), -1) << ui::qs(c.path).toStdString();
    EXPECT_EQ(content(1024, c.user, c.password).first, -1);
    EXPECT_EQ(mapping(), u"") << "nothing is cached";
    if (c.message.isEmpty()) {
      EXPECT_TRUE(script_.messages().empty());
    } else {
      ASSERT_EQ(script_.messages().size(), 2u);
      EXPECT_EQ(script_.messages()[0].text, c.message);
      EXPECT_EQ(script_.messages()[0].icon, ui::Icon::Error);
    }
  }
}

TEST(QzConfigWithoutKelvra, AMissingComponentIsAFailedConnection) {
  qtest::TempHome home;
  uitest::ModalScript script;
  CQzConfig config;
  config.SetProperty(u"main/catalog.xml", u"a.xml");
  EXPECT_EQ(config.GetContent(u"public", u""), -1);
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].text, kConnectFailed);
}

TEST_F(QzConfigTest, Limitation) {
  putDocument(u"catalog.xml", u"*/limit",
              u"<limit><cat><enable>read,write</enable></cat><ann><disable>print</disable></ann>"
              u"<bob><enable>reading</enable></bob><eve><enable>unread,print</enable><disable>printer,print</disable></eve>"
              u"<joe><enable></enable><disable/></joe></limit>");
  for (const char16_t* user : {u"ann", u"bob", u"eve", u"joe", u"zed"}) ASSERT_EQ(store_->putAccount(user, u"pw"), 0);
  struct Case {
    const char16_t* user;
    const char16_t* key;
    int allowed;
  } cases[] = {
      {u"cat", u"read", 1},  {u"cat", u"write", 1}, {u"cat", u"print", 0}, {u"cat", u"rea", 0},
      {u"ann", u"print", 0}, {u"ann", u"read", 1},  {u"ann", u"pr", 1},
      {u"bob", u"read", 0},   // "reading" is not "read"
      {u"eve", u"read", 0},   // nor is "unread"
      {u"eve", u"print", 0},  // "print" is disabled even after "printer"
      {u"eve", u"unread", 1},
      {u"joe", u"anything", 1}, {u"zed", u"read", 0},  // a user without an element is denied
  };
  for (const Case& c : cases) {
    const char16_t* password = std::u16string_view(c.user) == u"cat" ? u"secret" : u"pw";
    EXPECT_EQ(config_.GetLimitation(u"main/catalog.xml", c.user, password, c.key), c.allowed)
        << ui::qs(c.user).toStdString() << " " << ui::qs(c.key).toStdString();
  }
  EXPECT_EQ(name(), u"main/catalog.xml/*/limit");
  EXPECT_TRUE(script_.records().empty());
}

// Only the server's answer that it holds no limit document opens every key; a document that
// cannot be had or read denies.
TEST_F(QzConfigTest, LimitationWithoutALimitDocument) {
  putDocument(u"books", u"*/limit", u"not xml");
  EXPECT_EQ(config_.GetLimitation(u"main/catalog.xml", u"cat", u"secret", u"read"), 1) << "no document";
  EXPECT_EQ(config_.GetLimitation(u"main/books", u"cat", u"secret", u"read"), 0) << "no root element";
  putDocument(u"books", u"*/limit", u"<limit><cat><enable>read</enable></cat><ann><enab");
  EXPECT_EQ(config_.GetLimitation(u"main/books", u"cat", u"secret", u"read"), 0) << "a cut document";
  EXPECT_TRUE(script_.records().empty());
  EXPECT_EQ(config_.GetLimitation(u"down/books", u"cat", u"secret", u"read"), 0) << "a server out of reach";
  ASSERT_EQ(script_.messages().size(), 1u);
  EXPECT_EQ(script_.messages()[0].text, kConnectFailed);
}

// A wrong password grants nothing, whether or not the database has a limit document.
TEST_F(QzConfigTest, ARefusedLogInDeniesEveryKey) {
  putDocument(u"books", u"*/limit", u"<limit><cat><enable>read</enable></cat></limit>");
  struct Case {
    const char16_t* path;
    const char16_t* password;
    int allowed;
  } cases[] = {
      {u"main/books", u"secret", 1},
      {u"main/books", u"wrong", 0},
      {u"main/catalog.xml", u"wrong", 0},
      {u"main/catalog.xml", u"secret", 1},
  };
  for (const Case& c : cases) {
    script_.clear();
    EXPECT_EQ(config_.GetLimitation(c.path, u"cat", c.password, u"read"), c.allowed)
        << ui::qs(c.path).toStdString() << " " << ui::qs(c.password).toStdString();
    if (!c.allowed) {
      ASSERT_EQ(script_.messages().size(), 1u);
      EXPECT_EQ(script_.messages()[0].text, kDefaultLoginFailed);
    }
  }
}

// The cache lies in a folder only its user may enter; a link planted under a cache file's
// name, or under the folder's name, is never followed.
TEST_F(QzConfigTest, CacheFilesAreTheUsersOwn) {
  putDocument(u"catalog.xml", u"a.xml", u"<a/>");
  config_.SetProperty(u"main/catalog.xml", u"a.xml");
  ASSERT_EQ(config_.GetContent(u"public", u""), 4);
  const std::string file = platform::toUtf8(mapping());
  struct stat st;
  ASSERT_EQ(lstat(privateFolder().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(lstat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // Someone swaps the cache file for a link to a file of the user's: a read does not read
  // through it, and the document is fetched anew into a file of its own rather than through
  // the link.
  const std::string victim = (tmp_ / "victim.txt").string();
  qtest::writeFile(victim, std::string("\xFF\xFEk\0e\0e\0p\0", 10));
  fs::remove(file);
  fs::create_symlink(victim, file);
  EXPECT_EQ(content(), std::make_pair(5, std::u16string(u"\xFEFF<a/>")));
  EXPECT_NE(mapping(), platform::fromUtf8(file));
  EXPECT_EQ(config_.GetContent(u"public", u""), 4);
  EXPECT_EQ(qtest::readFile(victim), std::string("\xFF\xFEk\0e\0e\0p\0", 10));
  EXPECT_TRUE(fs::is_symlink(file));

  // The folder's name taken by a link to a folder open to all: a folder of our own is made.
  fs::remove(file);
  fs::remove(platform::toUtf8(mapping()));
  fs::rename(privateFolder(), (tmp_ / "old").string());
  const fs::path open = tmp_ / "open";
  fs::create_directory(open);
  fs::permissions(open, fs::perms::all);
  fs::create_symlink(open, privateFolder());
  config_.SetProperty(u"main/catalog.xml", u"b.xml");
  putDocument(u"catalog.xml", u"b.xml", u"<b/>");
  ASSERT_EQ(config_.GetContent(u"public", u""), 4);
  const std::string other = platform::toUtf8(mapping());
  EXPECT_TRUE(fs::is_empty(open));
  EXPECT_EQ(fs::path(other).parent_path().parent_path(), tmp_.path());
  ASSERT_EQ(lstat(platform::folderOf(other).c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The temporary folder is cleaned, and another user makes the user's cache folder again and
// plants files under the names QzConfig.ini keeps: none of them is read, nor written, and no
// key opens for it.
TEST_F(QzConfigTest, ACacheFolderMadeAgainByAnotherUserIsNotRead) {
  if (!qtest::canActAsOtherUser()) GTEST_SKIP() << "not root: no second user to plant the files";
  ASSERT_EQ(chmod(tmp_.path().c_str(), 01777), 0);  // as /tmp
  putDocument(u"catalog.xml", u"help.htm", u"<p>帮助</p>");
  putDocument(u"books", u"*/limit", u"<limit><public><disable>read</disable></public><cat><enable>read</enable></cat></limit>");
  config_.SetProperty(u"main/catalog.xml", u"help.htm");
  ASSERT_EQ(content().first, 10);
  const std::string help = platform::toUtf8(mapping());
  ASSERT_EQ(config_.GetLimitation(u"main/books", u"public", u"", u"read"), 0);
  const std::string limit = platform::toUtf8(mapping());
  ASSERT_EQ(platform::folderOf(limit), privateFolder());

  const std::string folder = privateFolder();
  fs::remove_all(folder);
  const std::string page = std::string("\xFF\xFE<\0b\0>\0", 8), limitless = std::string("\xFF\xFE<\0x\0/\0>\0", 10);
  ASSERT_EQ(qtest::inChildProcess([&] {
              if (!qtest::becomeOtherUser() || mkdir(folder.c_str(), 0777) != 0 || chmod(folder.c_str(), 0777) != 0) return 1;
              qtest::writeFile(help, page);
              qtest::writeFile(limit, limitless);
              return chmod(help.c_str(), 0666) == 0 && chmod(limit.c_str(), 0666) == 0 ? 0 : 1;
            }),
            0);

  const std::pair<int32_t, std::u16string> served = content(2);
  EXPECT_EQ(served.first, 0) << "the planted file counts as no cache, and a new one is fetched";
  config_.SetProperty(u"main/catalog.xml", u"help.htm");
  EXPECT_EQ(content(), std::make_pair(10, std::u16string(u"\xFEFF<p>帮助</p>")));
  const std::string fresh = platform::toUtf8(mapping());
  EXPECT_NE(platform::folderOf(fresh), privateFolder());
  struct stat st;
  ASSERT_EQ(lstat(platform::folderOf(fresh).c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 0777) == 0700);
  EXPECT_EQ(config_.GetLimitation(u"main/books", u"public", u"", u"read"), 0);
  EXPECT_EQ(config_.GetLimitation(u"main/books", u"cat", u"secret", u"admin"), 0);
  EXPECT_EQ(config_.GetLimitation(u"main/books", u"cat", u"secret", u"read"), 1);
  EXPECT_EQ(qtest::readFile(help), page) << "nothing is written into the other user's folder";
  EXPECT_EQ(qtest::readFile(limit), limitless);
  EXPECT_TRUE(script_.records().empty());
}

// A cache that cannot be written whole, on a full temporary disk or past a file-size limit:
// the fetch fails, no part of the document is left under any name, every key is denied, and
// once there is room again the document is fetched and served whole.
class QzConfigFullDisk : public QzConfigTest {
 protected:
  static constexpr int kNoMount = 77;

  void SetUp() override {
    QzConfigTest::SetUp();
    // A limit document of about 40 KB, larger than the room there is.
    std::u16string users = u"<limit><cat><enable>read</enable></cat>";
    for (int i = 0; i < 800; ++i) users += u"<user" + platform::fromUtf8(std::to_string(i)) + u"><enable>x</enable></user" + platform::fromUtf8(std::to_string(i)) + u">";
    putDocument(u"books", u"*/limit", users + u"</limit>");
    putDocument(u"catalog.xml", u"big.xml", users + u"</limit>");
  }

  // What a user sees while there is no room: each step's failure is a bit of the result.
  int checkWithoutRoom() {
    int failures = 0;
    CQzConfig config;
    config.SetProperty(u"main/catalog.xml", u"big.xml");
    if (config.GetContent(u"public", u"") != -1) failures |= 1;
    std::u16string buf(64, u'?');
    if (config.GetContent(buf.data(), 64, u"public", u"") != -1 || buf[0] != 0) failures |= 2;
    if (config.GetLimitation(u"main/books", u"cat", u"secret", u"read") != 0) failures |= 4;
    if (!leftovers().empty()) failures |= 8;
    return failures;
  }

  // Every file in the temporary folder and below it.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(tmp_.path()))
      if (!e.is_directory()) files.push_back(e.path().string());
    return files;
  }

  void checkWithRoomAgain() {
    config_.SetProperty(u"main/catalog.xml", u"big.xml");
    const int32_t length = config_.GetContent(u"public", u"");
    EXPECT_GT(length, 20000);
    std::u16string buf(size_t(length) + 2, u'?');
    EXPECT_EQ(config_.GetContent(buf.data(), length + 2, u"public", u""), length + 1);
    EXPECT_EQ(std::u16string_view(buf.c_str()).substr(length - 7), u"</limit>");
    EXPECT_EQ(config_.GetLimitation(u"main/books", u"cat", u"secret", u"read"), 1);
    EXPECT_EQ(config_.GetLimitation(u"main/books", u"cat", u"secret", u"admin"), 0);
    EXPECT_TRUE(script_.records().empty());
  }
};

TEST_F(QzConfigFullDisk, OnAFullTemporaryDisk) {
  const int rc = qtest::inChildProcess([&] {
    // A mount of the child's own, gone with it: a 16 KiB disk over the temporary folder.
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", tmp_.path().c_str(), "tmpfs", 0, "size=16k,mode=0700") != 0)
      return kNoMount;
    return checkWithoutRoom();
  });
  if (rc == kNoMount) GTEST_SKIP() << "mounting a small tmpfs is refused here; the file-size limit test stands in";
  EXPECT_EQ(rc, 0) << "1: fetched, 2: served, 4: allowed, 8: a file left behind";
  checkWithRoomAgain();
}

TEST_F(QzConfigFullDisk, PastAFileSizeLimit) {
  const int rc = qtest::inChildProcess([&] {
    qtest::limitFileSize(16384);
    return checkWithoutRoom();
  });
  EXPECT_EQ(rc, 0) << "1: fetched, 2: served, 4: allowed, 8: a file left behind";
  checkWithRoomAgain();
}

}  // namespace
