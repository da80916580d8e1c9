// The editor's child window: a widget that paints the record and forwards keys, the mouse
// and window messages to the editing state it derives from (CRowEditor, a plain class).
// It owns the scroll bars and the corner box, and supplies the host, the clipboard, the
// menus and the dialogs.
#pragma once

#include "editor_caret.h"
#include "editor_document.h"
#include "editor_layout.h"
#include "editor_menu.h"
#include "editor_painter.h"
#include "editor_screen.h"
#include "row_editor.h"

#include <penwick/notify.h>
#include <penwick/wintypes.h>
#include <ui/win.h>

#include <QFont>
#include <QPoint>
#include <QWidget>

class QScrollBar;
class CCornerBox;
class CEditorDropTarget;

#include <string>
#include <vector>

class CEditorWnd : public QWidget, public CRowEditor {
  Q_OBJECT
 public:
  /// \brief An editor whose files (fldtips.ini, dctips.ini ...) lie in hostFolder.
  explicit CEditorWnd(std::u16string hostFolder);
  ~CEditorWnd() override;

  /// \brief Makes the child window in the parent's client area (outer size width x
  /// height); non-zero on success, 0 without a parent.
  int Create(QWidget* parent, int x, int y, int width, int height);

  using CRowEditor::Document;
  using CRowEditor::Layout;

  // ---- the operations behind CPenwick ----
  int AddField(std::u16string_view name, std::u16string_view data);
  /// \brief Stores font and colour, measures with the font and lays the record out again
  /// keeping the caret's place in its field; 1, or 0 when the record has no rows.
  int SetFont(const penwick::LOGFONTW& font, penwick::COLORREF colour);
  void GetFont(penwick::LOGFONTW& font, penwick::COLORREF& colour) const;
  void SetFormat(int32_t format, int32_t tagWidth);
  void GetFormat(int32_t& format, int32_t& tagWidth) const;
  void SetProperty(std::u16string_view text) { Document().SetProperty(text); }
  void SetCtrlZMenu(std::u16string_view source, std::u16string_view key) { Document().SetCtrlZMenu(source, key); }
  int SetCursorPos(int32_t field, int32_t subfield, int32_t offset);
  /// \brief Replaces the record with text (codePage -1: length UTF-16 units; else length
  /// bytes in that code page; a negative length reads up to the NUL); always 1.
  int SetText(const void* text, int32_t length, int32_t codePage);
  /// \brief Writes the record into buffer: length is the buffer's capacity on input (units
  /// for codePage -1, else bytes) and the text's length on output, -1 when it did not fit.
  int GetText(void* buffer, int32_t& length, int32_t codePage);
  int MoveWindow(const penwick::RECT* rect);
  /// \brief The selection, cut to capacity - 1 units; 0 when nothing is selected.
  int GetSelectedText(char16_t* buffer, int32_t& capacity) const;

  // ---- record text ----
  /// \brief The record written by the format's writer (internal record text or RDF/XML).
  std::u16string RecordText(int32_t codePage) const;
  /// \brief Clears the record and reads text with the format's reader.
  void ReadRecordText(std::u16string_view text);
  /// \brief Deletes every field and forgets every row the window pointed at.
  void ClearRecord();

  /// Requested tag width (what GetFormat reports).
  int32_t requestedTagWidth = 0;
  /// \brief The caret's place as the notifications give it.
  penwick::EditorPosition CaretPosition() const;

  // ---- notifications ----
  /// \brief Tells the parent window: code 14 posted without a position; 17 and 26 sent
  /// (the parent's answer returned); the others posted with the position of (row, column).
  intptr_t NotifyParent(int code, const CFieldRow* row, int column) override;

  // ---- what the editing state asks of a window ----
  void Repaint() override;
  void InsertField(CFieldRow* row) override;
  void EditFieldAttributes(CFieldRow* row) override;
  bool ConfirmDeleteField(const CFieldItem& field) override;
  void MoveFocus(bool back) override;
  bool SetClipboard(const std::u16string& text) override;
  bool GetClipboard(std::u16string& text) const override;
  bool ClipboardFile(std::u16string& path) const override;
  /// \brief Whether the clipboard holds a copied field (its text begins with 0x1E).
  bool IsFieldClipboard() const;

