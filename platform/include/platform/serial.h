// Serial ports in the role of the Windows communications functions: a port is opened by its
// Windows name ("COM1", "COM2", ...), set up with a line state and read with the Windows
// time-outs (a gap between bytes and a total time for the whole read).
#pragma once

#include <platform/export.h>

#include <cstdint>
#include <string>
#include <string_view>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

/// The line settings the suite uses (the DCB fields it sets).
struct SerialState {
  enum Parity { NoParity, OddParity, EvenParity };
  enum StopBits { OneStopBit, TwoStopBits };
  uint32_t baudRate = 9600;
  int byteSize = 8;  // 5 to 8
  Parity parity = NoParity;
  StopBits stopBits = OneStopBit;
};

/// The read time-outs of COMMTIMEOUTS, in milliseconds. A read ends when it has all the bytes
/// asked for, when `readInterval` (non-zero) passes after a byte without another one, or when
/// `readTotalMultiplier` x bytes asked + `readTotalConstant` (when not both zero) has passed
/// since it began.
struct SerialTimeouts {
  uint32_t readInterval = 0;
  uint32_t readTotalMultiplier = 0;
  uint32_t readTotalConstant = 0;
};

/// \brief The device behind a Windows port name: "COM<n>" (n from 1, any letter case) is the
/// path in $QORVEL_COM<n> when that is set and not empty, else /dev/ttyS<n-1>. Empty for any
/// other name.
std::string serialDevice(std::u16string_view portName);

class SerialPort {
 public:
  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  ~SerialPort();

  /// \brief CreateFile on a port name: opens the existing device for reading only and not
  /// shared (a second open of the same device fails while this one holds it). false when it
  /// cannot be opened or is no terminal device.
  bool Open(std::u16string_view portName);
  /// \brief Closes the device; nothing when it is not open.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  /// \brief SetCommState: raw 8-bit input, no flow control, the given speed, size, parity and
  /// stop bits. false (nothing changed) for a speed or setting the device does not take.
  bool SetState(const SerialState& state);
  /// \brief SetCommTimeouts; false when the port is not open.
  bool SetTimeouts(const SerialTimeouts& timeouts);

  /// \brief ReadFile: reads up to `size` bytes under the time-outs; `got` receives the count
  /// read. true when the read ended by its count or a time-out (also with 0 bytes); false on
  /// a device error or when Wake() was called.
  bool Read(void* buffer, uint32_t size, uint32_t& got);
  /// \brief Ends a Read in progress, and every later one, with false (callable from any
  /// thread); it stays woken until Close.
  void Wake();
  bool IsWoken() const;
  /// \brief Waits up to `timeoutMs` for Wake(); true when woken.
  bool WaitForWake(uint32_t timeoutMs) const;

  /// \brief The descriptor of the open device, -1 when closed.
  int handle() const { return fd_; }

 private:
  int fd_ = -1;
  int wake_ = -1;  // eventfd, readable once woken
  SerialTimeouts timeouts_;
};

}  // namespace platform
QORVEL_PLATFORM_API_END
