// The record list, the stored settings and the position rules of the editor.
#include "editor_document.h"

#include <platform/profile.h>
#include <platform/text.h>

#include <filesystem>

#include <algorithm>

using namespace penwick;

namespace {
// The Ctrl+Z source and key live in buffers of 256 units with their terminator.
constexpr size_t kDefaultTextMax = 255;
}  // namespace

u16 penwick::TipsFileOf(u16v hostFolder, int32_t format) {
  u16 path(hostFolder);
  if (!path.empty() && path.back() != u'/') path += u'/';
  return path + (format != FORMAT_MARC ? u"dctips.ini" : u"fldtips.ini");
}

CEditorDocument::CEditorDocument(u16 hostFolder)
    : hostFolder_(std::move(hostFolder)), iniPath_(TipsFileOf(hostFolder_, FORMAT_MARC)) {}

CEditorDocument::~CEditorDocument() { ClearRecord(); }

void CEditorDocument::SetFormat(int32_t format) {
  format_ = format;
  iniPath_ = TipsFileOf(hostFolder_, format);
}

void CEditorDocument::SetProperty(u16v text) {
  size_t assign = text.find(u"::=");
  if (assign == u16v::npos) {
    iniPath_ = u16(text);
    return;
  }
  u16v name = text.substr(0, assign);
  u16v value = text.substr(assign + 3);
  if (platform::equalsNoCase(name, u"defsheet"))
    defSheetPath_ = u16(value);
  else
    iniPath_ = u16(value);
}

namespace {
u16 upperKey(u16v key) {
  u16 k(key);
  for (char16_t& c : k) c = platform::upperAscii(c);
  return k;
}
}  // namespace

u16 CEditorDocument::Alias(u16v key, u16v def) const {
  // A bare file name lives in the suite's Windows folder: read it the plain way.
  if (iniPath_.find(u'/') == u16::npos) return platform::profileString(iniPath_, u"Alias", key, def, 256);
  std::error_code error;
  const std::filesystem::path file(platform::toUtf8(iniPath_));
  const auto status = std::filesystem::status(file, error);
  const bool present = !error && std::filesystem::is_regular_file(status);
  const int64_t size = present ? int64_t(std::filesystem::file_size(file, error)) : -1;
  const int64_t modified = present ? int64_t(std::filesystem::last_write_time(file, error).time_since_epoch().count()) : 0;
  if (alias_.path != iniPath_ || alias_.present != present || alias_.size != size || alias_.modified != modified) {
    alias_ = {iniPath_, present, size, modified, {}};
    // Lines come as "key=value", blanks around both dropped, quotes kept; a line without
    // "=" is a key with an empty value.
    if (present)
      for (const u16& line : platform::profileSection(iniPath_, u"Alias", 1u << 21)) {
        const size_t eq = line.find(u'=');
        u16v value = eq == u16::npos ? u16v() : u16v(line).substr(eq + 1);
        // One pair of matching quotes around the whole value goes.
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
          value = value.substr(1, value.size() - 2);
        alias_.values.emplace(upperKey(u16v(line).substr(0, eq)), u16(value.substr(0, 255)));
      }
  }
  auto it = alias_.values.find(upperKey(key));
  if (it != alias_.values.end()) return it->second;
  // A missing key gives the default without its trailing blanks, cut like a value.
  while (!def.empty() && def.back() == u' ') def.remove_suffix(1);
  return u16(def.substr(0, 255));
}

void CEditorDocument::SetCtrlZMenu(u16v source, u16v key) {
  defaultSource_ = u16(source.substr(0, kDefaultTextMax));
  defaultKey_ = u16(key.substr(0, kDefaultTextMax));
}

// ---- the record ----

CFieldItem* CEditorDocument::LastField() const { return last_; }

CFieldItem* CEditorDocument::AddField(u16v name, u16v data) {
  return InsertField(new CFieldItem(this, name, data), nullptr);
}

