// Editing the display rows: typing with the MARC rules, inserting text, deleting, and the
// subfield selection.
#include "row_editor.h"

#include <algorithm>

using namespace penwick;

namespace {
constexpr int kLeaderFirstEditable = 5;
constexpr int kLeaderEnd = 10;

bool leaderCharacter(char16_t ch) {
  return ch == u' ' || (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'z');
}
}  // namespace

bool CRowEditor::SelectionTouchesLeader() const {
  return IsLeaderRow(selStartRow) || IsLeaderRow(selEndRow);
}

void CRowEditor::InsertCharacter(std::u16string_view ch) {
  if (!caretRow || ch.empty()) return;
  if (IsLeaderRow(caretRow)) {
    // The editable columns count through the whole leader, wrapped or not.
    CFieldItem* leader = caretRow->field;
    const int at = leader->RowOffset(caretRow, caretColumn);
    if (at < kLeaderFirstEditable || at >= kLeaderEnd) {
      NotifyParent(EDN_TEMPLATE, caretRow, caretColumn);
      return;
    }
    if (ch.size() != 1 || !leaderCharacter(ch[0])) return;
    // Overwrite: the leader keeps its length.
    leader->GatherRows();
    if (size_t(at) < leader->data.size())
      leader->data[size_t(at)] = ch[0];
    else
      leader->data.insert(size_t(at), 1, ch[0]);
    LayoutKeepingPlaces(leader);
    PlaceCaretAt(leader, at + 1 >= kLeaderEnd ? kLeaderFirstEditable : at + 1, true);
    Repaint();
    return;
  }
  if (HasSelection()) {
    if (IsMarc() && SelectionTouchesLeader()) return;
    DeleteSelection();
  }
  InsertCharacterRule(ch);
  NotifyParent(EDN_CHANGED, nullptr, 0);
  Repaint();
}

void CRowEditor::InsertCharacterRule(std::u16string_view ch) {
  CFieldRow* row = caretRow;
  if (ch.size() == 1 && ch[0] == kDelimiter && caretColumn > 0 && row->text[size_t(caretColumn - 1)] == kDelimiter) {
    // A doubled delimiter key gives a literal backslash.
    row->text[size_t(caretColumn - 1)] = u'\\';
    row->dirty = true;
    rememberedX = 0;
    return;
  }
  row->text.insert(size_t(caretColumn), ch);
  row->dirty = true;
  rememberedX = 0;
  CFieldItem* field = row->field;
  const int offset = field->RowOffset(row, caretColumn);
  if (ch.size() == 1 && ch[0] == kDropMarker) {
    LayoutKeepingPlaces(field);
    PlaceCaretAt(field, offset);
    return;
  }
  // Laid out again at once: a full row passes its end on, and the caret follows the character.
  const bool wasLast = ScreenIndex(row) >= VisibleRows() - 1;
  LayoutKeepingPlaces(field);
  CFieldRow* before = caretRow;
  PlaceCaretAt(field, offset + int(ch.size()));
  if (wasLast && caretRow != before) ScrollOneRow(1);
  BringIntoView(caretRow);
}

bool CRowEditor::InsertString(std::u16string_view s) {
  if (!caretRow || IsLeaderRow(caretRow)) return false;
  const std::u16string text = StripControls(s);
  if (text.empty()) return false;
  CFieldItem* field = caretRow->field;
  const int offset = field->RowOffset(caretRow, caretColumn);
  caretRow->text.insert(size_t(caretColumn), text);
  caretRow->dirty = true;
  LayoutKeepingPlaces(field);
  PlaceCaretAt(field, offset + int(text.size()));
  BringIntoView(caretRow);
  return true;
}

bool CRowEditor::DeleteAtCaret() {
  if (!caretRow) return false;
  CFieldRow* row = caretRow;
  CFieldItem* field = row->field;
  const int offset = field->RowOffset(row, caretColumn);
  if (caretColumn >= row->Length()) {
    CFieldRow* next = row->next;
    if (!next || next->IsQualifierRow() || next->text.empty()) return false;
    next->text.erase(0, CharLengthAt(next->text, 0));
    next->dirty = true;
  } else {
    row->text.erase(size_t(caretColumn), CharLengthAt(row->text, size_t(caretColumn)));
    row->dirty = true;
  }
  LayoutKeepingPlaces(field);
  PlaceCaretAt(field, offset, caretColumn == 0 && caretRow != field->firstRow);
  return true;
}

