// The common file and font dialogs, run through ui::execDialog so that tests drive them
// like any other modal dialog.
#pragma once

#include <ui/export.h>

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

QORVEL_UI_API_BEGIN
namespace ui {

struct FileDialogOptions {
  QString title;
  QString initialDir;
  QString fileName;
  /// Windows filter text: "description|patterns|description|patterns||" (patterns split by ';').
  QString filter;
  QString defaultExt;
  bool overwritePrompt = false;  // save: ask before replacing a file
  bool fileMustExist = false;    // open: only existing files
};

/// \brief Windows filter text to Qt name filters ("Text (*.txt *.log)").
QStringList nameFilters(const QString& windowsFilter);

/// \brief The open-file dialog; nothing when cancelled.
std::optional<QString> getOpenFileName(QWidget* parent, const FileDialogOptions& options);
/// \brief The save-file dialog; nothing when cancelled.
std::optional<QString> getSaveFileName(QWidget* parent, const FileDialogOptions& options);
/// \brief The font dialog starting on `initial`; nothing when cancelled.
std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial);

/// Control id of the colour list that the font dialog shows when it lets the user choose the
/// text colour too.
constexpr int IDC_FONT_COLOUR = 1139;
/// \brief The font dialog with the effects (strike-out, underline and the text colour from
/// the sixteen basic colours, the list starting on `colour`); on OK `colour` holds the choice.
/// Nothing when cancelled, and `colour` is left as it was.
std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial, QColor& colour);

}  // namespace ui
QORVEL_UI_API_END
