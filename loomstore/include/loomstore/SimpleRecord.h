// CSimpleRecord: one record's brief display texts, a tab-separated list of the values a
// filter document chooses and the "worksheet" of tagged lines wrapped to a width.
#pragma once

#include <loomstore/export.h>

#include <loomkit/Marc.h>
#include <xml/dom.h>

#include <cstdint>
#include <string>

class QPainter;

class LOOMSTORE_API CSimpleRecord {
 public:
  /// \brief An empty filter (no root: no list until SetFilter) and an empty record.
  CSimpleRecord();
  /// \brief The same, with the filter parsed from XML text (never read from a file).
  explicit CSimpleRecord(const char16_t* filter);
  virtual ~CSimpleRecord();

  /// \brief A "file://" text loads the filter from the path after it, any other text is
  /// parsed; a null filter or one without a root gives the default filter. 1 when the filter
  /// has a root.
  int32_t SetFilter(const char16_t* filter);
  /// \brief Loads internal record text; answers the field count, the header included.
  int32_t SetRecord(const char16_t* record);
  /// \brief The values of the filter's first 8 items, each followed by a TAB; its length,
  /// or 0 (and an empty buffer) without filter, record or room.
  int32_t GetList(char16_t* buf, int32_t size);
  /// \brief Every field as a tagged line (data fields "@" + code before each subfield),
  /// wrapped where a line reaches `width` times the width of "m" on `dc`, ended by "***";
  /// the field count, or 0 (and an empty buffer) without record, device or room.
  int32_t GetWorkSheet(char16_t* buf, int32_t size, QPainter* dc, int32_t width);

 private:
  std::u16string nodeValue(const xml::Node& node);
  std::u16string fieldText(CField& field);

  xml::Document m_filter;
  CMarc m_marc;
  int32_t m_fieldCount = 0;
};
