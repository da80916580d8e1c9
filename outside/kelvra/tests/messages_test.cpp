// Every failure says the database's own reason beside our code, in kelvra-admin and in the
// error text of Kelvra.Server: a role that may only read, a password changed under the
// workstation, a server that is down, a full disk.
#include "kelvra_fixture.h"
#include "proxy.h"

#include <unistd.h>

namespace {

using ktest::admin;

std::string shellWord(const std::string& s) { return "'" + s + "'"; }

class KelvraMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    ASSERT_TRUE(server.CreateDispatch(u"Kelvra.Server") && dbase.CreateDispatch(u"Kelvra.Dbase") &&
                record.CreateDispatch(u"Kelvra.Record"));
    qtest::writeFile(dir / "rec.txt", platform::toUtf8(ktest::recordText(u"9787020012343")));
  }
  std::string errorText() { return platform::toUtf8(server.GetErrorText()); }

  qtest::TempDir dir;
  CKelvraServerDriver server;
  CKelvraDbaseDriver dbase;
  CKelvraRecordDriver record;
};

TEST_F(KelvraMessages, ARoleThatMayOnlyReadIsToldPermissionDenied) {
  ktest::ScratchDatabase db;
  std::string file = (dir / "rec.txt").string();
  int rc = 0;
  {
    qtest::TempHome first;
    admin("create-shared-server team " + shellWord(db.conninfo()), &rc);
    ASSERT_EQ(rc, 0);
    admin("create-db team books", &rc);
    ASSERT_EQ(admin("import team books " + file), "1 records stored\n");
  }
  std::string role = "kt_reader_" + std::to_string(getpid());
  ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(),
                    "DROP ROLE IF EXISTS " + role + "; CREATE ROLE " + role + " LOGIN; GRANT SELECT ON ALL TABLES IN SCHEMA public TO " + role);
  {
    qtest::TempHome second;
    EXPECT_EQ(admin("create-shared-server team " + shellWord(db.conninfo() + " user=" + role), &rc), "");
    ASSERT_EQ(rc, 0);
    struct Case {
      std::string args, says;
    } cases[] = {
        {"create-db team rodb", "kelvra-admin: cannot create database 'rodb' (code 12: permission denied for table databases)\n"},
        {"remove-record team books 1", "kelvra-admin: cannot remove record 1 (code 12: permission denied for table records)\n"},
        {"add-account team cat secret", "kelvra-admin: cannot store the account (code 12: permission denied for table accounts)\n"},
        {"import team books " + file,
         "kelvra-admin: record 1 not stored (code 12: permission denied for table databases)\n0 records stored\n"
         "kelvra-admin: import stopped at record 1 of 1; go on with: kelvra-admin import --from 1 team books " + file + "\n"},
        {"show team books 2", "kelvra-admin: no record 2\n"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.args);
      EXPECT_EQ(admin(c.args, &rc), c.says);
      EXPECT_NE(rc, 0);
    }
    EXPECT_EQ(admin("list team books", &rc), "record 1\n");  // reading goes on

    ASSERT_EQ(server.Connect(u"team", u"001"), 0);
    ASSERT_EQ(server.Login(u"public", u""), 0);
    ASSERT_EQ(dbase.Open(server.m_lpDispatch, u"books"), 0);
    EXPECT_EQ(record.Save(dbase.m_lpDispatch, u"FFFFFFFF" + ktest::recordText(u"7505312340")), -1);
    EXPECT_EQ(server.GetErrorCode(), kelvra::kStorage);
    EXPECT_EQ(errorText(), "the record server's database refused or failed (code 12: permission denied for table databases)");
    server.Disconnect();
  }
  ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(),
                    "REASSIGN OWNED BY " + role + " TO CURRENT_USER; DROP OWNED BY " + role + "; DROP ROLE " + role);
}

