// Stores laid out by an earlier version go on working: a local file gains the store tokens
// when opened; a shared database is brought up to the current layout by the first workstation
// whose role owns its tables, and a role that may not change it goes on with the old layout.
#include "kelvra_fixture.h"
#include "proxy.h"

#include "store/password.h"

#include <unistd.h>

#include <regex>

namespace {

using ktest::recordText;

// The shared database as the first layout made it, with one record (number 1, ISBN
// 9787020012343) in "books" and the account "public".
void writeFirstSharedLayout(const std::string& conninfo) {
  std::string hash = *kelvra::hashPassword(u"");
  std::string text = platform::toUtf8(recordText(u"9787020012343"));
  ktest::storeValue(ktest::Backend::PostgreSQL, conninfo, R"(
CREATE FUNCTION kelvra_fold(text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
  AS $$ SELECT translate($1, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') $$;
CREATE TABLE accounts("user" TEXT NOT NULL, hash TEXT NOT NULL);
CREATE UNIQUE INDEX accounts_user ON accounts(kelvra_fold("user"));
CREATE TABLE databases(id BIGSERIAL PRIMARY KEY, name TEXT NOT NULL, base TEXT NOT NULL,
  records INTEGER NOT NULL, next_number BIGINT NOT NULL DEFAULT 1);
CREATE UNIQUE INDEX databases_name ON databases(kelvra_fold(name));
CREATE UNIQUE INDEX databases_base ON databases(kelvra_fold(base));
CREATE TABLE records(db BIGINT NOT NULL, number INTEGER NOT NULL, text TEXT NOT NULL, PRIMARY KEY(db, number));
CREATE TABLE terms(db BIGINT NOT NULL, number INTEGER NOT NULL, tag TEXT NOT NULL,
  code TEXT NOT NULL, key TEXT NOT NULL, word TEXT NOT NULL);
CREATE INDEX terms_key ON terms(db, tag, code, key);
CREATE INDEX terms_word ON terms(db, tag, code, word);
CREATE INDEX terms_record ON terms(db, number);
CREATE TABLE documents(db BIGINT NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL, PRIMARY KEY(db, name));
INSERT INTO accounts VALUES('public', ')" + hash + R"(');
INSERT INTO databases(name, base, records, next_number) VALUES('books', 'books', 1, 2);
INSERT INTO records VALUES(1, 1, ')" + text + R"(');
INSERT INTO terms VALUES(1, 1, '010', 'a', '9787020012343', '9787020012343'), (1, 1, '200', 'a', '题名', '题名'))");
}

// A workstation of the team, its servers.ini naming the shared server "team" as it was set up
// before; its objects log in as "public" and open "books".
struct Workstation {
  explicit Workstation(const std::string& conninfo) {
    std::filesystem::path ini = home.path() / "kelvra" / "servers.ini";
    std::filesystem::create_directories(ini.parent_path());
    EXPECT_TRUE(platform::writeProfileString(ini, u"team", u"Backend", u"postgresql"));
    EXPECT_TRUE(platform::writeProfileString(ini, u"team", u"Connection", platform::fromUtf8(conninfo)));
    EXPECT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    EXPECT_TRUE(o.create());
  }
  int32_t open() {
    if (int32_t rc = o.server.Connect(u"team", u"001")) return rc;
    if (int32_t rc = o.server.Login(u"public", u"")) return rc;
    return o.dbase.Open(o.server.m_lpDispatch, u"books");
  }
  int32_t save(std::u16string_view isbn, std::u16string_view title = u"题名") {
    return o.record.Save(o.dbase.m_lpDispatch, u"FFFFFFFF" + recordText(isbn, title));
  }
  int32_t hits(std::u16string_view query) {
    if (o.set.Search(o.dbase.m_lpDispatch, query)) return -1;
    return o.set.GetCount(0x5103);
  }
  std::string errorText() { return platform::toUtf8(o.server.GetErrorText()); }

  qtest::TempHome home;
  ktest::Objects o;
};

// A summary too long for an index entry that holds it whole (and that does not compress).
std::u16string longSummary() {
  std::u16string out;
  uint32_t seed = 7;
  for (int i = 0; i < 3000; ++i) {
    seed = seed * 1103515245u + 12345u;
    out += char16_t(0x4E00 + (seed >> 8) % 20902);
  }
  return out;
}

TEST(KelvraLayout, ASharedDatabaseOfTheFirstLayoutIsBroughtUpToDateByItsOwner) {
  ktest::ScratchDatabase db;
  writeFirstSharedLayout(db.conninfo());
  auto value = [&](const std::string& sql) { return ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(), sql); };
  std::string role = "kt_writer_" + std::to_string(getpid());
  value("DROP ROLE IF EXISTS " + role + "; CREATE ROLE " + role + " LOGIN; " +
        "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO " + role + "; " +
        "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO " + role);
  const std::u16string summary = longSummary();
  {
    // A role that may only read and write the tables goes on with the old layout, which
    // cannot hold the long summary, and is told why.
    Workstation joiner(db.conninfo() + " user=" + role);
    ASSERT_EQ(joiner.open(), 0) << joiner.errorText();
    EXPECT_EQ(joiner.hits(ktest::isbnQuery(u"9787020012343")), 1);
    EXPECT_EQ(joiner.save(u"9787020012344"), 2);
    EXPECT_EQ(joiner.save(u"9787020012345", summary), -1);
    EXPECT_EQ(joiner.o.server.GetErrorCode(), kelvra::kStorage);
    EXPECT_NE(joiner.errorText().find("index row"), std::string::npos);
    std::string says = ktest::admin("list team books");
    EXPECT_NE(says.find("kelvra-admin: server 'team' keeps the layout of an earlier version until a workstation whose "
                        "role owns its tables opens it (must be owner of table records)\n"),
              std::string::npos)
        << says;
    EXPECT_EQ(value("SELECT to_regclass('terms_key') IS NOT NULL"), "t");
  }
  {
    Workstation owner(db.conninfo());
    ASSERT_EQ(owner.open(), 0) << owner.errorText();
    EXPECT_EQ(value("SELECT to_regclass('terms_key') IS NULL AND to_regclass('terms_key_start') IS NOT NULL "
                    "AND to_regclass('records_token') IS NOT NULL"),
              "t");
    EXPECT_EQ(owner.hits(ktest::isbnQuery(u"9787020012344")), 1);
    EXPECT_EQ(owner.save(u"9787020012345", summary), 3) << owner.errorText();
  }
  {
    Workstation joiner(db.conninfo() + " user=" + role);
    ASSERT_EQ(joiner.open(), 0);
    EXPECT_EQ(joiner.save(u"9787020012346", summary + u"续"), 4) << joiner.errorText();
    EXPECT_EQ(joiner.hits(u"_@@200$a='_{{" + summary + u"}}'"), 1);
    EXPECT_EQ(joiner.hits(ktest::isbnQuery(u"9787020012343")), 1);
    EXPECT_EQ(ktest::admin("list team books"), "record 1\nrecord 2\nrecord 3\nrecord 4\n");
  }
  EXPECT_EQ(value("SELECT count(token) FROM records"), "2");  // the stores made since
  value("REASSIGN OWNED BY " + role + " TO CURRENT_USER; DROP OWNED BY " + role + "; DROP ROLE " + role);
}

// A role that may not bring the old layout up to date goes on with it without waiting for a
// workstation that is laying the database out, and stores without tokens: an import whose
// commit is cut off cannot look the record up, so it does not store it again (it would be
// there twice) and stops, naming no token to go on with.
TEST(KelvraLayout, AnImportOnTheOldLayoutWhoseCommitIsCutOffStoresNothingTwice) {
  ktest::ScratchDatabase db;
  writeFirstSharedLayout(db.conninfo());
  auto value = [&](const std::string& sql) { return ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(), sql); };
  std::string role = "kt_importer_" + std::to_string(getpid());
  value("DROP ROLE IF EXISTS " + role + "; CREATE ROLE " + role + " LOGIN; " +
        "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO " + role + "; " +
        "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO " + role);
  {
    ktest::Proxy proxy(ktest::portOf(db.conninfo()));
    Workstation joiner(ktest::withPort(db.conninfo(), proxy.port()) + " user=" + role);
    ktest::setTimeLimit(joiner.home.path(), u"team", 2);
    qtest::TempDir dir;
    std::string file = (dir / "in.txt").string(), text;
    for (int i = 4; i <= 6; ++i) text += "FFFFFFFF" + platform::toUtf8(recordText(platform::ascii("978702001234" + std::to_string(i)))) + "\n";
    qtest::writeFile(file, text);
    proxy.cutAfterCommit(2);
    // Another workstation holds the set-up lock all along (longer than the time limit).
    PGconn* other = PQconnectdb(db.conninfo().c_str());
    ASSERT_EQ(PQstatus(other), CONNECTION_OK);
    PQclear(PQexec(other, "SELECT pg_advisory_lock(72430118)"));
    int rc = 0;
    std::string out = ktest::admin("import team books " + file, &rc);
    PQfinish(other);
    EXPECT_NE(rc, 0);
    EXPECT_EQ(proxy.cuts(), 1);
    EXPECT_NE(out.find("kelvra-admin: record 2 may have been stored (code 14: "), std::string::npos) << out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, std::regex("go on with: kelvra-admin ([^\n]*)"))) << out;
    EXPECT_EQ(m[1].str(), "import --from 2 team books " + file);
  }
  EXPECT_EQ(value("SELECT string_agg(number::text, ',' ORDER BY number) FROM records"), "1,2,3");
  value("REASSIGN OWNED BY " + role + " TO CURRENT_USER; DROP OWNED BY " + role + "; DROP ROLE " + role);
}

