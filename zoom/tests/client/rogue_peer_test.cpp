// The connection engine against a server that answers the init and then misbehaves: every
// operation ends within the connection's time-out with an error that says what went wrong,
// and nothing the server sends is taken for a record that it is not.
#include "client_support.h"

#include "z3950/connection.h"
#include "z3950/result_set.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

using namespace ztest;
using z3950::Connection;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class RoguePeer : public ::testing::Test {
 protected:
  /// \brief Starts the rogue server with `behaviour` and connects to it with a time-out of one
  /// second (set in its section of Loomstore.ini); the result of the connect.
  int32_t start(std::vector<std::string> behaviour) {
    server_ = std::make_unique<ServerProcess>(ZOOM_ROGUE_SERVER, std::move(behaviour), dir_ / "rogue.log");
    EXPECT_TRUE(server_->running());
    home_.server("127.0.0.1", {{"timeout", "1"}});
    conn_ = Connection::create(home_.zoomXml());
    return conn_->Connect(u16(server_->hostText()), u"");
  }
  int32_t errno_() const { return conn_->GetOptionLong(u"errno"); }

  qtest::TempDir dir_;
  ClientHome home_;
  std::unique_ptr<ServerProcess> server_;
  std::shared_ptr<Connection> conn_;
};

}  // namespace

TEST_F(RoguePeer, APresentResponseToASearchEndsTheSearchAtOnce) {
  ASSERT_EQ(start({"search=present"}), 0);
  conn_->SetOptionLong(u"timeout", 60);
  // YAZ would send the search again for every present response, for ever.
  const Clock::time_point begun = Clock::now();
  auto rs = conn_->SearchPqf(u"x");
  EXPECT_EQ(errno_(), 10003);
  EXPECT_EQ(rs->GetSize(), 0);
  EXPECT_FALSE(conn_->connected()) << "the exchange is in an unknown state: the connection goes";
  EXPECT_LT(secondsSince(begun), 10.0) << "ended by its count of requests, not by the time-out";
  // A new connection is a new start.
  EXPECT_EQ(conn_->Connect(u16(server_->hostText()), u""), 0);
}

TEST_F(RoguePeer, EveryOperationEndsWithinTheTimeOut) {
  struct Case {
    const char* what;
    std::vector<std::string> behaviour;
  } cases[] = {
      {"an init never answered", {"init=silent"}},
      {"a search never answered", {"search=silent"}},
      {"a present never answered", {"present=silent"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Clock::time_point begun = Clock::now();
    int32_t connected = start(c.behaviour);
    if (c.behaviour[0] == "init=silent") {
      EXPECT_EQ(connected, 10007);
    } else {
      ASSERT_EQ(connected, 0);
      auto rs = conn_->SearchPqf(u"x");
      if (c.behaviour[0] == "search=silent") {
        EXPECT_EQ(errno_(), 10007);
        EXPECT_EQ(rs->GetSize(), 0);
      } else {
        ASSERT_EQ(rs->GetSize(), 1);
        EXPECT_TRUE(rs->GetRecord(0)->empty());
        EXPECT_EQ(errno_(), 10007) << "a time-out, not a missing record";
      }
    }
    EXPECT_FALSE(conn_->connected());
    // The time-out is one second; a hang would hold the test far longer.
    EXPECT_LT(secondsSince(begun), 10.0);
  }
}

TEST_F(RoguePeer, HitCountsBelowZeroAreNoneAndHugeOnesAreClamped) {
  struct Case {
    const char* hits;
    int32_t size;
  } cases[] = {{"-1", 0}, {"-2147483649", 0}, {"0", 0}, {"3", 3}, {"2147483647", INT32_MAX},
               {"2147483648", INT32_MAX}, {"1099511627776", INT32_MAX}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hits);
    ASSERT_EQ(start({std::string("hits=") + c.hits}), 0);
    auto rs = conn_->SearchPqf(u"x");
    EXPECT_EQ(errno_(), 0);
    EXPECT_EQ(rs->GetSize(), c.size);
    // No record lies beyond the count, nor anywhere in a set of none.
    EXPECT_TRUE(rs->GetRecord(c.size)->empty());
    EXPECT_EQ(errno_(), 10010);
    if (c.size > 0) {
      EXPECT_FALSE(rs->GetRecord(c.size - 1)->empty());
      EXPECT_EQ(errno_(), 0);
    }
  }
}

TEST_F(RoguePeer, BytesThatAreNoRecordGiveNoRecordText) {
  ASSERT_EQ(start({"hits=14", "record=junk"}), 0);
  auto rs = conn_->SearchPqf(u"x");
  ASSERT_EQ(rs->GetSize(), 14);
  std::unique_ptr<z3950::Record> rec = rs->GetRecord(0);
  EXPECT_EQ(errno_(), 10003) << "decoding failed, not a missing record";
  ASSERT_FALSE(rec->empty()) << "the bytes themselves are kept";
  EXPECT_EQ(rec->GetRaw(), u"Hello, this is not a MARC record");
  conn_->setLastError(0);
  EXPECT_EQ(rec->GetXml(), u"");
  EXPECT_EQ(errno_(), 10003) << "GetXml says so too";
}

void waitUntilNothingListensOn(int port) {
  for (int i = 0; i < 500; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool refused = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno == ECONNREFUSED;
    close(fd);
    if (refused) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST_F(RoguePeer, AServerThatDiesFailsTheNextSearchAndTheConnect) {
  ASSERT_EQ(start({"die-after=1"}), 0);
  EXPECT_EQ(conn_->SearchPqf(u"x")->GetSize(), 1);
  EXPECT_EQ(errno_(), 0);
  auto rs = conn_->SearchPqf(u"y");
  const int32_t lost = errno_();
  EXPECT_TRUE(lost == 10004 || lost == 10000) << lost;
  EXPECT_EQ(rs->GetSize(), 0);
  // The client can see its connection end before the dying process has closed its
  // listener; a connect in between would be taken and then reset (10004).
  waitUntilNothingListensOn(server_->port());
  EXPECT_EQ(conn_->Connect(u16(server_->hostText()), u""), 10000);
}
