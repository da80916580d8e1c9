// The editor window itself, offscreen: QTest keys and mouse on the real widget, the
// notifications its host receives, the clipboard, scrolling, menus and a screenshot.
#include <penwick/Penwick.h>

#include "corner_box.h"
#include "editor_menu.h"
#include "editor_window.h"

#include <ui/clipboard.h>
#include <ui/handles.h>
#include <ui/messages.h>
#include <ui_testing/modal_script.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

using namespace penwick;

namespace {

const std::u16string SF(1, kDelimiter);
const std::u16string LEADER = u"01234nam  2200000   4500";

struct Message {
  uint32_t message;
  ui::WPARAM wParam;
  ui::LPARAM lParam;
  bool sent;
};

struct Window : ::testing::Test {
  QWidget host;
  CPenwick handle;
  CEditorWnd* w = nullptr;
  std::vector<Message> received;
  ui::LRESULT queryAnswer = 0;
  // A sent message reaches the host inside the editor's handler; a posted one only while
  // the test runs the event loop.
  bool draining = false;

  Window() {
    host.resize(900, 700);
    ui::onMessages(&host, [this](uint32_t m, ui::WPARAM wp, ui::LPARAM lp) -> ui::LRESULT {
      received.push_back({m, wp, lp, !draining});
      return queryAnswer;
    });
  }
  void SetUp() override {
    host.show();
    ASSERT_NE(handle.CreateEditor(&host, 10, 10, 802, 602), 0);
    w = handle.m_pEditor;
    w->activateWindow();
    w->setFocus();
    drain();
    received.clear();
  }
  void TearDown() override { SetMenuChooser({}); }

  void drain() {
    draining = true;
    QApplication::processEvents();
    draining = false;
  }
  void reset() {
    drain();
    received.clear();
  }
  void load(std::initializer_list<std::pair<std::u16string, std::u16string>> fields) {
    for (const auto& [name, data] : fields) handle.AddField(name.c_str(), data.c_str());
    handle.SetCursorPos(0, -1, 0);
    drain();
    received.clear();
  }
  std::u16string data(int i) {
    CFieldItem* f = w->Document().FieldAt(i);
    f->GatherRows();
    return f->indicators + f->data;
  }
  // The widget point of a column in a record row (the row must be on the screen).
  QPoint at(int rowIndex, int column) {
    CFieldRow* row = w->Document().RowAt(rowIndex);
    const int x = w->Layout().ColumnX(row->text, column) + 1;
    const int y = w->Layout().top + (rowIndex - w->firstShownRow) * w->Layout().RowHeight() + 1 + w->Layout().RowHeight() / 2;
    return {x + 1, y};
  }
  // Editor notifications: code and position in the order they arrived, after the loop ran.
  std::vector<int> codes() {
    std::vector<int> c;
    for (const Message& m : received)
      if (m.message == WM_EDITORNOTIFY) c.push_back(NotifyCode(uint32_t(m.wParam)));
    return c;
  }
};

TEST_F(Window, TypingArrowsAndDeletingThroughKeys) {
  load({{u"000", LEADER}, {u"100", u"  " + SF + u"aName"}, {u"245", u"10" + SF + u"aTitle"}});
  handle.SetCursorPos(2, 0, 5);
  QTest::keyClicks(w, "s!");
  EXPECT_EQ(data(2), u"10" + SF + u"aTitles!");
  QTest::keyClick(w, Qt::Key_Backspace);
  QTest::keyClick(w, Qt::Key_Left);
  QTest::keyClick(w, Qt::Key_Delete);
  EXPECT_EQ(data(2), u"10" + SF + u"aTitle");
  // Up to the row above, then Ctrl+Shift+C types a delimiter and its code.
  QTest::keyClick(w, Qt::Key_Up);
  QTest::keyClick(w, Qt::Key_End);
  QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClicks(w, "x");
  EXPECT_EQ(data(1), u"  " + SF + u"aName" + SF + u"cx");
  // A key in the leader's fixed part asks the host for a template instead.
  QTest::keyClick(w, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(w, Qt::Key_Home);
  reset();
  QTest::keyClicks(w, "q");
  drain();
  EXPECT_EQ(codes(), (std::vector<int>{EDN_CARET, EDN_TEMPLATE, EDN_CARET}));
  EXPECT_EQ(data(0), LEADER);
}

// Counts the paints of a widget and the region each one drew.
struct PaintWatch : QObject {
  std::vector<QRegion> regions;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) regions.push_back(static_cast<QPaintEvent*>(e)->region());
    return false;
  }
};

// What the screen shows of the editor (the backing store, not a fresh paint).
QImage onScreen(QWidget* w) {
  QImage shot = w->screen()->grabWindow(w->window()->winId()).toImage();
  return shot.copy(QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()));
}

TEST_F(Window, TypingPaintsOnlyTheRowsThatChanged) {
  std::u16string note;
  for (int i = 0; i < 600; ++i) note += char16_t(0x4E00 + i * 7);
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}, {u"330", u"  " + SF + u"a" + note},
        {u"500", u"  " + SF + u"aNote"}});
  handle.SetCursorPos(2, 0, 600);
  w->repaint();
  PaintWatch watch;
  w->installEventFilter(&watch);
  const int rowH = w->Layout().RowHeight();
  QTest::keyClicks(w, "x");
  drain();
  ASSERT_EQ(watch.regions.size(), 1u);
  EXPECT_EQ(watch.regions[0].boundingRect().height(), rowH);
  EXPECT_EQ(data(2).substr(data(2).size() - 2), u"\u5e61x");
  // What the partial paints left on the screen is what a full paint draws.
  auto same = [&](const char* what) {
    const QImage partial = onScreen(w);
    w->repaint();
    EXPECT_EQ(partial, onScreen(w)) << what;
  };
  same("typed");
  // A row that wraps moves the rows after it: those are drawn again too.
  for (int i = 0; i < 40; ++i) QTest::keyClick(w, Qt::Key_W);
  drain();
  same("wrapped");
  watch.regions.clear();
  QTest::keyClick(w, Qt::Key_Left, Qt::ShiftModifier);
  drain();
  ASSERT_FALSE(watch.regions.empty());
  same("selected");
  QTest::keyClick(w, Qt::Key_Home, Qt::ControlModifier);
  drain();
  same("scrolled");
  w->removeEventFilter(&watch);
}

