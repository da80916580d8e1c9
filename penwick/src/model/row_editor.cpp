// The editing state: selection, view and caret placement, and layout that keeps them.
#include "row_editor.h"

#include <algorithm>

using namespace penwick;

CRowEditor::CRowEditor(std::u16string hostFolder) : document_(std::move(hostFolder)) {
  document_.SetMeasure(&layout_);
}

CRowEditor::~CRowEditor() { ClearRecord(); }

std::u16string penwick::StripControls(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s)
    if (c > 26) out += c;
  return WithoutLoneSurrogates(out);
}

// ---- selection ----

void CRowEditor::ClearSelection() {
  selStartRow = selEndRow = nullptr;
  selStartColumn = selEndColumn = 0;
  subfieldRow = nullptr;
}

void CRowEditor::SetSelection(CFieldRow* a, int ca, CFieldRow* b, int cb) {
  selStartRow = a;
  selStartColumn = ca;
  selEndRow = b;
  selEndColumn = cb;
}

void CRowEditor::OrderedSelection(CFieldRow*& a, int& ca, CFieldRow*& b, int& cb) const {
  a = selStartRow;
  ca = selStartColumn;
  b = selEndRow;
  cb = selEndColumn;
  if (a && b && document_.Before(b, cb, a, ca)) {
    std::swap(a, b);
    std::swap(ca, cb);
  }
}

bool CRowEditor::InSelection(const CFieldRow* row, int column) const {
  if (!HasSelection() || !row) return false;
  CFieldRow *a, *b;
  int ca, cb;
  OrderedSelection(a, ca, b, cb);
  return !document_.Before(row, column, a, ca) && document_.Before(row, column, b, cb);
}

std::u16string CRowEditor::SelectedText() const {
  if (!HasSelection()) return {};
  return document_.TextBetween(selStartRow, selStartColumn, selEndRow, selEndColumn);
}

bool CRowEditor::IsLeaderRow(const CFieldRow* row) const {
  // Every row of the leader: in a narrow window the 24 characters wrap, and its later rows
  // must not take text the leader has no room for.
  return IsMarc() && row && row->field == document_.FirstField();
}

void CRowEditor::ClearRecord() {
  ClearSelection();
  caretRow = anchorRow = contextRow = defaultRow = nullptr;
  currentField = nullptr;
  caretColumn = anchorColumn = defaultColumn = 0;
  rememberedX = 0;
  firstShownRow = 0;
  document_.ClearRecord();
}

// ---- view ----

int CRowEditor::ScreenIndex(const CFieldRow* row) const {
  int index = document_.RowIndex(row);
  return index < 0 ? -1 : index - firstShownRow;
}

bool CRowEditor::IsShown(const CFieldRow* row) const {
  int i = row ? ScreenIndex(row) : -1;
  return document_.RowIndex(row) >= 0 && i >= 0 && i < VisibleRows();
}

bool CRowEditor::IsPartlyShown(const CFieldRow* row) const {
  return !layout_.WholeRowsOnly() && row && document_.RowIndex(row) >= 0 && ScreenIndex(row) == VisibleRows() - 1;
}

CFieldRow* CRowEditor::ShownRow(int screenIndex) const {
  if (screenIndex < 0 || screenIndex >= VisibleRows()) return nullptr;
  return document_.RowAt(firstShownRow + screenIndex);
}

bool CRowEditor::ScrollTo(int index) {
  index = std::clamp(index, 0, std::max(document_.TotalRows() - 1, 0));
  if (index == firstShownRow) return false;
  firstShownRow = index;
  return true;
}

bool CRowEditor::ScrollOneRow(int direction) {
  if (direction < 0) return firstShownRow > 0 && ScrollTo(firstShownRow - 1);
  return firstShownRow + 1 < document_.TotalRows() && ScrollTo(firstShownRow + 1);
}

bool CRowEditor::ScrollPage(int direction) {
  int first = layout_.PageFirst(firstShownRow, document_.TotalRows(), direction);
  return first >= 0 && ScrollTo(first);
}

void CRowEditor::CentreOn(const CFieldRow* row) {
  int index = document_.RowIndex(row);
  if (index >= 0) firstShownRow = layout_.CentreFirst(index);
}

void CRowEditor::BringIntoView(const CFieldRow* row) {
  if (!row || document_.RowIndex(row) < 0) return;
  if (!IsShown(row))
    CentreOn(row);
  else if (IsPartlyShown(row))
    ScrollOneRow(1);
}

int CRowEditor::CaretX() const {
  return caretRow ? layout_.ColumnX(caretRow->text, caretColumn) : layout_.tagWidth;
}

