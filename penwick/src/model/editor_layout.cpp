// Screen geometry, text widths and wrapping of the editor.
#include "editor_layout.h"

#include <algorithm>

using namespace penwick;

namespace {
constexpr char16_t kDropMarker = 0x0C;  // never drawn, takes no room
constexpr int kDefaultCharWidth = 8;
}  // namespace

CEditorLayout::CEditorLayout()
    : extent_([](std::u16string_view run) { return int(run.size()) * kDefaultCharWidth; }) {}

namespace {

// Everything of a geometry that follows from the inner size; the tag width is the caller's.
CEditorGeometry innerGeometry(int innerWidth, int innerHeight) {
  CEditorGeometry g;
  g.innerWidth = innerWidth;
  g.innerHeight = innerHeight;
  g.textWidth = g.innerWidth - CEditorLayout::kCaretWidth - CEditorLayout::kBar;
  g.textBottom = g.innerHeight - CEditorLayout::kBar;
  g.verticalBar = {g.innerWidth - CEditorLayout::kBar, 0, CEditorLayout::kBar, g.innerHeight - CEditorLayout::kBar};
  g.horizontalBar = {0, g.innerHeight - CEditorLayout::kBar, g.innerWidth - CEditorLayout::kBar, CEditorLayout::kBar};
  g.cornerBox = {g.innerWidth - CEditorLayout::kBar, g.innerHeight - CEditorLayout::kBar, CEditorLayout::kBar, CEditorLayout::kBar};
  g.pictureWidth = g.innerWidth - CEditorLayout::kBar;
  g.pictureHeight = g.innerHeight - CEditorLayout::kBar;
  return g;
}

}  // namespace

CEditorGeometry CEditorLayout::CreateGeometry(int width, int height, int requestedTag) {
  CEditorGeometry g = innerGeometry(width >= 202 ? width - 2 : 200, height >= 102 ? height - 2 : 100);
  g.tagWidth = requestedTag >= 1 ? requestedTag : std::max(g.textWidth / 4, kMinTagWidth);
  return g;
}

CEditorGeometry CEditorLayout::ResizeGeometry(int cx, int cy) {
  CEditorGeometry g = innerGeometry(std::max(cx, 200), std::max(cy, 100));
  g.tagWidth = std::max(g.textWidth * 7 / 24, kMinTagWidth);
  return g;
}

void CEditorLayout::Apply(const CEditorGeometry& g) {
  tagWidth = g.tagWidth;
  top = 0;
  textWidth = g.textWidth;
  bottom = g.textBottom;
}

void CEditorLayout::SetMetrics(int textHeight, int dollarWidth, int dollarHeight, int descriptionWidth,
                               Extent extent) {
  textHeight_ = std::max(textHeight, 1);
  dollarWidth_ = std::max(dollarWidth, 0);
  dollarHeight_ = std::max(dollarHeight, 0);
  descriptionWidth_ = descriptionWidth;
  if (extent) extent_ = std::move(extent);
  bmpWidths_.clear();
  otherWidths_.clear();
  ++generation_;
}

uint64_t CEditorLayout::LayoutKey() const {
  return (uint64_t(generation_) << 32) | uint32_t(textWidth - tagWidth);
}

int CEditorLayout::Advance(char32_t c) const {
  if (c < 0x10000) {
    if (bmpWidths_.empty()) bmpWidths_.assign(0x10000, -1);
    int& w = bmpWidths_[c];
    if (w < 0) {
      const char16_t unit = char16_t(c);
      w = std::max(extent_(std::u16string_view(&unit, 1)), 0);
    }
    return w;
  }
  auto it = otherWidths_.find(c);
  if (it != otherWidths_.end()) return it->second;
  const char16_t pair[2] = {char16_t(0xD800 + ((c - 0x10000) >> 10)), char16_t(0xDC00 + ((c - 0x10000) & 0x3FF))};
  const int w = std::max(extent_(std::u16string_view(pair, 2)), 0);
  otherWidths_.emplace(c, w);
  return w;
}