TEST_F(Window, NotificationPackingAndTheSentQuestion) {
  load({{u"000", LEADER}, {u"100", u"  " + SF + u"aName"}, {u"245", u"10" + SF + u"aTitle"}});
  handle.SetCursorPos(2, 0, 1);
  queryAnswer = 0xFFFF00;
  QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
  // The question is sent: it reached the host before the loop ran.
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received[0].wParam, PackNotifyWParam(EDN_QUERY, 2));
  EXPECT_EQ(received[0].lParam, ui::LPARAM(PackNotifyLParam(0, 1)));
  EXPECT_TRUE(received[0].sent);
  drain();
  // The Ctrl key's own key-down comes first, as on Windows.
  EXPECT_EQ(codes(), (std::vector<int>{EDN_QUERY, EDN_CARET, EDN_CARET, EDN_AUTODATA, EDN_CARET}));
  const Message& autodata = received[3];
  EXPECT_FALSE(autodata.sent);
  EXPECT_EQ(autodata.wParam, 0x10002u);
  EXPECT_EQ(autodata.lParam, 0x1);
  // A change always travels as 0xE0000, 0; the leader's subfield index arrives as 0xFFFF.
  reset();
  QTest::keyClicks(w, "z");
  QTest::keyClick(w, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(w, Qt::Key_F2);
  drain();
  std::vector<Message> notes;
  for (const Message& m : received)
    if (m.message == WM_EDITORNOTIFY && NotifyCode(uint32_t(m.wParam)) != EDN_CARET) notes.push_back(m);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].wParam, 0xE0000u);
  EXPECT_EQ(notes[0].lParam, 0);
  EXPECT_EQ(notes[1].wParam, ui::WPARAM(113) << 16);
  EXPECT_EQ(uint32_t(notes[1].lParam) >> 16, 0xFFFFu);
}

TEST_F(Window, MouseSelectionAndClipboardRoundTrip) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle" + SF + u"bSub"}, {u"500", u"  " + SF + u"a"}});
  // Drag from column 2 to 7 of the 245 row.
  QTest::mousePress(w, Qt::LeftButton, {}, at(1, 2));
  QTest::mouseMove(w, at(1, 7));
  QTest::mouseRelease(w, Qt::LeftButton, {}, at(1, 7));
  char16_t buf[32];
  int32_t capacity = 32;
  ASSERT_EQ(handle.GetSelectedText(buf, capacity), 1);
  EXPECT_EQ(std::u16string(buf), u"Title");
  QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(ui::clipboardText(), QStringLiteral("Title"));
  // Paste at the end of the 500 field.
  QTest::mouseClick(w, Qt::LeftButton, {}, at(2, 2));
  QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(data(2), u"  " + SF + u"aTitle");
  // Shift-click extends from the caret; Ctrl+X cuts.
  QTest::mouseClick(w, Qt::LeftButton, Qt::ShiftModifier, at(2, 4));
  QTest::keyClick(w, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(data(2), u"  " + SF + u"aTi");
  EXPECT_EQ(ui::clipboardText(), QStringLiteral("tle"));
  // Double-click selects the subfield's content.
  QTest::mouseDClick(w, Qt::LeftButton, {}, at(1, 3));
  EXPECT_EQ(w->SelectedText(), u"Title");
}

TEST_F(Window, DraggingTheSelectionMovesOrCopiesIt) {
  load({{u"000", LEADER}, {u"500", u"  " + SF + u"aabcdefgh"}});
  struct Case {
    Qt::KeyboardModifiers drop;
    std::u16string after;
  } cases[] = {
      {Qt::NoModifier, u"  " + SF + u"aadefbcgh"},  // moved forward: lands where released
      {Qt::ControlModifier, u"  " + SF + u"aabcdefbcgh"},
  };
  for (const Case& c : cases) {
    w->Document().FieldAt(1)->data = SF + u"aabcdefgh";
    w->Document().LayoutAll();
    w->ClearSelection();
    w->SetSelection(w->Document().RowAt(1), 3, w->Document().RowAt(1), 5);  // "bc"
    QTest::mousePress(w, Qt::LeftButton, {}, at(1, 4));
    QTest::mouseMove(w, at(1, 8));
    QTest::mouseRelease(w, Qt::LeftButton, c.drop, at(1, 8));
    EXPECT_EQ(data(1), c.after);
  }
  // Dropped inside itself, the selection is only cleared.
  w->SetSelection(w->Document().RowAt(1), 3, w->Document().RowAt(1), 6);
  QTest::mousePress(w, Qt::LeftButton, {}, at(1, 4));
  QTest::mouseRelease(w, Qt::LeftButton, {}, at(1, 5));
  EXPECT_FALSE(w->HasSelection());
  EXPECT_EQ(data(1), u"  " + SF + u"aabcdefbcgh");
}

