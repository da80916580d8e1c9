// Painting the editor: the rows of the record with their tag area, the subfield delimiter
// glyph, the selection, the caret and the band of a tag-column boundary drag.
#include "editor_painter.h"

#include "editor_window.h"

#include <ui/win.h>

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <memory>

using namespace penwick;

namespace {

const QColor kWindow(255, 255, 255);
const QColor kWindowText(0, 0, 0);
const QColor kButtonFace(0xF0, 0xF0, 0xF0);
const QColor kFieldBottom(0x7F, 0x7F, 0x7F);
const QColor kDelimiterNormal(200, 24, 40);     // 0x2818C8
const QColor kDelimiterInverted(56, 232, 216);  // 0xD8E838

QColor colourOf(COLORREF c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

}  // namespace

CEditorPainter::CEditorPainter(CEditorWnd* editor) : editor_(editor) {
  parts_.push_back(std::make_unique<CShadowedNamePart>());
  parts_.push_back(std::make_unique<CTagBoxPart>());
  parts_.push_back(std::make_unique<CLabelPart>());
  parts_.push_back(std::make_unique<CTagStripPart>());
}

CEditorPainter::~CEditorPainter() = default;

void CEditorPainter::SetFont(const QFont& font) {
  font_ = font;
  // Whole-pixel advances: with kerning off a run is then exactly as wide as its
  // characters together, which lets the layout measure each character once.
  font_.setHintingPreference(QFont::PreferFullHinting);
  auto fm = std::make_shared<const QFontMetrics>(font_);
  editor_->Layout().SetMetrics(fm->height() + fm->leading(), fm->horizontalAdvance(QStringLiteral("$")), fm->height(),
                               fm->horizontalAdvance(QStringLiteral("Description")),
                               [fm](std::u16string_view run) { return fm->horizontalAdvance(ui::qs(run)); });
}

void CEditorPainter::DrawSpan(QPainter& p, int x, int y, std::u16string_view span, bool inverted,
                              const QFontMetrics& fm, QColor text) {
  if (span.empty()) return;
  const CEditorLayout& L = editor_->Layout();
  if (inverted) p.fillRect(x - 1, y - CEditorLayout::kRowSpacing / 2, L.TextWidth(span) + 2, L.RowHeight(), text);
  for (const CTextRun& run : L.TextRuns(span)) {
    const int rx = x + run.x;
    if (run.kind == CTextRun::Delimiter) {
      CLayoutPoint t[3];
      CEditorLayout::DelimiterTriangle(L.DelimiterWidth(), fm.height(), t);
      QPolygon tri;
      for (const CLayoutPoint& c : t) tri << QPoint(rx + c.x, y + c.y);
      p.setPen(Qt::NoPen);
      p.setBrush(inverted ? kDelimiterInverted : kDelimiterNormal);
      p.drawPolygon(tri);
      p.setBrush(Qt::NoBrush);
      continue;
    }
    p.setPen(run.kind == CTextRun::Code ? (inverted ? kDelimiterInverted : kDelimiterNormal)
                                        : (inverted ? kWindow : text));
    p.drawText(rx, y + fm.ascent(), ui::qs(run.text));
  }
}

void CEditorPainter::DrawRow(QPainter& p, const CFieldRow& row, int i, int y, const QFontMetrics& fm, QColor text,
                             int cjkHeight) {
  const CEditorWnd& w = *editor_;
  const CEditorLayout& L = w.Layout();
  const int rowH = L.RowHeight(), T = L.tagWidth;
  // The tag cell: a white line over a field's first row, a grey one under its last.
  p.fillRect(1, y, T - 17, rowH, kButtonFace);
  if (&row == row.field->firstRow) p.fillRect(1, y, T - 17, 1, QColor(255, 255, 255));
  if (!row.next) p.fillRect(1, y + rowH - 1, T - 17, 1, kFieldBottom);
  const CRowPaint paint{p, fm, L, row, y, text, &row == w.hotRow_, w.pressedIcon_ == i, cjkHeight,
                        w.Document().IsDublinCore()};
  for (const auto& part : parts_) part->Paint(paint);

  // Text, with the selected columns inverted.
  const int tx = T + 1, ty = y + CEditorLayout::kRowSpacing / 2;
  int from = 0, to = 0;
  const std::u16string_view t = row.text;
  if (w.HasSelection() &&
      w.Document().SelectedColumns(&row, w.selStartRow, w.selStartColumn, w.selEndRow, w.selEndColumn, from, to)) {
    DrawSpan(p, tx, ty, t.substr(0, size_t(from)), false, fm, text);
    DrawSpan(p, tx + L.TextWidth(t, from), ty, t.substr(size_t(from), size_t(to - from)), true, fm, text);
    DrawSpan(p, tx + L.TextWidth(t, to), ty, t.substr(size_t(to)), false, fm, text);
  } else {
    DrawSpan(p, tx, ty, t, false, fm, text);
  }
}

void CEditorPainter::Paint(QPainter& p, const QRegion& dirty) {
  const CEditorWnd& w = *editor_;
  const CEditorLayout& L = w.Layout();
  const int cw = std::max(w.clientSize_.width(), 200), ch = std::max(w.clientSize_.height(), 100);
  // The one-pixel border, then everything in client coordinates.
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.drawRect(0, 0, w.width() - 1, w.height() - 1);
  p.translate(1, 1);
  const int pictureW = cw - CEditorLayout::kBar, pictureH = ch - CEditorLayout::kBar;
  p.setClipRect(0, 0, pictureW, pictureH);
  p.fillRect(0, 0, pictureW, pictureH, kWindow);
  if (!w.Document().FirstField()) return;

  p.setFont(font_);
  const QFontMetrics fm(font_);
  const QColor text = w.customFont_ ? colourOf(w.colour_) : kWindowText;
  const int cjkHeight = fm.boundingRect(QStringLiteral("毕")).height();
  const int visible = w.VisibleRows();
  CFieldRow* row = w.Document().RowAt(w.firstShownRow);
  for (int i = 0; row && i < visible; ++i, row = row->NextRow())
    if (dirty.intersects(w.screen_.BandRect(i))) DrawRow(p, *row, i, L.top + i * L.RowHeight(), fm, text, cjkHeight);

  if (w.boundaryDrag_) {
    p.setClipping(false);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.fillRect(w.boundaryX_ - 1, 0, 2, ch, QColor(255, 255, 255));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  const QRect caret = w.caret_.Rect();
  if (!caret.isEmpty()) p.fillRect(caret.translated(-1, -1), text);
}
