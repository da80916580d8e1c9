// The record the editor shows: fields (MARC) or elements (Dublin Core) as a doubly linked
// list of items, each laid out into display rows. Plain classes: nothing here knows of
// windows or painting, so the editor's behaviour is tested without a window.
#pragma once

#include <penwick/notify.h>
#include <platform/text.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CEditorDocument;
class CFieldItem;

namespace penwick {

using u16 = std::u16string;
using u16v = std::u16string_view;

constexpr char16_t kEsc = 0x1B;        // starts a Dublin Core qualifier segment
constexpr char16_t kDelimiter = 0x1F;  // starts a MARC subfield
constexpr char16_t kFieldEnd = 0x1E;   // ends a field in the tagged and field clipboard texts

constexpr int FORMAT_MARC = 0;
constexpr int FORMAT_DC = 1;

/// \brief Whether a MARC tag names a control field (the leader "000" included): "00..." or "-0...".
bool IsControlTag(u16v tag);

// A character outside the BMP is a surrogate pair of two units: the editor moves over it,
// deletes it and cuts text around it as one character, and never keeps half of one.
/// \brief Whether units i-1 and i are the two halves of one pair (a place inside a character).
bool SplitsPair(u16v s, size_t i);
/// \brief The units of the character that starts at i: 2 for a pair, 1 otherwise, 0 at the end.
size_t CharLengthAt(u16v s, size_t i);
/// \brief The units of the character that ends at i: 2 for a pair, 1 otherwise, 0 at 0.
size_t CharLengthBefore(u16v s, size_t i);
/// \brief The longest beginning of s of at most n units that ends between characters.
size_t WholeCharacters(u16v s, size_t n);
/// \brief s without the surrogate units that are not half of a pair.
u16 WithoutLoneSurrogates(u16v s);
/// \brief How many units of a MARC data field's text are its indicators: the first two
/// characters' worth of at most two units (one when the second unit begins a pair).
inline size_t IndicatorLength(u16v data) { return WholeCharacters(data, 2); }

/// One entry of a menu the model builds (the window turns it into a real menu).
struct MenuEntry {
  int id = 0;
  u16 text;
  bool enabled = true;
  bool separatorAfter = false;
};

/// How wide text is on the screen: the painter answers it, tests give a fixed pitch.
class CTextMeasure {
 public:
  virtual ~CTextMeasure() = default;
  /// \brief How many of the first n characters of text fit into one row (at least 1).
  virtual int FitCount(u16v text, int n) const = 0;
  /// \brief Appends the lengths of the rows that text from `from` on is cut into; by
  /// default FitCount row after row.
  virtual void Breaks(u16v text, size_t from, std::vector<int>& lengths) const;
  /// \brief A value that changes whenever the fit counts may change (font, room); 0 when
  /// they never do.
  virtual uint64_t LayoutKey() const { return 0; }
};

}  // namespace penwick

/// One display row of an item: a slice of the item's text with its label.
class CFieldRow {
 public:
  explicit CFieldRow(CFieldItem* field) : field(field) {}
  virtual ~CFieldRow() = default;

  CFieldItem* field;
  CFieldRow* next = nullptr;      // within the same item
  CFieldRow* previous = nullptr;  // within the same item
  /// Position among the item's rows (kept by CFieldItem::RowsChanged).
  int indexInField = 0;
  /// "Value", a qualifier name, or empty for a continuation row.
  std::u16string label;
  std::u16string text;
  bool dirty = false;

  int Length() const { return int(text.size()); }
  /// \brief A Dublin Core qualifier row: its label is neither "Value" nor empty.
  bool IsQualifierRow() const;
  /// \brief Previous row of the item, else the last row of the previous item.
  CFieldRow* PreviousRow() const;
  /// \brief Next row of the item, else the first row of the next item.
  CFieldRow* NextRow() const;
};

/// One field (MARC) or element (Dublin Core) of the record.
class CFieldItem {
 public:
  /// \brief An item of the document's format; a MARC data field takes the first two
  /// characters of data as its indicators.
  CFieldItem(CEditorDocument* editor, std::u16string_view name, std::u16string_view data);
  /// \brief An item with its indicators given apart (no splitting of data).
  CFieldItem(CEditorDocument* editor, std::u16string_view name, std::u16string_view indicators,
             std::u16string_view data);
  virtual ~CFieldItem();
  CFieldItem(const CFieldItem&) = delete;
  CFieldItem& operator=(const CFieldItem&) = delete;

