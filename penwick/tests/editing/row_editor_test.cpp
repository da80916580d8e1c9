// The editing state without a window: caret movement, typing with the MARC rules,
// deleting, the subfield selection, the field commands and what the host is told.
#include "row_editor.h"

#include <platform/paths.h>
#include <qorvel_testing/testing.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

using namespace penwick;

namespace {

const std::u16string SF(1, kDelimiter);
const std::u16string ESC(1, kEsc);
const std::u16string LEADER = u"01234nam  2200000   4500";

struct Note {
  int code;
  EditorPosition pos;
};

// An editor 802 x 602 (8-pixel characters: 73 to a row) or a narrow one (10 to a row).
struct Editor : CRowEditor {
  std::vector<Note> notes;
  intptr_t answer = 0;
  int attributeDialogs = 0;
  bool confirm = true;

  explicit Editor(bool narrow = false) : CRowEditor(u"/host") {
    Layout().Apply(narrow ? CEditorLayout::CreateGeometry(150, 80, 0) : CEditorLayout::CreateGeometry(802, 602, 0));
  }
  intptr_t NotifyParent(int code, const CFieldRow* row, int column) override {
    notes.push_back({code, code == EDN_CHANGED ? EditorPosition{} : Document().PositionOf(row, column)});
    return answer;
  }
  void EditFieldAttributes(CFieldRow*) override { ++attributeDialogs; }
  bool ConfirmDeleteField(const CFieldItem&) override { return confirm; }

  void Load(std::initializer_list<std::pair<std::u16string, std::u16string>> fields) {
    for (const auto& [name, data] : fields) Document().AddField(name, data);
    PlaceCaret(Document().FirstRow(), 0);
  }
  // Caret by (field, subfield, offset), as SetCursorPos takes it.
  void Caret(int field, int subfield, int offset) {
    CFieldRow* row = nullptr;
    int column = 0;
    ASSERT_TRUE(Document().CursorTarget(field, subfield, offset, row, column));
    PlaceCaret(row, column);
  }
  EditorPosition CaretPos() const { return Document().PositionOf(caretRow, caretColumn); }
  std::u16string Data(int i) {
    CFieldItem* f = Document().FieldAt(i);
    f->GatherRows();
    return f->indicators + f->data;
  }
  std::vector<int> Codes() const {
    std::vector<int> c;
    for (const Note& n : notes) c.push_back(n.code);
    return c;
  }
  void Type(std::u16string_view s) {
    for (char16_t c : s) Char(c, false, false);
  }
};

void expectPos(const EditorPosition& p, int field, int subfield, int offset) {
  EXPECT_EQ(p.field, field);
  EXPECT_EQ(p.subfield, subfield);
  EXPECT_EQ(p.offset, offset);
}

TEST(Typing, MarcRules) {
  struct Case {
    const char* what;
    int subfield, offset;  // caret in field 1
    std::u16string keys;
    std::u16string data;   // field 1 afterwards (indicators first)
    EditorPosition caret;
  } cases[] = {
      {"plain text", 0, 5, u"s!", u"10" + SF + u"aTitles!" + SF + u"bSub", {1, 0, 7}},
      {"doubled backslash key gives one backslash", 0, 5, u"\\\\", u"10" + SF + u"aTitle\\" + SF + u"bSub", {1, 0, 6}},
      {"one backslash key gives a delimiter", 1, 3, u"\\c", u"10" + SF + u"aTitle" + SF + u"bSub" + SF + u"c", {1, 2, 0}},
      {"Ctrl+\\ is the delimiter key", 1, 3, u"\x1c" u"d", u"10" + SF + u"aTitle" + SF + u"bSub" + SF + u"d", {1, 2, 0}},
  };
  for (const Case& c : cases) {
    Editor e;
    e.Load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle" + SF + u"bSub"}});
    e.Caret(1, c.subfield, c.offset);
    e.Type(c.keys);
    EXPECT_EQ(e.Data(1), c.data) << c.what;
    expectPos(e.CaretPos(), c.caret.field, c.caret.subfield, c.caret.offset);
  }
}

TEST(Typing, LeaderRow) {
  struct Case {
    int column;
    std::u16string keys;
    std::u16string leader;
    int caretColumn;
    bool template_;
  } cases[] = {
      {3, u"x", LEADER, 3, true},
      {5, u"n", u"01234nam  2200000   4500", 6, false},
      {5, u"c", u"01234cam  2200000   4500", 6, false},
      {5, u"abcde", u"01234abcde2200000   4500", 5, false},
      {6, u"A", LEADER, 6, false},
      {9, u" ", LEADER, 5, false},
  };
  for (const Case& c : cases) {
    Editor e;
    e.Load({{u"000", LEADER}, {u"001", u"x"}});
    e.PlaceCaret(e.Document().FirstRow(), c.column);
    e.Type(c.keys);
    EXPECT_EQ(e.Data(0), c.leader) << c.keys.size();
    EXPECT_EQ(e.caretColumn, c.caretColumn);
    std::vector<int> codes = e.Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EDN_TEMPLATE), c.template_ ? 1 : 0);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EDN_CHANGED), 0);  // leader typing is not a change
  }
}

