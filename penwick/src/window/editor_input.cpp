// Keys reach the editing state as Windows would deliver them (a key-down with its virtual
// key, then the character it types), and the window supplies clipboard, dialogs and focus.
#include "editor_window.h"
#include "drop_target.h"
#include "element_dlg.h"
#include "field_dlg.h"

#include <platform/text.h>
#include <ui/clipboard.h>
#include <ui/modal.h>

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QUrl>

using namespace penwick;

namespace {

// The virtual key of a Qt key; 0 for keys the editor does not look at.
int virtualKeyOf(const QKeyEvent& e) {
  const int k = e.key();
  const bool keypad = e.modifiers() & Qt::KeypadModifier;
  if (keypad && k == Qt::Key_0) return VK_NUMPAD0;
  if (keypad && k == Qt::Key_Plus) return VK_ADD;
  if (keypad && (k == Qt::Key_Period || k == Qt::Key_Comma)) return VK_DECIMAL;
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return '0' + (k - Qt::Key_0);
  // Qt names a key by what it types, so Shift turns the digit keys into symbols; Windows
  // still reports the digit key, and Ctrl+Shift+digit types a delimiter and that digit.
  if (e.modifiers() & Qt::ShiftModifier) {
    // X keycodes 10-19 are the keys 1 ... 9, 0 of the main block, whatever the layout.
    const quint32 code = e.nativeScanCode();
    if (code >= 10 && code <= 19) return code == 19 ? '0' : int('1' + (code - 10));
    static constexpr char16_t kShiftedDigits[] = u"!@#$%^&*(";  // keys 1-9, US layout
    for (int i = 0; i < 9; ++i)
      if (k == int(kShiftedDigits[i])) return '1' + i;
  }
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return VK_F1 + (k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: return 0;
  }
}

// The characters a key types (WM_CHAR), empty for none: Ctrl+letter gives 1-26 as on
// Windows. A key's text is typed whole: a character outside the BMP comes as a surrogate
// pair, and a key may type more than one character.
std::u16string charactersOf(const QKeyEvent& e, bool ctrl) {
  const int k = e.key();
  if (ctrl) {
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return std::u16string(1, char16_t(1 + (k - Qt::Key_A)));
    if (k == Qt::Key_Backslash) return u"\x1C";
    if (k == Qt::Key_Backspace) return u"\x7F";
    if (k == Qt::Key_Return || k == Qt::Key_Enter) return u"\n";
    return {};
  }
  switch (k) {
    case Qt::Key_Backspace: return u"\b";
    case Qt::Key_Tab: case Qt::Key_Backtab: return u"\t";
    case Qt::Key_Return: case Qt::Key_Enter: return u"\r";
    case Qt::Key_Escape: return u"\x1B";
    default: break;
  }
  std::u16string typed;
  for (QChar c : e.text())
    if (c.unicode() >= 0x20 && c.unicode() != 0x7F) typed += c.unicode();
  return typed;
}

}  // namespace

void CEditorWnd::keyPressEvent(QKeyEvent* e) {
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  const bool shift = (e->modifiers() & Qt::ShiftModifier) || e->key() == Qt::Key_Backtab;
  const std::u16string typed = charactersOf(*e, ctrl);
  // On Windows every key arrives as a key-down before its character, so a key without a
  // virtual key of ours (punctuation, the space bar) still brings a scrolled-off caret row
  // back and tells the host where the caret is. Tab alone stays silent.
  constexpr int kOtherKey = 0xFF;
  int vk = virtualKeyOf(*e);
  if (!vk && !typed.empty() && typed != u"\t") vk = kOtherKey;
  const int repeat = std::max(e->count(), 1);
  for (int i = 0; i < repeat; ++i) {
    if (vk == VK_CONTROL && dragging_) setCursor(Qt::DragCopyCursor);
    if (vk) KeyDown(vk, ctrl, shift);
    // Ctrl+Shift+digit types a delimiter and its digit at key-down; no character follows.
    const bool typedAtKeyDown = IsMarc() && ctrl && shift && vk >= '1' && vk <= '9';
    if (!typed.empty() && !typedAtKeyDown) Chars(typed, ctrl, shift);
  }
  Repaint();
  e->accept();
}

void CEditorWnd::keyReleaseEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Control && dragging_) setCursor(Qt::DragMoveCursor);
  e->accept();
}

// Text committed by an input method (Chinese is typed this way) arrives as characters.
void CEditorWnd::inputMethodEvent(QInputMethodEvent* e) {
  if (!e->commitString().isEmpty() && caretRow && !IsShown(caretRow)) CentreOn(caretRow);
  std::u16string typed;
  for (QChar c : e->commitString())
    if (c.unicode() >= 0x20) typed += c.unicode();
  Chars(typed, false, false);
  Repaint();
  e->accept();
}

