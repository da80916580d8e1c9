// Items of the record: their text forms, qualifiers, layout into rows and positions.
#include "field_item.h"

#include "editor_document.h"

#include <platform/profile.h>
#include <platform/text.h>

#include <algorithm>
#include <cstdint>

using namespace penwick;

namespace {

constexpr char16_t kAssign[] = u"::=";
constexpr size_t kAssignLen = 3;
// Lists of choices in the property INI file run from key "1" to at most key "100".
constexpr int kMaxChoices = 100;
constexpr int kTypeIdBase = 50000;
constexpr int kSchemeIdBase = 51000;
constexpr int kSchemeIdLast = 51999;

u16 iniValue(const u16& ini, u16v section, u16v key) {
  return platform::profileString(ini, section, key, u"", 256);
}

std::vector<u16> iniList(const u16& ini, u16v section, int limit) {
  std::vector<u16> list = platform::profileList(ini, section, 256);
  if (int(list.size()) > limit) list.resize(size_t(limit));
  return list;
}

// Splits data at every ESC: segment 0 is the value, the others the qualifier segments.
std::vector<u16> segmentsOf(u16v data) {
  std::vector<u16> out;
  size_t start = 0;
  for (;;) {
    size_t esc = data.find(kEsc, start);
    out.emplace_back(data.substr(start, esc == u16v::npos ? u16v::npos : esc - start));
    if (esc == u16v::npos) break;
    start = esc + 1;
  }
  return out;
}

}  // namespace

bool penwick::IsControlTag(u16v tag) {
  return tag.substr(0, 2) == u"00" || tag.substr(0, 2) == u"-0";
}

size_t penwick::WholeCharacters(u16v s, size_t n) {
  n = std::min(n, s.size());
  return SplitsPair(s, n) ? n - 1 : n;
}

bool penwick::SplitsPair(u16v s, size_t i) {
  return i > 0 && i < s.size() && platform::isHighSurrogate(s[i - 1]) && platform::isLowSurrogate(s[i]);
}

size_t penwick::CharLengthAt(u16v s, size_t i) {
  if (i >= s.size()) return 0;
  return SplitsPair(s, i + 1) ? 2 : 1;
}

size_t penwick::CharLengthBefore(u16v s, size_t i) {
  if (i == 0 || i > s.size()) return 0;
  return i >= 2 && SplitsPair(s, i - 1) ? 2 : 1;
}

u16 penwick::WithoutLoneSurrogates(u16v s) {
  u16 out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (platform::isHighSurrogate(s[i]) && SplitsPair(s, i + 1)) {
      out += s.substr(i, 2);
      ++i;
    } else if (!platform::isHighSurrogate(s[i]) && !platform::isLowSurrogate(s[i])) {
      out += s[i];
    }
  }
  return out;
}

// ---- rows ----

bool CFieldRow::IsQualifierRow() const { return !label.empty() && label != u"Value"; }

CFieldRow* CFieldRow::PreviousRow() const {
  if (previous) return previous;
  return field->previous ? field->previous->LastRow() : nullptr;
}

CFieldRow* CFieldRow::NextRow() const {
  if (next) return next;
  return field->next ? field->next->firstRow : nullptr;
}

// ---- items ----

CFieldItem::CFieldItem(CEditorDocument* editor, u16v name, u16v data)
    : editor(editor), firstRow(new CFieldRow(this)), name(name) {
  firstRow->label = u"Value";
  rows_.push_back(firstRow);
  if (!IsDublinCore() && !IsControlTag(name)) {
    const size_t n = IndicatorLength(data);
    indicators = u16(data.substr(0, n));
    this->data = u16(data.substr(n));
  } else {
    this->data = u16(data);
  }
  LoadAlias();
}

CFieldItem::CFieldItem(CEditorDocument* editor, u16v name, u16v indicators, u16v data)
    : editor(editor), firstRow(new CFieldRow(this)), name(name), indicators(indicators), data(data) {
  firstRow->label = u"Value";
  rows_.push_back(firstRow);
  LoadAlias();
}

