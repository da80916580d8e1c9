// Creating objects: by CLSID or ProgID through the registry (ProgID -> CLSID ->
// InProcServer32 -> the server library's DllGetClassObject -> IClassFactory::CreateInstance),
// or from class objects registered in the process itself (test doubles). There are no
// apartments: CoInitialize and OleRun succeed and do nothing.
#pragma once

#include <com/export.h>
#include <com/ptr.h>
#include <com/unknown.h>

#include <string>
#include <string_view>

QORVEL_COM_API_BEGIN
namespace com {

enum : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_SERVER = 0x15,
  CLSCTX_ALL = 0x17,
};
enum : DWORD { REGCLS_SINGLEUSE = 0, REGCLS_MULTIPLEUSE = 1 };

/// \brief Always S_OK: calls are direct, there is nothing to set up.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
/// \brief S_OK for any object (in-process objects are running from the start); E_POINTER for null.
HRESULT OleRun(IUnknown* object);

/// \brief The CLSID of a ProgID: a class registered in the process first, then
/// HKEY_CLASSES_ROOT\<progId>\CLSID. CO_E_CLASSSTRING when neither knows it.
HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid);

/// \brief The class object of clsid for interface iid: a class object registered in the
/// process first, else the server library named by the default value of
/// HKEY_CLASSES_ROOT\CLSID\{...}\InProcServer32, loaded once and never unloaded. REGDB_E_CLASSNOTREG when the class is not
/// registered, CO_E_DLLNOTFOUND when the library does not load, CO_E_ERRORINDLL when it has
/// no DllGetClassObject; otherwise what DllGetClassObject answers.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** ppv);
/// \brief A new object of clsid, by its class object's CreateInstance.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** ppv);

/// \brief Registers a class object in this process under its CLSID and ProgID (it is held
/// until revoked), so that CoGetClassObject, CoCreateInstance and creation by ProgID find it
/// before the registry: for test doubles of classes that callers create by ProgID. *cookie
/// names it for CoRevokeClassObject.
HRESULT registerClassInProcess(std::u16string_view progId, REFCLSID clsid, IUnknown* factory, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

/// \brief A new object by ProgID, asked for iid; what the first failing step answered otherwise.
HRESULT createByProgId(std::u16string_view progId, REFIID iid, void** ppv);

}  // namespace com
QORVEL_COM_API_END
