// The connection engine against the tests' own server, which serves fixture records byte for
// byte and writes down every request.
#include "client_support.h"
#include "marc_fixture.h"

#include "z3950/connection.h"
#include "z3950/result_set.h"

#include <platform/codepage.h>

using namespace ztest;
using z3950::Connection;

namespace {

const std::string kGbkChinese = "\xD6\xD0\xCE\xC4";          // 中文
const std::string kUtf8Chinese = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文

class FixturePeer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(records());
    server_ = std::make_unique<ServerProcess>(
        ZOOM_FIXTURE_SERVER, std::vector<std::string>{records().string(), (dir_ / "requests.log").string(), "-S"},
        dir_ / "front.log");
    ASSERT_TRUE(server_->running());
    conn_ = Connection::create(home_.zoomXml());
  }
  std::filesystem::path records() const { return dir_ / "records"; }
  /// \brief The records the next search finds, in this order.
  void serve(const std::vector<std::string>& recs) {
    std::filesystem::remove_all(records());
    std::filesystem::create_directories(records());
    for (size_t i = 0; i < recs.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "%04zu.mrc", i);
      qtest::writeFile(records() / name, recs[i]);
    }
  }
  std::string requests() const { return qtest::readFile(dir_ / "requests.log"); }
  int32_t connect() { return conn_->Connect(u16(server_->hostText()), u""); }
  /// \brief GetXml of every record that a search finds.
  std::vector<std::u16string> fetchAll(int32_t autoEacc = 1) {
    std::vector<std::u16string> texts;
    auto rs = conn_->SearchPqf(u"any");
    for (int32_t i = 0; i < rs->GetSize(); ++i) {
      std::unique_ptr<z3950::Record> rec = rs->GetRecord(i);
      EXPECT_FALSE(rec->empty()) << "record " << i;
      rec->AutoCvtEacc(autoEacc);
      texts.push_back(rec->GetXml());
    }
    return texts;
  }

  qtest::TempDir dir_;
  ClientHome home_;
  std::unique_ptr<ServerProcess> server_;
  std::shared_ptr<Connection> conn_;
};

bool contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }
bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(FixturePeer, SendsTheMappedQueryTheSyntaxAndItsName) {
  home_.server("127.0.0.1", {{"Syntax", "usmarc"}});
  serve({isoRecord({{"001", "r1"}})});
  ASSERT_EQ(connect(), 0);
  EXPECT_EQ(conn_->Search(u"Books", u"正题名", u"数据\"挖掘\"")->GetSize(), 1);  // found by comment
  EXPECT_EQ(conn_->Search(u"", u"isbn", u"7-111")->GetSize(), 1);              // found by uni_name
  EXPECT_EQ(conn_->Search(u"", u"IS\"BN", u"7-222")->GetSize(), 1);            // a quote finds nothing
  EXPECT_EQ(conn_->GetOptionLong(u"errno"), 0);
  (void)conn_->SearchPqf(u"x")->GetRecord(0);

  std::string log = requests();
  std::string gbkTerm = platform::toNarrow(platform::CP_ACP, u"数据挖掘");
  EXPECT_TRUE(contains(log, "search Books RPN @attrset Bib-1 @attr 1=4 " + gbkTerm + "\n")) << log;
  EXPECT_TRUE(contains(log, "search Books RPN @attrset Bib-1 @attr 1=7 7-111\n")) << log;
  EXPECT_TRUE(contains(log, "search Books RPN @attrset Bib-1 7-222\n")) << log;
  EXPECT_TRUE(contains(log, "fetch 1 USmarc F\n")) << log;
  EXPECT_TRUE(contains(server_->log(), "Name:Corvane Quenlo 1.0/")) << server_->log();
}

TEST_F(FixturePeer, QueriesGoInTheServersCharacterSet) {
  struct Case {
    const char* charset;
    int codePage;
  } cases[] = {{"utf8", platform::CP_UTF8}, {"UTF-8", platform::CP_ACP}, {"GBK", platform::CP_ACP}};
  serve({});
  for (const Case& c : cases) {
    home_.server("127.0.0.1", {{"Charset", c.charset}});
    ASSERT_EQ(connect(), 0);
    (void)conn_->Search(u"", u"题名", u"中文");
    std::string term = platform::toNarrow(c.codePage, u"中文");
    EXPECT_TRUE(contains(requests(), "@attr 1=4 " + term + "\n")) << c.charset;
    std::filesystem::remove(dir_ / "requests.log");
  }
}

