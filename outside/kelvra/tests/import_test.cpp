// kelvra-admin import on a server that fails partway: it stops at the first record the
// server could not take (after connecting again once), says how many were stored and where
// it stopped, and goes on from there without storing any record twice.
#include "kelvra_fixture.h"
#include "proxy.h"

#include <regex>

namespace {

using ktest::admin;
using ktest::recordText;

// Five records, the third one titled "sabotage"; one record text a line.
std::string fiveRecords() {
  std::string text;
  for (int i = 1; i <= 5; ++i)
    text += "FFFFFFFF" + platform::toUtf8(recordText(platform::ascii("978702000000" + std::to_string(i)),
                                                     i == 3 ? u"sabotage" : u"题名")) + "\n";
  return text;
}

// The command the stop message tells the user to run next, without "kelvra-admin ".
std::string goOn(const std::string& out) {
  std::smatch m;
  if (!std::regex_search(out, m, std::regex("go on with: kelvra-admin ([^\n]*)"))) return "";
  return m[1];
}

class KelvraImport : public ktest::KelvraTest {
 protected:
  // Every record of "books" stored once: numbers 1..n, each ISBN found once.
  void expectEachOnce(int n) {
    std::optional<kelvra::DatabaseInfo> books = store->findDatabase(u"books", nullptr);
    ASSERT_TRUE(books);
    std::vector<int32_t> numbers, expected;
    ASSERT_EQ(store->recordNumbers(books->id, numbers), 0);
    for (int32_t i = 1; i <= n; ++i) expected.push_back(i);
    EXPECT_EQ(numbers, expected);
    for (int i = 1; i <= n; ++i) {
      std::vector<int32_t> hits;
      ASSERT_EQ(store->search(books->id, *kelvra::parseQuery(ktest::isbnQuery(platform::ascii("978702000000" + std::to_string(i)))),
                              hits),
                0);
      EXPECT_EQ(hits.size(), 1u) << i;
    }
  }
};

// The third record fails each time: on SQLite a trigger refuses it, on PostgreSQL the server
// drops the connection under it (so the import connects again and tries once more).
TEST_P(KelvraImport, StopsWhereTheServerFailsAndGoesOnFromThere) {
  qtest::TempDir dir;
  std::string file = (dir / "in.txt").string();
  qtest::writeFile(file, fiveRecords());
  bool pg = GetParam() == ktest::Backend::PostgreSQL;
  sabotage();
  int rc = 0;
  std::string out = admin("import main books " + file, &rc);
  EXPECT_NE(rc, 0);
  std::string refused = pg ? "kelvra-admin: record 3 not stored (code 66: " : "kelvra-admin: record 3 not stored (code 12: sabotage)\n";
  EXPECT_NE(out.find(refused), std::string::npos) << out;
  EXPECT_NE(out.find("\n2 records stored\nkelvra-admin: import stopped at record 3 of 5; go on with: kelvra-admin import "
                     "--from 3 main books " + file + "\n"),
            std::string::npos)
      << out;
  expectEachOnce(2);

  endSabotage();
  ASSERT_EQ(goOn(out), "import --from 3 main books " + file);
  EXPECT_EQ(admin(goOn(out), &rc), "3 records stored\n");
  EXPECT_EQ(rc, 0);
  expectEachOnce(5);

  EXPECT_EQ(admin("import --from 6 main books " + file, &rc), "kelvra-admin: " + file + " holds 5 records: there is no record 6\n");
  EXPECT_NE(rc, 0);
  EXPECT_EQ(admin("import --from x main books " + file, &rc), "kelvra-admin: not a record of the file: x\n");
  EXPECT_EQ(admin("import --token 12 main books " + file, &rc), "kelvra-admin: not a store token: 12\n");
  expectEachOnce(5);
}

// A store under a token that landed before stores nothing and answers that record; the
// tokens are unique in the database.
TEST_P(KelvraImport, AStoreUnderATokenThatLandedStoresNothing) {
  std::optional<kelvra::DatabaseInfo> books = store->findDatabase(u"books", nullptr);
  ASSERT_TRUE(books);
  std::string token = kelvra::Store::newToken();
  ASSERT_EQ(token.size(), 32u);
  EXPECT_NE(kelvra::Store::newToken(), token);
  int32_t first = 0, again = 0;
  bool existed = true;
  ASSERT_EQ(store->addRecord(books->id, recordText(u"9787020000001"), &first, token, &existed), 0);
  EXPECT_FALSE(existed);
  ASSERT_EQ(store->addRecord(books->id, recordText(u"9787020000002"), &again), 0);
  ASSERT_EQ(store->addRecord(books->id, recordText(u"9787020000001"), &again, token, &existed), 0);
  EXPECT_TRUE(existed);
  EXPECT_EQ(again, first);
  expectEachOnce(2);
  EXPECT_EQ(sql(GetParam() == ktest::Backend::PostgreSQL
                    ? "SELECT count(*) FROM pg_indexes WHERE indexname = 'records_token' AND indexdef LIKE 'CREATE UNIQUE%'"
                    : "SELECT count(*) FROM sqlite_master WHERE name = 'records_token' AND sql LIKE 'CREATE UNIQUE%'"),
            "1");
}

KELVRA_ON_BOTH_BACKENDS(KelvraImport);

// The third record's COMMIT is carried out but its answer is lost, and the server cannot be
// reached after: the import cannot know, stops with the store's token, and going on with it
// finds the record stored and stores the rest, none twice.
TEST(KelvraImportShared, ACommitCutOffGoesOnWithItsTokenWithoutStoringTwice) {
  ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
  qtest::TempHome home;
  qtest::TempDir dir;
  ktest::ScratchDatabase db;
  ktest::Proxy proxy(ktest::portOf(db.conninfo()));
  int rc = 0;
  admin("create-shared-server team '" + ktest::withPort(db.conninfo(), proxy.port()) + "'", &rc);
  ASSERT_EQ(rc, 0);
  admin("create-db team books", &rc);
  ASSERT_EQ(rc, 0);
  ktest::setTimeLimit(home.path(), u"team", 2);
  std::string file = (dir / "in.txt").string();
  qtest::writeFile(file, fiveRecords());

  proxy.cutAfterCommit(3, true);
  std::string out = admin("import team books " + file, &rc);
  EXPECT_NE(rc, 0);
  EXPECT_EQ(proxy.cuts(), 1);
  EXPECT_NE(out.find("kelvra-admin: record 3 may have been stored (code 14: "), std::string::npos) << out;
  EXPECT_NE(out.find("\n2 records stored\n"), std::string::npos) << out;
  EXPECT_TRUE(std::regex_match(goOn(out), std::regex("import --from 3 --token [0-9a-f]{32} team books " + file))) << out;
  auto numbers = [&] {
    return ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(),
                             "SELECT string_agg(number::text, ',' ORDER BY number) FROM records");
  };
  EXPECT_EQ(numbers(), "1,2,3");

  proxy.refuse(false);
  EXPECT_EQ(admin(goOn(out), &rc), "kelvra-admin: record 3 was stored already, as number 3\n2 records stored\n");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(numbers(), "1,2,3,4,5");
  EXPECT_EQ(ktest::storeValue(ktest::Backend::PostgreSQL, db.conninfo(),
                              "SELECT count(DISTINCT key) FROM terms WHERE tag = '010'"),
            "5");
}

}  // namespace
