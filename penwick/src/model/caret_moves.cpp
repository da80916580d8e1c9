// Caret movement by keys, and selection by Shift.
#include "row_editor.h"

#include <algorithm>

using namespace penwick;

namespace {
// The MARC leader row takes the caret only at its editable columns.
constexpr int kLeaderFirstEditable = 5;
constexpr int kLeaderLastEditable = 9;
}  // namespace

void CRowEditor::MoveCaretKey(int vk, bool ctrl, bool shift) {
  if (!caretRow) return;
  // Without Shift every caret key drops the selection, Ctrl+Page Up/Down included.
  if (!shift) ClearSelection();
  if ((vk == VK_PRIOR || vk == VK_NEXT) && (ctrl || shift)) {
    NotifyParent(vk == VK_PRIOR ? EDN_PAGEUP : EDN_PAGEDOWN, caretRow, caretColumn);
    return;
  }
  CFieldRow* anchor = caretRow;
  int anchorCol = caretColumn;
  if (shift && HasSelection() && anchorRow) {
    anchor = anchorRow;
    anchorCol = anchorColumn;
  }
  switch (vk) {
    case VK_LEFT: MoveLeft(ctrl); break;
    case VK_RIGHT: MoveRight(ctrl); break;
    case VK_HOME:
      if (!ctrl) {
        if (caretColumn == 0 && IsMarc() && !shift) {
          EditFieldAttributes(caretRow->field->firstRow);
          return;
        }
        PlaceCaret(caretRow, 0);
        break;
      }
      [[fallthrough]];
    default: MoveVertical(vk); break;
    case VK_END:
      if (!ctrl) {
        PlaceCaret(caretRow, caretRow->Length());
        break;
      }
      MoveVertical(vk);
      break;
  }
  if (shift) ExtendSelection(anchor, anchorCol);
}

void CRowEditor::ExtendSelection(CFieldRow* anchor, int anchorCol) {
  anchorRow = anchor;
  anchorColumn = anchorCol;
  if (caretRow == anchor && caretColumn == anchorCol)
    ClearSelection();
  else if (document_.Before(anchor, anchorCol, caretRow, caretColumn))
    SetSelection(anchor, anchorCol, caretRow, caretColumn);
  else
    SetSelection(caretRow, caretColumn, anchor, anchorCol);
  Repaint();
}

void CRowEditor::MoveLeft(bool ctrl) {
  CFieldItem* field = caretRow->field;
  const bool fieldStart = caretRow == field->firstRow && caretColumn == 0;
  if (ctrl && IsMarc() && !fieldStart) {
    const std::u16string text = field->RowsText();
    const int p = field->RowOffset(caretRow, caretColumn);
    size_t at = p > 0 ? text.rfind(kDelimiter, size_t(p - 1)) : std::u16string::npos;
    PlaceCaretAt(field, at == std::u16string::npos ? 0 : int(at), true);
    BringIntoView(caretRow);
    return;
  }
  if (caretColumn > 0) {
    PlaceCaret(caretRow, caretColumn - int(CharLengthBefore(caretRow->text, size_t(caretColumn))));
    return;
  }
  CFieldRow* previous = caretRow->PreviousRow();
  if (!previous) return;
  if (ScreenIndex(caretRow) <= 0) ScrollOneRow(-1);
  PlaceCaret(previous, previous->Length());
  BringIntoView(caretRow);
}

void CRowEditor::MoveRight(bool ctrl) {
  CFieldItem* field = caretRow->field;
  const bool fieldEnd = caretRow == field->LastRow() && caretColumn == caretRow->Length();
  if (ctrl && IsMarc() && !fieldEnd) {
    const std::u16string text = field->RowsText();
    const int p = field->RowOffset(caretRow, caretColumn);
    size_t at = text.find(kDelimiter, size_t(p) + 1);
    if (at == std::u16string::npos) {
      CFieldRow* last = field->LastRow();
      PlaceCaret(last, last->Length());
    } else {
      PlaceCaretAt(field, int(at), true);
    }
    BringIntoView(caretRow);
    return;
  }
  if (caretColumn < caretRow->Length()) {
    PlaceCaret(caretRow, caretColumn + int(CharLengthAt(caretRow->text, size_t(caretColumn))));
    return;
  }
  CFieldRow* next = caretRow->NextRow();
  if (!next) return;
  if (ScreenIndex(caretRow) >= VisibleRows() - 1 || IsPartlyShown(next)) ScrollOneRow(1);
  PlaceCaret(next, 0);
  BringIntoView(caretRow);
}

// Up, Down, Page Up, Page Down, Ctrl+Home and Ctrl+End: they aim at the remembered x.
void CRowEditor::MoveVertical(int vk) {
  const int aim = rememberedX ? rememberedX : CaretX();
  const int screen = ScreenIndex(caretRow);
  const int total = document_.TotalRows();
  CFieldRow* target = nullptr;
  switch (vk) {
    case VK_UP:
      target = caretRow->PreviousRow();
      if (target && screen <= 0) ScrollOneRow(-1);
      break;
    case VK_DOWN:
      target = caretRow->NextRow();
      if (target && (screen >= VisibleRows() - 1 || IsPartlyShown(target))) ScrollOneRow(1);
      break;
    case VK_HOME:  // with Ctrl
      firstShownRow = 0;
      target = document_.FirstRow();
      break;
    case VK_END:  // with Ctrl
      if (total > VisibleRows()) firstShownRow = total - (VisibleRows() - (layout_.WholeRowsOnly() ? 0 : 1));
      target = document_.RowAt(total - 1);
      break;
    case VK_PRIOR:
      if (ScrollPage(-1))
        target = ShownRow(std::max(screen, 0));
      else
        target = ShownRow(0);
      break;
    case VK_NEXT:
      if (ScrollPage(1)) {
        target = ShownRow(std::clamp(screen, 0, VisibleRows() - 1));
        if (!target) target = document_.RowAt(total - 1);
      } else {
        target = document_.RowAt(total - 1);
        if (IsPartlyShown(target)) ScrollOneRow(1);
      }
      break;
  }
  if (!target) return;
  int column = layout_.ColumnAtX(target->text, aim);
  // Only the leader's first row: the caret must still pass down through a wrapped leader.
  if (target == document_.FirstRow() && IsMarc() && (column < kLeaderFirstEditable || column > kLeaderLastEditable))
    column = kLeaderFirstEditable;
  PlaceCaret(target, column);
  BringIntoView(caretRow);
  rememberedX = aim;
}
