// CField: a handle on one field element of a record, shared with the record.
#include <loomkit/Field.h>
#include <loomkit/MarcFile.h>
#include <xml/escape.h>

#include "marc_internal.h"

using namespace loomkit;

CField::CField() = default;
CField::CField(const CField& other) = default;

CField& CField::operator=(const CField& other) {
  if (this == &other) return *this;
  // Letting go of a field this handle grouped would leave its groups in the record for good.
  if (node != other.node) flattenIfGrouped();
  node = other.node;
  document = other.document;
  nameCache = other.nameCache;
  nameCached = other.nameCached;
  subfieldStatus = other.subfieldStatus;
  queryCache = other.queryCache;
  state = other.state;
  return *this;
}

CField::~CField() {
  try {
    flattenIfGrouped();
  } catch (...) {
    // A destructor must not throw; the field then simply keeps its groups.
  }
}

void CField::Attach(const xml::Node& element, const xml::Document& doc,
                    const std::shared_ptr<RecordState>& recordState) {
  flattenIfGrouped();
  node = element;
  document = doc;
  state = recordState;
  nameCache.clear();
  nameCached = 0;
  subfieldStatus = 1;
  queryCache.reset();
}

void CField::flattenIfGrouped() {
  if (!node.isNull() && subfieldStatus == 0) SetSubFieldStatus();
}

void CField::changed() { subfieldsChanged(state); }

const ChildLookup& CField::lookup() {
  uint64_t revision = state ? counters(*state).subfields : 0;
  if (!queryCache || !state || queryCache->revision != revision)
    queryCache = ChildLookup::build(node, u"sf", revision);
  return *queryCache;
}

CSubField CField::subfieldOn(const xml::Node& element) const {
  CSubField s;
  if (!element.isNull()) s.Attach(element, document, state);
  return s;
}

CGroup CField::groupOn(const xml::Node& element) const {
  CGroup g;
  if (!element.isNull()) g.Attach(element, document, state);
  return g;
}

int CField::IsNull() { return node.isNull(); }

const char16_t* CField::GetName() {
  if (!nameCached) {
    need(node);
    bool named = node.type() == xml::NodeType::Element && node.attributeCount() > 0;
    nameCache = named ? node.attributeAt(0).value() : u16(u"000");
    nameCached = 1;
  }
  return nameCache.c_str();
}

bool CField::isControlField() {
  u16v name = GetName();
  return name.substr(0, 2) == u"00" || name.substr(0, 2) == u"-0";
}

int CField::ReadIndicator(std::u16string& out, int decode) {
  out.clear();
  if (need(node).type() != xml::NodeType::Element || node.attributeCount() < 2) return 0;
  out = node.attributeAt(1).value();
  if (decode)
    for (char16_t& c : out)
      if (c == xml::kEscapedBlank) c = u' ';
  return 1;
}

int CField::GetIndicator(char16_t* buffer, int32_t size, int decode) {
  u16 indicator;
  if (!ReadIndicator(indicator, decode)) return 0;
  return copyToBuffer(indicator, buffer, size);
}

std::u16string CField::FieldText(int decode) {
  need(node);
  if (!isControlField()) return node.xml();
  u16 text = node.text() + u'\x1E';
  return decode ? xml::unescapeContent(text) : text;
}

int CField::GetContent(char16_t* buffer, int32_t size, int decode) {
  return copyToBuffer(FieldText(decode), buffer, size);
}

int CField::IsEmpty() {
  if (node.isNull()) return 1;
  if (isControlField()) return node.text().empty();
  return node.childCount() == 0;
}

int32_t CField::GetSGCount() { return node.isNull() ? 0 : countUnlessText(node); }

CSubField CField::GetSubFld(int32_t i) {
  need(node);
  flattenIfGrouped();
  return subfieldOn(i >= 0 ? node.child(size_t(i)) : xml::Node());
}

CSubField CField::GetSubFld(const char16_t* code, int32_t n) {
  need(node);
  flattenIfGrouped();
  return subfieldOn(lookup().find(arg(code), n));
}

CSubField CField::AddSubFld(const char16_t* code, const char16_t* text) {
  return subfieldOn(addSubfield(node, document, state, code, text, Place::End));
}

CSubField CField::InsSubFld(const char16_t* code, const char16_t* text) {
  return subfieldOn(addSubfield(node, document, state, code, text, Place::ByCode));
}

CSubField CField::InsSubFld(int32_t i, const char16_t* code, const char16_t* text) {
  return subfieldOn(addSubfield(node, document, state, code, text, Place::AtIndex, i));
}

