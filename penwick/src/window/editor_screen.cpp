// The screen: what changed goes to the window, and the scroll bar follows the view.
#include "editor_screen.h"

#include "editor_window.h"

#include <QScrollBar>

#include <algorithm>

void CEditorScreen::UpdateScrollBar() {
  QScrollBar* bar = editor_->vbar_;
  if (!bar) return;
  const CScrollBarState state =
      CEditorLayout::ScrollBar(editor_->Document().TotalRows(), editor_->firstShownRow);
  editor_->settingBar_ = true;
  bar->setEnabled(state.enabled);
  bar->setRange(0, state.maximum);
  bar->setPageStep(std::max(editor_->VisibleRows() - 1, 1));
  bar->setValue(state.position);
  editor_->settingBar_ = false;
}

CEditorScreen::Frame CEditorScreen::FrameOf() const {
  const CEditorWnd& w = *editor_;
  const CEditorLayout& L = w.Layout();
  return {L.LayoutKey(), L.tagWidth, L.bottom, w.width(), w.height(), w.Document().Format(),
          w.boundaryDrag_ ? w.boundaryX_ : -1, w.colour_, w.customFont_};
}

CEditorScreen::Band CEditorScreen::BandOf(int i, const CFieldRow* row) const {
  const CEditorWnd& w = *editor_;
  Band band;
  if (!row) return band;
  const CFieldItem* field = row->field;
  band.row = row;
  band.text = row->text;
  band.label = row->label;
  const bool first = row == field->firstRow;
  band.flags = (first ? 1 : 0) | (row->next ? 0 : 2) | (row == w.hotRow_ ? 4 : 0) | (w.pressedIcon_ == i ? 8 : 0);
  if (first) {
    band.tag = field->alias + u'\0' + field->name + u'\0' + field->indicators;
    band.flags |= (field->HasQualifiers() ? 16 : 0) | (field->qualifiersShown ? 32 : 0);
  }
  int from = 0, to = 0;
  if (w.HasSelection() &&
      w.Document().SelectedColumns(row, w.selStartRow, w.selStartColumn, w.selEndRow, w.selEndColumn, from, to)) {
    band.from = from;
    band.to = to;
  }
  return band;
}

QRect CEditorScreen::BandRect(int i) const {
  const CEditorLayout& L = editor_->Layout();
  const int cw = std::max(editor_->clientSize_.width(), 200);
  return QRect(1, 1 + L.top + i * L.RowHeight(), cw - CEditorLayout::kBar, L.RowHeight());
}

void CEditorScreen::Show() {
  UpdateScrollBar();
  if (!framePainted_ || !(FrameOf() == paintedFrame_)) {
    editor_->update();
    return;
  }
  // Only the bands whose content changed, and the caret where it was and where it is.
  const int visible = editor_->VisibleRows();
  CFieldRow* row = editor_->Document().RowAt(editor_->firstShownRow);
  for (int i = 0; i < visible; ++i) {
    if (size_t(i) >= painted_.size() || !(painted_[size_t(i)] == BandOf(i, row))) editor_->update(BandRect(i));
    if (row) row = row->NextRow();
  }
  const QRect caret = editor_->caret_.Rect();
  if (caret != paintedCaret_) {
    editor_->update(paintedCaret_);
    editor_->update(caret);
  }
}

void CEditorScreen::Painted(const QRegion& region) {
  auto covers = [&region](const QRect& r) { return (QRegion(r) - region).isEmpty(); };
  const int cw = std::max(editor_->clientSize_.width(), 200), ch = std::max(editor_->clientSize_.height(), 100);
  if (covers(QRect(1, 1, cw - CEditorLayout::kBar, ch - CEditorLayout::kBar))) {
    paintedFrame_ = FrameOf();
    framePainted_ = true;
  }
  const int visible = std::max(editor_->VisibleRows(), 0);
  painted_.resize(size_t(visible));
  CFieldRow* row = editor_->Document().RowAt(editor_->firstShownRow);
  for (int i = 0; i < visible; ++i) {
    if (covers(BandRect(i))) painted_[size_t(i)] = BandOf(i, row);
    if (row) row = row->NextRow();
  }
  // The caret drawn now, unless an earlier one stays on the screen (the next Show then
  // draws both places again).
  const QRect caret = editor_->caret_.Rect();
  const QRect now = covers(caret) ? caret : QRect();
  if (paintedCaret_.isEmpty() || covers(paintedCaret_) || paintedCaret_ == now) paintedCaret_ = now;
}
