// Helpers shared by the record object and its handles.
#include "marc_internal.h"

#include <loomkit/MarcFile.h>

#include <algorithm>

namespace loomkit {

using platform::ComError;

std::shared_ptr<const ChildLookup> ChildLookup::build(const xml::Node& parent, u16v elementName,
                                                      uint64_t revision) {
  auto lookup = std::make_shared<ChildLookup>();
  lookup->revision = revision;
  for (xml::Node c = parent.firstChild(); !c.isNull(); c = c.nextSibling()) {
    if (c.type() != xml::NodeType::Element || c.name() != elementName) continue;
    // A child without the attribute never matches, not even the empty text.
    if (auto name = c.getAttribute(u"name")) lookup->byName[*name].push_back(c);
  }
  return lookup;
}

xml::Node ChildLookup::find(u16v name, int32_t n) const {
  auto it = byName.find(u16(name));
  if (it == byName.end() || n < 0 || size_t(n) >= it->second.size()) return xml::Node();
  return it->second[size_t(n)];
}

namespace {

std::shared_ptr<RecordState> rootOf(std::shared_ptr<RecordState> s) {
  while (s->joined) s = s->joined;
  return s;
}

}  // namespace

void joinStates(const std::shared_ptr<RecordState>& from, const std::shared_ptr<RecordState>& into) {
  if (!from || !into) return;
  std::shared_ptr<RecordState> a = rootOf(from), b = rootOf(into);
  if (a == b) return;
  // Past both counters, so that no cache of either record matches any more.
  b->fields = std::max(a->fields, b->fields) + 1;
  b->subfields = std::max(a->subfields, b->subfields) + 1;
  a->joined = b;
}

int copyToBuffer(u16v text, char16_t* buffer, int32_t size) {
  if (!buffer || size <= 0 || text.size() >= size_t(size)) return 0;
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
  return 1;
}

u16 firstAttributeValue(const xml::Node& n) {
  if (n.type() != xml::NodeType::Element || n.attributeCount() == 0) return u16();
  return n.attributeAt(0).value();
}

int sameXml(const xml::Node& a, const xml::Node& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  return a.xml() == b.xml();
}

void setAttributeIn(xml::Document doc, xml::Node element, u16v name, u16v value) {
  xml::Node attr = need(doc).createAttribute(name);
  attr.setValue(value);
  element.setAttributeNode(attr);
}

int32_t countUnlessText(const xml::Node& n) {
  xml::Node first = n.firstChild();
  if (first.isNull() || first.type() == xml::NodeType::Text) return 0;
  return int32_t(n.childCount());
}

xml::Node CreateSubfieldElement(xml::Document doc, u16v code, u16v text) {
  xml::Node element = need(doc).createElement(u"sf");
  setAttributeIn(doc, element, u"name", code);
  element.setText(text);
  return element;
}

void InsertByCode(xml::Node parent, const xml::Node& element) {
  u16 code = firstAttributeValue(element);
  for (xml::Node c = parent.firstChild(); !c.isNull(); c = c.nextSibling()) {
    if (code.compare(firstAttributeValue(c)) >= 0) {
      parent.insertBefore(element, c);
      return;
    }
  }
  parent.appendChild(element);
}

void InsertAt(xml::Node parent, int32_t i, const xml::Node& element) {
  xml::Node ref = i >= 0 ? parent.child(size_t(i)) : xml::Node();
  parent.insertBefore(element, ref);
}

xml::Node addSubfield(xml::Node parent, xml::Document doc, const std::shared_ptr<RecordState>& state,
                      const char16_t* code, const char16_t* text, Place place, int32_t index) {
  need(parent);
  xml::Node element = CreateSubfieldElement(doc, arg(code), arg(text));
  switch (place) {
    case Place::End: parent.appendChild(element); break;
    case Place::ByCode: InsertByCode(parent, element); break;
    case Place::AtIndex: InsertAt(parent, index, element); break;
  }
  subfieldsChanged(state);
  return element;
}

int deleteChild(xml::Node parent, const xml::Node& child, const std::shared_ptr<RecordState>& state) {
  int removed = removeIfChild(need(parent), child);
  if (removed) subfieldsChanged(state);
  return removed;
}

int deleteChildAt(xml::Node parent, int32_t i, const std::shared_ptr<RecordState>& state) {
  int removed = removeChildAt(need(parent), i);
  if (removed) subfieldsChanged(state);
  return removed;
}

void appendCopy(xml::Node parent, const xml::Node& element, const std::shared_ptr<RecordState>& state) {
  need(parent).appendChild(CMarcFile::Shared().CloneNode(element));
  subfieldsChanged(state);
}

int removeChildAt(xml::Node parent, int32_t i) {
  if (i < 0) return 0;
  xml::Node c = parent.child(size_t(i));
  if (c.isNull()) return 0;
  parent.removeChild(c);
  return 1;
}

int removeIfChild(xml::Node parent, const xml::Node& child) {
  if (child.isNull() || child.parent() != parent) return 0;
  parent.removeChild(child);
  return 1;
}

xml::Node replaceInParent(const xml::Node& element, const xml::Node& replacement) {
  xml::Node parent = need(element).parent();
  if (parent.isNull()) throwPointer();
  int64_t at = element.indexInParent();
  parent.replaceChild(replacement, element);
  return parent.child(size_t(at));
}

xml::Document recordDocument() {
  xml::Document doc = xml::Document::create();
  doc.setExactText(true);
  return doc;
}

xml::Node parseElement(u16v xmlText) {
  xml::Document temp = recordDocument();
  temp.loadXml(xmlText);
  xml::Node element = temp.documentElement();
  // Emptying the scratch document leaves the element free to move into a record.
  if (!element.isNull()) temp.removeChild(element);
  return element;
}

xml::Node parseReplacement(const char16_t* xmlText) {
  xml::Node element = parseElement(arg(xmlText));
  if (element.isNull()) throw ComError(platform::E_INVALIDARG);
  return element;
}

}  // namespace loomkit
