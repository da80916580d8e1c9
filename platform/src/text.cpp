#include <platform/text.h>
#include <platform/words.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace platform {

u16 fromUtf8(std::string_view s) {
  // Never more units than bytes: written straight into a buffer of that size.
  u16 out(s.size(), u'\0');
  char16_t* o = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size(), i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {
      words::widenAsciiRun(p, i, n, o);
      continue;
    }
    // The usual well-formed three-byte form (CJK) straight, a run of them in one loop;
    // everything else below.
    bool three = false;
    // Four bytes read at once while a fourth is there: the form's three and the next lead.
    while (i + 4 <= n) {
      uint32_t w;
      std::memcpy(&w, p + i, sizeof w);
      uint32_t cp = ((w & 0x0F) << 12) | ((w >> 2) & 0xFC0) | ((w >> 16) & 0x3F);
      if ((w & 0xC0C0F0) != 0x8080E0 || cp < 0x800) break;
      *o++ = char16_t(cp);  // includes three-byte surrogates written by toUtf8
      i += 3;
      three = true;
    }
    if (three) continue;
    if ((c & 0xF0) == 0xE0 && i + 2 < n) {
      uint32_t b1 = p[i + 1], b2 = p[i + 2];
      uint32_t cp = ((c & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
      if ((b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80 && cp >= 0x800) {
        *o++ = char16_t(cp);
        i += 3;
        continue;
      }
    }
    int len = 0;
    uint32_t cp = 0, min = 0;
    if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF)) ok = false;
    if (!ok) {
      *o++ = u'\uFFFD';
      // Skip the lead byte and whatever continuation bytes follow it.
      ++i;
      while (i < n && (p[i] & 0xC0) == 0x80 && len-- > 1) ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *o++ = char16_t(0xD800 + (cp >> 10));
      *o++ = char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      *o++ = char16_t(cp);  // includes three-byte surrogates written by toUtf8
    }
    i += len;
  }
  out.resize(size_t(o - out.data()));
  return out;
}

std::string toUtf8(u16v s) {
  // At most three bytes per unit (a pair of two units takes four): written straight into
  // room of that size.
  std::string out(s.size() * 3, '\0');
  out.resize(size_t(utf8Into(s, out.data()) - out.data()));
  return out;
}

namespace {

// utf8Into with the choice for lone surrogates made at compile time: the loop is the hot part
// of every UTF-8 record written.
template <bool kLoneAsReplacement>
char* utf8IntoAs(u16v s, char* o) {
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    uint32_t c = s[i++];
    if (c < 0x80) {
      *o++ = char(c);
      // More ASCII four units at a time (tags, indicators, codes, numbers).
      words::narrowAsciiRun(s.data(), i, n, o);
      continue;
    }
    // Three bytes for all but the first 800 and surrogates: most characters of a record
    // outside ASCII, so they are looked at first.
    if (c >= 0x800 && (c & 0xF800) != 0xD800) {
      *o++ = char(0xE0 | (c >> 12));
      *o++ = char(0x80 | ((c >> 6) & 0x3F));
      *o++ = char(0x80 | (c & 0x3F));
      continue;
    }
    if (c < 0x800) {
      *o++ = char(0xC0 | (c >> 6));
      *o++ = char(0x80 | (c & 0x3F));
      continue;
    }
    if (c <= 0xDBFF && i < n && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i] - 0xDC00);
      ++i;
      *o++ = char(0xF0 | (c >> 18));
      *o++ = char(0x80 | ((c >> 12) & 0x3F));
      *o++ = char(0x80 | ((c >> 6) & 0x3F));
      *o++ = char(0x80 | (c & 0x3F));
      continue;
    }
    // Three bytes, lone surrogates included.
    if (kLoneAsReplacement) c = 0xFFFD;
    *o++ = char(0xE0 | (c >> 12));
    *o++ = char(0x80 | ((c >> 6) & 0x3F));
    *o++ = char(0x80 | (c & 0x3F));
  }
  return o;
}

}  // namespace

char* utf8Into(u16v s, char* o, bool loneAsReplacement) {
  return loneAsReplacement ? utf8IntoAs<true>(s, o) : utf8IntoAs<false>(s, o);
}

bool isValidUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size(), i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) { ++i; continue; }
    int len;
    uint32_t cp, min;
    if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
    else return false;
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

