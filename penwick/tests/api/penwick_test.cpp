// The exported interface, with the editor window made offscreen in a host widget.
#include <penwick/Penwick.h>

#include "editor_window.h"

#include <platform/codepage.h>
#include <platform/text.h>
#include <ui/clipboard.h>
#include <ui/handles.h>
#include <ui/messages.h>

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace penwick;

namespace {

const std::u16string SF(1, kDelimiter);
const std::u16string LEADER = u"01234nam  2200000   4500";

struct Message {
  uint32_t message;
  ui::WPARAM wParam;
  ui::LPARAM lParam;
};

struct Api : ::testing::Test {
  QWidget host;
  CPenwick editor;
  std::vector<Message> received;
  ui::LRESULT queryAnswer = 0;

  Api() {
    host.resize(900, 700);
    ui::onMessages(&host, [this](uint32_t m, ui::WPARAM w, ui::LPARAM l) -> ui::LRESULT {
      received.push_back({m, w, l});
      return queryAnswer;
    });
  }
  void create(int w = 802, int h = 602) { ASSERT_NE(editor.CreateEditor(&host, 10, 45, w, h), 0); }
  std::u16string text() {
    std::vector<char16_t> buf(128000);
    int32_t length = int32_t(buf.size());
    EXPECT_EQ(editor.GetText(buf.data(), length, -1), 1);
    return length < 0 ? u"<too small>" : std::u16string(buf.data(), size_t(length));
  }
  void setText(const std::u16string& t) { EXPECT_EQ(editor.SetText(t.data(), int32_t(t.size()), -1), 1); }
  std::u16string record() {
    return u"<marc><header>01234nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header><field name=\"001\">123</field>"
           u"<field name=\"245\" indicator=\"10\"><sf name=\"a\">Title</sf><sf name=\"b\">Sub</sf></field></marc>";
  }
  void drain() { QApplication::processEvents(); }
};

TEST_F(Api, CreateEditorNeedsAParent) {
  EXPECT_EQ(editor.CreateEditor(nullptr, 0, 0, 100, 100), 0);
  EXPECT_EQ(editor.m_pEditor, nullptr);
  create(150, 80);
  ASSERT_NE(editor.m_pEditor, nullptr);
  EXPECT_EQ(PenwickWidget(editor.m_pEditor)->parentWidget(), &host);
  EXPECT_EQ(editor.m_pEditor->Layout().tagWidth, 100);
  EXPECT_EQ(editor.m_pEditor->Layout().textWidth, 182);
  EXPECT_EQ(editor.CreateEditor(&host, 0, 0, 100, 100), 0);  // once per handle
}

TEST_F(Api, CallsWithoutAWindowDoNothing) {
  int32_t length = 10, format = 7, width = 7;
  char16_t buf[10];
  EXPECT_EQ(editor.SetText(u"x", 1, -1), 0);
  EXPECT_EQ(editor.GetText(buf, length, -1), 0);
  EXPECT_EQ(editor.AddField(u"001", u"x"), 0);
  EXPECT_EQ(editor.SetCursorPos(0, 0, 0), 0);
  editor.GetFormat(format, width);
  EXPECT_EQ(format, 7);
}

TEST_F(Api, TextRoundTripsAndLeaderOnlyRecord) {
  create();
  setText(record());
  EXPECT_EQ(text(), record());
  EXPECT_EQ(editor.m_pEditor->Document().FieldCount(), 3);

  CPenwick other;
  ASSERT_NE(other.CreateEditor(&host, 0, 0, 400, 300), 0);
  EXPECT_EQ(other.AddField(u"000", LEADER.c_str()), 1);
  std::vector<char16_t> buf(100);
  int32_t length = 100;
  other.GetText(buf.data(), length, -1);
  EXPECT_EQ(length, 54);
  EXPECT_EQ(std::u16string(buf.data()), u"<marc><header>01234nam\x11\x11" u"2200000\x11\x11\x11" u"4500</header></marc>");
}

TEST_F(Api, GetTextBufferSizes) {
  create();
  setText(record());
  const std::u16string full = record();
  struct Case {
    int32_t codePage, capacity, length;
  } cases[] = {
      {0, 10, -1},
      {65001, int32_t(full.size()), -1},  // the NUL needs a byte too
      {65001, int32_t(full.size()) + 1, int32_t(full.size())},
      {-1, 10, -1},
      {-1, int32_t(full.size()), -1},
      {-1, int32_t(full.size()) + 1, int32_t(full.size())},
      {-1, 0, -1},
  };
  for (const Case& c : cases) {
    std::vector<char16_t> buf(size_t(c.capacity) + 8, u'#');
    int32_t length = c.capacity;
    EXPECT_EQ(editor.GetText(buf.data(), length, c.codePage), 1);
    EXPECT_EQ(length, c.length) << c.codePage << " " << c.capacity;
    // Nothing is written past the capacity.
    const char* bytes = reinterpret_cast<const char*>(buf.data());
    size_t limit = c.codePage == -1 ? size_t(c.capacity) * 2 : size_t(c.capacity);
    for (size_t i = limit; i < buf.size() * 2; ++i) ASSERT_EQ(bytes[i], '#' * (i % 2 == 0)) << i;
  }
}

TEST_F(Api, SetTextInCodePages) {
  create();
  const std::u16string rec =
      u"<marc><header>" + std::u16string(24, u'0') + u"</header><field name=\"200\" indicator=\"1\x11\"><sf name=\"a\">题名</sf></field></marc>";
  for (int cp : {0, 65001}) {
    std::string bytes = platform::toNarrow(cp, rec);
    EXPECT_EQ(editor.SetText(bytes.data(), int32_t(bytes.size()), cp), 1);
    EXPECT_EQ(text(), rec) << cp;
  }
  // A length of -1 reads up to the NUL; a NUL inside the length ends the text.
  EXPECT_EQ(editor.SetText(rec.c_str(), -1, -1), 1);
  EXPECT_EQ(text(), rec);
  std::u16string withNul = rec + u'\0' + u"<marc>junk";
  EXPECT_EQ(editor.SetText(withNul.data(), int32_t(withNul.size()), -1), 1);
  EXPECT_EQ(text(), rec);
  EXPECT_EQ(editor.SetText(nullptr, 10, -1), 1);
  EXPECT_EQ(editor.m_pEditor->Document().FieldCount(), 0);
}

TEST_F(Api, DublinCoreTextInMarcModeLeavesAnEmptyRecord) {
  create();
  setText(record());
  setText(u"<rdf:RDF><rdf:Description><dc:title>T</dc:title></rdf:Description></rdf:RDF>");
  EXPECT_EQ(editor.m_pEditor->Document().FieldCount(), 0);
  EXPECT_EQ(text(), u"");
  editor.SetFormat(1, 0);
  setText(u"<rdf:RDF><rdf:Description><dc:title>T</dc:title></rdf:Description></rdf:RDF>");
  EXPECT_EQ(editor.m_pEditor->Document().FieldCount(), 1);
  EXPECT_NE(text().find(u"<dc:title>T</dc:title>"), std::u16string::npos);
}

TEST_F(Api, SetCursorPosAndTheCaretAcrossSetText) {
  create();
  EXPECT_EQ(editor.SetCursorPos(0, -1, 0), 0);  // empty record
  setText(record());
  CEditorWnd* w = editor.m_pEditor;
  EXPECT_EQ(editor.SetCursorPos(0, -1, 5), 1);
  EXPECT_EQ(w->caretRow, w->Document().FirstRow());
  EXPECT_EQ(w->caretColumn, 5);
  EXPECT_EQ(editor.SetCursorPos(2, 1, 1), 1);
  EXPECT_EQ(w->CaretPosition().field, 2);
  EXPECT_EQ(w->CaretPosition().subfield, 1);
  EXPECT_EQ(w->CaretPosition().offset, 1);
  // A record of the same shape keeps the caret where it was.
  setText(record());
  EXPECT_EQ(w->CaretPosition().field, 2);
  EXPECT_EQ(w->CaretPosition().subfield, 1);
  EXPECT_EQ(w->CaretPosition().offset, 1);
  // Beyond the last item: the last item.
  CPenwick two;
  ASSERT_NE(two.CreateEditor(&host, 0, 0, 400, 300), 0);
  two.AddField(u"000", LEADER.c_str());
  two.AddField(u"001", u"x");
  EXPECT_EQ(two.SetCursorPos(3, 0, 0), 1);
  EXPECT_EQ(two.m_pEditor->caretRow, two.m_pEditor->Document().FieldAt(1)->firstRow);
}

TEST_F(Api, GetSelectedTextCutsToCapacity) {
  create();
  editor.AddField(u"000", LEADER.c_str());
  CEditorWnd* w = editor.m_pEditor;
  char16_t buf[16];
  int32_t capacity = 4;
  EXPECT_EQ(editor.GetSelectedText(buf, capacity), 0);
  w->selStartRow = w->selEndRow = w->Document().FirstRow();
  w->selStartColumn = 12;  // the selection is kept from anchor to moving end
  w->selEndColumn = 2;
  EXPECT_EQ(editor.GetSelectedText(buf, capacity), 1);
  EXPECT_EQ(std::u16string(buf), u"234");
  EXPECT_EQ(capacity, 4);
  capacity = 16;
  EXPECT_EQ(editor.GetSelectedText(buf, capacity), 1);
  EXPECT_EQ(std::u16string(buf), u"234nam  22");
  capacity = 0;
  EXPECT_EQ(editor.GetSelectedText(buf, capacity), 0);
}

TEST_F(Api, FormatPropertyAndFont) {
  create();
  int32_t format = -1, width = -1;
  editor.GetFormat(format, width);
  EXPECT_EQ(format, 0);
  EXPECT_EQ(width, 0);
  editor.SetProperty(u"DEFSHEET::=/x.xml");
  editor.SetProperty(u"tips::=/y.ini");
  CEditorDocument& doc = editor.m_pEditor->Document();
  EXPECT_EQ(doc.FieldDefinitionPath(), u"/x.xml");
  EXPECT_EQ(doc.PropertyIniPath(), u"/y.ini");
  editor.SetFormat(1, 150);
  editor.GetFormat(format, width);
  EXPECT_EQ(format, 1);
  EXPECT_EQ(width, 150);
  EXPECT_EQ(editor.m_pEditor->Layout().tagWidth, 150);
  EXPECT_EQ(doc.PropertyIniPath().substr(doc.PropertyIniPath().size() - 11), u"/dctips.ini");

  LOGFONTW font;
  int32_t colour = -1;
  editor.GetFont(&font, colour);
  EXPECT_EQ(std::u16string(font.lfFaceName), u"宋体");
  EXPECT_EQ(colour, 0);
  LOGFONTW big = font;
  big.lfHeight = -32;
  EXPECT_EQ(editor.SetFont(&big, 0xFF), 0);  // no rows yet; the font is kept all the same
  editor.GetFont(&font, colour);
  EXPECT_EQ(font.lfHeight, -32);
  EXPECT_EQ(colour, 0xFF);
  editor.AddField(u"title", u"T");
  EXPECT_EQ(editor.SetFont(&big, 0xFF), 1);
}

TEST_F(Api, ResizeKeepsTheOldTagWidthForGetFormat) {
  create(402, 302);
  int32_t before = editor.m_pEditor->Layout().tagWidth;
  RECT r{0, 0, 802, 602};  // a client area of 800 x 600
  EXPECT_EQ(editor.MoveWindow(&r), 1);
  int32_t format = 0, width = 0;
  editor.GetFormat(format, width);
  EXPECT_EQ(width, before);
  EXPECT_EQ(editor.m_pEditor->Layout().tagWidth, 782 * 7 / 24);
  // Showing the window later brings no second size change.
  host.show();
  drain();
  editor.GetFormat(format, width);
  EXPECT_EQ(width, before);
}

TEST_F(Api, NotificationsReachTheParent) {
  create();
  setText(record());
  CEditorWnd* w = editor.m_pEditor;
  CFieldRow* row = w->Document().FieldAt(2)->firstRow;
  received.clear();
  queryAnswer = 0xFFFF00;
  EXPECT_EQ(w->NotifyParent(EDN_QUERY, row, 2), 0xFFFF00);  // sent: answered at once
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, WM_EDITORNOTIFY);
  EXPECT_EQ(received[0].wParam, 0x110002u);
  EXPECT_EQ(received[0].lParam, 0);
  w->NotifyParent(EDN_PRINT, row, 3);
  w->NotifyParent(EDN_CHANGED, row, 3);
  EXPECT_EQ(received.size(), 1u);  // posted ones come later
  drain();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[1].wParam, 0x100002u);
  EXPECT_EQ(received[1].lParam, 1);
  EXPECT_EQ(received[2].wParam, 0xE0000u);
  EXPECT_EQ(received[2].lParam, 0);
}

