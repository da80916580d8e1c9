// A shared server that goes away, goes quiet or loses an answer: a store whose commit was
// cut off is looked up rather than guessed, and every call ends within the server's time
// limit with code 66 and the reason. PostgreSQL only: a local file has no connection to lose.
#include "kelvra_fixture.h"
#include "proxy.h"

#include <chrono>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using ktest::recordText;

// Calls end within the limit (2 s in these tests) plus a connect: far below this.
constexpr auto kBound = std::chrono::seconds(20);

class KelvraOutage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);
    ASSERT_TRUE(server.CreateDispatch(u"Kelvra.Server") && dbase.CreateDispatch(u"Kelvra.Dbase") &&
                set.CreateDispatch(u"Kelvra.RecordSet") && record.CreateDispatch(u"Kelvra.Record"));
  }

  /// \brief Names the server "main" on `conninfo` (the direct one in `direct`) with a record
  /// database "books" and the given time limit.
  void share(const std::string& conninfo, const std::string& direct, int limit) {
    direct_ = direct;
    int32_t error = 0;
    std::string detail;
    std::shared_ptr<kelvra::Store> store = kelvra::Store::createShared(u"main", conninfo, &error, &detail);
    ASSERT_TRUE(store) << error << " " << detail;
    ASSERT_EQ(store->createDatabase(u"books"), 0);
    setLimit(limit);
  }
  void setLimit(int seconds) { ktest::setTimeLimit(home.path(), u"main", seconds); }
  int32_t open() {
    if (int32_t rc = server.Connect(u"main", u"001")) return rc;
    if (int32_t rc = server.Login(u"public", u"")) return rc;
    return dbase.Open(server.m_lpDispatch, u"books");
  }
  int32_t save(std::u16string_view isbn) { return record.Save(dbase.m_lpDispatch, u"FFFFFFFF" + recordText(isbn)); }
  std::string sql(const std::string& text) const { return ktest::storeValue(ktest::Backend::PostgreSQL, direct_, text); }
  std::string errorText() { return platform::toUtf8(server.GetErrorText()); }

  qtest::TempHome home;
  std::string direct_;
  CKelvraServerDriver server;
  CKelvraDbaseDriver dbase;
  CKelvraRecordSetDriver set;
  CKelvraRecordDriver record;
};

// The COMMIT reaches the server and is carried out, but its answer is lost with the
// connection: the store asks afterwards and answers the record's number, stored once.
TEST_F(KelvraOutage, AStoreWhoseAnswerIsLostAfterItsCommitAnswersItsNumber) {
  ktest::ScratchDatabase db;
  ktest::Proxy proxy(ktest::portOf(db.conninfo()));
  share(ktest::withPort(db.conninfo(), proxy.port()), db.conninfo(), 5);
  ASSERT_EQ(open(), 0);
  ASSERT_EQ(save(u"7505312340"), 1);
  proxy.cutAfterCommit();
  EXPECT_EQ(save(u"7505312341"), 2) << errorText();
  EXPECT_EQ(server.GetErrorCode(), 0);
  EXPECT_EQ(proxy.cuts(), 1);
  EXPECT_EQ(record.GetNumber(), 2);
  EXPECT_EQ(save(u"7505312342"), 3);
  EXPECT_EQ(sql("SELECT string_agg(number::text, ',' ORDER BY number) FROM records"), "1,2,3");
  EXPECT_EQ(sql("SELECT count(*) FROM terms WHERE key = '7505312341'"), "1");
}

// The server stops at once while a record's COMMIT is under way (a slow trigger holds it
// there). Back within the limit, the server is asked and the answer is a real "not stored"
// (66); when it stays away, "may be stored" (14). Either way within the bound.
TEST_F(KelvraOutage, ACrashDuringTheCommitIsSettledWhenTheServerComesBack) {
  ktest::PrivateServer pg;
  ASSERT_TRUE(pg.started());
  share(pg.conninfo(), pg.conninfo(), 8);
  sql(R"(CREATE FUNCTION slow_commit() RETURNS trigger LANGUAGE plpgsql AS $$
         BEGIN
           IF NEW.text LIKE '%slow-commit%' THEN PERFORM pg_sleep(60); END IF;
           RETURN NULL;
         END $$;
         CREATE CONSTRAINT TRIGGER slow_commit AFTER INSERT ON records DEFERRABLE INITIALLY DEFERRED
           FOR EACH ROW EXECUTE FUNCTION slow_commit())");
  struct Case {
    bool comesBack;
    int32_t code;
    const char* says;
  } cases[] = {
      {true, kelvra::kRetry, "the server has not stored it"},
      {false, kelvra::kInDoubt, "whether it was stored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.comesBack ? "back" : "away");
    setLimit(c.comesBack ? 20 : 2);
    ASSERT_EQ(open(), 0) << errorText();
    const int32_t next = sql("SELECT count(*) FROM records") == "0" ? 1 : 2;  // counted before the store
    ASSERT_EQ(save(u"7505312340"), next);
    Clock::time_point start = Clock::now();
    int32_t saved = 0;
    std::thread saving([&] { saved = save(u"slow-commit"); });
    std::string active;
    for (int i = 0; i < 200 && active != "1"; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      active = sql("SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND query = 'COMMIT'");
    }
    if (active == "1") {
      pg.crash();
      if (c.comesBack) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        pg.restart();
      }
    }
    saving.join();
    ASSERT_EQ(active, "1") << "the COMMIT was never seen under way";
    EXPECT_EQ(saved, -1);
    EXPECT_LT(Clock::now() - start, kBound + std::chrono::seconds(20));
    EXPECT_EQ(server.GetErrorCode(), c.code);
    EXPECT_NE(errorText().find(c.says), std::string::npos) << errorText();
    if (!c.comesBack) pg.restart();
    EXPECT_EQ(sql("SELECT count(*) FROM records WHERE text LIKE '%slow-commit%'"), "0");
  }
  // The objects go on over a new connection.
  sql("DROP TRIGGER slow_commit ON records");
  EXPECT_EQ(save(u"7505312342"), 3) << errorText();
}

