// CVirtualRs against real peers on the loopback: yaz-ztest (whose hit count is the number
// in the search term), the zoom tests' fixture server (which serves its folder's ISO 2709
// files) and the Kelvra stand-in, with a test window that receives WM_SEARCH_NOTIFY.
#include <loomstore/VirtualRs.h>

#include "marc_fixture.h"
#include "server_process.h"

#include <platform/paths.h>
#include <platform/profile.h>
#include <platform/text.h>
#include <qorvel_testing/testing.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using platform::u16;

namespace {

// Runs the GUI thread's events until `done` holds (false after a generous limit).
bool waitUntil(const std::function<bool()>& done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void runPendingEvents() {
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A window that writes down every WM_SEARCH_NOTIFY it is given.
struct TestWindow {
  struct Done {
    int32_t hits, id;
    bool last;
  };
  QWidget window;
  std::vector<u16> statuses;
  std::vector<Done> done;
  std::function<void()> onStatus;

  TestWindow() {
    ui::onMessages(&window, [this](uint32_t message, ui::WPARAM w, ui::LPARAM l) -> ui::LRESULT {
      if (message != WM_SEARCH_NOTIFY) return 0;
      if (w == SEARCH_NOTIFY_STATUS) {
        statuses.emplace_back(reinterpret_cast<const char16_t*>(l));
        if (onStatus) onStatus();
      } else if (w == SEARCH_NOTIFY_DONE) {
        uint32_t v = uint32_t(l);
        int32_t high = int32_t(v >> 16);
        done.push_back({int32_t(v & 0xFFFF), high & ~0x400, (high & 0x400) != 0});
      }
      return 0;
    });
  }
  ui::HWND handle() { return ui::handleOf(&window); }
  bool lastArrived() const {
    for (const Done& d : done)
      if (d.last) return true;
    return false;
  }
  bool saw(const u16& status) const { return std::find(statuses.begin(), statuses.end(), status) != statuses.end(); }
  void clear() {
    statuses.clear();
    done.clear();
  }
};

u16 recordText(std::u16string_view isbn, std::u16string_view title) {
  u16 t = u"<marc><header>00000nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header>";
  t += u"<field name=\"001\">0001</field><field name=\"010\" indicator=\"\x11\x11\"><sf name=\"a\">";
  t += isbn;
  t += u"</sf></field><field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">";
  t += title;
  t += u"</sf></field></marc>";
  return t;
}

// The record-server query for an ISBN, whose search term is also what a Z39.50 source gets.
u16 isbnQuery(std::u16string_view key) {
  u16 k(key);
  return u"_@@010$a='_{{" + k + u"}}' _**or _@@010$z='_{{" + k + u"}}'";
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// A Z39.50 server that accepts every connection and never answers, until `Release` hangs
// up on each (which ends a client's blocked call).
class SilentServer {
 public:
  SilentServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(listener_, 16) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] {
      for (;;) {
        pollfd p{listener_, POLLIN, 0};
        if (stop_) return;
        if (poll(&p, 1, 20) <= 0) continue;
        int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard g(lock_);
        clients_.push_back(fd);
      }
    });
  }
  ~SilentServer() {
    stop_ = true;
    acceptor_.join();
    for (int fd : clients_) close(fd);
    close(listener_);
  }
  int port() const { return port_; }
  size_t clients() {
    std::lock_guard g(lock_);
    return clients_.size();
  }
  /// Hangs up on every client, then waits until each has closed its end: true when all did.
  bool Release() {
    std::lock_guard g(lock_);
    for (int fd : clients_) shutdown(fd, SHUT_WR);
    return closedByClients();
  }
  /// Waits, without hanging up, until every client has closed its end: true when all did.
  bool ClosedByClients() {
    std::lock_guard g(lock_);
    return closedByClients();
  }

 private:
  bool closedByClients() {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int fd : clients_) {
      char buf[4096];
      for (;;) {
        if (std::chrono::steady_clock::now() > limit) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        if (recv(fd, buf, sizeof buf, 0) <= 0) break;  // the client closed its end
      }
    }
    return true;
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<int> clients_;
  std::thread acceptor_;
};

class VirtualRsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::makeFolders(platform::windowsDirectory());
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " " + QORVEL_SERVERS), 0);

    ztest_ = std::make_unique<ztest::ServerProcess>("yaz-ztest", std::vector<std::string>{"-S"}, dir_ / "ztest.log");
    ASSERT_TRUE(ztest_->running());
    z3950Server("ztest", ztest_->port());

    std::filesystem::create_directories(dir_ / "records");
    qtest::writeFile(dir_ / "records" / "0001.mrc",
                     ztest::isoRecord({{"001", "fx1"}, {"200", "1 " + ztest::sf('a', "First")}}));
    qtest::writeFile(dir_ / "records" / "0002.mrc",
                     ztest::isoRecord({{"001", "fx2"}, {"200", "1 " + ztest::sf('a', "Second")}}));
    fixture_ = std::make_unique<ztest::ServerProcess>(
        ZOOM_FIXTURE_SERVER,
        std::vector<std::string>{(dir_ / "records").string(), (dir_ / "requests.log").string(), "-S"},
        dir_ / "fixture.log");
    ASSERT_TRUE(fixture_->running());
    z3950Server("fixture", fixture_->port());

    z3950Server("down", ztest::closedPort());

    // Record server "main": database "books" with two records of ISBN 7-111 and one of 7-222.
    ASSERT_EQ(admin("create-server main"), 0);
    ASSERT_EQ(admin("create-db main books"), 0);
    qtest::writeFile(dir_ / "books.txt", platform::toUtf8(recordText(u"7-111", u"甲") + recordText(u"7-111", u"乙") +
                                                          recordText(u"7-222", u"丙")));
    ASSERT_EQ(admin("import main books " + quoted((dir_ / "books.txt").string())), 0);
    setting(u"Servers", u"main", u"qzap");
    setting(u"main", u"port", u"3089");

    rs_.SetOption(window_.handle(), 0, u"public");
  }

  int admin(const std::string& args) { return qtest::run(std::string(KELVRA_ADMIN) + " " + args + " >/dev/null"); }
  void setting(u16 section, u16 key, u16 value) {
    ASSERT_TRUE(platform::writeProfileString(u"Loomstore.ini", section, key, value));
  }
  void z3950Server(const std::string& name, int port) {
    u16 n = platform::fromUtf8(name);
    setting(u"Servers", n, u"z39.50");
    setting(n, u"IP", u"127.0.0.1");
    setting(n, u"port", platform::fromUtf8(std::to_string(port)));
    setting(n, u"Syntax", u"usmarc");
  }

  /// Runs a search and the window's events until its last source has reported.
  void search(const u16& paths, const u16& queries) {
    window_.clear();
    ASSERT_EQ(rs_.Search(paths.c_str(), queries.c_str()), 0);
    ASSERT_TRUE(waitUntil([&] { return window_.lastArrived(); }));
    runPendingEvents();
  }

  struct Fetched {
    u16 ref, text;
  };
  Fetched fetch() {
    std::vector<char16_t> ref(CVirtualRs::kRefSize, u'\0');
    std::vector<char16_t> buf(100000, u'\0');
    int32_t n = rs_.GetRecord(ref.data(), buf.data(), int32_t(buf.size()));
    if (n <= 0) return {};
    return {u16(ref.data()), u16(buf.data(), size_t(n))};
  }
  std::vector<u16> walkRefs() {
    std::vector<u16> refs;
    for (int ok = rs_.MoveFirst(); ok; ok = rs_.MoveNext()) refs.push_back(fetch().ref);
    return refs;
  }

  qtest::TempHome home_;
  qtest::TempDir dir_;
  std::unique_ptr<ztest::ServerProcess> ztest_, fixture_;
  TestWindow window_;
  CVirtualRs rs_;
};