TEST(Typing, FullRowWrapsAndCaretFollows) {
  Editor e(true);  // ten characters to a row
  e.Load({{u"000", LEADER}, {u"500", u"  " + SF + u"a1234567"}});
  CFieldItem* f = e.Document().FieldAt(1);
  ASSERT_EQ(f->RowCount(), 1);
  e.Caret(1, 0, 7);
  e.Type(u"xyz");
  EXPECT_EQ(e.Data(1), u"  " + SF + u"a1234567xyz");
  EXPECT_EQ(f->RowCount(), 2);
  EXPECT_EQ(e.caretRow, f->firstRow->next);
  expectPos(e.CaretPos(), 1, 0, 10);
}

TEST(Caret, MovesAcrossRowsAndFields) {
  Editor e(true);
  e.Load({{u"000", LEADER}, {u"001", u"ctl"}, {u"245", u"10" + SF + u"aTitle" + SF + u"bSub"}});
  // The leader takes three rows of ten; 001 one; 245 two.
  CFieldItem* f245 = e.Document().FieldAt(2);
  struct Case {
    const char* what;
    int field, subfield, offset;
    int vk;
    bool ctrl;
    EditorPosition after;
  } cases[] = {
      {"Ctrl+Left in subfield text lands on its delimiter", 2, 1, 2, VK_LEFT, true, {2, 0, 5}},
      {"Ctrl+Left on a delimiter goes to the previous one", 2, 0, 5, VK_LEFT, true, {2, -1, 0}},
      {"Ctrl+Left without delimiters goes to column 0", 1, -1, 2, VK_LEFT, true, {1, -1, 0}},
      {"Ctrl+Right goes to the next delimiter", 2, 0, 1, VK_RIGHT, true, {2, 0, 5}},
      {"Ctrl+Right after the last delimiter goes to the end", 2, 1, 0, VK_RIGHT, true, {2, 1, 3}},
      {"Right at a field's end continues in the next field", 1, -1, 3, VK_RIGHT, false, {2, -1, 0}},
      {"Left at a field's start goes to the previous field's end", 2, -1, 0, VK_LEFT, false, {1, -1, 3}},
  };
  for (const Case& c : cases) {
    e.Caret(c.field, c.subfield, c.offset);
    e.MoveCaretKey(c.vk, c.ctrl, false);
    const EditorPosition p = e.CaretPos();
    EXPECT_TRUE(p.field == c.after.field && p.subfield == c.after.subfield && p.offset == c.after.offset)
        << c.what << ": " << p.field << "," << p.subfield << "," << p.offset;
  }
  // Right at a row's end goes on at column 0 of the field's next row.
  e.PlaceCaret(f245->firstRow, f245->firstRow->Length());
  e.MoveCaretKey(VK_RIGHT, false, false);
  EXPECT_EQ(e.caretRow, f245->firstRow->next);
  EXPECT_EQ(e.caretColumn, 0);
  // Up into the leader lands at column 5 at the least.
  e.PlaceCaret(e.Document().FieldAt(1)->firstRow, 1);
  e.MoveCaretKey(VK_UP, false, false);
  e.MoveCaretKey(VK_UP, false, false);
  e.MoveCaretKey(VK_UP, false, false);
  EXPECT_EQ(e.caretRow, e.Document().FirstRow());
  EXPECT_EQ(e.caretColumn, 5);
}

