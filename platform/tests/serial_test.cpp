#include <platform/serial.h>
#include <platform/text.h>

#include <qorvel_testing/pty_port.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

using namespace platform;

using qtest::PtyPort;

TEST(SerialDevice, WindowsNamesMapToDevices) {
  PtyPort pty(7);
  setenv("QORVEL_COM1", "", 1);  // empty: the default device
  struct Case {
    const char16_t* name;
    std::string device;
  } cases[] = {
      {u"COM7", pty.path()},     {u"com7", pty.path()}, {u"COM1", "/dev/ttyS0"}, {u"COM3", "/dev/ttyS2"},
      {u"Com12", "/dev/ttyS11"}, {u"COM0", ""},         {u"COM01", ""},          {u"COM", ""},
      {u"COM2x", ""},            {u"LPT1", ""},         {u"", ""},               {u"COM12345678901", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(serialDevice(c.name), c.device) << toUtf8(c.name);
  unsetenv("QORVEL_COM1");
}

TEST(SerialPort, OpensOnlyExistingTerminalsAndNeverTwice) {
  qtest::TempDir dir;
  qtest::writeFile(dir / "plain", "not a terminal");
  SerialPort port;
  setenv("QORVEL_COM5", (dir / "missing").c_str(), 1);
  EXPECT_FALSE(port.Open(u"COM5"));
  setenv("QORVEL_COM5", (dir / "plain").c_str(), 1);
  EXPECT_FALSE(port.Open(u"COM5"));
  EXPECT_FALSE(port.Open(u"PRN"));
  unsetenv("QORVEL_COM5");

  PtyPort pty;
  ASSERT_TRUE(port.Open(u"COM1"));
  SerialPort other;
  EXPECT_FALSE(other.Open(u"COM1")) << "a port is not shared";
  port.Close();
  EXPECT_TRUE(other.Open(u"COM1"));
}

TEST(SerialPort, StateSetsRawEightBitLine) {
  PtyPort pty;
  SerialPort port;
  ASSERT_TRUE(port.Open(u"COM1"));
  ASSERT_TRUE(port.SetState({9600, 8, SerialState::NoParity, SerialState::OneStopBit}));
  termios t = pty.settings();
  EXPECT_EQ(cfgetispeed(&t), speed_t(B9600));
  EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | ICRNL), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);

  EXPECT_FALSE(port.SetState({12345}));  // no such speed: nothing changes
  EXPECT_FALSE(port.SetState({9600, 9}));
  t = pty.settings();
  EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));

  // A pseudo-terminal keeps its own character size and stop bits; the speed it takes.
  ASSERT_TRUE(port.SetState({115200, 7, SerialState::EvenParity, SerialState::TwoStopBits}));
  t = pty.settings();
  EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
}

TEST(SerialPort, ReadEndsAtCountGapOrTotalTime) {
  PtyPort pty;
  SerialPort port;
  ASSERT_TRUE(port.Open(u"COM1"));
  ASSERT_TRUE(port.SetState({9600}));
  ASSERT_TRUE(port.SetTimeouts({50, 0, 0}));
  char buf[64] = {};
  uint32_t got = 99;

  // Bytes that are not text in a terminal's sense (XON, XOFF, CR, interrupt) pass unchanged.
  const std::string bytes = std::string("\x11\x13\r\n\x03\x1d\x1e\x1f", 8) + "0123456789ABCDEFGHIJKL";
  ASSERT_TRUE(pty.write(bytes));
  ASSERT_TRUE(port.Read(buf, 10, got));
  EXPECT_EQ(got, 10u);
  EXPECT_EQ(std::string(buf, got), bytes.substr(0, 10));
  // The rest comes by the gap after the last byte.
  ASSERT_TRUE(port.Read(buf, sizeof buf, got));
  EXPECT_EQ(std::string(buf, got), bytes.substr(10));

  // Nothing comes: the total time ends the read with no bytes.
  ASSERT_TRUE(port.SetTimeouts({50, 1, 5}));
  ASSERT_TRUE(port.Read(buf, 10, got));
  EXPECT_EQ(got, 0u);
}

TEST(SerialPort, WakeEndsAReadThatWouldWaitForEver) {
  PtyPort pty;
  SerialPort port;
  ASSERT_TRUE(port.Open(u"COM1"));
  ASSERT_TRUE(port.SetTimeouts({}));
  EXPECT_FALSE(port.IsWoken());
  bool ok = true;
  uint32_t got = 1;
  std::thread reader([&] {
    char buf[16];
    ok = port.Read(buf, sizeof buf, got);
  });
  port.Wake();
  reader.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(port.IsWoken());
  EXPECT_TRUE(port.WaitForWake(0));
  char buf[4];
  EXPECT_FALSE(port.Read(buf, sizeof buf, got)) << "woken stays woken";
}

TEST(SerialPort, HangUpFailsTheRead) {
  PtyPort pty;
  SerialPort port;
  ASSERT_TRUE(port.Open(u"COM1"));
  ASSERT_TRUE(port.SetTimeouts({50, 0, 0}));
  pty.closeMaster();
  char buf[16];
  uint32_t got = 0;
  EXPECT_FALSE(port.Read(buf, sizeof buf, got));
}
