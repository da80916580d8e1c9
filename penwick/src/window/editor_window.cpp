// The editor window: creation, geometry, scrolling, text exchange, caret placement,
// focus and notifications.
#include "editor_window.h"

#include "corner_box.h"
#include "drop_target.h"

#include "penwick_handle.h"
#include "xml_converter.h"

#include <platform/codepage.h>
#include <platform/text.h>
#include <ui/clipboard.h>
#include <ui/fonts.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <ui/dialog.h>

#include <QFocusEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace penwick;

namespace {
// Until SetFont the editor writes in 12-point 宋体 (16 pixels on a 96-dpi screen).
constexpr int kDefaultPixelHeight = 16;
constexpr int kNormalWeight = 400;
// The editor's border takes one pixel on each side of its outer size.
constexpr int kBorder = 2;
constexpr int kVerticalBarId = 4026;
constexpr int kHorizontalBarId = 4027;
constexpr int kCornerBoxId = 0x32F0;
// WM_VSCROLL codes.
constexpr int SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4;
}  // namespace

CEditorWnd::CEditorWnd(std::u16string hostFolder) : CRowEditor(std::move(hostFolder)) {
  logFont_.lfHeight = -kDefaultPixelHeight;
  logFont_.lfWeight = kNormalWeight;
  platform::copyOut(u"宋体", logFont_.lfFaceName, LF_FACESIZE);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_InputMethodEnabled);
  painter_.SetFont(ui::logFont(ui::makeFont(QStringLiteral("宋体"), 12), -kDefaultPixelHeight, 0, kNormalWeight));
}

CEditorWnd::~CEditorWnd() {
  penwick::ForgetWindow(this);
  delete drop_;
  CRowEditor::ClearRecord();
}

int CEditorWnd::Create(QWidget* parent, int x, int y, int width, int height) {
  // A child window needs its parent.
  if (!parent) return 0;
  setParent(parent);
  CEditorGeometry g = CEditorLayout::CreateGeometry(width, height, requestedTagWidth);
  Layout().Apply(g);
  setGeometry(x, y, width, height);
  clientSize_ = QSize(width - kBorder, height - kBorder);
  vbar_ = new QScrollBar(Qt::Vertical, this);
  ui::setControlId(vbar_, kVerticalBarId);
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  ui::setControlId(hbar_, kHorizontalBarId);
  // The horizontal bar never scrolls: disabled and with an empty range, so that it shows
  // no thumb (a disabled bar with a range would still draw one).
  hbar_->setRange(0, 0);
  hbar_->setEnabled(false);
  corner_ = new CCornerBox(this);
  ui::setControlId(corner_, kCornerBoxId);
  connect(vbar_, &QScrollBar::actionTriggered, this, [this](int action) {
    if (settingBar_) return;
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: OnVScroll(SB_LINEUP, 0); break;
      case QAbstractSlider::SliderSingleStepAdd: OnVScroll(SB_LINEDOWN, 0); break;
      case QAbstractSlider::SliderPageStepSub: OnVScroll(SB_PAGEUP, 0); break;
      case QAbstractSlider::SliderPageStepAdd: OnVScroll(SB_PAGEDOWN, 0); break;
      case QAbstractSlider::SliderMove: OnVScroll(SB_THUMBPOSITION, vbar_->sliderPosition()); break;
      default: return;
    }
    vbar_->setSliderPosition(firstShownRow);
  });
  drop_ = new CEditorDropTarget(this, [this](const QPoint& p, std::u16string_view t) { DropText(p, t); });
  PlaceBars();
  screen_.UpdateScrollBar();
  PlaceCaret(Document().FirstRow(), 0);
  created_ = true;
  show();
  return 1;
}

void CEditorWnd::PlaceBars() {
  if (!vbar_) return;
  // The parts are laid out for at least 200 x 100, as the size handling counts.
  const int cx = std::max(clientSize_.width(), 200), cy = std::max(clientSize_.height(), 100);
  const int b = CEditorLayout::kBar;
  // Client coordinates start inside the one-pixel border.
  vbar_->setGeometry(1 + cx - b, 1, b, cy - b);
  hbar_->setGeometry(1, 1 + cy - b, cx - b, b);
  corner_->setGeometry(1 + cx - b, 1 + cy - b, b, b);
}

void CEditorWnd::Repaint() {
  caret_.Show(IsShown(caretRow));
  screen_.Show();
}

void CEditorWnd::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  painter_.Paint(p, e->region());
  screen_.Painted(e->region());
}