TEST(Caret, ShiftUpSelectsInRecordOrderAndHomeOpensAttributes) {
  Editor e;
  e.Load({{u"000", LEADER}, {u"100", u"  " + SF + u"aName"}, {u"245", u"10" + SF + u"aTitle"}});
  CFieldRow* r100 = e.Document().FieldAt(1)->firstRow;
  CFieldRow* r245 = e.Document().FieldAt(2)->firstRow;
  e.PlaceCaret(r245, 4);
  e.MoveCaretKey(VK_UP, false, true);
  CFieldRow *a, *b;
  int ca, cb;
  e.OrderedSelection(a, ca, b, cb);
  EXPECT_EQ(a, r100);
  EXPECT_EQ(ca, 4);
  EXPECT_EQ(b, r245);
  EXPECT_EQ(cb, 4);
  EXPECT_EQ(e.SelectedText(), u"me" + SF + u"aTi");
  // Back down onto the anchor clears it.
  e.MoveCaretKey(VK_DOWN, false, true);
  EXPECT_FALSE(e.HasSelection());

  e.PlaceCaret(r245, 3);
  e.MoveCaretKey(VK_HOME, false, false);
  EXPECT_EQ(e.caretColumn, 0);
  EXPECT_EQ(e.attributeDialogs, 0);
  e.MoveCaretKey(VK_HOME, false, false);
  EXPECT_EQ(e.attributeDialogs, 1);
}

TEST(Caret, PageKeysAndTheView) {
  Editor e;  // 27 rows on the screen, the last partly
  e.Load({{u"000", LEADER}});
  for (int i = 1; i < 60; ++i) e.Document().AddField(u"001", u"row");
  e.PlaceCaret(e.Document().FirstRow(), 0);
  e.MoveCaretKey(VK_NEXT, false, true);  // Shift: the host is told, nothing moves
  EXPECT_EQ(e.Codes(), std::vector<int>{EDN_PAGEDOWN});
  EXPECT_EQ(e.firstShownRow, 0);
  // Ctrl tells the host too, and like every caret key without Shift drops the selection.
  e.SetSelection(e.Document().RowAt(1), 0, e.Document().RowAt(1), 2);
  e.MoveCaretKey(VK_PRIOR, true, false);
  EXPECT_EQ(e.Codes(), (std::vector<int>{EDN_PAGEDOWN, EDN_PAGEUP}));
  EXPECT_FALSE(e.HasSelection());
  EXPECT_EQ(e.firstShownRow, 0);
  e.MoveCaretKey(VK_NEXT, false, false);
  EXPECT_EQ(e.firstShownRow, 26);
  EXPECT_EQ(e.Document().RowIndex(e.caretRow), 26);
  e.MoveCaretKey(VK_END, true, false);
  EXPECT_EQ(e.Document().RowIndex(e.caretRow), 59);
  EXPECT_TRUE(e.IsShown(e.caretRow));
  EXPECT_FALSE(e.IsPartlyShown(e.caretRow));
  e.MoveCaretKey(VK_HOME, true, false);
  EXPECT_EQ(e.firstShownRow, 0);
  EXPECT_EQ(e.caretRow, e.Document().FirstRow());
}

TEST(SubfieldSelection, CtrlBAlternatesAndShiftDeleteDeletes) {
  Editor e;
  e.Load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle" + SF + u"bSub"}});
  e.Caret(1, 0, 2);
  const std::u16string expected[] = {u"Title", SF + u"aTitle", u"Title"};
  for (const std::u16string& text : expected) {
    e.Char(2, true, false);  // Ctrl+B
    EXPECT_EQ(e.SelectedText(), text);
  }
  e.ClearSelection();
  e.Caret(1, 1, 1);
  e.KeyDown(VK_DELETE, false, true);
  EXPECT_EQ(e.Data(1), u"10" + SF + u"aTitle");
  EXPECT_EQ(e.Codes().back(), EDN_CARET);
  const std::vector<int> codes = e.Codes();  // one copy: its iterators must belong together
  EXPECT_NE(std::find(codes.begin(), codes.end(), EDN_CHANGED), codes.end());
}

