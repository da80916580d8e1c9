// The connection engine against Debian's yaz-ztest on the loopback.
#include "client_support.h"

#include "z3950/connection.h"
#include "z3950/proxy_settings.h"
#include "z3950/result_set.h"

#include <platform/codepage.h>

#include <regex>
#include <sstream>

using namespace ztest;
using z3950::Connection;

namespace {

class ZtestPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = startYazZtest(dir_);
    ASSERT_TRUE(server_->running());
    conn_ = Connection::create(home_.zoomXml());
  }
  int32_t connect() { return conn_->Connect(u16(server_->hostText()), u""); }

  qtest::TempDir dir_;
  ClientHome home_;
  std::unique_ptr<ServerProcess> server_;
  std::shared_ptr<Connection> conn_;
};

// The hit count zoomsh reports for a PQF query, or -1.
int zoomshHits(const std::string& host, const std::string& pqf) {
  std::string out;
  qtest::run(bounded("zoomsh 'open tcp:" + host + "' 'find " + pqf + "' quit") + " 2>&1", &out);
  std::smatch m;
  return std::regex_search(out, m, std::regex(": (\\d+) hits")) ? std::stoi(m[1]) : -1;
}

}  // namespace

TEST_F(ZtestPeer, ConnectsAndSearchesByAccessPointAndByPqf) {
  ASSERT_EQ(connect(), 0);
  EXPECT_TRUE(conn_->connected());
  auto byAccessPoint = conn_->Search(u"", u"ISBN", u"42-7-5\"3");
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 0);
  EXPECT_EQ(byAccessPoint->GetSize(), 42);
  auto byPqf = conn_->SearchPqf(u"@attr 1=4 17");
  EXPECT_EQ(conn_->GetOptionLong(u"ERRNO"), 0);
  EXPECT_EQ(byPqf->GetSize(), 17);
  // The server logs what it was asked: the mapped use attribute and the term without quotes.
  EXPECT_NE(server_->log().find("@attr 1=7 42-7-53"), std::string::npos) << server_->log();
  EXPECT_NE(server_->log().find("Name:Corvane Quenlo 1.0"), std::string::npos);
  EXPECT_EQ(conn_->GetOption(u"implementationName"), u"Corvane Quenlo 1.0");
  // The connection runs ZOOM's events itself, under a deadline of its own.
  EXPECT_EQ(conn_->GetOptionLong(u"async"), 1);
}

TEST_F(ZtestPeer, ZoomshFindsTheSameHitCount) {
  ASSERT_EQ(connect(), 0);
  auto rs = conn_->SearchPqf(u"@attr 1=7 23");
  EXPECT_EQ(rs->GetSize(), zoomshHits(server_->hostText(), "@attr 1=7 23"));
  EXPECT_EQ(rs->GetSize(), 23);
}

TEST_F(ZtestPeer, FetchesRecordsAndKeepsErrnoHonest) {
  home_.server("127.0.0.1", {{"Syntax", "usmarc"}});
  ASSERT_EQ(connect(), 0);
  auto rs = conn_->SearchPqf(u"3");
  ASSERT_EQ(rs->GetSize(), 3);

  std::unique_ptr<z3950::Record> past = rs->GetRecord(3);
  EXPECT_TRUE(past->empty());
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10010);
  EXPECT_EQ(past->GetXml(), u"");
  EXPECT_TRUE(rs->GetRecord(-1)->empty());

  std::unique_ptr<z3950::Record> rec = rs->GetRecord(0);
  ASSERT_FALSE(rec->empty());
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 0) << "a record clears the earlier failure";
  std::u16string xml = rec->GetXml();
  EXPECT_EQ(xml.substr(0, 22), u"FFFFFFFF<marc><header>");
  EXPECT_NE(xml.find(u"<field name=\"245\""), std::u16string::npos);
  EXPECT_NE(rec->GetRender().find(u"245"), std::u16string::npos);
  EXPECT_FALSE(rec->GetRaw().empty());
  EXPECT_EQ(rec->GetOIDs(),
            u"<OIDs><database>Default</database><syntax>USmarc</syntax><oid>1.2.840.10003.5.10</oid></OIDs>");
  EXPECT_FALSE(rs->BriefRecord(1)->empty());

  // yaz-marcdump reads the same bytes into the same fields, in the same order.
  qtest::writeFile(dir_ / "rec.mrc", platform::toNarrow(platform::CP_ACP, rec->GetRaw()));
  std::string dump;
  ASSERT_EQ(qtest::run("yaz-marcdump '" + (dir_ / "rec.mrc").string() + "'", &dump), 0);
  std::string dumpedTags, convertedTags;
  std::istringstream lines(dump);
  std::string line;
  std::getline(lines, line);  // the leader
  while (std::getline(lines, line))
    if (line.size() >= 3) dumpedTags += line.substr(0, 3) + " ";
  std::string text = platform::toUtf8(xml);
  for (size_t at = text.find("<field name=\""); at != std::string::npos; at = text.find("<field name=\"", at + 1))
    convertedTags += text.substr(at + 13, 3) + " ";
  EXPECT_NE(dumpedTags.find("245 "), std::string::npos);
  EXPECT_EQ(convertedTags, dumpedTags);

  // Records are copies: they outlive their result set and the connection.
  rs->Delete();
  EXPECT_EQ(rs->GetSize(), 0);
  EXPECT_TRUE(rs->GetRecord(0)->empty());
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10010);
  rs.reset();
  conn_.reset();
  EXPECT_EQ(rec->GetXml(), xml);
}