int CEditorLayout::UnitWidth(std::u16string_view text, size_t i) const {
  const char16_t c = text[i];
  if (c == kDropMarker) return 0;
  if (c == kDelimiter) return dollarWidth_;
  if (platform::isHighSurrogate(c) && i + 1 < text.size() && platform::isLowSurrogate(text[i + 1]))
    return Advance(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
  if (platform::isLowSurrogate(c) && i > 0 && platform::isHighSurrogate(text[i - 1])) return 0;
  return Advance(c);
}

int CEditorLayout::TextWidth(std::u16string_view text, int n) const {
  size_t count = n < 0 ? text.size() : std::min(size_t(n), text.size());
  int width = 0;
  for (size_t i = 0; i < count; ++i) width += UnitWidth(text, i);
  return width;
}

int CEditorLayout::FitFromPrefix(std::u16string_view text, const std::vector<int>& prefix, size_t start,
                                 int n) const {
  const int room = textWidth - tagWidth;
  const auto first = prefix.begin() + std::ptrdiff_t(start);
  // The widths never fall, so the units that fit are those before the first prefix sum
  // above the room: k is the longest beginning that fits.
  const int64_t limit = int64_t(*first) + room;
  int k = limit < *first ? 0
                         : int(std::upper_bound(first, first + n + 1, limit,
                                                [](int64_t v, int p) { return v < p; }) -
                               first) - 1;
  if (k >= n) return std::max(n, 1);
  k = std::max(k, 0);
  // A delimiter never ends a row that something follows: it goes to the next row.
  if (k > 1 && text[start + size_t(k) - 1] == kDelimiter) --k;
  if (k < 1) {
    // At least one character, and a surrogate pair is one character.
    k = 1;
    if (n >= 2 && platform::isHighSurrogate(text[start]) && platform::isLowSurrogate(text[start + 1])) k = 2;
  }
  return k;
}

int CEditorLayout::FitCount(std::u16string_view text, int n) const {
  n = std::clamp(n, 0, int(text.size()));
  const int room = textWidth - tagWidth;
  // Widths of the units until one does not fit (a row's worth, not the whole text).
  std::vector<int> prefix{0};
  for (int i = 0; i < n && prefix.back() <= room; ++i) prefix.push_back(prefix.back() + UnitWidth(text, size_t(i)));
  // Past the first unit that does not fit nothing fits either.
  prefix.resize(size_t(n) + 1, std::max(prefix.back(), 0) + (1 << 30));
  return FitFromPrefix(text, prefix, 0, n);
}

void CEditorLayout::Breaks(std::u16string_view text, size_t from, std::vector<int>& lengths) const {
  if (from >= text.size()) return;
  // Prefix sums of the advances from `from` on, then each row's end by binary search.
  std::vector<int> prefix(text.size() + 1, 0);
  for (size_t i = from; i < text.size(); ++i) prefix[i + 1] = prefix[i] + UnitWidth(text, i);
  for (size_t pos = from; pos < text.size();) {
    const int rest = int(text.size() - pos);
    const int take = std::clamp(FitFromPrefix(text, prefix, pos, rest), 1, rest);
    lengths.push_back(take);
    pos += size_t(take);
  }
}

std::vector<CTextRun> CEditorLayout::TextRuns(std::u16string_view text) const {
  std::vector<CTextRun> runs;
  int x = 0;
  auto isCode = [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == kDropMarker) continue;
    if (c == kDelimiter) {
      runs.push_back({CTextRun::Delimiter, u16(1, c), x});
      x += dollarWidth_;
      if (i + 1 < text.size() && isCode(text[i + 1])) {
        runs.push_back({CTextRun::Code, u16(1, text[i + 1]), x});
        x += UnitWidth(text, i + 1);
        ++i;
      }
      continue;
    }
    if (runs.empty() || runs.back().kind != CTextRun::Text) runs.push_back({CTextRun::Text, u16(), x});
    runs.back().text += c;
    x += UnitWidth(text, i);
  }
  return runs;
}

