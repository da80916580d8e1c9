// Helpers shared by the record object and its handles (private to the toolkit).
#pragma once

#include <loomkit/SubField.h>
#include <platform/comerror.h>
#include <xml/dom.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace loomkit {

using u16 = std::u16string;
using u16v = std::u16string_view;

// Change counters of one record, shared by the record and every handle it gives out, so
// that the lookup caches of all of them notice a change made through any of them.
// `fields` moves when the record's list of fields or a field's tag changes; `subfields`
// moves on any change of the children below a field (and with every `fields` change).
// When a field's element moves into another record, handles made before the move still hold
// the first record's state; the two records then count on one set of counters (`joined`
// leads to it), so a change through any of those handles reaches both records' caches.
struct RecordState {
  uint64_t fields = 1;
  uint64_t subfields = 1;
  std::shared_ptr<RecordState> joined;
};

/// \brief The counters `s` counts on (itself unless it was joined to another record's).
inline RecordState& counters(RecordState& s) {
  RecordState* r = &s;
  while (r->joined) r = r->joined.get();
  return *r;
}

/// \brief Makes the records of `from` and `into` count on the same counters; every cache
/// built on either before then is stale.
void joinStates(const std::shared_ptr<RecordState>& from, const std::shared_ptr<RecordState>& into);

inline void fieldsChanged(const std::shared_ptr<RecordState>& s) {
  if (s) {
    RecordState& c = counters(*s);
    ++c.fields;
    ++c.subfields;
  }
}
inline void subfieldsChanged(const std::shared_ptr<RecordState>& s) {
  if (s) ++counters(*s).subfields;
}

// A lookup table over one element's children: the child list and, per `name` attribute
// value, the child elements of one element name (`field` or `sf`) carrying it. Built in one
// pass and valid while the counter it was built at has not moved.
struct ChildLookup {
  uint64_t revision = 0;
  std::unordered_map<u16, std::vector<xml::Node>> byName;

  static std::shared_ptr<const ChildLookup> build(const xml::Node& parent, u16v elementName,
                                                  uint64_t revision);
  /// \brief The n-th child named `name`, or a null node.
  xml::Node find(u16v name, int32_t n) const;
};

/// \brief A NUL-terminated argument as a view; a null pointer reads as the empty text.
inline u16v arg(const char16_t* s) { return s ? u16v(s) : u16v(); }

[[noreturn]] inline void throwPointer() { throw platform::ComError(platform::E_POINTER); }
inline const xml::Node& need(const xml::Node& n) {
  if (n.isNull()) throwPointer();
  return n;
}
inline xml::Node& need(xml::Node& n) {
  if (n.isNull()) throwPointer();
  return n;
}
inline xml::Document& need(xml::Document& d) {
  if (d.isNull()) throwPointer();
  return d;
}

/// \brief The caller's-buffer rule: copies text and NUL when they fit in `size` units; 1/0.
int copyToBuffer(u16v text, char16_t* buffer, int32_t size);

/// \brief The name the handles give a child: its first attribute's value, "" when it has none
/// (text nodes and `group` elements included).
u16 firstAttributeValue(const xml::Node& n);

/// \brief 1 when the two nodes are both null or serialise to the same text.
int sameXml(const xml::Node& a, const xml::Node& b);

/// \brief Sets the attribute through a node made in `doc`; an attribute of that name is
/// replaced in its place, a new one goes last.
void setAttributeIn(xml::Document doc, xml::Node element, u16v name, u16v value);

/// \brief The number of children, or 0 when there is none or the first is a text node.
int32_t countUnlessText(const xml::Node& n);

// Subfield edits shared by the field and group handles; each tells the record's lookups. The
// field handle and the group handle use one set of insertion operations on their element and
// the record's document: CreateSubfieldElement, InsertByCode, InsertAt.
/// \brief A new `sf` element in `doc` with the attribute `name` = code and the text, both
/// taken unchanged (already content-escaped); not yet in the tree.
xml::Node CreateSubfieldElement(xml::Document doc, u16v code, u16v text);
/// \brief Inserts `element` before the first child of `parent` whose name compares less than
/// or equal to the element's own name (descending code order), else appends it.
void InsertByCode(xml::Node parent, const xml::Node& element);
/// \brief Inserts before child i when 0 <= i < children, else appends.
void InsertAt(xml::Node parent, int32_t i, const xml::Node& element);
enum class Place { End, ByCode, AtIndex };
/// \brief Creates an `sf` element (code and text taken unchanged) and puts it into `parent`:
/// at the end; before the first child whose name is not above the code; or before child
/// `index` (at the end when out of range). Returns the new element.
xml::Node addSubfield(xml::Node parent, xml::Document doc, const std::shared_ptr<RecordState>& state,
                      const char16_t* code, const char16_t* text, Place place, int32_t index = -1);
/// \brief Removes `child` when it is a child of `parent` (node identity); 1/0.
int deleteChild(xml::Node parent, const xml::Node& child, const std::shared_ptr<RecordState>& state);
/// \brief Removes child i; 1/0.
int deleteChildAt(xml::Node parent, int32_t i, const std::shared_ptr<RecordState>& state);
/// \brief Appends a deep copy of `element` (E_POINTER when it is null).
void appendCopy(xml::Node parent, const xml::Node& element, const std::shared_ptr<RecordState>& state);
/// \brief Removes child i; 1/0.
int removeChildAt(xml::Node parent, int32_t i);
/// \brief Removes `child` when it is a child of `parent`; 1/0.
int removeIfChild(xml::Node parent, const xml::Node& child);
/// \brief Replaces `element` at its place in its parent by `replacement` and returns the node
/// now at that place. E_POINTER when `element` is null or has no parent.
xml::Node replaceInParent(const xml::Node& element, const xml::Node& replacement);
/// \brief A new document for record text: it keeps character data exactly as loaded (CR LF,
/// a lone CR, tabs in attribute values, subfields of white space alone).
xml::Document recordDocument();
/// \brief The document element of an XML text parsed in a document of its own (null when the
/// text does not parse).
xml::Node parseElement(u16v xmlText);
/// \brief As parseElement, but a text without document element is an error (E_INVALIDARG).
xml::Node parseReplacement(const char16_t* xmlText);

}  // namespace loomkit