TEST_F(VirtualRsTest, SearchesEverySourceAtOnceAndAddsUpTheirHits) {
  search(u"z39.50://ztest/Default+z39.50://fixture/Default+qzap://main/books+z39.50://down/Default",
         isbnQuery(u"7") + u"&" + isbnQuery(u"any") + u"&" + isbnQuery(u"7-111") + u"&" + isbnQuery(u"1"));
  EXPECT_EQ(rs_.RecordNum(), 7 + 2 + 2);

  // One DONE per source, the last finished flagged, whatever its position.
  ASSERT_EQ(window_.done.size(), 4u);
  std::vector<int32_t> hitsById(4, -1);
  int lastFlags = 0;
  for (size_t i = 0; i < window_.done.size(); ++i) {
    const TestWindow::Done& d = window_.done[i];
    ASSERT_GE(d.id, 0);
    ASSERT_LT(d.id, 4);
    hitsById[size_t(d.id)] = d.hits;
    if (d.last) {
      ++lastFlags;
      EXPECT_EQ(i, window_.done.size() - 1);
    }
  }
  EXPECT_EQ(lastFlags, 1);
  EXPECT_EQ(hitsById, (std::vector<int32_t>{7, 2, 2, 0}));

  for (const char16_t* s : {u"连接服务器: ztest ...", u"连接到服务器: ztest 成功，检索...",
                            u"检索数据库: Default，命中记录 7 条", u"连接服务器: main 成功，登录...",
                            u"登录到服务器: main 成功，检索...", u"检索数据库: books 成功，命中记录 2 条",
                            u"连接服务器: down 失败，无法进行检索"})
    EXPECT_TRUE(window_.saw(s)) << platform::toUtf8(s);

  // The hits walk first source first; the server that was down holds none.
  std::vector<u16> refs = walkRefs();
  ASSERT_EQ(refs.size(), 11u);
  EXPECT_EQ(refs[0], u"z39.50://ztest/Default#1");
  EXPECT_EQ(refs[6], u"z39.50://ztest/Default#7");
  EXPECT_EQ(refs[7], u"z39.50://fixture/Default#1");
  EXPECT_EQ(refs[9], u"qzap://main/books#1");
  EXPECT_EQ(refs[10], u"qzap://main/books#2");

  // Texts come with their record prefix, from the source they name.
  ASSERT_EQ(rs_.GoTo(8), 1);
  Fetched second = fetch();
  EXPECT_EQ(second.ref, u"z39.50://fixture/Default#2");
  EXPECT_EQ(second.text.substr(0, 8), u"FFFFFFFF");
  EXPECT_NE(second.text.find(u"Second"), u16::npos);
  ASSERT_EQ(rs_.GoTo(10), 1);
  Fetched stored = fetch();
  EXPECT_EQ(stored.text.size() > 8 ? stored.text.substr(8, 6) : u16(), u"<marc>");
  EXPECT_NE(stored.text.find(u"乙"), u16::npos);
  EXPECT_EQ(rs_.GoTo(11), 0);
  EXPECT_EQ(rs_.GoTo(-1), 0);
  EXPECT_EQ(fetch().ref, u"qzap://main/books#2") << "a refused GoTo moves nothing";
}

