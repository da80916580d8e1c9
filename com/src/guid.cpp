// GUID text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <com/guid.h>
#include <com/hresult.h>

#include <platform/text.h>

namespace com {

bool parseGuid(std::u16string_view text, GUID& out) {
  if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') return false;
  GUID g;
  if (!detail::parseBare(text.substr(1, 36), g)) return false;
  out = g;
  return true;
}

std::u16string formatGuid(const GUID& g) {
  static const char16_t* hex = u"0123456789ABCDEF";
  std::u16string s = u"{";
  auto put = [&](uint64_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) s.push_back(hex[(v >> (4 * i)) & 0xF]);
  };
  put(g.Data1, 8);
  s += u'-';
  put(g.Data2, 4);
  s += u'-';
  put(g.Data3, 4);
  s += u'-';
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  s += u'-';
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  s += u'}';
  return s;
}

int32_t CLSIDFromString(const char16_t* text, CLSID* out) {
  if (!text || !out) return E_INVALIDARG;
  return parseGuid(text, *out) ? S_OK : CO_E_CLASSSTRING;
}

}  // namespace com
