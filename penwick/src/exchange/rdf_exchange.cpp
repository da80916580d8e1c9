// RDF/XML Dublin Core text <-> the editor's elements (Dublin Core mode).
#include "xml_converter.h"

#include <platform/profile.h>
#include <platform/text.h>
#include <xml/escape.h>

using namespace penwick;

namespace {

constexpr char16_t kRdfNs[] = u"http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr char16_t kDcNs[] = u"http://purl.org/dc/elements/1.1/";
constexpr char16_t kDcqNs[] = u"http://purl.org/dc/qualifiers/1.0/";
constexpr char16_t kQualifiers[4][7] = {u"Type", u"Scheme", u"Lang", u"MarcID"};
constexpr char16_t kLt = 0x13;  // "<" inside a value
constexpr char16_t kGt = 0x14;  // ">" inside a value

// A value travels with its angle brackets as U+0013/U+0014; an ampersand is written as an
// entity so that the text parses back.
u16 valueText(u16v value) {
  u16 out;
  for (char16_t c : value) {
    if (c == u'<') out += kLt;
    else if (c == u'>') out += kGt;
    else if (c == u'&') out += u"&amp;";
    else out += c;
  }
  return out;
}

u16 declarationOf(int32_t codePage) {
  if (codePage == -1) return u"<?xml version=\"1.0\" encoding=\"unicode\"?>";
  if (codePage == 0) return u"<?xml version=\"1.0\" encoding=\"gb2312\"?>";
  return u"<?xml version=\"1.0\" encoding=\"utf-8\"?>";
}

}  // namespace

int CXmlConverter::WriteRdf(u16& out, int32_t codePage) const {
  editor_->GatherAll();
  const u16 ini = editor_->PropertyIniPath();
  const u16 syntax = platform::profileString(ini, u"General", u"syntax", u"rdf", 32);
  const bool rdf = platform::equalsNoCase(syntax, u"rdf");
  out = declarationOf(codePage);
  if (rdf) {
    out += u"<rdf:RDF xmlns:rdf=\"";
    out += kRdfNs;
    out += u"\" xmlns:dc=\"";
    out += kDcNs;
    out += u"\" xmlns:dcq=\"";
    out += kDcqNs;
    out += u"\"";
    for (const u16& line : platform::profileSection(ini, u"NameSpaces", 4096)) {
      if (line.empty()) break;
      out += u" xmlns:" + line;
    }
    out += u"><rdf:Description>";
  } else {
    out += u"<record>";
  }
  for (const CFieldItem* item = editor_->FirstField(); item; item = item->next)
    out += WriteRdfElement(*item, syntax);
  out += rdf ? u"</rdf:Description></rdf:RDF>" : u"</record>";
  return 1;
}

u16 CXmlConverter::WriteRdfElement(const CFieldItem& item, u16v syntax) const {
  const u16& name = item.name;
  size_t colon = name.find(u':');
  u16 prefix = colon == u16::npos ? u16(u"dc:") : name.substr(0, colon + 1);
  u16 local = colon == u16::npos ? name : name.substr(colon + 1);
  u16 value;
  item.GetQualifier(u"Value", value);
  value = valueText(value);
  const bool rdf = platform::equalsNoCase(syntax, u"rdf");
  if (!rdf) return u"<" + local + u">" + value + u"</" + local + u">";
  const u16 tag = prefix + local;
  if (!item.HasQualifiers()) return u"<" + tag + u">" + value + u"</" + tag + u">";

  u16 q[4];
  for (int i = 0; i < 4; ++i) {
    item.GetQualifier(kQualifiers[i], q[i]);
    q[i] = xml::markupEscaped(q[i]);
  }
  if (syntax != u"RDF") {
    u16 out = u"<" + tag;
    for (int i = 0; i < 4; ++i)
      if (!q[i].empty()) out += u" " + u16(kQualifiers[i]) + u"=\"" + q[i] + u"\"";
    return out + u">" + value + u"</" + tag + u">";
  }
  // The qualifier elements carry the element's stored name, except that a "dc:" prefix is
  // left out: the reader drops "dc:" from the element's own tag, so "dcq:dc:titleType"
  // would come back as a qualifier "dc:Type" and the Type would be lost.
  const u16 own = prefix == u"dc:" ? local : name;
  u16 out = u"<" + tag + u"><rdf:Description><rdf:value>" + value + u"</rdf:value>";
  if (!q[0].empty()) out += u"<dcq:" + own + u"Type>" + q[0] + u"</dcq:" + own + u"Type>";
  if (!q[1].empty()) out += u"<dcq:" + own + u"Scheme>" + q[1] + u"</dcq:" + own + u"Scheme>";
  if (!q[2].empty()) out += u"<xml:lang>" + q[2] + u"</xml:lang>";
  if (!q[3].empty()) out += u"<dtq:MarcID>" + q[3] + u"</dtq:MarcID>";
  return out + u"</rdf:Description></" + tag + u">";
}

void CXmlConverter::StripPrefixes(u16& text) {
  static const u16v prefixes[] = {u"rdf:", u"dc:", u"dcq:", u"xml:", u"dtq:"};
  u16 out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] != u'<') continue;
    size_t j = i + 1;
    if (j < text.size() && text[j] == u'/') {
      out += u'/';
      ++j;
    }
    for (u16v p : prefixes) {
      if (u16v(text).substr(j, p.size()) == p) {
        j += p.size();
        break;
      }
    }
    i = j - 1;
  }
  // Element names that keep a prefix (my:tag) stay as they are: the XML layer reads names
  // without resolving namespaces, so an undeclared prefix does not stop the parse.
  text = std::move(out);
}

u16 CXmlConverter::ReadElementValue(const xml::Node& element) {
  u16 data;
  auto appendAttributes = [&] {
    for (const char16_t* q : kQualifiers) {
      u16 v = GetAttributeText(element, q);
      if (!v.empty()) data += kEsc + u16(q) + u"::=" + v;
    }
  };
  std::vector<xml::Node> children = element.children();
  // An element with an empty value still carries its qualifier attributes.
  if (children.empty()) appendAttributes();
  const u16 own = element.name();
  for (const xml::Node& c : children) {
    if (c.type() == xml::NodeType::Text || c.type() == xml::NodeType::CData) {
      data += c.value();
      appendAttributes();
      break;
    }
    if (c.type() != xml::NodeType::Element) continue;
    xml::Node part = c.firstChild();
    if (!part) continue;
    data += part.text();
    for (part = part.nextSibling(); part; part = part.nextSibling()) {
      if (part.type() != xml::NodeType::Element) continue;
      u16 q = part.name();
      for (size_t at; !own.empty() && (at = q.find(own)) != u16::npos;) q.erase(at, own.size());
      // The language child is xml:lang; the model and both writers call the qualifier Lang.
      if (q == u"lang") q = u"Lang";
      data += kEsc + q + u"::=" + part.text();
    }
  }
  return data;
}

int CXmlConverter::ReadRdf(u16v text) {
  size_t start = text.find(u"<rdf:Description");
  if (start == u16v::npos) return 0;
  size_t end = text.find(u"</rdf:RDF>", start);
  u16 body(text.substr(start, end == u16v::npos ? u16v::npos : end - start));
  StripPrefixes(body);
  xml::Document doc = xml::Document::create();
  if (!doc.loadXml(body)) return 0;
  for (const xml::Node& child : doc.documentElement().childElements()) {
    u16 data = ReadElementValue(child);
    for (char16_t& c : data) {
      if (c == kLt) c = u'<';
      else if (c == kGt) c = u'>';
    }
    editor_->AddField(child.name(), data);
  }
  return 1;
}
