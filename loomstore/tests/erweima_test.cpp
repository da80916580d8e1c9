#include <loomstore/Erweima.h>

#include <platform/codepage.h>
#include <platform/serial.h>
#include <platform/text.h>
#include <qorvel_testing/pty_port.h>
#include <ui/clipboard.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using platform::u16;
using qtest::PtyPort;

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string digits(size_t value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*zu", width, value);
  return buf;
}

// One ISO 2709 record of the given fields (tag, data without terminator), in the bytes given.
std::string isoRecord(const Fields& fields) {
  std::string directory, data;
  for (const auto& [tag, text] : fields) {
    directory += tag + digits(text.size() + 1, 4) + digits(data.size(), 5);
    data += text + "\x1e";
  }
  const size_t base = 24 + directory.size() + 1;
  const size_t length = base + data.size() + 1;
  return digits(length, 5) + "nam  22" + digits(base, 5) + "   450 " + directory + "\x1e" + data + "\x1d";
}

std::string gbk(const char16_t* text) { return platform::toNarrow(platform::CP_ACP, text); }

// A record of exactly `size` bytes: 001, then 200$a and 300$a padded with "x" (a field
// holds at most 9,999 bytes).
constexpr size_t kFirstPad = 5000;
size_t paddingOf(size_t size) {
  return size - isoRecord({{"001", "0001"}, {"200", "1 \x1f" "a"}, {"300", "1 \x1f" "a"}}).size();
}
std::string recordOfSize(size_t size) {
  const size_t pad = paddingOf(size), first = std::min(pad, kFirstPad);
  return isoRecord({{"001", "0001"},
                    {"200", "1 \x1f" "a" + std::string(first, 'x')},
                    {"300", "1 \x1f" "a" + std::string(pad - first, 'x')}});
}
// The end of the record text of recordOfSize(size): both padded fields whole.
u16 paddedEnd(size_t size) {
  const size_t pad = paddingOf(size), first = std::min(pad, kFirstPad);
  return u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">" + u16(first, u'x') +
         u"</sf></field><field name=\"300\" indicator=\"1\u0011\"><sf name=\"a\">" + u16(pad - first, u'x') +
         u"</sf></field></marc>";
}

void runEventsFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Writes the leader of `iso` as the internal record text stores it (blanks as U+0011).
u16 storedLeader(const std::string& iso) {
  u16 leader = platform::fromUtf8(iso.substr(0, 24));
  for (char16_t& c : leader)
    if (c == u' ') c = 0x11;
  return leader;
}

// A scan after the reader's 500 ms gap has ended the read before it.
void afterGap() { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); }

