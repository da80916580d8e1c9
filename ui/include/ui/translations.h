// Qt's own texts in Chinese: the buttons and labels that Qt's standard dialogs (file, font,
// colour) and message boxes carry come from Qt's translation of qtbase, not from the suite.
#pragma once

#include <ui/export.h>

#include <QString>

QORVEL_UI_API_BEGIN
namespace ui {

/// The file of Qt's translation that the suite loads (package qt6-translations-l10n).
inline constexpr const char* kQtTranslationFile = "qtbase_zh_CN.qm";

/// \brief Qt's translations folder (QLibraryInfo::TranslationsPath).
QString qtTranslationFolder();
/// \brief Loads Qt's Chinese texts from `folder` (empty: Qt's translations folder) into the
/// running application; once per application, later calls answer at once. True when they
/// are loaded; without an application, or when the file is missing or unreadable, nothing
/// changes and the answer is false. GUI thread only.
bool loadQtTranslations(const QString& folder = QString());

}  // namespace ui
QORVEL_UI_API_END
