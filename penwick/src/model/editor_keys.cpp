// Keys, characters and menu commands: what each does to the record or tells the host.
#include "row_editor.h"

using namespace penwick;

namespace {
// Menu commands.
constexpr int ID_TYPE = 32779, ID_MARCID = 32780, ID_SCHEME = 32781, ID_LANG = 32782;
constexpr int ID_ATTRIB = 32787, ID_INSERT = 32788, ID_DELETE = 32789;
constexpr int ID_CUT = 32791, ID_COPY = 32792, ID_PASTE = 32793;
constexpr int ID_SORT = 32807, ID_CUTFIELD = 32808, ID_COPYFIELD = 32809, ID_PASTEFIELD = 32810;
constexpr int kTypeBase = 50000, kSchemeBase = 51000, kDefaultBase = 52000, kRangeEnd = 53000;

// Menu items that only tell the host, with their notification codes.
struct HostCommand {
  int id;
  int code;
};
constexpr HostCommand kHostCommands[] = {
    {32794, EDN_PINYIN}, {32795, EDN_AUTODATA}, {32796, EDN_PRINT},        {32798, EDN_FKEY},      // F2
    {32800, EDN_TEMPLATE}, {32803, EDN_VALIDATE}, {32804, EDN_SAVEWORKSHEET}, {32805, EDN_FKEY + 2},  // F4
    {32806, EDN_FKEY + 7},                                                                            // F9
};

// Ctrl+letter characters.
constexpr char16_t CH_CTRL_A = 1, CH_CTRL_B = 2, CH_CTRL_C = 3, CH_BACK = 8, CH_TAB = 9,
                   CH_CTRL_ENTER = 10, CH_CTRL_L = 12, CH_CTRL_M = 13, CH_CTRL_P = 16,
                   CH_CTRL_S = 19, CH_CTRL_T = 20, CH_CTRL_V = 22, CH_CTRL_X = 24, CH_CTRL_Y = 25,
                   CH_CTRL_Z = 26, CH_ESC = 27, CH_CTRL_BACKSLASH = 28, CH_BACKSLASH = u'\\',
                   CH_CTRL_BACK = 127;
}  // namespace

bool CRowEditor::CheckQuery(int shift) {
  return QueryEnables(NotifyParent(EDN_QUERY, caretRow, caretColumn), shift);
}

void CRowEditor::AskAndDeleteField() {
  if (!IsLeaderRow(caretRow->field->firstRow) && ConfirmDeleteField(*caretRow->field)) DeleteFieldAnswered(caretRow);
  NotifyParent(EDN_CHANGED, nullptr, 0);
}

void CRowEditor::KeyDown(int vk, bool ctrl, bool shift) {
  if (!caretRow) return;
  // A caret that scrolling moved off the screen comes back first.
  if (!IsShown(caretRow)) {
    CentreOn(caretRow);
    Repaint();
  }
  if (IsMarc() && ctrl && shift && vk >= '1' && vk <= '9') {
    const char16_t s[] = {kDelimiter, char16_t(vk)};
    InsertString(std::u16string_view(s, 2));
    NotifyParent(EDN_CARET, caretRow, caretColumn);
    NotifyParent(EDN_CHANGED, nullptr, 0);
    Repaint();
    return;
  }
  switch (vk) {
    case VK_RETURN: {
      ClearSelection();
      CFieldRow* next = caretRow->NextRow();
      PlaceCaret(next ? next : caretRow, 0);
      BringIntoView(caretRow);
      break;
    }
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
      MoveCaretKey(vk, ctrl, shift);
      break;
    case VK_INSERT:
      if (ctrl)
        EditFieldAttributes(caretRow->field->firstRow);
      else
        InsertField(caretRow);
      break;
    case VK_DELETE:
      if (ctrl) {
        AskAndDeleteField();
      } else if (HasSelection()) {
        if (DeleteSelection()) NotifyParent(EDN_CHANGED, nullptr, 0);
      } else if (shift) {
        if (IsMarc() ? DeleteSubfield() : DeleteAtCaret()) NotifyParent(EDN_CHANGED, nullptr, 0);
      } else if (IsLeaderRow(caretRow)) {
        NotifyParent(EDN_TEMPLATE, caretRow, caretColumn);
      } else if (DeleteAtCaret()) {
        NotifyParent(EDN_CHANGED, nullptr, 0);
      }
      break;
    case VK_NUMPAD0:
      if (ctrl) EditFieldAttributes(caretRow->field->firstRow);
      break;
    case VK_ADD:
      if (ctrl) DuplicateField(caretRow);
      break;
    case VK_DECIMAL:
      if (ctrl) AskAndDeleteField();
      break;
    default:
      if (vk >= VK_F2 && vk <= VK_F9) NotifyParent(EDN_FKEY + (vk - VK_F2), caretRow, caretColumn);
      break;
  }
  Repaint();
  NotifyParent(EDN_CARET, caretRow, caretColumn);
}

