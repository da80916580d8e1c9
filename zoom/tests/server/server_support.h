// Shared set-up of the ZoomSvr tests: the object reached through libzoom's class object, a
// test window that answers WM_ZOOMSVR_REQUEST from a list of records, and the clients.
#pragma once

#include "ids.h"
#include "server_process.h"

#include <com/com.h>
#include <com/drivers/DispatchDriver.h>
#include <qorvel_testing/testing.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QCoreApplication>
#include <QObject>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zsvr {

constexpr uint32_t WM_ZOOMSVR_REQUEST = 0x1011;

/// IZoomSvr by dispatch identifier.
class ZoomSvrDriver : public com::DispatchDriver {
 public:
  int32_t Startup(int32_t wnd, int32_t queryCp, int32_t resultCp) { return InvokeLong(1, {wnd, queryCp, resultCp}); }
  std::u16string GetPeerName() { return InvokeText(2); }
  void SetRsCount(int32_t n) { InvokeVoid(3, {n}); }
  void SetRecord(const std::u16string& text) { InvokeVoid(4, {text}); }
  void Cleanup() { InvokeVoid(5); }
  std::u16string GetQuery() { return InvokeText(6); }
};

/// \brief A new zoom.ZoomSvr from libzoom's own class object.
inline void create(ZoomSvrDriver& d) {
  using GetClassObjectFn = com::HRESULT (*)(const com::CLSID&, const com::IID&, void**);
  static void* lib = dlopen(ZOOM_LIBRARY, RTLD_NOW | RTLD_NODELETE);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto get = reinterpret_cast<GetClassObjectFn>(dlsym(lib, "DllGetClassObject"));
  com::ComPtr<com::IClassFactory> f;
  ASSERT_EQ(get(zoom::CLSID_ZoomSvr, com::IID_IClassFactory, f.putVoid()), com::S_OK);
  com::IDispatch* obj = nullptr;
  ASSERT_EQ(f->CreateInstance(nullptr, com::IID_IDispatch, reinterpret_cast<void**>(&obj)), com::S_OK);
  d.AttachDispatch(obj);
}

/// A listening address on a free loopback port, given to the server through
/// QORVEL_ZOOMSVR_LISTEN for the object's lifetime.
class LoopbackListen {
 public:
  LoopbackListen() : port_(ztest::closedPort()) {
    setenv("QORVEL_ZOOMSVR_LISTEN", ("tcp:127.0.0.1:" + std::to_string(port_)).c_str(), 1);
  }
  ~LoopbackListen() { unsetenv("QORVEL_ZOOMSVR_LISTEN"); }
  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int port_;
};

/// The calling program's window: answers every query with the number of its records and
/// every record request with the record at that position, unless a test hooks in.
class TestWindow {
 public:
  explicit TestWindow(ZoomSvrDriver& server) : server_(server) {
    ui::onMessages(&window_, [this](uint32_t message, ui::WPARAM w, ui::LPARAM l) -> ui::LRESULT {
      if (message != WM_ZOOMSVR_REQUEST) return 0;
      log.push_back({w, l});
      if (onRequest && onRequest(w, l)) return 0;
      if (w == 0) {
        queries.push_back(server_.GetQuery());
        server_.SetRsCount(int32_t(records.size()));
      } else if (l >= 1 && size_t(l) <= records.size()) {
        server_.SetRecord(records[size_t(l) - 1]);
      }
      return 0;
    });
  }
  int32_t handle() { return int32_t(ui::handleOf(&window_)); }

  std::vector<std::u16string> records;
  std::vector<std::u16string> queries;
  std::vector<std::pair<ui::WPARAM, ui::LPARAM>> log;
  /// Returns true when it answered (or chose not to) itself.
  std::function<bool(ui::WPARAM, ui::LPARAM)> onRequest;

 private:
  ZoomSvrDriver& server_;
  QObject window_;
};

/// \brief Runs `work` on another thread while this (the window's) thread keeps handling its
/// messages.
template <class F>
void pumpWhile(F work) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    work();
    done = true;
  });
  while (!done) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  t.join();
  QCoreApplication::processEvents();
}

/// \brief Runs a shell command on another thread while this (the window's) thread keeps
/// handling its messages; the command's status, its output in *out.
inline int runPumping(const std::string& command, std::string* out) {
  int status = -1;
  pumpWhile([&] { status = qtest::run(ztest::bounded(command) + " 2>&1", out); });
  return status;
}

}  // namespace zsvr