void CEditorWnd::OnVScroll(int code, int position) {
  bool moved = false;
  switch (code) {
    case SB_LINEUP: moved = ScrollOneRow(-1); break;
    case SB_LINEDOWN: moved = ScrollOneRow(1); break;
    case SB_PAGEUP: moved = ScrollPage(-1); break;
    case SB_PAGEDOWN: moved = ScrollPage(1); break;
    case SB_THUMBPOSITION: moved = ScrollTo(position); break;
    default: return;
  }
  // A caret scrolled off the screen stays hidden until the next key brings its row back.
  if (moved) Repaint();
  caret_.Show(IsShown(caretRow));
}

void CEditorWnd::wheelEvent(QWheelEvent* e) {
  OnVScroll(e->angleDelta().y() < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
  e->accept();
}

// ---- fonts ----

int CEditorWnd::SetFont(const LOGFONTW& font, COLORREF colour) {
  logFont_ = font;
  logFont_.lfFaceName[LF_FACESIZE - 1] = 0;
  colour_ = colour;
  customFont_ = true;
  QFont f = ui::makeFont(ui::qs(logFont_.lfFaceName), 12);
  f = ui::logFont(f, font.lfHeight, font.lfWidth, font.lfWeight);
  f.setItalic(font.lfItalic);
  f.setUnderline(font.lfUnderline);
  f.setStrikeOut(font.lfStrikeOut);
  ClearSelection();
  painter_.SetFont(f);
  if (!Document().FirstRow()) return 0;
  RelayoutKeepingCaret();
  CentreOn(caretRow);
  Repaint();
  return 1;
}

void CEditorWnd::GetFont(LOGFONTW& font, COLORREF& colour) const {
  font = logFont_;
  colour = colour_;
}

// ---- format and geometry ----

void CEditorWnd::SetFormat(int32_t format, int32_t tagWidth) {
  Document().SetFormat(format);
  requestedTagWidth = tagWidth;
  if (tagWidth > 0) Layout().tagWidth = tagWidth;
}

void CEditorWnd::GetFormat(int32_t& format, int32_t& tagWidth) const {
  format = Document().Format();
  tagWidth = requestedTagWidth;
}

int CEditorWnd::MoveWindow(const RECT* rect) {
  if (!rect) return 0;
  setGeometry(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  OnSize(rect->right - rect->left - kBorder, rect->bottom - rect->top - kBorder);
  update();
  return 1;
}

void CEditorWnd::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (created_) OnSize(e->size().width() - kBorder, e->size().height() - kBorder);
}

void CEditorWnd::OnSize(int cx, int cy) {
  // Windows sizes a window at once, shown or not, and only when its size changes.
  if (QSize(cx, cy) == clientSize_) return;
  clientSize_ = QSize(cx, cy);
  CEditorGeometry g = CEditorLayout::ResizeGeometry(cx, cy);
  requestedTagWidth = Layout().tagWidth;
  Layout().Apply(g);
  if (Document().FirstField()) {
    ClearSelection();
    RelayoutKeepingCaret();
    CentreOn(caretRow);
  }
  PlaceBars();
  Repaint();
}

// ---- record ----

int CEditorWnd::AddField(std::u16string_view name, std::u16string_view data) {
  const bool first = !Document().FirstField();
  Document().AddField(name, data);
  if (first) {
    firstShownRow = 0;
    PlaceCaret(Document().FirstRow(), 0);
  }
  return 1;
}

void CEditorWnd::ClearRecord() {
  hotRow_ = nullptr;
  CRowEditor::ClearRecord();
}

void CEditorWnd::MoveCaret(CFieldRow* row, int column) {
  // A caret the host moves leaves no selection behind: the next key would replace it
  // far from the caret.
  ClearSelection();
  anchorRow = nullptr;
  anchorColumn = 0;
  PlaceCaret(row, column);
}

void CEditorWnd::RelayoutKeepingCaret() {
  LayoutKeepingPlaces();
  if (!caretRow) PlaceCaret(Document().FirstRow(), 0);
}

EditorPosition CEditorWnd::CaretPosition() const {
  if (!caretRow) return {0, Document().IsDublinCore() ? 0 : -1, 0};
  return Document().PositionOf(caretRow, caretColumn);
}

int CEditorWnd::SetCursorPos(int32_t field, int32_t subfield, int32_t offset) {
  CFieldRow* row = nullptr;
  int column = 0;
  if (!Document().CursorTarget(field, subfield, offset, row, column)) return 0;
  MoveCaret(row, column);
  BringIntoView(row);
  Repaint();
  return 1;
}

std::u16string CEditorWnd::RecordText(int32_t codePage) const {
  CXmlConverter converter(const_cast<CEditorDocument*>(&Document()));
  std::u16string text;
  if (Document().IsDublinCore())
    converter.WriteRdf(text, codePage);
  else
    converter.WriteJinei(text);
  return text;
}

void CEditorWnd::ReadRecordText(std::u16string_view text) {
  ClearRecord();
  CXmlConverter converter(&Document());
  if (Document().IsDublinCore())
    converter.ReadRdf(text);
  else
    converter.ReadJinei(text);
}

int CEditorWnd::SetText(const void* text, int32_t length, int32_t codePage) {
  EditorPosition keep = CaretPosition();
  std::u16string copy;
  if (text) {
    if (codePage == platform::CP_UTF16LE) {
      const char16_t* units = static_cast<const char16_t*>(text);
      copy.assign(units, length < 0 ? platform::length(units) : size_t(length));
    } else {
      const char* bytes = static_cast<const char*>(text);
      copy = platform::toWide(codePage, std::string_view(bytes, length < 0 ? std::strlen(bytes) : size_t(length)));
    }
  }
  // The readers see the copy as a NUL-terminated string.
  copy.resize(std::min(copy.size(), copy.find(u'\0')));
  ReadRecordText(copy);
  Document().LayoutAll();
  if (!SetCursorPos(keep.field, keep.subfield, keep.offset)) MoveCaret(Document().FirstRow(), 0);
  if (isVisible()) setFocus();
  Repaint();
  return 1;
}

int CEditorWnd::GetText(void* buffer, int32_t& length, int32_t codePage) {
  const std::u16string text = RecordText(codePage);
  if (!buffer || length <= 0) {
    length = -1;
    return 1;
  }
  if (codePage == platform::CP_UTF16LE) {
    // The caller's buffer holds `length` units: a text that does not fit is not written.
    if (platform::copyOut(text, static_cast<char16_t*>(buffer), length) == 0 && !text.empty()) {
      length = -1;
      return 1;
    }
    length = int32_t(text.size());
    return 1;
  }
  int written = platform::WideCharToMultiByte(codePage, text.c_str(), int(text.size()) + 1,
                                              static_cast<char*>(buffer), length);
  length = written - 1;
  return 1;
}

int CEditorWnd::GetSelectedText(char16_t* buffer, int32_t& capacity) const {
  if (!HasSelection() || !buffer || capacity <= 0) return 0;
  std::u16string text = SelectedText();
  // Cut between characters: the host gets no half of a pair.
  if (text.size() >= size_t(capacity)) text.resize(WholeCharacters(text, size_t(capacity - 1)));
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return 1;
}

// ---- notifications ----

intptr_t CEditorWnd::NotifyParent(int code, const CFieldRow* row, int column) {
  QWidget* parent = parentWidget();
  if (code == EDN_CHANGED) return ui::postMessage(parent, WM_EDITORNOTIFY, PackNotifyWParam(EDN_CHANGED, 0), 0);
  EditorPosition pos = Document().PositionOf(row, column);
  ui::WPARAM w = PackNotifyWParam(code, pos.field);
  ui::LPARAM l = ui::LPARAM(PackNotifyLParam(pos.subfield, pos.offset));
  if (code == EDN_QUERY || code == EDN_DEFAULTSCRIPT) return ui::sendMessage(parent, WM_EDITORNOTIFY, w, l);
  return ui::postMessage(parent, WM_EDITORNOTIFY, w, l);
}

void CEditorWnd::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  caret_.Show(IsShown(caretRow));
  update();
  ui::postMessage(parentWidget(), WM_COMMAND, PackFocusWParam(EN_SETFOCUS), ui::LPARAM(ui::handleOf(this)));
}

void CEditorWnd::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  update();
  ui::postMessage(parentWidget(), WM_COMMAND, PackFocusWParam(EN_KILLFOCUS), ui::LPARAM(ui::handleOf(this)));
}

bool CEditorWnd::event(QEvent* e) {
  if (e->type() == ui::MessageEvent::eventType()) {
    auto* m = static_cast<ui::MessageEvent*>(e);
    // WM_PASTE naming this window replaces the record with the clipboard's record text.
    if (m->message == ui::WM_PASTE && m->lParam == ui::LPARAM(ui::handleOf(this))) {
      QString clip = ui::clipboardText();
      if (!clip.isEmpty()) {
        std::u16string text = ui::toU16(clip);
        SetText(text.data(), int32_t(text.size()), platform::CP_UTF16LE);
        MoveCaret(Document().FirstRow(), 0);
        firstShownRow = 0;
        Repaint();
        show();
        raise();
        activateWindow();
      }
    }
    m->result = 0;
    return true;
  }
  // Tab and Shift+Tab reach the key handling, which moves the focus itself (WM_GETDLGCODE
  // asks for every key).
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
      keyPressEvent(k);
      return true;
    }
  }
  return QWidget::event(e);
}
