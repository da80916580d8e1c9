#include "server_settings.h"

#include "proxy_settings.h"

#include <platform/profile.h>
#include <platform/text.h>

namespace z3950 {

// The server directory's values are read into 64 units (the character set into 32).
constexpr uint32_t kValueSize = 64;
constexpr uint32_t kCharsetSize = 32;

int32_t leadingNumber(std::u16string_view text) {
  int64_t v = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    v = v * 10 + (c - u'0');
    if (v > INT32_MAX) return INT32_MAX;
  }
  return int32_t(v);
}

ServerSettings readServerSettings(std::u16string_view hostText) {
  ServerSettings s;
  size_t colon = hostText.find(u':');
  s.section = std::u16string(hostText.substr(0, colon));
  s.host = s.section;
  if (colon != std::u16string_view::npos)
    s.port = leadingNumber(hostText.substr(colon + 1));
  else
    s.port = platform::profileInt(kServerFile, s.section, u"port", 210);

  s.proxy = proxyText(s.section);
  s.syntax = platform::profileString(kServerFile, s.section, u"Syntax", u"", kValueSize);
  std::u16string charset = platform::profileString(kServerFile, s.section, u"Charset", u"GBK", kCharsetSize);
  s.utf8Queries = platform::equalsNoCase(charset, u"UTF8");
  std::u16string ip = platform::profileString(kServerFile, s.section, u"IP", u"", kValueSize);
  if (!ip.empty()) s.host = ip;
  s.timeout = platform::profileInt(kServerFile, s.section, u"timeout", 0);
  return s;
}

}  // namespace z3950
