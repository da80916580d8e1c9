// CField: a handle on one field of a record (a `field` element, or the `header` as field 0).
#pragma once

#include <loomkit/Group.h>
#include <loomkit/SubField.h>
#include <loomkit/export.h>
#include <xml/dom.h>

#include <cstdint>
#include <memory>
#include <string>

namespace loomkit {
struct RecordState;
struct ChildLookup;
}  // namespace loomkit

class LOOMKIT_API CField {
 public:
  /// \brief A null handle.
  CField();
  CField(const CField& other);
  /// \brief Takes over the other handle; a grouped field held before is flattened first.
  CField& operator=(const CField& other);
  /// \brief Flattens the field when this handle grouped it, then lets go of it.
  virtual ~CField();

  /// \brief 1 when the handle holds no element.
  int IsNull();
  /// \brief The tag (first attribute's value; "000" for the header).
  const char16_t* GetName();
  /// \brief Copies the indicator (U+0011 shown as a blank when `decode` != 0); 1/0.
  int GetIndicator(char16_t* buffer, int32_t size, int decode);
  /// \brief Control field: its text and U+001E (decoded on request); data field: the
  /// element's XML text. 1 when copied, 0 when it does not fit.
  int GetContent(char16_t* buffer, int32_t size, int decode);
  /// \brief 1 for a null handle, a control field without text, a data field without children.
  int IsEmpty();
  /// \brief Number of subfields (groups count as one); 0 for control fields.
  int32_t GetSGCount();
  /// \brief Subfield i of the flattened field, or a null handle.
  CSubField GetSubFld(int32_t i);
  /// \brief The n-th subfield with the code of the flattened field, or a null handle.
  CSubField GetSubFld(const char16_t* code, int32_t n);
  /// \brief Appends a new subfield (code and text already escaped).
  CSubField AddSubFld(const char16_t* code, const char16_t* text);
  /// \brief Inserts a new subfield before the first child whose code is not above it.
  CSubField InsSubFld(const char16_t* code, const char16_t* text);
  /// \brief Inserts a new subfield before child i (appends when i is out of range).
  CSubField InsSubFld(int32_t i, const char16_t* code, const char16_t* text);
  /// \brief Removes the subfield when it is a direct child; 1/0.
  int DelSubFld(const CSubField& subfield);
  /// \brief Removes child i; 1/0.
  int DelSubFld(int32_t i);
  /// \brief Appends an empty group.
  CGroup AddGroup();
  /// \brief Removes the group when it is a direct child; 1/0.
  int DelGroup(const CGroup& group);
  /// \brief Removes child i; 1/0.
  int DelGroup(int32_t i);
  /// \brief Groups at "a" when flat, then child i as a group, or a null group handle.
  CGroup GetGroup(int32_t i);
  /// \brief Groups at "a" when flat, then the first group whose first subfield's decoded
  /// text equals `text`, or a null group handle.
  CGroup GetGroup(const char16_t* text);
  /// \brief Wraps each run of subfields starting with `code` in a group; 1 when grouped.
  int SetGroupStatus(const char16_t* code);
  /// \brief Unwraps every group; always 1.
  int SetSubFieldStatus();
  /// \brief Replaces the element in its parent by a deep copy of the other's element.
  void SetContent(const CField& other);
  /// \brief Replaces the element in its parent by the element the XML text describes.
  void SetContent(const char16_t* xmlText);
  /// \brief Appends a deep copy of the subfield.
  CField& operator+=(const CSubField& subfield);
  /// \brief Appends a deep copy of the group.
  CField& operator+=(const CGroup& group);
  /// \brief 1 when both are null or both elements serialise to the same text.
  int operator==(const CField& other) const;
  /// \brief Sets (1) or removes (0) the `indicator` attribute.
  int RepIndicator(const char16_t* indicator);
  /// \brief Sets the `name` attribute (the tag).
  void Rename(const char16_t* tag);

  // Used by the toolkit's own conversions.
  /// \brief The text GetContent copies, without the size check.
  std::u16string FieldText(int decode);
  /// \brief The indicator GetIndicator copies, without the size check; 0 (and "") when the
  /// element has fewer than two attributes.
  int ReadIndicator(std::u16string& out, int decode);

 private:
  friend class CMarc;
  friend class CMarcFile;
  void Attach(const xml::Node& element, const xml::Document& doc,
              const std::shared_ptr<loomkit::RecordState>& state);
  void flattenIfGrouped();
  const loomkit::ChildLookup& lookup();
  CSubField subfieldOn(const xml::Node& element) const;
  CGroup groupOn(const xml::Node& element) const;
  bool isControlField();
  void changed();
  void replaceElement(const xml::Node& replacement);

  xml::Node node;
  xml::Document document;
  std::u16string nameCache;
  int nameCached = 0;
  int subfieldStatus = 1;
  std::shared_ptr<const loomkit::ChildLookup> queryCache;
  std::shared_ptr<loomkit::RecordState> state;
};
