#include "zoom_app.h"

#include "socks.h"

namespace zoom {

CZoomApp& CZoomApp::Instance() {
  static CZoomApp app;
  return app;
}

int CZoomApp::InitInstance() {
  socks::install();
  return 1;
}

z3950::ProxyState CZoomApp::ProxyState() {
  std::lock_guard g(m_lock);
  return m_proxy;
}

void CZoomApp::KeepProxyState(const z3950::ProxyState& state) {
  std::lock_guard g(m_lock);
  m_proxy = state;
}

namespace {

// The start-up of the library, when it is loaded into a process.
__attribute__((constructor)) void startUp() { CZoomApp::Instance().InitInstance(); }

}  // namespace
}  // namespace zoom
