// The library's exported entry points: class object, unload check, self-registration.
#include "XlsFile.h"
#include "ids.h"

#include <com/inproc_server.h>

namespace sheetrix {

com::ModuleLocks& SheetrixLocks() {
  static com::ModuleLocks locks;
  return locks;
}

namespace {
com::ClassFactory<CXlsFile> xlsFileFactory;
const com::ServerClass kClasses[] = {{CLSID_XlsFile, u"Sheetrix.XlsFile", &xlsFileFactory}};
}  // namespace
}  // namespace sheetrix

/// \brief The class object of Sheetrix.XlsFile asked for `iid`; CLASS_E_CLASSNOTAVAILABLE
/// for any other CLSID.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllGetClassObject(const com::CLSID& clsid,
                                                                                const com::IID& iid, void** ppv) {
  return com::serverGetClassObject(sheetrix::kClasses, clsid, iid, ppv);
}

/// \brief S_OK when no object is alive, no lock is held and no class object is referenced.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllCanUnloadNow() {
  return com::serverCanUnloadNow(sheetrix::SheetrixLocks());
}

/// \brief Writes the class's keys (InProcServer32 = this library's absolute path);
/// SELFREG_E_CLASS when a registry write fails.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllRegisterServer() {
  return com::serverRegister(sheetrix::kClasses);
}
