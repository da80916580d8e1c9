// A temporary home with libkelvra registered, a server "main" with a record database
// "books" and a document database "config.xml", and the four objects created by ProgID.
// The server is a local file or a shared PostgreSQL database, as the test's parameter says.
#pragma once

#include "backends.h"
#include "store/errors.h"
#include "store/store.h"

#include <com/drivers/KelvraDrivers.h>

#include <platform/profile.h>
#include <platform/text.h>

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <string>

namespace ktest {

/// \brief Internal record text of a record with the given 010 $a (and a title in 200 $a).
inline std::u16string recordText(std::u16string_view isbn, std::u16string_view title = u"题名") {
  std::u16string t = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>";
  t += u"<field name=\"001\">0001</field>";
  t += u"<field name=\"010\" indicator=\"\x11\x11\"><sf name=\"a\">";
  t += isbn;
  t += u"</sf></field><field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">";
  t += title;
  t += u"</sf></field></marc>";
  return t;
}

/// \brief Runs kelvra-admin with `args` (shell words); what it printed, stderr included.
inline std::string admin(const std::string& args, int* status = nullptr) {
  std::string out;
  int rc = qtest::run(std::string(KELVRA_ADMIN) + " " + args + " 2>&1", &out);
  if (status) *status = rc;
  return out;
}

/// \brief Sets the time limit of the shared server `server` of the current home.
inline void setTimeLimit(const std::filesystem::path& home, std::u16string_view server, int seconds) {
  ASSERT_TRUE(platform::writeProfileString(home / "kelvra" / "servers.ini", server, u"TimeLimit",
                                           platform::ascii(std::to_string(seconds))));
}

inline std::u16string isbnQuery(std::u16string_view key) {
  std::u16string k(key);
  return u"_@@010$a='_{{" + k + u"}}' _**or _@@010$z='_{{" + k + u"}}' _**or _@@020$a='_{{" + k + u"}}'";
}

/// The four objects a caller of the record server holds.
struct Objects {
  /// \brief Creates them by ProgID; false when one is not registered.
  bool create() {
    return server.CreateDispatch(u"Kelvra.Server") && dbase.CreateDispatch(u"Kelvra.Dbase") &&
           set.CreateDispatch(u"Kelvra.RecordSet") && record.CreateDispatch(u"Kelvra.Record");
  }
  CKelvraServerDriver server;
  CKelvraDbaseDriver dbase;
  CKelvraRecordSetDriver set;
  CKelvraRecordDriver record;
};

class KelvraTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    int32_t error = 0;
    if (GetParam() == Backend::PostgreSQL) {
      scratch = std::make_unique<ScratchDatabase>();
      std::string detail;
      store = kelvra::Store::createShared(u"main", scratch->conninfo(), &error, &detail);
      ASSERT_TRUE(store) << error << " " << detail;
    } else {
      store = kelvra::Store::create(u"main", &error);
      ASSERT_TRUE(store) << error;
    }
    ASSERT_EQ(store->createDatabase(u"books"), 0);
    ASSERT_EQ(store->createDatabase(u"config.xml"), 0);
    ASSERT_EQ(store->putAccount(u"cat", u"secret"), 0);
    ASSERT_TRUE(server.CreateDispatch(u"Kelvra.Server"));
    ASSERT_TRUE(dbase.CreateDispatch(u"Kelvra.Dbase"));
    ASSERT_TRUE(set.CreateDispatch(u"Kelvra.RecordSet"));
    ASSERT_TRUE(record.CreateDispatch(u"Kelvra.Record"));
  }

  /// \brief Connect, log in as "public" and open `db`; the first failing step's code.
  int32_t openAsPublic(std::u16string_view db) {
    if (int32_t rc = server.Connect(u"main", u"001")) return rc;
    if (int32_t rc = server.Login(u"public", u"")) return rc;
    return dbase.Open(server.m_lpDispatch, db);
  }

  /// \brief Makes the store fail each record titled "sabotage" while writing its index: on
  /// SQLite a trigger aborts it, on PostgreSQL the server drops the connection under it.
  void sabotage() {
    if (GetParam() == Backend::PostgreSQL) {
      sql(R"(CREATE FUNCTION sabotage() RETURNS trigger LANGUAGE plpgsql AS $$
             BEGIN
               IF NEW.key = 'sabotage' THEN
                 PERFORM pg_terminate_backend(pg_backend_pid());
                 PERFORM pg_sleep(10);
               END IF;
               RETURN NEW;
             END $$;
             CREATE TRIGGER sabotage BEFORE INSERT ON terms FOR EACH ROW EXECUTE FUNCTION sabotage())");
    } else {
      sql("CREATE TRIGGER sabotage BEFORE INSERT ON terms WHEN NEW.key = 'sabotage' BEGIN SELECT RAISE(ABORT, 'sabotage'); END");
    }
  }
  void endSabotage() { sql(GetParam() == Backend::PostgreSQL ? "DROP TRIGGER sabotage ON terms" : "DROP TRIGGER sabotage"); }

  /// \brief Where direct SQL reaches the store: the file, or the database's connection.
  std::string storeLocation() const {
    if (GetParam() == Backend::PostgreSQL) return scratch->conninfo();
    return (home.path() / "kelvra" / "main" / "kelvra.sqlite").string();
  }
  /// \brief The first value of `sql` run directly on the store.
  std::string sql(const std::string& text) const { return storeValue(GetParam(), storeLocation(), text); }

  qtest::TempHome home;
  std::unique_ptr<ScratchDatabase> scratch;  // outlives every connection to it
  std::shared_ptr<kelvra::Store> store;
  CKelvraServerDriver server;
  CKelvraDbaseDriver dbase;
  CKelvraRecordSetDriver set;
  CKelvraRecordDriver record;
};

#define KELVRA_ON_BOTH_BACKENDS(Suite)                                                             \
  INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::Values(ktest::Backend::SQLite, ktest::Backend::PostgreSQL), \
                           ktest::backendName)

}  // namespace ktest
