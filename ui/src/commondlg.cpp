#include <ui/commondlg.h>

#include <ui/modal.h>

#include <QFileDialog>
#include <QFontDialog>

namespace ui {

QStringList nameFilters(const QString& windowsFilter) {
  QStringList parts = windowsFilter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& desc = parts[i];
    if (desc.isEmpty() && parts[i + 1].isEmpty()) break;  // the closing "||"
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt reads the patterns from the last "(...)"; a description that already ends with
    // them ("Excel (*.xls)") is kept as it is.
    if (desc.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')'))) out << desc;
    else out << desc + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return out;
}

namespace {

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogOptions& o, bool save) {
  QFileDialog d(parent, o.title, o.initialDir);
  d.setOption(QFileDialog::DontUseNativeDialog);
  d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  d.setFileMode(save || !o.fileMustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save && !o.overwritePrompt) d.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters = nameFilters(o.filter);
  if (!filters.isEmpty()) d.setNameFilters(filters);
  if (!o.defaultExt.isEmpty()) d.setDefaultSuffix(o.defaultExt);
  if (!o.fileName.isEmpty()) d.selectFile(o.fileName);
  if (execDialog(d) != QDialog::Accepted) return std::nullopt;
  QStringList files = d.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return files.front();
}

}  // namespace

std::optional<QString> getOpenFileName(QWidget* parent, const FileDialogOptions& options) {
  return runFileDialog(parent, options, false);
}

std::optional<QString> getSaveFileName(QWidget* parent, const FileDialogOptions& options) {
  return runFileDialog(parent, options, true);
}

std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) {
  QFontDialog d(initial, parent);
  d.setOption(QFontDialog::DontUseNativeDialog);
  if (execDialog(d) != QDialog::Accepted) return std::nullopt;
  return d.selectedFont();
}

}  // namespace ui