// Records read in turn come in a few present requests of growing windows; they are the same
// records, at the same positions, as those asked for one by one backwards, and errno is what
// it is for single fetches.
TEST_F(ZtestPeer, RecordsReadInTurnAreFetchedAheadInWindows) {
  home_.server("127.0.0.1", {{"Syntax", "usmarc"}});
  ASSERT_EQ(connect(), 0);
  auto rs = conn_->SearchPqf(u"250");
  ASSERT_EQ(rs->GetSize(), 250);
  std::vector<std::u16string> inTurn;
  for (int32_t i = 0; i < 250; ++i) {
    std::unique_ptr<z3950::Record> rec = rs->GetRecord(i);
    ASSERT_FALSE(rec->empty()) << i;
    EXPECT_EQ(conn_->GetOptionLong(u"errno"), 0) << i;
    inTurn.push_back(rec->GetRaw());
  }
  std::regex present("Present OK - +1 (\\d+\\+\\d+)");
  const std::string log = server_->log();
  std::vector<std::string> windows;
  for (std::sregex_iterator m(log.begin(), log.end(), present), end; m != end; ++m) windows.push_back((*m)[1]);
  EXPECT_EQ(windows, (std::vector<std::string>{"1+10", "11+100", "111+140"})) << log;

  EXPECT_TRUE(rs->GetRecord(250)->empty());
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10010);
  auto again = conn_->SearchPqf(u"250");
  for (int32_t i = 249; i >= 0; i -= 7) {
    std::unique_ptr<z3950::Record> rec = again->GetRecord(i);
    ASSERT_FALSE(rec->empty()) << i;
    EXPECT_EQ(conn_->GetOptionLong(u"errno"), 0) << i;
    EXPECT_EQ(rec->GetRaw(), inTurn[size_t(i)]) << i;
  }
  // The brief element set is a window of its own.
  EXPECT_FALSE(rs->BriefRecord(0)->empty());
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 0);
}

// A window whose present outlasts the client's time-out: the record is missing, errno 10007
// (time-out), as when it is asked for alone; the connection is dropped.
TEST_F(ZtestPeer, AWindowThatTimesOutLeavesTheRecordMissing) {
  ASSERT_EQ(connect(), 0);
  conn_->SetOptionLong(u"timeout", 1);
  auto rs = conn_->Search(u"Default?present-delay=2.5", u"", u"20");
  ASSERT_EQ(rs->GetSize(), 20);
  EXPECT_TRUE(rs->GetRecord(0)->empty());
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10007);
  EXPECT_FALSE(conn_->connected());
}

TEST_F(ZtestPeer, ReportsDiagnosticsAndErrorsAsNumbers) {
  ASSERT_EQ(connect(), 0);
  auto other = conn_->Search(u"Other", u"", u"5");
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 109) << "only the database Default exists";
  EXPECT_EQ(conn_->GetOption(u"databaseName"), u"Other");
  EXPECT_EQ(other->GetSize(), 0);

  auto bad = conn_->SearchPqf(u"@attr 1=4");
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10010);
  EXPECT_EQ(bad->GetSize(), 0);
  EXPECT_TRUE(bad->GetRecord(0)->empty());

  auto closed = Connection::create(home_.zoomXml());
  EXPECT_EQ(closed->Connect(u16("127.0.0.1:" + std::to_string(closedPort())), u""), 10000);
}

