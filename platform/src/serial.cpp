// Serial ports: the Windows port names mapped to devices, termios for the line state and a
// poll() loop for the read time-outs.
#include <platform/serial.h>

#include <platform/text.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// The speeds termios names; Windows drivers take others too, ours refuse them.
speed_t speedOf(uint32_t baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    default: return B0;
  }
}

tcflag_t sizeFlag(int byteSize) {
  switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    case 8: return CS8;
    default: return 0;
  }
}

// Milliseconds left until `t`, rounded up so that poll never wakes just short of it.
int msUntil(Clock::time_point t) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(t - Clock::now()).count();
  return int(std::clamp<long long>(left, 0, 1 << 30));
}

}  // namespace

std::string serialDevice(std::u16string_view name) {
  if (name.size() < 4 || !equalsNoCase(name.substr(0, 3), u"COM")) return {};
  std::u16string_view digits = name.substr(3);
  if (digits.size() > 9 || digits[0] == u'0') return {};
  long n = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return {};
    n = n * 10 + (c - u'0');
  }
  std::string var = "QORVEL_COM" + std::to_string(n);
  if (const char* dev = std::getenv(var.c_str()); dev && *dev) return dev;
  return "/dev/ttyS" + std::to_string(n - 1);
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(std::u16string_view name) {
  if (IsOpen()) return false;
  std::string device = serialDevice(name);
  if (device.empty()) return false;
  int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios t{};
  // A port is never shared: the lock keeps out every other opener, the superuser included,
  // which TIOCEXCL alone would not.
  if (!isatty(fd) || tcgetattr(fd, &t) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  wake_ = wake;
  timeouts_ = {};
  return true;
}

void SerialPort::Close() {
  if (fd_ >= 0) ::close(fd_);
  if (wake_ >= 0) ::close(wake_);
  fd_ = wake_ = -1;
}

bool SerialPort::SetState(const SerialState& s) {
  if (!IsOpen()) return false;
  speed_t speed = speedOf(s.baudRate);
  tcflag_t size = sizeFlag(s.byteSize);
  if (speed == B0 || size == 0) return false;
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | INPCK | PARMRK | ISTRIP);
  t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= size | CLOCAL | CREAD;
  if (s.parity != SerialState::NoParity) {
    t.c_cflag |= PARENB;
    if (s.parity == SerialState::OddParity) t.c_cflag |= PARODD;
  }
  if (s.stopBits == SerialState::TwoStopBits) t.c_cflag |= CSTOPB;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;
  return tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  if (!IsOpen()) return false;
  timeouts_ = timeouts;
  return true;
}

void SerialPort::Wake() {
  if (wake_ < 0) return;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
}

bool SerialPort::IsWoken() const { return WaitForWake(0); }

bool SerialPort::WaitForWake(uint32_t timeoutMs) const {
  if (wake_ < 0) return false;
  pollfd p{wake_, POLLIN, 0};
  for (;;) {
    int r = ::poll(&p, 1, int(std::min<uint32_t>(timeoutMs, 1u << 30)));
    if (r < 0 && errno == EINTR) continue;
    return r > 0 && (p.revents & POLLIN);
  }
}

bool SerialPort::Read(void* buffer, uint32_t size, uint32_t& got) {
  got = 0;
  if (!IsOpen() || (!buffer && size)) return false;
  if (size == 0) return true;
  const auto start = Clock::now();
  const uint64_t totalMs = uint64_t(timeouts_.readTotalMultiplier) * size + timeouts_.readTotalConstant;
  const bool hasTotal = totalMs > 0;
  const auto deadline = start + std::chrono::milliseconds(totalMs);
  const auto interval = std::chrono::milliseconds(timeouts_.readInterval);
  auto lastByte = start;
  auto* out = static_cast<unsigned char*>(buffer);

  while (got < size) {
    int wait = -1;
    if (hasTotal) {
      if (Clock::now() >= deadline) break;
      wait = msUntil(deadline);
    }
    // The gap between bytes is timed only once the first byte has come.
    if (got > 0 && timeouts_.readInterval > 0) {
      auto gapEnd = lastByte + interval;
      if (Clock::now() >= gapEnd) break;
      int gap = msUntil(gapEnd);
      wait = wait < 0 ? gap : std::min(wait, gap);
    }
    pollfd p[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
    int r = ::poll(p, 2, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (p[1].revents & POLLIN) {
      errno = ECANCELED;
      return false;
    }
    if (r == 0) continue;
    if (p[0].revents & POLLIN) {
      ssize_t n = ::read(fd_, out + got, size - got);
      if (n > 0) {
        got += uint32_t(n);
        lastByte = Clock::now();
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return false;  // end of input: the line hung up
    }
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
  }
  return true;
}

}  // namespace platform