bool CRowEditor::Backspace() {
  if (!caretRow) return false;
  CFieldRow* row = caretRow;
  // The qualifier's only character (a pair counts as one) leaves an empty value.
  if (caretColumn > 0 && caretColumn == row->Length() && row->IsQualifierRow() &&
      int(CharLengthBefore(row->text, size_t(caretColumn))) == caretColumn) {
    row->text.clear();
    row->dirty = true;
    caretColumn = 0;
    LayoutKeepingPlaces(row->field);
    rememberedX = 0;
    return true;
  }
  while (caretColumn == 0) {
    if (row == row->field->firstRow) return false;
    if (row->IsQualifierRow()) {
      if (!row->text.empty()) return false;
      // An empty qualifier row loses its label: the qualifier goes.
      CFieldItem* field = row->field;
      CFieldRow* previous = row->previous;
      const int offset = field->RowOffset(previous, previous->Length());
      row->label.clear();
      row->dirty = true;
      LayoutKeepingPlaces(field);
      PlaceCaretAt(field, offset);
      return true;
    }
    // Onto the end of the row before, scrolling it in as Left does when this row is the
    // first one shown: the deletion happens there, and the caret must stay in sight.
    if (ScreenIndex(row) <= 0) ScrollOneRow(-1);
    row = row->previous;
    PlaceCaret(row, row->Length());
  }
  PlaceCaret(row, caretColumn - int(CharLengthBefore(row->text, size_t(caretColumn))));
  const bool deleted = DeleteAtCaret();
  BringIntoView(caretRow);
  return deleted;
}

bool CRowEditor::DeleteRow() {
  if (!caretRow) return false;
  CFieldRow* row = caretRow;
  CFieldItem* field = row->field;
  const int x = CaretX();
  // In MARC mode no row of the leader goes: in a narrow window the leader wraps, and
  // deleting a continuation row would cut the leader short.
  if (IsMarc() && field == document_.FirstField()) return false;
  if (row == document_.FirstRow()) {
    if (!row->next) {
      row->text.clear();
      row->dirty = true;
      LayoutKeepingPlaces(field);
      PlaceCaret(caretRow, 0);
      return true;
    }
  }
  CFieldRow* next = row->NextRow();
  CFieldRow* previous = row->PreviousRow();
  if (row->previous || (IsMarc() && row == field->firstRow && row->next)) {
    // Only this row goes: its neighbours are joined and the field folded back without it.
    if (row->previous) row->previous->next = row->next;
    if (row->next) row->next->previous = row->previous;
    if (field->firstRow == row) field->firstRow = row->next;
    field->firstRow->dirty = true;
    if (caretRow == row) caretRow = nullptr;
    if (selStartRow == row || selEndRow == row) ClearSelection();
    if (anchorRow == row) anchorRow = nullptr;
    if (contextRow == row) contextRow = nullptr;
    if (defaultRow == row) defaultRow = nullptr;
    if (subfieldRow == row) subfieldRow = nullptr;
    delete row;
    field->RowsChanged();
    caretRow = next ? next : previous;
    caretColumn = 0;
  } else {
    ForgetRowsOf(field);
    // The whole field goes; the caret to the next field's first row, else the previous one's last.
    CFieldItem* toField = field->next ? field->next : field->previous;
    const bool toNext = field->next != nullptr;
    DropField(field);
    caretRow = toField ? (toNext ? toField->firstRow : toField->LastRow()) : nullptr;
  }
  LayoutKeepingPlaces();
  if (!caretRow) caretRow = document_.FirstRow();
  if (caretRow) PlaceCaret(caretRow, layout_.ColumnAtX(caretRow->text, x));
  BringIntoView(caretRow);
  return true;
}

