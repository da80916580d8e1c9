// The editor's document: the record as a list of items, the settings that the exported
// interface stores (format, property INI file, field-definition file, Ctrl+Z source), and
// the translations between display rows and the (field, subfield, offset) positions that
// SetCursorPos takes and the notifications carry. No window and no painting here.
#pragma once

#include "field_item.h"

#include <penwick/notify.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CEditorDocument {
 public:
  /// \brief An empty MARC document whose files are looked for in hostFolder.
  explicit CEditorDocument(std::u16string hostFolder);
  virtual ~CEditorDocument();
  CEditorDocument(const CEditorDocument&) = delete;
  CEditorDocument& operator=(const CEditorDocument&) = delete;

  // ---- settings ----
  /// \brief 0 MARC, 1 Dublin Core (stored as given); resets the property INI file.
  void SetFormat(int32_t format);
  int32_t Format() const { return format_; }
  bool IsDublinCore() const { return format_ != penwick::FORMAT_MARC; }
  /// \brief A path, or name "::=" value: "defsheet" (any case) names the field-definition
  /// file, any other name the property INI file.
  void SetProperty(std::u16string_view text);
  const std::u16string& PropertyIniPath() const { return iniPath_; }
  /// \brief The [Alias] value of key in the property INI file, read as the profile
  /// functions read it (def when missing, at most 255 characters). The section is kept
  /// while the file stays the same (size and modification time): setting a record looks
  /// up every field's name, and reading the file once per field made that slow.
  std::u16string Alias(std::u16string_view key, std::u16string_view def) const;
  const std::u16string& FieldDefinitionPath() const { return defSheetPath_; }
  const std::u16string& HostFolder() const { return hostFolder_; }
  /// \brief The default-value source and key of Ctrl+Z, each kept to 255 characters.
  void SetCtrlZMenu(std::u16string_view source, std::u16string_view key);
  const std::u16string& DefaultSource() const { return defaultSource_; }
  const std::u16string& DefaultKey() const { return defaultKey_; }
  /// \brief The painter's fit count; null lays every segment out in one row.
  void SetMeasure(const penwick::CTextMeasure* measure) { measure_ = measure; }
  const penwick::CTextMeasure* Measure() const { return measure_; }

  // ---- the record ----
  CFieldItem* FirstField() const { return first_; }
  CFieldItem* LastField() const;
  /// \brief Appends an item made from (name, data) and lays it out.
  CFieldItem* AddField(std::u16string_view name, std::u16string_view data);
  /// \brief Appends an item with its indicators given apart.
  CFieldItem* AddField(std::u16string_view name, std::u16string_view indicators,
                       std::u16string_view data);
  /// \brief Puts a new item before `before` (null: at the end) and returns it.
  CFieldItem* InsertField(CFieldItem* item, CFieldItem* before);
  /// \brief Takes an item out of the list without deleting it.
  void UnlinkField(CFieldItem* item);
  /// \brief Takes an item out and deletes it with its rows.
  void DeleteField(CFieldItem* item);
  /// \brief Deletes every item.
  void ClearRecord();
  int FieldCount() const;
  /// \brief Item i from 0, null when out of range.
  CFieldItem* FieldAt(int i) const;
  /// \brief Index of an item, -1 when it is not in the record.
  int IndexOf(const CFieldItem* item) const;
  /// \brief Lays out every item.
  void LayoutAll();
  /// \brief Folds the edits still held in rows back into every item's data (the writers
  /// call it: a host may read the record before the window has painted).
  void GatherAll();
  /// \brief Replaces the record with tagged record text: the leader, then per field tag,
  /// indicators and data ended by 0x1E.
  void ParseRecordText(std::u16string_view text);

  // ---- rows across the record ----
  /// \brief Marks the row index stale (a field was added or removed, or changed its number
  /// of rows); the next lookup rebuilds it from the fields' row counts.
  void InvalidateRowIndex() { indexValid_ = false; }
  CFieldRow* FirstRow() const { return first_ ? first_->firstRow : nullptr; }
  int TotalRows() const;
  /// \brief Index of a row counted through the whole record from 0, -1 when not in it.
  int RowIndex(const CFieldRow* row) const;
  /// \brief Row n of the record, null when out of range.
  CFieldRow* RowAt(int n) const;
  /// \brief Whether (rowA, colA) comes before (rowB, colB) in record order.
  bool Before(const CFieldRow* rowA, int colA, const CFieldRow* rowB, int colB) const;

  // ---- positions ----
  /// \brief The notification position of a row and column (MARC or Dublin Core rules by
  /// the format); a row not in the record gives the field count.
  penwick::EditorPosition PositionOf(const CFieldRow* row, int column) const;
  /// \brief Where SetCursorPos(field, subfield, offset) puts the caret; false when it
  /// cannot (empty record, no such qualifier row, offset beyond the rows).
  bool CursorTarget(int32_t field, int32_t subfield, int32_t offset, CFieldRow*& row,
                    int& column);
  /// \brief The columns of row that a selection inverts, [from, to); false when the row
  /// lies outside it. The selection's ends may come in either order.
  bool SelectedColumns(const CFieldRow* row, const CFieldRow* rowA, int colA, const CFieldRow* rowB,
                       int colB, int& from, int& to) const;
  /// \brief The text between two places, in record order, rows joined without separators.
  std::u16string TextBetween(const CFieldRow* rowA, int colA, const CFieldRow* rowB,
                             int colB) const;

 private:
  std::u16string hostFolder_;
  int32_t format_ = penwick::FORMAT_MARC;
  std::u16string iniPath_;
  std::u16string defSheetPath_;
  std::u16string defaultSource_;
  std::u16string defaultKey_;
  const penwick::CTextMeasure* measure_ = nullptr;
  CFieldItem* first_ = nullptr;
  CFieldItem* last_ = nullptr;
  // The row index: the fields in order and the number of rows before each (the total
  // last), so that a row's number and the row of a number take O(log n).
  // The [Alias] section of the property INI file as last read: keys in upper case (A-Z),
  // the first of each kept.
  struct AliasCache {
    std::u16string path;
    bool present = false;
    int64_t size = -1;
    int64_t modified = 0;
    std::unordered_map<std::u16string, std::u16string> values;
  };
  mutable AliasCache alias_;
  mutable bool indexValid_ = false;
  mutable std::vector<CFieldItem*> fields_;
  mutable std::vector<int> starts_;
  void BuildIndex() const;
};

namespace penwick {
/// \brief The property INI file of a format in the host folder: dctips.ini or fldtips.ini.
std::u16string TipsFileOf(std::u16string_view hostFolder, int32_t format);
}  // namespace penwick
