// The library's own bookkeeping: the locks that DllCanUnloadNow reads.
#pragma once

#include <com/object.h>

namespace zoom {

/// \brief Live objects, server locks and client references on the class objects of libzoom.
com::ModuleLocks& ZoomLocks();

}  // namespace zoom
