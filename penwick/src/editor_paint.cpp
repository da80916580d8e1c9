// Painting the editor: the rows of the record with their tag area, the subfield delimiter
// glyph, the selection, the caret and the band of a tag-column boundary drag.
#include "editor_window.h"

#include <ui/win.h>

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>

using namespace penwick;

namespace {

const QColor kWindow(255, 255, 255);
const QColor kWindowText(0, 0, 0);
const QColor kButtonFace(0xF0, 0xF0, 0xF0);
const QColor kTagStrip(0xF0, 0xF0, 0xF0);
const QColor kFieldBottom(0x7F, 0x7F, 0x7F);
const QColor kDelimiterNormal(200, 24, 40);     // 0x2818C8
const QColor kDelimiterInverted(56, 232, 216);  // 0xD8E838

QColor colourOf(COLORREF c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// One icon of the strip (14 x 14), drawn rather than loaded.
void drawIcon(QPainter& p, int x, int y, int icon) {
  const int s = CEditorLayout::kIconSize;
  QRect box(x, y, s - 1, s - 1);
  const int kind = icon % 42;  // 0 shown, 14 hidden, 28 picker (126: no qualifiers)
  const int state = icon >= 126 ? 0 : icon / 42;  // 0 plain, 1 hot, 2 pressed
  if (icon == CEditorLayout::IconNoQualifiers) {
    p.fillRect(QRect(x + 4, y + 4, 5, 5), QColor(0x80, 0x80, 0x80));
    return;
  }
  p.fillRect(box, state == 2 ? QColor(0xC0, 0xC0, 0xC0) : state == 1 ? QColor(0xE0, 0xEE, 0xFF) : kWindow);
  p.setPen(QColor(0x60, 0x60, 0x60));
  p.drawRect(box);
  p.setPen(kWindowText);
  if (kind == CEditorLayout::IconPicker) {
    QPolygon down;
    down << QPoint(x + 3, y + 5) << QPoint(x + 10, y + 5) << QPoint(x + 6, y + 9);
    p.setBrush(kWindowText);
    p.drawPolygon(down);
    p.setBrush(Qt::NoBrush);
    return;
  }
  p.drawLine(x + 3, y + 6, x + 10, y + 6);
  if (kind == CEditorLayout::IconHidden) p.drawLine(x + 6, y + 3, x + 6, y + 10);
}

}  // namespace

CEditorWnd::PaintedFrame CEditorWnd::FrameOf() const {
  const CEditorLayout& L = Layout();
  return {L.LayoutKey(), L.tagWidth, L.bottom, width(), height(), Document().Format(),
          boundaryDrag_ ? boundaryX_ : -1, colour_, customFont_};
}

CEditorWnd::PaintedBand CEditorWnd::BandOf(int i, const CFieldRow* row) const {
  PaintedBand band;
  if (!row) return band;
  const CFieldItem* field = row->field;
  band.row = row;
  band.text = row->text;
  band.label = row->label;
  const bool first = row == field->firstRow;
  band.flags = (first ? 1 : 0) | (row->next ? 0 : 2) | (row == hotRow_ ? 4 : 0) | (pressedIcon_ == i ? 8 : 0);
  if (first) {
    band.tag = field->alias + u'\0' + field->name + u'\0' + field->indicators;
    band.flags |= (field->HasQualifiers() ? 16 : 0) | (field->qualifiersShown ? 32 : 0);
  }
  int from = 0, to = 0;
  if (HasSelection() &&
      Document().SelectedColumns(row, selStartRow, selStartColumn, selEndRow, selEndColumn, from, to)) {
    band.from = from;
    band.to = to;
  }
  return band;
}

QRect CEditorWnd::BandRect(int i) const {
  const CEditorLayout& L = Layout();
  const int cw = std::max(clientSize_.width(), 200);
  return QRect(1, 1 + L.top + i * L.RowHeight(), cw - CEditorLayout::kBar, L.RowHeight());
}

QRect CEditorWnd::CaretRect() const {
  if (!(caretShown_ && hasFocus() && IsShown(caretRow))) return QRect();
  return QRect(1 + CaretX(), 1 + CaretY(), CEditorLayout::kCaretWidth, Layout().TextHeight());
}

void CEditorWnd::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  const QRegion& dirty = e->region();
  auto covers = [&dirty](const QRect& r) { return (QRegion(r) - dirty).isEmpty(); };
  const CEditorLayout& L = Layout();
  const int cw = std::max(clientSize_.width(), 200), ch = std::max(clientSize_.height(), 100);
  // The one-pixel border, then everything in client coordinates.
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.drawRect(0, 0, width() - 1, height() - 1);
  p.translate(1, 1);
  const int pictureW = cw - CEditorLayout::kBar, pictureH = ch - CEditorLayout::kBar;
  p.setClipRect(0, 0, pictureW, pictureH);
  p.fillRect(0, 0, pictureW, pictureH, kWindow);
  // What this paint puts on the screen, for the next Repaint to compare with.
  const int visible = VisibleRows();
  if (covers(QRect(1, 1, pictureW, pictureH))) {
    paintedFrame_ = FrameOf();
    framePainted_ = true;
  }
  painted_.resize(size_t(std::max(visible, 0)));
  {
    CFieldRow* r = Document().RowAt(firstShownRow);
    for (int i = 0; i < visible; ++i) {
      if (covers(BandRect(i))) painted_[size_t(i)] = BandOf(i, r);
      if (r) r = r->NextRow();
    }
  }
  // The caret drawn now, unless an earlier one stays on the screen (the next Repaint then
  // draws both places again).
  const QRect caretRect = CaretRect();
  const QRect caretNow = covers(caretRect) ? caretRect : QRect();
  if (paintedCaret_.isEmpty() || covers(paintedCaret_) || paintedCaret_ == caretNow) paintedCaret_ = caretNow;
  if (!Document().FirstField()) return;

