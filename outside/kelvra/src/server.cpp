// The library's exported entry points: class objects, unload check, self-registration.
#include "Record.h"
#include "ids.h"

#include <com/selfreg.h>

#include <platform/text.h>

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

struct ClassEntry {
  const com::CLSID& clsid;
  const char16_t* progId;
  com::IClassFactory* factory;
};

const ClassEntry kClasses[] = {
    {CLSID_Server, u"Kelvra.Server", &serverFactory},
    {CLSID_Dbase, u"Kelvra.Dbase", &dbaseFactory},
    {CLSID_RecordSet, u"Kelvra.RecordSet", &recordSetFactory},
    {CLSID_Record, u"Kelvra.Record", &recordFactory},
};

}  // namespace
}  // namespace kelvra

using namespace kelvra;

/// \brief The class object of one of the four classes, asked for `iid`;
/// CLASS_E_CLASSNOTAVAILABLE for any other CLSID.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllGetClassObject(const com::CLSID& clsid,
                                                                                const com::IID& iid, void** ppv) {
  if (!ppv) return com::E_POINTER;
  *ppv = nullptr;
  for (const ClassEntry& c : kClasses)
    if (c.clsid == clsid) return c.factory->QueryInterface(iid, ppv);
  return com::CLASS_E_CLASSNOTAVAILABLE;
}

/// \brief S_OK when no object is alive, no lock is held and no class object is referenced.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllCanUnloadNow() {
  return KelvraLocks().Count() == 0 ? com::S_OK : com::S_FALSE;
}

/// \brief Writes the four classes' keys (InProcServer32 = this library's absolute path);
/// SELFREG_E_CLASS when a registry write fails.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllRegisterServer() {
  std::u16string path = platform::fromUtf8(com::libraryPathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
  if (path.empty()) return com::SELFREG_E_CLASS;
  com::HRESULT result = com::S_OK;
  for (const ClassEntry& c : kClasses)
    if (com::FAILED(com::registerServerClass(c.clsid, c.progId, path))) result = com::SELFREG_E_CLASS;
  return result;
}
