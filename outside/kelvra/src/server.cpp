// The library's exported entry points: class objects, unload check, self-registration.
#include "Record.h"
#include "ids.h"

#include <com/inproc_server.h>

namespace kelvra {

com::ModuleLocks& KelvraLocks() {
  static com::ModuleLocks locks;
  return locks;
}

namespace {

com::ClassFactory<CKelvraServer> serverFactory;
com::ClassFactory<CKelvraDbase> dbaseFactory;
com::ClassFactory<CKelvraRecordSet> recordSetFactory;
com::ClassFactory<CKelvraRecord> recordFactory;

const com::ServerClass kClasses[] = {
    {CLSID_Server, u"Kelvra.Server", &serverFactory},
    {CLSID_Dbase, u"Kelvra.Dbase", &dbaseFactory},
    {CLSID_RecordSet, u"Kelvra.RecordSet", &recordSetFactory},
    {CLSID_Record, u"Kelvra.Record", &recordFactory},
};

}  // namespace
}  // namespace kelvra

/// \brief The class object of one of the four classes, asked for `iid`;
/// CLASS_E_CLASSNOTAVAILABLE for any other CLSID.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllGetClassObject(const com::CLSID& clsid,
                                                                                const com::IID& iid, void** ppv) {
  return com::serverGetClassObject(kelvra::kClasses, clsid, iid, ppv);
}

/// \brief S_OK when no object is alive, no lock is held and no class object is referenced.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllCanUnloadNow() {
  return com::serverCanUnloadNow(kelvra::KelvraLocks());
}

/// \brief Writes the four classes' keys (InProcServer32 = this library's absolute path);
/// SELFREG_E_CLASS when a registry write fails.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllRegisterServer() {
  return com::serverRegister(kelvra::kClasses);
}