size_t length(const char16_t* s) {
  if (!s) return 0;
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

char16_t upperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

int compareNoCase(u16v a, u16v b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = upperAscii(a[i]), y = upperAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool equalsNoCase(u16v a, u16v b) { return a.size() == b.size() && compareNoCase(a, b) == 0; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

u16 toLowerAscii(u16v s) {
  u16 r(s);
  for (auto& c : r)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  return r;
}

int32_t copyOut(u16v text, char16_t* buf, int32_t size) {
  if (!buf || size <= 0 || text.size() + 1 > size_t(size)) return 0;
  std::copy(text.begin(), text.end(), buf);
  buf[text.size()] = 0;
  return int32_t(text.size());
}

u16 ascii(std::string_view s) {
  u16 r;
  r.reserve(s.size());
  for (unsigned char c : s) r.push_back(char16_t(c));
  return r;
}

namespace {

void pad(u16& out, const u16& body, size_t width, bool left, char16_t fill) {
  if (body.size() >= width) {
    out += body;
    return;
  }
  size_t n = width - body.size();
  if (left) {
    out += body;
    out.append(n, u' ');
  } else if (fill == u'0' && !body.empty() && body[0] == u'-') {
    out.push_back(u'-');
    out.append(n, u'0');
    out.append(body, 1);
  } else {
    out.append(n, fill);
    out += body;
  }
}

u16 digits(uint64_t v, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  u16 r;
  do {
    r.push_back(char16_t(set[v % base]));
    v /= base;
  } while (v);
  std::reverse(r.begin(), r.end());
  return r;
}

}  // namespace

u16 formatText(u16v fmt, std::initializer_list<FmtArg> args) {
  u16 out;
  out.reserve(fmt.size() + 16 * args.size());
  auto next = args.begin();
  for (size_t i = 0; i < fmt.size(); ++i) {
    char16_t c = fmt[i];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    if (++i >= fmt.size()) break;
    if (fmt[i] == u'%') {
      out.push_back(u'%');
      continue;
    }
    bool left = false;
    char16_t fill = u' ';
    for (; i < fmt.size() && (fmt[i] == u'-' || fmt[i] == u'0' || fmt[i] == u'+' || fmt[i] == u' ' || fmt[i] == u'#'); ++i) {
      if (fmt[i] == u'-') left = true;
      if (fmt[i] == u'0') fill = u'0';
    }
    size_t width = 0;
    for (; i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9'; ++i) width = width * 10 + (fmt[i] - u'0');
    bool hasPrec = false;
    size_t prec = 0;
    if (i < fmt.size() && fmt[i] == u'.') {
      hasPrec = true;
      for (++i; i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9'; ++i) prec = prec * 10 + (fmt[i] - u'0');
    }
    while (i < fmt.size() && (fmt[i] == u'l' || fmt[i] == u'h')) ++i;
    if (i >= fmt.size()) break;
    char16_t conv = fmt[i];
    const FmtArg* a = next != args.end() ? &*next++ : nullptr;
    u16 body;
    switch (conv) {
      case u's':
        if (a && a->kind == FmtArg::Text) body = u16(hasPrec ? a->s.substr(0, prec) : a->s);
        pad(out, body, width, left, u' ');
        continue;
      case u'c':
        if (a) body.push_back(char16_t(a->kind == FmtArg::Int ? a->i : a->u));
        break;
      case u'd':
      case u'i': {
        int64_t v = !a ? 0 : a->kind == FmtArg::Int ? a->i : a->kind == FmtArg::Text ? 0 : int64_t(a->u);
        body = v < 0 ? u"-" + digits(uint64_t(-(v + 1)) + 1, 10, false) : digits(uint64_t(v), 10, false);
        break;
      }
      case u'u':
      case u'x':
      case u'X': {
        uint64_t v = 0;
        if (a && a->kind == FmtArg::Int) v = uint64_t(uint32_t(int32_t(a->i)));  // 32-bit, as a suite long
        if (a && a->kind == FmtArg::Int && (a->i > INT32_MAX || a->i < INT32_MIN)) v = uint64_t(a->i);
        if (a && (a->kind == FmtArg::UInt || a->kind == FmtArg::Char)) v = a->u;
        body = digits(v, conv == u'u' ? 10 : 16, conv == u'X');
        break;
      }
      default:
        body.push_back(u'%');
        body.push_back(conv);
        break;
    }
    if (hasPrec && conv != u'c') {
      size_t sign = (!body.empty() && body[0] == u'-') ? 1 : 0;
      if (body.size() - sign < prec) body.insert(sign, prec - (body.size() - sign), u'0');
    }
    pad(out, body, width, left, left ? u' ' : fill);
  }
  return out;
}

}  // namespace platform
