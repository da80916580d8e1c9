// The library's exported entry points: class object, unload check, self-registration.
#include "XlsFile.h"
#include "ids.h"

#include <com/selfreg.h>

#include <platform/text.h>

namespace sheetrix {

com::ModuleLocks& SheetrixLocks() {
  static com::ModuleLocks locks;
  return locks;
}

namespace {
com::ClassFactory<CXlsFile> xlsFileFactory;
constexpr char16_t kProgId[] = u"Sheetrix.XlsFile";
}  // namespace
}  // namespace sheetrix

using namespace sheetrix;

/// \brief The class object of Sheetrix.XlsFile asked for `iid`; CLASS_E_CLASSNOTAVAILABLE
/// for any other CLSID.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllGetClassObject(const com::CLSID& clsid,
                                                                                const com::IID& iid, void** ppv) {
  if (!ppv) return com::E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_XlsFile) return com::CLASS_E_CLASSNOTAVAILABLE;
  return xlsFileFactory.QueryInterface(iid, ppv);
}

/// \brief S_OK when no object is alive, no lock is held and no class object is referenced.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllCanUnloadNow() {
  return SheetrixLocks().Count() == 0 ? com::S_OK : com::S_FALSE;
}

/// \brief Writes the class's keys (InProcServer32 = this library's absolute path);
/// SELFREG_E_CLASS when a registry write fails.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllRegisterServer() {
  std::u16string path = platform::fromUtf8(com::libraryPathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
  if (path.empty()) return com::SELFREG_E_CLASS;
  return com::registerServerClass(CLSID_XlsFile, kProgId, path);
}
