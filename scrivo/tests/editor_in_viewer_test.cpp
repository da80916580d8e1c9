// The editor inside the viewer, driven by real mouse and key events through the dialog's
// window: the editor's own menus and nothing else come up on a right-click, and the keys
// typed afterwards reach the record.
#include "viewer_support.h"

#include <ui/clipboard.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

using namespace scrivo_test;

namespace {

// Watches for popup menus while a mouse event is handled: the first popup gets `first`
// (close it, or choose an item as the user would); any later popup is typed into as the
// user's next keys would be.
class PopupWatcher {
 public:
  explicit PopupWatcher(std::function<void(QMenu&)> first) : first_(std::move(first)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  // The item texts of each popup seen, in order.
  const std::vector<QStringList>& seen() const { return seen_; }

 private:
  void poll() {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu || !menu->isVisible() || menu == handled_) return;
    handled_ = menu;
    QStringList texts;
    for (QAction* a : menu->actions())
      if (!a->isSeparator()) texts << a->text();
    seen_.push_back(texts);
    if (seen_.size() == 1) first_(*menu);
    else QTest::keyClick(menu, Qt::Key_A);
    // A popup still open after its step is closed, so that the test goes on.
    if (QApplication::activePopupWidget() == menu) menu->close();
  }
  std::function<void(QMenu&)> first_;
  QTimer timer_;
  QPointer<QMenu> handled_;
  std::vector<QStringList> seen_;
};

// Presses the item whose text begins with `text` by the keyboard, as the user would.
std::function<void(QMenu&)> choose(const QString& text) {
  return [text](QMenu& menu) {
    for (QAction* a : menu.actions())
      if (a->text().startsWith(text)) {
        menu.setActiveAction(a);
        QTest::keyClick(&menu, Qt::Key_Return);
        return;
      }
    ADD_FAILURE() << "no item " << text.toStdString();
    menu.close();
  };
}

void escape(QMenu& menu) { QTest::keyClick(&menu, Qt::Key_Escape); }

// `after` is `before` with `inserted` put in at one place.
bool insertedOnce(const u16& before, const u16& after, const u16& inserted) {
  if (after.size() != before.size() + inserted.size()) return false;
  size_t i = 0;
  while (i < before.size() && before[i] == after[i]) ++i;
  return after.compare(i, inserted.size(), inserted) == 0 && after.compare(i + inserted.size(), u16::npos, before, i) == 0;
}

class EditorInViewerTest : public ViewerTest {
 protected:
  QWidget* editor = nullptr;

  void startOnBook() {
    const auto path = writeFile("book.mrc", isoRecordOf(cnmarcBook()));
    start(platform::fromUtf8(path.string()));
    editor = PenwickWidget(dlg->editor.m_pEditor);
    ASSERT_NE(editor, nullptr);
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
  }
  // The point of the caret placed at (field, subfield, offset), in the dialog's window.
  QPoint caretPoint(int field, int subfield, int offset) {
    EXPECT_EQ(dlg->editor.SetCursorPos(field, subfield, offset), 1);
    const QRect r = editor->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    return editor->mapTo(dlg.get(), QPoint(r.left() + 1, r.center().y()));
  }
  void rightClick(QPoint inWindow) { QTest::mouseClick(dlg->windowHandle(), Qt::RightButton, {}, inWindow); }
  // Keys through the dialog's window, to whatever has the keyboard. (QTest hands a window
  // key event its delay as the repeat count, so the delay is 1, not the default -1.)
  void type(const char* keys) {
    for (const char* k = keys; *k; ++k) QTest::keyClick(dlg->windowHandle(), *k, {}, 1);
  }
  size_t dialogsShown() const {
    size_t n = 0;
    for (const auto& r : script.records()) n += r.kind == uitest::ModalRecord::Dialog;
    return n;
  }
};

}  // namespace

// The index of field 200 in the editor: the leader row is item 0.
constexpr int kTitleField = 9;

TEST_F(EditorInViewerTest, ARightClickShowsTheEditorsMenuOnlyAndTheKeysReachTheRecord) {
  struct Case {
    const char* name;
    bool tagColumn;  // else the text area of the title field
    std::function<void(QMenu&)> step;
    const char16_t* clipboard;
    const char16_t* inserted;  // what the record gains: the pasted text and the typed "a"
  };
  const Case cases[] = {
      {"text area, menu dismissed", false, escape, nullptr, u"a"},
      {"text area, paste chosen", false, choose(QStringLiteral("粘贴")), u"新", u"新a"},
      {"tag column, menu dismissed", true, escape, nullptr, u"a"},
  };
  startOnBook();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.clipboard) ui::setClipboardText(ui::qs(c.clipboard));
    const u16 before = shown();
    QPoint at = caretPoint(kTitleField, 0, 2);
    if (c.tagColumn) at.setX(editor->mapTo(dlg.get(), QPoint(8, 0)).x());
    PopupWatcher watcher(c.step);
    rightClick(at);
    type("a");
    processEvents();

    EXPECT_EQ(watcher.seen().size(), 1u) << watcher.seen().back().join(u'|').toStdString();
    const QString editorItem = c.tagColumn ? QStringLiteral("修改字段属性") : QStringLiteral("剪切");
    EXPECT_TRUE(watcher.seen()[0].join(u'|').contains(editorItem)) << watcher.seen()[0].join(u'|').toStdString();
    EXPECT_EQ(dialogsShown(), 0u);
    EXPECT_TRUE(insertedOnce(before, shown(), c.inserted)) << platform::toUtf8(shown());
    script.clear();
  }
}

// The About item is found in the "帮助" menu at the end of the button row.
TEST_F(EditorInViewerTest, TheHelpButtonsMenuOpensTheAboutBox) {
  startOnBook();
  auto* help = dlg->itemAs<QToolButton>(CViewerDlg::IDC_HELP);
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->text(), QStringLiteral("帮助"));
  // The button lies inside the dialog, right of the last button of the row.
  EXPECT_TRUE(dlg->rect().contains(help->geometry())) << help->geometry().right();
  EXPECT_GT(help->geometry().left(), dlg->item(CViewerDlg::IDC_FILETYPES)->geometry().right());

  PopupWatcher watcher(choose(QStringLiteral("关于 Scrivo(&A)...")));
  QTest::mouseClick(dlg->windowHandle(), Qt::LeftButton, {}, help->mapTo(dlg.get(), help->rect().center()));
  ASSERT_EQ(watcher.seen().size(), 1u);
  EXPECT_EQ(watcher.seen()[0], QStringList{QStringLiteral("关于 Scrivo(&A)...")});
  ASSERT_EQ(script.records().size(), 1u);
  EXPECT_EQ(script.records()[0].templateId, 100);
  EXPECT_EQ(script.records()[0].caption, QStringLiteral("关于 Scrivo"));
}