CFieldItem* CEditorDocument::AddField(u16v name, u16v indicators, u16v data) {
  return InsertField(new CFieldItem(this, name, indicators, data), nullptr);
}

CFieldItem* CEditorDocument::InsertField(CFieldItem* item, CFieldItem* before) {
  item->LayoutRows();
  InvalidateRowIndex();
  if (!before) {
    CFieldItem* last = LastField();
    item->previous = last;
    item->next = nullptr;
    (last ? last->next : first_) = item;
    last_ = item;
    return item;
  }
  item->next = before;
  item->previous = before->previous;
  (before->previous ? before->previous->next : first_) = item;
  before->previous = item;
  return item;
}

void CEditorDocument::UnlinkField(CFieldItem* item) {
  InvalidateRowIndex();
  (item->previous ? item->previous->next : first_) = item->next;
  (item->next ? item->next->previous : last_) = item->previous;
  item->next = item->previous = nullptr;
}

void CEditorDocument::DeleteField(CFieldItem* item) {
  UnlinkField(item);
  delete item;
}

void CEditorDocument::ClearRecord() {
  InvalidateRowIndex();
  CFieldItem* f = first_;
  first_ = last_ = nullptr;
  while (f) {
    CFieldItem* n = f->next;
    delete f;
    f = n;
  }
}

void CEditorDocument::BuildIndex() const {
  if (indexValid_) return;
  fields_.clear();
  starts_.assign(1, 0);
  int i = 0;
  for (CFieldItem* f = first_; f; f = f->next, ++i) {
    f->ordinal = i;
    fields_.push_back(f);
    starts_.push_back(starts_.back() + f->RowCount());
  }
  indexValid_ = true;
}

int CEditorDocument::FieldCount() const {
  BuildIndex();
  return int(fields_.size());
}

CFieldItem* CEditorDocument::FieldAt(int i) const {
  BuildIndex();
  return i >= 0 && size_t(i) < fields_.size() ? fields_[size_t(i)] : nullptr;
}

int CEditorDocument::IndexOf(const CFieldItem* item) const {
  if (!item) return -1;
  BuildIndex();
  const int i = item->ordinal;
  return i >= 0 && size_t(i) < fields_.size() && fields_[size_t(i)] == item ? i : -1;
}

void CEditorDocument::GatherAll() {
  for (CFieldItem* f = first_; f; f = f->next) f->GatherRows();
}

void CEditorDocument::LayoutAll() {
  for (CFieldItem* f = first_; f; f = f->next) f->LayoutRows();
}

// ---- rows ----

int CEditorDocument::TotalRows() const {
  BuildIndex();
  return starts_.back();
}

int CEditorDocument::RowIndex(const CFieldRow* row) const {
  if (!row) return -1;
  const int field = IndexOf(row->field);
  if (field < 0 || row->field->RowNumber(row->indexInField) != row) return -1;
  return starts_[size_t(field)] + row->indexInField;
}

CFieldRow* CEditorDocument::RowAt(int n) const {
  if (n < 0 || n >= TotalRows()) return nullptr;
  // The last field that starts at or before n.
  const size_t field = size_t(std::upper_bound(starts_.begin(), starts_.end() - 1, n) - starts_.begin()) - 1;
  return fields_[field]->RowNumber(n - starts_[field]);
}

bool CEditorDocument::Before(const CFieldRow* rowA, int colA, const CFieldRow* rowB, int colB) const {
  if (rowA == rowB) return colA < colB;
  return RowIndex(rowA) < RowIndex(rowB);
}

// ---- positions ----