CFieldItem::~CFieldItem() {
  DeleteRowsAfter(firstRow);
  delete firstRow;
}

bool CFieldItem::IsDublinCore() const { return editor && editor->IsDublinCore(); }

u16 CFieldItem::IniPath() const { return editor ? editor->PropertyIniPath() : u16(); }

void CFieldItem::DeleteRowsAfter(CFieldRow* row) {
  CFieldRow* r = row->next;
  row->next = nullptr;
  while (r) {
    CFieldRow* n = r->next;
    delete r;
    r = n;
  }
}

CFieldRow* CFieldItem::LastRow() const {
  if (!rows_.empty() && !rows_.back()->next) return rows_.back();
  CFieldRow* r = firstRow;
  while (r->next) r = r->next;
  return r;
}

u16 CFieldItem::RowsText() const {
  u16 s;
  for (const CFieldRow* r = firstRow; r; r = r->next) s += r->text;
  return s;
}

int CFieldItem::GatherRows() {
  bool dirty = false;
  for (const CFieldRow* r = firstRow; r; r = r->next) dirty = dirty || r->dirty;
  if (!dirty) return 0;
  u16 tail;
  if (IsDublinCore() && !qualifiersShown) {
    size_t esc = data.find(kEsc);
    if (esc != u16::npos) tail = data.substr(esc);
  }
  u16 folded;
  for (CFieldRow* r = firstRow; r; r = r->next) {
    if (r->IsQualifierRow()) {
      folded += kEsc;
      folded += r->label;
      folded += kAssign;
    }
    folded += r->text;
    r->dirty = false;
  }
  data = folded + tail;
  return 1;
}

void CFieldItem::LayoutRows() {
  const bool dc = IsDublinCore();
  const CTextMeasure* measure = editor ? editor->Measure() : nullptr;
  const uint64_t key = measure ? measure->LayoutKey() : 0;
  // A row's end depends on its own text and on the first character after it; so when an
  // edit lies in row d, rows before d - 1 keep their breaks (as long as the widths and
  // the room are those of the last layout).
  int keep = 0;
  if (!dc && measure && laidOut_ && key == layoutKey_) {
    int i = 0;
    const CFieldRow* r = firstRow;
    while (r && !r->dirty) r = r->next, ++i;
    if (r) keep = std::max(i - 1, 0);
  }
  GatherRows();
  layoutKey_ = key;
  laidOut_ = true;
  // MARC data is one segment: only Dublin Core data is cut into qualifier segments, and a
  // value never loses a "::=" of its own to a label (it would be folded back as a qualifier).
  std::vector<u16> segments = dc ? segmentsOf(data) : std::vector<u16>{};
  if (dc && !qualifiersShown) segments.resize(1);
  const size_t segmentCount = dc ? segments.size() : 1;

  CFieldRow* row = firstRow;
  CFieldRow* last = nullptr;
  size_t pos = 0;
  for (; keep > 0 && row->next; --keep) {
    pos += row->text.size();
    last = row;
    row = row->next;
  }
  std::vector<int> lengths;
  for (size_t k = 0; k < segmentCount; ++k) {
    if (k > 0) {
      pos = 0;
      if (!row) {
        row = new CFieldRow(this);
        row->previous = last;
        last->next = row;
      }
    }
    u16v text = dc ? u16v(segments[k]) : u16v(data);
    size_t assign = k > 0 ? text.find(kAssign) : u16v::npos;
    if (assign != u16v::npos) {
      row->label = u16(text.substr(0, assign));
      text = text.substr(assign + kAssignLen);
    } else {
      row->label = row == firstRow ? u"Value" : u"";
    }
    // Cut the segment's text into rows of what fits; an empty segment still takes a row.
    lengths.clear();
    if (measure)
      measure->Breaks(text, pos, lengths);
    else if (pos < text.size())
      lengths.push_back(int(text.size() - pos));
    if (lengths.empty()) lengths.push_back(0);
    for (size_t j = 0; j < lengths.size(); ++j) {
      if (j > 0) {
        if (!row) {
          row = new CFieldRow(this);
          row->previous = last;
          last->next = row;
        }
        row->label = u"";
      }
      row->text.assign(text.data() + pos, size_t(lengths[j]));
      row->dirty = false;
      pos += size_t(lengths[j]);
      last = row;
      row = row->next;
    }
  }
  DeleteRowsAfter(last);
  RowsChanged();
}

