// The editing state of one record on the screen and everything done to it: the caret, the
// selection, the first shown row, the key and character commands, caret movement, typing
// with the MARC rules, deleting, the subfield selection and the field commands. A plain
// class: the editor window paints it and forwards input, and supplies the few things only
// a window has (the host, the clipboard, the dialogs) by overriding the hooks below.
#pragma once

#include "editor_document.h"
#include "editor_layout.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace penwick {

// Virtual-key codes the editor reacts to (WM_KEYDOWN).
enum VirtualKey : int {
  VK_RETURN = 0x0D, VK_CONTROL = 0x11, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23,
  VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28,
  VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_NUMPAD0 = 0x60, VK_ADD = 0x6B, VK_DECIMAL = 0x6E,
  VK_F1 = 0x70, VK_F2 = 0x71, VK_F9 = 0x78, VK_F10 = 0x79,
};

constexpr char16_t kDropMarker = 0x0C;  // marks the drop point while a selection is moved

/// \brief s without the characters 0-26 (0x1B-0x1F stay) and without half a surrogate pair:
/// what pasting, dropping and the defaults insert.
std::u16string StripControls(std::u16string_view s);
/// \brief The field clipboard text of the fields from `first` to `last`: 0x1E, then per
/// field tag, indicators and data, one 0x1E between fields.
std::u16string FieldClipboardText(const CFieldItem* first, const CFieldItem* last);

}  // namespace penwick

class CRowEditor {
 public:
  explicit CRowEditor(std::u16string hostFolder);
  virtual ~CRowEditor();
  CRowEditor(const CRowEditor&) = delete;
  CRowEditor& operator=(const CRowEditor&) = delete;

  CEditorDocument& Document() { return document_; }
  const CEditorDocument& Document() const { return document_; }
  CEditorLayout& Layout() { return layout_; }
  const CEditorLayout& Layout() const { return layout_; }
  bool IsMarc() const { return !document_.IsDublinCore(); }

  // ---- state ----
  // Where the caret stands (its drawn half is the window's CEditorCaret).
  CFieldRow* caretRow = nullptr;
  int caretColumn = 0;
  /// The x that vertical moves aim at; 0 = none.
  int rememberedX = 0;
  // Both rows null = no selection; the ends may come in either order.
  CFieldRow* selStartRow = nullptr;
  CFieldRow* selEndRow = nullptr;
  int selStartColumn = 0;
  int selEndColumn = 0;
  /// Where a Shift or mouse selection started.
  CFieldRow* anchorRow = nullptr;
  int anchorColumn = 0;
  /// Ctrl+B memory: the row of the subfield's delimiter and the start offset last used.
  CFieldRow* subfieldRow = nullptr;
  int subfieldStart = 0;
  /// Index (through the record) of the first displayed row.
  int firstShownRow = 0;
  /// The field a tag-column menu was opened on; target of the field commands.
  CFieldItem* currentField = nullptr;
  /// The row a text-area menu was opened on.
  CFieldRow* contextRow = nullptr;
  /// Where the Ctrl+Z defaults go.
  CFieldRow* defaultRow = nullptr;
  int defaultColumn = 0;

  bool HasSelection() const { return selStartRow && selEndRow; }
  void ClearSelection();
  /// \brief The selection in record order.
  void OrderedSelection(CFieldRow*& a, int& ca, CFieldRow*& b, int& cb) const;
  /// \brief Whether (row, column) lies inside the selection.
  bool InSelection(const CFieldRow* row, int column) const;
  void SetSelection(CFieldRow* a, int ca, CFieldRow* b, int cb);
  std::u16string SelectedText() const;
  /// \brief A row of the record's first field in MARC mode (the leader).
  bool IsLeaderRow(const CFieldRow* row) const;
  /// \brief Deletes every field and forgets every row pointed at.
  void ClearRecord();

  // ---- the view ----
  int VisibleRows() const { return layout_.VisibleRows(); }
  /// \brief Screen index of a row (negative or >= VisibleRows when off the screen).
  int ScreenIndex(const CFieldRow* row) const;
  bool IsShown(const CFieldRow* row) const;
  /// \brief The last screen row, when the text area shows only part of it.
  bool IsPartlyShown(const CFieldRow* row) const;
  CFieldRow* ShownRow(int screenIndex) const;
  /// \brief Scrolls one row (direction -1 up, 1 down); false at the record's ends.
  bool ScrollOneRow(int direction);
  /// \brief Scrolls one screen; false when the view does not move.
  bool ScrollPage(int direction);
  /// \brief Makes `index` the first shown row (clamped); false when nothing moved.
  bool ScrollTo(int index);
  /// \brief Centres a row off the screen; scrolls a partly shown last row in.
  void BringIntoView(const CFieldRow* row);
  void CentreOn(const CFieldRow* row);
  int CaretX() const;
  int CaretY() const;