TEST(Deleting, RowsSelectionsAndTheLeader) {
  Editor e;
  e.Load({{u"000", LEADER}, {u"001", u"abc"}, {u"100", u"  " + SF + u"aName"}, {u"245", u"10" + SF + u"aTitle"}});
  // Backspace at column 0 of a field's first row does nothing; in the leader it asks for a template.
  e.Caret(2, -1, 0);
  e.Char(8, false, false);
  EXPECT_EQ(e.Data(2), u"  " + SF + u"aName");
  e.PlaceCaret(e.Document().FirstRow(), 7);
  e.notes.clear();
  e.Char(8, false, false);
  e.KeyDown(VK_DELETE, false, false);
  EXPECT_EQ(e.Codes(), (std::vector<int>{EDN_TEMPLATE, EDN_CARET, EDN_TEMPLATE, EDN_CARET}));
  // Ctrl+Backspace: never the leader; the only row of a field takes the field with it.
  e.Char(127, true, false);
  EXPECT_EQ(e.Document().FieldCount(), 4);
  e.Caret(1, -1, 1);
  e.Char(127, true, false);
  EXPECT_EQ(e.Document().FieldCount(), 3);
  EXPECT_EQ(e.Document().FieldAt(1)->name, u"100");
  // A selection across fields: the start field takes over the rest of the end field.
  e.Caret(1, 0, 2);  // 100 $aNa|me
  CFieldRow* start = e.caretRow;
  const int startColumn = e.caretColumn;
  e.Caret(2, 0, 3);  // 245 $aTit|le
  e.SetSelection(e.caretRow, e.caretColumn, start, startColumn);
  e.KeyDown(VK_DELETE, false, false);
  EXPECT_EQ(e.Document().FieldCount(), 2);
  EXPECT_EQ(e.Data(1), u"  " + SF + u"aNale");
  expectPos(e.CaretPos(), 1, 0, 2);
  // A selection that touches the leader is neither deleted nor typed over.
  e.SetSelection(e.Document().FirstRow(), 2, e.Document().FieldAt(1)->firstRow, 3);
  e.Char(u'q', false, false);
  EXPECT_EQ(e.Data(0), LEADER);
  EXPECT_EQ(e.Data(1), u"  " + SF + u"aNale");
}

// In a narrow window the leader wraps (10 characters to a row); none of its rows takes or
// loses text, its editable columns still count through the whole leader, and the caret
// still passes down through it.
TEST(Deleting, AWrappedLeaderStaysWhole) {
  Editor e(true);
  e.Load({{u"000", LEADER}, {u"001", u"x"}, {u"500", u"  " + SF + u"aabc"}});
  CFieldItem* leader = e.Document().FirstField();
  ASSERT_EQ(leader->RowCount(), 3);
  CFieldRow* second = leader->firstRow->next;
  e.SetClipboard(u"zz");
  for (int i = 0; i < 5; ++i) {
    e.PlaceCaret(second, 2);
    e.notes.clear();
    switch (i) {
      case 0: e.Char(127, true, false); break;  // Ctrl+Backspace
      case 1: e.Char(u'x', false, false); break;
      case 2: e.Char(22, true, false); break;  // Ctrl+V
      case 3: e.KeyDown(VK_DELETE, false, false); break;
      case 4: e.Char(8, false, false); break;
    }
    EXPECT_EQ(e.Data(0), LEADER) << i;
    const std::vector<int> codes = e.Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EDN_CHANGED), 0) << i;
  }
  // Typing over a selection that reaches into the leader deletes nothing.
  e.SetSelection(second, 1, e.Document().FieldAt(2)->firstRow, 2);
  e.PlaceCaret(e.Document().FieldAt(2)->firstRow, 2);
  e.Char(u'q', false, false);
  EXPECT_EQ(e.Data(0), LEADER);
  EXPECT_EQ(e.Data(2), u"  " + SF + u"aabc");
  // Column 9 of the first row is the last editable one: the caret goes back to 5.
  e.PlaceCaret(leader->firstRow, 9);
  e.Char(u'z', false, false);
  EXPECT_EQ(e.Data(0), u"01234nam z2200000   4500");
  EXPECT_EQ(e.caretRow, leader->firstRow);
  EXPECT_EQ(e.caretColumn, 5);
  // Down walks through the leader's rows into the next field.
  for (int i = 0; i < 3; ++i) e.MoveCaretKey(VK_DOWN, false, false);
  EXPECT_EQ(e.caretRow, e.Document().FieldAt(1)->firstRow);
}