TEST_F(Window, ScrollingTheViewAndTheCaret) {
  load({{u"000", LEADER}});
  for (int i = 1; i < 60; ++i) handle.AddField(u"001", u"row");
  handle.SetCursorPos(0, -1, 5);
  w->Repaint();
  QScrollBar* bar = w->VerticalBar();
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_EQ(bar->maximum(), 59);
  // The wheel moves one row per message, however large the delta.
  QWheelEvent wheel(QPointF(300, 200), w->mapToGlobal(QPointF(300, 200)), {}, QPoint(0, -360), Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &wheel);
  EXPECT_EQ(w->firstShownRow, 1);
  EXPECT_EQ(bar->value(), 1);
  EXPECT_FALSE(w->CaretShown());  // the caret's row went off the screen
  const int paged = w->Layout().PageFirst(1, 60, 1);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(w->firstShownRow, paged);
  EXPECT_EQ(bar->value(), paged);
  // Any key brings the caret's row back.
  QTest::keyClick(w, Qt::Key_Right);
  EXPECT_TRUE(w->CaretShown());
  EXPECT_TRUE(w->IsShown(w->caretRow));
  EXPECT_EQ(w->caretColumn, 6);
  // A record of one row disables the bar.
  CPenwick one;
  ASSERT_NE(one.CreateEditor(&host, 0, 0, 802, 200), 0);
  one.AddField(u"000", LEADER.c_str());
  one.m_pEditor->Repaint();
  EXPECT_FALSE(one.m_pEditor->VerticalBar()->isEnabled());
  // A disabled bar shows no thumb: its groove is one colour along its middle.
  for (QScrollBar* disabled : {one.m_pEditor->VerticalBar(), one.m_pEditor->HorizontalBar()}) {
    ASSERT_FALSE(disabled->isEnabled());
    const QImage im = disabled->grab().toImage();
    const bool vertical = disabled->orientation() == Qt::Vertical;
    const int length = vertical ? im.height() : im.width();
    std::set<QRgb> colours;
    for (int t = 20; t < length - 20; ++t) colours.insert(vertical ? im.pixel(8, t) : im.pixel(t, 8));
    EXPECT_EQ(colours.size(), 1u) << (vertical ? "vertical" : "horizontal");
  }
}

// Every caret move the host makes leaves no selection behind, so the next key types at
// the caret and replaces nothing.
TEST_F(Window, HostCaretMovesClearTheSelection) {
  const std::u16string record = u"<marc><header>01234nam\u0011\u00112200000\u0011\u0011\u0011450\u0011</header>"
                                u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">Title</sf></field>"
                                u"<field name=\"210\" indicator=\"\u0011\u0011\"><sf name=\"a\">Beijing</sf></field></marc>";
  struct Case {
    const char* move;
    std::function<void()> run;
  } cases[] = {
      {"SetCursorPos", [&] { handle.SetCursorPos(2, 0, 0); }},
      {"SetText", [&] { handle.SetText(record.data(), int32_t(record.size()), -1); }},
  };
  for (const Case& c : cases) {
    handle.SetText(record.data(), int32_t(record.size()), -1);
    handle.SetCursorPos(1, 0, 0);
    QTest::keyClick(w, Qt::Key_End, Qt::ShiftModifier);  // selects Title in 200 $a
    ASSERT_TRUE(w->HasSelection()) << c.move;
    c.run();
    EXPECT_FALSE(w->HasSelection()) << c.move;
    if (std::string(c.move) == "SetText") handle.SetCursorPos(2, 0, 0);
    QTest::keyClicks(w, "x");
    EXPECT_EQ(data(1), u"1 " + SF + u"aTitle") << c.move;
    EXPECT_EQ(data(2), u"  " + SF + u"axBeijing") << c.move;
  }
}

// A key that only types (punctuation, an input method's text) brings the caret's
// scrolled-off row back even when the character is refused (the leader's fixed part).
TEST_F(Window, TypingBringsAScrolledOffCaretBack) {
  load({{u"000", LEADER}});
  for (int i = 1; i < 60; ++i) handle.AddField(u"001", u"row");
  for (const bool ime : {false, true}) {
    handle.SetCursorPos(0, -1, 2);
    w->ScrollTo(30);
    w->Repaint();
    ASSERT_FALSE(w->IsShown(w->caretRow));
    reset();
    if (ime) {
      QInputMethodEvent commit;
      commit.setCommitString(QStringLiteral(","));
      QApplication::sendEvent(w, &commit);
    } else {
      QTest::keyClick(w, Qt::Key_Comma, {}, 0);
    }
    EXPECT_TRUE(w->IsShown(w->caretRow)) << ime;
    EXPECT_TRUE(w->CaretShown());
    drain();
    // A key is a key-down first: the host hears of the caret before the template request.
    if (!ime) {
      EXPECT_EQ(codes(), (std::vector<int>{EDN_CARET, EDN_TEMPLATE, EDN_CARET}));
    }
  }
  EXPECT_EQ(data(0), LEADER);
}

TEST_F(Window, TagColumnBoundaryDrag) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}});
  struct Case {
    int releaseX;  // client x; -30 means 30 left of the boundary
    int width;
  } cases[] = {{900, 782 - 100}, {-30, 0}, {50, 100}};
  for (const Case& c : cases) {
    const int tag = w->Layout().tagWidth;
    const int x = c.releaseX < 0 ? tag + c.releaseX : c.releaseX;
    const QPoint press(tag - 14 + 1, 12);
    QTest::mousePress(w, Qt::LeftButton, {}, press);
    QTest::mouseMove(w, QPoint(x + 1, 12));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(x + 1, 12));
    EXPECT_EQ(w->Layout().tagWidth, c.width ? c.width : x + 16);
    int32_t format = 0, width = 0;
    handle.GetFormat(format, width);
    EXPECT_EQ(width, w->Layout().tagWidth);
  }
}