void CFieldItem::RowsChanged() {
  const size_t before = rows_.size();
  rows_.clear();
  int i = 0;
  for (CFieldRow* r = firstRow; r; r = r->next, ++i) {
    r->indexInField = i;
    rows_.push_back(r);
  }
  if (editor && rows_.size() != before) editor->InvalidateRowIndex();
}

void CTextMeasure::Breaks(u16v text, size_t from, std::vector<int>& lengths) const {
  for (size_t pos = from; pos < text.size();) {
    const int rest = int(text.size() - pos);
    const int take = std::clamp(FitCount(text.substr(pos), rest), 1, rest);
    lengths.push_back(take);
    pos += size_t(take);
  }
}

int CFieldItem::GetQualifier(u16v qualifier, u16& value) const {
  if (platform::equalsNoCase(qualifier, u"Value")) {
    value = data.substr(0, data.find(kEsc));
    return 1;
  }
  u16 mark = u16(1, kEsc) + u16(qualifier) + kAssign;
  size_t at = data.find(mark);
  if (at == u16::npos) {
    value.clear();
    return 0;
  }
  size_t start = at + mark.size();
  size_t end = data.find(kEsc, start);
  value = data.substr(start, end == u16::npos ? u16::npos : end - start);
  return value.empty() ? 0 : 1;
}

int CFieldItem::HasQualifiers() const { return data.find(kEsc) != u16::npos ? 1 : 0; }

CFieldRow* CFieldItem::ShowQualifierRow(u16v qualifier) {
  if (!qualifiersShown) {
    qualifiersShown = 1;
    LayoutRows();
  }
  for (CFieldRow* r = firstRow; r; r = r->next)
    if (r->label == qualifier) return r;
  CFieldRow* last = LastRow();
  CFieldRow* row = new CFieldRow(this);
  row->label = u16(qualifier);
  row->previous = last;
  last->next = row;
  row->dirty = true;
  RowsChanged();
  return row;
}

bool CFieldItem::SetQualifierRow(u16v qualifier, u16v text) {
  for (CFieldRow* r = firstRow; r; r = r->next) {
    if (r->label == qualifier) {
      r->text = u16(text);
      r->dirty = true;
      return true;
    }
  }
  return false;
}

void CFieldItem::LoadAlias() {
  if (!editor) {
    alias = IsDublinCore() ? u"新增元素" : u"新增字段";
    return;
  }
  if (!IsDublinCore()) {
    alias = editor->Alias(name, u"新增字段");
    return;
  }
  u16 type, scheme;
  GetQualifier(u"Type", type);
  GetQualifier(u"Scheme", scheme);
  alias.clear();
  if (!type.empty() && !scheme.empty()) alias = editor->Alias(name + u"." + type + u"." + scheme, u"");
  if (alias.empty() && !type.empty()) alias = editor->Alias(name + u"." + type, u"");
  if (alias.empty() && !scheme.empty()) alias = editor->Alias(name + u"." + scheme, u"");
  if (alias.empty()) alias = editor->Alias(name, u"新增元素");
}

u16 CFieldItem::TypeValue() const {
  u16 type;
  GetQualifier(u"Type", type);
  return type;
}

bool CFieldItem::HasTypeList() const { return !iniValue(IniPath(), name + u".Type", u"1").empty(); }

bool CFieldItem::HasSchemeList() const {
  const u16 ini = IniPath();
  if (!iniValue(ini, name + u".Scheme", u"1").empty()) return true;
  u16 type = TypeValue();
  return !type.empty() && !iniValue(ini, name + u"." + type + u".Scheme", u"1").empty();
}