TEST(Fields, SortDeleteDuplicateAndTheFieldClipboard) {
  Editor e;
  e.Load({{u"000", LEADER}, {u"300", u"  " + SF + u"a3"}, {u"100", u"  " + SF + u"a1"}, {u"200", u"  " + SF + u"a2"}});
  e.Char(12, true, false);  // Ctrl+L
  auto names = [&] {
    std::u16string s;
    for (CFieldItem* f = e.Document().FirstField(); f; f = f->next) s += f->name + u" ";
    return s;
  };
  EXPECT_EQ(names(), u"000 100 200 300 ");

  // Copy 200 and paste it after 100.
  e.currentField = e.Document().FieldAt(2);
  e.CopyField();
  std::u16string clip;
  e.GetClipboard(clip);
  EXPECT_EQ(clip, std::u16string(1, kFieldEnd) + u"200  " + SF + u"a2");
  e.currentField = e.Document().FieldAt(1);
  e.PasteField();
  EXPECT_EQ(names(), u"000 100 200 200 300 ");
  // Text that is not a field clipboard text pastes nothing.
  e.SetClipboard(u"245" + SF + u"ax");
  e.PasteField();
  EXPECT_EQ(names(), u"000 100 200 200 300 ");

  e.Caret(4, 0, 0);
  e.KeyDown(VK_ADD, true, false);  // Ctrl+numeric-pad +
  EXPECT_EQ(names(), u"000 100 200 200 300 300 ");
  e.confirm = false;
  e.KeyDown(VK_DECIMAL, true, false);
  EXPECT_EQ(names(), u"000 100 200 200 300 300 ");
  e.confirm = true;
  e.KeyDown(VK_DELETE, true, false);
  EXPECT_EQ(names(), u"000 100 200 200 300 ");
  e.currentField = e.Document().FirstField();
  e.CutField();  // never the leader
  EXPECT_EQ(names(), u"000 100 200 200 300 ");

  Editor dc;
  dc.Document().SetFormat(FORMAT_DC);
  dc.Load({{u"title", u"B"}, {u"creator", u"A"}});
  dc.SortFields();
  EXPECT_EQ(dc.Document().FirstField()->name, u"title");
}

TEST(Clipboard, TextRoundTripAndPasteStripsControls) {
  Editor e;
  e.Load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}, {u"500", u"  " + SF + u"a"}});
  e.Caret(1, 0, 0);
  CFieldRow* row = e.caretRow;
  e.SetSelection(row, e.caretColumn, row, e.caretColumn + 3);
  e.Char(24, true, false);  // Ctrl+X
  EXPECT_EQ(e.Data(1), u"10" + SF + u"ale");
  e.Caret(2, 0, 0);
  e.Char(22, true, false);  // Ctrl+V
  EXPECT_EQ(e.Data(2), u"  " + SF + u"aTit");
  e.SetClipboard(u"a\tb\r\nc" + SF + u"d");
  e.Char(22, true, false);
  EXPECT_EQ(e.Data(2), u"  " + SF + u"aTitabc" + SF + u"d");
}

// Pasting over a selection deletes it even when the clipboard has nothing to give; the
// host must still hear of that change.
TEST(Clipboard, PasteOverASelectionWithAnEmptyClipboardIsAChange) {
  struct NoClipboard : Editor {
    bool GetClipboard(std::u16string&) const override { return false; }
  } e;
  e.Load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}});
  e.Caret(1, 0, 0);
  e.SetSelection(e.caretRow, e.caretColumn, e.caretRow, e.caretColumn + 3);
  e.Char(22, true, false);  // Ctrl+V
  EXPECT_EQ(e.Data(1), u"10" + SF + u"ale");
  EXPECT_EQ(e.Codes(), (std::vector<int>{EDN_CHANGED, EDN_CARET}));
}

