// What the exports share: the Qt application an installer script does not have, the
// narrow texts of the interface, and the library's message boxes.
#pragma once

#include <ui/modal.h>

#include <QString>

#include <string>

class QLineEdit;
class QWidget;

namespace setuply {

/// \brief Makes the Qt application the dialogs need when the host has none (an installer
/// script); it lives as long as the process.
void ensureApplication();

/// \brief A narrow argument (ANSI code page) as UTF-16; null is empty.
std::u16string wideArg(const char* text);
/// \brief A narrow path argument as a file-system path (UTF-8).
std::string pathArg(const char* text);
/// \brief Copies `text` in the ANSI code page with its NUL into a caller's buffer of
/// kSetuplyBufferSize bytes, cut at a character boundary when it would not fit; nothing for null.
void copyNarrow(const QString& text, char* buffer);

/// \brief Keeps an edit box's text short enough for copyNarrow to return it whole; returns it.
QLineEdit* limitToBuffer(QLineEdit* edit);

/// \brief Lets an edit box take digits only; returns it.
QLineEdit* digitsOnly(QLineEdit* edit);

/// \brief A message box of the library (its caption the library's name).
int message(QWidget* parent, const QString& text, ui::Icon icon = ui::Icon::None);

/// \brief The dialogs' parent: the host's active window, none when it has none.
QWidget* hostWindow();

}  // namespace setuply
