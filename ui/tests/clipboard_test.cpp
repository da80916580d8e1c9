#include <ui/clipboard.h>
#include <ui/win.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(Clipboard, TextRoundTripsAndFormatsMapToMime) {
  EXPECT_EQ(ui::mimeOfFormat(ui::CF_UNICODETEXT), QStringLiteral("text/plain"));
  EXPECT_EQ(ui::mimeOfFormat(ui::CF_HDROP), QStringLiteral("text/uri-list"));
  EXPECT_TRUE(ui::mimeOfFormat(49999).isEmpty());

  ui::setClipboardText(QStringLiteral("题名\x11Ti ming"));
  EXPECT_TRUE(ui::clipboardHas(ui::CF_UNICODETEXT));
  EXPECT_FALSE(ui::clipboardHas(ui::CF_HDROP));
  EXPECT_EQ(ui::clipboardText(), QStringLiteral("题名\x11Ti ming"));

  ui::setClipboardData(QStringLiteral("text/uri-list"), QByteArray("file:///tmp/a.mrc\r\n"));
  EXPECT_TRUE(ui::clipboardHas(ui::CF_HDROP));
  EXPECT_EQ(ui::clipboardData(QStringLiteral("text/uri-list")), QByteArray("file:///tmp/a.mrc\r\n"));
}

TEST(Clipboard, CallsFromAnotherThreadAreCarriedToTheGuiThread) {
  std::atomic<bool> done{false};
  QString seen;
  std::thread t([&] {
    ui::setClipboardText(QStringLiteral("来自线程"));
    seen = ui::clipboardText();
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  t.join();
  EXPECT_EQ(seen, QStringLiteral("来自线程"));
  EXPECT_EQ(ui::clipboardText(), QStringLiteral("来自线程"));
}

}  // namespace