TEST_F(Window, OperationMenuAsksTheHostAndRunsTheChoice) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}});
  ui::setClipboardText(QString());
  std::vector<CMenuItem> shown;
  int choose = 0;
  SetMenuChooser([&](const std::vector<CMenuItem>& items) {
    shown = items;
    return choose;
  });
  auto state = [&](int id) {
    for (const CMenuItem& i : shown)
      if (i.id == id) return i.enabled;
    return false;
  };
  queryAnswer = 0xFF0000;
  QTest::mouseClick(w, Qt::RightButton, {}, at(1, 4));
  EXPECT_FALSE(state(32791));
  EXPECT_FALSE(state(32792));
  EXPECT_TRUE(state(32800));
  EXPECT_FALSE(state(32795));
  EXPECT_FALSE(shown.back().enabled);  // the Ctrl+Z submenu
  // Right-clicking below the last row shows nothing.
  shown.clear();
  QTest::mouseClick(w, Qt::RightButton, {}, QPoint(400, 500));
  EXPECT_TRUE(shown.empty());
  // A host command chosen from the menu is posted with the context row.
  reset();
  choose = 32796;
  QTest::mouseClick(w, Qt::RightButton, {}, at(1, 4));
  drain();
  EXPECT_EQ(codes(), (std::vector<int>{EDN_QUERY, EDN_CARET, EDN_PRINT}));
  // The tag-column menu: cut the field, then paste it back after the leader.
  choose = 32808;
  QTest::mouseClick(w, Qt::RightButton, {}, QPoint(20, at(1, 0).y()));
  EXPECT_EQ(w->Document().FieldCount(), 1);
  EXPECT_EQ(ui::clipboardText(), ui::qs(std::u16string(1, kFieldEnd) + u"24510" + SF + u"aTitle"));
  choose = 32810;
  QTest::mouseClick(w, Qt::RightButton, {}, QPoint(20, at(0, 0).y()));
  ASSERT_EQ(w->Document().FieldCount(), 2);
  EXPECT_EQ(data(1), u"10" + SF + u"aTitle");
}

// The editor answers a right-click with its own menus on the press; the context-menu event
// that follows must stop at the editor, or the host shows a second popup that takes the
// next keys.
TEST_F(Window, ContextMenuEventsStopAtTheEditor) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}});
  for (auto reason : {QContextMenuEvent::Mouse, QContextMenuEvent::Keyboard}) {
    QContextMenuEvent e(reason, at(1, 4));
    e.ignore();
    QApplication::sendEvent(w, &e);
    EXPECT_TRUE(e.isAccepted()) << int(reason);
  }
}

TEST_F(Window, DeleteFieldAsksFirst) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}});
  uitest::ModalScript script;
  script.answer(ui::IDNO).answer(ui::IDYES);
  handle.SetCursorPos(1, 0, 0);
  QTest::keyClick(w, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(w->Document().FieldCount(), 2);
  QTest::keyClick(w, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(w->Document().FieldCount(), 1);
  ASSERT_EQ(script.messages().size(), 2u);
  EXPECT_EQ(script.messages()[0].text, QStringLiteral("确实要删除 245 字段吗？"));
  EXPECT_EQ(script.messages()[0].caption, QStringLiteral("删除MARC字段"));
  EXPECT_EQ(script.messages()[0].icon, ui::Icon::Question);
  drain();
  // Changed is posted after the declined deletion too.
  std::vector<int> c = codes();
  EXPECT_EQ(std::count(c.begin(), c.end(), EDN_CHANGED), 2);
}

TEST_F(Window, CornerBoxPasteReadsTaggedRecordText) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aOld"}});
  const std::u16string tagged = LEADER + u"001abc" + std::u16string(1, kFieldEnd) + u"24510" + SF + u"aTitle";
  ui::setClipboardText(ui::qs(tagged));
  CCornerBox* box = w->CornerBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->property("windowClass").toString(), QStringLiteral("CORVANE EDITOR"));
  ui::sendMessage(box, ui::WM_PASTE, 0, 0);
  ASSERT_EQ(w->Document().FieldCount(), 2);
  EXPECT_EQ(w->Document().FieldAt(1)->name, u"001");
  EXPECT_EQ(w->caretRow, w->Document().FirstRow());
  drain();
  EXPECT_TRUE(codes().empty());  // a replacement of the record is not a change
}

