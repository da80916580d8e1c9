#include "proxy_settings.h"

#include "server_settings.h"
#include "socks/zoom_app.h"

#include <platform/codepage.h>
#include <platform/profile.h>
#include <platform/text.h>


namespace z3950 {

constexpr uint32_t kValueSize = 64;

// The process keeps its latest settings in the library's application object.
ProxyState proxyState() { return zoom::CZoomApp::Instance().ProxyState(); }

void keepProxyState(const ProxyState& state) { zoom::CZoomApp::Instance().KeepProxyState(state); }

std::u16string proxyText(std::u16string_view section) {
  std::u16string use = platform::profileString(kServerFile, section, u"proxy", u"false", kValueSize);
  if (platform::equalsNoCase(use, u"false")) return u"";
  std::u16string host = platform::profileString(kServerFile, u"Proxy", u"hostname", u"", kValueSize);
  if (host.empty()) return u"";
  std::u16string text = host + u":" + platform::profileString(kServerFile, u"Proxy", u"port", u"1080", kValueSize);
  std::u16string user = platform::profileString(kServerFile, u"Proxy", u"user", u"", kValueSize);
  if (!user.empty()) {
    text += u"?" + user;
    std::u16string pass = platform::profileString(kServerFile, u"Proxy", u"pass", u"", kValueSize);
    if (!pass.empty()) text += u"/" + pass;
  }
  return text;
}

ProxyState parseProxy(std::u16string_view address, std::u16string_view account) {
  ProxyState p;
  size_t colon = address.find(u':');
  p.host = platform::toNarrow(platform::CP_ACP, address.substr(0, colon));
  p.port = colon == std::u16string_view::npos ? 1080 : leadingNumber(address.substr(colon + 1));
  size_t slash = account.find(u'/');
  p.user = platform::toNarrow(platform::CP_ACP, account.substr(0, slash));
  p.password = slash == std::u16string_view::npos ? std::string()
                                                  : platform::toNarrow(platform::CP_ACP, account.substr(slash + 1));
  return p;
}

}  // namespace z3950