// Sources of 3, 0 and 5 hits, and the moves across them.
TEST_F(VirtualRsTest, MovesSkipSourcesWithoutHits) {
  search(u"z39.50://ztest/Default+z39.50://ztest/Default+z39.50://ztest/Default",
         isbnQuery(u"3") + u"&" + isbnQuery(u"0") + u"&" + isbnQuery(u"5"));
  ASSERT_EQ(rs_.RecordNum(), 8);
  ASSERT_EQ(rs_.GoTo(4), 1);
  EXPECT_EQ(fetch().ref, u"z39.50://ztest/Default#2");
  ASSERT_EQ(rs_.GoTo(2), 1);
  ASSERT_EQ(rs_.MoveNext(), 1);
  EXPECT_EQ(fetch().ref, u"z39.50://ztest/Default#1");
  ASSERT_EQ(rs_.GoTo(7), 1);
  EXPECT_EQ(rs_.MoveNext(), 0);
}

// The DONE message has 16 bits for the hits; the total keeps them all.
TEST_F(VirtualRsTest, DoneCarriesTheHitsCutToSixteenBits) {
  search(u"z39.50://ztest/Default+z39.50://ztest/Default", isbnQuery(u"70000") + u"&" + isbnQuery(u"2"));
  EXPECT_EQ(rs_.RecordNum(), 70002);
  ASSERT_EQ(window_.done.size(), 2u);
  std::vector<int32_t> hitsById(2, -1);
  for (const TestWindow::Done& d : window_.done) {
    ASSERT_TRUE(d.id == 0 || d.id == 1) << "the hits spill into the id";
    hitsById[size_t(d.id)] = d.hits;
  }
  EXPECT_EQ(hitsById, (std::vector<int32_t>{70000 & 0xFFFF, 2}));
  ASSERT_EQ(rs_.GoTo(70001), 1);
  EXPECT_EQ(fetch().ref, u"z39.50://ztest/Default#2");
}

