// ZoomSvr against Debian's Z39.50 clients: zoomsh and yaz-client search the test window's
// records and fetch them, through the server process that Startup spawns.
#include "server_support.h"

#include <platform/codepage.h>
#include <platform/text.h>

#include <yaz/zoom.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <QCoreApplication>

using namespace zsvr;

namespace {

// The window's thread needs an application object to receive posted messages.
class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "zoom-server-tests";
    static char* argv[] = {name, nullptr};
    app_ = new QCoreApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QCoreApplication* app_ = nullptr;
};
const auto* const kApplication = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// A MARC 21 record (its 008 makes it USmarc) and a UNIMARC one, both with Chinese titles.
const std::u16string kUsmarc =
    u"<marc><header>00000nam  2200000 a 4500</header><field name=\"001\">us-1</field>"
    u"<field name=\"008\">050101s2005    ch            000 0 chi d</field>"
    u"<field name=\"245\" indicator=\"10\"><sf name=\"a\">中文题名</sf></field></marc>";
const std::u16string kUnimarc =
    u"<marc><header>00000nam  2200000   450 </header><field name=\"001\">uni-2</field>"
    u"<field name=\"200\" indicator=\"1 \"><sf name=\"a\">图书馆</sf></field></marc>";

class ZoomSvrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    create(server_);
    window_.records = {kUsmarc, kUnimarc};
  }
  void TearDown() override { server_.Cleanup(); }
  std::string open() const { return "tcp:" + listen_.host(); }

  LoopbackListen listen_;
  ZoomSvrDriver server_;
  TestWindow window_{server_};
};

// The bytes of a file that yaz-client's marcdump wrote.
std::string dumped(const std::filesystem::path& p) { return qtest::readFile(p); }

TEST_F(ZoomSvrTest, ZoomshSearchesTheWindowsRecordsAndFetchesThem) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 65001), 0);
  std::string out;
  runPumping("zoomsh '" + std::string("open ") + open() + "' 'find @attr 1=7 9787' 'show 0 2' quit", &out);
  EXPECT_NE(out.find(": 2 hits"), std::string::npos) << out;
  EXPECT_NE(out.find("syntax=USmarc"), std::string::npos) << out;
  EXPECT_NE(out.find("syntax=Unimarc"), std::string::npos) << out;
  EXPECT_NE(out.find("us-1"), std::string::npos) << out;
  EXPECT_NE(out.find("中文题名"), std::string::npos) << out;
  EXPECT_NE(out.find("图书馆"), std::string::npos) << out;
  // The term alone, without its attribute; one query message, then one per record.
  ASSERT_EQ(window_.queries.size(), 1u);
  EXPECT_EQ(window_.queries[0], u"9787");
  ASSERT_EQ(window_.log.size(), 3u);
  EXPECT_EQ(window_.log[0], (std::pair<ui::WPARAM, ui::LPARAM>{0, 0}));
  EXPECT_EQ(window_.log[1], (std::pair<ui::WPARAM, ui::LPARAM>{1, 1}));
  EXPECT_EQ(window_.log[2], (std::pair<ui::WPARAM, ui::LPARAM>{1, 2}));
  EXPECT_EQ(server_.GetPeerName(), u"127.0.0.1");
}

TEST_F(ZoomSvrTest, YazClientGetsGbkOrUtf8RecordsAsTheResultCodePageSays) {
  struct Case {
    int32_t codePage;
    std::string title;  // the title's bytes in the record
  } cases[] = {
      {0, platform::toNarrow(platform::CP_ACP, u"中文题名")},
      {65001, platform::toUtf8(u"中文题名")},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(server_.Startup(window_.handle(), 65001, c.codePage), 0);
    qtest::TempDir dir;
    std::filesystem::path dump = dir / "records.mrc";
    std::string out;
    runPumping("printf 'set_marcdump " + dump.string() + "\\nopen " + open() +
                   "\\nfind 中文\\nshow 1\\nquit\\n' | yaz-client",
               &out);
    EXPECT_NE(out.find("Number of hits: 2"), std::string::npos) << out;
    std::string bytes = dumped(dump);
    EXPECT_NE(bytes.find(c.title), std::string::npos) << c.codePage << ": " << bytes;
    // The leader's length counts bytes.
    ASSERT_GE(bytes.size(), 5u);
    EXPECT_EQ(std::stoul(bytes.substr(0, 5)), bytes.size()) << c.codePage;
    EXPECT_EQ(window_.queries.back(), u"中文") << "queries arrive as UTF-8 when asked so";
    server_.Cleanup();
  }
}

