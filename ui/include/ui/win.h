// The Windows numbers and types that cross the suite's interfaces: dialog results, message
// box styles, clipboard formats and the types of window messages.
#pragma once

#include <ui/export.h>

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

QORVEL_UI_API_BEGIN
namespace ui {

// Results of a modal dialog or message box.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
/// Id of a static text or frame that code never looks up.
constexpr int IDC_STATIC = -1;

// Buttons of a message box.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_RETRYCANCEL = 0x5;
constexpr unsigned MB_TYPEMASK = 0xF;
// Icons of a message box (in the combined style word).
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONMASK = 0xF0;

// Clipboard formats.
constexpr unsigned CF_TEXT = 1;
constexpr unsigned CF_UNICODETEXT = 13;
constexpr unsigned CF_HDROP = 15;

// Window messages.
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
/// A window's handle as it crosses an automation interface: a 32-bit number from the
/// handle table, 0 for none.
using HWND = uint32_t;
constexpr uint32_t WM_PASTE = 0x0302;
constexpr uint32_t WM_USER = 0x0400;

/// \brief UTF-16 text to QString.
inline QString qs(std::u16string_view s) { return QString(reinterpret_cast<const QChar*>(s.data()), qsizetype(s.size())); }
/// \brief QString to UTF-16 text.
inline std::u16string toU16(const QString& s) { return s.toStdU16String(); }

}  // namespace ui
QORVEL_UI_API_END
