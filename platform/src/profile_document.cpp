#include "profile_document.h"

#include <platform/codepage.h>

namespace platform::profile {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

u16 decode(Encoding e, std::string_view raw) {
  switch (e) {
    case Encoding::Utf16Le: return toWide(CP_UTF16LE, raw);
    case Encoding::Gbk: return toWide(CP_GBK, raw);
    default: return fromUtf8(raw);
  }
}

std::string encode(Encoding e, u16v text) {
  switch (e) {
    case Encoding::Utf16Le: return toNarrow(CP_UTF16LE, text);
    case Encoding::Gbk: return toNarrow(CP_GBK, text);
    // A lone surrogate (a pair cut in two by a short read buffer) would make the bytes invalid
    // UTF-8, and the next read would take the whole file for code page 936: it becomes U+FFFD.
    default: return toNarrow(CP_UTF8, text);
  }
}

// Splits 8-bit text at LF. Neither UTF-8 nor code page 936 uses 0x0A inside a character.
void splitBytes(Document& d, std::string_view s) {
  while (!s.empty()) {
    size_t k = s.find('\n');
    std::string_view line = s.substr(0, k);
    Line l;
    if (k == std::string_view::npos) {
      s = {};
    } else {
      s.remove_prefix(k + 1);
      l.eol = u"\n";
      if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
        l.eol = u"\r\n";
      }
    }
    l.raw = std::string(line);
    l.text = decode(d.encoding, l.raw);
    d.lines.push_back(std::move(l));
  }
}

void splitUnits(Document& d, std::string_view s) {
  auto unit = [&](size_t i) { return char16_t(uint8_t(s[2 * i]) | (uint8_t(s[2 * i + 1]) << 8)); };
  size_t units = s.size() / 2, start = 0;
  for (size_t i = 0; i <= units; ++i) {
    bool atEnd = i == units;
    if (!atEnd && unit(i) != u'\n') continue;
    size_t stop = i;
    Line l;
    if (!atEnd) {
      l.eol = u"\n";
      if (stop > start && unit(stop - 1) == u'\r') {
        --stop;
        l.eol = u"\r\n";
      }
    }
    // An odd last byte stays with the last line so that it is written back unchanged.
    size_t bytes = atEnd ? s.size() - 2 * start : 2 * (stop - start);
    if (atEnd && bytes == 0) break;
    l.raw = std::string(s.substr(2 * start, bytes));
    l.text = decode(Encoding::Utf16Le, l.raw);
    d.lines.push_back(std::move(l));
    start = i + 1;
  }
}

}  // namespace

u16v trim(u16v s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

Line::Kind Line::kind() const {
  u16v t = trim(text);
  if (t.empty()) return Blank;
  if (t[0] == u';') return Comment;
  if (t[0] == u'[') return Header;
  return Entry;
}

u16 Line::sectionName() const {
  u16v t = trim(text);
  t.remove_prefix(1);
  size_t k = t.find(u']');
  return u16(trim(t.substr(0, k)));
}

u16 Line::key() const {
  u16v t(text);
  return u16(trim(t.substr(0, t.find(u'='))));
}

u16 Line::value() const {
  u16v t(text);
  size_t k = t.find(u'=');
  return k == u16v::npos ? u16() : u16(trim(t.substr(k + 1)));
}

Document Document::parse(std::string_view bytes) {
  Document d;
  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
    d.encoding = Encoding::Utf16Le;
    d.readAs_ = d.encoding;
    splitUnits(d, bytes.substr(2));
    return d;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    d.encoding = Encoding::Utf8Bom;
    bytes.remove_prefix(3);
  } else {
    d.encoding = isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Gbk;
  }
  d.readAs_ = d.encoding;
  splitBytes(d, bytes);
  return d;
}

std::string Document::serialize() const {
  std::string out;
  if (encoding == Encoding::Utf16Le) out = "\xFF\xFE";
  if (encoding == Encoding::Utf8Bom) out = "\xEF\xBB\xBF";
  bool keepRaw = encoding == readAs_;
  for (auto& l : lines) {
    out += (keepRaw && !l.edited) ? l.raw : encode(encoding, l.text);
    out += encode(encoding, l.eol);
  }
  return out;
}