TEST_F(FixturePeer, DecodesEachKindOfRecord) {
  std::string eng = isoRecord({{"008", field008("eng")},
                               {"245", df('a', "Caf\xE2")},
                               {"880", df('a', kGbkChinese)}});
  std::string chi = eng;
  chi.replace(chi.find(field008("eng")) + 35, 3, "chi");
  serve({
      isoRecord({{"001", "gbk"}, {"200", df('a', kGbkChinese + "\xCA\xE9")}}),  // 中文书
      isoRecord({{"001", "utf8"}, {"200", df('a', kUtf8Chinese)}}),
      eng,
      chi,
      isoRecord({{"245", df('a', "\x1B$1!0#!0$\x1B(B")}}),
      isoRecord({{"245", df('a', "\x1B$$1!0#\x1B((B")}}),
      isoRecord({{"245", df('a', "M\xE8uller \x1B$1!0#")}, {"500", df('a', "\xE8u")}}),
  });
  ASSERT_EQ(connect(), 0);
  std::vector<std::u16string> xml = fetchAll();
  ASSERT_EQ(xml.size(), 7u);
  for (const std::u16string& x : xml) {
    EXPECT_EQ(x.substr(0, 22), u"FFFFFFFF<marc><header>");
    EXPECT_EQ(x.substr(x.size() - 7), u"</marc>");
  }
  EXPECT_EQ(xml[0], u"FFFFFFFF<marc><header>00065nam\x11\x11" u"2200049\x11\x11\x11" u"4500</header>"
                    u"<field name=\"001\">gbk</field><field name=\"200\" indicator=\"\x11\x11\">"
                    u"<sf name=\"a\">中文书</sf></field></marc>");
  EXPECT_TRUE(contains(xml[1], u"中文"));
  EXPECT_TRUE(contains(xml[2], u"Caf\u00E2")) << "245 of an English record read as ISO 8859-1";
  EXPECT_TRUE(contains(xml[2], u"中文")) << "its 880 in the ANSI code page";
  EXPECT_FALSE(contains(xml[3], u"Caf\u00E2")) << "a Chinese record is read whole as GBK";
  EXPECT_TRUE(contains(xml[4], u"\u4E03\u4E09"));
  EXPECT_FALSE(contains(xml[4], u"\x1B"));
  EXPECT_TRUE(contains(xml[5], u"\u4E03"));
  // A start marker without an end marker leaves the rest of its field as sent.
  EXPECT_TRUE(contains(xml[6], u"\x1B$1!0#"));
  EXPECT_TRUE(contains(xml[6], u"\u00FC")) << "E8 75 outside segments becomes U+00FC";

  std::vector<std::u16string> kept = fetchAll(0);
  EXPECT_TRUE(contains(kept[4], u"\x1B$1!0#!0$\x1B(B")) << "AutoCvtEacc(0) keeps the escapes";
}

TEST_F(FixturePeer, TruncatedMalformedAndLargeRecordsStayInside) {
  std::string good = isoRecord({{"008", field008("eng")}, {"245", df('a', "Caf\xE2")}, {"500", df('a', "note")}});
  std::string farStart = good;
  farStart.replace(24 + 7, 5, "99999");
  std::string badLength = good;
  badLength.replace(24 + 3, 4, "9999");
  std::vector<MarcField> big{{"008", field008("eng")}};
  for (int i = 0; i < 30; ++i) big.push_back({"500", df('a', std::string(9000, 'x') + "\xE2")});
  std::vector<MarcField> bigUtf8{{"001", "u"}};
  for (int i = 0; i < 30; ++i) bigUtf8.push_back({"500", df('a', std::string(3000, 'y') + kUtf8Chinese)});
  std::vector<std::string> recs{
      good.substr(0, 10),                          // inside the leader
      good.substr(0, 30),                          // inside the directory
      good.substr(0, good.find("Caf") + 2),        // inside the data
      good.substr(0, good.size() - 1),             // no record terminator
      farStart,                                    // 008 beyond the record
      badLength,                                   // a directory length that lies
      std::string(24, '0') + std::string(600, '\x1E'),  // directory made of terminators
      isoRecord({{"245", df('a', "abc\xE4\xB8")}}),     // UTF-8 sequence cut
      isoRecord({{"245", df('a', std::string("\x00\x01\x1A", 3) + "z")}}),
      isoRecord(big),
      isoRecord(bigUtf8),
  };
  serve(recs);
  ASSERT_EQ(connect(), 0);
  std::vector<std::u16string> xml = fetchAll();
  ASSERT_EQ(xml.size(), recs.size());
  // Ten bytes are not even a leader: no record text.
  EXPECT_EQ(xml[0], u"");
  for (size_t i = 1; i < xml.size(); ++i) {
    EXPECT_EQ(xml[i].substr(0, 14), u"FFFFFFFF<marc>") << i;
    EXPECT_EQ(xml[i].substr(xml[i].size() - 7), u"</marc>") << i;
  }
  EXPECT_GT(recs[9].size(), 200000u);
  EXPECT_TRUE(contains(xml[10], u"中文"));
  EXPECT_TRUE(contains(xml[3], u"Caf\u00E2"));
}

TEST_F(FixturePeer, RawRenderAndOidsOfAFixture) {
  home_.server("127.0.0.1", {{"Syntax", "unimarc"}});
  std::string rec = isoRecord({{"001", "raw1"}, {"200", df('a', kGbkChinese + " \x1B$1!0#\x1B(B")}});
  serve({rec});
  ASSERT_EQ(connect(), 0);
  std::unique_ptr<z3950::Record> r = conn_->SearchPqf(u"x")->GetRecord(0);
  ASSERT_FALSE(r->empty());
  std::u16string raw = r->GetRaw();
  EXPECT_TRUE(contains(raw, u"中文 \u4E03\x1E"));
  EXPECT_EQ(r->AutoCvtEacc(0), 1);
  EXPECT_EQ(r->GetRaw(), platform::toWide(platform::CP_ACP, rec));
  EXPECT_EQ(r->GetOIDs(), u"<OIDs><database>Default</database><syntax>Unimarc</syntax><oid>1.2.840.10003.5.1</oid></OIDs>");
  EXPECT_TRUE(contains(requests(), "fetch 1 Unimarc F\n"));
}
