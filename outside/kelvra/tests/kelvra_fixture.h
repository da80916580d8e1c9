// A temporary home with libkelvra registered, a server "main" with a record database
// "books" and a document database "config.xml", and the four objects created by ProgID.
// The server is a local file or a shared PostgreSQL database, as the test's parameter says.
#pragma once

#include "backends.h"
#include "store/errors.h"
#include "store/store.h"

#include <com/drivers/KelvraDrivers.h>

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

inline std::u16string isbnQuery(std::u16string_view key) {
  std::u16string k(key);
  return u"_@@010$a='_{{" + k + u"}}' _**or _@@010$z='_{{" + k + u"}}' _**or _@@020$a='_{{" + k + u"}}'";
}

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
