// Loomstore.ini: the server list and the connection settings of each server and of the
// SOCKS 5 proxy. Header-only, so that every reader of the file (the dialogs, the directory
// window, the parallel search and the zoom connection) applies the same rules.
//
//   [Servers]      <server name>=qzap | z39.50   (a line without "=" counts as qzap)
//   [<server>]     IP, port, proxy, Syntax, Charset, databases ("a+b+"), user, pass
//   [Proxy]        hostname, port, user, pass
#pragma once

#include <platform/profile.h>
#include <platform/text.h>

#include <cstdint>
#include <vector>

namespace loomstore {

using platform::u16;
using platform::u16v;

inline constexpr char16_t kSettingsFile[] = u"Loomstore.ini";

inline constexpr char16_t kServersSection[] = u"Servers";
inline constexpr char16_t kProxySection[] = u"Proxy";

inline constexpr char16_t kKeyIP[] = u"IP";
inline constexpr char16_t kKeyPort[] = u"port";
inline constexpr char16_t kKeyProxy[] = u"proxy";
inline constexpr char16_t kKeySyntax[] = u"Syntax";
inline constexpr char16_t kKeyCharset[] = u"Charset";
inline constexpr char16_t kKeyDatabases[] = u"databases";
inline constexpr char16_t kKeyUser[] = u"user";
inline constexpr char16_t kKeyPass[] = u"pass";
inline constexpr char16_t kKeyHostname[] = u"hostname";

inline constexpr char16_t kKindRecordServer[] = u"qzap";
inline constexpr char16_t kKindZ3950[] = u"z39.50";

inline constexpr char16_t kDefaultRecordServerPort[] = u"3089";
inline constexpr char16_t kDefaultZ3950Port[] = u"210";
inline constexpr char16_t kDefaultProxyPort[] = u"1080";
inline constexpr char16_t kDefaultCharset[] = u"GBK";
inline constexpr char16_t kProxyOff[] = u"false";
inline constexpr char16_t kProxyOn[] = u"true";
/// The name a server has before the user gives it one; never saved.
inline constexpr char16_t kNewServerName[] = u"(新服务器)";

// Buffer sizes (in characters) of the readers; a longer value is cut to size - 1.
inline constexpr uint32_t kServersListSize = 4096;  // the whole [Servers] section
inline constexpr uint32_t kServerKindSize = 128;    // one [Servers] value
inline constexpr uint32_t kAddressSize = 64;        // IP
inline constexpr uint32_t kPortSize = 16;
inline constexpr uint32_t kProxyFlagSize = 16;
inline constexpr uint32_t kSyntaxSize = 32;
inline constexpr uint32_t kCharsetSize = 32;
inline constexpr uint32_t kDatabasesSize = 1024;  // the Z39.50 dialog
inline constexpr uint32_t kAccountSize = 64;      // user, pass of a Z39.50 server
inline constexpr uint32_t kProxyFieldSize = 64;   // each key of [Proxy]

/// \brief Whether a `proxy` value means the server is reached through the proxy: any value
/// but "false" (in any letter case) does.
inline bool UsesProxy(u16v proxyValue) { return !platform::equalsNoCase(proxyValue, kProxyOff); }

/// \brief Whether the server's section says to use the proxy (key `proxy`, default "false").
inline bool ServerUsesProxy(const platform::ProfileFile& file, u16v server) {
  return UsesProxy(platform::profileString(file, server, kKeyProxy, kProxyOff, kProxyFlagSize));
}

/// \brief Whether a server name can stand as a section of the file and a step of a resource
/// path: not empty, none of / : = [ ] + # ?, and no ';' first (blanks before it are trimmed
/// by the file, and the line would turn into a comment).
inline bool IsValidServerName(u16v name) {
  size_t first = name.find_first_not_of(u" \t");
  if (first == u16v::npos || name[first] == u';') return false;
  return name.find_first_of(u"/:=[]+#?") == u16v::npos;
}

/// \brief Whether a port text is a decimal number from 1 to 65535 (digits only).
inline bool IsValidPort(u16v port) {
  if (port.empty()) return false;
  uint32_t v = 0;
  for (char16_t c : port) {
    if (c < u'0' || c > u'9') return false;
    if (v <= 65535) v = v * 10 + uint32_t(c - u'0');
  }
  return v >= 1 && v <= 65535;
}

/// \brief The names of a `databases` value: split at '+', empty pieces skipped.
inline std::vector<u16> SplitDatabases(u16v text) {
  std::vector<u16> out;
  while (!text.empty()) {
    size_t k = text.find(u'+');
    u16v piece = text.substr(0, k);
    if (!piece.empty()) out.emplace_back(piece);
    if (k == u16v::npos) break;
    text.remove_prefix(k + 1);
  }
  return out;
}

/// \brief A `databases` value: every name followed by '+', the last one too.
inline u16 JoinDatabases(const std::vector<u16>& names) {
  u16 out;
  for (const u16& n : names) out += n + u'+';
  return out;
}

/// \brief Whether [Servers] lists `name` as an existing server: a non-empty value, or a line
/// of the bare name (which counts as a record server).
inline bool ServerListed(const platform::ProfileFile& file, u16v name) {
  if (!platform::profileString(file, kServersSection, name, u"", kServerKindSize).empty()) return true;
  for (const u16& line : platform::profileSection(file, kServersSection, kServersListSize))
    if (line.find(u'=') == u16::npos && platform::equalsNoCase(line, name)) return true;
  return false;
}

}  // namespace loomstore
