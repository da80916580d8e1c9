// Under load nothing is lost: two processes storing at once keep every record under a
// number of its own while searches see whole moments of the database; a store broken off
// halfway leaves nothing of itself. On both backends.
#include "kelvra_fixture.h"

#include <atomic>
#include <thread>

namespace {

using ktest::KelvraTest;
using ktest::recordText;

using ktest::admin;

class KelvraLoad : public KelvraTest {};

TEST_P(KelvraLoad, TwoProcessesStoringAtOnceLoseNothing) {
  constexpr int kEach = 1000;
  qtest::TempDir dir;
  for (const char* writer : {"a", "b"}) {
    std::string text;
    for (int i = 0; i < kEach; ++i)
      text += "FFFFFFFF" +
              platform::toUtf8(recordText(u"load-" + platform::ascii(writer), platform::ascii(writer + std::to_string(i)))) +
              "\n";
    qtest::writeFile(dir / writer, text);
  }
  std::shared_ptr<kelvra::Store> reader = kelvra::Store::open(u"main", nullptr);
  ASSERT_TRUE(reader);
  std::optional<kelvra::DatabaseInfo> books = reader->findDatabase(u"books", nullptr);
  ASSERT_TRUE(books);
  std::string out[2];
  std::atomic<int> status[2] = {-1, -1};
  std::vector<std::thread> writers;
  for (int w = 0; w < 2; ++w)
    writers.emplace_back([&, w] {
      int rc = -1;
      out[w] = admin("import main books " + (dir / (w ? "b" : "a")).string(), &rc);
      status[w] = rc;
    });

  // Meanwhile: a record is stored whole before the next number is, so every search that
  // matches all records sees 1..n without a gap, and n never goes back.
  auto both = kelvra::parseQuery(u"_@@010$a='_{{load-a}}' _**or _@@010$a='_{{load-b}}'");
  size_t last = 0, midway = 0;
  std::string problem;  // the writers are joined before any check fails the test
  while (problem.empty() && last != 2 * kEach) {
    bool writing = status[0] < 0 || status[1] < 0;
    std::vector<int32_t> hits;
    if (int32_t rc = reader->search(books->id, *both, hits)) problem = "search failed: " + std::to_string(rc);
    if (hits.size() < last) problem = "fewer hits than before: " + std::to_string(hits.size());
    for (size_t i = 0; i < hits.size() && problem.empty(); ++i)
      if (hits[i] != int32_t(i + 1)) problem = "a gap among " + std::to_string(hits.size()) + " hits";
    last = hits.size();
    if (last > 0 && last < 2 * kEach) ++midway;
    if (!writing) break;  // both done: this search saw the end
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (auto& t : writers) t.join();
  EXPECT_EQ(problem, "");
  for (int w = 0; w < 2; ++w) {
    EXPECT_EQ(status[w], 0);
    EXPECT_EQ(out[w], "1000 records stored\n");
  }
  EXPECT_GT(midway, 0u);  // the searches did run while records came in

  std::vector<int32_t> numbers, expected;
  for (int32_t n = 1; n <= 2 * kEach; ++n) expected.push_back(n);
  ASSERT_EQ(reader->recordNumbers(books->id, numbers), 0);
  EXPECT_EQ(numbers, expected);
  for (const char16_t* term : {u"_@@010$a='_{{load-a}}'", u"_@@010$a='_{{load-b}}'"}) {
    std::vector<int32_t> hits;
    ASSERT_EQ(reader->search(books->id, *kelvra::parseQuery(term), hits), 0);
    EXPECT_EQ(hits.size(), size_t(kEach));
  }
  std::u16string text;
  ASSERT_EQ(reader->record(books->id, 2 * kEach, text), 0);
  EXPECT_EQ(text.substr(0, 6), u"<marc>");
}

// The store fails while writing the record's index: on SQLite a trigger aborts it, on
// PostgreSQL the server drops the connection in the middle.
TEST_P(KelvraLoad, AStoreBrokenOffHalfwayLeavesNoHalfRecord) {
  ASSERT_EQ(openAsPublic(u"books"), 0);
  ASSERT_EQ(record.Save(dbase.m_lpDispatch, u"FFFFFFFF" + recordText(u"7505312340")), 1);
  bool pg = GetParam() == ktest::Backend::PostgreSQL;
  sabotage();
  EXPECT_EQ(record.Save(dbase.m_lpDispatch, u"FFFFFFFF" + recordText(u"7505312341", u"sabotage")), -1);
  EXPECT_EQ(server.GetErrorCode(), pg ? kelvra::kRetry : kelvra::kStorage);
  EXPECT_EQ(record.GetNumber(), 1);
  EXPECT_EQ(sql("SELECT count(*) FROM records"), "1");
  EXPECT_EQ(sql("SELECT count(*) FROM terms WHERE number <> 1"), "0");
  EXPECT_EQ(sql("SELECT next_number FROM databases WHERE name = 'books'"), "2");

  // The same objects go on (over a new connection on PostgreSQL), with the next number.
  endSabotage();
  EXPECT_EQ(record.Save(dbase.m_lpDispatch, u"FFFFFFFF" + recordText(u"7505312341", u"sabotage")), 2);
  ASSERT_EQ(set.Search(dbase.m_lpDispatch, u"_@@200$a='_{{sabotage}}'"), 0);
  EXPECT_EQ(set.GetCount(0x5103), 1);
}

KELVRA_ON_BOTH_BACKENDS(KelvraLoad);

}  // namespace
