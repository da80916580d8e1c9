// Kelvra.RecordSet and Kelvra.Record through their dispatch wrappers: storing with the
// record prefix, searching with the query language, and the two ways callers read hits.
#include "kelvra_fixture.h"

#include <memory>
#include <thread>

namespace {

using ktest::isbnQuery;
using ktest::KelvraTest;
using ktest::recordText;

constexpr std::u16string_view kPrefix = u"FFFFFFFF";

class KelvraRecords : public KelvraTest {
 protected:
  void SetUp() override {
    KelvraTest::SetUp();
    ASSERT_EQ(openAsPublic(u"books"), 0);
  }
  int32_t save(std::u16string_view text) { return record.Save(dbase.m_lpDispatch, std::u16string(kPrefix) + std::u16string(text)); }
  int32_t search(std::u16string_view query) { return set.Search(dbase.m_lpDispatch, query); }
  std::u16string loaded(int32_t n) {
    if (record.Load(set.m_lpDispatch, n) == -1) return u"(failed)";
    return record.GetText();
  }
};

TEST_P(KelvraRecords, SavedRecordsComeBackWithPrefixAndNumber) {
  EXPECT_EQ(save(recordText(u"7-5053-1234-0")), 1);
  EXPECT_EQ(save(recordText(u"9787020012343")), 2);
  EXPECT_EQ(record.GetNumber(), 2);

  ASSERT_EQ(search(isbnQuery(u"9787020012343")), 0);
  ASSERT_EQ(set.GetCount(0x5103), 1);
  ASSERT_EQ(record.Load(set.m_lpDispatch, 0), 0);
  EXPECT_EQ(record.GetText(), std::u16string(kPrefix) + recordText(u"9787020012343"));
  EXPECT_EQ(record.GetNumber(), 2);
}

TEST_P(KelvraRecords, SearchMatchesWholeValueOrItsFirstWord) {
  ASSERT_EQ(save(recordText(u"7-5053-1234-0\x11(平装)")), 1);  // the blank stands escaped
  ASSERT_EQ(save(recordText(u"7-5053-1234-01")), 2);
  ASSERT_EQ(save(recordText(u"7-02-001234-x")), 3);
  ASSERT_EQ(save(recordText(u"9787020012343", u"7-5053-1234-0")), 4);
  struct Case {
    const char16_t* query;
    int32_t hits;
  } cases[] = {
      {u"_@@010$a='_{{7-5053-1234-0}}'", 1},  // not record 2 (a longer number), not 4 (another subfield)
      {u"_@@010$a='_{{7-5053-1234-0 (平装)}}'", 1},
      {u"_@@010$a='_{{  7-02-001234-X }}'", 1},  // blanks and letter case of the term do not count
      {u"_@@010$z='_{{7-5053-1234-0}}'", 0},
      {u"_@@010$a='_{{7-5053-1234}}'", 0},
      {u"_@@010$a='_{{}}'", 0},
      {u"_@@200$a='_{{7-5053-1234-0}}' _**or _@@010$a='_{{7-5053-1234-0}}'", 2},
      {u"_@@010$a='_{{7-5053-1234-0}}' _**or _@@010$a='_{{7-5053-1234-0}}'", 1},  // a record counts once
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.query));
    EXPECT_EQ(search(c.query), 0);
    EXPECT_EQ(set.GetCount(0x5103), c.hits);
  }
}

TEST_P(KelvraRecords, MalformedQueryIsAnErrorCodeWithNoHits) {
  ASSERT_EQ(save(recordText(u"7505312340")), 1);
  ASSERT_EQ(search(isbnQuery(u"7505312340")), 0);
  ASSERT_EQ(set.GetCount(0x5103), 1);
  for (const char16_t* q : {u"", u"7505312340", u"_@@010$a='_{{7505312340", u"_@@010$a='_{{7505312340}}' _**or"}) {
    SCOPED_TRACE(platform::toUtf8(q));
    EXPECT_EQ(search(q), kelvra::kBadQuery);
    EXPECT_EQ(server.GetErrorCode(), kelvra::kBadQuery);
    EXPECT_EQ(set.GetCount(0x5103), 0);
    EXPECT_EQ(record.Load(set.m_lpDispatch, 0), -1);
  }
}

