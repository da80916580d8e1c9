// CErweima: the barcode reader thread and its hand-over to the target window.
#include <loomstore/Erweima.h>

#include <loomkit/MarcFile.h>
#include <platform/codepage.h>
#include <platform/serial.h>
#include <platform/text.h>
#include <ui/clipboard.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <string_view>
#include <system_error>
#include <vector>

namespace loomstore {

namespace {

// One read asks for this many bytes; a scan is a read of kMinScan up to one byte less.
constexpr uint32_t kReadSize = 10240;
constexpr uint32_t kMinScan = 100;
// Room for the internal record text of the largest scan: markup makes it longer than the
// scan, so the toolkit's own limit for record text is used, not the read size.
constexpr int32_t kTextCapacity = 128000;
constexpr size_t kLeaderLength = 24;
constexpr char16_t kFieldEnd = 0x1E;
// A failing device is tried again after this pause rather than in a tight loop.
constexpr uint32_t kRetryPauseMs = 500;
// Asks the courier (on the GUI thread) to hand a record over.
constexpr uint32_t kHandOver = ui::WM_USER + 0x107;

const platform::SerialTimeouts kScanTimeouts{500, 15, 100};

// The converter every reader thread shares, with default attributes.
CMarcFile& converter() {
  static CMarcFile file;
  return file;
}

}  // namespace

struct ScanReader {
  platform::SerialPort port;
  std::atomic<bool> stop{false};
  std::atomic<ui::HWND> window{0};
  // True on the GUI thread while the target window handles a paste.
  std::atomic<bool> delivering{false};
  // A plain object on the GUI thread that touches the clipboard and sends the paste there.
  QObject* courier = nullptr;
};

namespace {

struct HandOver {
  std::u16string_view text;
  ui::HWND window;
  std::atomic<bool>* delivering;
};

// On the GUI thread: the record onto the clipboard, then the paste, which reads it back
// before this returns.
ui::LRESULT handOver(uint32_t message, ui::WPARAM, ui::LPARAM lParam) {
  if (message != kHandOver || !lParam) return 0;
  const auto& h = *reinterpret_cast<const HandOver*>(lParam);
  QObject* target = ui::objectOf(h.window);
  if (!target) return 0;  // the window is gone: as when the clipboard cannot be opened
  h.delivering->store(true);
  ui::setClipboardText(ui::qs(h.text));
  ui::sendMessage(target, ui::WM_PASTE, 0, 0);
  h.delivering->store(false);
  return 1;
}

// A scan widened from the ANSI code page and converted to internal record text in `text`;
// its length, or 0 when the bytes hold no record.
int32_t recordText(const std::vector<char>& bytes, uint32_t count, std::vector<char16_t>& text,
                   std::vector<char16_t>& scratch) {
  int wide = platform::MultiByteToWideChar(platform::CP_ACP, bytes.data(), int(count), text.data(), int(kReadSize));
  if (wide <= 0) return 0;
  // Without a directory ended by a field terminator after the leader, the bytes are no ISO
  // 2709 record (some other barcode): pasting them would replace the window's record with
  // an empty one.
  const char16_t* end = text.data() + wide;
  if (size_t(wide) <= kLeaderLength || std::find(static_cast<const char16_t*>(text.data()) + kLeaderLength, end, kFieldEnd) == end) return 0;
  return converter().Iso2Jinei(text.data(), scratch.data(), wide, kTextCapacity);
}

void readScans(std::shared_ptr<ScanReader> reader) {
  std::vector<char> bytes(kReadSize);
  std::vector<char16_t> text(static_cast<size_t>(kTextCapacity));
  std::vector<char16_t> scratch(kReadSize + 1);
  ui::SendOptions wait;
  wait.cancel = &reader->stop;
  while (!reader->stop) {
    uint32_t got = 0;
    if (!reader->port.Read(bytes.data(), kReadSize, got)) {
      reader->port.WaitForWake(kRetryPauseMs);
      continue;
    }
    if (got < kMinScan || got >= kReadSize) continue;
    const ui::HWND window = reader->window.load();
    if (!window || !reader->courier) continue;
    const int32_t length = recordText(bytes, got, text, scratch);
    if (length <= 0) continue;
    HandOver h{std::u16string_view(text.data(), size_t(length)), window, &reader->delivering};
    // Stop ends the wait while the GUI thread has not yet taken the record (it may be the
    // thread waiting in Stop); once taken, the paste runs to its end.
    ui::LRESULT done = 0;
    ui::sendMessage(reader->courier, kHandOver, 0, reinterpret_cast<ui::LPARAM>(&h), &done, wait);
  }
}

void releaseCourier(QObject* courier, bool inItsHandler) {
  if (!courier) return;
  if (!inItsHandler && (!QCoreApplication::instance() || courier->thread() == QThread::currentThread()))
    delete courier;
  else
    courier->deleteLater();
}

}  // namespace

}  // namespace loomstore

using loomstore::ScanReader;

CErweima::CErweima() = default;

CErweima::~CErweima() { Stop(); }

void CErweima::Catalog(int32_t port, int32_t baud) {
  std::lock_guard g(m_lock);
  if (m_reader) return;
  auto reader = std::make_shared<ScanReader>();
  const std::u16string name = platform::format(u"COM%ld", int64_t(port) + 1);
  platform::SerialState state;
  state.baudRate = baud > 0 ? uint32_t(baud) : 0;
  if (!reader->port.Open(name) || !reader->port.SetState(state) ||
      !reader->port.SetTimeouts(loomstore::kScanTimeouts))
    return;  // silent: the caller sees that nothing arrives
  reader->window = m_window;
  if (QCoreApplication* app = QCoreApplication::instance()) {
    auto* courier = new QObject;
    ui::onMessages(courier, loomstore::handOver);
    courier->moveToThread(app->thread());
    reader->courier = courier;
  }
  try {
    m_thread = std::thread(loomstore::readScans, reader);
  } catch (const std::system_error&) {
    loomstore::releaseCourier(reader->courier, false);
    return;
  }
  m_reader = std::move(reader);
}

bool CErweima::IsReading() {
  std::lock_guard g(m_lock);
  return m_reader != nullptr;
}

void CErweima::SetWindow(ui::HWND window) {
  std::lock_guard g(m_lock);
  m_window = window;
  if (m_reader) m_reader->window = window;
}

void CErweima::Stop() {
  std::shared_ptr<ScanReader> reader;
  std::thread thread;
  {
    std::lock_guard g(m_lock);
    reader = std::move(m_reader);
    thread = std::move(m_thread);
  }
  if (!reader) return;
  reader->stop = true;
  reader->port.Wake();
  // Stop from inside the target's paste handling: the reader waits for that handler, which
  // is below us on this thread, so it is let go to end by itself once the handler returns.
  const bool inHandler = reader->delivering && reader->courier &&
                         reader->courier->thread() == QThread::currentThread();
  if (inHandler)
    thread.detach();
  else
    thread.join();
  loomstore::releaseCourier(reader->courier, inHandler);
  // The port closes with the last holder of the reader: here, or the detached thread.
}
