// Gleanex: the batch harvester. Reads Gleanex.ini beside the executable (the defaults when
// there is none), registers the suite's servers for the user when they are not yet, and
// runs the main dialog until it closes. An argument names the source file to show. A log-out
// or kill (SIGTERM, SIGHUP, SIGINT) stops a run as 停止 does and closes the window after it.
#include "live_call.h"
#include "main_dlg.h"
#include "stop_signals.h"

#include <com/create.h>
#include <platform/paths.h>
#include <ui/modal.h>
#include <ui/translations.h>

#include <QApplication>
#include <QFileInfo>

#ifndef GLEANEX_SERVER_PATHS
#define GLEANEX_SERVER_PATHS ""
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Gleanex"));
  ui::loadQtTranslations();
  com::CoInitialize(nullptr);

  CGleanexApp& gleanex = theApp();
  gleanex.SetProgramFolder(platform::pathToWide(platform::programFolder()));
  gleanex.LoadSettings();
  RegisterMissingServers(GLEANEX_SERVER_PATHS);

  CGleanexDlg dlg;
  const QStringList args = QApplication::arguments();
  // A source named on the command line is the shell's: relative to the folder it was run in,
  // not to the program's folder as the paths typed into the dialog are.
  if (args.size() > 1) dlg.SetInitialSource(QFileInfo(args[1]).absoluteFilePath().toStdU16String());
  CStopSignals stopSignals(dlg);
  ui::execDialog(dlg);
  // A server given up at a stop still has its call; it ends within its time-out, before the
  // libraries it runs in are torn down.
  WaitForAbandonedCalls();
  return 0;
}
