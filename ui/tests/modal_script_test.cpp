// The scripted answers themselves: a step that no window took fails the test it belongs to,
// so assertions made inside a dialog's action cannot pass unseen.
#include <ui/dialog.h>
#include <ui/modal.h>
#include <ui_testing/modal_script.h>

#include <QDialog>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

using uitest::ModalScript;

TEST(ModalScriptSteps, StepsLeftOverFailTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        ModalScript script;
        script.act([](QDialog&) {});
      },
      "1 dialog action(s), 0 message box answer(s)");
  EXPECT_NONFATAL_FAILURE(
      {
        ModalScript script;
        script.answer(ui::IDYES).answer(ui::IDNO);
        ui::messageBox(nullptr, QStringLiteral("one of two"), QString(), ui::Icon::Question, ui::MB_YESNO);
      },
      "1 scripted step(s) never used");
}

TEST(ModalScriptSteps, UsedOrClearedStepsPass) {
  ModalScript script;
  bool acted = false;
  script.act([&](QDialog& d) {
    acted = true;
    d.accept();
  });
  script.answer(ui::IDCANCEL);
  QDialog dialog;
  EXPECT_EQ(ui::execDialog(dialog), QDialog::Accepted);
  EXPECT_EQ(ui::messageBox(nullptr, QStringLiteral("q"), QString(), ui::Icon::None, ui::MB_OKCANCEL), ui::IDCANCEL);
  EXPECT_TRUE(acted);
  script.act([](QDialog&) {});
  script.clear();  // a window the test no longer expects
}

}  // namespace
