// Gleanex: the batch harvester. Reads Gleanex.ini beside the executable (the defaults when
// there is none), registers the suite's servers for the user when they are not yet, and
// runs the main dialog until it closes.
#include "main_dlg.h"

#include <com/create.h>
#include <platform/paths.h>
#include <ui/modal.h>

#include <QApplication>

#ifndef GLEANEX_SERVER_PATHS
#define GLEANEX_SERVER_PATHS ""
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Gleanex"));
  com::CoInitialize(nullptr);

  CGleanexApp& gleanex = theApp();
  gleanex.SetProgramFolder(platform::pathToWide(platform::programFolder()));
  gleanex.LoadSettings();
  RegisterMissingServers(GLEANEX_SERVER_PATHS);

  CGleanexDlg dlg;
  ui::execDialog(dlg);
  return 0;
}
