// The markup's entity references and the record text's content escape.
#include <xml/escape.h>

namespace xml {

void appendMarkupEscaped(std::u16string& out, std::u16string_view s, bool inAttribute) {
  const char16_t* p = s.data();
  const char16_t* end = p + s.size();
  const char16_t* run = p;
  for (; p != end; ++p) {
    const char16_t* rep;
    size_t len;
    switch (*p) {
      case u'&': rep = u"&amp;"; len = 5; break;
      case u'<': rep = u"&lt;"; len = 4; break;
      case u'>': rep = u"&gt;"; len = 4; break;
      case u'"':
        if (!inAttribute) continue;
        rep = u"&quot;"; len = 6;
        break;
      default: continue;
    }
    out.append(run, size_t(p - run));
    out.append(rep, len);
    run = p + 1;
  }
  out.append(run, size_t(end - run));
}

std::u16string markupEscaped(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  appendMarkupEscaped(out, s, true);
  return out;
}

std::u16string escapeContent(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = contentEscape(c);
  return out;
}

std::u16string unescapeContent(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = contentUnescape(c);
  return out;
}

}  // namespace xml