// Whether some pixel of a rectangle passes a test.
bool anyPixel(const QImage& im, QRect r, const std::function<bool(QColor)>& test) {
  r = r.intersected(im.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (test(im.pixelColor(x, y))) return true;
  return false;
}

bool dark(QColor c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; }
bool red(QColor c) { return c.red() > 150 && c.green() < 100 && c.blue() < 100; }

TEST_F(Window, ScreenshotOfBothFormats) {
  load({{u"000", LEADER},
        {u"001", u"0123456789"},
        {u"100", u"  " + SF + u"a张三" + SF + u"4aut"},
        {u"245", u"10" + SF + u"a中文题名" + SF + u"bA long subtitle that runs past the end of the first row and wraps" +
                     SF + u"c责任者"}});
  handle.SetCursorPos(3, 1, 4);
  w->SetSelection(w->Document().FieldAt(3)->firstRow, 3, w->Document().FieldAt(3)->firstRow, 8);
  w->Repaint();
  ASSERT_EQ(w->firstShownRow, 0);
  const auto marc = uitest::saveScreenshot(*w, "penwick_marc");
  const QImage im(QString::fromStdString(marc.string()));
  ASSERT_FALSE(im.isNull());
  const CEditorLayout& L = w->Layout();
  const int T = L.tagWidth, rowH = L.RowHeight(), W = L.DelimiterWidth(), H = L.TextHeight();
  // Widget coordinates: the one-pixel border, then the band of screen row i.
  auto band = [&](int i) { return 1 + L.top + i * rowH; };
  // Row 2 (field 100) starts with the delimiter: the red triangle at the text's start ...
  const int textX = 1 + T + 1;
  EXPECT_EQ(im.pixelColor(textX + W / 2, band(2) + 3 + H / 2), QColor(200, 24, 40));
  // ... then its code in red, and the name in the text colour.
  const int codeX = textX + W;
  EXPECT_TRUE(anyPixel(im, QRect(codeX, band(2), L.ColumnX(u"a", 1) - T, rowH), red));
  EXPECT_TRUE(anyPixel(im, QRect(textX + L.ColumnX(w->Document().RowAt(2)->text, 2) - T, band(2), 2 * H, rowH), dark));
  // The tag box of 245 shows its tag on the button face, right of the field's name.
  const CLayoutRect box = L.TagBoxRect(band(3));
  EXPECT_TRUE(anyPixel(im, QRect(1 + box.x, box.y, box.width, rowH), dark));
  EXPECT_EQ(im.pixelColor(1 + box.x + box.width - 2, band(3) + 2), QColor(0xF0, 0xF0, 0xF0));
  // A row without a tag box (the second row of 245) shows no text in its tag column.
  EXPECT_FALSE(anyPixel(im, QRect(2, band(4) + 2, T - 20, rowH - 4), dark));
  // The selected columns 3-8 of 245's first row stand inverted on a block of the text
  // colour; the columns before them do not.
  const std::u16string& text245 = w->Document().RowAt(3)->text;
  EXPECT_EQ(im.pixelColor(1 + L.ColumnX(text245, 3) + 2, band(3) + 1), QColor(0, 0, 0));
  EXPECT_EQ(im.pixelColor(1 + L.ColumnX(text245, 0) + 2, band(3) + 1), QColor(255, 255, 255));

  CPenwick dc;
  ASSERT_NE(dc.CreateEditor(&host, 0, 0, 602, 302), 0);
  dc.SetFormat(1, 0);
  const std::u16string ESC(1, kEsc);
  dc.AddField(u"dc:title", (u"Report" + ESC + u"Type::=Main" + ESC + u"Lang::=chi").c_str());
  dc.AddField(u"dc:creator", u"Someone");
  dc.m_pEditor->Document().FirstField()->ToggleQualifiers();
  dc.m_pEditor->Document().LayoutAll();
  dc.m_pEditor->Repaint();
  const auto dcShot = uitest::saveScreenshot(*dc.m_pEditor, "penwick_dc");
  const QImage dim(QString::fromStdString(dcShot.string()));
  ASSERT_FALSE(dim.isNull());
  const CEditorLayout& D = dc.m_pEditor->Layout();
  const int dRowH = D.RowHeight();
  // Row 1 is the Type qualifier: its label and its picker button (a filled black arrow).
  const CLayoutRect label = D.LabelBoxRect(1 + D.top + dRowH);
  EXPECT_TRUE(anyPixel(dim, QRect(1 + label.x + 34, label.y, 30, dRowH), dark));
  EXPECT_TRUE(anyPixel(dim, QRect(1 + label.x + label.width - 16, label.y, 14, dRowH),
                       [](QColor c) { return c == QColor(0, 0, 0); }));
  // The values stand in the text area of rows 0 and 3 (the next element), not of row 1's label.
  EXPECT_TRUE(anyPixel(dim, QRect(1 + D.tagWidth + 1, 1 + D.top, 40, dRowH), dark));
  EXPECT_TRUE(anyPixel(dim, QRect(1 + D.tagWidth + 1, 1 + D.top + 3 * dRowH, 40, dRowH), dark));
  EXPECT_FALSE(anyPixel(dim, QRect(1 + D.tagWidth + 1, 1 + D.top + 4 * dRowH, 200, dRowH), dark));
}

}  // namespace

namespace {

TEST_F(Window, ShiftClickRules) {
  load({{u"000", LEADER}, {u"100", u"  " + SF + u"aName"}, {u"245", u"10" + SF + u"aTitle"}, {u"500", u"  " + SF + u"aNote"}});
  struct Case {
    const char* what;
    int selRowA, selColA, selRowB, selColB;  // -1: no selection
    int clickRow, clickCol;
    const char16_t* selected;  // "" for none
  } cases[] = {
      {"no selection: caret to click", -1, 0, 0, 0, 2, 4, u"me\x1F" u"aTi"},
      {"click before the start row", 2, 3, 2, 5, 1, 4, u"me\x1F" u"aT"},
      {"one row, click before the start moves it", 2, 3, 2, 5, 2, 2, u"Tit"},
      {"one row, click after moves the end", 2, 3, 2, 5, 2, 7, u"itle"},
      {"start row of a longer selection moves the start", 2, 4, 3, 3, 2, 2, u"Title\x1F" u"aN"},
      {"otherwise the end moves", 1, 3, 2, 3, 3, 4, u"ame\x1F" u"aTitle\x1F" u"aNo"},
      // A press inside the selection starts a drag; released there, it only clears.
      {"a click inside the selection clears it", 2, 3, 2, 5, 2, 3, u""},
  };
  for (const Case& c : cases) {
    w->ClearSelection();
    handle.SetCursorPos(1, 0, 2);  // caret at "Na|me"
    if (c.selRowA >= 0)
      w->SetSelection(w->Document().RowAt(c.selRowA), c.selColA, w->Document().RowAt(c.selRowB), c.selColB);
    QTest::mouseClick(w, Qt::LeftButton, Qt::ShiftModifier, at(c.clickRow, c.clickCol));
    EXPECT_EQ(w->SelectedText(), std::u16string(c.selected)) << c.what;
  }
}

TEST_F(Window, RowStripDropAndTab) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"aTitle"}});
  // The right half of the strip left of the text selects the row.
  const int tag = w->Layout().tagWidth;
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(tag - 3 + 1, at(1, 0).y()));
  EXPECT_EQ(w->SelectedText(), SF + u"aTitle");
  // Text dropped from outside goes in where it falls, as a click there would place the caret.
  reset();
  const QPoint drop = at(1, 4) - QPoint(1, 1);
  w->DropText(drop, u"xy\tz");
  EXPECT_EQ(data(1), u"10" + SF + u"aTixyztle");
  drain();
  EXPECT_EQ(codes().back(), EDN_CHANGED);
  // Outside the text area nothing is inserted.
  w->DropText(QPoint(5, 5), u"q");
  EXPECT_EQ(data(1), u"10" + SF + u"aTixyztle");
  // Tab hands the focus on.
  QLineEdit* next = new QLineEdit(&host);
  next->setGeometry(10, 650, 100, 20);
  next->show();
  w->setFocus();
  QTest::keyClick(w, Qt::Key_Tab);
  EXPECT_TRUE(next->hasFocus());
  EXPECT_EQ(data(1), u"10" + SF + u"aTixyztle");
}