TEST(Notifications, KeysAndTheAvailabilityQuestion) {
  struct Case {
    const char* what;
    intptr_t answer;
    char16_t ch;
    std::vector<int> codes;
  } cases[] = {
      {"Ctrl+A enabled", 0xFFFF00, 1, {EDN_QUERY, EDN_AUTODATA, EDN_CARET}},
      {"Ctrl+A byte must be 0xFF", 0xFE00, 1, {EDN_QUERY, EDN_CARET}},
      {"Ctrl+M enabled", 0xFF0000, 13, {EDN_QUERY, EDN_TEMPLATE, EDN_CARET}},
      {"Ctrl+M off", 0xFFFF, 13, {EDN_QUERY, EDN_CARET}},
      {"Ctrl+P", 0, 16, {EDN_PRINT, EDN_CARET}},
      {"Ctrl+S", 0, 19, {EDN_PINYIN, EDN_CARET}},
      {"Ctrl+T", 0, 20, {EDN_VALIDATE, EDN_CARET}},
      {"Ctrl+Y", 0, 25, {EDN_SAVEWORKSHEET, EDN_CARET}},
  };
  for (const Case& c : cases) {
    Editor e;
    e.Load({{u"000", LEADER}, {u"100", u"  " + SF + u"aName"}, {u"245", u"10" + SF + u"aTitle"}});
    e.answer = c.answer;
    e.Caret(2, 0, 0);
    e.Char(c.ch, true, false);
    EXPECT_EQ(e.Codes(), c.codes) << c.what;
    expectPos(e.notes.front().pos, 2, 0, 0);
  }
  Editor e;
  e.Load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}});
  e.KeyDown(VK_F1, false, false);
  e.KeyDown(VK_F2, false, false);
  e.KeyDown(VK_F9, false, false);
  e.KeyDown(VK_F10, false, false);
  // F2 ... F9 tell the host their virtual-key codes: EDN_FKEY (113) ... EDN_FKEY + 7 (120).
  EXPECT_EQ(e.Codes(), (std::vector<int>{EDN_CARET, 113, EDN_CARET, 120, EDN_CARET, EDN_CARET}));
  EXPECT_EQ(EDN_FKEY, 113);
  // In the leader the subfield index is -1 and the offset the column.
  e.PlaceCaret(e.Document().FirstRow(), 6);
  expectPos(e.CaretPos(), 0, -1, 6);
  e.Caret(1, 0, 1);
  expectPos(e.CaretPos(), 1, 0, 1);
}

TEST(Typing, CtrlShiftInsertsDelimiters) {
  struct Case {
    int format;
    int vk;
    char16_t ch;
    std::u16string data;  // field 1 after the key, or selection text in Dublin Core mode
  } cases[] = {
      {FORMAT_MARC, '7', 0, u"  " + SF + u"aX" + SF + u"7"},
      {FORMAT_MARC, '0', 0, u"  " + SF + u"aX"},
      {FORMAT_MARC, 'B', 2, u"  " + SF + u"aX" + SF + u"b"},
  };
  for (const Case& c : cases) {
    Editor e;
    e.Load({{u"000", LEADER}, {u"500", u"  " + SF + u"aX"}});
    e.Caret(1, 0, 1);
    e.KeyDown(c.vk, true, true);
    if (c.ch) e.Char(c.ch, true, true);
    EXPECT_EQ(e.Data(1), c.data);
  }
  // Dublin Core: Ctrl+Shift+B is Ctrl+B, selecting from column 1 of the element to its end.
  Editor dc;
  dc.Document().SetFormat(FORMAT_DC);
  dc.Load({{u"title", u"Report"}});
  dc.PlaceCaret(dc.Document().FirstRow(), 3);
  dc.Char(2, true, true);
  EXPECT_EQ(dc.SelectedText(), u"eport");
  EXPECT_EQ(dc.Data(0), u"Report");
}

