#include <ui/translations.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace ui {

namespace {
// The translator a call installed. It belongs to its application, so a later application
// in the same process (a test program makes one per run, a library may outlive its host's)
// finds none and loads its own.
QPointer<QTranslator> installed;
}  // namespace

QString qtTranslationFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool loadQtTranslations(const QString& folder) {
  if (installed) return true;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  // The exact file only: QTranslator::load would also try shorter names (qtbase_zh.qm,
  // qtbase.qm) and take whatever other language such a file holds.
  const QString file = QDir(folder.isEmpty() ? qtTranslationFolder() : folder).filePath(QLatin1String(kQtTranslationFile));
  if (!QFileInfo(file).isFile()) return false;
  auto* translator = new QTranslator(app);
  if (!translator->load(file) || !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  installed = translator;
  return true;
}

}  // namespace ui
