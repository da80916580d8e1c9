// The library's exported entry points: class object, unload check, self-registration.
#include "Connection.h"
#include "ids.h"

#include <com/inproc_server.h>

namespace {
com::ClassFactory<ado::CAdoConnection> connectionFactory;
const com::ServerClass kClasses[] = {{ado::CLSID_Connection, u"ADODB.Connection", &connectionFactory}};
}  // namespace

/// \brief The class object of ADODB.Connection, asked for `iid`; CLASS_E_CLASSNOTAVAILABLE
/// for any other CLSID.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllGetClassObject(const com::CLSID& clsid,
                                                                                const com::IID& iid, void** ppv) {
  return com::serverGetClassObject(kClasses, clsid, iid, ppv);
}

/// \brief S_OK when no object is alive, no lock is held and no class object is referenced.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllCanUnloadNow() {
  return com::serverCanUnloadNow(ado::AdoLocks());
}

/// \brief Writes the class's keys (ProgID ADODB.Connection, InProcServer32 = this library's path).
extern "C" __attribute__((visibility("default"))) com::HRESULT DllRegisterServer() {
  return com::serverRegister(kClasses);
}