std::vector<MenuEntry> CFieldItem::TypeMenu() const {
  std::vector<MenuEntry> menu;
  std::vector<u16> list = iniList(IniPath(), name + u".Type", kMaxChoices);
  for (size_t i = 0; i < list.size(); ++i) menu.push_back({kTypeIdBase + int(i) + 1, list[i]});
  return menu;
}

std::vector<u16> CFieldItem::SchemeChoices() const {
  const u16 ini = IniPath();
  std::vector<u16> list = iniList(ini, name + u".Scheme", kMaxChoices);
  u16 type = TypeValue();
  if (!type.empty()) {
    int room = kSchemeIdLast - kSchemeIdBase - int(list.size());
    for (u16& s : iniList(ini, name + u"." + type + u".Scheme", room)) list.push_back(std::move(s));
  }
  return list;
}

std::vector<MenuEntry> CFieldItem::SchemeMenu() const {
  std::vector<MenuEntry> menu;
  std::vector<u16> list = SchemeChoices();
  for (size_t i = 0; i < list.size(); ++i) menu.push_back({kSchemeIdBase + int(i) + 1, list[i]});
  return menu;
}

void CFieldItem::PickType(int n) {
  u16 value = n >= 1 && n <= kMaxChoices ? iniValue(IniPath(), name + u".Type", platform::format(u"%d", n)) : u16();
  SetQualifierRow(u"Type", value);
}

void CFieldItem::PickScheme(int n) {
  std::vector<u16> list = SchemeChoices();
  u16 value = n >= 1 && n <= int(list.size()) ? list[size_t(n - 1)] : u16();
  SetQualifierRow(u"Scheme", value);
}

std::vector<MenuEntry> CFieldItem::ContextMenu(bool fieldOnClipboard) const {
  if (IsDublinCore()) {
    std::vector<MenuEntry> menu = {
        {32787, u"修改元素属性\tAttrib"},
        {32788, u"插入新元素\tInsert"},
        {32789, u"删除本元素\tDelete", true, true},
        {32779, u"增加元素修饰词\tType", HasTypeList()},
        {32781, u"增加值修饰词\tScheme", HasSchemeList()},
        {32782, u"增加语种标识\tLang"},
    };
    if (platform::equalsNoCase(platform::profileString(IniPath(), u"Qualifiers", u"MarcID", u"no", 256), u"yes"))
      menu.push_back({32780, u"增加MARC标识\tMarcID"});
    return menu;
  }
  return {
      {32787, u"修改字段属性\tAttrib"},
      {32788, u"插入新字段\tInsert"},
      {32789, u"删除本字段\tDelete", true, true},
      {32808, u"剪切字段\tCut"},
      {32809, u"复制字段\tCopy"},
      {32810, u"粘贴字段\tPaste", fieldOnClipboard, true},
      {32807, u"所有字段排序\tCTRL_L"},
  };
}

int CFieldItem::CompareFields(const CFieldItem& other) const {
  if (name < other.name) return 1;
  if (name == other.name && name == u"880" && data < other.data) return 1;
  return 0;
}

int CFieldItem::RowOffset(const CFieldRow* row, int column) const {
  int sum = 0;
  for (const CFieldRow* r = firstRow; r && r != row; r = r->next) sum += r->Length();
  return sum + column;
}

bool CFieldItem::RowAtOffset(int offset, CFieldRow*& row, int& column) const {
  offset = std::max(offset, 0);
  int before = 0;
  for (CFieldRow* r = firstRow; r; r = r->next) {
    if (before + r->Length() >= offset) {
      row = r;
      column = offset - before;
      return true;
    }
    before += r->Length();
  }
  return false;
}

int CFieldItem::SubfieldOffset(int k, int offset) {
  GatherRows();
  if (k < 0) return offset;
  size_t at = u16::npos;
  for (int i = 0; i <= k; ++i) {
    at = data.find(kDelimiter, at == u16::npos ? 0 : at + 1);
    if (at == u16::npos) return 0;
  }
  // Wide arithmetic: a caller's offset may be anything a 32-bit number holds.
  return int(std::clamp<int64_t>(int64_t(at) + 2 + offset, INT32_MIN, INT32_MAX));
}
