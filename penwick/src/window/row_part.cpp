// The parts of a row's tag area.
#include "row_part.h"

#include <ui/win.h>

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

namespace {
const QColor kWindow(255, 255, 255);
const QColor kWindowText(0, 0, 0);
const QColor kTagStrip(0xF0, 0xF0, 0xF0);
const int kHalf = CEditorLayout::kRowSpacing / 2;
}  // namespace

void CTagStripPart::Paint(const CRowPaint& r) const {
  r.p.fillRect(r.layout.tagWidth - 15, r.y, 15, r.layout.RowHeight(), kTagStrip);
}

void CLabelPart::DrawIcon(QPainter& p, int x, int y, int icon) {
  // Drawn rather than loaded.
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

void CLabelPart::Paint(const CRowPaint& r) const {
  const CFieldRow& row = r.row;
  if (!r.dublinCore || row.label.empty()) return;
  const CFieldItem* field = row.field;
  const CLayoutRect box = r.layout.LabelBoxRect(r.y);
  const int top = CEditorLayout::IconTop(r.y, r.cjkHeight);
  QPainter& p = r.p;
  p.save();
  p.setClipRect(box.x, box.y, box.width, box.height, Qt::IntersectClip);
  p.setPen(r.text);
  if (&row == field->firstRow) {
    int icon = !field->HasQualifiers() ? CEditorLayout::IconNoQualifiers
               : field->qualifiersShown  ? CEditorLayout::IconShown
                                         : CEditorLayout::IconHidden;
    if (icon != CEditorLayout::IconNoQualifiers) icon += r.pressed ? 84 : r.hot ? 42 : 0;
    DrawIcon(p, box.x, top, icon);
    p.setPen(r.text);
    p.drawText(box.x + 20, r.y + kHalf + r.fm.ascent(), ui::qs(field->alias));
  } else {
    p.drawText(box.x + 34, r.y + kHalf + r.fm.ascent(), ui::qs(row.label));
    DrawIcon(p, box.x + box.width - 16, top,
             r.pressed ? CEditorLayout::IconPickerPressed
             : r.hot   ? CEditorLayout::IconPickerHot
                       : CEditorLayout::IconPicker);
  }
  p.restore();
}

void CShadowedNamePart::Paint(const CRowPaint& r) const {
  const CFieldItem* field = r.row.field;
  if (&r.row != field->firstRow) return;
  std::u16string_view name = field->alias;
  CLayoutRect box = r.layout.TagBoxRect(r.y);
  if (r.dublinCore) {
    // The element's name after its prefix.
    name = field->name;
    const size_t colon = name.find(u':');
    if (colon != std::u16string_view::npos) name = name.substr(colon + 1);
    box = r.layout.LabelBoxRect(r.y);
  }
  const int room = r.layout.ShadowRoom(box);
  if (room < 7) return;
  const QString s = ui::qs(r.layout.FittingPrefix(name, room - 6));
  r.p.setPen(QColor(255, 255, 255));
  r.p.drawText(2, r.y + kHalf + 1 + r.fm.ascent(), s);
  r.p.setPen(kWindowText);
  r.p.drawText(1, r.y + kHalf + r.fm.ascent(), s);
}

void CTagBoxPart::Paint(const CRowPaint& r) const {
  const CFieldItem* field = r.row.field;
  if (r.dublinCore || &r.row != field->firstRow) return;
  const CLayoutRect box = r.layout.TagBoxRect(r.y);
  r.p.save();
  r.p.setClipRect(box.x, box.y, box.width, box.height, Qt::IntersectClip);
  r.p.setPen(r.text);
  r.p.drawText(box.x, r.y + kHalf + r.fm.ascent(), ui::qs(CEditorLayout::TagBoxText(field->name, field->indicators)));
  r.p.restore();
}