  // ---- mouse and menus ----
  /// \brief Text dropped from outside at a client point: placed as a click, inserted.
  void DropText(QPoint point, std::u16string_view text);
  /// \brief The text-area menu of a row (cut, copy, paste, host commands, Ctrl+Z defaults).
  void ShowOperationMenu(CFieldRow* row, int column, QPoint point);
  /// \brief The tag-column menu of a field.
  void ShowContextMenu(CFieldItem* field, QPoint point);
  /// \brief The picker of a Dublin Core qualifier row's button (Type, Scheme, Lang, MarcID).
  void ShowPicker(CFieldRow* row, QPoint point);
  /// \brief An element's Type menu (the field model's ShowTypeMenu: the item lists the
  /// choices, the window shows them); the element becomes the current field and the
  /// choice goes to PickType.
  void ShowTypeMenu(CFieldItem* field, QPoint point);
  /// \brief The Scheme menu likewise; the choice goes to PickScheme.
  void ShowSchemeMenu(CFieldItem* field, QPoint point);
  /// \brief The corner box's paste (MARC): the record from the clipboard's tagged record text.
  void PasteRecordText();
  QScrollBar* VerticalBar() const { return vbar_; }
  QScrollBar* HorizontalBar() const { return hbar_; }
  CCornerBox* CornerBox() const { return corner_; }
  /// \brief Whether the caret is drawn (hidden while scrolled off or a menu is open).
  bool CaretShown() const { return caret_.Shown(); }

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  /// The size handling (WM_SIZE) for a new client size.
  void OnSize(int cx, int cy);
  /// The caret moved by the host (SetCursorPos, SetText, WM_PASTE): the selection goes.
  void MoveCaret(CFieldRow* row, int column);
  /// Lays every field out again, the caret kept at its offset within its field.
  void RelayoutKeepingCaret();
  void PlaceBars();
  /// WM_VSCROLL: SB_LINEUP 0, SB_LINEDOWN 1, SB_PAGEUP 2, SB_PAGEDOWN 3, SB_THUMBPOSITION 4.
  void OnVScroll(int code, int position);
  void SetCursorFor(QPoint p, Qt::KeyboardModifiers mods);
  bool InTextArea(QPoint p) const;
  /// Row and column under a client point; below the last row the last row (row null when empty).
  CFieldRow* RowAtPoint(QPoint p, int& column, bool& belowLast) const;
  void CaretToPoint(CFieldRow* row, int column);
  void ShiftClick(CFieldRow* row, int column);
  void EndSelectionDrag(QPoint p, bool copy);
  void EndBoundaryDrag(int x);
  int RunMenu(const std::vector<penwick::CMenuItem>& items, QPoint point);

  penwick::LOGFONTW logFont_;
  penwick::COLORREF colour_ = 0;
  bool customFont_ = false;
  bool created_ = false;
  QSize clientSize_;
  QScrollBar* vbar_ = nullptr;
  QScrollBar* hbar_ = nullptr;
  CCornerBox* corner_ = nullptr;
  CEditorDropTarget* drop_ = nullptr;
  bool dragging_ = false;           // a drag of the selection
  bool boundaryDrag_ = false;       // the tag column boundary is being dragged
  int boundaryX_ = 0;
  CFieldRow* hotRow_ = nullptr;     // row whose icon the mouse is over
  int pressedIcon_ = -1;            // screen index of a pressed icon's row
  int helpShown_ = 0;               // help pane state of the MARC field dialog
  bool settingBar_ = false;
  // The painter, the screen and the caret of the window (they read its state).
  friend class CEditorPainter;
  friend class CEditorScreen;
  friend class CEditorCaret;
  CEditorPainter painter_{this};
  CEditorScreen screen_{this};
  CEditorCaret caret_{this};
};