TEST_F(ZoomSvrTest, ALongTermArrivesWhole) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  std::string term(3000, 'q');
  std::string out;
  runPumping("zoomsh 'open " + open() + "' 'find " + term + "' quit", &out);
  ASSERT_EQ(window_.queries.size(), 1u) << out;
  EXPECT_EQ(window_.queries[0], platform::fromUtf8(term));
}

TEST_F(ZoomSvrTest, OtherQueriesAndServicesAreRefusedWithoutAskingTheWindow) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  std::string out;
  runPumping("zoomsh 'open " + open() + "' 'find @and @attr 1=4 a @attr 1=4 b' 'scan @attr 1=4 a' quit", &out);
  EXPECT_NE(out.find("(Bib-1:1)"), std::string::npos) << out;
  EXPECT_NE(out.find("Service not support"), std::string::npos) << out;
  EXPECT_TRUE(window_.log.empty()) << "a boolean query reaches no window";
}

TEST_F(ZoomSvrTest, ATextThatHoldsNoRecordComesBackAsADiagnostic) {
  for (const std::u16string& text : {std::u16string(), std::u16string(u"<marc>not closed")}) {
    window_.records = {text};
    ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
    std::string out;
    runPumping("zoomsh 'open " + open() + "' 'find x' 'show 0 1' quit", &out);
    EXPECT_NE(out.find(": 1 hits"), std::string::npos) << out;
    EXPECT_NE(out.find("(Bib-1:20486)"), std::string::npos) << out;
    server_.Cleanup();
  }
}

// Presents outside the hits are refused by the server itself with diagnostic 13 and the
// position, word for word as yaz-ztest refuses them; the window is asked for none of them.
TEST_F(ZoomSvrTest, PositionsOutsideTheHitsGetDiagnostic13AsFromYazZtest) {
  window_.records = {kUsmarc, kUnimarc, kUsmarc};
  qtest::TempDir dir;
  ztest::ServerProcess ztest("yaz-ztest", {"-S"}, dir / "ztest.log");
  ASSERT_TRUE(ztest.running());
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  // yaz-client sends the positions as typed; "f 3" finds three hits on both servers.
  auto refusals = [](const std::string& host, const std::string& position) {
    std::string out;
    runPumping("printf 'f 3\\ns " + position + "+1\\nquit\\n' | yaz-client " + host + "/Default", &out);
    size_t at = out.find("Diagnostic message(s) from database:");
    return at == std::string::npos ? out : out.substr(at, out.find('\n', out.find('[', at)) - at);
  };
  for (const char* position : {"-5", "0", "4", "2147483647"}) {
    std::string ours = refusals(open(), position);
    EXPECT_NE(ours.find("[13] Present request out of range"), std::string::npos) << position << ": " << ours;
    EXPECT_EQ(ours, refusals("tcp:" + ztest.hostText(), position)) << position;
  }
  for (const auto& [w, l] : window_.log) EXPECT_TRUE(w == 0) << "the window was asked for record " << l;
  // A position among the hits is still the window's.
  std::string out;
  runPumping("printf 'f 3\\ns 3+1\\nquit\\n' | yaz-client " + open() + "/Default", &out);
  EXPECT_NE(out.find("Records: 1"), std::string::npos) << out;
  EXPECT_EQ(window_.log.back(), (std::pair<ui::WPARAM, ui::LPARAM>{1, 3}));
}

