// One QApplication for a whole GUI test program, made before the first test and removed
// after the last.
#include <ui/fonts.h>

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

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
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
