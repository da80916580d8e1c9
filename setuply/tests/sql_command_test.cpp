// SQLCommand through the ADODB.Connection stand-in, against SQLite files opened by the
// SQLite ODBC driver (ado.ini maps the data source to them), and the SQL Server addressing.
#include <setuply/Setuply.h>

#include "SqlConnection.h"

#include <platform/codepage.h>
#include <platform/profile.h>
#include <qorvel_testing/testing.h>
#include <ui_testing/modal_script.h>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "server_process.h"

namespace {

namespace fs = std::filesystem;
using uitest::ModalScript;

const QString kConnectFailed =
    QStringLiteral("与指定的SQL Server连接失败，可能是数据库服务未启动，或者管理员帐户的口令不正确！");

TEST(SqlConnectionText, SplitsServerAndLogin) {
  struct Case {
    std::u16string server, login, expected;
  };
  const Case cases[] = {
      {u"(local)", u"sa",
       u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=;Initial Catalog=master;Data Source=(local);"},
      {u"srv/books", u"sa/secret",
       u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=secret;Initial Catalog=books;Data Source=srv;"},
      {u"srv/a/b", u"u/p/q",
       u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=u;Password=p/q;Initial Catalog=a/b;Data Source=srv;"},
      {u"srv/", u"u/",
       u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=u;Password=;Initial Catalog=;Data Source=srv;"},
      // A value the text could not hold as it is goes in quotes.
      {u"srv/my db", u"sa/p;w",
       u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=\"p;w\";Initial Catalog=my db;Data Source=srv;"},
      {u"srv", u"sa/\"a;b\" ",
       u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password='\"a;b\" ';Initial Catalog=master;Data Source=srv;"},
  };
  for (const Case& c : cases) EXPECT_EQ(setuply::sqlConnectionText(c.server, c.login), c.expected);
}

class SqlCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    // The data source "books" is a folder of SQLite files, one per database.
    ASSERT_TRUE(platform::writeProfileString(
        u"ado.ini", u"Data Sources", u"books",
        platform::fromUtf8("Driver=SQLite3;Database=" + dir.path().string() + "/%DATABASE%.db;").c_str()));
  }

  // The rows of a query on one of the files, as "a|b" lines.
  std::string rows(const std::string& database, const std::string& query) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2((dir / (database + ".db")).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_exec(db, query.c_str(),
                   [](void* p, int n, char** values, char**) {
                     auto* s = static_cast<std::string*>(p);
                     for (int i = 0; i < n; ++i) *s += std::string(i ? "|" : "") + (values[i] ? values[i] : "");
                     *s += "\n";
                     return 0;
                   },
                   &out, nullptr);
    }
    sqlite3_close(db);
    return out;
  }

  qtest::TempHome home;
  qtest::TempDir dir;
  ModalScript script;
};

TEST_F(SqlCommandTest, StatementsRun) {
  struct Case {
    const char* server;
    const char* sql;
    int result;
  };
  const Case steps[] = {
      {"books/catalog", "CREATE TABLE t(a INTEGER, b TEXT)", 1},
      {"books/catalog", "INSERT INTO t VALUES (1, 'one')", 1},
      {"books/catalog", "SELECT * FROM t", 1},                  // rows are dropped
      {"books/catalog", "UPDATE t SET b = 'x' WHERE a = 99", 1},  // no row touched is no failure
      {"books/catalog", "INSERT INTO missing VALUES (1)", 0},
      {"books/catalog", "this is no SQL", 0},
      {"books", "CREATE TABLE m(a)", 1},  // no database named: master
  };
  for (const Case& s : steps) {
    SCOPED_TRACE(s.sql);
    EXPECT_EQ(SQLCommand(s.server, "sa", s.sql), s.result);
  }
  EXPECT_EQ(rows("catalog", "SELECT a, b FROM t"), "1|one\n");
  EXPECT_EQ(rows("master", "SELECT name FROM sqlite_master"), "m\n");
  // Statement failures are silent; the result says it.
  EXPECT_TRUE(script.records().empty());
}

// An error in a later statement of a batch is a failure of the whole call.
TEST_F(SqlCommandTest, BatchErrorsAreNotLost) {
  EXPECT_EQ(SQLCommand("books/batch", "sa", "CREATE TABLE c(x); INSERT INTO c VALUES (5)"), 1);
  EXPECT_EQ(rows("batch", "SELECT x FROM c"), "5\n");
  EXPECT_EQ(SQLCommand("books/batch", "sa", "INSERT INTO c VALUES (6); INSERT INTO missing VALUES (1)"), 0);
}

// A password holding ";" still opens the database named after it.
TEST_F(SqlCommandTest, PasswordWithASemicolon) {
  ASSERT_EQ(SQLCommand("books/catalog", "sa/p;w", "CREATE TABLE pw(a)"), 1);
  EXPECT_EQ(rows("catalog", "SELECT name FROM sqlite_master"), "pw\n");
}

TEST_F(SqlCommandTest, ChineseStatementText) {
  ASSERT_EQ(SQLCommand("books/catalog", "sa", "CREATE TABLE t(b TEXT)"), 1);
  std::string insert = platform::toNarrow(platform::CP_ACP, u"INSERT INTO t VALUES ('图书馆')");
  ASSERT_EQ(SQLCommand("books/catalog", "sa", insert.c_str()), 1);
  EXPECT_EQ(rows("catalog", "SELECT b FROM t"), "图书馆\n");
}

TEST_F(SqlCommandTest, ConnectionFailuresAreReported) {
  ASSERT_TRUE(platform::writeProfileString(u"ado.ini", u"Data Sources", u"nodriver", u"Driver=NoSuchOdbcDriver;"));
  const std::string closed = "127.0.0.1," + std::to_string(ztest::closedPort());
  for (const std::string& server : {std::string("nodriver"), closed}) {
    SCOPED_TRACE(server);
    script.clear();
    EXPECT_EQ(SQLCommand(server.c_str(), "sa/pw", "SELECT 1"), 0);
    ASSERT_EQ(script.messages().size(), 1u);
    EXPECT_EQ(script.messages()[0].text, kConnectFailed);
    EXPECT_EQ(script.messages()[0].icon, ui::Icon::None);
  }
}

TEST(SqlCommandUnregistered, NoConnectionObjectIsSilent) {
  qtest::TempHome home;
  ModalScript script;
  EXPECT_EQ(SQLCommand("books", "sa", "SELECT 1"), 0);
  EXPECT_TRUE(script.records().empty());
}

}  // namespace