CFieldRow* CRowEditor::DeleteSelection() {
  if (!HasSelection()) return nullptr;
  if (IsMarc() && SelectionTouchesLeader()) return nullptr;
  CFieldRow *a, *b;
  int ca, cb;
  OrderedSelection(a, ca, b, cb);
  ca = std::clamp(ca, 0, a->Length());
  cb = std::clamp(cb, 0, b->Length());
  if (a == b) {
    a->text.erase(size_t(ca), size_t(cb - ca));
    a->dirty = true;
    ClearSelection();
    caretRow = a;
    caretColumn = ca;
    LayoutKeepingPlaces(a->field);
    rememberedX = 0;
    Repaint();
    return caretRow;
  }
  CFieldItem* startField = a->field;
  CFieldItem* endField = b->field;
  std::u16string joined = a->text.substr(0, size_t(ca)) + b->text.substr(size_t(cb));
  // Within one Dublin Core element the qualifier rows after the selection stay qualifiers:
  // only the end row's continuation rows join the start row.
  CFieldRow* kept = nullptr;
  for (CFieldRow* r = b->next; r; r = r->next) {
    if (!IsMarc() && startField == endField && r->IsQualifierRow()) {
      kept = r;
      break;
    }
    joined += r->text;
  }
  a->text = joined;
  a->dirty = true;
  ClearSelection();
  // The start field's rows after the start row go (up to a kept qualifier row).
  for (CFieldRow* r = a->next; r && r != kept;) {
    CFieldRow* n = r->next;
    if (caretRow == r) caretRow = nullptr;
    if (anchorRow == r) anchorRow = nullptr;
    if (contextRow == r) contextRow = nullptr;
    if (defaultRow == r) defaultRow = nullptr;
    delete r;
    r = n;
  }
  a->next = kept;
  if (kept) kept->previous = a;
  startField->RowsChanged();
  // Fields after the start field up to and including the end field go.
  if (endField != startField) DropFields(startField->next, endField);
  caretRow = a;
  caretColumn = ca;
  LayoutKeepingPlaces();
  rememberedX = 0;
  CentreOn(caretRow);
  Repaint();
  return caretRow;
}

void CRowEditor::SelectSubfield(CFieldRow* row, int column) {
  if (!row) return;
  CFieldItem* field = row->field;
  const std::u16string text = field->RowsText();
  const int p = field->RowOffset(row, std::clamp(column, 0, row->Length()));
  size_t end = text.find(kDelimiter, size_t(p));
  if (end == std::u16string::npos) end = text.size();
  size_t delimiter = p > 0 ? text.rfind(kDelimiter, size_t(p - 1)) : std::u16string::npos;
  int start = 1;
  if (delimiter != std::u16string::npos) {
    CFieldRow* dRow = nullptr;
    int dCol = 0;
    field->RowAtOffset(int(delimiter) + 1, dRow, dCol);  // the row holding the delimiter
    const int d = int(delimiter);
    if (dRow != subfieldRow || subfieldStart == d)
      start = d + 2;
    else
      start = d;
    subfieldRow = dRow;
    subfieldStart = start;
  }
  CFieldRow *aRow = nullptr, *bRow = nullptr;
  int aCol = 0, bCol = 0;
  const bool startInside = field->RowAtOffset(start, aRow, aCol);
  field->RowAtOffset(int(end), bRow, bCol);
  if (!startInside) {
    aRow = field->LastRow();
    aCol = aRow->Length();
  } else if (aCol == aRow->Length() && aRow->next && !aRow->next->IsQualifierRow()) {
    aRow = aRow->next;
    aCol = 0;
  }
  if (!bRow || document_.Before(bRow, bCol, aRow, aCol) || (aRow == bRow && aCol >= bCol))
    ClearSelection();
  else
    SetSelection(aRow, aCol, bRow, bCol);
  Repaint();
}

bool CRowEditor::DeleteSubfield() {
  if (!caretRow) return false;
  subfieldRow = caretRow;
  subfieldStart = -1;
  SelectSubfield(caretRow, caretColumn == 0 ? 1 : caretColumn);
  if (!HasSelection()) return false;
  return DeleteSelection() != nullptr;
}
