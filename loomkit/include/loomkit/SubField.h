// CSubField: a handle on one subfield (an `sf` element) of a record.
#pragma once

#include <loomkit/export.h>
#include <xml/dom.h>

#include <cstdint>
#include <memory>
#include <string>

namespace loomkit {
struct RecordState;
}

class LOOMKIT_API CSubField {
 public:
  /// \brief A null handle.
  CSubField();
  CSubField(const CSubField& other);
  CSubField& operator=(const CSubField& other);
  /// \brief Lets go of the element; the record keeps it.
  virtual ~CSubField();

  /// \brief 1 when the handle holds no element.
  int IsNull();
  /// \brief 1 for a null handle or a subfield without text.
  int IsEmpty();
  /// \brief The subfield code (first attribute's value, "" without attributes).
  const char16_t* GetName();
  /// \brief Copies the text (decoded when `decode` != 0) when it fits with its NUL; 1/0.
  int GetContent(char16_t* buffer, int32_t size, int decode);
  /// \brief Sets the `name` attribute (the code).
  void Rename(const char16_t* code);
  /// \brief Sets the stored (already escaped) text.
  void SetContent(const char16_t* text);
  /// \brief Replaces the element in its parent by a deep copy of the other's element.
  void SetContent(const CSubField& other);
  /// \brief Appends stored text.
  CSubField& operator+=(const char16_t* text);
  /// \brief 1 when both are null or both elements serialise to the same text.
  int operator==(const CSubField& other) const;
  /// \brief Ordinal comparison of the decoded text with `s` (whole when n == -1, else at
  /// most n characters): <0, 0, >0.
  int32_t Compare(const char16_t* s, int32_t n);
  /// \brief As Compare, with A-Z equal to a-z.
  int32_t ICompare(const char16_t* s, int32_t n);
  /// \brief The stored text read as a decimal number (0 when none comes first).
  int32_t GetLvalue();
  /// \brief The stored text read as a floating-point number (0 when none comes first).
  double GetFvalue();

  // Used by the toolkit's own conversions.
  /// \brief The subfield's text, decoded on request.
  std::u16string SubfieldText(int decode);
  /// \brief U+001F, the code and the text, the whole decoded on request (ISO 2709 form).
  std::u16string SubfieldIsoText(int decode);

 private:
  friend class CField;
  friend class CGroup;
  friend class CMarcFile;
  void Attach(const xml::Node& element, const xml::Document& doc,
              const std::shared_ptr<loomkit::RecordState>& state);

  xml::Node node;
  xml::Document document;
  std::u16string nameCache;
  int nameCached = 0;
  std::shared_ptr<loomkit::RecordState> state;
};