  // ---- caret ----
  /// \brief The caret to (row, column), clamped; the remembered x is forgotten.
  void PlaceCaret(CFieldRow* row, int column);
  /// \brief The caret to an offset within a field; `startOfNext` prefers the next row's
  /// start to the end of a row where both stand for the offset.
  void PlaceCaretAt(CFieldItem* field, int offset, bool startOfNext = false);
  /// \brief A caret key (VK_LEFT ... VK_NEXT) with Ctrl and Shift as held.
  void MoveCaretKey(int vk, bool ctrl, bool shift);

  // ---- row editing ----
  /// \brief Typing one character (leader rules in MARC mode).
  void InsertCharacter(char16_t ch) { InsertCharacter(std::u16string_view(&ch, 1)); }
  /// \brief Typing one character given as its units (two for a surrogate pair).
  void InsertCharacter(std::u16string_view ch);
  /// \brief Inserts text at the caret without the characters 0-26; false when nothing went in.
  bool InsertString(std::u16string_view s);
  /// \brief Deletes the character at the caret; true when something was deleted.
  bool DeleteAtCaret();
  bool Backspace();
  /// \brief Ctrl+Backspace: deletes the caret's row (or its field); true when one went.
  bool DeleteRow();
  /// \brief Deletes the selection; the row to continue in, null when refused or empty.
  CFieldRow* DeleteSelection();
  /// \brief Ctrl+B: selects the subfield's content, then the whole subfield, alternately.
  void SelectSubfield(CFieldRow* row, int column);
  /// \brief Shift+Delete (MARC): deletes the subfield at the caret; true when deleted.
  bool DeleteSubfield();
  /// \brief Lays out every field (or one) keeping every place the editor holds.
  void LayoutKeepingPlaces(CFieldItem* only = nullptr);

  // ---- keys (WM_KEYDOWN, WM_CHAR, WM_KEYUP) ----
  void KeyDown(int vk, bool ctrl, bool shift);
  void Char(char16_t ch, bool ctrl, bool shift);
  /// \brief The characters a key or an input method types: each in turn as WM_CHAR (a
  /// surrogate pair as one character); half a pair is dropped.
  void Chars(std::u16string_view text, bool ctrl, bool shift);

  // ---- field commands ----
  /// \brief What DeleteField does once the question was answered: removes the row's field
  /// (the only field is emptied) and puts the caret on column 0 of the row to go to.
  void DeleteFieldAnswered(CFieldRow* row);
  void RemoveField(CFieldItem* field);
  void DuplicateField(CFieldRow* row);
  void SortFields();
  void CopyText();
  void CutText();
  void PasteText(CFieldRow* row);
  void CopyField();
  void CutField();
  void PasteField();
  void ApplyDefaultValue(int n);
  /// \brief The menu commands 32779-32810 and the 50001/51001/52001 ranges.
  void Command(int id);
  /// \brief Inserts a new field after `after` (null: at the end), shows it and puts the caret on it.
  CFieldItem* InsertFieldAfter(CFieldItem* after, std::u16string_view name, std::u16string_view data);

  // ---- what a window supplies ----
  /// \brief Tells the host; 17 and 26 answer, the others are posted.
  virtual intptr_t NotifyParent(int code, const CFieldRow* row, int column);
  virtual void Repaint() {}
  virtual void InsertField(CFieldRow* row) {}
  virtual void EditFieldAttributes(CFieldRow* row) {}
  /// \brief Asks before Ctrl+Delete; true unless the answer was No.
  virtual bool ConfirmDeleteField(const CFieldItem& field) { return true; }
  /// \brief Tab: the focus to the next (back: previous) control of the parent.
  virtual void MoveFocus(bool back) {}
  virtual bool SetClipboard(const std::u16string& text);
  /// \brief The clipboard's Unicode text; false when there is none.
  virtual bool GetClipboard(std::u16string& text) const;
  /// \brief The first file of a dropped-files list on the clipboard; false when there is none.
  virtual bool ClipboardFile(std::u16string& path) const { return false; }

 private:
  void ExtendSelection(CFieldRow* anchor, int anchorCol);
  void MoveLeft(bool ctrl);
  void MoveRight(bool ctrl);
  void MoveVertical(int vk);
  void InsertCharacterRule(std::u16string_view ch);
  bool SelectionTouchesLeader() const;
  bool CheckQuery(int shift);
  /// Removes a field from the record, keeping the pointers the editor holds valid.
  void DropField(CFieldItem* field);
  /// Removes the fields from first to last.
  void DropFields(CFieldItem* first, CFieldItem* last);
  /// Ctrl+Delete: asks, then deletes the caret's field (never the leader); EDN_CHANGED either way.
  void AskAndDeleteField();
  void ForgetRowsOf(const CFieldItem* field);

  CEditorDocument document_;
  CEditorLayout layout_;
  std::u16string clipboard_;  // the clipboard of a window-less editor
  bool hasClipboard_ = false;
};
