// The geometry of the editor's screen: the tag column and text area, row metrics, text
// widths with the subfield delimiter glyph, wrapping (the fit count), the tests that
// choose the cursor, scrolling arithmetic and the scroll bar's state. This is the measuring
// half of the painter (CEditorPainter, in the window), kept apart as a plain class so that
// the model lays rows out without Qt: the painter gives it the extent of a run of text and
// draws what it computes.
#pragma once

#include "field_item.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

struct CLayoutPoint {
  int x = 0;
  int y = 0;
  bool operator==(const CLayoutPoint&) const = default;
};

struct CLayoutRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const CLayoutRect&) const = default;
};

/// Where the window's parts go, for a window of a given size.
struct CEditorGeometry {
  int innerWidth = 0;   // client width (the 2-pixel border off at creation)
  int innerHeight = 0;
  int textWidth = 0;    // right edge of the text area
  int tagWidth = 0;     // tag column width = left edge of the text area
  int textBottom = 0;
  CLayoutRect verticalBar, horizontalBar, cornerBox;
  int pictureWidth = 0, pictureHeight = 0;
};

/// One run of a row's text as the painter draws it, at x from the text's start.
struct CTextRun {
  enum Kind { Text, Delimiter, Code } kind = Text;  // Code: the letter or digit after a delimiter
  std::u16string text;
  int x = 0;
  bool operator==(const CTextRun&) const = default;
};

struct CScrollBarState {
  bool enabled = false;
  int maximum = 0;
  int position = 0;
  bool operator==(const CScrollBarState&) const = default;
};

class CEditorLayout : public penwick::CTextMeasure {
 public:
  static constexpr int kBar = 16;
  static constexpr int kCaretWidth = 2;
  static constexpr int kRowSpacing = 6;
  static constexpr int kMinTagWidth = 100;

  /// The extent in pixels of a run of ordinary characters. Kerning is off, so extents are
  /// additive: the layout asks it once per character (a surrogate pair is one character)
  /// and keeps the answers until the next SetMetrics.
  using Extent = std::function<int(std::u16string_view run)>;

  CEditorLayout();
  ~CEditorLayout() override = default;

  // ---- geometry ----
  /// \brief Creation in a rectangle of outer size width x height (1-pixel border each
  /// side; at least 200 x 100 inside); requestedTag >= 1 is used as the tag column width.
  static CEditorGeometry CreateGeometry(int width, int height, int requestedTag);
  /// \brief A resize to client size cx x cy: the tag column becomes 7/24 of the text width.
  static CEditorGeometry ResizeGeometry(int cx, int cy);
  /// \brief Takes the text area of a geometry.
  void Apply(const CEditorGeometry& g);

  int tagWidth = kMinTagWidth;  // T: left of the text area
  int top = 0;                  // M
  int textWidth = 0;            // R
  int bottom = 0;               // B

  // ---- font metrics ----
  /// \brief Sets the text height (tmHeight + tmExternalLeading), the "$" extent that sizes
  /// the delimiter glyph, the width of "Description" and the run extent.
  void SetMetrics(int textHeight, int dollarWidth, int dollarHeight, int descriptionWidth, Extent extent);
  int TextHeight() const { return textHeight_; }
  int RowHeight() const { return textHeight_ + kRowSpacing; }
  int DelimiterWidth() const { return dollarWidth_; }
  /// \brief Label box width L: the width of "Description" + 20.
  int LabelBoxWidth() const { return descriptionWidth_ + 20; }

  // ---- text ----
  /// \brief Width of the first n characters (-1: all): U+000C adds nothing, U+001F the glyph.
  int TextWidth(std::u16string_view text, int n = -1) const;
  /// \brief How many of the first n characters fit the text area (at least 1); a row
  /// never ends just after a delimiter, nor inside a surrogate pair.
  int FitCount(std::u16string_view text, int n) const override;
  /// \brief The rows of text from `from` on: prefix sums of the advances, then each row's
  /// end by binary search (the same rows as FitCount row after row).
  void Breaks(std::u16string_view text, size_t from, std::vector<int>& lengths) const override;
  /// \brief Changes whenever the widths or the room of a row change.
  uint64_t LayoutKey() const override;
  /// \brief Width of the code unit at i: a surrogate pair's width stands on its first unit.
  int UnitWidth(std::u16string_view text, size_t i) const;
  /// \brief The runs of a row's text: ordinary text, the delimiter glyph, and the
  /// subfield code (a-z, A-Z, 0-9) that follows it in its own colour; U+000C is left out.
  std::vector<CTextRun> TextRuns(std::u16string_view text) const;
  /// \brief The longest beginning of text whose width is at most maxWidth.
  std::u16string FittingPrefix(std::u16string_view text, int maxWidth) const;
  /// \brief The tag box text: tag and indicators, blanks as ".", a blank after the tag.
  static std::u16string TagBoxText(std::u16string_view tag, std::u16string_view indicators);
  /// \brief The corners of the delimiter glyph's triangle in a glyph of W x Hd.
  static void DelimiterTriangle(int w, int hd, CLayoutPoint out[3]);

