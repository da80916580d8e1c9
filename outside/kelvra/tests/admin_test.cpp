// kelvra-admin as a cataloguer uses it: set up a server, import records, put a document,
// and reach all of it through the automation objects.
#include "kelvra_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Field {
  std::string tag, data;  // data fields: indicators, then "\x1F" code value ...
};

// One ISO 2709 record of the given fields.
std::string iso2709(const std::vector<Field>& fields) {
  std::string directory, body;
  for (const Field& f : fields) {
    std::string data = f.data + "\x1E";
    char entry[13];
    std::snprintf(entry, sizeof entry, "%3s%04zu%05zu", f.tag.c_str(), data.size(), body.size());
    directory += entry;
    body += data;
  }
  directory += "\x1E";
  size_t base = 24 + directory.size();
  size_t length = base + body.size() + 1;
  char leader[25];
  std::snprintf(leader, sizeof leader, "%05zunam  22%05zu   4500", length, base);
  return std::string(leader) + directory + body + "\x1D";
}

using ktest::admin;

// A shell word.
std::string shellWord(const std::string& s) { return "'" + s + "'"; }

class KelvraAdmin : public ::testing::TestWithParam<ktest::Backend> {
 protected:
  bool shared() const { return GetParam() == ktest::Backend::PostgreSQL; }
  /// \brief Sets up the server `name` as a cataloguer of this backend would.
  std::string createServer(const std::string& name, int* rc) {
    if (!shared()) return admin("create-server " + name, rc);
    if (!scratch) scratch = std::make_unique<ktest::ScratchDatabase>();
    return admin("create-shared-server " + name + " " + shellWord(scratch->conninfo()), rc);
  }
  std::unique_ptr<ktest::ScratchDatabase> scratch;
};

TEST_P(KelvraAdmin, SetsUpAServerThatTheObjectsServe) {
  qtest::TempHome home;
  qtest::TempDir dir;
  ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
  int rc = 0;
  EXPECT_EQ(createServer("lib", &rc), "");
  ASSERT_EQ(rc, 0);
  admin("create-server lib", &rc);
  EXPECT_NE(rc, 0);  // taken
  admin("add-account lib cat 'pass word'", &rc);
  ASSERT_EQ(rc, 0);
  admin("create-db lib books.mrc", &rc);
  ASSERT_EQ(rc, 0);
  admin("create-db lib books", &rc);
  EXPECT_NE(rc, 0);  // the same shown name
  admin("create-db lib cfg.xml", &rc);
  ASSERT_EQ(rc, 0);

  std::string file = iso2709({{"001", "A1"}, {"010", "  \x1F" "a7-5053-1234-0\x1F" "dCNY25.00"}, {"200", "1 \x1F" "aRecords"}}) +
                     iso2709({{"001", "A2"}, {"010", "  \x1F" "a9787020012343"}});
  qtest::writeFile(dir / "in.iso", file);
  EXPECT_EQ(admin("import lib books " + (dir / "in.iso").string(), &rc), "2 records stored\n");
  EXPECT_EQ(rc, 0);
  qtest::writeFile(dir / "in.txt", "FFFFFFFF" + platform::toUtf8(ktest::recordText(u"9787020012343")) + "\n" +
                                       platform::toUtf8(ktest::recordText(u"7020012345")));
  EXPECT_EQ(admin("import lib books " + (dir / "in.txt").string(), &rc), "2 records stored\n");
  qtest::writeFile(dir / "bad.txt", "<marc><header>x</header>");
  admin("import lib books " + (dir / "bad.txt").string(), &rc);
  EXPECT_NE(rc, 0);
  qtest::writeFile(dir / "from.xml", "<from><ap alias=\"ISBN\"/></from>");
  admin("put-document lib cfg from " + (dir / "from.xml").string(), &rc);
  ASSERT_EQ(rc, 0);

  EXPECT_EQ(admin("search lib books \"_@@010\\$a='_{{9787020012343}}'\""), "2\n3\n");
  EXPECT_EQ(admin("search lib books \"_@@010\\$a='_{{9787020012343}\""), 
            "kelvra-admin: not a query: _@@010$a='_{{9787020012343}\n");
  EXPECT_EQ(admin("list lib"),
            "database books.mrc (records: 4 records, 0 documents)\n"
            "database cfg.xml (documents only: 0 records, 1 documents)\n"
            "account cat\naccount public\n");
  EXPECT_EQ(admin("list"), shared() ? "lib (shared)\n" : "lib\n");
  EXPECT_EQ(admin("get-document lib cfg from"), "<from><ap alias=\"ISBN\"/></from>\n");

  CKelvraServerDriver server;
  CKelvraDbaseDriver dbase;
  CKelvraRecordSetDriver set;
  CKelvraRecordDriver record;
  ASSERT_TRUE(server.CreateDispatch(u"Kelvra.Server") && dbase.CreateDispatch(u"Kelvra.Dbase") &&
              set.CreateDispatch(u"Kelvra.RecordSet") && record.CreateDispatch(u"Kelvra.Record"));
  ASSERT_EQ(server.Connect(u"lib:210", u"001"), 0);
  EXPECT_EQ(server.Login(u"cat", u"pass"), kelvra::kLoginFailed);
  ASSERT_EQ(server.Login(u"cat", u"pass word"), 0);
  ASSERT_EQ(dbase.SetServer(server.m_lpDispatch, -1), 0);
  EXPECT_EQ(dbase.GetDatabaseList(), u"books.mrc;cfg.xml;");
  ASSERT_EQ(dbase.Open(server.m_lpDispatch, u"books"), 0);
  ASSERT_EQ(set.Search(dbase.m_lpDispatch, ktest::isbnQuery(u"7-5053-1234-0")), 0);
  ASSERT_EQ(set.GetCount(0x5103), 1);
  ASSERT_EQ(record.Load(set.m_lpDispatch, 0), 0);
  std::u16string text = record.GetText();
  EXPECT_EQ(text.substr(0, 14), u"FFFFFFFF<marc>");
  EXPECT_NE(text.find(u"<sf name=\"d\">CNY25.00</sf>"), std::u16string::npos);
  EXPECT_EQ(admin("show lib books 1"), platform::toUtf8(text.substr(8)) + "\n");
  ASSERT_EQ(dbase.Open(server.m_lpDispatch, u"cfg"), 0);
  EXPECT_EQ(dbase.GetDocument(u"from"), u"<from><ap alias=\"ISBN\"/></from>");
}