  CEditorDocument* editor;
  CFieldItem* next = nullptr;
  CFieldItem* previous = nullptr;
  int qualifiersShown = 0;
  CFieldRow* firstRow;
  int sortMark = 0;
  std::u16string name;
  std::u16string alias;
  std::u16string indicators;
  std::u16string data;

  /// \brief Folds edited rows back into data, then cuts data into rows by the fit count.
  /// A MARC field laid out before with the same widths is cut again only from the row
  /// ahead of its first edited row: the rows before that keep their breaks.
  void LayoutRows();
  /// \brief After rows were added, removed or moved: numbers the rows again and tells the
  /// document that its row index is stale.
  void RowsChanged();
  /// \brief Row i of the item (null out of range), in O(1).
  CFieldRow* RowNumber(int i) const { return i >= 0 && size_t(i) < rows_.size() ? rows_[size_t(i)] : nullptr; }
  /// \brief Rebuilds data from the rows when one is dirty; 1 then, else 0.
  int GatherRows();

  /// \brief A qualifier's value ("Value" in any case: the value itself); 1 when not empty.
  int GetQualifier(std::u16string_view qualifier, std::u16string& value) const;
  /// \brief 1 when data holds a qualifier segment.
  int HasQualifiers() const;
  /// \brief Shows the qualifiers and returns the first row labelled `qualifier`, adding an
  /// empty one after the last row when there is none.
  CFieldRow* ShowQualifierRow(std::u16string_view qualifier);
  /// \brief Puts text into the first row labelled `qualifier`; false when there is none.
  bool SetQualifierRow(std::u16string_view qualifier, std::u16string_view text);
  /// \brief Flips whether the qualifier segments have rows of their own.
  void ToggleQualifiers() { qualifiersShown = !qualifiersShown; }

  /// \brief Reads the display label from the property INI file.
  void LoadAlias();

  // Type and Scheme choices of a Dublin Core element, from the property INI file.
  bool HasTypeList() const;
  bool HasSchemeList() const;
  /// \brief The Type menu: ids 50000 + key number.
  std::vector<penwick::MenuEntry> TypeMenu() const;
  /// \brief The Scheme menu: ids 51000 + position, the Type-specific choices after the
  /// general ones, never beyond 52000.
  std::vector<penwick::MenuEntry> SchemeMenu() const;
  /// \brief Sets the Type row to choice n ("" when it is gone).
  void PickType(int n);
  /// \brief Sets the Scheme row to the n-th item of the Scheme menu ("" when there is none).
  void PickScheme(int n);
  /// \brief The tag-column menu of this item; `fieldOnClipboard` enables "粘贴字段".
  std::vector<penwick::MenuEntry> ContextMenu(bool fieldOnClipboard) const;

  /// \brief 1 when this item sorts before other: by name, two "880" fields by data.
  int CompareFields(const CFieldItem& other) const;

  // Positions within the item's rows.
  /// \brief Lengths of the rows before `row`, plus column.
  int RowOffset(const CFieldRow* row, int column) const;
  /// \brief The row and column at an absolute offset; false beyond the last row.
  bool RowAtOffset(int offset, CFieldRow*& row, int& column) const;
  /// \brief Absolute offset of `offset` within the (k+1)-th subfield (after its code);
  /// k below 0: offset itself; 0 when there are fewer subfields.
  int SubfieldOffset(int k, int offset);
  CFieldRow* LastRow() const;
  int RowCount() const { return int(rows_.size()); }
  /// Position in the record (kept by the document's row index).
  int ordinal = 0;
  /// \brief The rows' texts joined.
  std::u16string RowsText() const;

 private:
  bool IsDublinCore() const;
  std::u16string IniPath() const;
  std::u16string TypeValue() const;
  std::vector<std::u16string> SchemeChoices() const;
  void DeleteRowsAfter(CFieldRow* row);
  std::vector<CFieldRow*> rows_;  // the rows in order, for lookups by number
  uint64_t layoutKey_ = 0;        // the measure's key at the last layout
  bool laidOut_ = false;
};
