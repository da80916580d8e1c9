// What every in-process automation server's three exported entry points do, over the
// server's own table of classes. A server lists its classes once,
//
//   const com::ServerClass kClasses[] = {{CLSID_Foo, u"Lib.Foo", &fooFactory}, ...};
//
// and each export is one call:
//
//   DllGetClassObject -> com::serverGetClassObject(kClasses, clsid, iid, ppv)
//   DllCanUnloadNow   -> com::serverCanUnloadNow(FooLocks())
//   DllRegisterServer -> com::serverRegister(kClasses)
#pragma once

#include <com/export.h>
#include <com/guid.h>
#include <com/hresult.h>
#include <com/object.h>

#include <span>

QORVEL_COM_API_BEGIN
namespace com {

/// One class a server library offers: its CLSID, its ProgID and its class object, which
/// lives as long as the library.
struct ServerClass {
  const CLSID& clsid;
  const char16_t* progId;
  IClassFactory* factory;
};

/// \brief DllGetClassObject: the class object of the listed class `clsid`, asked for `iid`;
/// E_POINTER for a null `ppv`, CLASS_E_CLASSNOTAVAILABLE for a CLSID not listed.
HRESULT serverGetClassObject(std::span<const ServerClass> classes, REFCLSID clsid, REFIID iid, void** ppv);

/// \brief DllCanUnloadNow: S_OK when no object is alive, no lock is held and no class object
/// is referenced; S_FALSE otherwise.
HRESULT serverCanUnloadNow(const ModuleLocks& locks);

/// \brief DllRegisterServer: writes each listed class's keys (registerServerClass), with
/// InProcServer32 the absolute path of the library that holds the table `classes` (so the
/// table must be a static one of the server). Every class is tried; SELFREG_E_CLASS when
/// the path is unknown or any write fails.
HRESULT serverRegister(std::span<const ServerClass> classes);

}  // namespace com
QORVEL_COM_API_END
