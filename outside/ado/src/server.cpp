// The library's exported entry points: class object, unload check, self-registration.
#include "Connection.h"
#include "ids.h"

#include <com/selfreg.h>

#include <platform/text.h>

namespace {
com::ClassFactory<ado::CAdoConnection> connectionFactory;
}

/// \brief The class object of ADODB.Connection, asked for `iid`; CLASS_E_CLASSNOTAVAILABLE
/// for any other CLSID.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllGetClassObject(const com::CLSID& clsid,
                                                                                const com::IID& iid, void** ppv) {
  if (!ppv) return com::E_POINTER;
  *ppv = nullptr;
  if (clsid != ado::CLSID_Connection) return com::CLASS_E_CLASSNOTAVAILABLE;
  return connectionFactory.QueryInterface(iid, ppv);
}

/// \brief S_OK when no object is alive, no lock is held and no class object is referenced.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllCanUnloadNow() {
  return ado::AdoLocks().Count() == 0 ? com::S_OK : com::S_FALSE;
}

/// \brief Writes the class's keys (ProgID ADODB.Connection, InProcServer32 = this library's path).
extern "C" __attribute__((visibility("default"))) com::HRESULT DllRegisterServer() {
  std::u16string path = platform::fromUtf8(com::libraryPathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
  if (path.empty()) return com::SELFREG_E_CLASS;
  return com::registerServerClass(ado::CLSID_Connection, u"ADODB.Connection", path);
}