QVariant CEditorWnd::inputMethodQuery(Qt::InputMethodQuery query) const {
  if (query == Qt::ImCursorRectangle) return QRect(CaretX() + 1, CaretY() + 1, CEditorLayout::kCaretWidth, Layout().TextHeight());
  return QWidget::inputMethodQuery(query);
}

// ---- clipboard ----

bool CEditorWnd::SetClipboard(const std::u16string& text) {
  ui::setClipboardText(ui::qs(text));
  return true;
}

bool CEditorWnd::GetClipboard(std::u16string& text) const {
  if (!ui::clipboardHas(ui::CF_UNICODETEXT)) return false;
  text = ui::toU16(ui::clipboardText());
  return true;
}

bool CEditorWnd::ClipboardFile(std::u16string& path) const {
  if (!ui::clipboardHas(ui::CF_HDROP)) return false;
  const QList<QByteArray> lines = ui::clipboardData(ui::mimeOfFormat(ui::CF_HDROP)).split('\n');
  for (const QByteArray& line : lines) {
    const QByteArray l = line.trimmed();
    if (l.isEmpty() || l.startsWith('#')) continue;
    const QUrl url(QString::fromUtf8(l));
    path = url.isLocalFile() ? CEditorDropTarget::LocalPath(url) : ui::toU16(url.toString());
    return true;
  }
  return false;
}

bool CEditorWnd::IsFieldClipboard() const {
  std::u16string text;
  return GetClipboard(text) && !text.empty() && text[0] == kFieldEnd;
}

void CEditorWnd::PasteRecordText() {
  std::u16string text;
  if (!IsMarc() || !GetClipboard(text)) return;
  ClearRecord();
  Document().ParseRecordText(text);
  PlaceCaret(Document().FirstRow(), 0);
  Repaint();
  raise();
  activateWindow();
}

// ---- dialogs and questions ----

bool CEditorWnd::ConfirmDeleteField(const CFieldItem& field) {
  const std::u16string text = platform::format(u"确实要删除 %s 字段吗？", field.name.c_str());
  return ui::messageBox(this, ui::qs(text), QStringLiteral("删除MARC字段"), ui::Icon::Question, ui::MB_YESNO) !=
         ui::IDNO;
}

void CEditorWnd::MoveFocus(bool back) { focusNextPrevChild(!back); }

void CEditorWnd::InsertField(CFieldRow* row) {
  if (!row) return;
  std::u16string name, data;
  if (!IsMarc()) {
    CElementDlg dlg(this, Document().HostFolder());
    dlg.propertyIniPath = Document().PropertyIniPath();
    if (dlg.exec() != ui::IDOK) {
      setFocus();
      return;
    }
    name = dlg.elementName;
    data = dlg.elementData;
  } else {
    CMarcFieldDlg dlg(this, Document().HostFolder());
    dlg.propertyIniPath = Document().PropertyIniPath();
    dlg.fieldDefinitionPath = Document().FieldDefinitionPath();
    dlg.helpShown = helpShown_;
    if (dlg.exec() != ui::IDOK) {
      setFocus();
      return;
    }
    helpShown_ = dlg.helpShown;
    name = dlg.tag;
    data = dlg.indicators + dlg.defaultData;
  }
  ClearSelection();
  InsertFieldAfter(row->field, name, data);
  Repaint();
  setFocus();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

void CEditorWnd::EditFieldAttributes(CFieldRow* row) {
  if (!row || IsLeaderRow(row)) return;
  CFieldItem* field = row->field;
  field->GatherRows();
  if (IsMarc()) {
    CMarcFieldDlg dlg(this, Document().HostFolder());
    dlg.propertyIniPath = Document().PropertyIniPath();
    dlg.tag = field->name;
    dlg.indicators = field->indicators;
    dlg.helpShown = helpShown_;
    if (dlg.exec() != ui::IDOK) {
      setFocus();
      return;
    }
    helpShown_ = dlg.helpShown;
    field->name = dlg.tag;
    field->indicators = dlg.indicators;
  } else {
    CElementDlg dlg(this, Document().HostFolder());
    dlg.propertyIniPath = Document().PropertyIniPath();
    dlg.elementName = field->name;
    dlg.elementData = field->data;
    if (dlg.exec() != ui::IDOK) {
      setFocus();
      return;
    }
    field->name = dlg.elementName;
    std::u16string value;
    field->GetQualifier(u"Value", value);
    field->data = value + dlg.elementData;
    LayoutKeepingPlaces(field);
  }
  field->LoadAlias();
  Repaint();
  setFocus();
  NotifyParent(EDN_CHANGED, nullptr, 0);
}
