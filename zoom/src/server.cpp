// The library's exported entry points: class objects, unload check, self-registration.
#include "ZoomConn.h"
#include "ZoomRec.h"
#include "ZoomRs.h"
#include "ZoomSvr.h"
#include "ids.h"

#include <com/inproc_server.h>

namespace zoom {

com::ModuleLocks& ZoomLocks() {
  static com::ModuleLocks locks;
  return locks;
}

namespace {

// One class object per class, made at load and living as long as the library.
com::ClassFactory<CZoomConn> connFactory;
com::ClassFactory<CZoomRs> rsFactory;
com::ClassFactory<CZoomRec> recFactory;
com::ClassFactory<CZoomSvr> svrFactory;

const com::ServerClass kClasses[] = {
    {CLSID_ZoomConn, u"zoom.ZoomConn", &connFactory},
    {CLSID_ZoomRs, u"zoom.ZoomRs", &rsFactory},
    {CLSID_ZoomRec, u"zoom.ZoomRec", &recFactory},
    {CLSID_ZoomSvr, u"zoom.ZoomSvr", &svrFactory},
};

}  // namespace
}  // namespace zoom

/// \brief The class object of one of the four classes, asked for `iid`;
/// CLASS_E_CLASSNOTAVAILABLE for any other CLSID.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllGetClassObject(const com::CLSID& clsid,
                                                                                const com::IID& iid, void** ppv) {
  return com::serverGetClassObject(zoom::kClasses, clsid, iid, ppv);
}

/// \brief S_OK when no object is alive, no lock is held and no class object is referenced.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllCanUnloadNow() {
  return com::serverCanUnloadNow(zoom::ZoomLocks());
}

/// \brief Writes the four classes' keys (InProcServer32 = this library's absolute path);
/// SELFREG_E_CLASS when a registry write fails.
extern "C" __attribute__((visibility("default"))) com::HRESULT DllRegisterServer() {
  return com::serverRegister(zoom::kClasses);
}
