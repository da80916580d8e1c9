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

// A record with the given ISBN and, after it, one field per value (tag, then $a).
std::u16string withFields(std::u16string_view isbn, const std::vector<std::pair<std::u16string, std::u16string>>& fields) {
  std::u16string t = recordText(isbn);
  std::u16string more;
  for (const auto& [tag, value] : fields) more += u"<field name=\"" + tag + u"\" indicator=\"\x11\x11\"><sf name=\"a\">" + value + u"</sf></field>";
  return t.insert(t.size() - std::u16string_view(u"</marc>").size(), more);
}

// Text that does not compress (as real summaries do not): `n` characters drawn from the
// `size` characters from `first` on.
std::u16string varied(size_t n, char16_t first, uint32_t size, uint32_t seed) {
  std::u16string out;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    out += char16_t(first + (seed >> 8) % size);
  }
  return out;
}

std::u16string termQuery(std::u16string_view tag, std::u16string_view term) {
  return u"_@@" + std::u16string(tag) + u"$a='_{{" + std::u16string(term) + u"}}'";
}

// Long notes are ordinary in CNMARC (330 summaries, 327 contents): a record stores and is
// found whatever the lengths of its subfields, up to the toolkit's 9,990-byte field and
// 99,999-byte record, and a long term matches the whole value only, on both backends alike.
TEST_P(KelvraRecords, LongFieldsAreStoredAndFoundAlike) {
  const std::u16string chinese = varied(3000, u'\u4E00', 20902, 1);  // 9,000 UTF-8 bytes
  const std::u16string letters = varied(8000, u'a', 26, 2);
  // 3,329 characters, 9,985 UTF-8 bytes: with indicators, code and terminator 9,990 bytes.
  const std::u16string field = varied(3328, u'\u4E00', 20902, 3) + u"x";
  std::vector<std::pair<std::u16string, std::u16string>> nine;  // a record of about 90,000 bytes
  for (uint32_t i = 0; i < 9; ++i) nine.push_back({u"327", varied(3329, u'\u4E00', 20902, 10 + i)});
  struct Case {
    std::u16string isbn;
    std::vector<std::pair<std::u16string, std::u16string>> fields;
  } cases[] = {
      {u"9787020000001", {{u"330", chinese}}},
      {u"9787020000002", {{u"330", letters}}},
      {u"9787020000003", {{u"327", field}}},
      {u"9787020000004", nine},
  };
  int32_t number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.isbn));
    ASSERT_EQ(save(withFields(c.isbn, c.fields)), ++number) << platform::toUtf8(server.GetErrorText());
    ASSERT_EQ(search(isbnQuery(c.isbn)), 0);
    ASSERT_EQ(set.GetCount(0x5103), 1);
    EXPECT_EQ(loaded(0), std::u16string(kPrefix) + withFields(c.isbn, c.fields));
    ASSERT_EQ(search(termQuery(c.fields[0].first, c.fields[0].second)), 0);
    EXPECT_EQ(set.GetCount(0x5103), 1);
  }
  // A twin that differs only at its end, and one cut short: the whole text decides.
  ASSERT_EQ(save(withFields(u"twin", {{u"330", chinese.substr(0, 2999) + u"末"}})), ++number);
  ASSERT_EQ(save(withFields(u"short", {{u"330", chinese.substr(0, 2999)}})), ++number);
  for (const std::u16string& term : {chinese, chinese.substr(0, 2999), chinese.substr(0, 2999) + u"末"}) {
    ASSERT_EQ(search(termQuery(u"330", term)), 0);
    EXPECT_EQ(set.GetCount(0x5103), 1);
  }
  ASSERT_EQ(search(termQuery(u"330", chinese.substr(0, 200))), 0);
  EXPECT_EQ(set.GetCount(0x5103), 0);
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