TEST_F(ZtestPeer, SearchWithoutConnectionNeverReachesYaz) {
  auto before = conn_->SearchPqf(u"@attr 1=4 12");
  EXPECT_EQ(before->GetSize(), 0);
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10000);
  EXPECT_TRUE(before->GetRecord(0)->empty());
  auto plain = conn_->Search(u"", u"ISBN", u"12");
  EXPECT_EQ(plain->GetSize(), 0);
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10000);

  conn_->Close();  // before Connect: nothing to do
  ASSERT_EQ(connect(), 0);
  auto live = conn_->SearchPqf(u"12");
  EXPECT_EQ(live->GetSize(), 12);
  conn_->Close();
  conn_->Close();
  EXPECT_FALSE(conn_->connected());
  auto after = conn_->SearchPqf(u"12");
  EXPECT_EQ(after->GetSize(), 0);
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 10000);
  // The set made while connected still answers without its ZOOM connection.
  EXPECT_EQ(live->GetSize(), 12);
  (void)live->GetRecord(0);
}

TEST_F(ZtestPeer, SecondConnectClosesTheFirst) {
  ASSERT_EQ(connect(), 0);
  EXPECT_EQ(connectionsTo(server_->port()), 1);
  auto rs = conn_->SearchPqf(u"4");
  ASSERT_EQ(connect(), 0);
  EXPECT_EQ(connectionsTo(server_->port()), 1) << "the first connection is closed, not left open";
  EXPECT_EQ(conn_->SearchPqf(u"5")->GetSize(), 5);
  conn_->Close();
  EXPECT_EQ(connectionsTo(server_->port()), 0);
}

TEST_F(ZtestPeer, ReadsTheServersSection) {
  // "name:port" reads [name] and ignores its port; "name" takes the section's port and IP.
  home_.server("127.0.0.1", {{"port", "1"}});
  EXPECT_EQ(connect(), 0);
  home_.server("catalogue", {{"IP", "127.0.0.1"}, {"port", std::to_string(server_->port())}});
  EXPECT_EQ(conn_->Connect(u"catalogue", u"000"), 0);
  EXPECT_EQ(conn_->SearchPqf(u"9")->GetSize(), 9);
  home_.server("nowhere", {{"IP", "127.0.0.1"}, {"port", std::to_string(closedPort())}});
  EXPECT_EQ(conn_->Connect(u"nowhere", u""), 10000);
}

TEST_F(ZtestPeer, OptionsAreKeptOnTheOptionSet) {
  EXPECT_EQ(conn_->GetOption(u"user"), u"");
  conn_->SetOption(u"user", u"编目员");
  EXPECT_EQ(conn_->GetOption(u"user"), u"编目员");
  conn_->SetOptionLong(u"count", 5);
  EXPECT_EQ(conn_->GetOptionLong(u"count"), 5);
  EXPECT_EQ(conn_->GetOptionLong(u"missing"), 0);
  // Set before Connect and seen by the connection.
  conn_->SetOption(u"databaseName", u"Nope");
  ASSERT_EQ(connect(), 0);
  (void)conn_->SearchPqf(u"3");
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 109);
}

TEST_F(ZtestPeer, ConnectKeepsTheProxySettingsOfItsServer) {
  int proxyPort = closedPort();
  home_.server("Proxy",
               {{"hostname", "127.0.0.1"}, {"port", std::to_string(proxyPort)}, {"user", "cat"}, {"pass", "s3cret"}});
  home_.server("127.0.0.1", {{"proxy", "TRUE"}});
  // Nothing listens on the proxy's port: the connection fails rather than go direct.
  EXPECT_EQ(connect(), 10000);
  z3950::ProxyState p = z3950::proxyState();
  EXPECT_EQ(p.flag, 1);
  EXPECT_EQ(p.host, "127.0.0.1");
  EXPECT_EQ(p.port, proxyPort);
  EXPECT_EQ(p.user, "cat");
  EXPECT_EQ(p.password, "s3cret");
  home_.server("127.0.0.1", {{"proxy", "False"}});
  EXPECT_EQ(connect(), 0);
  EXPECT_EQ(z3950::proxyState().flag, 0);
}