int CRowEditor::CaretY() const { return layout_.RowY(caretRow ? ScreenIndex(caretRow) : 0); }

// ---- caret ----

void CRowEditor::PlaceCaret(CFieldRow* row, int column) {
  caretRow = row;
  caretColumn = row ? std::clamp(column, 0, row->Length()) : 0;
  // Never between the halves of a pair (a host's offset may point there): what is typed
  // there would leave both halves alone.
  if (row && SplitsPair(row->text, size_t(caretColumn))) --caretColumn;
  rememberedX = 0;
}

void CRowEditor::PlaceCaretAt(CFieldItem* field, int offset, bool startOfNext) {
  if (!field) {
    PlaceCaret(document_.FirstRow(), 0);
    return;
  }
  CFieldRow* row = nullptr;
  int column = 0;
  if (!field->RowAtOffset(offset, row, column)) {
    row = field->LastRow();
    column = row->Length();
  } else if (startOfNext && column == row->Length() && row->next && !row->next->IsQualifierRow()) {
    row = row->next;
    column = 0;
  }
  PlaceCaret(row, column);
}

namespace {
// A place in the record that survives a new layout of its field's rows: the same row and
// column when they still stand for the same offset, else the offset within the field.
struct Place {
  CFieldItem* field = nullptr;
  int offset = 0;
  int rowNumber = 0;
  int column = 0;
};

Place placeOf(const CFieldRow* row, int column) {
  if (!row) return {};
  int n = 0;
  for (const CFieldRow* r = row->field->firstRow; r && r != row; r = r->next) ++n;
  return {row->field, row->field->RowOffset(row, column), n, column};
}

void restore(const Place& p, CFieldRow*& row, int& column) {
  if (!p.field) {
    row = nullptr;
    return;
  }
  CFieldRow* same = p.field->firstRow;
  for (int n = p.rowNumber; same && n > 0; --n) same = same->next;
  if (same && p.column <= same->Length() && p.field->RowOffset(same, p.column) == p.offset) {
    row = same;
    column = p.column;
    return;
  }
  if (!p.field->RowAtOffset(p.offset, row, column)) {
    row = p.field->LastRow();
    column = row->Length();
  }
}
}  // namespace

void CRowEditor::LayoutKeepingPlaces(CFieldItem* only) {
  const int remembered = rememberedX;
  const Place caret = placeOf(caretRow, caretColumn), selA = placeOf(selStartRow, selStartColumn),
              selB = placeOf(selEndRow, selEndColumn), anchor = placeOf(anchorRow, anchorColumn),
              context = placeOf(contextRow, 0), target = placeOf(defaultRow, defaultColumn),
              memory = placeOf(subfieldRow, 0);
  const int first = firstShownRow;
  if (only)
    only->LayoutRows();
  else
    document_.LayoutAll();
  int unused = 0;
  restore(caret, caretRow, caretColumn);
  restore(selA, selStartRow, selStartColumn);
  restore(selB, selEndRow, selEndColumn);
  restore(anchor, anchorRow, anchorColumn);
  restore(context, contextRow, unused);
  restore(target, defaultRow, defaultColumn);
  restore(memory, subfieldRow, unused);
  firstShownRow = std::clamp(first, 0, std::max(document_.TotalRows() - 1, 0));
  rememberedX = remembered;
}

void CRowEditor::ForgetRowsOf(const CFieldItem* field) {
  auto gone = [field](const CFieldRow* r) { return r && r->field == field; };
  if (gone(selStartRow) || gone(selEndRow)) ClearSelection();
  if (gone(anchorRow)) anchorRow = nullptr;
  if (gone(subfieldRow)) subfieldRow = nullptr;
  if (gone(contextRow)) contextRow = nullptr;
  if (gone(defaultRow)) defaultRow = nullptr;
  if (gone(caretRow)) caretRow = nullptr;
  if (currentField == field) currentField = nullptr;
}

void CRowEditor::DropField(CFieldItem* field) {
  ForgetRowsOf(field);
  document_.DeleteField(field);
  firstShownRow = std::clamp(firstShownRow, 0, std::max(document_.TotalRows() - 1, 0));
}

void CRowEditor::DropFields(CFieldItem* first, CFieldItem* last) {
  for (CFieldItem* f = first; f;) {
    CFieldItem* n = f->next;
    DropField(f);
    if (f == last) break;
    f = n;
  }
}

intptr_t CRowEditor::NotifyParent(int, const CFieldRow*, int) { return 0; }

bool CRowEditor::SetClipboard(const std::u16string& text) {
  clipboard_ = text;
  hasClipboard_ = true;
  return true;
}

bool CRowEditor::GetClipboard(std::u16string& text) const {
  text = clipboard_;
  return hasClipboard_;
}
