// Inside the layer: acting on the window behind a handle while the handle table holds it, so
// that a window deleted on its own thread cannot go away half-way through a post from another.
#pragma once

#include <ui/win.h>

#include <functional>

class QObject;

namespace ui::detail {

/// \brief Runs `f` on the object behind `h` with the table locked (its window's destruction
/// waits for `f` to return); false when the handle names no live window. `f` must not call
/// back into the handle table nor deliver events.
bool withLiveObject(HWND h, const std::function<void(QObject*)>& f);

}  // namespace ui::detail
