// Registration keys of an in-process server class.
#include <com/selfreg.h>

#include <platform/registry.h>

#include <dlfcn.h>

#include <filesystem>

namespace com {

namespace {
bool setDefault(const std::u16string& path, std::u16string_view value) {
  platform::RegKey k;
  return platform::RegCreateKeyEx(platform::HKEY_CLASSES_ROOT, path.c_str(), k.put()) == platform::ERROR_SUCCESS &&
         platform::RegSetValueEx(k.get(), nullptr, value) == platform::ERROR_SUCCESS;
}
}  // namespace

HRESULT registerServerClass(REFCLSID clsid, std::u16string_view progId, std::u16string_view libraryPath) {
  std::u16string id = formatGuid(clsid);
  std::u16string prog(progId);
  std::u16string key = u"CLSID\\" + id;
  // Every write is tried; one failure is enough to report the class as not registered.
  bool ok = setDefault(prog, prog);
  ok &= setDefault(prog + u"\\CLSID", id);
  ok &= setDefault(key, prog);
  ok &= setDefault(key + u"\\ProgID", prog);
  ok &= setDefault(key + u"\\InProcServer32", libraryPath);
  return ok ? S_OK : SELFREG_E_CLASS;
}

std::string libraryPathOf(const void* address) {
  Dl_info info{};
  if (!dladdr(address, &info) || !info.dli_fname) return {};
  std::error_code ec;
  // dladdr gives the name the library was loaded by, which may be relative.
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(info.dli_fname, ec), ec);
  return p.string();
}

}  // namespace com