TEST_F(Api, PasteMessageNamingTheEditorReplacesTheRecord) {
  create();
  setText(record());
  ui::setClipboardText(ui::qs(u"<marc><header>" + std::u16string(24, u'9') + u"</header></marc>"));
  ui::sendMessage(editor.m_pEditor, ui::WM_PASTE, 0, 0);
  EXPECT_EQ(editor.m_pEditor->Document().FieldCount(), 3);
  ui::sendMessage(editor.m_pEditor, ui::WM_PASTE, 0, ui::LPARAM(ui::handleOf(editor.m_pEditor)));
  EXPECT_EQ(editor.m_pEditor->Document().FieldCount(), 1);
  EXPECT_EQ(editor.m_pEditor->caretRow, editor.m_pEditor->Document().FirstRow());
}

TEST(ApiOwnership, CopiesShareTheWindowAndOnlyTheCreatorDeletesIt) {
  QWidget host;
  auto* owner = new CPenwick;
  ASSERT_NE(owner->CreateEditor(&host, 0, 0, 400, 300), 0);
  {
    CPenwick copy(*owner);
    CPenwickA other;
    EXPECT_EQ(copy.m_pEditor, owner->m_pEditor);
    copy.AddField(u"000", LEADER.c_str());
  }
  EXPECT_EQ(owner->m_pEditor->Document().FieldCount(), 1);  // the copy left it alone
  delete owner;
  EXPECT_TRUE(host.findChildren<CEditorWnd*>().isEmpty());

  // A parent that goes first takes the window with it; the handle then has nothing to delete.
  auto* parent = new QWidget;
  CPenwickA late;
  ASSERT_NE(late.CreateEditor(parent, 0, 0, 400, 300), 0);
  delete parent;
}