TEST_F(Window, DublinCoreExpandIconShowsQualifiers) {
  handle.SetFormat(1, 0);
  const std::u16string ESC(1, kEsc);
  load({{u"dc:title", u"Report" + ESC + u"Type::=Main"}});
  CFieldItem* f = w->Document().FirstField();
  ASSERT_EQ(f->RowCount(), 1);
  const int iconX = std::max(w->Layout().tagWidth - 16 - w->Layout().LabelBoxWidth(), 1) + 4 + 1;
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(iconX, at(0, 0).y()));
  EXPECT_EQ(f->RowCount(), 2);
  EXPECT_EQ(f->firstRow->next->label, u"Type");
  // Double-click in an element's text selects nothing.
  QTest::mouseDClick(w, Qt::LeftButton, {}, at(0, 2));
  EXPECT_FALSE(w->HasSelection());
}

}  // namespace

namespace {

// A real keyboard names Shift+7 by the symbol it types ("&" on a US layout, "/" on a German
// one); Ctrl+Shift+7 must still insert a delimiter and the digit.
TEST_F(Window, CtrlShiftDigitWhenTheKeyIsReportedAsItsSymbol) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"a"}});
  handle.SetCursorPos(1, 0, 0);
  const Qt::KeyboardModifiers mods = Qt::ControlModifier | Qt::ShiftModifier;
  QKeyEvent us(QEvent::KeyPress, Qt::Key_Ampersand, mods, QStringLiteral("&"));
  QApplication::sendEvent(w, &us);
  QKeyEvent german(QEvent::KeyPress, Qt::Key_Slash, mods, 16, 0x2F, 0, QStringLiteral("/"));  // X keycode 16: key 7
  QApplication::sendEvent(w, &german);
  EXPECT_EQ(data(1), u"10" + SF + u"a" + SF + u"7" + SF + u"7");
  // A symbol key of its own (Shift+- on a US layout) stays a plain key.
  QKeyEvent underscore(QEvent::KeyPress, Qt::Key_Underscore, mods, 20, 0x5F, 0, QStringLiteral("_"));
  QApplication::sendEvent(w, &underscore);
  EXPECT_EQ(data(1), u"10" + SF + u"a" + SF + u"7" + SF + u"7");
}

// A selection dragged onto a row of a wrapped leader stays where it was: the leader takes
// no text, and a move would otherwise delete it first.
TEST_F(Window, DraggingOntoAWrappedLeaderChangesNothing) {
  load({{u"000", LEADER}, {u"500", u"  " + SF + u"aabcdefgh"}});
  penwick::RECT narrow{10, 10, 160, 310};
  handle.MoveWindow(&narrow);
  CFieldItem* leader = w->Document().FirstField();
  ASSERT_GT(leader->RowCount(), 1);
  const int fieldRow = leader->RowCount();  // the 500's first row
  w->SetSelection(w->Document().RowAt(fieldRow), 3, w->Document().RowAt(fieldRow), 5);
  QTest::mousePress(w, Qt::LeftButton, {}, at(fieldRow, 4));
  QTest::mouseMove(w, at(1, 2));
  QTest::mouseRelease(w, Qt::LeftButton, {}, at(1, 2));
  EXPECT_EQ(data(0), LEADER);
  EXPECT_EQ(data(1), u"  " + SF + u"aabcdefgh");
}

// While the selection is dragged, the cursor tells move, copy and "nowhere" apart.
TEST_F(Window, DragCursorFollowsThePointer) {
  load({{u"000", LEADER}, {u"500", u"  " + SF + u"aabcdefgh"}});
  w->SetSelection(w->Document().RowAt(1), 3, w->Document().RowAt(1), 5);
  QTest::mousePress(w, Qt::LeftButton, {}, at(1, 4));
  QMouseEvent outside(QEvent::MouseMove, QPointF(20, at(1, 4).y()), w->mapToGlobal(QPointF(20, at(1, 4).y())),
                      Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &outside);
  EXPECT_EQ(w->cursor().shape(), Qt::ForbiddenCursor);
  QMouseEvent copy(QEvent::MouseMove, QPointF(at(1, 7)), w->mapToGlobal(QPointF(at(1, 7))), Qt::NoButton,
                   Qt::LeftButton, Qt::ControlModifier);
  QApplication::sendEvent(w, &copy);
  EXPECT_EQ(w->cursor().shape(), Qt::DragCopyCursor);
  QTest::mouseRelease(w, Qt::LeftButton, {}, at(1, 7));
  EXPECT_EQ(w->cursor().shape(), Qt::IBeamCursor);
}

