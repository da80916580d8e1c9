// What a connection reads about its server from Loomstore.ini.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace z3950 {

/// The file of the server directory, in the Windows directory.
inline constexpr char16_t kServerFile[] = u"Loomstore.ini";

/// \brief The leading decimal number of a text (0 when it starts with no digit).
int32_t leadingNumber(std::u16string_view text);

struct ServerSettings {
  std::u16string host;     // where to connect: the host text, or the section's IP
  int32_t port = 210;
  std::u16string section;  // the section the keys were read from
  std::u16string syntax;   // preferred record syntax, empty for none
  bool utf8Queries = false;
  std::u16string proxy;    // proxy text, empty for a direct connection
  int32_t timeout = 0;     // seconds an operation may take; 0: the connection's own
};

/// \brief Splits "name" or "name:port" and reads the section [name]: the port (when the
/// text gives none), Syntax, Charset, IP, timeout and the proxy text.
ServerSettings readServerSettings(std::u16string_view hostText);

}  // namespace z3950
