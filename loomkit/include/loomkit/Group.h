// CGroup: a handle on a run of subfields that a field handle wrapped in a `group` element.
#pragma once

#include <loomkit/SubField.h>
#include <loomkit/export.h>
#include <xml/dom.h>

#include <cstdint>
#include <memory>

class LOOMKIT_API CGroup {
 public:
  /// \brief A null handle.
  CGroup();
  CGroup(const CGroup& other);
  CGroup& operator=(const CGroup& other);
  virtual ~CGroup();

  /// \brief 1 when the handle holds no element.
  int IsNull();
  /// \brief Number of child nodes.
  int32_t GetSubFldCount();
  /// \brief Child i, or a null handle.
  CSubField GetSubFld(int32_t i);
  /// \brief The n-th `sf` child with the code, or a null handle.
  CSubField GetSubFld(const char16_t* code, int32_t n);
  /// \brief Appends a new subfield (code and text already escaped).
  CSubField AddSubFld(const char16_t* code, const char16_t* text);
  /// \brief Inserts a new subfield before the first child whose code is not above it.
  CSubField InsSubFld(const char16_t* code, const char16_t* text);
  /// \brief Inserts a new subfield before child i (appends when i is out of range).
  CSubField InsSubFld(int32_t i, const char16_t* code, const char16_t* text);
  /// \brief Removes the subfield when it is a child of this group; 1/0.
  int DelSubFld(const CSubField& subfield);
  /// \brief Removes child i; 1/0.
  int DelSubFld(int32_t i);
  /// \brief Appends a deep copy of the subfield.
  CGroup& operator+=(const CSubField& subfield);
  /// \brief 1 when both are null or both elements serialise to the same text.
  int operator==(const CGroup& other) const;
  /// \brief 1 for a null handle or a group without children.
  int IsEmpty();
  /// \brief Replaces the element in its parent by a deep copy of the other's element.
  void SetContent(const CGroup& other);
  /// \brief Replaces the element in its parent by the element the XML text describes.
  void SetContent(const char16_t* xmlText);

 private:
  friend class CField;
  friend class CMarcFile;
  void Attach(const xml::Node& element, const xml::Document& doc,
              const std::shared_ptr<loomkit::RecordState>& state);
  CSubField subfieldOn(const xml::Node& element) const;
  void changed();

  xml::Node node;
  xml::Document document;
  std::shared_ptr<loomkit::RecordState> state;
};
