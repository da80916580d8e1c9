#include "server_list.h"

#include <limits>

namespace {

constexpr char16_t kMarkAccount[] = u"?p=";
constexpr char16_t kMarkReconnect[] = u"?r=";
constexpr char16_t kMarkNumber[] = u"?n=";

}  // namespace

int32_t LeadingNumber(u16v text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  int64_t v = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    if (v <= std::numeric_limits<int32_t>::max()) v = v * 10 + (text[i] - u'0');
  if (v > std::numeric_limits<int32_t>::max()) v = std::numeric_limits<int32_t>::max();
  return int32_t(negative ? -v : v);
}

ServerOptions ParseServerEntry(u16v entry) {
  ServerOptions o;
  if (size_t k = entry.find(kMarkNumber); k != u16v::npos) {
    int32_t n = LeadingNumber(entry.substr(k + 3));
    o.hyphenRule = n / 10;
    o.isbnRule = n % 10;
    entry = entry.substr(0, k);
  }
  if (size_t k = entry.find(kMarkReconnect); k != u16v::npos) {
    o.reconnect = platform::equalsNoCase(entry.substr(k + 3), u"yes");
    entry = entry.substr(0, k);
  }
  if (size_t k = entry.find(kMarkAccount); k != u16v::npos) {
    u16v account = entry.substr(k + 3);
    size_t slash = account.find(u'/');
    o.user = u16(account.substr(0, slash));
    if (slash != u16v::npos) o.password = u16(account.substr(slash + 1));
    o.hasAccount = true;
    entry = entry.substr(0, k);
  }
  o.path = u16(entry);
  return o;
}

u16 FormatServerEntry(const ServerOptions& o) {
  return o.path + platform::format(o.reconnect ? u"?p=%s/%s?r=yes" : u"?p=%s/%s?r=no", o.user, o.password) +
         platform::format(u"?n=%ld", o.isbnRule + o.hyphenRule * 10);
}

u16 ServerEntryDisplay(u16v entry) { return u16(entry.substr(0, entry.find(kMarkAccount))); }

u16 NewServerEntry(u16v path) { return u16(path) + kDefaultServerSuffix; }
