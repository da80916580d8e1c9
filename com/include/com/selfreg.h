// What an in-process server's DllRegisterServer writes for each of its classes.
#pragma once

#include <com/export.h>
#include <com/guid.h>
#include <com/hresult.h>

#include <string>
#include <string_view>

QORVEL_COM_API_BEGIN
namespace com {

/// \brief Writes under HKEY_CLASSES_ROOT, with {clsid} the braced CLSID:
///   <progId> = progId;  <progId>\CLSID = {clsid};
///   CLSID\{clsid} = progId;  CLSID\{clsid}\ProgID = progId;
///   CLSID\{clsid}\InProcServer32 = libraryPath.
/// No ThreadingModel value. S_OK, or SELFREG_E_CLASS when any write fails.
HRESULT registerServerClass(REFCLSID clsid, std::u16string_view progId, std::u16string_view libraryPath);

/// \brief The absolute path of the shared library (or program) that holds `address`.
std::string libraryPathOf(const void* address);

}  // namespace com
QORVEL_COM_API_END