  p.setFont(font_);
  const QFontMetrics fm(font_);
  const QColor text = customFont_ ? colourOf(colour_) : kWindowText;
  const int rowH = L.RowHeight();
  const int half = CEditorLayout::kRowSpacing / 2;
  const int T = L.tagWidth;
  const bool dc = Document().IsDublinCore();
  const int cjkHeight = fm.boundingRect(QStringLiteral("毕")).height();

  // A span of a row's text at x; inverted spans stand on a block of the text colour.
  auto drawSpan = [&](int x, int y, std::u16string_view span, bool inverted) {
    if (span.empty()) return;
    if (inverted) p.fillRect(x - 1, y - half, L.TextWidth(span) + 2, rowH, text);
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
  };

  // Text left of a box: drawn twice, in white one pixel down and right, then in black.
  auto shadowed = [&](std::u16string_view name, int room, int y) {
    if (room < 7) return;
    const QString s = ui::qs(L.FittingPrefix(name, room - 6));
    p.setPen(QColor(255, 255, 255));
    p.drawText(2, y + half + 1 + fm.ascent(), s);
    p.setPen(kWindowText);
    p.drawText(1, y + half + fm.ascent(), s);
  };

  CFieldRow* row = Document().RowAt(firstShownRow);
  for (int i = 0; row && i < visible; ++i, row = row->NextRow()) {
    if (!dirty.intersects(BandRect(i))) continue;
    const int y = L.top + i * rowH;
    const CFieldItem* field = row->field;
    // Tag area.
    p.fillRect(1, y, T - 17, rowH, kButtonFace);
    if (row == field->firstRow) p.fillRect(1, y, T - 17, 1, QColor(255, 255, 255));
    if (!row->next) p.fillRect(1, y + rowH - 1, T - 17, 1, kFieldBottom);
    if (!dc && row == field->firstRow) {
      const CLayoutRect box = L.TagBoxRect(y);
      shadowed(field->alias, L.ShadowRoom(box), y);
      p.save();
      p.setClipRect(box.x, box.y, box.width, box.height, Qt::IntersectClip);
      p.setPen(text);
      p.drawText(box.x, y + half + fm.ascent(), ui::qs(CEditorLayout::TagBoxText(field->name, field->indicators)));
      p.restore();
    } else if (dc) {
      const CLayoutRect box = L.LabelBoxRect(y);
      if (row == field->firstRow) {
        std::u16string_view name = field->name;
        const size_t colon = name.find(u':');
        if (colon != std::u16string_view::npos) name = name.substr(colon + 1);
        shadowed(name, L.ShadowRoom(box), y);
      }
      if (!row->label.empty()) {
        const int top = CEditorLayout::IconTop(y, cjkHeight);
        const bool hot = row == hotRow_;
        const bool pressed = pressedIcon_ == i;
        p.save();
        p.setClipRect(box.x, box.y, box.width, box.height, Qt::IntersectClip);
        p.setPen(text);
        if (row == field->firstRow) {
          int icon = !field->HasQualifiers() ? CEditorLayout::IconNoQualifiers
                     : field->qualifiersShown  ? CEditorLayout::IconShown
                                               : CEditorLayout::IconHidden;
          if (icon != CEditorLayout::IconNoQualifiers) icon += pressed ? 84 : hot ? 42 : 0;
          drawIcon(p, box.x, top, icon);
          p.setPen(text);
          p.drawText(box.x + 20, y + half + fm.ascent(), ui::qs(field->alias));
        } else {
          p.drawText(box.x + 34, y + half + fm.ascent(), ui::qs(row->label));
          drawIcon(p, box.x + box.width - 16, top,
                   pressed ? CEditorLayout::IconPickerPressed
                   : hot   ? CEditorLayout::IconPickerHot
                           : CEditorLayout::IconPicker);
        }
        p.restore();
      }
    }
    p.fillRect(T - 15, y, 15, rowH, kTagStrip);

    // Text, with the selected columns inverted.
    const int tx = T + 1, ty = y + half;
    int from = 0, to = 0;
    const std::u16string_view t = row->text;
    if (HasSelection() &&
        Document().SelectedColumns(row, selStartRow, selStartColumn, selEndRow, selEndColumn, from, to)) {
      drawSpan(tx, ty, t.substr(0, size_t(from)), false);
      drawSpan(tx + L.TextWidth(t, from), ty, t.substr(size_t(from), size_t(to - from)), true);
      drawSpan(tx + L.TextWidth(t, to), ty, t.substr(size_t(to)), false);
    } else {
      drawSpan(tx, ty, t, false);
    }
  }

  if (boundaryDrag_) {
    p.setClipping(false);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.fillRect(boundaryX_ - 1, 0, 2, ch, QColor(255, 255, 255));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  if (!caretRect.isEmpty()) p.fillRect(caretRect.translated(-1, -1), text);
}
