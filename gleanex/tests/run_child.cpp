// A harvest run in a process of its own, for the tests that end or limit a whole process
// (a signal, a file-size limit). It starts the main dialog as the program does (program
// folder, settings, the stop signals), presses 确定 once the window is up and answers every
// message box with its first button. It prints, one per line: each message box
// ("message: " and its text, line breaks as " | "), the status line ("status: "), the
// counters ("counts: " one-hit, several-hits, no-hit) and how the window closed
// ("closed: by itself" after a signal asked for it, else "closed: after the run").
// Usage: gleanex-run-child PROGRAM_FOLDER SOURCE
#include "main_dlg.h"
#include "stop_signals.h"

#include <com/create.h>
#include <ui/modal.h>

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

void say(const char* what, const QString& text) {
  std::printf("%s: %s\n", what, QString(text).replace(QLatin1Char('\n'), QStringLiteral(" | ")).toUtf8().constData());
  std::fflush(stdout);
}

class Answers : public ui::ModalHook {
 public:
  explicit Answers(QDialog& main) : main_(main) {}
  int messageBox(const ui::MessageBoxInfo& box) override {
    say("message", box.text);
    return ui::defaultButtonResult(box.buttons);
  }
  int dialog(QDialog& dialog) override {
    if (&dialog == &main_) return dialog.QDialog::exec();
    say("dialog", dialog.windowTitle());
    return ui::IDCANCEL;
  }

 private:
  QDialog& main_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gleanex-run-child PROGRAM_FOLDER SOURCE\n");
    return 2;
  }
  QApplication app(argc, argv);
  com::CoInitialize(nullptr);
  theApp().SetProgramFolder(platform::fromUtf8(argv[1]));
  theApp().LoadSettings();

  CGleanexDlg dlg;
  dlg.SetInitialSource(platform::fromUtf8(argv[2]));
  Answers answers(dlg);
  ui::setModalHook(&answers);
  CStopSignals stopSignals(dlg);
  QTimer::singleShot(0, &dlg, [&] {
    say("started", QString());
    dlg.OnOK();
    say("status", ui::controlText(&dlg, 1017));
    std::printf("counts: %d %d %d\n", dlg.oneHitCount, dlg.multiHitCount, dlg.noHitCount);
    if (dlg.isVisible()) {
      say("closed", QStringLiteral("after the run"));
      dlg.reject();
    } else {
      say("closed", QStringLiteral("by itself"));
    }
  });
  ui::execDialog(dlg);
  ui::setModalHook(nullptr);
  return 0;
}
