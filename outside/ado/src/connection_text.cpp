#include "connection_text.h"

#include <platform/profile.h>
#include <platform/text.h>

namespace ado {
namespace {

using platform::u16;
using platform::u16v;

u16v trim(u16v s) {
  size_t b = s.find_first_not_of(u" \t");
  if (b == u16v::npos) return {};
  size_t e = s.find_last_not_of(u" \t");
  return s.substr(b, e - b + 1);
}

// "host,port", "host\instance", "(local)": the host and the port (empty: the driver's own).
std::pair<u16, u16> hostAndPort(u16v dataSource) {
  u16v host = dataSource, port;
  if (size_t comma = dataSource.find(u','); comma != u16v::npos) {
    host = trim(dataSource.substr(0, comma));
    port = trim(dataSource.substr(comma + 1));
  }
  u16 h(host);
  // "(local)\SQLEXPRESS" names an instance of the local server.
  for (u16v local : {u16v(u"(local)"), u16v(u".")})
    if (platform::equalsNoCase(u16v(h).substr(0, local.size()), local) &&
        (h.size() == local.size() || h[local.size()] == u'\\'))
      h = u"localhost" + h.substr(local.size());
  if (h.empty()) h = u"localhost";
  // A named instance without a port is found through the server's browser service.
  if (port.empty() && h.find(u'\\') == u16::npos) port = u"1433";
  return {h, u16(port)};
}

}  // namespace

std::optional<OleDbConnection> parseOleDbText(std::u16string_view text) {
  OleDbConnection c;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find(u'=', i);
    if (eq == u16v::npos) {
      if (!trim(text.substr(i)).empty() && trim(text.substr(i)) != u";") return std::nullopt;
      break;
    }
    u16v key = trim(text.substr(i, eq - i));
    size_t v = eq + 1;
    while (v < text.size() && (text[v] == u' ' || text[v] == u'\t')) ++v;
    u16 value;
    if (v < text.size() && (text[v] == u'"' || text[v] == u'\'')) {
      char16_t q = text[v];
      size_t close = text.find(q, v + 1);
      if (close == u16v::npos) return std::nullopt;
      value = u16(text.substr(v + 1, close - v - 1));
      i = text.find(u';', close + 1);
      if (!trim(text.substr(close + 1, i == u16v::npos ? u16v::npos : i - close - 1)).empty()) return std::nullopt;
    } else {
      i = text.find(u';', v);
      value = u16(trim(text.substr(v, i == u16v::npos ? u16v::npos : i - v)));
    }
    i = i == u16v::npos ? text.size() : i + 1;
    if (key.empty()) return std::nullopt;
    if (platform::equalsNoCase(key, u"Provider")) c.provider = value;
    else if (platform::equalsNoCase(key, u"User ID") || platform::equalsNoCase(key, u"UID")) c.userId = value;
    else if (platform::equalsNoCase(key, u"Password") || platform::equalsNoCase(key, u"PWD")) c.password = value;
    else if (platform::equalsNoCase(key, u"Initial Catalog") || platform::equalsNoCase(key, u"Database")) c.catalog = value;
    else if (platform::equalsNoCase(key, u"Data Source") || platform::equalsNoCase(key, u"Server")) c.dataSource = value;
    // Persist Security Info and the other keys change nothing here.
  }
  return c;
}

bool isSqlServerProvider(std::u16string_view provider) {
  return platform::equalsNoCase(provider, u"SQLOLEDB") || platform::equalsNoCase(provider, u"SQLOLEDB.1");
}

std::u16string odbcValue(std::u16string_view value) {
  bool plain = value.find_first_of(u";{}=") == u16v::npos && trim(value).size() == value.size();
  if (plain) return u16(value);
  u16 out = u"{";
  for (char16_t ch : value) {
    out.push_back(ch);
    if (ch == u'}') out.push_back(u'}');
  }
  out.push_back(u'}');
  return out;
}

std::u16string expandOdbcPattern(std::u16string_view pattern, const OleDbConnection& c) {
  auto [host, port] = hostAndPort(c.dataSource);
  const std::pair<u16v, u16v> fields[] = {
      {u"%SERVER%", c.dataSource}, {u"%HOST%", host}, {u"%PORT%", port},
      {u"%DATABASE%", c.catalog}, {u"%UID%", c.userId}, {u"%PWD%", c.password},
  };
  u16 out;
  size_t i = 0;
  while (i < pattern.size()) {
    bool replaced = false;
    if (pattern[i] == u'%') {
      for (const auto& [name, value] : fields)
        if (pattern.substr(i, name.size()) == name) {
          out += odbcValue(value);
          i += name.size();
          replaced = true;
          break;
        }
    }
    if (!replaced) out.push_back(pattern[i++]);
  }
  return out;
}

std::u16string freeTdsConnectionText(const OleDbConnection& c) {
  auto [host, port] = hostAndPort(c.dataSource);
  u16 out = u"Driver=FreeTDS;Server=" + odbcValue(host) + u";";
  if (!port.empty()) out += u"Port=" + odbcValue(port) + u";";
  return out + u"Database=" + odbcValue(c.catalog) + u";UID=" + odbcValue(c.userId) + u";PWD=" +
         odbcValue(c.password) + u";ClientCharset=UTF-8;";
}

std::u16string odbcConnectionText(const OleDbConnection& c) {
  // Read whole: a connection text cut at 255 characters would open something else.
  u16 pattern;
  if (!c.dataSource.empty()) pattern = platform::profileString(u"ado.ini", u"Data Sources", c.dataSource, u"", 32767);
  return pattern.empty() ? freeTdsConnectionText(c) : expandOdbcPattern(pattern, c);
}

}  // namespace ado