EditorPosition CEditorDocument::PositionOf(const CFieldRow* row, int column) const {
  EditorPosition pos;
  CFieldItem* item = row ? row->field : nullptr;
  pos.field = item ? IndexOf(item) : -1;
  if (pos.field < 0) {
    pos.field = FieldCount();
    return pos;
  }
  column = std::clamp(column, 0, row->Length());
  if (IsDublinCore()) {
    // Qualifier index: labelled rows after the value row, up to the position's row; the
    // offset runs from the first row of the position's segment.
    int qualifier = 0;
    int offset = 0;
    for (const CFieldRow* r = item->firstRow; r; r = r->next) {
      if (r != item->firstRow && !r->label.empty()) {
        if (r->IsQualifierRow()) ++qualifier;
        offset = 0;
      }
      if (r == row) break;
      offset += r->Length();
    }
    pos.subfield = qualifier;
    pos.offset = offset + column;
    return pos;
  }
  // MARC: count delimiters before the position; the offset counts from the subfield code.
  int before = 0;
  int delimiters = 0;
  int lastDelimiter = -1;
  for (const CFieldRow* r = item->firstRow; r; r = r->next) {
    int n = r == row ? column : r->Length();
    for (int i = 0; i < n; ++i) {
      if (r->text[size_t(i)] == kDelimiter) {
        ++delimiters;
        lastDelimiter = before + i;
      }
    }
    if (r == row) break;
    before += r->Length();
  }
  int absolute = before + column;
  pos.subfield = delimiters - 1;
  pos.offset = delimiters == 0 ? absolute : absolute - lastDelimiter - 2;
  return pos;
}

bool CEditorDocument::CursorTarget(int32_t field, int32_t subfield, int32_t offset, CFieldRow*& row,
                                   int& column) {
  if (!first_) return false;
  CFieldItem* item = FieldAt(std::max(field, 0));
  if (!item) item = LastField();
  if (IsDublinCore()) {
    if (subfield < 0) return false;
    CFieldRow* r = item->firstRow;
    for (int k = 0; r; r = r->next) {
      if (r->label.empty()) continue;
      if (k++ == subfield) break;
    }
    if (!r) return false;
    int rest = std::max(offset, 0);
    while (r && rest > r->Length()) {
      rest -= r->Length();
      r = r->next;
    }
    if (!r) return false;
    row = r;
    column = rest;
    return true;
  }
  int absolute = item->SubfieldOffset(subfield, offset);
  if (!item->RowAtOffset(absolute, row, column)) {
    row = item->firstRow;
    column = row->Length();
  }
  return true;
}

u16 CEditorDocument::TextBetween(const CFieldRow* rowA, int colA, const CFieldRow* rowB, int colB) const {
  if (!rowA || !rowB) return u16();
  if (Before(rowB, colB, rowA, colA)) {
    std::swap(rowA, rowB);
    std::swap(colA, colB);
  }
  auto clampCol = [](const CFieldRow* r, int c) { return size_t(std::clamp(c, 0, r->Length())); };
  if (rowA == rowB) {
    size_t a = clampCol(rowA, colA), b = clampCol(rowB, colB);
    return rowA->text.substr(a, b - a);
  }
  u16 out = rowA->text.substr(clampCol(rowA, colA));
  for (const CFieldRow* r = rowA->NextRow(); r && r != rowB; r = r->NextRow()) out += r->text;
  out += rowB->text.substr(0, clampCol(rowB, colB));
  return out;
}

bool CEditorDocument::SelectedColumns(const CFieldRow* row, const CFieldRow* rowA, int colA,
                                      const CFieldRow* rowB, int colB, int& from, int& to) const {
  if (!row || !rowA || !rowB) return false;
  if (Before(rowB, colB, rowA, colA)) {
    std::swap(rowA, rowB);
    std::swap(colA, colB);
  }
  const int index = RowIndex(row);
  if (index < RowIndex(rowA) || index > RowIndex(rowB)) return false;
  from = row == rowA ? std::clamp(colA, 0, row->Length()) : 0;
  to = row == rowB ? std::clamp(colB, 0, row->Length()) : row->Length();
  return from < to || (row != rowA && row != rowB);
}