TEST_F(ZoomSvrTest, OneServerAtATimeAndItsPortIsFreeAfterCleanup) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  EXPECT_EQ(server_.Startup(window_.handle(), 0, 0), -1);
  ZoomSvrDriver second;
  create(second);
  EXPECT_EQ(second.Startup(window_.handle(), 0, 0), -1) << "a second server in one process";

  server_.Cleanup();
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0) << "the same port again after Cleanup";
  std::string out;
  runPumping("zoomsh 'open " + open() + "' 'find x' quit", &out);
  EXPECT_NE(out.find(": 2 hits"), std::string::npos) << out;
  server_.Cleanup();
  EXPECT_EQ(second.Startup(window_.handle(), 0, 0), 0) << "another object once the first stopped";
  second.Cleanup();
}

TEST_F(ZoomSvrTest, StartupReportsAnAddressThatCannotBeBound) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(listen_.port()));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(s, 1), 0);
  EXPECT_NE(server_.Startup(window_.handle(), 0, 0), 0);
  close(s);
  EXPECT_EQ(server_.Startup(window_.handle(), 0, 0), 0) << "a failed start leaves nothing behind";
}

// A Z39.50 client of the test itself, connected (init answered) or refused.
struct Client {
  ZOOM_connection c;
  /// `timeoutSeconds` bounds each of its requests (0: ZOOM's own 30 seconds).
  explicit Client(const std::string& host, int timeoutSeconds = 0) {
    ZOOM_options o = ZOOM_options_create();
    ZOOM_options_set_int(o, "async", 0);
    if (timeoutSeconds > 0) ZOOM_options_set_int(o, "timeout", timeoutSeconds);
    c = ZOOM_connection_create(o);
    ZOOM_options_destroy(o);
    ZOOM_connection_connect(c, host.c_str(), 0);
  }
  ~Client() { ZOOM_connection_destroy(c); }
  bool accepted() { return ZOOM_connection_error(c, nullptr, nullptr) == 0; }
};

TEST_F(ZoomSvrTest, ARefusedClientLeavingDoesNotLetAThirdIn) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  auto first = std::make_unique<Client>(listen_.host());
  ASSERT_TRUE(first->accepted());
  {
    Client second(listen_.host());
    EXPECT_FALSE(second.accepted());
  }
  // Let the server see the refused client go before the next one comes.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    Client third(listen_.host());
    EXPECT_FALSE(third.accepted()) << "the first client is still being served";
  }
  first.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Client fourth(listen_.host());
  EXPECT_TRUE(fourth.accepted());
}

// A window that does not answer in time: the client gets Bib-1 diagnostic 1 for its search
// and 20481 (0x5001) for its record, each after the server's 10-second wait.
TEST_F(ZoomSvrTest, UnansweredRequestsTimeOutWithTheirDiagnostics) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  std::atomic<bool> answerSearches{false};
  // Record requests are never answered, searches only once the flag is set.
  window_.onRequest = [&](ui::WPARAM w, ui::LPARAM) { return w != 0 || !answerSearches; };
  int searchError = -1, secondError = -1, recordError = -1, connectionError = -1;
  size_t hits = 0;
  pumpWhile([&] {
    Client c(listen_.host());
    ZOOM_resultset first = ZOOM_connection_search_pqf(c.c, "first");
    searchError = ZOOM_connection_error(c.c, nullptr, nullptr);
    ZOOM_resultset_destroy(first);
    answerSearches = true;
    ZOOM_resultset second = ZOOM_connection_search_pqf(c.c, "second");
    secondError = ZOOM_connection_error(c.c, nullptr, nullptr);
    hits = ZOOM_resultset_size(second);
    ZOOM_record rec = ZOOM_resultset_record(second, 0);
    connectionError = ZOOM_connection_error(c.c, nullptr, nullptr);
    const char *msg = nullptr, *info = nullptr, *set = nullptr;
    recordError = rec ? ZOOM_record_error(rec, &msg, &info, &set) : 0;
    ZOOM_resultset_destroy(second);
  });
  EXPECT_EQ(searchError, 1);
  EXPECT_EQ(secondError, 0);
  EXPECT_EQ(hits, 2u);
  EXPECT_TRUE(connectionError == 0x5001 || recordError == 0x5001)
      << "connection " << connectionError << ", record " << recordError;
  ASSERT_EQ(window_.log.size(), 3u);
  EXPECT_EQ(window_.log[2], (std::pair<ui::WPARAM, ui::LPARAM>{1, 1}));
}

