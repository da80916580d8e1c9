// Accounts keep salted hashes only, on both backends; a local file of the first layout,
// which kept passwords as typed, is hashed when opened; local files are their owner's alone.
#include "kelvra_fixture.h"
#include "store/password.h"

#include <sys/stat.h>

#include <filesystem>

namespace {

using ktest::KelvraTest;

constexpr char kClear[] = "Zq9-clear-pass";

// The bytes of a local store with its log: where a clear password would show.
std::string fileBytes(const std::filesystem::path& file) {
  std::string out = qtest::readFile(file);
  std::error_code ec;
  if (std::filesystem::exists(file.string() + "-wal", ec)) out += qtest::readFile(file.string() + "-wal");
  return out;
}

mode_t modeOf(const std::filesystem::path& p) {
  struct stat st{};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 0777;
}

class KelvraAccounts : public KelvraTest {};

TEST_P(KelvraAccounts, KeepOnlySaltedHashes) {
  ASSERT_EQ(store->putAccount(u"cat2", platform::ascii(kClear)), 0);
  ASSERT_EQ(store->putAccount(u"dog", platform::ascii(kClear)), 0);
  std::string cat = sql("SELECT hash FROM accounts WHERE \"user\" = 'cat2'");
  std::string dog = sql("SELECT hash FROM accounts WHERE \"user\" = 'dog'");
  EXPECT_EQ(cat.substr(0, 10), "$argon2id$");
  EXPECT_NE(cat, dog);  // salted: one password, two hashes
  EXPECT_EQ(sql("SELECT count(*) FROM accounts WHERE hash LIKE '%Zq9%'"), "0");
  if (GetParam() == ktest::Backend::SQLite) {
    EXPECT_EQ(fileBytes(storeLocation()).find(kClear), std::string::npos);
  }

  ASSERT_EQ(server.Connect(u"main", u"000"), 0);
  EXPECT_EQ(server.Login(u"CAT2", platform::ascii(kClear)), 0);
  EXPECT_EQ(server.Login(u"cat2", u"zq9-clear-pass"), kelvra::kLoginFailed);
  // A new password replaces the old one under the account's first spelling.
  ASSERT_EQ(store->putAccount(u"Cat2", u"新密码"), 0);
  EXPECT_EQ(server.Login(u"cat2", platform::ascii(kClear)), kelvra::kLoginFailed);
  EXPECT_EQ(server.Login(u"cat2", u"新密码"), 0);
  EXPECT_EQ(store->accounts(), (std::vector<std::u16string>{u"cat", u"cat2", u"dog", u"public"}));
  EXPECT_EQ(store->removeAccount(u"DOG"), 0);
  EXPECT_EQ(store->removeAccount(u"dog"), kelvra::kLoginFailed);
}

// The cost part of a hash: "$argon2id$v=19$m=...,t=...,p=...", without salt and digest.
std::string costOf(const std::string& hash) {
  size_t end = 0;
  for (int i = 0; i < 3 && end != std::string::npos; ++i) end = hash.find('$', end + 1);
  return hash.substr(0, end);
}

// A log-in to an account that does not exist does the hashing work of one with a wrong
// password: one check against a hash of the same cost, so its answer comes as late.
TEST_P(KelvraAccounts, AnUnknownAccountIsCheckedLikeAWrongPassword) {
  struct Case {
    const char16_t* user;
    const char16_t* password;
    bool ok;
  } cases[] = {{u"cat", u"secret", true}, {u"cat", u"wrong", false}, {u"dog", u"secret", false},
               {u"", u"", false}, {u"dog", u"", false}};
  for (const Case& c : cases) {
    const uint64_t before = kelvra::passwordChecks();
    int32_t error = -1;
    EXPECT_EQ(store->checkLogin(c.user, c.password, &error), c.ok) << platform::toUtf8(c.user);
    EXPECT_EQ(error, c.ok ? 0 : kelvra::kLoginFailed);
    EXPECT_EQ(kelvra::passwordChecks() - before, 1u) << platform::toUtf8(c.user);
  }
  const std::string account = sql("SELECT hash FROM accounts WHERE \"user\" = 'cat'");
  EXPECT_EQ(costOf(kelvra::standInHash()), costOf(account));
  EXPECT_EQ(costOf(kelvra::standInHash()), "$argon2id$v=19$m=65536,t=2,p=1");
  // Its password is nobody's: not even the empty one of a new server's "public".
  for (const char16_t* password : {u"", u"public", u"secret"}) EXPECT_FALSE(kelvra::verifyPassword(kelvra::standInHash(), password));
}

KELVRA_ON_BOTH_BACKENDS(KelvraAccounts);

// A file as the first layout of the store left it: passwords as typed, readable by all.
void writeFirstLayout(const std::filesystem::path& file) {
  std::filesystem::create_directories(file.parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  const char* setup = R"(
PRAGMA journal_mode=WAL;
CREATE TABLE accounts(user TEXT PRIMARY KEY COLLATE NOCASE, password TEXT NOT NULL);
CREATE TABLE databases(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  base TEXT NOT NULL UNIQUE COLLATE NOCASE, records INTEGER NOT NULL, next_number INTEGER NOT NULL DEFAULT 1);
INSERT INTO accounts VALUES('public', ''), ('Cat', 'Zq9-clear-pass'), ('编目', '密码Zq9');
INSERT INTO databases(name, base, records) VALUES('books', 'books', 1);
)";
  char* err = nullptr;
  EXPECT_EQ(sqlite3_exec(db, setup, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
  sqlite3_free(err);
  sqlite3_close(db);
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
}

TEST(KelvraLocalStore, ClearPasswordsOfAnOldFileAreHashedWhenOpened) {
  qtest::TempHome home;
  std::filesystem::path file = home.path() / "kelvra" / "old" / "kelvra.sqlite";
  writeFirstLayout(file);
  ASSERT_NE(fileBytes(file).find(kClear), std::string::npos);  // the fixture shows the fault

  for (int opening = 0; opening < 2; ++opening) {  // the second opening finds nothing to do
    SCOPED_TRACE(opening);
    int32_t error = -1;
    std::shared_ptr<kelvra::Store> store = kelvra::Store::open(u"old", &error);
    ASSERT_TRUE(store) << error;
    struct Case {
      const char16_t *user, *password;
      bool ok;
    } cases[] = {
        {u"public", u"", true},        {u"cat", u"Zq9-clear-pass", true}, {u"编目", u"密码Zq9", true},
        {u"cat", u"zq9-clear-pass", false}, {u"public", u" ", false},       {u"编目", u"", false},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(platform::toUtf8(c.user) + "/" + platform::toUtf8(c.password));
      EXPECT_EQ(store->checkLogin(c.user, c.password, &error), c.ok);
    }
    EXPECT_EQ(store->accounts(), (std::vector<std::u16string>{u"Cat", u"public", u"编目"}));
    EXPECT_TRUE(store->findDatabase(u"books", nullptr));
  }
  EXPECT_EQ(ktest::storeValue(ktest::Backend::SQLite, file.string(),
                              "SELECT count(*) FROM pragma_table_info('accounts') WHERE name = 'password'"),
            "0");
  std::string bytes = fileBytes(file);
  EXPECT_EQ(bytes.find(kClear), std::string::npos);
  EXPECT_EQ(bytes.find("密码Zq9"), std::string::npos);
  EXPECT_EQ(modeOf(file), 0600u);
}

TEST(KelvraLocalStore, NewFileIsItsOwnersAlone) {
  qtest::TempHome home;
  mode_t old = ::umask(0);
  int32_t error = -1;
  std::shared_ptr<kelvra::Store> store = kelvra::Store::create(u"main", &error);
  ::umask(old);
  ASSERT_TRUE(store) << error;
  ASSERT_EQ(store->createDatabase(u"books"), 0);
  std::filesystem::path file = home.path() / "kelvra" / "main" / "kelvra.sqlite";
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(modeOf(file.string() + "-wal"), 0600u);
}

}  // namespace
