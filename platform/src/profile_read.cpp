// The reading profile functions.
#include "profile_storage.h"

#include <platform/profile.h>

#include <algorithm>

namespace platform {
namespace {

using profile::Document;
using profile::Line;

Document loadFile(const char16_t* file) {
  if (!file) return Document::parse({});
  return profile::load(profilePath(file));
}

// One pair of matching quotes around the whole value goes, as the Windows readers drop it.
u16v unquote(u16v v) {
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front()) return v.substr(1, v.size() - 2);
  return v;
}

int32_t copyCut(u16v text, char16_t* buf, uint32_t size) {
  size_t n = std::min<size_t>(text.size(), size - 1);
  std::copy_n(text.data(), n, buf);
  buf[n] = 0;
  return int32_t(n);
}

// Lists are copied whole name by whole name: a name cut in two would read as another name.
int32_t copyList(const std::vector<u16>& items, char16_t* buf, uint32_t size) {
  if (size == 1) {
    buf[0] = 0;
    return 0;
  }
  size_t pos = 0;
  for (auto& item : items) {
    if (item.empty()) continue;  // an empty name would end the list early
    if (pos + item.size() + 1 > size_t(size) - 1) {
      std::fill(buf + pos, buf + size, char16_t(0));
      return int32_t(size - 2);
    }
    std::copy(item.begin(), item.end(), buf + pos);
    pos += item.size();
    buf[pos++] = 0;
  }
  buf[pos] = 0;
  if (pos == 0) buf[1] = 0;
  return int32_t(pos);
}

std::vector<u16> keysOf(const Document& d, const char16_t* section) {
  std::vector<u16> keys;
  if (auto r = d.findSection(section))
    for (size_t i = r->body; i < r->end; ++i)
      if (d.lines[i].kind() == Line::Entry) keys.push_back(d.lines[i].key());
  return keys;
}

// The value of a key, quotes dropped; nullopt when the key is missing.
std::optional<u16> valueOf(const Document& d, const char16_t* section, const char16_t* key) {
  auto r = d.findSection(section);
  if (!r) return std::nullopt;
  auto k = d.findKey(*r, key);
  if (!k) return std::nullopt;
  return u16(unquote(d.lines[*k].value()));
}

// A section line as "key=value", blanks around both dropped, the value's quotes kept.
u16 entryLine(const Line& l) {
  if (l.text.find(u'=') == u16::npos) return l.key();
  return l.key() + u"=" + l.value();
}

int digitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 99;
}

// Blanks, a sign, an optional base prefix, then digits to the first other character.
int32_t parseNumber(u16v s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  int base = 10;
  if (i + 1 < s.size() && s[i] == u'0') {
    char16_t p = upperAscii(s[i + 1]);
    if (p == u'X') base = 16;
    else if (p == u'O') base = 8;
    else if (p == u'B') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t v = 0;
  for (; i < s.size() && digitValue(s[i]) < base; ++i) v = v * uint32_t(base) + uint32_t(digitValue(s[i]));
  return int32_t(negative ? 0u - v : v);
}

}  // namespace

int32_t GetPrivateProfileString(const char16_t* section, const char16_t* key, const char16_t* def, char16_t* buf,
                                uint32_t size, const char16_t* file) {
  if (!buf || size == 0) return 0;
  Document d = loadFile(file);
  if (!section) return copyList(d.sectionNames(), buf, size);
  if (!key) return copyList(keysOf(d, section), buf, size);
  if (auto v = valueOf(d, section, key)) return copyCut(*v, buf, size);
  u16v fallback = def ? u16v(def) : u16v();
  while (!fallback.empty() && fallback.back() == u' ') fallback.remove_suffix(1);
  return copyCut(fallback, buf, size);
}

int32_t GetPrivateProfileInt(const char16_t* section, const char16_t* key, int32_t def, const char16_t* file) {
  if (!section || !key) return def;
  auto v = valueOf(loadFile(file), section, key);
  if (!v || v->empty()) return def;
  return parseNumber(*v);
}

int32_t GetPrivateProfileSection(const char16_t* section, char16_t* buf, uint32_t size, const char16_t* file) {
  if (!buf || size == 0) return 0;
  Document d = loadFile(file);
  std::vector<u16> lines;
  if (section)
    if (auto r = d.findSection(section))
      for (size_t i = r->body; i < r->end; ++i)
        if (d.lines[i].kind() == Line::Entry) lines.push_back(entryLine(d.lines[i]));
  return copyList(lines, buf, size);
}

int32_t GetPrivateProfileSectionNames(char16_t* buf, uint32_t size, const char16_t* file) {
  if (!buf || size == 0) return 0;
  return copyList(loadFile(file).sectionNames(), buf, size);
}

}  // namespace platform