// Two commands started at once; what each printed and its exit status, "a=0 b=0" when both
// succeeded.
std::string atOnce(const std::string& a, const std::string& b, std::string* statuses) {
  std::string out;
  qtest::run("(" + a + " >/dev/null 2>&1; echo a=$?) & (" + b + " >/dev/null 2>&1; echo b=$?) & wait", &out);
  *statuses = (out.find("a=0") != std::string::npos && out.find("b=0") != std::string::npos) ? "a=0 b=0" : out;
  return out;
}

// Two workstations setting up one new database at once both succeed, with one account
// "public"; the same new account added from both at once is there once, with either
// password. On SQLite the second workstation is a second program on the same file.
TEST_P(KelvraAdmin, SettingUpFromTwoWorkstationsAtOnceSucceeds) {
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    qtest::TempHome first;
    std::string elsewhere = "QORVEL_HOME=" + first.path().string() + " ";
    qtest::TempHome second;  // the current home from here on
    std::string statuses;
    if (shared()) {
      scratch = std::make_unique<ktest::ScratchDatabase>();
      std::string make = std::string(KELVRA_ADMIN) + " create-shared-server team " + shellWord(scratch->conninfo());
      atOnce(elsewhere + make, make, &statuses);
      EXPECT_EQ(statuses, "a=0 b=0");
    } else {
      int rc = 0;
      admin("create-server team", &rc);
      ASSERT_EQ(rc, 0);
      elsewhere.clear();
    }
    std::string add = std::string(KELVRA_ADMIN) + " add-account team newcat ";
    atOnce(elsewhere + add + "one", add + "two", &statuses);
    EXPECT_EQ(statuses, "a=0 b=0");
    EXPECT_EQ(admin("list team"), "account newcat\naccount public\n");
    std::shared_ptr<kelvra::Store> store = kelvra::Store::open(u"team", nullptr);
    ASSERT_TRUE(store);
    EXPECT_TRUE(store->checkLogin(u"newcat", u"one", nullptr) || store->checkLogin(u"newcat", u"two", nullptr));
  }
}

KELVRA_ON_BOTH_BACKENDS(KelvraAdmin);

