// libzoom reached as a server only: loaded by path, entry points found by name.
#pragma once

#include <com/com.h>

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <stdexcept>

struct ZoomLibrary {
  using GetClassObjectFn = com::HRESULT (*)(const com::CLSID&, const com::IID&, void**);
  using PlainFn = com::HRESULT (*)();
  GetClassObjectFn getClassObject = nullptr;
  PlainFn canUnloadNow = nullptr;
  PlainFn registerServer = nullptr;

  static ZoomLibrary& get() {
    static ZoomLibrary lib;
    return lib;
  }

  /// \brief A new object of clsid through its class object, asked for IDispatch.
  com::ComPtr<com::IDispatch> create(const com::CLSID& clsid) {
    com::ComPtr<com::IClassFactory> f;
    EXPECT_EQ(getClassObject(clsid, com::IID_IClassFactory, f.putVoid()), com::S_OK);
    com::ComPtr<com::IDispatch> d;
    if (f) {
      EXPECT_EQ(f->CreateInstance(nullptr, com::IID_IDispatch, d.putVoid()), com::S_OK);
    }
    return d;
  }

 private:
  ZoomLibrary() {
    void* h = dlopen(ZOOM_LIBRARY, RTLD_NOW | RTLD_NODELETE);
    if (!h) throw std::runtime_error(dlerror());
    getClassObject = reinterpret_cast<GetClassObjectFn>(dlsym(h, "DllGetClassObject"));
    canUnloadNow = reinterpret_cast<PlainFn>(dlsym(h, "DllCanUnloadNow"));
    registerServer = reinterpret_cast<PlainFn>(dlsym(h, "DllRegisterServer"));
    if (!getClassObject || !canUnloadNow || !registerServer) throw std::runtime_error("missing export");
  }
};
