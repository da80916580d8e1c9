// One QApplication for a whole GUI test program, made before the first test and removed
// after the last, with a last-resort modal hook so that no test ever waits on a window.
#include <ui/fonts.h>
#include <ui/modal.h>

#include <QApplication>
#include <QDialog>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Beneath every ModalScript: a message box or dialog that comes up while no script is
// installed fails the running test and is answered at once (first button; dialog cancelled).
class UnscriptedModalFails : public ui::ModalHook {
 public:
  int messageBox(const ui::MessageBoxInfo& box) override {
    ADD_FAILURE() << "message box without a ModalScript: " << box.text.toStdString();
    return ui::defaultButtonResult(box.buttons);
  }
  int dialog(QDialog& d) override {
    ADD_FAILURE() << "modal dialog without a ModalScript: " << d.metaObject()->className() << " "
                  << d.windowTitle().toStdString();
    d.done(ui::IDCANCEL);
    return ui::IDCANCEL;
  }
};

class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // Offscreen unless the test registration chose otherwise.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "qorvel-gui-test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    ui::installFonts();
    ui::setModalHook(&fallback_);
  }
  void TearDown() override {
    ui::setModalHook(nullptr);
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
  UnscriptedModalFails fallback_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
