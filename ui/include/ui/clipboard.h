// The clipboard, always used from the GUI thread (calls from other threads are carried
// there and wait).
#pragma once

#include <ui/export.h>

#include <QByteArray>
#include <QString>

#include <functional>

QORVEL_UI_API_BEGIN
namespace ui {

/// \brief The MIME type of a Windows clipboard format: CF_UNICODETEXT and CF_TEXT
/// "text/plain", CF_HDROP "text/uri-list"; empty for others.
QString mimeOfFormat(unsigned format);

/// \brief Puts text on the clipboard (CF_UNICODETEXT).
void setClipboardText(const QString& text);
/// \brief The clipboard's text, empty when it holds none.
QString clipboardText();
/// \brief IsClipboardFormatAvailable.
bool clipboardHas(unsigned format);
/// \brief Puts raw data of a MIME type on the clipboard, replacing what it held.
void setClipboardData(const QString& mime, const QByteArray& data);
QByteArray clipboardData(const QString& mime);

/// \brief Runs `f` on the GUI thread and waits for it (at once when already there).
void runOnGuiThread(const std::function<void()>& f);

}  // namespace ui
QORVEL_UI_API_END