// A client that hangs up while the window has not answered its search: the next client is
// served at once, not refused (Bib-1 2) or held until the abandoned request times out.
TEST_F(ZoomSvrTest, AClientThatHangsUpMidRequestFreesTheServerAtOnce) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  int queries = 0;
  window_.onRequest = [&](ui::WPARAM w, ui::LPARAM) { return w == 0 && ++queries == 1; };

  std::string open = "open " + listen_.host(), find = "find first";
  char program[] = "zoomsh";
  char* argv[] = {program, open.data(), find.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t first = -1;
  ASSERT_EQ(posix_spawnp(&first, program, &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (window_.log.empty() && std::chrono::steady_clock::now() < limit)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_EQ(window_.log.size(), 1u) << "the first search never reached the window";
  kill(first, SIGKILL);
  waitpid(first, nullptr, 0);

  // Well within the abandoned request's 10 seconds.
  int connectError = -1, searchError = -1;
  size_t hits = 0;
  pumpWhile([&] {
    Client second(listen_.host(), 4);
    connectError = ZOOM_connection_error(second.c, nullptr, nullptr);
    if (connectError != 0) return;
    ZOOM_resultset rs = ZOOM_connection_search_pqf(second.c, "second");
    searchError = ZOOM_connection_error(second.c, nullptr, nullptr);
    hits = ZOOM_resultset_size(rs);
    ZOOM_resultset_destroy(rs);
  });
  EXPECT_EQ(connectError, 0);
  EXPECT_EQ(searchError, 0);
  EXPECT_EQ(hits, 2u);
  EXPECT_EQ(server_.GetQuery(), u"second");
}

TEST_F(ZoomSvrTest, ALateAnswerDoesNotSatisfyTheNextRequest) {
  ASSERT_EQ(server_.Startup(window_.handle(), 0, 0), 0);
  int handled = 0;
  window_.onRequest = [&](ui::WPARAM w, ui::LPARAM) {
    if (w != 0) return false;
    // The first query's message is handled only after its wait is over; its answer (5)
    // comes late. The second is answered in time with 7.
    server_.SetRsCount(++handled == 1 ? 5 : 7);
    return true;
  };
  std::atomic<bool> done{false};
  std::string out;
  std::thread client([&] {
    qtest::run(ztest::bounded("printf 'open " + open() + "\\nfind first\\nfind second\\nquit\\n' | yaz-client") + " 2>&1",
               &out);
    done = true;
  });
  // The window's thread is busy past the 10-second wait of the first query.
  std::this_thread::sleep_for(std::chrono::seconds(11));
  while (!done) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  client.join();
  EXPECT_NE(out.find("Number of hits: 7"), std::string::npos) << out;
  EXPECT_EQ(out.find("Number of hits: 5"), std::string::npos) << out;
  EXPECT_EQ(handled, 2);
}

}  // namespace

// A program that answers from its own thread instead of a window (handle 0): no message is
// posted, and every request in turn still takes its answer.
TEST_F(ZoomSvrTest, WithoutAWindowEachRequestTakesItsAnswer) {
  ASSERT_EQ(server_.Startup(0, 0, 0), 0);
  std::atomic<bool> done{false};
  size_t hits[2] = {0, 0};
  int errors[2] = {-1, -1};
  std::thread client([&] {
    Client c(listen_.host());
    const char* terms[] = {"first", "second"};
    for (int i = 0; i < 2; ++i) {
      ZOOM_resultset rs = ZOOM_connection_search_pqf(c.c, terms[i]);
      errors[i] = ZOOM_connection_error(c.c, nullptr, nullptr);
      hits[i] = ZOOM_resultset_size(rs);
      ZOOM_resultset_destroy(rs);
    }
    done = true;
  });
  // Answers whenever a query is known; an answer with no request waiting is dropped.
  while (!done) {
    if (!server_.GetQuery().empty()) server_.SetRsCount(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  client.join();
  EXPECT_EQ(errors[0], 0);
  EXPECT_EQ(hits[0], 3u);
  EXPECT_EQ(errors[1], 0) << "the second request's answer was refused as late";
  EXPECT_EQ(hits[1], 3u);
  EXPECT_EQ(server_.GetQuery(), u"second");
}