// Two workstations (two homes) name one PostgreSQL database: both see the same databases,
// accounts, records and documents, whichever of them set it up.
TEST(KelvraAdminShared, WorkstationsNamingOneDatabaseShareEverything) {
  ktest::ScratchDatabase db;
  qtest::TempDir dir;
  qtest::writeFile(dir / "rec.txt", platform::toUtf8(ktest::recordText(u"9787020012343")));
  qtest::writeFile(dir / "help.htm", "<html>帮助</html>");
  int rc = 0;
  {
    qtest::TempHome first;
    ASSERT_EQ(admin("create-shared-server team " + shellWord(db.conninfo()), &rc), "");
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(std::filesystem::status(first.path() / "kelvra" / "servers.ini").permissions() &
                  std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    admin("add-account team cat secret", &rc);
    ASSERT_EQ(rc, 0);
    admin("create-db team books", &rc);
    admin("create-db team config.xml", &rc);
    EXPECT_EQ(admin("import team books " + (dir / "rec.txt").string()), "1 records stored\n");
    admin("put-document team config help.htm " + (dir / "help.htm").string(), &rc);
    ASSERT_EQ(rc, 0);
  }
  qtest::TempHome second;
  EXPECT_NE(admin("list team", &rc), "");
  EXPECT_NE(rc, 0);  // not named on this workstation yet
  ASSERT_EQ(admin("create-shared-server Team " + shellWord(db.conninfo()), &rc), "");
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(admin("list Team"),
            "database books (records: 1 records, 0 documents)\n"
            "database config.xml (documents only: 0 records, 1 documents)\n"
            "account cat\naccount public\n");
  EXPECT_EQ(admin("import Team books " + (dir / "rec.txt").string()), "1 records stored\n");
  EXPECT_EQ(admin("search Team books \"_@@010\\$a='_{{9787020012343}}'\""), "1\n2\n");
  EXPECT_EQ(admin("get-document Team config help.htm"), "<html>帮助</html>\n");

  ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
  CKelvraServerDriver server;
  ASSERT_TRUE(server.CreateDispatch(u"Kelvra.Server"));
  EXPECT_EQ(server.Connect(u"Team:5432", u"001"), 0);
  EXPECT_EQ(server.Login(u"cat", u"secret"), 0);

  EXPECT_EQ(admin("create-server Team", &rc), "kelvra-admin: cannot create server 'Team' (taken or unusable name)\n");
  EXPECT_NE(rc, 0);
  EXPECT_EQ(admin("forget-server Team", &rc), "");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(admin("list"), "");
  EXPECT_EQ(admin("forget-server Team", &rc), "kelvra-admin: no shared server 'Team'\n");
  EXPECT_NE(rc, 0);
}

TEST(KelvraAdminShared, RefusesWhatIsNoPostgresqlDatabase) {
  qtest::TempHome home;
  int rc = 0;
  struct Case {
    std::string args, says;
  } cases[] = {
      {"create-shared-server x 'host=127.0.0.1 nosuchkey=1'",
       "kelvra-admin: not a PostgreSQL connection: invalid connection option \"nosuchkey\"\n"},
      {"create-shared-server x ''", "kelvra-admin: cannot create server 'x' (taken or unusable name)\n"},
      {"create-shared-server 'a]b' " + shellWord(ktest::postgresServer()),
       "kelvra-admin: cannot create server 'a]b' (taken or unusable name)\n"},
      // A port where nothing listens: libpq's own reason follows.
      {"create-shared-server x 'host=127.0.0.1 port=1 connect_timeout=2'",
       "kelvra-admin: cannot set up server 'x' on the PostgreSQL database: connection to server at"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::string out = admin(c.args, &rc);
    EXPECT_EQ(out.substr(0, c.says.size()), c.says);
    EXPECT_NE(rc, 0);
  }
  EXPECT_EQ(admin("list"), "");
  EXPECT_FALSE(std::filesystem::exists(home.path() / "kelvra" / "servers.ini"));
}

// A workstation may join as a role that can read and write the tables but create nothing.
TEST(KelvraAdminShared, JoinsAsARoleThatMayNotCreate) {
  ktest::ScratchDatabase db;
  qtest::TempDir dir;
  qtest::writeFile(dir / "rec.txt", platform::toUtf8(ktest::recordText(u"9787020012343")));
  int rc = 0;
  {
    qtest::TempHome first;
    admin("create-shared-server team " + shellWord(db.conninfo()), &rc);
    ASSERT_EQ(rc, 0);
    admin("create-db team books", &rc);
    ASSERT_EQ(rc, 0);
  }
  std::string role = "kt_joiner_" + std::to_string(getpid());
  ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(),
                    "DROP ROLE IF EXISTS " + role + "; CREATE ROLE " + role + " LOGIN; " +
                        "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO " + role + "; " +
                        "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO " + role);
  qtest::TempHome second;
  std::string as = db.conninfo() + " user=" + role;
  EXPECT_EQ(admin("create-shared-server team " + shellWord(as), &rc), "");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(admin("import team books " + (dir / "rec.txt").string()), "1 records stored\n");
  EXPECT_EQ(admin("list team books"), "record 1\n");
  ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(),
                    "REASSIGN OWNED BY " + role + " TO CURRENT_USER; DROP OWNED BY " + role + "; DROP ROLE " + role);
}

}  // namespace