int CField::DelSubFld(const CSubField& subfield) { return deleteChild(node, subfield.node, state); }

int CField::DelSubFld(int32_t i) { return deleteChildAt(node, i, state); }

CGroup CField::AddGroup() {
  need(node);
  xml::Node group = need(document).createElement(u"group");
  node.appendChild(group);
  changed();
  return groupOn(group);
}

int CField::DelGroup(const CGroup& group) { return deleteChild(node, group.node, state); }

int CField::DelGroup(int32_t i) { return deleteChildAt(node, i, state); }

CGroup CField::GetGroup(int32_t i) {
  if (node.isNull()) return CGroup();
  if (subfieldStatus == 1 && !SetGroupStatus(u"a")) return CGroup();
  return groupOn(i >= 0 ? node.child(size_t(i)) : xml::Node());
}

CGroup CField::GetGroup(const char16_t* text) {
  if (node.isNull()) return CGroup();
  if (subfieldStatus == 1 && !SetGroupStatus(u"a")) return CGroup();
  for (xml::Node c = node.firstChild(); !c.isNull(); c = c.nextSibling()) {
    CGroup group = groupOn(c);
    CSubField first = group.GetSubFld(0);
    // A child without any child node (an empty group) has no first subfield: no match.
    if (!first.IsNull() && first.Compare(text, -1) == 0) return group;
  }
  return CGroup();
}

int CField::SetGroupStatus(const char16_t* code) {
  if (node.isNull()) return 0;
  if (subfieldStatus == 0) return 1;
  if (GetSGCount() < 1) return 0;
  u16v groupCode = arg(code);
  bool grouped = false;
  xml::Node c = node.firstChild();
  while (!c.isNull()) {
    xml::Node next = c.nextSibling();
    if (firstAttributeValue(c) != groupCode) {
      c = next;
      continue;
    }
    xml::Node group = need(document).createElement(u"group");
    grouped = true;
    group.appendChild(c);
    while (!next.isNull() && firstAttributeValue(next) != groupCode) {
      xml::Node after = next.nextSibling();
      group.appendChild(next);
      next = after;
    }
    node.insertBefore(group, next);
    c = next;
  }
  if (!grouped) return 0;
  subfieldStatus = 0;
  changed();
  return 1;
}

int CField::SetSubFieldStatus() {
  if (subfieldStatus == 1 || node.isNull()) {
    subfieldStatus = 1;
    return 1;
  }
  bool flattened = false;
  xml::Node c = node.firstChild();
  while (!c.isNull()) {
    xml::Node next = c.nextSibling();
    if (c.type() == xml::NodeType::Element && c.name() == u"group") {
      while (!c.firstChild().isNull()) node.insertBefore(c.firstChild(), c);
      node.removeChild(c);
      flattened = true;
    }
    c = next;
  }
  subfieldStatus = 1;
  if (flattened) changed();
  return 1;
}

void CField::replaceElement(const xml::Node& replacement) {
  node = replaceInParent(node, replacement);
  queryCache.reset();
  fieldsChanged(state);
}

void CField::SetContent(const CField& other) {
  need(other.node);
  need(node);
  if (node.parent().isNull()) throwPointer();
  replaceElement(CMarcFile::Shared().CloneNode(other.node));
  nameCache = other.nameCache;
  nameCached = other.nameCached;
}

void CField::SetContent(const char16_t* xmlText) {
  need(node);
  if (node.parent().isNull()) throwPointer();
  replaceElement(parseReplacement(xmlText));
  nameCache.clear();
  nameCached = 0;
}

CField& CField::operator+=(const CSubField& subfield) {
  appendCopy(node, subfield.node, state);
  return *this;
}

CField& CField::operator+=(const CGroup& group) {
  appendCopy(node, group.node, state);
  return *this;
}

int CField::operator==(const CField& other) const { return sameXml(node, other.node); }

int CField::RepIndicator(const char16_t* indicator) {
  need(node);
  // Without any attribute a new `indicator` would become the first attribute, which is the
  // one read as the field's name: the header would lose its "000".
  if (node.type() != xml::NodeType::Element || node.attributeCount() == 0) return 0;
  if (arg(indicator).empty()) {
    node.removeAttribute(u"indicator");
    return 0;
  }
  setAttributeIn(document, node, u"indicator", arg(indicator));
  return 1;
}

void CField::Rename(const char16_t* tag) {
  setAttributeIn(document, need(node), u"name", arg(tag));
  nameCache = arg(tag);
  nameCached = 1;
  fieldsChanged(state);
}
