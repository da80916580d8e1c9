// The kind of connection a server list entry gets: its protocol decides, in any letter case.
#include "kelvra_conn.h"
#include "z3950_conn.h"

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

namespace {

// The connections create their automation objects from the registry of a home of the test's
// own, where none is registered.
TEST(ServerKinds, TheEntrysProtocolNamesTheKind) {
  qtest::TempHome home;
  struct Case {
    const char16_t* entry;
    bool z3950;
  } cases[] = {
      {u"z39.50://union/UCS?p=public/?r=no?n=0", true},
      {u"Z39.50://union/UCS", true},
      {u"qzap://kv/books?p=cat/x?r=yes?n=21", false},
      {u"kv/books", false},
      {u"", false},
  };
  for (const Case& c : cases) {
    std::unique_ptr<CServerConn> conn = CServerConn::ForEntry(c.entry);
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(dynamic_cast<CZ3950Conn*>(conn.get()) != nullptr, c.z3950) << platform::toUtf8(c.entry);
    EXPECT_EQ(dynamic_cast<CKelvraConn*>(conn.get()) != nullptr, !c.z3950) << platform::toUtf8(c.entry);
    // Unopened, each asks for the key in its own query language.
    EXPECT_EQ(conn->BuildQuery(u"7020012345"),
              c.z3950 ? u"@attr 1=7 \"7020012345\""
                      : u"_@@010$a='_{{7020012345}}' _**or _@@010$z='_{{7020012345}}' _**or _@@020$a='_{{7020012345}}'")
        << platform::toUtf8(c.entry);
  }
}

TEST(ServerKinds, OpenReadsTheEntryIntoTheConnection) {
  qtest::TempHome home;
  std::unique_ptr<CServerConn> conn = CServerConn::ForEntry(u"z39.50://union/UCS?p=cat/secret?r=yes?n=21");
  conn->Open(u"z39.50://union/UCS?p=cat/secret?r=yes?n=21");
  EXPECT_EQ(conn->host, u"union");
  EXPECT_EQ(conn->database, u"UCS");
  EXPECT_EQ(conn->user, u"cat");
  EXPECT_EQ(conn->password, u"secret");
  EXPECT_TRUE(conn->reconnect);
  EXPECT_EQ(conn->hyphenRule, 2);
  EXPECT_EQ(conn->isbnRule, 1);
  EXPECT_FALSE(conn->connected) << "a reconnecting server connects at its first search";
  EXPECT_EQ(conn->BuildQuery(u"7020012345"), u"@attr 1=7 \"978-7-02-001234-3\"");
}

}  // namespace
