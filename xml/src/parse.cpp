// Loading text into a document: pugixml parses (as UTF-8), then its tree is copied into ours.
// pugixml hands back partial trees and is lenient where the platform DOM is strict, so the
// result is checked here: the parse status, exactly one document element, no character data
// outside it, no attribute twice on an element. Anything else leaves the document empty.
#include "node_impl.h"

#include <platform/text.h>

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace xml {

namespace {

/// pugixml's UTF-8 strings to ours; plain ASCII (names, most record text) takes a short cut.
void assignUtf8(std::u16string& dst, const char* s) {
  size_t n = 0;
  bool ascii = true;
  for (; s[n]; ++n)
    if (static_cast<unsigned char>(s[n]) >= 0x80) ascii = false;
  if (!ascii) {
    dst = platform::fromUtf8(std::string_view(s, n));
    return;
  }
  dst.resize(n);
  for (size_t i = 0; i < n; ++i) dst[i] = char16_t(static_cast<unsigned char>(s[i]));
}

/// Resolves the reference at `p` ("&...;") to a code point and moves `p` past it; false for
/// anything but &amp; &lt; &gt; &quot; &apos;, &#n; and &#xh; naming a character.
bool resolveReference(const char*& p, uint32_t& cp) {
  static constexpr struct {
    std::string_view name;
    char c;
  } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (const auto& e : kNamed)
    if (std::strncmp(p, e.name.data(), e.name.size()) == 0) {
      cp = uint32_t(e.c);
      p += e.name.size();
      return true;
    }
  if (p[1] != '#') return false;
  const char* q = p + 2;
  bool hex = *q == 'x';
  if (hex) ++q;
  const char* digits = q;
  cp = 0;
  for (;; ++q) {
    unsigned d;
    if (*q >= '0' && *q <= '9') d = unsigned(*q - '0');
    else if (hex && *q >= 'a' && *q <= 'f') d = unsigned(*q - 'a' + 10);
    else if (hex && *q >= 'A' && *q <= 'F') d = unsigned(*q - 'A' + 10);
    else break;
    cp = cp * (hex ? 16 : 10) + d;
    if (cp > 0x10FFFF) return false;
  }
  if (q == digits || *q != ';' || cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  p = q + 1;
  return true;
}

/// Character data or an attribute value from pugixml (which leaves references alone: it keeps
/// a stray "&" as a literal, where the platform DOM refuses the document) into our text,
/// resolving references on the way. false for a bad reference, or "<" in an attribute value.
bool decodeText(std::u16string& dst, const char* s, bool attribute) {
  size_t n = std::strlen(s);
  dst.resize(n);  // never longer than its UTF-8
  char16_t* o = dst.data();
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    uint32_t c = *p;
    if (c < 0x80) {
      if (c == '&') {
        const char* q = reinterpret_cast<const char*>(p);
        if (!resolveReference(q, c)) return false;
        p = reinterpret_cast<const unsigned char*>(q);
        if (c >= 0x10000) {
          *o++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
          c = 0xDC00 + ((c - 0x10000) & 0x3FF);
        }
      } else {
        if (c == '<' && attribute) return false;
        ++p;
      }
    } else if (c < 0xE0) {  // the input came from platform::toUtf8, so it is well-formed
      c = ((c & 0x1F) << 6) | (p[1] & 0x3F);
      p += 2;
    } else if (c < 0xF0) {
      c = ((c & 0x0F) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3F);
      p += 3;
    } else {
      c = ((c & 0x07) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3F);
      p += 4;
      *o++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
    }
    *o++ = char16_t(c);
  }
  dst.resize(size_t(o - dst.data()));
  return true;
}

bool isWhiteSpace(const char* s) {
  for (; *s; ++s)
    if (*s != ' ' && *s != '\t' && *s != '\r' && *s != '\n') return false;
  return true;
}

bool hasDuplicateAttribute(const pugi::xml_node& e) {
  size_t count = 0;
  for (auto a = e.first_attribute(); a; a = a.next_attribute()) ++count;
  if (count < 2) return false;
  if (count <= 16) {
    for (auto a = e.first_attribute(); a; a = a.next_attribute())
      for (auto b = a.next_attribute(); b; b = b.next_attribute())
        if (std::strcmp(a.name(), b.name()) == 0) return true;
    return false;
  }
  std::unordered_set<std::string_view> seen;
  for (auto a = e.first_attribute(); a; a = a.next_attribute())
    if (!seen.insert(a.name()).second) return true;
  return false;
}

/// Our node for one pugixml node; null for what the tree does not keep. Sets `bad` for
/// content the platform DOM rejects. White space outside the document element is kept
/// with `keepTopLevelSpace`, so that a file saved again keeps its lines.
NodePtr convert(const pugi::xml_node& pn, bool topLevel, bool keepTopLevelSpace, bool exactText, bool& bad) {
  NodePtr n;
  switch (pn.type()) {
    case pugi::node_element: {
      if (hasDuplicateAttribute(pn)) {
        bad = true;
        return nullptr;
      }
      n = makeNode(NodeType::Element);
      assignUtf8(n->name, pn.name());
      size_t attributes = 0, children = 0;
      for (auto a = pn.first_attribute(); a; a = a.next_attribute()) ++attributes;
      for (auto c = pn.first_child(); c; c = c.next_sibling()) ++children;
      n->attrs.reserve(attributes);  // one allocation each, not one per growth step
      n->children.reserve(children);
      for (auto a = pn.first_attribute(); a; a = a.next_attribute()) {
        auto an = makeNode(NodeType::Attribute);
        assignUtf8(an->name, a.name());
        if (!decodeText(an->value, a.value(), true)) {
          bad = true;
          return nullptr;
        }
        an->parent = n.get();
        an->index = n->attrs.size();
        n->attrs.push_back(std::move(an));
      }
      return n;
    }
    case pugi::node_pcdata:
      if (topLevel) {
        if (!isWhiteSpace(pn.value())) bad = true;
        if (bad || !keepTopLevelSpace) return nullptr;
        n = makeNode(NodeType::Text);
        break;
      }
      n = makeNode(NodeType::Text);
      if (!decodeText(n->value, pn.value(), false)) bad = true;
      // The exact mode keeps white space alone only as an element's whole content. pugixml
      // judges that on the undecoded text, so white space written as references ("&#9;") beside an
      // element would be kept now and dropped when the written text is read again.
      if (exactText && !bad && (pn.previous_sibling() || pn.next_sibling()) &&
          n->value.find_first_not_of(u" \t\r\n") == std::u16string::npos)
        return nullptr;
      return n;
    case pugi::node_cdata:
      if (topLevel) {
        bad = true;
        return nullptr;
      }
      n = makeNode(NodeType::CData);
      break;
    case pugi::node_comment: n = makeNode(NodeType::Comment); break;
    case pugi::node_pi:
      n = makeNode(NodeType::ProcessingInstruction);
      assignUtf8(n->name, pn.name());
      break;
    case pugi::node_declaration: {
      // Kept as the instruction "xml", its pseudo-attributes written back in double quotes.
      n = makeNode(NodeType::ProcessingInstruction);
      n->name = u"xml";
      std::u16string v;
      for (auto a = pn.first_attribute(); a; a = a.next_attribute()) {
        if (!n->value.empty()) n->value += u' ';
        assignUtf8(v, a.name());
        n->value += v;
        n->value += u"=\"";
        assignUtf8(v, a.value());
        n->value += v;
        n->value += u'"';
      }
      return n;
    }
    case pugi::node_doctype: {
      // Kept as written, internal subset and all, and written back unchanged. Entities it
      // declares are not expanded: a document that uses one is refused like any unknown
      // reference.
      n = makeNode(NodeType::DocumentType);
      assignUtf8(n->value, pn.value());
      size_t end = n->value.find_first_of(u" \t\r\n[");
      n->name = n->value.substr(0, end);
      return n;
    }
    default: return nullptr;
  }
  assignUtf8(n->value, pn.value());
  return n;
}

bool build(NodeImpl* doc, const pugi::xml_document& pd) {
  bool bad = false;
  size_t elements = 0;
  NodeImpl* ours = doc;  // our counterpart of pn's parent
  pugi::xml_node pn = pd.first_child();
  while (pn) {
    NodePtr made = convert(pn, ours == doc, doc->preserveWhiteSpace, doc->exactText && !doc->preserveWhiteSpace, bad);
    if (bad) return false;
    if (made) {
      if (ours == doc && made->type == NodeType::Element && ++elements > 1) return false;
      NodeImpl* raw = made.get();
      attachChild(ours, std::move(made));
      if (raw->type == NodeType::Element && pn.first_child()) {
        ours = raw;
        pn = pn.first_child();
        continue;
      }
    }
    for (;;) {
      if (auto next = pn.next_sibling()) {
        pn = next;
        break;
      }
      pn = pn.parent();
      if (pn == pd) {
        pn = pugi::xml_node();
        break;
      }
      ours = ours->parent;
    }
  }
  return elements == 1;
}

// --- The short road: plain documents read straight from UTF-16 -------------------------------
//
// Record texts are one element tree of plain names, double-quoted attributes and character
// data without references: the same tree pugixml would give, built here without the trip
// through UTF-8. Anything outside that plain shape (references, comments, instructions,
// CDATA, carriage returns, whitespace-only text, tabs or line feeds in attribute values,
// names beyond ASCII, duplicate attributes, text outside the element) sends the document the
// long way through pugixml, so every rule and parse option applies to it as before.

// What each ASCII character may be in a plain name: 1 a name's start, 2 a later character.
constexpr std::array<uint8_t, 128> kNameClass = [] {
  std::array<uint8_t, 128> t{};
  for (int c = 0; c < 128; ++c) {
    bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    bool later = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
    t[size_t(c)] = uint8_t((start ? 1 : 0) | (later ? 2 : 0));
  }
  return t;
}();
bool isNameStart(char16_t c) { return c < 128 && (kNameClass[c] & 1); }
bool isNameChar(char16_t c) { return c < 128 && (kNameClass[c] & 2); }

// The name at `i`; empty when there is none in the plain shape.
std::u16string_view plainName(std::u16string_view t, size_t& i) {
  size_t start = i;
  if (i >= t.size() || !isNameStart(t[i])) return {};
  while (i < t.size() && isNameChar(t[i])) ++i;
  return t.substr(start, i - start);
}

bool plainTree(NodeImpl* doc, std::u16string_view t) {
  std::vector<NodeImpl*> open;
  size_t i = 0, n = t.size();
  if (n == 0 || t[0] != u'<') return false;
  while (i < n) {
    if (t[i] != u'<') {
      if (open.empty()) return false;
      size_t start = i;
      bool blank = true;
      for (; i < n; ++i) {
        char16_t c = t[i];
        if (c >= u'@') {  // above every character looked for here: text, and not blank
          blank = false;
          continue;
        }
        if (c == u'<') break;
        if (c == u'&' || c == u'\r' || c == 0) return false;
        if (c != u' ' && c != u'\t' && c != u'\n') blank = false;
      }
      if (blank) return false;
      NodePtr text = makeNode(NodeType::Text);
      text->value.append(t.data() + start, i - start);  // into a new node's empty string
      attachChild(open.back(), std::move(text));
      continue;
    }
    if (i + 1 < n && t[i + 1] == u'/') {  // an end tag
      i += 2;
      std::u16string_view name = plainName(t, i);
      if (open.empty() || name.empty() || i >= n || t[i] != u'>' || name != open.back()->name) return false;
      ++i;
      open.pop_back();
      if (open.empty()) return i == n;
      continue;
    }
    if (open.empty() && !doc->children.empty()) return false;
    ++i;
    std::u16string_view name = plainName(t, i);
    if (name.empty()) return false;
    NodeImpl* element = appendElement(open.empty() ? doc : open.back(), name, open.empty());
    for (;;) {
      size_t spaces = i;
      while (i < n && t[i] == u' ') ++i;
      if (i >= n) return false;
      if (t[i] == u'>') {
        ++i;
        open.push_back(element);
        break;
      }
      if (t[i] == u'/') {
        if (i + 1 >= n || t[i + 1] != u'>') return false;
        i += 2;
        if (open.empty()) return i == n;
        break;
      }
      if (spaces == i) return false;
      std::u16string_view attr = plainName(t, i);
      if (attr.empty() || i + 1 >= n || t[i] != u'=' || (t[i + 1] != u'"' && t[i + 1] != u'\'')) return false;
      char16_t quote = t[i + 1];
      i += 2;
      size_t start = i;
      for (; i < n && t[i] != quote; ++i) {
        char16_t c = t[i];
        if (c == u'&' || c == u'<' || c == u'\r' || c == u'\n' || c == u'\t' || c == 0) return false;
      }
      if (i >= n) return false;
      for (const NodePtr& a : element->attrs)
        if (a->name == attr) return false;
      appendAttribute(element, attr).append(t.data() + start, i - start);
      ++i;
    }
  }
  return false;
}

}  // namespace

bool parseInto(NodeImpl* doc, std::u16string_view text) {
  // The old tree goes first: the new one is then built largely in its memory, still in cache.
  detachChildren(doc);
  try {
    if (plainTree(doc, text)) return true;
  } catch (...) {
    detachChildren(doc);
    throw;
  }
  detachChildren(doc);
  // pugixml reads UTF-8; toUtf8 keeps a lone surrogate as its three-byte form, so it comes back.
  std::string buf = platform::toUtf8(text);
  // As a fragment, pugixml keeps character data outside the document element (otherwise
  // dropped silently) so that build() can refuse it.
  unsigned flags = pugi::parse_fragment | pugi::parse_cdata | pugi::parse_comments | pugi::parse_pi |
                   pugi::parse_declaration | pugi::parse_doctype;
  if (doc->exactText) flags |= pugi::parse_ws_pcdata_single;
  else flags |= pugi::parse_eol | pugi::parse_wconv_attribute;
  if (doc->preserveWhiteSpace) flags |= pugi::parse_ws_pcdata;
  pugi::xml_document pd;
  pugi::xml_parse_result r = pd.load_buffer_inplace(buf.data(), buf.size(), flags, pugi::encoding_utf8);
  if (r.status == pugi::status_out_of_memory) throw std::bad_alloc();  // not a malformed text
  if (r.status != pugi::status_ok) return false;
  bool ok = false;
  try {
    ok = build(doc, pd);
    // pugixml drops the white space that ends a document; a layout kept keeps it too.
    size_t last = text.find_last_not_of(u" \t\r\n");
    if (ok && doc->preserveWhiteSpace && last != std::u16string_view::npos && last + 1 < text.size()) {
      NodePtr tail = makeNode(NodeType::Text);
      tail->value = std::u16string(text.substr(last + 1));
      for (size_t i = 0; i + 1 < tail->value.size(); ++i)  // line ends as the parser makes them
        if (tail->value[i] == u'\r' && tail->value[i + 1] == u'\n') tail->value.erase(i, 1);
      std::replace(tail->value.begin(), tail->value.end(), u'\r', u'\n');
      attachChild(doc, std::move(tail));
    }
  } catch (...) {
    detachChildren(doc);
    throw;
  }
  if (!ok) detachChildren(doc);
  return ok;
}

}  // namespace xml
