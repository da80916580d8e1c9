#include <ui/modal.h>
#include <ui_testing/modal_script.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

using namespace ui;

TEST(MessageBox, HookSeesTextCaptionIconAndButtons) {
  uitest::ModalScript script;
  script.answer(IDNO);
  EXPECT_EQ(messageBox(nullptr, QStringLiteral("删除吗？"), QStringLiteral("标题"), Icon::Question, MB_YESNO), IDNO);
  // The style-word form decodes icon and buttons.
  EXPECT_EQ(messageBox(nullptr, QStringLiteral("出错"), QStringLiteral("t"), MB_OKCANCEL | MB_ICONERROR), IDOK);
  const auto boxes = script.messages();
  ASSERT_EQ(boxes.size(), 2u);
  const auto& a = boxes[0];
  EXPECT_EQ(a.text, QStringLiteral("删除吗？"));
  EXPECT_EQ(a.caption, QStringLiteral("标题"));
  EXPECT_EQ(a.icon, Icon::Question);
  EXPECT_EQ(a.buttons, MB_YESNO);
  EXPECT_TRUE(a.scripted);
  const auto& b = boxes[1];
  EXPECT_EQ(b.icon, Icon::Error);
  EXPECT_EQ(b.buttons, MB_OKCANCEL);
  EXPECT_FALSE(b.scripted) << "a box with a choice that nobody answered is flagged";
}

TEST(MessageBox, StyleWordsAndDefaults) {
  struct Case {
    unsigned style;
    Icon icon;
    int first;
  } cases[] = {
      {MB_OK, Icon::None, IDOK},
      {MB_OK | MB_ICONWARNING, Icon::Warning, IDOK},
      {MB_OKCANCEL | MB_ICONINFORMATION, Icon::Information, IDOK},
      {MB_YESNOCANCEL | MB_ICONQUESTION, Icon::Question, IDYES},
      {MB_ABORTRETRYIGNORE | MB_ICONERROR, Icon::Error, IDABORT},
      {MB_RETRYCANCEL, Icon::None, IDRETRY},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(iconOfStyle(c.style), c.icon) << c.style;
    EXPECT_EQ(defaultButtonResult(c.style & MB_TYPEMASK), c.first) << c.style;
  }
}

TEST(MessageBox, EmptyCaptionIsTheApplicationName) {
  uitest::ModalScript script;
  messageBox(nullptr, QStringLiteral("x"));
  ASSERT_EQ(script.messages().size(), 1u);
  EXPECT_EQ(script.messages()[0].caption, QCoreApplication::applicationName());
}

TEST(MessageBox, WithoutAScriptNothingWaitsAndTheTestFails) {
  EXPECT_NONFATAL_FAILURE(
      EXPECT_EQ(messageBox(nullptr, QStringLiteral("无人回答"), QString(), Icon::Question, MB_YESNO), IDYES),
      "message box without a ModalScript");
  QDialog d;
  int result = 0;
  EXPECT_NONFATAL_FAILURE(result = execDialog(d), "modal dialog without a ModalScript");
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_FALSE(d.isVisible());
}

// Without a hook the real box runs; a zero timer (run by the box's own event loop) presses
// one of its buttons, and the result must name that button.
int pressInRealBox(unsigned style, const QString& buttonText, QMessageBox::Icon* iconSeen) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    *iconSeen = box->icon();
    for (QAbstractButton* b : box->buttons())
      if (b->text() == buttonText) b->click();
  });
  return messageBox(nullptr, QStringLiteral("真的"), QStringLiteral("c"), style);
}

TEST(MessageBox, RealBoxMapsButtonsToWin32Results) {
  // The test program's last-resort hook stands aside while the real boxes run.
  struct NoHook {
    ModalHook* saved = setModalHook(nullptr);
    ~NoHook() { setModalHook(saved); }
  } noHook;
  ASSERT_NE(noHook.saved, nullptr) << "GUI tests always run with a hook";
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  EXPECT_EQ(pressInRealBox(MB_YESNOCANCEL | MB_ICONQUESTION, QStringLiteral("否(&N)"), &icon), IDNO);
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(pressInRealBox(MB_OKCANCEL | MB_ICONWARNING, QStringLiteral("取消"), &icon), IDCANCEL);
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(pressInRealBox(MB_OK | MB_ICONERROR, QStringLiteral("确定"), &icon), IDOK);
  EXPECT_EQ(icon, QMessageBox::Critical);
}

}  // namespace
