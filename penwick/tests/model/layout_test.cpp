// Screen geometry, text widths, wrapping and scrolling arithmetic.
#include "editor_layout.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace penwick;

namespace {

const std::u16string SF(1, kDelimiter);

// 10 pixels a character, a 6-pixel delimiter glyph; text area 100 wide.
CEditorLayout tenPixel() {
  CEditorLayout l;
  l.SetMetrics(16, 6, 16, 80, [](std::u16string_view run) { return int(run.size()) * 10; });
  l.tagWidth = 100;
  l.textWidth = 200;
  l.bottom = 110;  // rows of 22: five whole rows
  return l;
}

TEST(Layout, GeometryAtCreationAndResize) {
  struct Case {
    bool create;
    int w, h, requested;
    int inner, textWidth, tag, bottom;
  } cases[] = {
      {true, 150, 80, 0, 200, 182, 100, 84},
      {true, 802, 602, 0, 800, 782, 195, 584},
      {true, 802, 602, 150, 800, 782, 150, 584},
      {false, 800, 600, 0, 800, 782, 228, 584},
      {false, 50, 20, 0, 200, 182, 100, 84},
  };
  for (const Case& c : cases) {
    CEditorGeometry g = c.create ? CEditorLayout::CreateGeometry(c.w, c.h, c.requested)
                                 : CEditorLayout::ResizeGeometry(c.w, c.h);
    EXPECT_EQ(g.innerWidth, c.inner) << c.w;
    EXPECT_EQ(g.textWidth, c.textWidth) << c.w;
    EXPECT_EQ(g.tagWidth, c.tag) << c.w;
    EXPECT_EQ(g.textBottom, c.bottom) << c.w;
    EXPECT_EQ(g.cornerBox, (CLayoutRect{c.inner - 16, g.innerHeight - 16, 16, 16}));
    EXPECT_EQ(g.verticalBar, (CLayoutRect{c.inner - 16, 0, 16, g.innerHeight - 16}));
  }
}

TEST(Layout, TextWidthCountsTheDelimiterGlyphAndSkipsTheDropMarker) {
  CEditorLayout l = tenPixel();
  EXPECT_EQ(l.TextWidth(u"abc"), 30);
  EXPECT_EQ(l.TextWidth(SF + u"abc", 2), 16);
  EXPECT_EQ(l.TextWidth(u"a\x0C" u"b"), 20);
  EXPECT_EQ(l.TextWidth(u"abc", 99), 30);
}

TEST(Layout, FitCountNeverZeroAndNeverEndsAfterADelimiter) {
  CEditorLayout l = tenPixel();  // 100 pixels of room: ten characters
  struct Case {
    std::u16string text;
    int fit;
  } cases[] = {
      {u"abcdefghijklmno", 10},
      {u"abcde", 5},
      {u"abcdefgh" + SF + u"axyz", 10},   // 8 x 10 + 6 + 10 = 96: ten fit, ending on the code
      {u"abcdefghi" + SF + u"xyz", 9},   // the 10th would be the delimiter: left for the next row
      {u"", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(l.FitCount(c.text, int(c.text.size())), c.fit);
  l.textWidth = l.tagWidth + 3;  // not even one character fits
  EXPECT_EQ(l.FitCount(u"abc", 3), 1);
}

TEST(Layout, TextRunsShowTheGlyphAndTheCode) {
  CEditorLayout l = tenPixel();
  using R = CTextRun;
  EXPECT_EQ(l.TextRuns(SF + u"aTitle" + SF + u"-x\x0C" u"y"),
            (std::vector<R>{{R::Delimiter, SF, 0}, {R::Code, u"a", 6}, {R::Text, u"Title", 16},
                            {R::Delimiter, SF, 66}, {R::Text, u"-xy", 72}}));
  EXPECT_EQ(l.TextRuns(u"ab" + SF), (std::vector<R>{{R::Text, u"ab", 0}, {R::Delimiter, SF, 20}}));
  EXPECT_TRUE(l.TextRuns(u"").empty());
}

TEST(Layout, RowsOnTheScreen) {
  CEditorLayout l = tenPixel();
  EXPECT_EQ(l.RowHeight(), 22);
  EXPECT_EQ(l.VisibleRows(), 5);
  EXPECT_TRUE(l.WholeRowsOnly());
  l.bottom = 120;
  EXPECT_EQ(l.VisibleRows(), 6);  // a partly visible row counts
  EXPECT_FALSE(l.WholeRowsOnly());
  EXPECT_EQ(l.RowIndexAtY(0), 0);
  EXPECT_EQ(l.RowIndexAtY(21), 0);
  EXPECT_EQ(l.RowIndexAtY(22), 1);
  EXPECT_EQ(l.RowY(2), 47);
  EXPECT_EQ(l.ColumnX(u"abc", 2), 120);
  EXPECT_EQ(l.ColumnAtX(u"abc", 99), 0);
  EXPECT_EQ(l.ColumnAtX(u"abc", 115), 1);
  EXPECT_EQ(l.ColumnAtX(u"abc", 500), 3);
}

TEST(Layout, BoundaryAndTagCellTests) {
  CEditorLayout l = tenPixel();  // T = 100: D = 84, E = 91
  struct Case {
    int x, boundary;
    bool tagCell;
  } cases[] = {{0, 0, false}, {1, 0, true}, {83, 0, true}, {84, -1, false}, {90, -1, false},
               {91, 1, false}, {99, 1, false}, {100, 0, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(l.BoundaryTest(c.x), c.boundary) << c.x;
    EXPECT_EQ(l.TagCellTest(c.x), c.tagCell) << c.x;
  }
  l.tagWidth = INT32_MAX;  // whatever width a host asks for
  EXPECT_EQ(l.BoundaryTest(0), 0);
}

TEST(Layout, GlyphTagBoxAndShadowedName) {
  CLayoutPoint p[3];
  CEditorLayout::DelimiterTriangle(8, 16, p);
  EXPECT_EQ(p[0], (CLayoutPoint{1, 5}));
  EXPECT_EQ(p[1], (CLayoutPoint{7, 5}));
  EXPECT_EQ(p[2], (CLayoutPoint{4, 13}));
  EXPECT_EQ(CEditorLayout::TagBoxText(u"245", u"1 "), u"245 1.");
  EXPECT_EQ(CEditorLayout::TagBoxText(u"001", u""), u"001 ");
  EXPECT_EQ(CEditorLayout::TagBoxText(u"2", u""), u"2");
  EXPECT_EQ(tenPixel().FittingPrefix(u"题名说明", 25), u"题名");
}

TEST(Layout, TagAreaBoxesAndIcons) {
  CEditorLayout l = tenPixel();  // T = 100, "######" = 60, L = 100
  EXPECT_EQ(l.TagBoxRect(44), (CLayoutRect{24, 44, 60, 22}));
  EXPECT_EQ(l.ShadowRoom(l.TagBoxRect(0)), 24);
  EXPECT_EQ(l.LabelBoxRect(0), (CLayoutRect{1, 0, 83, 22}));  // no room: the whole column
  EXPECT_EQ(l.ShadowRoom(l.LabelBoxRect(0)), 0);
  EXPECT_TRUE(l.OverExpandIcon(1));
  EXPECT_FALSE(l.OverExpandIcon(15));
  EXPECT_TRUE(l.OverPickerButton(68));
  EXPECT_TRUE(l.OverPickerButton(82));
  EXPECT_FALSE(l.OverPickerButton(83));
  EXPECT_EQ(CEditorLayout::IconTop(10, 14), 10);
  EXPECT_EQ(CEditorLayout::IconTop(10, 20), 13);
}

TEST(Layout, ScrollingArithmetic) {
  CEditorLayout l = tenPixel();  // five rows shown: pages of four
  EXPECT_EQ(l.PageFirst(0, 20, -1), -1);
  EXPECT_EQ(l.PageFirst(2, 20, -1), 0);
  EXPECT_EQ(l.PageFirst(0, 20, 1), 4);
  EXPECT_EQ(l.PageFirst(15, 20, 1), -1);
  EXPECT_EQ(l.PageFirst(14, 20, 1), 18);
  EXPECT_EQ(l.CentreFirst(10), 8);
  EXPECT_EQ(l.CentreFirst(1), 0);
  EXPECT_EQ(CEditorLayout::ScrollBar(1, 0), CScrollBarState{});
  EXPECT_EQ(CEditorLayout::ScrollBar(7, 3), (CScrollBarState{true, 6, 3}));
}

}  // namespace
