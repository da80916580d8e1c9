// Kelvra.Server and Kelvra.Dbase through their dispatch wrappers: connecting, accounts,
// the database list and documents.
#include "kelvra_fixture.h"

namespace {

using ktest::KelvraTest;

TEST_P(KelvraTest, ConnectAndLoginAnswerTheirCodes) {
  struct Case {
    const char16_t *host, *user, *password;
    int32_t connect, login;
  } cases[] = {
      {u"main", u"public", u"", 0, 0},
      {u"main:2100", u"cat", u"secret", 0, 0},
      {u"main", u"CAT", u"secret", 0, 0},  // account names ignore letter case, passwords do not
      {u"main", u"cat", u"SECRET", 0, kelvra::kLoginFailed},
      {u"main", u"nobody", u"", 0, kelvra::kLoginFailed},
      {u"main", u"", u"", 0, kelvra::kLoginFailed},
      {u"other", u"public", u"", kelvra::kNoSuchServer, kelvra::kNotConnected},
      {u"main:", u"public", u"", kelvra::kBadHost, kelvra::kNotConnected},
      {u"main:21x", u"public", u"", kelvra::kBadHost, kelvra::kNotConnected},
      {u"", u"public", u"", kelvra::kBadHost, kelvra::kNotConnected},
      {u"../main", u"public", u"", kelvra::kBadHost, kelvra::kNotConnected},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.host) + " " + platform::toUtf8(c.user));
    EXPECT_EQ(server.Connect(c.host, u"000"), c.connect);
    EXPECT_EQ(server.GetErrorCode(), c.connect);
    EXPECT_EQ(server.Login(c.user, c.password), c.login);
    EXPECT_EQ(server.GetErrorCode(), c.login);
    EXPECT_EQ(server.Disconnect(), 0);
  }
}

TEST_P(KelvraTest, NothingOpensWithoutConnectionAndLogin) {
  EXPECT_EQ(dbase.Open(server.m_lpDispatch, u"books"), kelvra::kNotConnected);
  ASSERT_EQ(server.Connect(u"main", u"000"), 0);
  EXPECT_EQ(dbase.Open(server.m_lpDispatch, u"books"), kelvra::kNotLoggedIn);
  EXPECT_EQ(dbase.SetServer(server.m_lpDispatch, -1), 0);
  EXPECT_EQ(dbase.GetDatabaseList(), u"");
  EXPECT_EQ(server.Login(u"public", u"x"), kelvra::kLoginFailed);
  EXPECT_EQ(dbase.GetDatabaseList(), u"");  // a failed log-in logs out
  ASSERT_EQ(server.Login(u"public", u""), 0);
  EXPECT_EQ(dbase.Open(server.m_lpDispatch, u"nowhere"), kelvra::kNoSuchDatabase);
  EXPECT_EQ(server.GetErrorCode(), kelvra::kNoSuchDatabase);
  EXPECT_EQ(dbase.Open(nullptr, u"books"), kelvra::kNotConnected);
}

TEST_P(KelvraTest, DatabaseListAndOpenByNameOrShownName) {
  ASSERT_EQ(server.Connect(u"main", u"000"), 0);
  ASSERT_EQ(server.Login(u"public", u""), 0);
  ASSERT_EQ(dbase.SetServer(server.m_lpDispatch, -1), 0);
  EXPECT_EQ(dbase.GetDatabaseList(), u"books;config.xml;");
  // The directory shows a database by its name up to the first "."; both forms open it.
  for (const char16_t* name : {u"books", u"BOOKS", u"config.xml", u"config", u"Config"}) {
    SCOPED_TRACE(platform::toUtf8(name));
    EXPECT_EQ(dbase.Open(server.m_lpDispatch, name), 0);
  }
  EXPECT_EQ(dbase.Open(server.m_lpDispatch, u"config.doc"), kelvra::kNoSuchDatabase);
}

TEST_P(KelvraTest, DocumentsAreFetchedByExactName) {
  std::optional<kelvra::DatabaseInfo> config = store->findDatabase(u"config", nullptr);
  ASSERT_TRUE(config);
  const std::u16string from = u"<from><ap alias=\"题名\"/><ap alias=\"ISBN\"/></from>";
  ASSERT_EQ(store->putDocument(config->id, u"from", from), 0);
  ASSERT_EQ(store->putDocument(config->id, u"*/limit", u"<limit><cat><enable>read</enable></cat></limit>"), 0);
  ASSERT_EQ(store->putDocument(config->id, u"help.htm", u"old"), 0);
  ASSERT_EQ(store->putDocument(config->id, u"help.htm", u"<html>帮助</html>"), 0);  // replaced

  ASSERT_EQ(openAsPublic(u"config"), 0);
  EXPECT_EQ(dbase.GetDocument(u"from"), from);
  EXPECT_EQ(dbase.GetDocument(u"*/limit"), u"<limit><cat><enable>read</enable></cat></limit>");
  EXPECT_EQ(dbase.GetDocument(u"help.htm"), u"<html>帮助</html>");
  EXPECT_EQ(dbase.GetDocument(u"HELP.htm"), u"");
  EXPECT_EQ(dbase.GetDocument(u"missing"), u"");

  // Documents belong to the database they were put into, and go with the connection.
  ASSERT_EQ(dbase.Open(server.m_lpDispatch, u"books"), 0);
  EXPECT_EQ(dbase.GetDocument(u"from"), u"");
  ASSERT_EQ(dbase.Open(server.m_lpDispatch, u"config"), 0);
  server.Disconnect();
  EXPECT_EQ(dbase.GetDocument(u"from"), u"");
  EXPECT_EQ(server.GetErrorCode(), kelvra::kNotConnected);
}

TEST_P(KelvraTest, ObjectArgumentsMustBeTheRightClass) {
  ASSERT_EQ(server.Connect(u"main", u"000"), 0);
  try {
    dbase.Open(record.m_lpDispatch, u"books");
    ADD_FAILURE() << "a record object was taken for a server";
  } catch (const com::ComError& e) {
    EXPECT_EQ(e.Error(), com::DISP_E_TYPEMISMATCH);
  }
}

KELVRA_ON_BOTH_BACKENDS(KelvraTest);

}  // namespace
