// Scrivo: the MARC file viewer. The whole command line names the file to open (double
// quotes removed); the program ends when its main dialog closes.
#include "viewer_app.h"

#include <ui/fonts.h>
#include <ui/translations.h>

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Scrivo"));
  ui::installFonts();
  ui::loadQtTranslations();
  CViewerApp viewer;
  viewer.InitInstance(CommandLineOf(argc, argv));
  return viewer.ExitInstance();
}
