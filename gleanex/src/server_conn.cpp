// What every kind of server connection shares: the entry, the ISBN rules, the hit walk.
#include "server_conn.h"

#include "kelvra_conn.h"
#include "server_list.h"
#include "z3950_conn.h"

#include <loomstore/ResPath.h>
#include <loomstore/ServerSettings.h>

namespace {

int digit(char16_t c) { return c - u'0'; }

u16 withoutHyphens(u16v s) {
  u16 out;
  for (char16_t c : s)
    if (c != u'-') out += c;
  return out;
}

// A server list entry read whole: its options suffix and the parts of its resource path.
struct ServerEntry {
  ServerOptions options;
  u16 protocol, server, database;
};

ServerEntry readEntry(u16v entry) {
  ServerEntry e;
  e.options = ParseServerEntry(entry);
  CResPath path(e.options.path.c_str());
  char16_t text[256] = {};
  path.GetProtocol(text, 256);
  e.protocol = text;
  text[0] = 0;
  path.GetSvrName(text, 256);
  e.server = text;
  text[0] = 0;
  path.GetDbName(text, 256);
  e.database = text;
  return e;
}

}  // namespace

std::unique_ptr<CServerConn> CServerConn::ForEntry(u16v entry) {
  if (platform::equalsNoCase(readEntry(entry).protocol, loomstore::kKindZ3950)) return std::make_unique<CZ3950Conn>();
  return std::make_unique<CKelvraConn>();
}

CServerConn::~CServerConn() = default;

void CServerConn::Open(u16v entry, CSearchHost* window) {
  host_ = window;
  const ServerEntry e = readEntry(entry);
  user = e.options.user;
  password = e.options.password;
  reconnect = e.options.reconnect;
  hyphenRule = e.options.hyphenRule;
  isbnRule = e.options.isbnRule;
  database = e.database;
  host = HostOf(e.server);
  connected = false;
  Connect();
}

u16 CServerConn::BuildQuery(u16v keyIn) const {
  u16 key(keyIn);
  size_t length = key.size();
  if (hyphenRule != 0 || isbnRule != 0) {
    // An ISBN-10 has 10 characters, or 13 with its hyphens; an ISBN-13 13, or 17. Keys of
    // other lengths go unchanged.
    bool hyphenated = key.find(u'-') != u16::npos;
    size_t isbn10Length = hyphenated ? 13 : 10;
    size_t isbn13Length = hyphenated ? 17 : 13;
    if (length == isbn10Length || length == isbn13Length) {
      if (length == isbn10Length && isbnRule == 1) Isbn10To13(key, hyphenated);
      else if (length == isbn13Length && isbnRule == 2) Isbn13To10(key, hyphenated);
      if (!hyphenated && hyphenRule == 2) HyphenateIsbn(key);
      if (hyphenated && hyphenRule == 1) key = withoutHyphens(key);
    }
  }
  return QueryOf(key);
}

void CServerConn::Isbn10To13(u16& key, bool hyphenated) {
  u16 digits = withoutHyphens(u"978" + key);
  if (key.empty() || digits.size() < 12) return;
  int32_t s = 0;
  for (int i = 0; i < 12; ++i) s += digit(digits[i]) * (i % 2 ? 3 : 1);
  int32_t check = (10 - ((s % 10) + 10) % 10) % 10;
  key.back() = char16_t(u'0' + check);
  key.insert(0, hyphenated ? u"978-" : u"978");
}

void CServerConn::Isbn13To10(u16& key, bool hyphenated) {
  size_t drop = hyphenated ? 4 : 3;
  if (key.size() <= drop) return;
  u16 digits = withoutHyphens(u16v(key).substr(3));
  if (digits.size() < 9) return;
  int32_t s = 0;
  for (int i = 0; i < 9; ++i) s += (10 - i) * digit(digits[i]);
  int32_t r = ((s % 11) + 11) % 11;
  key.back() = r == 0 ? u'0' : r == 1 ? u'X' : char16_t(u'0' + 11 - r);
  key.erase(0, drop);
}

void CServerConn::HyphenateIsbn(u16& key) {
  size_t g;
  if (key.size() == 13) {
    if (key[3] > u'7') return;
    key.insert(3, u"-");
    key.insert(5, u"-");
    g = 6;
  } else {
    if (key.empty() || key[0] > u'7') return;
    key.insert(1, u"-");
    g = 2;
  }
  if (key.size() < g + 9) return;  // too short for the two further hyphens
  size_t w;
  switch (key[g]) {
    case u'0': w = 2; break;
    case u'1': case u'2': case u'3': case u'4': w = 3; break;
    case u'5': case u'6': case u'7': w = 4; break;
    case u'8': w = 5; break;
    default: w = 6; break;
  }
  key.insert(g + w, u"-");
  key.insert(g + 9, u"-");
}

int32_t CServerConn::Search(u16v key, CSearchHost& window) {
  u16 query = BuildQuery(key);
  hits = 0;
  cursor = -1;
  host_ = &window;
  std::optional<int32_t> found = Find(query, window);
  if (!found) return kSearchStopped;
  hits = *found < 0 ? 0 : *found;
  return hits;
}

int32_t CServerConn::FirstRecord(char16_t* buffer, int32_t size) {
  if (hits <= 0) return 0;
  cursor = 0;
  return platform::copyOut(FetchText(0), buffer, size);
}

int32_t CServerConn::NextRecord(char16_t* buffer, int32_t size) {
  if (cursor == -1 || cursor + 1 >= hits) return -1;
  if (!CanFetchMore()) return -1;
  ++cursor;
  return platform::copyOut(FetchText(cursor), buffer, size);
}