// The main program reads hits with Load 0 for the first and Load 1 for each next one.
TEST_P(KelvraRecords, SequentialReadingAfterSearch) {
  for (int i = 0; i < 4; ++i) ASSERT_EQ(save(recordText(u"7505312340", platform::ascii(std::to_string(i)))), i + 1);
  ASSERT_EQ(search(isbnQuery(u"7505312340")), 0);
  ASSERT_EQ(set.GetCount(0x5103), 4);
  std::vector<int32_t> numbers;
  ASSERT_EQ(record.Load(set.m_lpDispatch, 0), 0);
  numbers.push_back(record.GetNumber());
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(record.Load(set.m_lpDispatch, 1), 0);
    numbers.push_back(record.GetNumber());
  }
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(record.Load(set.m_lpDispatch, 1), -1);
  EXPECT_EQ(record.GetNumber(), 4);  // a failed load keeps the record loaded last
  EXPECT_EQ(server.GetErrorCode(), kelvra::kNoSuchRecord);
}

// The parallel search enters a set with MoveFirst, moves with Move(i-1) before a jump, and
// loads hit i with the index i.
TEST_P(KelvraRecords, PositionedReadingAfterMoves) {
  for (int i = 0; i < 5; ++i) ASSERT_EQ(save(recordText(u"7505312340", platform::ascii(std::to_string(i)))), i + 1);
  ASSERT_EQ(save(recordText(u"0000000000")), 6);
  ASSERT_EQ(search(isbnQuery(u"7505312340")), 0);
  ASSERT_EQ(set.MoveFirst(), 0);
  for (int32_t i = 0; i < 5; ++i) {
    ASSERT_EQ(record.Load(set.m_lpDispatch, i), 0);
    EXPECT_EQ(record.GetNumber(), i + 1);
  }
  for (int32_t i : {3, 0, 4, 1, 1}) {
    SCOPED_TRACE(i);
    set.Move(i == 0 ? 0 : i - 1);
    ASSERT_EQ(record.Load(set.m_lpDispatch, i), 0);
    EXPECT_EQ(record.GetNumber(), i + 1);
    ASSERT_EQ(record.Load(set.m_lpDispatch, i), 0);  // read again: the same hit
    EXPECT_EQ(record.GetNumber(), i + 1);
  }
  EXPECT_EQ(set.Move(5), -1);
  EXPECT_EQ(record.Load(set.m_lpDispatch, 5), -1);
  EXPECT_EQ(record.Load(set.m_lpDispatch, -1), -1);
}

TEST_P(KelvraRecords, SaveRefusesWhatIsNotPrefixedRecordText) {
  struct Case {
    std::u16string text;
    int32_t result;
  } cases[] = {
      {u"FFFFFFFF" + recordText(u"1"), 1},
      {recordText(u"2"), 2},                    // no prefix: taken as it stands
      {u"12345678" + recordText(u"3"), 3},      // any 8 characters are a prefix
      {u"FFFF" + recordText(u"4"), -1},         // a prefix cut short
      {u"FFFFFFFF", -1},
      {u"", -1},
      {u"FFFFFFFF<marc><header>x</header>", -1},  // never closed
      {u"FFFFFFFF<marc><field name=\"001\"></marc>", -1},  // not XML
      {u"FFFFFFFF<record/>", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.text));
    EXPECT_EQ(record.Save(dbase.m_lpDispatch, c.text), c.result);
    if (c.result == -1) {
      EXPECT_EQ(server.GetErrorCode(), kelvra::kBadRecord);
    }
  }
  ASSERT_EQ(search(isbnQuery(u"4") + u" _**or " + isbnQuery(u"3")), 0);
  EXPECT_EQ(set.GetCount(0), 1);
}

TEST_P(KelvraRecords, DocumentDatabasesHoldNoRecords) {
  ASSERT_EQ(dbase.Open(server.m_lpDispatch, u"config"), 0);
  EXPECT_EQ(save(recordText(u"1")), -1);
  EXPECT_EQ(server.GetErrorCode(), kelvra::kNotRecordDatabase);
  EXPECT_EQ(search(isbnQuery(u"1")), kelvra::kNotRecordDatabase);
}

