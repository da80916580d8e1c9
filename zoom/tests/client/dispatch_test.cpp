// The client as callers reach it: zoom.ZoomConn created by ProgID from the registered
// library, every method called late-bound through the dispatch wrappers.
#include "client_support.h"
#include "marc_fixture.h"

#include <com/create.h>
#include <com/drivers/ZoomDrivers.h>

using namespace ztest;

namespace {

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(qtest::run(std::string(QORVEL_REGSVR) + " '" + ZOOM_LIBRARY + "' >/dev/null 2>&1"), 0);
    com::CoInitialize(nullptr);
    ASSERT_TRUE(conn_.CreateDispatch(u"zoom.ZoomConn"));
    server_ = startYazZtest(dir_);
    ASSERT_TRUE(server_->running());
  }
  int32_t connect() { return conn_.Connect(u16(server_->hostText()), u""); }

  qtest::TempDir dir_;
  ClientHome home_;
  std::unique_ptr<ServerProcess> server_;
  CZoomConnDriver conn_;
};

}  // namespace

TEST_F(Dispatch, SearchesAndFetchesThroughTheWrappers) {
  home_.server("127.0.0.1", {{"Syntax", "usmarc"}});
  ASSERT_EQ(connect(), 0);
  EXPECT_EQ(conn_.GetOption(u"implementationName"), u"Corvane Quenlo 1.0");
  conn_.SetOptionLong(u"count", 0);
  EXPECT_EQ(conn_.GetOptionLong(u"count"), 0);

  CZoomRsDriver rs;
  rs.AttachDispatch(conn_.SearchPqf(u"@attr 1=4 5"));
  ASSERT_NE(rs.m_lpDispatch, nullptr);
  EXPECT_EQ(rs.GetSize(), 5);
  EXPECT_EQ(conn_.GetOptionLong(u"errno"), 0);

  CZoomRecDriver past;
  past.AttachDispatch(rs.GetRecord(5));
  ASSERT_NE(past.m_lpDispatch, nullptr) << "an empty record object, not a null one";
  EXPECT_EQ(conn_.GetOptionLong(u"errno"), 10010);
  EXPECT_EQ(past.GetXml(), u"");
  EXPECT_EQ(past.GetOIDs(), u"");

  CZoomRecDriver rec;
  rec.AttachDispatch(rs.GetRecord(0));
  EXPECT_EQ(conn_.GetOptionLong(u"errno"), 0);
  std::u16string xml = rec.GetXml();
  EXPECT_EQ(xml.substr(0, 14), u"FFFFFFFF<marc>");
  EXPECT_NE(rec.GetOIDs().find(u"<syntax>USmarc</syntax>"), std::u16string::npos);
  EXPECT_EQ(rec.AutoCvtEacc(0), 1);
  EXPECT_EQ(rec.AutoCvtEacc(1), 0);

  CZoomRecDriver brief;
  brief.AttachDispatch(rs.BriefRecord(1));
  rs.Delete();
  EXPECT_EQ(rs.GetSize(), 0);
  rs.ReleaseDispatch();
  conn_.Close();
  conn_.ReleaseDispatch();
  EXPECT_EQ(rec.GetXml(), xml) << "the record outlives its set and its connection";
  EXPECT_FALSE(brief.GetRender().empty());
}

TEST_F(Dispatch, AccessPointsErrorsAndMissingConnection) {
  CZoomRsDriver before;
  before.AttachDispatch(conn_.Search(u"", u"ISBN", u"7"));
  ASSERT_NE(before.m_lpDispatch, nullptr);
  EXPECT_EQ(before.GetSize(), 0);
  EXPECT_EQ(conn_.GetOptionLong(u"errno"), 10000) << "no connection yet";

  ASSERT_EQ(connect(), 0);
  CZoomRsDriver other;
  other.AttachDispatch(conn_.Search(u"Other", u"ISBN", u"7"));
  EXPECT_EQ(conn_.GetOptionLong(u"Errno"), 109);
  EXPECT_EQ(other.GetSize(), 0);

  conn_.SetOption(u"databaseName", u"Default");
  CZoomRsDriver bad;
  bad.AttachDispatch(conn_.SearchPqf(u"@and x"));
  EXPECT_EQ(conn_.GetOptionLong(u"errno"), 10010);
  EXPECT_EQ(bad.GetSize(), 0);

  CZoomRsDriver byName;
  byName.AttachDispatch(conn_.Search(u"", u"任意词", u"31"));
  EXPECT_EQ(byName.GetSize(), 31);
  EXPECT_EQ(conn_.GetOptionLong(u"errno"), 0);

  conn_.Close();
  conn_.Close();
  CZoomConnDriver refused;
  ASSERT_TRUE(refused.CreateDispatch(u"zoom.ZoomConn"));
  EXPECT_EQ(refused.Connect(u16("127.0.0.1:" + std::to_string(closedPort())), u""), 10000);
}

TEST_F(Dispatch, ObjectsMadeByTheirFactoriesAreEmpty) {
  CZoomRsDriver rs;
  ASSERT_TRUE(rs.CreateDispatch(u"zoom.ZoomRs"));
  EXPECT_EQ(rs.GetSize(), 0);
  CZoomRecDriver fromRs;
  fromRs.AttachDispatch(rs.GetRecord(0));
  ASSERT_NE(fromRs.m_lpDispatch, nullptr);
  EXPECT_EQ(fromRs.GetXml(), u"");
  rs.Delete();

  CZoomRecDriver rec;
  ASSERT_TRUE(rec.CreateDispatch(u"zoom.ZoomRec"));
  EXPECT_EQ(rec.AutoCvtEacc(0), 1);
  EXPECT_EQ(rec.GetXml(), u"");
  EXPECT_EQ(rec.GetRaw(), u"");
  EXPECT_EQ(rec.GetRender(), u"");
  EXPECT_EQ(rec.GetOIDs(), u"");
}
