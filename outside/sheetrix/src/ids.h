// Identifiers of the Sheetrix component: its class, its dispinterface and the library's locks.
#pragma once

#include <com/guid.h>
#include <com/object.h>

namespace sheetrix {

inline constexpr com::CLSID CLSID_XlsFile = com::makeGuid("6E0F3A21-5C1B-4B7D-9C4E-2A7B1D3F8E01");
inline constexpr com::IID IID_IXlsFile = com::makeGuid("6E0F3A22-5C1B-4B7D-9C4E-2A7B1D3F8E01");

/// \brief Live objects, server locks and client references on the class object of libsheetrix.
com::ModuleLocks& SheetrixLocks();

}  // namespace sheetrix