// The expand icon under the mouse is drawn hot, and plain again once the mouse has left it
// for the text.
TEST_F(Window, HotIconGoesPlainWhenTheMouseLeaves) {
  handle.SetFormat(1, 0);
  const std::u16string ESC(1, kEsc);
  load({{u"dc:title", u"Report" + ESC + u"Type::=Main"}});
  const int iconLeft = std::max(w->Layout().tagWidth - 16 - w->Layout().LabelBoxWidth(), 1);
  const int y = at(0, 0).y();
  // A pixel inside the icon's face (client x + 1 for the border).
  const QPoint face(iconLeft + 1 + 2, CEditorLayout::IconTop(w->Layout().top, 0) + 1 + 2);
  const QRgb plain = w->grab().toImage().pixel(face);
  QTest::mouseMove(w, QPoint(iconLeft + 1 + 4, y));
  const QRgb hot = w->grab().toImage().pixel(face);
  EXPECT_NE(hot, plain);
  QTest::mouseMove(w, at(0, 2));
  EXPECT_EQ(w->grab().toImage().pixel(face), plain);
}

TEST_F(Window, InputMethodTextIsTyped) {
  load({{u"000", LEADER}, {u"245", u"10" + SF + u"a"}});
  handle.SetCursorPos(1, 0, 0);
  QInputMethodEvent ime;
  ime.setCommitString(QStringLiteral("中文"));
  QApplication::sendEvent(w, &ime);
  EXPECT_EQ(data(1), u"10" + SF + u"a中文");
  drain();
  std::vector<int> c = codes();
  EXPECT_EQ(std::count(c.begin(), c.end(), EDN_CHANGED), 2);
}

}  // namespace

#include "field_dlg.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

// The editor's text of the record (code page -1), whole.
std::u16string textOf(CPenwick& handle) {
  std::vector<char16_t> buffer(1 << 16);
  int32_t length = int32_t(buffer.size());
  handle.GetText(buffer.data(), length, -1);
  return length < 0 ? std::u16string() : std::u16string(buffer.data(), size_t(length));
}

// Whether the caret stands drawn where the editing state puts it: on the screen, and its
// two-pixel bar filled with the text colour in the window's picture.
bool caretDrawn(CEditorWnd* w) {
  if (!w->CaretShown() || !w->IsShown(w->caretRow)) return false;
  const QImage im = w->grab().toImage();
  const QRect bar(1 + w->CaretX(), 1 + w->CaretY(), CEditorLayout::kCaretWidth, w->Layout().TextHeight());
  for (int y = bar.top(); y <= bar.bottom(); ++y)
    for (int x = bar.left(); x <= bar.right(); ++x)
      if (im.pixelColor(x, y) != QColor(0, 0, 0)) return false;
  return true;
}

bool wholeCharacters(const std::u16string& s) { return WithoutLoneSurrogates(s) == s; }

// A field the toolkit writes without subfields (a note of two blanks and its text) holds
// all of its text in the indicator attribute.
const std::u16string kNoteRecord =
    u"<marc><header>01234nam\u0011\u00112200000\u0011\u0011\u0011450\u0011</header>"
    u"<field name=\"200\" indicator=\"1\u0011\"><sf name=\"a\">题名</sf></field>"
    u"<field name=\"300\" indicator=\"\u0011\u0011附注：据1999年版重印，另附光盘一张\"></field></marc>";