// Runs the GUI thread's events until `done` holds (false after a generous limit).
bool waitUntil(const std::function<bool()>& done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Writes more bytes than the terminal buffers: the write runs beside this (GUI) thread, which
// keeps running its events, so that a paste the reader sends meanwhile cannot block the write.
bool feed(const PtyPort& pty, const std::string& bytes) {
  std::atomic<int> state{0};  // 0 writing, 1 written, 2 failed
  std::thread writer([&] { state = pty.write(bytes) ? 1 : 2; });
  while (state == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  writer.join();
  return state == 1;
}

// A window that records the clipboard's text at each WM_PASTE it is sent.
class PasteWindow {
 public:
  PasteWindow() {
    ui::onMessages(&object_, [this](uint32_t message, ui::WPARAM w, ui::LPARAM l) -> ui::LRESULT {
      if (message != ui::WM_PASTE) return 0;
      EXPECT_EQ(w, 0u);
      EXPECT_EQ(l, 0);
      pastes.push_back(ui::toU16(ui::clipboardText()));
      if (onPaste) onPaste();
      return 0;
    });
  }
  ui::HWND handle() { return ui::handleOf(&object_); }
  bool waitForPastes(size_t n) {
    return waitUntil([&] { return pastes.size() >= n; });
  }

  std::vector<u16> pastes;
  std::function<void()> onPaste;

 private:
  QObject object_;
};

const std::string kChinese = isoRecord({{"001", "CAL 0001"},
                                        {"010", "  \x1f" "a7-5013-0001-2"},
                                        {"200", "1 \x1f" "a" + gbk(u"中文题名<&>") + "\x1f" "f" + gbk(u"著者")},
                                        {"210", "  \x1f" "a" + gbk(u"北京") + "\x1f" "c" + gbk(u"出版社") + "\x1f" "d2024"}});

}  // namespace

TEST(Erweima, ScanBecomesInternalRecordTextOnTheClipboard) {
  ASSERT_GE(kChinese.size(), 100u);
  PtyPort pty;
  PasteWindow window;
  CErweima reader;
  reader.SetWindow(window.handle());
  reader.Catalog(0, 9600);
  ASSERT_TRUE(pty.write(kChinese));
  ASSERT_TRUE(window.waitForPastes(1));
  EXPECT_EQ(window.pastes[0],
            u"<marc><header>" + storedLeader(kChinese) +
                u"</header><field name=\"001\">CAL\u00110001</field>"
                u"<field name=\"010\" indicator=\"\u0011\u0011\"><sf name=\"a\">7-5013-0001-2</sf></field>"
                u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">中文题名\u0013\u0012\u0014</sf>"
                u"<sf name=\"f\">著者</sf></field>"
                u"<field name=\"210\" indicator=\"\u0011\u0011\"><sf name=\"a\">北京</sf><sf name=\"c\">出版社</sf>"
                u"<sf name=\"d\">2024</sf></field></marc>");
  reader.Stop();
}

TEST(Erweima, OpensTheGivenPortPlusOneRawAtTheBaudRate) {
  PtyPort com1(1), com2(2);
  CErweima reader;
  reader.Catalog(1, 19200);
  termios t = com2.settings();
  EXPECT_EQ(cfgetispeed(&t), speed_t(B19200));
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(t.c_lflag & ICANON, 0u);
  platform::SerialPort probe;
  EXPECT_FALSE(probe.Open(u"COM2")) << "the reader holds COM2";
  EXPECT_TRUE(probe.Open(u"COM1")) << "and leaves COM1 alone";
  reader.Stop();
}

TEST(Erweima, ReadsOutsideOneHundredToOneByteBelowTheBufferAreDropped) {
  PtyPort pty;
  PasteWindow window;
  CErweima reader;
  reader.SetWindow(window.handle());
  reader.Catalog(0, 9600);

  const std::string r99 = recordOfSize(99), r100 = recordOfSize(100);
  ASSERT_EQ(r99.size(), 99u);
  ASSERT_EQ(recordOfSize(10240).size(), 10240u);
  ASSERT_TRUE(pty.write(r99));
  afterGap();
  ASSERT_TRUE(pty.write(r100));
  ASSERT_TRUE(window.waitForPastes(1));
  EXPECT_EQ(window.pastes[0].rfind(u"<marc><header>" + storedLeader(r100), 0), 0u);
  EXPECT_TRUE(window.pastes[0].ends_with(paddedEnd(100)));

  // A whole read buffer is no scan; one byte less is, and its text, longer than the read
  // buffer, comes whole.
  ASSERT_TRUE(feed(pty, recordOfSize(10240)));
  afterGap();
  const std::string r10239 = recordOfSize(10239);
  ASSERT_TRUE(feed(pty, r10239));
  ASSERT_TRUE(window.waitForPastes(2));
  EXPECT_EQ(window.pastes[1].rfind(u"<marc><header>" + storedLeader(r10239), 0), 0u);
  EXPECT_TRUE(window.pastes[1].ends_with(paddedEnd(10239)));
  EXPECT_GT(window.pastes[1].size(), 10240u);

  // Bytes that hold no record directory (some other barcode) are no scan either.
  ASSERT_TRUE(pty.write("http://example.org/" + std::string(200, 'q')));
  afterGap();
  ASSERT_TRUE(pty.write(kChinese));
  ASSERT_TRUE(window.waitForPastes(3));
  EXPECT_EQ(window.pastes[2].rfind(u"<marc><header>" + storedLeader(kChinese), 0), 0u);
  EXPECT_EQ(window.pastes.size(), 3u);
  reader.Stop();
}

TEST(Erweima, ScansWithoutATargetWindowAreReadAndDropped) {
  PtyPort pty;
  PasteWindow window;
  CErweima reader;
  reader.Catalog(0, 9600);
  ASSERT_TRUE(pty.write(recordOfSize(150)));
  afterGap();
  reader.SetWindow(window.handle());
  ASSERT_TRUE(pty.write(kChinese));
  ASSERT_TRUE(window.waitForPastes(1));
  EXPECT_EQ(window.pastes[0].rfind(u"<marc><header>" + storedLeader(kChinese), 0), 0u);
  EXPECT_EQ(window.pastes.size(), 1u);
}

TEST(Erweima, SecondCatalogWhileReadingChangesNothing) {
  PtyPort com1(1), com2(2);
  PasteWindow window;
  CErweima reader;
  reader.SetWindow(window.handle());
  reader.Catalog(0, 9600);
  reader.Catalog(1, 9600);
  ASSERT_TRUE(com2.write(recordOfSize(150)));
  ASSERT_TRUE(com1.write(kChinese));
  ASSERT_TRUE(window.waitForPastes(1));
  EXPECT_EQ(window.pastes[0].rfind(u"<marc><header>" + storedLeader(kChinese), 0), 0u);
  reader.Stop();
}

TEST(Erweima, PortThatCannotBeSetUpIsSilentAndLeavesTheReaderIdle) {
  PtyPort pty;
  PasteWindow window;
  CErweima reader;
  reader.SetWindow(window.handle());
  reader.Catalog(0, 12345);  // no such speed
  reader.Catalog(-1, 9600);  // COM0
  reader.Catalog(2147483647, 9600);
  reader.Stop();  // nothing to stop
  reader.Catalog(0, 9600);  // the port is free again, and this one takes
  ASSERT_TRUE(pty.write(kChinese));
  ASSERT_TRUE(window.waitForPastes(1));
  EXPECT_EQ(window.pastes.size(), 1u);
}

TEST(Erweima, StopEndsTheReaderWhereverItWaits) {
  PtyPort pty;
  PasteWindow window;
  {
    CErweima idle;
    idle.Catalog(0, 9600);
  }  // waiting for bytes: the destructor stops it

  CErweima reader;
  reader.SetWindow(window.handle());
  reader.Catalog(0, 9600);
  ASSERT_TRUE(pty.write(kChinese));
  // The scan is read and waits for this (GUI) thread, which does not run its events.
  afterGap();
  reader.Stop();
  runEventsFor(300);
  EXPECT_TRUE(window.pastes.empty()) << "a stopped reader pastes nothing";

  // The target window stays set across Stop.
  reader.Catalog(0, 9600);
  ASSERT_TRUE(pty.write(kChinese));
  ASSERT_TRUE(window.waitForPastes(1));
  reader.Stop();
  reader.Stop();
}

TEST(Erweima, StopFromThePasteHandler) {
  PtyPort pty;
  PasteWindow window;
  auto reader = std::make_unique<CErweima>();
  window.onPaste = [&] { reader.reset(); };
  reader->SetWindow(window.handle());
  reader->Catalog(0, 9600);
  ASSERT_TRUE(pty.write(kChinese));
  ASSERT_TRUE(window.waitForPastes(1));
  EXPECT_EQ(reader, nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
