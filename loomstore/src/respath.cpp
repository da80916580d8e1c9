// Resource paths: splitting "protocol://server/database/from" and putting it together again.
#include <loomstore/ResPath.h>

#include <platform/text.h>

namespace {

std::u16string_view textOf(const char16_t* s) { return s ? std::u16string_view(s) : std::u16string_view(); }

// Copies a part when it fits with its NUL.
int copyPart(const std::u16string& text, char16_t* buf, int32_t size) {
  if (!buf || size <= 0 || text.size() >= size_t(size)) return 0;
  text.copy(buf, text.size());
  buf[text.size()] = 0;
  return 1;
}

}  // namespace

CResPath::CResPath(const char16_t* path) {
  std::u16string_view text = textOf(path);
  size_t slashes = text.find(u"//");
  if (slashes == std::u16string_view::npos) return;
  // The character just before "//" is the protocol's colon; too short a protocol means the
  // record server.
  m_protocol = slashes >= 2 ? std::u16string(text.substr(0, slashes - 1)) : u"qzap";
  m_nParts = 1;
  std::u16string_view rest = text.substr(slashes + 2);
  if (rest.empty()) return;
  // Server, database and from each run to the next "/"; a part is there when at least one
  // character follows the "/" before it, so "//" between two parts makes an empty one.
  for (std::u16string* p : {&m_server, &m_database, &m_from}) {
    size_t slash = rest.find(u'/');
    *p = rest.substr(0, slash);
    ++m_nParts;
    if (slash == std::u16string_view::npos || slash + 1 == rest.size()) return;
    rest = rest.substr(slash + 1);
  }
}

CResPath::~CResPath() = default;

std::u16string* CResPath::part(int32_t index) {
  switch (index) {
    case 0: return &m_protocol;
    case 1: return &m_server;
    case 2: return &m_database;
    case 3: return &m_from;
    default: return nullptr;
  }
}

int CResPath::GetAll(char16_t* buf, int32_t size) {
  return copyPart(m_protocol + u"://" + m_server + u"/" + m_database + u"/" + m_from, buf, size);
}

int CResPath::GetProtocol(char16_t* buf, int32_t size) { return copyPart(m_protocol, buf, size); }
int CResPath::GetSvrName(char16_t* buf, int32_t size) { return copyPart(m_server, buf, size); }
int CResPath::GetDbName(char16_t* buf, int32_t size) { return copyPart(m_database, buf, size); }
int CResPath::GetFrom(char16_t* buf, int32_t size) { return copyPart(m_from, buf, size); }

int32_t CResPath::GetPartNum() { return m_nParts; }

int CResPath::CutTail() {
  if (m_nParts <= 0) return 0;
  --m_nParts;
  part(m_nParts)->clear();
  return 1;
}

int CResPath::Append(const char16_t* text) {
  if (m_nParts >= 4) return 0;
  *part(m_nParts) = textOf(text);
  ++m_nParts;
  return 1;
}

int CResPath::RepPart(int32_t which, const char16_t* text) {
  int32_t index = -1;
  switch (which) {
    case 0: case u'P': case u'p': index = 0; break;
    case 1: case u'S': case u's': index = 1; break;
    case 2: case u'D': case u'd': index = 2; break;
    case 3: case u'F': case u'f': index = 3; break;
    default: return 0;
  }
  *part(index) = textOf(text);
  return 1;
}