TEST_F(Window, AFieldWithoutSubfieldsShowsItsTextAndKeepsIt) {
  handle.SetText(kNoteRecord.data(), int32_t(kNoteRecord.size()), -1);
  w->Repaint();
  CFieldItem* note = w->Document().FieldAt(2);
  ASSERT_EQ(note->name, u"300");
  EXPECT_EQ(note->indicators, u"  ");
  EXPECT_EQ(CEditorLayout::TagBoxText(note->name, note->indicators), u"300 ..");
  // The note stands in the row's text area, drawn.
  const int noteRow = w->Document().RowIndex(note->firstRow);
  const QImage im = w->grab().toImage();
  const int rowH = w->Layout().RowHeight();
  EXPECT_TRUE(anyPixel(im, QRect(1 + w->Layout().tagWidth + 1, 1 + noteRow * rowH, 200, rowH), dark));
  // Read and written back byte for byte, also through the field dialog's OK with no change
  // (Home at column 0 opens it, Ctrl+Insert too).
  EXPECT_EQ(textOf(handle), kNoteRecord);
  uitest::ModalScript script;
  for (int i = 0; i < 2; ++i)
    script.actOn<CMarcFieldDlg>([](CMarcFieldDlg& d) {
      EXPECT_EQ(d.itemAs<QLineEdit>(CMarcFieldDlg::IDC_INDICATORS)->text(), QStringLiteral("  "));
      uitest::click(&d, ui::IDOK);
    });
  handle.SetCursorPos(2, -1, 0);
  QTest::keyClick(w, Qt::Key_Home);
  QTest::keyClick(w, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(script.pending(), 0u) << "the field dialog never came up";
  EXPECT_EQ(textOf(handle), kNoteRecord);
  // Typed into like any text.
  QTest::keyClick(w, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(w, Qt::Key_End);
  QTest::keyClicks(w, "!");
  std::u16string edited = kNoteRecord;
  edited.insert(edited.find(u"一张") + 2, u"!");
  EXPECT_EQ(textOf(handle), edited);
}

// Characters outside the BMP (surrogate pairs) typed as keys, by an input method, pasted
// and dropped go in whole, and every caret move and deletion takes a pair as one character.
TEST_F(Window, CharactersOutsideTheBmpStayWhole) {
  load({{u"000", LEADER}, {u"500", u"  " + SF + u"a"}});
  handle.SetCursorPos(1, 0, 0);
  auto key = [&](const char16_t* text) {
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString::fromUtf16(text), Qt::NoModifier);
  };
  key(u"\U0002000B");
  key(u"\U0002123D");
  EXPECT_EQ(data(1), u"  " + SF + u"a\U0002000B\U0002123D");
  // Left steps over the pair: the caret stands between the two characters, drawn there.
  QTest::keyClick(w, Qt::Key_Left);
  EXPECT_EQ(w->caretColumn, 4);
  EXPECT_TRUE(caretDrawn(w));
  QTest::keyClick(w, Qt::Key_Backspace);
  EXPECT_EQ(data(1), u"  " + SF + u"a\U0002123D");
  QTest::keyClick(w, Qt::Key_Delete);
  EXPECT_EQ(data(1), u"  " + SF + u"a");
  // An input method's text, and a key that types two characters at once.
  QInputMethodEvent ime;
  ime.setCommitString(QString::fromUtf16(u"\U0002000B中"));
  QApplication::sendEvent(w, &ime);
  key(u"x\U0002123D");
  EXPECT_EQ(data(1), u"  " + SF + u"a\U0002000B中x\U0002123D");
  QTest::keyClick(w, Qt::Key_Right);
  QTest::keyClick(w, Qt::Key_Home);
  QTest::keyClick(w, Qt::Key_Right);
  QTest::keyClick(w, Qt::Key_Right);
  QTest::keyClick(w, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(w->SelectedText(), u"\U0002000B");
  // A host's caret offset inside a pair puts the caret before it.
  handle.SetCursorPos(1, 0, 1);
  EXPECT_EQ(w->caretColumn, 2);
  // Half a pair from the clipboard, a drop or an input method never goes in.
  ui::setClipboardText(QString::fromUtf16(u"p\xD840q\xDC0Br"));
  QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
  w->DropText(at(1, 3) - QPoint(1, 1), u"\xDBFFs");
  QInputMethodEvent half;
  half.setCommitString(QString::fromUtf16(u"\xD840"));
  QApplication::sendEvent(w, &half);
  key(u"\xDC0B");
  EXPECT_EQ(data(1), u"  " + SF + u"apsqr\U0002000B中x\U0002123D");
  EXPECT_TRUE(wholeCharacters(textOf(handle)));
}

// Backspace at column 0 of the first row shown deletes at the end of the row above it, and
// that row scrolls in, as Left brings it in: the caret stays in sight, drawn.
TEST_F(Window, BackspaceAtTheTopRowScrollsTheRowAboveIn) {
  std::u16string note;
  for (int i = 0; i < 900; ++i) note += char16_t(u'一' + i % 200);
  load({{u"000", LEADER}, {u"330", u"  " + SF + u"a" + note}});
  CFieldItem* field = w->Document().FieldAt(1);
  ASSERT_GT(field->RowCount(), 6);
  const int top = w->Document().RowIndex(field->firstRow) + 4;
  w->ScrollTo(top);
  w->Repaint();
  QTest::mouseClick(w, Qt::LeftButton, {}, at(top, 0));
  ASSERT_EQ(w->caretColumn, 0);
  ASSERT_EQ(w->Document().RowIndex(w->caretRow), top);
  const int offset = field->RowOffset(w->caretRow, 0);
  QTest::keyClick(w, Qt::Key_Backspace);
  EXPECT_EQ(w->firstShownRow, top - 1);
  // The field's text starts with the delimiter and code: the character deleted is the one
  // before the caret's offset.
  EXPECT_EQ(data(1), u"  " + SF + u"a" + note.substr(0, size_t(offset - 3)) + note.substr(size_t(offset - 2)));
  EXPECT_EQ(field->RowOffset(w->caretRow, w->caretColumn), offset - 1);
  EXPECT_TRUE(caretDrawn(w));
  // What the scroll and the edit left on the screen is what a full paint draws.
  drain();
  const QImage partial = onScreen(w);
  w->repaint();
  EXPECT_EQ(partial, onScreen(w));
}

// A file dragged from a file manager comes as a list of URLs and as their text: the path,
// its escapes decoded, goes in, and the drop answers that nothing was taken.
TEST_F(Window, AFileDropsAsItsPath) {
  struct Case {
    const char* uris;
    const char16_t* path;
  } cases[] = {
      {"file:///tmp/%E4%B8%AD%E6%96%87%E7%9B%AE%E5%BD%95/%E5%9B%BE%E4%B9%A6%201.mrc\r\n", u"/tmp/中文目录/图书 1.mrc"},
      {"# a comment\r\nfile://localhost/srv/%E7%BC%96%E7%9B%AE.iso\r\nfile:///second.mrc\r\n", u"/srv/编目.iso"},
      {"https://example.org/x.mrc\r\nfile:///data/%F0%A0%80%8B.dat\r\n", u"/data/\U0002000B.dat"},
  };
  for (const Case& c : cases) {
    w->ClearRecord();
    load({{u"000", LEADER}, {u"500", u"  " + SF + u"a"}});
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), c.uris);
    mime.setText(QString::fromUtf8(c.uris).trimmed());
    const QPoint p = at(1, 2);
    QDragEnterEvent enter(p, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    QDropEvent drop(QPointF(p), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &drop);
    EXPECT_FALSE(drop.isAccepted() && drop.dropAction() == Qt::CopyAction) << c.uris;
    EXPECT_EQ(data(1), u"  " + SF + u"a" + c.path) << c.uris;
  }
}

}  // namespace