std::u16string CEditorLayout::FittingPrefix(std::u16string_view text, int maxWidth) const {
  size_t k = 0;
  int width = 0;
  while (k < text.size() && width + UnitWidth(text, k) <= maxWidth) width += UnitWidth(text, k++);
  // A pair whose first unit fitted keeps its second (which adds nothing).
  if (k < text.size() && k > 0 && platform::isLowSurrogate(text[k]) && platform::isHighSurrogate(text[k - 1])) ++k;
  return std::u16string(text.substr(0, k));
}

std::u16string CEditorLayout::TagBoxText(std::u16string_view tag, std::u16string_view indicators) {
  std::u16string s = std::u16string(tag) + std::u16string(indicators);
  std::replace(s.begin(), s.end(), u' ', u'.');
  if (s.size() >= 3) s.insert(3, 1, u' ');
  return s;
}

void CEditorLayout::DelimiterTriangle(int w, int hd, CLayoutPoint out[3]) {
  out[0] = {1, hd / 3};
  out[1] = {w - 1, hd / 3};
  out[2] = {(w - 2) / 2 + 1, hd / 3 + hd / 2};
}

CLayoutRect CEditorLayout::TagBoxRect(int y) const {
  const int k = TextWidth(u"######");
  if (tagWidth - kBar - k > 0) return {tagWidth - kBar - k, y, k, RowHeight()};
  return {1, y, tagWidth - kBar - 1, RowHeight()};
}

CLayoutRect CEditorLayout::LabelBoxRect(int y) const {
  const int l = LabelBoxWidth();
  if (tagWidth - kBar - l > 0) return {tagWidth - kBar - l, y, l, RowHeight()};
  return {1, y, tagWidth - kBar - 1, RowHeight()};
}

bool CEditorLayout::OverExpandIcon(int x) const {
  const int left = std::max(tagWidth - kBar - LabelBoxWidth(), 1);
  return left <= x && x < left + kIconSize;
}

bool CEditorLayout::OverPickerButton(int x) const { return tagWidth - 32 <= x && x <= tagWidth - 18; }

int CEditorLayout::VisibleRows() const { return (RowHeight() + bottom - top - 1) / RowHeight(); }

bool CEditorLayout::WholeRowsOnly() const { return (bottom - top) % RowHeight() == 0; }

int CEditorLayout::RowIndexAtY(int y) const { return y < top ? -1 : (y - top) / RowHeight(); }

int CEditorLayout::RowY(int i) const { return top + kRowSpacing / 2 + i * RowHeight(); }

int CEditorLayout::ColumnX(std::u16string_view rowText, int column) const {
  return TextWidth(rowText, std::max(column, 0)) + tagWidth;
}

int CEditorLayout::ColumnAtX(std::u16string_view rowText, int x) const {
  int left = tagWidth;
  for (size_t i = 0; i < rowText.size(); ++i) {
    int w = UnitWidth(rowText, i);
    if (x < left + w) return int(i);
    left += w;
  }
  return int(rowText.size());
}

bool CEditorLayout::NearBottom(int y) const { return y + RowHeight() / 3 >= bottom; }

bool CEditorLayout::NearTop(int y) const { return top + RowHeight() / 3 >= y; }

int CEditorLayout::BoundaryTest(int x) const {
  const int64_t d = int64_t(tagWidth) - kBar;
  const int64_t e = (tagWidth + d - 1) / 2;
  if (d <= x && x <= e - 1) return -1;
  if (e <= x && x <= tagWidth - 1) return 1;
  return 0;
}

bool CEditorLayout::TagCellTest(int x) const { return 0 < x && x < tagWidth - kBar; }

int CEditorLayout::PageFirst(int first, int total, int direction) const {
  const int v = VisibleRows();
  const int step = std::max(v - 1, 1);
  if (direction < 0) return first <= 0 ? -1 : std::max(first - step, 0);
  if (first + v >= total) return -1;
  return std::min(first + step, total - 1);
}

int CEditorLayout::CentreFirst(int index) const { return std::max(index - VisibleRows() / 2, 0); }

CScrollBarState CEditorLayout::ScrollBar(int total, int first) {
  if (total <= 1) return {};
  return {true, total - 1, first};
}
