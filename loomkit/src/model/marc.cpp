// CMarc: one record as an XML tree; fields are handed out as handles sharing its nodes.
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>

#include "marc_internal.h"

using namespace loomkit;

CMarc::CMarc() : document(recordDocument()), state(std::make_shared<RecordState>()) {}

CMarc::CMarc(const CMarc& other) : CMarc() {
  if (!other.root.isNull()) SetContent(other);
}

CMarc::~CMarc() {
  // Emptying the document lets go of the tree; handles still holding nodes keep only those.
  try {
    if (!root.isNull()) document.clear();
  } catch (...) {
  }
}

void CMarc::loaded() {
  root = document.documentElement();
  queryCache.reset();
  fieldsChanged(state);
}

void CMarc::changed() { fieldsChanged(state); }

void CMarc::ensureRoot() {
  if (!root.isNull()) return;
  document.loadXml(u"<marc/>");
  loaded();
}

CField CMarc::fieldOn(const xml::Node& element) const {
  CField f;
  if (!element.isNull()) f.Attach(element, document, state);
  return f;
}

void CMarc::SetContent(const char16_t* text) {
  document.loadXml(arg(text));
  loaded();
}

void CMarc::SetContent(const CMarc& other) {
  if (other.root.isNull()) throwPointer();
  // Through text, so that the two records never share a node.
  u16 text = other.root.xml();
  SetContent(text.c_str());
}

CMarc& CMarc::operator=(const CMarc& other) {
  if (other.root.isNull()) throwPointer();
  // Reloading its own text would only cut every handle of the record loose.
  if (this != &other) SetContent(other);
  return *this;
}

int CMarc::GetContent(char16_t* buffer, int32_t size) {
  if (root.isNull()) return 0;
  return copyToBuffer(root.xml(), buffer, size);
}

int CMarc::operator==(const CMarc& other) const { return sameXml(root, other.root); }

int CMarc::IsNull() { return root.isNull(); }

int CMarc::IsEmpty() { return root.isNull() || root.text().empty(); }

int32_t CMarc::GetFieldCount() { return root.isNull() ? 0 : countUnlessText(root); }

CField CMarc::GetField(int32_t i) {
  if (root.isNull() || i < 0) return CField();
  return fieldOn(root.child(size_t(i)));
}

CField CMarc::GetField(const char16_t* tag, int32_t n) {
  if (root.isNull()) return CField();
  // One pass over the fields serves every tag until the record changes.
  uint64_t revision = counters(*state).fields;
  if (!queryCache || queryCache->revision != revision) queryCache = ChildLookup::build(root, u"field", revision);
  return fieldOn(queryCache->find(arg(tag), n));
}

xml::Node CMarc::BuildFieldElement(const char16_t* tag, const char16_t* indicator, const char16_t* content) {
  xml::Node element = document.createElement(u"field");
  setAttributeIn(document, element, u"name", arg(tag));
  if (!arg(indicator).empty()) setAttributeIn(document, element, u"indicator", arg(indicator));
  if (!arg(content).empty()) {
    // The content's root element, whatever its name, only carries the field's children.
    xml::Node holder = parseElement(arg(content));
    if (!holder.isNull()) {
      for (xml::Node c = holder.firstChild(); !c.isNull();) {
        xml::Node next = c.nextSibling();
        element.appendChild(c);
        c = next;
      }
    }
  }
  return element;
}

void CMarc::insertInTagOrder(const xml::Node& element, const std::u16string& name) {
  // Child 0, the header, is never compared.
  xml::Node c = root.child(1);
  for (; !c.isNull(); c = c.nextSibling()) {
    std::optional<u16> other = c.type() == xml::NodeType::Element ? c.getAttribute(u"name") : std::nullopt;
    if (other && *other > name) break;
  }
  root.insertBefore(element, c);
}

void CMarc::AddField(const CField& field) {
  xml::Node copy = CMarcFile::Shared().CloneNode(field.node);
  ensureRoot();
  root.appendChild(copy);
  changed();
}

CMarc& CMarc::operator+=(const CField& field) {
  AddField(field);
  return *this;
}

CField CMarc::AddField(const char16_t* tag, const char16_t* indicator, const char16_t* content) {
  ensureRoot();
  xml::Node element = BuildFieldElement(tag, indicator, content);
  root.appendChild(element);
  changed();
  return fieldOn(element);
}

void CMarc::InsField(CField& field) {
  need(root);
  need(field.node);
  u16 name = field.GetName();
  // The element moves here, possibly out of another record whose lookups must notice, as
  // must this record's when older handles on the element change it.
  fieldsChanged(field.state);
  joinStates(field.state, state);
  insertInTagOrder(field.node, name);
  changed();
  field.state = state;
  field.document = document;
  field.queryCache.reset();
}

CField CMarc::InsField(const char16_t* tag, const char16_t* indicator, const char16_t* content) {
  ensureRoot();
  xml::Node element = BuildFieldElement(tag, indicator, content);
  insertInTagOrder(element, u16(arg(tag)));
  changed();
  return fieldOn(element);
}

CField CMarc::InsField(int32_t i, const CField& field) {
  xml::Node copy = CMarcFile::Shared().CloneNode(field.node);
  ensureRoot();
  InsertAt(root, i, copy);
  changed();
  return fieldOn(copy);
}

CField CMarc::InsField(int32_t i, const char16_t* tag, const char16_t* indicator, const char16_t* content) {
  ensureRoot();
  xml::Node element = BuildFieldElement(tag, indicator, content);
  InsertAt(root, i, element);
  changed();
  return fieldOn(element);
}

int CMarc::DelField(int32_t i) {
  if (root.isNull()) return 0;
  int removed = removeChildAt(root, i);
  if (removed) changed();
  return removed;
}

int CMarc::DelField(const CField& field) {
  if (root.isNull()) return 0;
  int removed = removeIfChild(root, field.node);
  if (removed) changed();
  return removed;
}