void CRowEditor::Char(char16_t ch, bool ctrl, bool shift) {
  if (!caretRow) return;
  if (IsMarc() && ch >= 1 && ch <= 26 && ctrl && shift) {
    const char16_t s[] = {kDelimiter, char16_t(ch + 96)};
    InsertString(std::u16string_view(s, 2));
    NotifyParent(EDN_CARET, caretRow, caretColumn);
    NotifyParent(EDN_CHANGED, nullptr, 0);
    Repaint();
    return;
  }
  switch (ch) {
    case CH_CTRL_A:
      if (CheckQuery(QUERY_AUTODATA_SHIFT)) NotifyParent(EDN_AUTODATA, caretRow, caretColumn);
      break;
    case CH_CTRL_B: SelectSubfield(caretRow, caretColumn); break;
    case CH_CTRL_C: CopyText(); break;
    case CH_BACK:
      if (ctrl) break;
      if (HasSelection()) {
        if (DeleteSelection()) NotifyParent(EDN_CHANGED, nullptr, 0);
      } else if (IsLeaderRow(caretRow)) {
        NotifyParent(EDN_TEMPLATE, caretRow, caretColumn);
      } else if (Backspace()) {
        NotifyParent(EDN_CHANGED, nullptr, 0);
      }
      break;
    case CH_TAB: MoveFocus(shift); return;
    case CH_CTRL_ENTER: case CH_ESC: break;
    case CH_CTRL_L: SortFields(); break;
    case CH_CTRL_M:
      if (ctrl && CheckQuery(QUERY_TEMPLATE_SHIFT)) NotifyParent(EDN_TEMPLATE, caretRow, caretColumn);
      break;
    case CH_CTRL_P: NotifyParent(EDN_PRINT, caretRow, caretColumn); break;
    case CH_CTRL_S: NotifyParent(EDN_PINYIN, caretRow, caretColumn); break;
    case CH_CTRL_T: NotifyParent(EDN_VALIDATE, caretRow, caretColumn); break;
    case CH_CTRL_Y: NotifyParent(EDN_SAVEWORKSHEET, caretRow, caretColumn); break;
    case CH_CTRL_V: PasteText(caretRow); break;
    case CH_CTRL_X: CutText(); break;
    case CH_CTRL_Z:
      if (CheckQuery(QUERY_DEFAULTS_SHIFT)) {
        defaultRow = caretRow;
        defaultColumn = caretColumn;
        ApplyDefaultValue(1);
      }
      break;
    case CH_CTRL_BACKSLASH: case CH_BACKSLASH: InsertCharacter(IsMarc() ? kDelimiter : CH_BACKSLASH); break;
    case CH_CTRL_BACK:
      if (DeleteRow()) NotifyParent(EDN_CHANGED, nullptr, 0);
      break;
    default:
      if (!ctrl) InsertCharacter(ch);
      break;
  }
  Repaint();
  NotifyParent(EDN_CARET, caretRow, caretColumn);
}

void CRowEditor::Chars(std::u16string_view text, bool ctrl, bool shift) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharLengthAt(text, i);
    const std::u16string_view ch = text.substr(i, n);
    i += n;
    if (n == 1) {
      if (!platform::isHighSurrogate(ch[0]) && !platform::isLowSurrogate(ch[0])) Char(ch[0], ctrl, shift);
      continue;
    }
    // A character outside the BMP is only ever typed, as any other printable one.
    if (!caretRow) return;
    if (!ctrl) InsertCharacter(ch);
    Repaint();
    NotifyParent(EDN_CARET, caretRow, caretColumn);
  }
}

void CRowEditor::Command(int id) {
  if (id > kTypeBase && id < kRangeEnd) {
    if (id == kSchemeBase || id == kDefaultBase) return;
    if (id > kDefaultBase) {
      ApplyDefaultValue(id - kDefaultBase);
    } else if (currentField) {
      if (id > kSchemeBase)
        currentField->PickScheme(id - kSchemeBase);
      else
        currentField->PickType(id - kTypeBase);
      LayoutKeepingPlaces(currentField);
      // A picked code is an edit of the record like a typed one: the host must hear of it.
      NotifyParent(EDN_CHANGED, nullptr, 0);
    }
    Repaint();
    return;
  }
  for (const HostCommand& c : kHostCommands) {
    if (c.id == id) {
      NotifyParent(c.code, contextRow, caretColumn);
      return;
    }
  }
  auto qualifier = [this](std::u16string_view name) {
    if (!currentField) return;
    ClearSelection();
    currentField->ShowQualifierRow(name);
    LayoutKeepingPlaces(currentField);
    PlaceCaret(currentField->ShowQualifierRow(name), 0);
    BringIntoView(caretRow);
  };
  switch (id) {
    case ID_TYPE: qualifier(u"Type"); break;
    case ID_MARCID: qualifier(u"MarcID"); break;
    case ID_SCHEME: qualifier(u"Scheme"); break;
    case ID_LANG: qualifier(u"Lang"); break;
    case ID_ATTRIB: if (currentField) EditFieldAttributes(currentField->firstRow); break;
    case ID_INSERT: if (currentField) InsertField(currentField->firstRow); break;
    case ID_DELETE: if (currentField) RemoveField(currentField); break;
    case ID_CUT: CutText(); break;
    case ID_COPY: CopyText(); break;
    case ID_PASTE: PasteText(contextRow ? contextRow : caretRow); break;
    case ID_SORT: SortFields(); break;
    case ID_CUTFIELD: CutField(); break;
    case ID_COPYFIELD: CopyField(); break;
    case ID_PASTEFIELD: PasteField(); break;
    default: return;
  }
  Repaint();
}
