// The editor window: creation, geometry, text exchange, caret placement and notifications.
#include "editor_window.h"

#include "penwick_handle.h"
#include "xml_converter.h"

#include <platform/codepage.h>
#include <platform/text.h>
#include <ui/clipboard.h>
#include <ui/fonts.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QFocusEvent>
#include <QFontMetrics>
#include <QResizeEvent>

#include <algorithm>
#include <cstring>

using namespace penwick;

namespace {
// Until SetFont the editor writes in 12-point 宋体 (16 pixels on a 96-dpi screen).
constexpr int kDefaultPixelHeight = 16;
constexpr int kNormalWeight = 400;
// The editor's border takes one pixel on each side of its outer size.
constexpr int kBorder = 2;
}  // namespace

CEditorWnd::CEditorWnd(std::u16string hostFolder) : document_(std::move(hostFolder)) {
  document_.SetMeasure(&layout_);
  font_ = ui::logFont(ui::makeFont(QStringLiteral("宋体"), 12), -kDefaultPixelHeight, 0, kNormalWeight);
  logFont_.lfHeight = -kDefaultPixelHeight;
  logFont_.lfWeight = kNormalWeight;
  platform::copyOut(u"宋体", logFont_.lfFaceName, LF_FACESIZE);
  setFocusPolicy(Qt::StrongFocus);
  ApplyFontMetrics();
}

CEditorWnd::~CEditorWnd() {
  penwick::ForgetWindow(this);
  ClearRecord();
}

int CEditorWnd::Create(QWidget* parent, int x, int y, int width, int height) {
  // A child window needs its parent.
  if (!parent) return 0;
  setParent(parent);
  CEditorGeometry g = CEditorLayout::CreateGeometry(width, height, requestedTagWidth);
  layout_.Apply(g);
  setGeometry(x, y, width, height);
  clientSize_ = QSize(width - kBorder, height - kBorder);
  created_ = true;
  show();
  return 1;
}

// ---- fonts ----

void CEditorWnd::ApplyFontMetrics() {
  QFontMetrics fm(font_);
  QFont f = font_;
  layout_.SetMetrics(fm.height() + fm.leading(), fm.horizontalAdvance(QStringLiteral("$")), fm.height(),
                     fm.horizontalAdvance(QStringLiteral("Description")),
                     [f](std::u16string_view run) { return QFontMetrics(f).horizontalAdvance(ui::qs(run)); });
}

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
  font_ = f;
  ClearSelection();
  ApplyFontMetrics();
  if (!document_.FirstRow()) return 0;
  RelayoutKeepingCaret();
  if (caretRow) firstShownRow = layout_.CentreFirst(document_.RowIndex(caretRow));
  update();
  return 1;
}

void CEditorWnd::GetFont(LOGFONTW& font, COLORREF& colour) const {
  font = logFont_;
  colour = colour_;
}

// ---- format and geometry ----

void CEditorWnd::SetFormat(int32_t format, int32_t tagWidth) {
  document_.SetFormat(format);
  requestedTagWidth = tagWidth;
  if (tagWidth > 0) layout_.tagWidth = tagWidth;
}

void CEditorWnd::GetFormat(int32_t& format, int32_t& tagWidth) const {
  format = document_.Format();
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
  requestedTagWidth = layout_.tagWidth;
  layout_.Apply(g);
  if (document_.FirstField()) {
    ClearSelection();
    RelayoutKeepingCaret();
    if (caretRow) firstShownRow = layout_.CentreFirst(document_.RowIndex(caretRow));
  }
  update();
}

// ---- record ----

int CEditorWnd::AddField(std::u16string_view name, std::u16string_view data) {
  document_.AddField(name, data);
  return 1;
}

void CEditorWnd::ClearSelection() {
  selStartRow = selEndRow = nullptr;
  selStartColumn = selEndColumn = 0;
}

void CEditorWnd::ClearRecord() {
  ClearSelection();
  caretRow = nullptr;
  caretColumn = 0;
  firstShownRow = 0;
  document_.ClearRecord();
}

void CEditorWnd::MoveCaret(CFieldRow* row, int column) {
  caretRow = row;
  caretColumn = row ? std::clamp(column, 0, row->Length()) : 0;
}

void CEditorWnd::RelayoutKeepingCaret() {
  CFieldItem* field = caretRow ? caretRow->field : nullptr;
  int offset = field ? field->RowOffset(caretRow, caretColumn) : 0;
  document_.LayoutAll();
  if (!field) {
    MoveCaret(document_.FirstRow(), 0);
    return;
  }
  CFieldRow* row = nullptr;
  int column = 0;
  if (!field->RowAtOffset(offset, row, column)) {
    row = field->LastRow();
    column = row->Length();
  }
  MoveCaret(row, column);
}

EditorPosition CEditorWnd::CaretPosition() const {
  if (!caretRow) return {0, document_.IsDublinCore() ? 0 : -1, 0};
  return document_.PositionOf(caretRow, caretColumn);
}

int CEditorWnd::SetCursorPos(int32_t field, int32_t subfield, int32_t offset) {
  CFieldRow* row = nullptr;
  int column = 0;
  if (!document_.CursorTarget(field, subfield, offset, row, column)) return 0;
  MoveCaret(row, column);
  int index = document_.RowIndex(row);
  int shown = layout_.VisibleRows();
  if (index < firstShownRow || index >= firstShownRow + shown) firstShownRow = layout_.CentreFirst(index);
  update();
  return 1;
}

std::u16string CEditorWnd::RecordText(int32_t codePage) const {
  CXmlConverter converter(const_cast<CEditorDocument*>(&document_));
  std::u16string text;
  if (document_.IsDublinCore())
    converter.WriteRdf(text, codePage);
  else
    converter.WriteJinei(text);
  return text;
}

void CEditorWnd::ReadRecordText(std::u16string_view text) {
  ClearRecord();
  CXmlConverter converter(&document_);
  if (document_.IsDublinCore())
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
  document_.LayoutAll();
  if (!SetCursorPos(keep.field, keep.subfield, keep.offset)) MoveCaret(document_.FirstRow(), 0);
  if (isVisible()) setFocus();
  update();
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
  std::u16string text = document_.TextBetween(selStartRow, selStartColumn, selEndRow, selEndColumn);
  if (text.size() >= size_t(capacity)) text.resize(size_t(capacity - 1));
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return 1;
}

// ---- notifications ----

ui::LRESULT CEditorWnd::NotifyParent(int code, const CFieldRow* row, int column) {
  QWidget* parent = parentWidget();
  if (code == EDN_CHANGED) return ui::postMessage(parent, WM_EDITORNOTIFY, PackNotifyWParam(EDN_CHANGED, 0), 0);
  EditorPosition pos = document_.PositionOf(row, column);
  ui::WPARAM w = PackNotifyWParam(code, pos.field);
  ui::LPARAM l = ui::LPARAM(PackNotifyLParam(pos.subfield, pos.offset));
  if (code == EDN_QUERY || code == EDN_DEFAULTSCRIPT) return ui::sendMessage(parent, WM_EDITORNOTIFY, w, l);
  return ui::postMessage(parent, WM_EDITORNOTIFY, w, l);
}

void CEditorWnd::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  ui::postMessage(parentWidget(), WM_COMMAND, PackFocusWParam(EN_SETFOCUS), ui::LPARAM(ui::handleOf(this)));
}

void CEditorWnd::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
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
        MoveCaret(document_.FirstRow(), 0);
        firstShownRow = 0;
        show();
        raise();
        activateWindow();
      }
    }
    m->result = 0;
    return true;
  }
  return QWidget::event(e);
}
