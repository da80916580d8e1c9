// Object creation through the registry and through class objects registered in-process.
#include <com/create.h>

#include <platform/registry.h>
#include <platform/text.h>

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace com {

namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);

struct InProcClass {
  DWORD cookie;
  CLSID clsid;
  std::u16string progId;
  IUnknown* factory;  // one reference held until revoked
};

struct State {
  std::mutex m;
  std::vector<InProcClass> classes;
  DWORD nextCookie = 1;
  std::map<std::string, GetClassObjectFn> servers;  // by library path; never unloaded
};

State& state() {
  static State* s = new State;  // outlives every static destructor that may still create objects
  return *s;
}

// The default value of HKEY_CLASSES_ROOT\path; empty optional when missing.
bool readDefault(const std::u16string& path, std::u16string& value) {
  platform::RegKey k;
  if (platform::RegOpenKeyEx(platform::HKEY_CLASSES_ROOT, path.c_str(), k.put()) != platform::ERROR_SUCCESS)
    return false;
  return platform::RegQueryValue(k.get(), nullptr, value) == platform::ERROR_SUCCESS;
}

// DllGetClassObject of a server library, loading it on first use.
HRESULT serverEntry(const std::string& path, GetClassObjectFn* fn) {
  State& s = state();
  std::lock_guard<std::mutex> g(s.m);
  if (auto it = s.servers.find(path); it != s.servers.end()) {
    *fn = it->second;
    return S_OK;
  }
  // Servers stay loaded for the life of the process: objects and their code may be
  // referenced from anywhere, and unloading buys nothing here.
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE);
  if (!lib) return CO_E_DLLNOTFOUND;
  auto entry = reinterpret_cast<GetClassObjectFn>(dlsym(lib, "DllGetClassObject"));
  if (!entry) return CO_E_ERRORINDLL;
  s.servers.emplace(path, entry);
  *fn = entry;
  return S_OK;
}

}  // namespace

HRESULT CoInitialize(void*) { return S_OK; }
void CoUninitialize() {}

HRESULT OleRun(IUnknown* object) { return object ? S_OK : E_POINTER; }

HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  {
    State& s = state();
    std::lock_guard<std::mutex> g(s.m);
    for (const auto& c : s.classes) {
      if (!c.progId.empty() && platform::equalsNoCase(std::u16string_view(c.progId), std::u16string_view(progId))) {
        *clsid = c.clsid;
        return S_OK;
      }
    }
  }
  std::u16string text;
  if (!*progId || !readDefault(std::u16string(progId) + u"\\CLSID", text)) return CO_E_CLASSSTRING;
  return parseGuid(text, *clsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IUnknown* inProc = nullptr;
  {
    State& s = state();
    std::lock_guard<std::mutex> g(s.m);
    for (const auto& c : s.classes)
      if (c.clsid == clsid) {
        inProc = c.factory;
        inProc->AddRef();
        break;
      }
  }
  if (inProc) {
    HRESULT hr = inProc->QueryInterface(iid, ppv);
    inProc->Release();
    return hr;
  }
  std::u16string path;
  if (!readDefault(u"CLSID\\" + formatGuid(clsid) + u"\\InProcServer32", path) || path.empty())
    return REGDB_E_CLASSNOTREG;
  GetClassObjectFn entry = nullptr;
  if (HRESULT hr = serverEntry(platform::toUtf8(path), &entry); FAILED(hr)) return hr;
  return entry(clsid, iid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ComPtr<IClassFactory> factory;
  if (HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, factory.putVoid()); FAILED(hr))
    return hr;
  return factory->CreateInstance(outer, iid, ppv);
}

HRESULT registerClassInProcess(std::u16string_view progId, REFCLSID clsid, IUnknown* factory, DWORD* cookie) {
  if (!factory || !cookie) return E_INVALIDARG;
  State& s = state();
  std::lock_guard<std::mutex> g(s.m);
  factory->AddRef();
  *cookie = s.nextCookie++;
  s.classes.push_back({*cookie, clsid, std::u16string(progId), factory});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  IUnknown* factory = nullptr;
  {
    State& s = state();
    std::lock_guard<std::mutex> g(s.m);
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it)
      if (it->cookie == cookie) {
        factory = it->factory;
        s.classes.erase(it);
        break;
      }
  }
  if (!factory) return E_INVALIDARG;
  factory->Release();
  return S_OK;
}

HRESULT createByProgId(std::u16string_view progId, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  CLSID clsid;
  if (HRESULT hr = CLSIDFromProgID(std::u16string(progId).c_str(), &clsid); FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, ppv);
}

}  // namespace com
