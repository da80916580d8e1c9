// CMarc: one MARC record held as an XML tree in the shape of the internal record text.
#pragma once

#include <loomkit/Field.h>
#include <loomkit/export.h>
#include <xml/dom.h>

#include <cstdint>
#include <memory>

namespace loomkit {
struct RecordState;
struct ChildLookup;
}  // namespace loomkit

class LOOMKIT_API CMarc {
 public:
  /// \brief An empty record with its own document and no root.
  CMarc();
  /// \brief A record of its own holding the same text as `other` (trees are never shared).
  CMarc(const CMarc& other);
  virtual ~CMarc();

  /// \brief Loads internal record text; text that does not parse leaves no root.
  void SetContent(const char16_t* text);
  /// \brief Loads the other record's text (throws E_POINTER when it has no root).
  void SetContent(const CMarc& other);
  CMarc& operator=(const CMarc& other);
  /// \brief Copies the record's XML text when it fits with its NUL; 1/0.
  int GetContent(char16_t* buffer, int32_t size);
  /// \brief 1 when both have no root or both roots serialise to the same text.
  int operator==(const CMarc& other) const;
  /// \brief 1 when the record has no root.
  int IsNull();
  /// \brief 1 when there is no root or the record holds no character data.
  int IsEmpty();
  /// \brief Number of fields, the header included (0 without fields).
  int32_t GetFieldCount();
  /// \brief Field i (0 is the header), or a null handle.
  CField GetField(int32_t i);
  /// \brief The n-th `field` with the tag, or a null handle.
  CField GetField(const char16_t* tag, int32_t n);
  /// \brief Appends a copy of the field.
  void AddField(const CField& field);
  CMarc& operator+=(const CField& field);
  /// \brief Appends a new field (indicator and content already escaped).
  CField AddField(const char16_t* tag, const char16_t* indicator, const char16_t* content);
  /// \brief Moves the field's own element to its place in ascending tag order.
  void InsField(CField& field);
  /// \brief Inserts a new field in ascending tag order.
  CField InsField(const char16_t* tag, const char16_t* indicator, const char16_t* content);
  /// \brief Inserts a copy of the field before child i (appends when i is out of range).
  CField InsField(int32_t i, const CField& field);
  /// \brief Inserts a new field before child i (appends when i is out of range).
  CField InsField(int32_t i, const char16_t* tag, const char16_t* indicator, const char16_t* content);
  /// \brief Removes child i (the header for 0); 1/0.
  int DelField(int32_t i);
  /// \brief Removes the field when it is a child of this record; 1/0.
  int DelField(const CField& field);

 private:
  friend class CMarcFile;
  CField fieldOn(const xml::Node& element) const;
  /// \brief A new `field` element of this record's document: `name`, then `indicator` when
  /// given, then the children of the content's root element (content that does not parse
  /// gives none).
  xml::Node BuildFieldElement(const char16_t* tag, const char16_t* indicator, const char16_t* content);
  void ensureRoot();
  void loaded();
  void changed();
  void insertInTagOrder(const xml::Node& element, const std::u16string& name);

  xml::Node root;
  xml::Document document;
  std::shared_ptr<const loomkit::ChildLookup> queryCache;
  std::shared_ptr<loomkit::RecordState> state;
};