std::optional<Document::Range> Document::findSection(u16v name) const {
  auto all = findSections(name);
  if (all.empty()) return std::nullopt;
  return all.front();
}

std::vector<Document::Range> Document::findSections(u16v name) const {
  std::vector<Range> out;
  name = trim(name);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind() != Line::Header || !equalsNoCase(u16v(lines[i].sectionName()), name)) continue;
    size_t end = i + 1;
    while (end < lines.size() && lines[end].kind() != Line::Header) ++end;
    out.push_back({i, i + 1, end});
    i = end - 1;
  }
  return out;
}

std::optional<size_t> Document::findKey(const Range& r, u16v key) const {
  key = trim(key);
  for (size_t i = r.body; i < r.end; ++i)
    if (lines[i].kind() == Line::Entry && equalsNoCase(u16v(lines[i].key()), key)) return i;
  return std::nullopt;
}

std::vector<u16> Document::sectionNames() const {
  std::vector<u16> out;
  for (auto& l : lines)
    if (l.kind() == Line::Header) out.push_back(l.sectionName());
  return out;
}

u16 Document::lineBreak() const {
  for (auto& l : lines)
    if (!l.eol.empty()) return l.eol;
  return u"\n";
}

Line Document::makeLine(u16 text) const {
  Line l;
  l.text = std::move(text);
  l.eol = lineBreak();
  l.edited = true;
  return l;
}

void Document::insertLine(size_t at, u16 text) {
  if (at > 0 && lines[at - 1].eol.empty()) lines[at - 1].eol = lineBreak();
  lines.insert(lines.begin() + std::ptrdiff_t(at), makeLine(std::move(text)));
}

Document::Range Document::appendSection(u16v section) {
  if (!lines.empty() && lines.back().kind() != Line::Blank) insertLine(lines.size(), u16());
  insertLine(lines.size(), u"[" + u16(trim(section)) + u"]");
  size_t h = lines.size() - 1;
  return {h, h + 1, h + 1};
}

size_t Document::insertionPoint(const Range& r) const {
  size_t at = r.end;
  while (at > r.body && lines[at - 1].kind() == Line::Blank) --at;
  return at;
}

void Document::setValue(u16v section, u16v key, u16v value) {
  auto r = findSection(section);
  if (!r) r = appendSection(section);
  if (auto k = findKey(*r, key)) {
    Line& l = lines[*k];
    l.text = l.key() + u"=" + u16(value);
    l.edited = true;
    return;
  }
  insertLine(insertionPoint(*r), u16(trim(key)) + u"=" + u16(value));
}

bool Document::removeKey(u16v section, u16v key) {
  auto r = findSection(section);
  if (!r) return false;
  bool found = false;
  while (auto k = findKey(*r, key)) {
    lines.erase(lines.begin() + std::ptrdiff_t(*k));
    --r->end;
    found = true;
  }
  return found;
}

bool Document::removeSection(u16v section) {
  auto all = findSections(section);
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    lines.erase(lines.begin() + std::ptrdiff_t(it->header), lines.begin() + std::ptrdiff_t(it->end));
  return !all.empty();
}

void Document::replaceSection(u16v section, const std::vector<u16>& entries) {
  auto all = findSections(section);
  Range r;
  if (all.empty()) {
    r = appendSection(section);
  } else {
    // Later sections of the same name would only hide behind the first: drop them.
    for (size_t i = all.size(); i-- > 1;)
      lines.erase(lines.begin() + std::ptrdiff_t(all[i].header), lines.begin() + std::ptrdiff_t(all[i].end));
    r = all.front();
    size_t stop = insertionPoint(r);
    lines.erase(lines.begin() + std::ptrdiff_t(r.body), lines.begin() + std::ptrdiff_t(stop));
  }
  size_t at = r.body;
  for (auto& e : entries) insertLine(at++, e);
}

bool Document::canHold(u16v text) const {
  if (encoding != Encoding::Gbk) return true;
  return toWide(CP_GBK, toNarrow(CP_GBK, text)) == text;
}

}  // namespace platform::profile