// A database dropped (and made again) while a client had it open answers 66, so the client
// opens again and retries once.
TEST_P(KelvraRecords, DatabaseChangedUnderAnOpenClientAsksForRetry) {
  ASSERT_EQ(save(recordText(u"1")), 1);
  std::optional<kelvra::DatabaseInfo> books = store->findDatabase(u"books", nullptr);
  ASSERT_TRUE(books);
  ASSERT_EQ(store->dropDatabase(books->id), 0);
  ASSERT_EQ(store->createDatabase(u"books"), 0);

  EXPECT_EQ(search(isbnQuery(u"1")), kelvra::kRetry);
  EXPECT_EQ(server.GetErrorCode(), kelvra::kRetry);
  EXPECT_EQ(save(recordText(u"1")), -1);
  EXPECT_EQ(server.GetErrorCode(), kelvra::kRetry);

  // The retry of the parallel search: Open with an empty name, Disconnect, then again.
  EXPECT_EQ(dbase.Open(server.m_lpDispatch, u""), 0);
  server.Disconnect();
  ASSERT_EQ(openAsPublic(u"books"), 0);
  ASSERT_EQ(search(isbnQuery(u"1")), 0);
  EXPECT_EQ(set.GetCount(0x5103), 0);
}

TEST_P(KelvraRecords, NothingIsSearchedOrLoadedOverAClosedConnection) {
  ASSERT_EQ(save(recordText(u"1")), 1);
  server.Disconnect();
  EXPECT_EQ(search(isbnQuery(u"1")), kelvra::kNotConnected);
  EXPECT_EQ(save(recordText(u"1")), -1);
  EXPECT_EQ(record.Load(set.m_lpDispatch, 0), -1);
  EXPECT_EQ(set.Search(nullptr, isbnQuery(u"1")), kelvra::kDatabaseNotOpen);
  CKelvraRecordDriver fresh;
  ASSERT_TRUE(fresh.CreateDispatch(u"Kelvra.Record"));
  EXPECT_EQ(fresh.GetText(), u"");
  EXPECT_EQ(fresh.GetNumber(), 0);
}

// Hits read after the search stay readable while the set lives, whatever the server does.
TEST_P(KelvraRecords, ASetOutlivesItsConnection) {
  ASSERT_EQ(save(recordText(u"1")), 1);
  ASSERT_EQ(search(isbnQuery(u"1")), 0);
  server.Disconnect();
  server.ReleaseDispatch();
  dbase.ReleaseDispatch();
  ASSERT_EQ(record.Load(set.m_lpDispatch, 0), 0);
  EXPECT_EQ(record.GetNumber(), 1);
}

}  // namespace

namespace {

// The parallel search creates one set of objects per source on the caller's thread and
// uses each set from a worker thread of its own, while the main program may store records.
TEST_P(KelvraRecords, ObjectSetsWorkSideBySideOnThreads) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(save(recordText(u"7505312340")), i + 1);
  struct Searcher {
    CKelvraServerDriver server;
    CKelvraDbaseDriver dbase;
    CKelvraRecordSetDriver set;
    CKelvraRecordDriver record;
    int32_t loaded = 0;
  };
  std::vector<std::unique_ptr<Searcher>> searchers;
  for (int i = 0; i < 4; ++i) {
    auto s = std::make_unique<Searcher>();
    ASSERT_TRUE(s->server.CreateDispatch(u"Kelvra.Server") && s->dbase.CreateDispatch(u"Kelvra.Dbase") &&
                s->set.CreateDispatch(u"Kelvra.RecordSet") && s->record.CreateDispatch(u"Kelvra.Record"));
    searchers.push_back(std::move(s));
  }
  std::vector<std::thread> threads;
  for (auto& s : searchers)
    threads.emplace_back([&s] {
      for (int round = 0; round < 10; ++round) {
        if (s->server.Connect(u"main", u"000") || s->server.Login(u"public", u"") ||
            s->dbase.Open(s->server.m_lpDispatch, u"books") ||
            s->set.Search(s->dbase.m_lpDispatch, isbnQuery(u"7505312340")))
          return;
        s->set.MoveFirst();
        for (int32_t i = 0; i < 3; ++i)
          if (s->record.Load(s->set.m_lpDispatch, i) == 0) ++s->loaded;
        s->server.Disconnect();
      }
    });
  for (int i = 0; i < 10; ++i) EXPECT_GT(save(recordText(u"0000000000")), 3);
  for (auto& t : threads) t.join();
  for (auto& s : searchers) EXPECT_EQ(s->loaded, 30);
}

KELVRA_ON_BOTH_BACKENDS(KelvraRecords);

}  // namespace
