// CGroup: a handle on a `group` element inside a field, shared with the record.
#include <loomkit/Group.h>
#include <loomkit/MarcFile.h>

#include "marc_internal.h"

using namespace loomkit;

CGroup::CGroup() = default;
CGroup::CGroup(const CGroup& other) = default;
CGroup& CGroup::operator=(const CGroup& other) = default;
CGroup::~CGroup() = default;

void CGroup::Attach(const xml::Node& element, const xml::Document& doc,
                    const std::shared_ptr<RecordState>& recordState) {
  node = element;
  document = doc;
  state = recordState;
}

CSubField CGroup::subfieldOn(const xml::Node& element) const {
  CSubField s;
  if (!element.isNull()) s.Attach(element, document, state);
  return s;
}

void CGroup::changed() { subfieldsChanged(state); }

int CGroup::IsNull() { return node.isNull(); }

int32_t CGroup::GetSubFldCount() { return int32_t(need(node).childCount()); }

CSubField CGroup::GetSubFld(int32_t i) {
  need(node);
  return subfieldOn(i >= 0 ? node.child(size_t(i)) : xml::Node());
}

CSubField CGroup::GetSubFld(const char16_t* code, int32_t n) {
  need(node);
  if (n < 0) return CSubField();
  // Compared directly: a code is never spliced into query text.
  std::vector<xml::Node> matches = node.childElementsWhere(u"sf", u"name", arg(code));
  return subfieldOn(size_t(n) < matches.size() ? matches[size_t(n)] : xml::Node());
}

CSubField CGroup::AddSubFld(const char16_t* code, const char16_t* text) {
  return subfieldOn(addSubfield(node, document, state, code, text, Place::End));
}

CSubField CGroup::InsSubFld(const char16_t* code, const char16_t* text) {
  return subfieldOn(addSubfield(node, document, state, code, text, Place::ByCode));
}

CSubField CGroup::InsSubFld(int32_t i, const char16_t* code, const char16_t* text) {
  return subfieldOn(addSubfield(node, document, state, code, text, Place::AtIndex, i));
}

int CGroup::DelSubFld(const CSubField& subfield) { return deleteChild(node, subfield.node, state); }

int CGroup::DelSubFld(int32_t i) { return deleteChildAt(node, i, state); }

CGroup& CGroup::operator+=(const CSubField& subfield) {
  appendCopy(node, subfield.node, state);
  return *this;
}

int CGroup::operator==(const CGroup& other) const { return sameXml(node, other.node); }

int CGroup::IsEmpty() { return node.isNull() || node.childCount() == 0; }

void CGroup::SetContent(const CGroup& other) {
  need(other.node);
  need(node);
  node = replaceInParent(node, CMarcFile::Shared().CloneNode(other.node));
  changed();
}

void CGroup::SetContent(const char16_t* xmlText) {
  need(node);
  if (node.parent().isNull()) throwPointer();
  node = replaceInParent(node, parseReplacement(xmlText));
  changed();
}