TEST(DublinCore, QualifierRowsBackspaceAndCommands) {
  Editor e;
  e.Document().SetFormat(FORMAT_DC);
  e.Load({{u"title", u"Report" + ESC + u"Type::=M"}});
  CFieldItem* f = e.Document().FirstField();
  e.currentField = f;
  e.Command(32782);  // Lang
  EXPECT_EQ(f->RowCount(), 3);
  EXPECT_EQ(e.caretRow->label, u"Lang");
  e.Type(u"chi");
  EXPECT_EQ(e.Data(0), u"Report" + ESC + u"Type::=M" + ESC + u"Lang::=chi");
  // Backspace in the one-character Type row empties it; again at column 0 removes the qualifier.
  e.PlaceCaret(f->firstRow->next, 1);
  e.Char(8, false, false);
  EXPECT_EQ(e.Data(0), u"Report" + ESC + u"Type::=" + ESC + u"Lang::=chi");
  e.Char(8, false, false);
  EXPECT_EQ(e.Data(0), u"Report" + ESC + u"Lang::=chi");
}

// Deleting the only element empties it, whichever row the caret was on and whatever was
// typed there last (an edited qualifier row must not come back as data).
TEST(DublinCore, DeletingTheOnlyElementEmptiesIt) {
  for (const bool ask : {true, false}) {
    Editor e;
    e.Document().SetFormat(FORMAT_DC);
    e.Load({{u"title", u"Report" + ESC + u"Type::=Main" + ESC + u"Lang::=chi"}});
    CFieldItem* f = e.Document().FirstField();
    e.currentField = f;
    e.Command(32779);  // shows the qualifier rows; the caret goes into Type
    ASSERT_EQ(f->RowCount(), 3);
    e.PlaceCaret(f->firstRow->next->next, 3);
    e.Type(u"x");
    e.SetSelection(f->firstRow->next, 1, f->firstRow->next->next, 2);
    if (ask)
      e.KeyDown(VK_DELETE, true, false);  // Ctrl+Delete, answered Yes
    else
      e.Command(32789);
    EXPECT_EQ(e.Data(0), u"") << ask;
    EXPECT_EQ(f->RowCount(), 1);
    EXPECT_EQ(e.caretRow, f->firstRow);
    EXPECT_EQ(e.caretColumn, 0);
    EXPECT_FALSE(e.HasSelection());
  }
}

}  // namespace

namespace {

// Deleting a selection from an element's value into its first qualifier keeps the
// qualifiers after it as qualifiers (the value does not swallow them).
TEST(DublinCore, DeletingASelectionKeepsLaterQualifiers) {
  Editor e;
  e.Document().SetFormat(FORMAT_DC);
  e.Load({{u"title", u"Report" + ESC + u"Type::=Main" + ESC + u"Lang::=chi"}});
  CFieldItem* f = e.Document().FirstField();
  f->ToggleQualifiers();
  e.LayoutKeepingPlaces();
  ASSERT_EQ(f->RowCount(), 3);
  e.SetSelection(f->firstRow, 3, f->firstRow->next, 2);
  ASSERT_NE(e.DeleteSelection(), nullptr);
  EXPECT_EQ(e.Data(0), u"Repin" + ESC + u"Lang::=chi");
  EXPECT_EQ(e.caretRow, f->firstRow);
  EXPECT_EQ(e.caretColumn, 3);
}

}  // namespace

