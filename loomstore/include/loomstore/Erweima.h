// CErweima: MARC records from a 2-D barcode scanner on a serial port. A reader thread turns
// each scanned ISO 2709 record into internal record text, puts it on the clipboard and sends
// WM_PASTE to the target window.
#pragma once

#include <loomstore/export.h>

#include <ui/win.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace loomstore {
struct ScanReader;
}

class LOOMSTORE_API CErweima {
 public:
  /// \brief No target window, not reading.
  CErweima();
  /// \brief Stops reading.
  virtual ~CErweima();
  CErweima(const CErweima&) = delete;
  CErweima& operator=(const CErweima&) = delete;

  /// \brief Starts reading port "COM<port + 1>" at `baud`, 8 data bits, no parity, one stop
  /// bit; nothing while already reading, and nothing (silently) when the port cannot be set up.
  void Catalog(int32_t port, int32_t baud);
  /// \brief The window that receives the records; before or while reading, kept across Stop.
  void SetWindow(ui::HWND window);
  /// \brief Ends the reader thread and closes the port; nothing when not reading.
  void Stop();
  /// \brief Whether the port is open and its reader running (the port handle is set).
  bool IsReading();

 private:
  std::mutex m_lock;  // Catalog, SetWindow and Stop from different threads
  ui::HWND m_window = 0;
  std::shared_ptr<loomstore::ScanReader> m_reader;  // set while reading
  std::thread m_thread;
};
