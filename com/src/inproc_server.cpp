// The shared body of an in-process server's exported entry points.
#include <com/inproc_server.h>

#include <com/selfreg.h>

#include <platform/text.h>

namespace com {

HRESULT serverGetClassObject(std::span<const ServerClass> classes, REFCLSID clsid, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const ServerClass& c : classes)
    if (c.clsid == clsid) return c.factory->QueryInterface(iid, ppv);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT serverCanUnloadNow(const ModuleLocks& locks) { return locks.Count() == 0 ? S_OK : S_FALSE; }

HRESULT serverRegister(std::span<const ServerClass> classes) {
  // The table lives in the server library's own data, so its address names that library
  // even where this code is linked into several libraries of one process.
  std::u16string path = platform::fromUtf8(libraryPathOf(static_cast<const void*>(classes.data())));
  if (path.empty()) return SELFREG_E_CLASS;
  HRESULT result = S_OK;
  for (const ServerClass& c : classes)
    if (FAILED(registerServerClass(c.clsid, c.progId, path))) result = SELFREG_E_CLASS;
  return result;
}

}  // namespace com