namespace {

// A code picked from the Type menu of a qualifier row changes the record like typing does.
TEST(DublinCore, PickingATypeIsAChange) {
  qtest::TempDir dir;
  std::ofstream(dir / "dctips.ini") << "[title.Type]\n1=Main\n2=Alternative\n";
  Editor e;
  e.Document().SetFormat(FORMAT_DC);
  e.Document().SetProperty(platform::pathToWide((dir / "dctips.ini").string()));
  e.Load({{u"title", u"Report" + ESC + u"Type::=Main"}});
  e.currentField = e.Document().FirstField();
  e.Command(32779);
  e.notes.clear();
  e.Command(50002);
  EXPECT_EQ(e.Data(0), u"Report" + ESC + u"Type::=Alternative");
  EXPECT_EQ(e.Codes(), std::vector<int>{EDN_CHANGED});
}

// Ctrl+Z: with the host's byte 0 at 0xFF the subfield's content becomes the default; a
// script source is handed to the host instead (sent, not posted).
TEST(Defaults, CtrlZReplacesTheSubfieldOrAsksTheHost) {
  qtest::TempDir dir;
  std::ofstream(dir / "def.xml") << "<root><default><e field=\"245$a\" value=\"New\"><c name=\"n\" value=\"Two\"/>"
                                    "</e></default></root>";
  struct Case {
    std::string source;
    intptr_t answer;
    int item;  // 0: Ctrl+Z, else the submenu item
    std::u16string data;
    std::vector<int> codes;
  } cases[] = {
      {"def.xml", 0xFF, 0, u"10" + SF + u"aNew" + SF + u"bSub",
       {EDN_QUERY, EDN_CHANGED, EDN_CARET, EDN_CARET}},
      {"def.xml", 0xFE, 0, u"10" + SF + u"aOld" + SF + u"bSub", {EDN_QUERY, EDN_CARET}},
      {"def.xml", 0, 2, u"10" + SF + u"aTwo" + SF + u"bSub", {EDN_CHANGED, EDN_CARET}},
      {"Fill.JS", 0xFF, 0, u"10" + SF + u"aOld" + SF + u"bSub", {EDN_QUERY, EDN_DEFAULTSCRIPT, EDN_CARET}},
  };
  for (const Case& c : cases) {
    Editor e;
    e.Load({{u"000", LEADER}, {u"245", u"10" + SF + u"aOld" + SF + u"bSub"}});
    e.Document().SetCtrlZMenu(platform::pathToWide((dir / c.source).string()), u"245$a");
    e.answer = c.answer;
    e.Caret(1, 0, 1);
    if (c.item) {
      e.defaultRow = e.caretRow;
      e.defaultColumn = e.caretColumn;
      e.Command(52000 + c.item);
    } else {
      e.Char(26, true, false);
    }
    EXPECT_EQ(e.Data(1), c.data) << c.source;
    EXPECT_EQ(e.Codes(), c.codes) << c.source;
  }
}

}  // namespace

namespace {

// The row index (row numbers and rows by number, in O(log n)) agrees with a walk through
// the record after every kind of edit that adds or removes rows or fields.
TEST(RowIndex, AgreesWithAWalkAfterEdits) {
  Editor e(true);  // ten characters to a row: edits add and remove rows
  e.Load({{u"000", LEADER}, {u"001", u"12345"}, {u"200", u"10" + SF + u"aTitle of the book" + SF + u"eSub"},
          {u"300", u"  " + SF + u"aA note that runs over several rows of ten"}, {u"500", u"  " + SF + u"aX"}});
  auto check = [&](const char* what) {
    int n = 0, fieldIndex = 0;
    for (CFieldItem* f = e.Document().FirstField(); f; f = f->next, ++fieldIndex) {
      ASSERT_EQ(e.Document().FieldAt(fieldIndex), f) << what;
      ASSERT_EQ(e.Document().IndexOf(f), fieldIndex) << what;
      for (CFieldRow* r = f->firstRow; r; r = r->next, ++n) {
        ASSERT_EQ(e.Document().RowIndex(r), n) << what;
        ASSERT_EQ(e.Document().RowAt(n), r) << what;
      }
    }
    EXPECT_EQ(e.Document().TotalRows(), n) << what;
    EXPECT_EQ(e.Document().RowAt(n), nullptr) << what;
    EXPECT_EQ(e.Document().FieldCount(), fieldIndex) << what;
  };
  check("loaded");
  e.Caret(3, 0, 5);
  e.InsertString(u"inserted text that wraps");
  check("inserted");
  e.Caret(3, 0, 2);
  for (int i = 0; i < 25; ++i) e.KeyDown(VK_DELETE, false, false);
  check("deleted");
  e.Caret(3, 0, 8);
  e.DeleteRow();
  check("row deleted");
  e.SetSelection(e.Document().FieldAt(2)->firstRow, 3, e.Document().FieldAt(3)->LastRow(), 1);
  e.DeleteSelection();
  check("selection across fields deleted");
  e.InsertFieldAfter(e.Document().FieldAt(1), u"101", u"0 " + SF + u"achi");
  check("field inserted");
  e.SortFields();
  check("sorted");
  e.RemoveField(e.Document().FieldAt(2));
  check("field removed");
}

}  // namespace
