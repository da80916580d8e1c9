// A record handed out by GetRecord keeps the library after its result set and connection go.
#include "server_library.h"
#include "ids.h"

#include <com/drivers/ZoomDrivers.h>

#include <platform/text.h>

#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#ifdef ZOOM_FRAME_WITH_SERVER
#include "server_process.h"

namespace {

TEST(ZoomLifetime, HandedOutRecordHoldsTheLibrary) {
  qtest::TempDir dir;
  qtest::TempHome home;
  ztest::ServerProcess server("yaz-ztest", {"-S"}, dir / "ztest.log");
  ASSERT_TRUE(server.running());
  ZoomLibrary& lib = ZoomLibrary::get();
  ASSERT_EQ(lib.canUnloadNow(), com::S_OK);

  CZoomRecDriver rec;
  {
    CZoomConnDriver conn;
    conn.AttachDispatch(lib.create(zoom::CLSID_ZoomConn).detach());
    ASSERT_EQ(conn.Connect(platform::fromUtf8(server.hostText()), u""), 0);
    CZoomRsDriver rs;
    rs.AttachDispatch(conn.SearchPqf(u"3"));
    ASSERT_NE(rs.m_lpDispatch, nullptr);
    ASSERT_EQ(rs.GetSize(), 3);
    rec.AttachDispatch(rs.GetRecord(0));
    ASSERT_NE(rec.m_lpDispatch, nullptr);
    conn.Close();
  }  // the result set and the connection are released here
  EXPECT_EQ(lib.canUnloadNow(), com::S_FALSE);
  EXPECT_FALSE(rec.GetXml().empty());
  rec.ReleaseDispatch();
  EXPECT_EQ(lib.canUnloadNow(), com::S_OK);
}

}  // namespace
#endif
