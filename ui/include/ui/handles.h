// Window handles: windows that cross an automation interface as a `long` do so as 32-bit
// numbers from one table, never as pointers. A handle dies with its window.
#pragma once

#include <ui/export.h>
#include <ui/win.h>

class QObject;
class QWidget;

QORVEL_UI_API_BEGIN
namespace ui {

/// \brief The handle of a window (or any QObject that receives window messages), given
/// on first use and kept while it lives; 0 for null.
HWND handleOf(QObject* window);
/// \brief The object behind a handle; null when the handle is unknown or its window is gone.
QObject* objectOf(HWND h);
/// \brief IsWindow.
inline bool isWindow(HWND h) { return objectOf(h) != nullptr; }

}  // namespace ui
QORVEL_UI_API_END