  // ---- the tag area of a row ----
  /// Left x of each icon in the 140 x 14 icon strip (bitmap 27006).
  enum Icon {
    IconShown = 0, IconHidden = 14, IconPicker = 28,
    IconShownHot = 42, IconHiddenHot = 56, IconPickerHot = 70,
    IconShownPressed = 84, IconHiddenPressed = 98, IconPickerPressed = 112,
    IconNoQualifiers = 126,
  };
  static constexpr int kIconSize = 14;
  /// \brief MARC: the box that shows tag and indicators (K = width of "######" left of the
  /// 16-pixel strip; from x 1 over the whole column when there is no room).
  CLayoutRect TagBoxRect(int y) const;
  /// \brief Dublin Core: the label box (L wide, placed like the tag box).
  CLayoutRect LabelBoxRect(int y) const;
  /// \brief Room left of a box for the shadowed name (0 when the box has no room).
  int ShadowRoom(const CLayoutRect& box) const { return box.x > 1 ? box.x : 0; }
  /// \brief Top of an icon in a row at y, given the height C of one CJK character.
  static int IconTop(int y, int cjkHeight) { return cjkHeight < 15 ? y : y + (cjkHeight - 14) / 2; }
  /// \brief Whether x lies on the expand icon of an element's first row.
  bool OverExpandIcon(int x) const;
  /// \brief Whether x lies on the picker button of a qualifier row.
  bool OverPickerButton(int x) const;

  // ---- rows on the screen ----
  /// \brief Rows the text area shows, a partly visible last row included.
  int VisibleRows() const;
  /// \brief Whether the text area holds whole rows only.
  bool WholeRowsOnly() const;
  /// \brief Screen index of the row band that holds y (-1 above the text area).
  int RowIndexAtY(int y) const;
  /// \brief y of the caret and text in screen row i.
  int RowY(int i) const;
  /// \brief x of column c of a row's text.
  int ColumnX(std::u16string_view rowText, int column) const;
  /// \brief The column whose character span holds x (the row's length past its end).
  int ColumnAtX(std::u16string_view rowText, int x) const;
  bool NearBottom(int y) const;
  bool NearTop(int y) const;
  /// \brief -1 on the tag column boundary (left half of the strip before the text area),
  /// 1 on the row-selection strip (right half), 0 elsewhere.
  int BoundaryTest(int x) const;
  /// \brief Whether x lies on a row's tag cell.
  bool TagCellTest(int x) const;

  // ---- scrolling (first displayed row as an index through the record) ----
  /// \brief The first displayed row after a page (direction -1 or 1); -1 when it does not move.
  int PageFirst(int first, int total, int direction) const;
  /// \brief The first displayed row that centres row index.
  int CentreFirst(int index) const;
  /// \brief The scroll bar for a record of total rows shown from first.
  static CScrollBarState ScrollBar(int total, int first);

 private:
  int textHeight_ = 16;
  int dollarWidth_ = 8;
  int dollarHeight_ = 16;
  int descriptionWidth_ = 88;
  Extent extent_;
  uint32_t generation_ = 0;  // counts SetMetrics calls
  // The advance of every character measured so far: the BMP in a table, the rest in a map.
  mutable std::vector<int> bmpWidths_;
  mutable std::unordered_map<char32_t, int> otherWidths_;
  int Advance(char32_t c) const;
  /// The row length at `start` for a row whose first n units fit iff prefix[start + n]
  /// - prefix[start] <= room (prefix indexed from the text's start).
  int FitFromPrefix(std::u16string_view text, const std::vector<int>& prefix, size_t start, int n) const;
};
