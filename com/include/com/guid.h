// GUIDs (class, interface and library identifiers) and their "{...}" text form.
#pragma once

#include <com/export.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

QORVEL_COM_API_BEGIN
namespace com {

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

inline constexpr GUID GUID_NULL{};

namespace detail {
constexpr int hexDigit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// Reads "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (36 units, no braces); false on any other text.
template <class Ch>
constexpr bool parseBare(std::basic_string_view<Ch> s, GUID& g) {
  if (s.size() != 36) return false;
  uint8_t bytes[16] = {};
  size_t pos = 0;
  for (int i = 0; i < 16; ++i) {
    if (pos == 8 || pos == 13 || pos == 18 || pos == 23) {
      if (s[pos] != '-') return false;
      ++pos;
    }
    int hi = hexDigit(char16_t(s[pos])), lo = hexDigit(char16_t(s[pos + 1]));
    if (hi < 0 || lo < 0) return false;
    bytes[i] = uint8_t(hi * 16 + lo);
    pos += 2;
  }
  g.Data1 = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
  g.Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
  g.Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return true;
}
}  // namespace detail

/// \brief A GUID from its text without braces, for constants: makeGuid("C5C862E5-1A6F-...").
/// Bad text stops the compilation of a constant expression.
constexpr GUID makeGuid(std::string_view text) {
  GUID g;
  if (!detail::parseBare(text, g)) throw std::invalid_argument("bad GUID text");
  return g;
}

/// \brief Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either case);
/// false, leaving `out` alone, for anything else.
bool parseGuid(std::u16string_view text, GUID& out);

/// \brief The braced, upper-case text form of a GUID, as the registry keys carry it.
std::u16string formatGuid(const GUID& g);

/// \brief COM's name for parseGuid: CO_E_CLASSSTRING for bad text.
int32_t CLSIDFromString(const char16_t* text, CLSID* out);

}  // namespace com
QORVEL_COM_API_END
