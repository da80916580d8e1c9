// Internal record text <-> the editor's fields (MARC mode).
#include "xml_converter.h"

#include <platform/text.h>
#include <xml/escape.h>

using namespace penwick;

namespace {
u16 leaderText(u16v s) {
  u16 out(s);
  for (char16_t& c : out)
    if (c == u' ') c = xml::kEscapedBlank;
  return xml::markupEscaped(out);
}
}  // namespace

u16 CXmlConverter::GetAttributeText(const xml::Node& node, u16v name) {
  if (!node || node.type() != xml::NodeType::Element) return u16();
  return node.getAttribute(name).value_or(u16());
}

u16 CXmlConverter::FlattenField(const xml::Node& field) {
  u16 out;
  for (const xml::Node& c : field.children()) {
    if (c.type() == xml::NodeType::Text || c.type() == xml::NodeType::CData) {
      out += c.value();
    } else if (c.type() == xml::NodeType::Element) {
      out += kDelimiter;
      out += GetAttributeText(c, u"name");
      out += c.text();
    }
  }
  return out;
}

int CXmlConverter::ReadJinei(u16v text) {
  size_t start = text.find(u"<marc>");
  if (start == u16v::npos) return 0;
  size_t end = text.find(u"</marc>", start);
  if (end == u16v::npos) return 0;
  xml::Document doc = xml::Document::create();
  if (!doc.loadXml(text.substr(start, end + 7 - start))) return 0;
  xml::Node root = doc.documentElement();
  xml::Node leader = root ? root.firstChild() : xml::Node();
  if (!leader) return 0;

  u16 header = leader.text();
  for (char16_t& c : header)
    if (c == xml::kEscapedBlank) c = u' ';
  editor_->AddField(u"000", header);

  for (xml::Node n = leader.nextSibling(); n; n = n.nextSibling()) {
    if (n.type() != xml::NodeType::Element) continue;
    u16 tag = GetAttributeText(n, u"name");
    std::optional<u16> indicator = n.getAttribute(u"indicator");
    u16 content = FlattenField(n);
    if (editor_->IsDublinCore() || IsControlTag(tag)) {
      editor_->AddField(tag, xml::unescapeContent(indicator.value_or(u16()) + content));
    } else {
      // The indicators are the attribute's first two characters; the rest of it is the
      // field's text before its first subfield (all of it for a field without subfields,
      // which the toolkit writes wholly into the attribute). A data field written without
      // the attribute, or with one character in it, does not lend its first subfield's
      // delimiter and code to the indicators.
      const u16 attribute = xml::unescapeContent(indicator.value_or(u16()));
      const size_t n = IndicatorLength(attribute);
      editor_->AddField(tag, attribute.substr(0, n), attribute.substr(n) + xml::unescapeContent(content));
    }
  }
  return 1;
}

void CXmlConverter::WriteJinei(u16& out) const {
  out.clear();
  // Typing changes rows; the items' data follows only when they are folded back.
  editor_->GatherAll();
  const CFieldItem* item = editor_->FirstField();
  if (!item) return;
  out = u"<marc><header>" + leaderText(item->data) + u"</header>";
  for (item = item->next; item; item = item->next) {
    const u16& data = item->data;
    size_t at = data.find(kDelimiter);
    out += u"<field name=\"" + xml::markupEscaped(item->name) + u"\"";
    if (at == u16::npos && !item->indicators.empty() && !IsControlTag(item->name)) {
      // A data field without subfields goes out in the toolkit's own form, its whole text
      // in the indicator attribute: the ISO 2709 writer takes a data field's indicators
      // and subfields only, and would drop text that stood in the element.
      out += u" indicator=\"" + xml::escapeContent(item->indicators + data) + u"\"></field>";
      continue;
    }
    if (!item->indicators.empty()) out += u" indicator=\"" + leaderText(item->indicators) + u"\"";
    out += u">";
    if (at == u16::npos) {
      out += xml::escapeContent(data);
    } else {
      // Text before the first delimiter has no place in a data field's elements.
      while (at != u16::npos) {
        size_t next = data.find(kDelimiter, at + 1);
        u16v code = at + 1 < data.size() && at + 1 != next ? u16v(data).substr(at + 1, 1) : u16v();
        size_t contentStart = at + 1 + code.size();
        u16v content = u16v(data).substr(contentStart, next == u16::npos ? u16v::npos : next - contentStart);
        out += u"<sf name=\"" + xml::markupEscaped(code) + u"\">" + xml::escapeContent(content) + u"</sf>";
        at = next;
      }
    }
    out += u"</field>";
  }
  out += u"</marc>";
}
