// CZoomApp: the library's one application object. It plays the library's start-up and its
// application state in one: InitInstance runs once, when the library is loaded, and puts the
// two SOCKS replacements into the GOT of the loaded YAZ library; its own state is the
// process-wide proxy state, the settings that the latest Connect used (flag 0 until a
// Connect has run). It lives beside the redirection that it installs, so that every build
// holding the redirection (the library, and the test programs that link it directly) starts
// it the same way.
#pragma once

#include "../z3950/proxy_settings.h"

#include <mutex>

namespace zoom {

class CZoomApp {
 public:
  /// \brief The one application object of the process, made at load.
  static CZoomApp& Instance();
  CZoomApp(const CZoomApp&) = delete;
  CZoomApp& operator=(const CZoomApp&) = delete;

  /// \brief Installs the SOCKS replacements into YAZ's GOT; 1 (start-up always succeeds).
  int InitInstance();
  /// \brief A copy of the settings that the latest Connect of the process used.
  z3950::ProxyState ProxyState();
  /// \brief Records `state` as the latest settings of the process.
  void KeepProxyState(const z3950::ProxyState& state);

 private:
  CZoomApp() = default;

  std::mutex m_lock;
  z3950::ProxyState m_proxy;
};

}  // namespace zoom
