// Barcode input: a scan arriving on the first serial port (a pty pair) reaches the editor.
#include "viewer_support.h"

#include <qorvel_testing/pty_port.h>
#include <ui/dialog.h>

using namespace scrivo_test;

TEST_F(ViewerTest, AScannedRecordReachesTheEditor) {
  qtest::PtyPort port(1);
  start();
  dlg->OnReadBarcode();
  EXPECT_EQ(ui::controlText(dlg.get(), CViewerDlg::IDC_BARCODE), QStringLiteral("停止读二维码"));
  // The scanner sends the record in the ANSI code page; a scan is at least 100 bytes.
  const std::string scan = isoRecord(u"scan-0001", u"二维码书目" + u16(60, u'x'), 0);
  ASSERT_GE(scan.size(), 100u);
  ASSERT_TRUE(port.write(scan));
  EXPECT_TRUE(waitFor([&] { return shows(u"二维码书目" + u16(60, u'x')); })) << platform::toUtf8(shown());
  const termios t = port.settings();
  EXPECT_EQ(cfgetispeed(&t), speed_t(B9600));

  dlg->OnReadBarcode();
  EXPECT_EQ(ui::controlText(dlg.get(), CViewerDlg::IDC_BARCODE), QStringLiteral("读二维码书目"));
  EXPECT_TRUE(takeMessages().empty());
}

TEST_F(ViewerTest, APortThatCannotBeOpenedIsTriedAgainOnTheNextPress) {
  qtest::TempDir dir;
  setenv("QORVEL_COM1", (dir / "no-such-port").c_str(), 1);
  start();
  for (int press = 0; press < 2; ++press) {
    dlg->OnReadBarcode();
    EXPECT_EQ(ui::controlText(dlg.get(), CViewerDlg::IDC_BARCODE), QStringLiteral("停止读二维码")) << press;
  }
  unsetenv("QORVEL_COM1");
  EXPECT_TRUE(takeMessages().empty());
}
