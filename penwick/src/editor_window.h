// The editor's child window. It owns the document (the record and the stored settings)
// and the layout, keeps the caret and the selection, and carries out the exported
// interface's operations. Painting, keys and the mouse are still to come; everything that
// does not need them works here already.
#pragma once

#include "editor_document.h"
#include "editor_layout.h"

#include <penwick/notify.h>
#include <penwick/wintypes.h>
#include <ui/win.h>

#include <QFont>
#include <QWidget>

#include <string>

class CEditorWnd : public QWidget {
  Q_OBJECT
 public:
  /// \brief An editor whose files (fldtips.ini, dctips.ini ...) lie in hostFolder.
  explicit CEditorWnd(std::u16string hostFolder);
  ~CEditorWnd() override;

  /// \brief Makes the child window in the parent's client area (outer size width x
  /// height); non-zero on success, 0 without a parent.
  int Create(QWidget* parent, int x, int y, int width, int height);

  CEditorDocument& Document() { return document_; }
  const CEditorDocument& Document() const { return document_; }
  CEditorLayout& Layout() { return layout_; }
  const CEditorLayout& Layout() const { return layout_; }

  // ---- the operations behind CPenwick ----
  int AddField(std::u16string_view name, std::u16string_view data);
  /// \brief Stores font and colour, measures with the font and lays the record out again
  /// keeping the caret's place in its field; 1, or 0 when the record has no rows.
  int SetFont(const penwick::LOGFONTW& font, penwick::COLORREF colour);
  void GetFont(penwick::LOGFONTW& font, penwick::COLORREF& colour) const;
  void SetFormat(int32_t format, int32_t tagWidth);
  void GetFormat(int32_t& format, int32_t& tagWidth) const;
  void SetProperty(std::u16string_view text) { document_.SetProperty(text); }
  void SetCtrlZMenu(std::u16string_view source, std::u16string_view key) { document_.SetCtrlZMenu(source, key); }
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

  // ---- caret and selection (rows of the document) ----
  CFieldRow* caretRow = nullptr;
  int caretColumn = 0;
  CFieldRow* selStartRow = nullptr;
  CFieldRow* selEndRow = nullptr;
  int selStartColumn = 0;
  int selEndColumn = 0;
  /// Screen index of the first displayed row.
  int firstShownRow = 0;
  /// Requested tag width (what GetFormat reports).
  int32_t requestedTagWidth = 0;
  bool HasSelection() const { return selStartRow && selEndRow; }
  void ClearSelection();
  /// \brief The caret's place as the notifications give it.
  penwick::EditorPosition CaretPosition() const;

  // ---- notifications ----
  /// \brief Tells the parent window: code 14 posted without a position; 17 and 26 sent
  /// (the parent's answer returned); the others posted with the position of (row, column).
  ui::LRESULT NotifyParent(int code, const CFieldRow* row, int column);

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  void ApplyFontMetrics();
  /// The size handling (WM_SIZE) for a new client size.
  void OnSize(int cx, int cy);
  void MoveCaret(CFieldRow* row, int column);
  /// Lays every field out again, the caret kept at its offset within its field.
  void RelayoutKeepingCaret();

  CEditorDocument document_;
  CEditorLayout layout_;
  QFont font_;
  penwick::LOGFONTW logFont_;
  penwick::COLORREF colour_ = 0;
  bool customFont_ = false;
  bool created_ = false;
  QSize clientSize_;
};