// A role with a password that its database administrator changes, then the server going
// down: both are named in libpq's own words.
TEST_F(KelvraMessages, AChangedPasswordAndAServerThatIsDownAreNamed) {
  ktest::PrivateServer pg;
  ASSERT_TRUE(pg.started());
  ktest::storeValue(ktest::Backend::PostgreSQL, pg.conninfo(), "CREATE ROLE cat LOGIN PASSWORD 'old'");
  ktest::storeValue(ktest::Backend::PostgreSQL, pg.conninfo(), "CREATE DATABASE team OWNER cat");
  qtest::writeFile(pg.dataDir() / "pg_hba.conf",
                   "local all all trust\nhost all cat 127.0.0.1/32 scram-sha-256\nhost all all 127.0.0.1/32 trust\n");
  ktest::storeValue(ktest::Backend::PostgreSQL, pg.conninfo(), "SELECT pg_reload_conf()");
  std::string port = std::to_string(ktest::portOf(pg.conninfo()));
  qtest::TempHome home;
  int rc = 0;
  EXPECT_EQ(admin("create-shared-server team 'host=127.0.0.1 port=" + port + " dbname=team user=cat password=old'", &rc), "");
  ASSERT_EQ(rc, 0);
  ktest::setTimeLimit(home.path(), u"team", 2);
  ASSERT_EQ(server.Connect(u"team", u"001"), 0);
  server.Disconnect();

  ktest::storeValue(ktest::Backend::PostgreSQL, pg.conninfo(), "ALTER ROLE cat PASSWORD 'new'");
  std::string out = admin("list team", &rc);
  EXPECT_NE(rc, 0);
  EXPECT_EQ(out.substr(0, 49), "kelvra-admin: cannot open server 'team' (code 12:") << out;
  EXPECT_NE(out.find("password authentication failed for user \"cat\""), std::string::npos) << out;
  EXPECT_EQ(server.Connect(u"team", u"001"), kelvra::kStorage);
  EXPECT_NE(errorText().find("(code 12: connection to server at \"127.0.0.1\", port " + port), std::string::npos) << errorText();
  EXPECT_NE(errorText().find("password authentication failed for user \"cat\""), std::string::npos) << errorText();

  pg.crash();
  out = admin("list team", &rc);
  EXPECT_NE(rc, 0);
  EXPECT_EQ(out.substr(0, 49), "kelvra-admin: cannot open server 'team' (code 66:") << out;
  EXPECT_NE(out.find("Connection refused"), std::string::npos) << out;
  EXPECT_EQ(server.Connect(u"team", u"001"), kelvra::kRetry);
  EXPECT_NE(errorText().find("Connection refused"), std::string::npos) << errorText();
}

// A local server on a disk that fills: the import stops there with SQLite's own words.
TEST_F(KelvraMessages, AFullDiskIsNamedOnALocalServer) {
  qtest::TempHome home;
  int rc = 0;
  admin("create-server lib", &rc);
  ASSERT_EQ(rc, 0);
  admin("create-db lib books", &rc);
  ASSERT_EQ(rc, 0);
  std::string text;
  for (int i = 0; i < 400; ++i)
    text += platform::toUtf8(ktest::recordText(platform::ascii("isbn" + std::to_string(i)),
                                               platform::ascii(std::string(2000, char('a' + i % 26))))) + "\n";
  std::string file = (dir / "many.txt").string();
  qtest::writeFile(file, text);
  // Files of at most 256 KiB; a write beyond fails instead of killing the program.
  std::string out;
  rc = qtest::run("bash -c \"ulimit -f 256; trap '' XFSZ; exec " + std::string(KELVRA_ADMIN) + " import lib books " +
                      file + "\" 2>&1",
                  &out);
  EXPECT_NE(rc, 0);
  bool named = out.find("not stored (code 12: database or disk is full)") != std::string::npos ||
               out.find("not stored (code 12: disk I/O error)") != std::string::npos;
  EXPECT_TRUE(named) << out;
  EXPECT_NE(out.find("kelvra-admin: import stopped at record "), std::string::npos) << out;
  EXPECT_EQ(out.find("400 records stored"), std::string::npos) << out;
}

}  // namespace
