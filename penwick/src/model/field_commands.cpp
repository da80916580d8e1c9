// Commands on whole fields, the text and field clipboard, and the Ctrl+Z defaults.
#include "row_editor.h"
#include "xml_converter.h"

#include <platform/text.h>

#include <algorithm>
#include <cctype>
#include <vector>

using namespace penwick;

namespace {
bool endsWith(std::u16string_view s, std::u16string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::u16string lowered(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  return out;
}

// Paths of dropped files can be long; the editor takes up to this many characters.
constexpr size_t kDroppedPathMax = 1024;
}  // namespace

std::u16string penwick::FieldClipboardText(const CFieldItem* first, const CFieldItem* last) {
  std::u16string out(1, kFieldEnd);
  for (const CFieldItem* f = first; f; f = f->next) {
    if (f != first) out += kFieldEnd;
    out += f->name + f->indicators + f->data;
    if (f == last) break;
  }
  return out;
}

// The only field is emptied rather than deleted: its rows must not fold their old text
// (or a qualifier label) back into the data when it is laid out again.
static void EmptyRows(CFieldItem* field) {
  for (CFieldRow* r = field->firstRow; r; r = r->next) {
    r->text.clear();
    r->dirty = false;
  }
}

CFieldItem* CRowEditor::InsertFieldAfter(CFieldItem* after, std::u16string_view name, std::u16string_view data) {
  CFieldItem* item = new CFieldItem(&document_, name, data);
  document_.InsertField(item, after ? after->next : nullptr);
  BringIntoView(item->firstRow);
  PlaceCaret(item->firstRow, 0);
  return item;
}

void CRowEditor::DeleteFieldAnswered(CFieldRow* row) {
  CFieldItem* field = row->field;
  ClearSelection();
  CFieldItem* to = nullptr;
  bool toFirstRow = true;
  if (field->next || field->previous) {
    to = field->next ? field->next : field->previous;
    toFirstRow = field->next != nullptr;
    DropField(field);
    LayoutKeepingPlaces();
  } else {
    // The pointers into the field go first: the new layout deletes all rows but one.
    ForgetRowsOf(field);
    field->data.clear();
    field->indicators.clear();
    EmptyRows(field);
    field->LayoutRows();
    to = field;
  }
  CFieldRow* target = toFirstRow ? to->firstRow : to->LastRow();
  if (!IsShown(target)) CentreOn(target);
  PlaceCaret(target, 0);
  Repaint();
}

void CRowEditor::RemoveField(CFieldItem* field) {
  if (!field || (IsMarc() && field == document_.FirstField())) return;
  ClearSelection();
  if (field->next || field->previous) {
    CFieldItem* next = field->next;
    CFieldItem* previous = field->previous;
    const int shown = firstShownRow;
    const int fieldStart = document_.RowIndex(field->firstRow);
    const bool firstShownInField = shown >= fieldStart && shown < fieldStart + field->RowCount();
    CFieldRow* caretTo = next ? next->firstRow : previous->LastRow();
    DropField(field);
    LayoutKeepingPlaces();
    if (firstShownInField) firstShownRow = std::max(document_.RowIndex(caretTo), 0);
    PlaceCaret(caretTo, 0);
  } else {
    ForgetRowsOf(field);  // before the new layout deletes the rows they point at
    field->data.clear();
    field->indicators.clear();
    EmptyRows(field);
    field->LayoutRows();
    PlaceCaret(document_.FirstRow(), 0);
  }
  currentField = nullptr;
  Repaint();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

void CRowEditor::DuplicateField(CFieldRow* row) {
  if (!IsMarc() || !row) return;
  CFieldItem* field = row->field;
  field->GatherRows();
  CFieldItem* copy = new CFieldItem(&document_, field->name, field->indicators, field->data);
  document_.InsertField(copy, field->next);
  BringIntoView(copy->firstRow);
  PlaceCaret(copy->firstRow, 0);
  Repaint();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

void CRowEditor::SortFields() {
  if (!IsMarc() || !document_.FirstField()) return;
  // One insertion pass in the order the fields had before the sort; the leader stays first.
  std::vector<CFieldItem*> order;
  for (CFieldItem* f = document_.FirstField()->next; f; f = f->next) order.push_back(f);
  for (CFieldItem* f : order) {
    CFieldItem* before = nullptr;
    for (CFieldItem* g = document_.FirstField(); g; g = g->next) {
      if (g != f && f->CompareFields(*g)) {
        before = g;
        break;
      }
    }
    if (before && before != f->next) {
      document_.UnlinkField(f);
      document_.InsertField(f, before);
    }
  }
  Repaint();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

// ---- text clipboard ----

void CRowEditor::CopyText() {
  if (!HasSelection()) return;
  SetClipboard(SelectedText());
}

void CRowEditor::CutText() {
  if (!HasSelection()) return;
  if (!SetClipboard(SelectedText())) return;
  if (DeleteSelection()) NotifyParent(EDN_CHANGED, nullptr, 0);
}

void CRowEditor::PasteText(CFieldRow* row) {
  if (!row || IsLeaderRow(row)) return;
  // The selection goes before the clipboard is read: when the clipboard then has nothing to
  // give, the deletion is still a change the host must hear of.
  bool changed = false;
  if (HasSelection()) {
    if (!DeleteSelection()) return;
    changed = true;
  }
  std::u16string text;
  bool have = GetClipboard(text);
  if (!have && ClipboardFile(text)) {
    text.resize(WholeCharacters(text, kDroppedPathMax));
    have = true;
  }
  if (have && InsertString(text)) changed = true;
  if (changed) NotifyParent(EDN_CHANGED, nullptr, 0);
  Repaint();
}

// ---- field clipboard ----

void CRowEditor::CopyField() {
  CFieldRow *a, *b;
  int ca, cb;
  OrderedSelection(a, ca, b, cb);
  if (a && b)
    SetClipboard(FieldClipboardText(a->field, b->field));
  else if (currentField)
    SetClipboard(FieldClipboardText(currentField, currentField));
  ClearSelection();
  Repaint();
}

void CRowEditor::CutField() {
  if (IsMarc() && currentField == document_.FirstField() && !HasSelection()) return;
  CFieldRow *a, *b;
  int ca, cb;
  OrderedSelection(a, ca, b, cb);
  if (!a || !b) {
    if (!currentField) return;
    if (SetClipboard(FieldClipboardText(currentField, currentField))) RemoveField(currentField);
    return;
  }
  CFieldItem* first = a->field;
  CFieldItem* last = b->field;
  // The leader is never cut.
  if (IsMarc() && first == document_.FirstField()) return;
  if (!SetClipboard(FieldClipboardText(first, last))) return;
  ClearSelection();
  CFieldItem* after = last->next;
  CFieldItem* before = first->previous;
  DropFields(first, last);
  LayoutKeepingPlaces();
  CFieldRow* to = after ? after->firstRow : (before ? before->LastRow() : document_.FirstRow());
  if (to && !IsShown(to)) CentreOn(to);
  PlaceCaret(to, 0);
  Repaint();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

void CRowEditor::PasteField() {
  std::u16string text;
  if (!GetClipboard(text) || text.empty() || text[0] != kFieldEnd) return;
  text = WithoutLoneSurrogates(text);
  CFieldItem* after = currentField;
  if (HasSelection()) {
    CFieldRow *a, *b;
    int ca, cb;
    OrderedSelection(a, ca, b, cb);
    if (a->field == document_.FirstField()) return;
    after = a->field->previous;
    CFieldItem* last = b->field;
    ClearSelection();
    DropFields(a->field, last);
  }
  if (!after) after = document_.LastField();
  size_t pos = 1;
  CFieldItem* firstNew = nullptr;
  while (pos <= text.size()) {
    size_t end = text.find(kFieldEnd, pos);
    if (end == std::u16string::npos) end = text.size();
    std::u16string_view entry = std::u16string_view(text).substr(pos, end - pos);
    const size_t tagLength = WholeCharacters(entry, 3);
    CFieldItem* item = new CFieldItem(&document_, entry.substr(0, tagLength), entry.substr(tagLength));
    document_.InsertField(item, after ? after->next : document_.FirstField());
    if (!firstNew) firstNew = item;
    after = item;
    pos = end + 1;
  }
  LayoutKeepingPlaces();
  if (firstNew) {
    BringIntoView(firstNew->firstRow);
    PlaceCaret(firstNew->firstRow, 0);
  }
  Repaint();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

// ---- Ctrl+Z defaults ----

void CRowEditor::ApplyDefaultValue(int n) {
  const std::u16string source = lowered(document_.DefaultSource());
  if (endsWith(source, u".js") || endsWith(source, u".htm") || endsWith(source, u".html")) {
    NotifyParent(EDN_DEFAULTSCRIPT, defaultRow, caretColumn);
    return;
  }
  std::u16string value;
  CXmlConverter::GetDefaultValue(document_.DefaultSource(), document_.DefaultKey(), n, value);
  if (platform::equalsNoCase(value, u"(null)") || !defaultRow) return;
  // The subfield's content at the target is replaced by the value.
  const EditorPosition at = document_.PositionOf(defaultRow, defaultColumn);
  subfieldRow = nullptr;
  SelectSubfield(defaultRow, defaultColumn);
  if (HasSelection()) DeleteSelection();
  CFieldRow* row = nullptr;
  int column = 0;
  if (document_.CursorTarget(at.field, at.subfield, 0, row, column)) PlaceCaret(row, column);
  InsertString(value);
  NotifyParent(EDN_CHANGED, nullptr, 0);
  if (document_.CursorTarget(at.field, at.subfield, int32_t(value.size()), row, column)) PlaceCaret(row, column);
  NotifyParent(EDN_CARET, caretRow, caretColumn);
  Repaint();
}