// A server that does not answer: each call fails with 66 within the limit, says so, and
// the next call goes on over a new connection.
TEST_F(KelvraOutage, CallsOnAQuietServerEndWithinTheLimit) {
  ktest::ScratchDatabase db;
  ktest::Proxy proxy(ktest::portOf(db.conninfo()));
  share(ktest::withPort(db.conninfo(), proxy.port()), db.conninfo(), 2);
  std::u16string search = ktest::isbnQuery(u"7505312340");
  auto timed = [&](const std::function<int32_t()>& call, int32_t* rc) {
    Clock::time_point start = Clock::now();
    *rc = call();
    return Clock::now() - start;
  };
  int32_t rc = 0;

  // The server process of the connection stopped (SIGSTOP) while idle: the search waits the
  // limit out; a store is carried out over a new connection.
  ASSERT_EQ(open(), 0);
  ASSERT_EQ(save(u"7505312340"), 1);
  std::string pid = sql("SELECT pid FROM pg_stat_activity WHERE datname = current_database() AND application_name = "
                        "'kelvra' AND pid <> pg_backend_pid()");
  ASSERT_NE(pid, "");
  ASSERT_EQ(::kill(std::atoi(pid.c_str()), SIGSTOP), 0);
  EXPECT_LT(timed([&] { return set.Search(dbase.m_lpDispatch, search); }, &rc), kBound);
  ::kill(std::atoi(pid.c_str()), SIGCONT);
  EXPECT_EQ(rc, kelvra::kRetry);
  EXPECT_NE(errorText().find("code 66: no answer from the server within the time limit of 2 s"), std::string::npos) << errorText();
  EXPECT_EQ(set.Search(dbase.m_lpDispatch, search), 0);
  EXPECT_EQ(set.GetCount(0x5103), 1);
  pid = sql("SELECT pid FROM pg_stat_activity WHERE datname = current_database() AND application_name = 'kelvra' AND "
            "pid <> pg_backend_pid()");
  ASSERT_EQ(::kill(std::atoi(pid.c_str()), SIGSTOP), 0);
  EXPECT_LT(timed([&] { return save(u"7505312340"); }, &rc), kBound);
  ::kill(std::atoi(pid.c_str()), SIGCONT);
  EXPECT_EQ(rc, 2) << errorText();

  // Another workstation holds the database's row (its store stuck halfway): the server's
  // statement limit ends the wait.
  {
    PGconn* other = PQconnectdb(db.conninfo().c_str());
    ktest::pgValue(other, "BEGIN");
    ktest::pgValue(other, "SELECT 1 FROM databases WHERE name = 'books' FOR UPDATE");
    EXPECT_LT(timed([&] { return save(u"7505312341"); }, &rc), kBound);
    PQfinish(other);
  }
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(server.GetErrorCode(), kelvra::kRetry);
  EXPECT_NE(errorText().find("statement timeout"), std::string::npos) << errorText();

  // A network path that goes silent (nothing comes back, nothing is refused).
  proxy.silent(true);
  EXPECT_LT(timed([&] { return set.Search(dbase.m_lpDispatch, search); }, &rc), kBound);
  EXPECT_EQ(rc, kelvra::kRetry);
  EXPECT_LT(timed([&] { return save(u"7505312341"); }, &rc), kBound);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(server.GetErrorCode(), kelvra::kRetry);
  EXPECT_LT(timed([&] { return server.Connect(u"main", u"001"); }, &rc), kBound);
  EXPECT_EQ(rc, kelvra::kRetry);
  EXPECT_NE(errorText().find("timeout expired"), std::string::npos) << errorText();
  proxy.silent(false);

  ASSERT_EQ(open(), 0) << errorText();
  EXPECT_EQ(save(u"7505312341"), 3) << errorText();
  EXPECT_EQ(sql("SELECT string_agg(number::text, ',' ORDER BY number) FROM records"), "1,2,3");
}

// A server whose main process is stopped takes no connection: Connect gives up within the
// limit with 66.
TEST_F(KelvraOutage, ConnectingToAPausedServerEndsWithinTheLimit) {
  ktest::PrivateServer pg;
  ASSERT_TRUE(pg.started());
  share(pg.conninfo(), pg.conninfo(), 2);
  pg.pause();
  Clock::time_point start = Clock::now();
  int32_t rc = server.Connect(u"main", u"001");
  EXPECT_LT(Clock::now() - start, kBound);
  pg.resume();
  EXPECT_EQ(rc, kelvra::kRetry);
  EXPECT_EQ(server.GetErrorCode(), kelvra::kRetry);
  EXPECT_NE(errorText().find("timeout expired"), std::string::npos) << errorText();
  EXPECT_EQ(open(), 0) << errorText();
}

}  // namespace