TEST(ApiA, NarrowInterfaceConvertsWithTheAnsiCodePage) {
  QWidget host;
  CPenwickA editor;
  ASSERT_NE(editor.CreateEditor(&host, 0, 0, 600, 400), 0);
  std::string leader(24, '0');
  editor.AddField("000", leader.c_str());
  std::string data = "10" + std::string(1, '\x1F') + "a" + platform::toNarrow(0, u"题名");
  editor.AddField("200", data.c_str());
  std::string big(3000, 'x');
  editor.AddField("300", ("  " + big).c_str());
  CEditorDocument& doc = editor.m_pEditor->Document();
  EXPECT_EQ(doc.FieldAt(1)->data, SF + u"a题名");
  EXPECT_EQ(doc.FieldAt(2)->data.size(), 1021u);  // data is kept to 1023 units, indicators included

  LOGFONTA font;
  font.lfHeight = -20;
  font.lfWeight = 700;
  std::string face = platform::toNarrow(0, u"楷体");
  std::memcpy(font.lfFaceName, face.c_str(), face.size() + 1);
  editor.SetFont(&font, 0x123456);
  LOGFONTA back;
  int32_t colour = 0;
  editor.GetFont(&back, colour);
  EXPECT_EQ(back.lfHeight, -20);
  EXPECT_EQ(back.lfWeight, 700);
  EXPECT_EQ(std::string(back.lfFaceName), face);
  EXPECT_EQ(colour, 0x123456);

  // A face name without its terminator is read to the 32 bytes the structure holds.
  std::memset(font.lfFaceName, 'F', sizeof font.lfFaceName);
  editor.SetFont(&font, 0);
  editor.GetFont(&back, colour);
  EXPECT_EQ(std::string(back.lfFaceName), std::string(31, 'F'));

  editor.SetProperty("defsheet::=/d.xml");
  EXPECT_EQ(doc.FieldDefinitionPath(), u"/d.xml");
}

}  // namespace
