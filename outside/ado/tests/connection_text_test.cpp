// From OLE DB connection texts to the ODBC texts that open the same database.
#include "connection_text.h"

#include <gtest/gtest.h>

namespace {

using ado::OleDbConnection;

TEST(ConnectionText, ParsesOleDbText) {
  struct Case {
    std::u16string text;
    bool valid;
    OleDbConnection expected;
  };
  const Case cases[] = {
      {u"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=;Initial Catalog=master;Data Source=(local);",
       true, {u"SQLOLEDB.1", u"sa", u"", u"master", u"(local)"}},
      {u"provider = SQLOLEDB ; user id=\"a;b\"; PASSWORD='x=y' ;data source=srv,1500", true,
       {u"SQLOLEDB", u"a;b", u"x=y", u"", u"srv,1500"}},
      {u"Provider=SQLOLEDB;Password=\"open", false, {}},
      {u"Provider=SQLOLEDB;junk", false, {}},
  };
  for (const Case& c : cases) {
    auto got = ado::parseOleDbText(c.text);
    ASSERT_EQ(bool(got), c.valid);
    if (!got) continue;
    EXPECT_EQ(got->provider, c.expected.provider);
    EXPECT_EQ(got->userId, c.expected.userId);
    EXPECT_EQ(got->password, c.expected.password);
    EXPECT_EQ(got->catalog, c.expected.catalog);
    EXPECT_EQ(got->dataSource, c.expected.dataSource);
  }
}

TEST(ConnectionText, OdbcTexts) {
  struct Case {
    OleDbConnection c;
    std::u16string expected;
  };
  const Case cases[] = {
      {{u"SQLOLEDB.1", u"sa", u"", u"master", u"(local)"},
       u"Driver=FreeTDS;Server=localhost;Port=1433;Database=master;UID=sa;PWD=;ClientCharset=UTF-8;"},
      {{u"SQLOLEDB.1", u"sa", u"p;w}", u"书目", u"db.example.org, 1500"},
       u"Driver=FreeTDS;Server=db.example.org;Port=1500;Database=书目;UID=sa;PWD={p;w}}};ClientCharset=UTF-8;"},
      {{u"SQLOLEDB.1", u"sa", u"", u"master", u"(local)\\SQLEXPRESS"},
       u"Driver=FreeTDS;Server=localhost\\SQLEXPRESS;Database=master;UID=sa;PWD=;ClientCharset=UTF-8;"},
  };
  for (const Case& c : cases) EXPECT_EQ(ado::freeTdsConnectionText(c.c), c.expected);
  EXPECT_EQ(ado::expandOdbcPattern(u"Driver=SQLite3;Database=/d/%DATABASE%.db;X=%SERVER%,%PORT%;%UNKNOWN%",
                                   {u"SQLOLEDB", u"u", u"p", u"books", u"srv"}),
            u"Driver=SQLite3;Database=/d/books.db;X=srv,1433;%UNKNOWN%");
  EXPECT_TRUE(ado::isSqlServerProvider(u"sqloledb.1"));
  EXPECT_FALSE(ado::isSqlServerProvider(u"Microsoft.Jet.OLEDB.4.0"));
}

}  // namespace