// A local file made before records carried tokens gains the column when it is opened.
TEST(KelvraLayout, ALocalFileWithoutStoreTokensGainsThem) {
  qtest::TempHome home;
  ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
  std::filesystem::path file = home.path() / "kelvra" / "old" / "kelvra.sqlite";
  std::filesystem::create_directories(file.parent_path());
  std::string hash = *kelvra::hashPassword(u"");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  std::string setup = R"(
PRAGMA journal_mode=WAL;
CREATE TABLE accounts("user" TEXT PRIMARY KEY COLLATE NOCASE, hash TEXT NOT NULL);
CREATE TABLE databases(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  base TEXT NOT NULL UNIQUE COLLATE NOCASE, records INTEGER NOT NULL, next_number INTEGER NOT NULL DEFAULT 1);
CREATE TABLE records(db INTEGER NOT NULL, number INTEGER NOT NULL, text TEXT NOT NULL, PRIMARY KEY(db, number));
CREATE TABLE terms(db INTEGER NOT NULL, number INTEGER NOT NULL, tag TEXT NOT NULL,
  code TEXT NOT NULL, key TEXT NOT NULL, word TEXT NOT NULL);
CREATE TABLE documents(db INTEGER NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL, PRIMARY KEY(db, name));
INSERT INTO accounts VALUES('public', ')" + hash + R"(');
INSERT INTO databases(name, base, records, next_number) VALUES('books', 'books', 1, 2);
INSERT INTO records VALUES(1, 1, ')" + platform::toUtf8(recordText(u"9787020012343")) + R"(');
INSERT INTO terms VALUES(1, 1, '010', 'a', '9787020012343', '9787020012343');
)";
  char* err = nullptr;
  ASSERT_EQ(sqlite3_exec(db, setup.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
  sqlite3_close(db);

  ktest::Objects o;
  ASSERT_TRUE(o.create());
  ASSERT_EQ(o.server.Connect(u"old", u"001"), 0) << platform::toUtf8(o.server.GetErrorText());
  ASSERT_EQ(o.server.Login(u"public", u""), 0);
  ASSERT_EQ(o.dbase.Open(o.server.m_lpDispatch, u"books"), 0);
  EXPECT_EQ(o.record.Save(o.dbase.m_lpDispatch, u"FFFFFFFF" + recordText(u"9787020012344")), 2);
  ASSERT_EQ(o.set.Search(o.dbase.m_lpDispatch, ktest::isbnQuery(u"9787020012343")), 0);
  EXPECT_EQ(o.set.GetCount(0x5103), 1);
  EXPECT_EQ(ktest::storeValue(ktest::Backend::SQLite, file.string(), "SELECT count(token) || '/' || count(*) FROM records"),
            "1/2");
}

}  // namespace