// A Z39.50 source logs in with "user" of its section, split at "@" into user and group.
TEST_F(VirtualRsTest, Z3950SourcesUseTheAccountOfTheirSection) {
  setting(u"ztest", u"user", u"cat@staff");
  setting(u"ztest", u"pass", u"secret");
  search(u"z39.50://ztest/Default", isbnQuery(u"3"));
  EXPECT_EQ(rs_.RecordNum(), 3);
  EXPECT_NE(ztest_->log().find("Auth idPass cat staff"), std::string::npos) << ztest_->log();
}

TEST_F(VirtualRsTest, PrevPageGoesBackTwoPagesAcrossSources) {
  search(u"z39.50://ztest/Default+z39.50://fixture/Default+z39.50://ztest/Default",
         isbnQuery(u"30") + u"&" + isbnQuery(u"any") + u"&" + isbnQuery(u"40"));
  ASSERT_EQ(rs_.RecordNum(), 72);
  struct Case {
    int32_t from, pageSize;
    int result;
    u16 ref;
  } cases[] = {
      {32 + 25, 10, 1, u"z39.50://ztest/Default#6"},    // within the third source: index 25 -> 5
      {32 + 12, 10, 1, u"z39.50://ztest/Default#25"},   // 8 more: past the fixture's 2, 6 into the first
      {32 + 19, 10, 1, u"z39.50://fixture/Default#2"},  // 1 more: the fixture's last record
      {15, 10, 1, u"z39.50://ztest/Default#1"},         // fewer than 20 before, more than 10: the first
      {5, 10, 0, u"z39.50://ztest/Default#6"},          // 5 before: stays
      {5, -1, 0, u"z39.50://ztest/Default#6"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(rs_.GoTo(c.from), 1);
    EXPECT_EQ(rs_.PrevPage(c.pageSize), c.result) << c.from;
    EXPECT_EQ(fetch().ref, c.ref) << c.from;
  }
}

TEST_F(VirtualRsTest, PairsPathsWithQueriesAndReusesSearchers) {
  // Three paths, two queries (one more separator at the end adds nothing).
  search(u"z39.50://ztest/Default+z39.50://ztest/Default+qzap://main/books",
         isbnQuery(u"4") + u"&" + isbnQuery(u"6") + u"&");
  EXPECT_EQ(window_.done.size(), 2u);
  EXPECT_EQ(rs_.RecordNum(), 10);

  // Fewer sources: the surplus goes; more: the first ones are searched again.
  search(u"qzap://main/books", isbnQuery(u"7-222"));
  ASSERT_EQ(window_.done.size(), 1u);
  EXPECT_EQ(window_.done[0].id, 0);
  EXPECT_TRUE(window_.done[0].last);
  EXPECT_EQ(walkRefs(), std::vector<u16>{u"qzap://main/books#3"});

  search(u"z39.50://ztest/Default+z39.50://fixture/Default+qzap://main/books",
         isbnQuery(u"1") + u"&" + isbnQuery(u"any") + u"&" + isbnQuery(u"7-111"));
  EXPECT_EQ(window_.done.size(), 3u);
  EXPECT_EQ(rs_.RecordNum(), 5);
  EXPECT_EQ(walkRefs(), (std::vector<u16>{u"z39.50://ztest/Default#1", u"z39.50://fixture/Default#1",
                                          u"z39.50://fixture/Default#2", u"qzap://main/books#1",
                                          u"qzap://main/books#2"}));

  // No pair at all: nothing is left to walk.
  ASSERT_EQ(rs_.Search(u"", u""), 0);
  EXPECT_EQ(rs_.RecordNum(), 0);
  EXPECT_EQ(rs_.MoveFirst(), 0);
  EXPECT_EQ(rs_.GetRecord(nullptr, nullptr, 0), 0);
}

TEST_F(VirtualRsTest, RecordServerFailuresAreReportedAndCountNoHits) {
  ASSERT_EQ(admin("add-account main cat secret"), 0);
  struct Case {
    const char16_t* account;
    u16 path;
    u16 status;
  } cases[] = {
      {u"nobody/x", u"qzap://main/books", u"缺省帐户无法登录到服务器: main"},
      {u"cat/secret", u"qzap://main/nosuch", u"连接数据库: nosuch 失败, 原因是: 0x6"},
      {u"cat", u"qzap://nowhere/books", u"通讯失败，无法连接服务器: nowhere"},
  };
  for (const Case& c : cases) {
    rs_.SetOption(window_.handle(), 0, c.account);
    search(c.path + u"+z39.50://ztest/Default", isbnQuery(u"7-111") + u"&" + isbnQuery(u"3"));
    EXPECT_TRUE(window_.saw(c.status)) << platform::toUtf8(c.status);
    EXPECT_EQ(rs_.RecordNum(), 3);
    ASSERT_EQ(window_.done.size(), 2u);
  }
  // The password of "cat/secret" is kept by "cat".
  search(u"qzap://main/books", isbnQuery(u"7-111"));
  EXPECT_EQ(rs_.RecordNum(), 2);
}

// The record server asks for a retry (66) when the database was made anew between Open and
// Search: the search connects again once; a second 66 is reported.
TEST_F(VirtualRsTest, RecordServerRetryIsTriedOnce) {
  for (int remakes : {1, 2}) {
    int left = remakes;
    window_.onStatus = [&] {
      if (window_.statuses.back() == u"登录到服务器: main 成功，检索..." && left > 0) {
        --left;
        ASSERT_EQ(admin("drop-db main books"), 0);
        ASSERT_EQ(admin("create-db main books"), 0);
        ASSERT_EQ(admin("import main books " + quoted((dir_ / "books.txt").string())), 0);
      }
    };
    search(u"qzap://main/books", isbnQuery(u"7-111"));
    EXPECT_EQ(left, 0);
    EXPECT_EQ(std::count(window_.statuses.begin(), window_.statuses.end(), u"连接服务器: main ..."), 1);
    EXPECT_EQ(std::count(window_.statuses.begin(), window_.statuses.end(), u"连接服务器: main 成功，登录..."), 2);
    if (remakes == 1) {
      EXPECT_EQ(rs_.RecordNum(), 2);
      EXPECT_TRUE(window_.saw(u"检索数据库: books 成功，命中记录 2 条"));
    } else {
      EXPECT_EQ(rs_.RecordNum(), 0);
      EXPECT_TRUE(window_.saw(u"无法检索数据库: books, 原因是: 0x42"));
    }
  }
  window_.onStatus = nullptr;
}

TEST_F(VirtualRsTest, GetRecordCopiesOnlyWhatFits) {
  search(u"qzap://main/books", isbnQuery(u"7-222"));
  ASSERT_EQ(rs_.MoveFirst(), 1);
  u16 text = fetch().text;
  ASSERT_FALSE(text.empty());
  std::vector<char16_t> ref(CVirtualRs::kRefSize, u'\0');
  std::vector<char16_t> buf(text.size() + 1, u'#');
  EXPECT_EQ(rs_.GetRecord(ref.data(), buf.data(), int32_t(text.size())), 0);
  EXPECT_EQ(u16(ref.data()), u"qzap://main/books#3") << "the reference is written all the same";
  EXPECT_EQ(buf[0], u'#');
  EXPECT_EQ(rs_.GetRecord(ref.data(), buf.data(), int32_t(text.size() + 1)), int32_t(text.size()));
  EXPECT_EQ(u16(buf.data()), text);
}

// Stop before the window has taken any status text: every worker is at its first send,
// gives it up, and nothing is ever delivered or posted.
TEST_F(VirtualRsTest, StopBeforeAnyStatusLeavesNoTrace) {
  ASSERT_EQ(rs_.Search(u"z39.50://ztest/Default+qzap://main/books+z39.50://down/Default",
                       (isbnQuery(u"5") + u"&" + isbnQuery(u"7-111") + u"&" + isbnQuery(u"1")).c_str()),
            0);
  EXPECT_EQ(rs_.Stop(), 0);
  runPendingEvents();
  EXPECT_TRUE(window_.statuses.empty());
  EXPECT_TRUE(window_.done.empty());
  EXPECT_EQ(rs_.RecordNum(), 0);
  EXPECT_EQ(rs_.MoveFirst(), 0);

  search(u"z39.50://ztest/Default+qzap://main/books", isbnQuery(u"5") + u"&" + isbnQuery(u"7-111"));
  EXPECT_EQ(rs_.RecordNum(), 7);
  EXPECT_EQ(window_.done.size(), 2u);
}

// Stop once the searches are under way: what follows it is neither sent nor posted.
TEST_F(VirtualRsTest, StopInTheMiddleEndsTheWorkers) {
  ASSERT_EQ(rs_.Search(u"z39.50://ztest/Default+qzap://main/books+z39.50://fixture/Default",
                       (isbnQuery(u"5") + u"&" + isbnQuery(u"7-111") + u"&" + isbnQuery(u"any")).c_str()),
            0);
  ASSERT_TRUE(waitUntil([&] { return window_.statuses.size() >= 2; }));
  const size_t statuses = window_.statuses.size(), done = window_.done.size();
  EXPECT_EQ(rs_.Stop(), 0);
  runPendingEvents();
  EXPECT_EQ(window_.statuses.size(), statuses);
  EXPECT_EQ(window_.done.size(), done);
}

// A new search while the last one still runs abandons it: only the new one counts.
TEST_F(VirtualRsTest, SearchWhileSearchingAbandonsTheRunningOne) {
  ASSERT_EQ(rs_.Search(u"z39.50://ztest/Default+z39.50://ztest/Default",
                       (isbnQuery(u"5") + u"&" + isbnQuery(u"9")).c_str()),
            0);
  ASSERT_TRUE(waitUntil([&] { return !window_.statuses.empty(); }));
  // A DONE the old search posted before it was abandoned may still be queued.
  ASSERT_EQ(rs_.Search(u"z39.50://fixture/Default", isbnQuery(u"any").c_str()), 0);
  ASSERT_TRUE(waitUntil([&] { return !window_.done.empty() && window_.done.back().hits == 2; }));
  runPendingEvents();
  EXPECT_EQ(rs_.RecordNum(), 2);
  EXPECT_TRUE(window_.done.back().last);
  EXPECT_EQ(window_.done.back().id, 0);
  EXPECT_EQ(walkRefs(), (std::vector<u16>{u"z39.50://fixture/Default#1", u"z39.50://fixture/Default#2"}));
}

// A server that accepts and never answers holds no member up: each returns at once (the old
// wait lasted until the client's 30-second time-out), the busy worker is abandoned, and it
// lets go of its connection when its call finally returns, with its owner and window gone.
TEST_F(VirtualRsTest, NoMemberWaitsForAServerThatNeverAnswers) {
  SilentServer silent;
  ASSERT_GT(silent.port(), 0);
  z3950Server("silent", silent.port());
  const u16 paths = u"z39.50://ztest/Default+z39.50://silent/Default";
  const u16 queries = isbnQuery(u"3") + u"&" + isbnQuery(u"5");
  const auto generous = std::chrono::seconds(3);

  struct Case {
    const char* name;
    std::function<void(std::unique_ptr<CVirtualRs>&, TestWindow&)> act;
  } cases[] = {
      {"Stop", [](auto& rs, auto&) { EXPECT_EQ(rs->Stop(), 0); }},
      {"ClearAll", [](auto& rs, auto&) { rs->ClearAll(); }},
      {"destructor", [](auto& rs, auto&) { rs.reset(); }},
      // The idle searcher is reused, the busy one replaced.
      {"Search", [&](auto& rs, auto& w) {
         w.clear();
         EXPECT_EQ(rs->Search(u"z39.50://fixture/Default+z39.50://ztest/Default",
                              (isbnQuery(u"any") + u"&" + isbnQuery(u"4")).c_str()),
                   0);
       }},
      // The finished source is walked while the silent one still searches.
      {"moves and GetRecord", [](auto& rs, auto&) {
         EXPECT_EQ(rs->RecordNum(), 3);
         EXPECT_EQ(rs->MoveFirst(), 1);
         std::vector<char16_t> ref(CVirtualRs::kRefSize), buf(100000);
         EXPECT_GT(rs->GetRecord(ref.data(), buf.data(), int32_t(buf.size())), 0);
         EXPECT_EQ(u16(ref.data()), u"z39.50://ztest/Default#1");
         // Past the last record onto the source still searching, which holds none.
         EXPECT_EQ(rs->GoTo(2), 1);
         EXPECT_EQ(rs->MoveNext(), 0);
         EXPECT_EQ(rs->GetRecord(ref.data(), buf.data(), int32_t(buf.size())), 0);
         EXPECT_EQ(rs->PrevPage(1), 1);
         EXPECT_GT(rs->GetRecord(ref.data(), buf.data(), int32_t(buf.size())), 0);
         EXPECT_EQ(u16(ref.data()), u"z39.50://ztest/Default#2");
       }},
  };
  std::vector<std::unique_ptr<TestWindow>> windows;
  std::vector<std::unique_ptr<CVirtualRs>> searches;
  size_t connections = 0;
  for (const Case& c : cases) {
    windows.push_back(std::make_unique<TestWindow>());
    searches.push_back(std::make_unique<CVirtualRs>());
    TestWindow& w = *windows.back();
    std::unique_ptr<CVirtualRs>& rs = searches.back();
    rs->SetOption(w.handle(), 0, u"public");
    ASSERT_EQ(rs->Search(paths.c_str(), queries.c_str()), 0);
    // The silent source is inside its Connect once the server holds its connection; the
    // other has finished.
    ++connections;
    ASSERT_TRUE(waitUntil([&] { return silent.clients() == connections && w.done.size() == 1; })) << c.name;
    const auto start = std::chrono::steady_clock::now();
    c.act(rs, w);
    EXPECT_LT(std::chrono::steady_clock::now() - start, generous) << c.name;
  }
  // A search abandoned by a new one posts nothing; the new one reports as usual.
  TestWindow& searched = *windows[3];
  ASSERT_TRUE(waitUntil([&] { return searched.lastArrived(); }));
  EXPECT_EQ(searches[3]->RecordNum(), 2 + 4);
  EXPECT_EQ(searched.done.size(), 2u);

  // The window of the destroyed object goes too; the server hangs up on every abandoned
  // worker, which then closes its connection.
  windows[2].reset();
  std::vector<size_t> seen;
  for (auto& w : windows) seen.push_back(w ? w->statuses.size() + w->done.size() : 0);
  ASSERT_TRUE(silent.Release()) << "an abandoned worker kept its connection";
  runPendingEvents();
  for (size_t i = 0; i < windows.size(); ++i) {
    if (!windows[i] || i == 4) continue;
    EXPECT_EQ(windows[i]->statuses.size() + windows[i]->done.size(), seen[i]) << cases[i].name;
  }
  // The object whose search still ran when it was walked finishes that search normally.
  ASSERT_TRUE(waitUntil([&] { return windows[4]->lastArrived(); }));
  EXPECT_TRUE(windows[4]->saw(u"连接服务器: silent 失败，无法进行检索"));
  searches.clear();
}

// The program ends while an abandoned worker is still inside its call: the server keeps the
// connection open to the very end (it is never destroyed), and the end of the process, with
// its libraries' teardown, must go by without the worker touching anything.
TEST_F(VirtualRsTest, TheProcessEndsWhileAnAbandonedWorkerIsStillBlocked) {
  static SilentServer* const silent = new SilentServer;  // lives until the process is gone
  ASSERT_GT(silent->port(), 0);
  z3950Server("silent", silent->port());
  auto rs = std::make_unique<CVirtualRs>();
  rs->SetOption(window_.handle(), 0, u"public");
  ASSERT_EQ(rs->Search(u"z39.50://silent/Default", isbnQuery(u"1").c_str()), 0);
  ASSERT_TRUE(waitUntil([&] { return silent->clients() == 1; }));
  const auto start = std::chrono::steady_clock::now();
  rs.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// Sources whose servers answer with huge or negative hit counts: each counts what a long
// holds at most (or nothing), and the total over all of them never wraps.
TEST_F(VirtualRsTest, HugeAndNegativeCountsNeverWrapTheTotal) {
  std::vector<std::unique_ptr<ztest::ServerProcess>> rogues;
  for (const char* hits : {"1099511627776", "2147483647", "-1"}) {
    rogues.push_back(std::make_unique<ztest::ServerProcess>(
        ZOOM_ROGUE_SERVER, std::vector<std::string>{std::string("hits=") + hits}, dir_ / "rogue.log"));
    ASSERT_TRUE(rogues.back()->running());
    z3950Server(std::string("rogue") + std::to_string(rogues.size()), rogues.back()->port());
  }
  search(u"z39.50://rogue1/Default+z39.50://rogue2/Default+z39.50://rogue3/Default",
         isbnQuery(u"1") + u"&" + isbnQuery(u"1") + u"&" + isbnQuery(u"1"));
  EXPECT_EQ(rs_.RecordNum(), INT32_MAX);
  EXPECT_TRUE(window_.saw(u"检索数据库: Default，命中记录 2147483647 条"));
  EXPECT_TRUE(window_.saw(u"检索数据库: Default，命中记录 0 条"));
  // The last position of the first source, then on into the second.
  ASSERT_EQ(rs_.GoTo(INT32_MAX - 1), 1);
  EXPECT_EQ(rs_.GoTo(INT32_MAX), 0);
  ASSERT_EQ(rs_.GoTo(3), 1);
  Fetched f = fetch();
  EXPECT_EQ(f.ref, u"z39.50://rogue1/Default#4");
  EXPECT_NE(f.text.find(u"A\x11record\x11of\x11the\x11rogue\x11server"), u16::npos) << platform::toUtf8(f.text);
}

// A worker that Stop abandoned inside a call gives up the call within the connection's
// time-out (one second here, from the server's section) and closes its connection, without
// the server ever hanging up; a server that answers a search with a present response ends
// that search at once.
TEST_F(VirtualRsTest, AnAbandonedWorkerGivesUpWithinItsTimeOut) {
  SilentServer silent;
  ASSERT_GT(silent.port(), 0);
  z3950Server("silent", silent.port());
  setting(u"silent", u"timeout", u"1");
  ASSERT_EQ(rs_.Search(u"z39.50://silent/Default", isbnQuery(u"1").c_str()), 0);
  ASSERT_TRUE(waitUntil([&] { return silent.clients() == 1; }));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rs_.Stop(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(silent.ClosedByClients()) << "the abandoned worker kept its connection";

  ztest::ServerProcess looping(ZOOM_ROGUE_SERVER, {"search=present"}, dir_ / "looping.log");
  ASSERT_TRUE(looping.running());
  z3950Server("looping", looping.port());
  search(u"z39.50://looping/Default+z39.50://ztest/Default", isbnQuery(u"1") + u"&" + isbnQuery(u"2"));
  EXPECT_TRUE(window_.saw(u"检索数据库: Default，命中记录 0 条"));
  EXPECT_EQ(rs_.RecordNum(), 2);
}

// A source whose automation objects cannot be created (nothing registered) reports the
// failed connection before its DONE.
TEST(VirtualRsWithoutComponents, ASourceWithoutObjectsReportsAFailedConnection) {
  qtest::TempHome home;
  TestWindow window;
  CVirtualRs rs;
  rs.SetOption(window.handle(), 0, u"public");
  ASSERT_EQ(rs.Search(u"z39.50://ztest/Default+qzap://main/books", u"_{{7}}&_{{7}}"), 0);
  ASSERT_TRUE(waitUntil([&] { return window.lastArrived(); }));
  runPendingEvents();
  EXPECT_TRUE(window.saw(u"连接服务器: ztest 失败，无法进行检索"));
  EXPECT_TRUE(window.saw(u"通讯失败，无法连接服务器: main"));
  ASSERT_EQ(window.done.size(), 2u);
  EXPECT_EQ(rs.RecordNum(), 0);
}

}  // namespace
