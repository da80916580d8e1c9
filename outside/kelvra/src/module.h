// What the four Kelvra classes share: the library's locks, and object arguments.
#pragma once

#include <com/object.h>

namespace kelvra {

/// \brief Live objects, server locks and client references on the class objects of libkelvra.
com::ModuleLocks& KelvraLocks();

namespace detail {
/// The arguments of the call under way on this thread; object parameters are read from them
/// directly, since the shared argument reader converts only numbers and texts.
inline thread_local const com::DISPPARAMS* currentParams = nullptr;
}  // namespace detail

/// A Kelvra automation object: the shared object shape, plus parameters that take one of
/// the library's own objects (Dbase.Open takes a Server, RecordSet.Search a Dbase ...).
template <class T>
class KelvraObject : public com::DispatchObject<T> {
 public:
  com::HRESULT Invoke(com::DISPID id, com::REFIID riid, com::LCID lcid, com::WORD flags, com::DISPPARAMS* params,
                      com::VARIANT* result, com::EXCEPINFO* excep, com::UINT* argErr) override {
    const com::DISPPARAMS* outer = std::exchange(detail::currentParams, params);
    com::HRESULT hr = com::DispatchObject<T>::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
    detail::currentParams = outer;
    return hr;
  }

  /// \brief Parameter i (from 0) as an object of class U, with a reference of its own; null
  /// for an empty argument or a null object. Any other argument, or an object of another
  /// class, does not convert (the call fails with a type mismatch).
  template <class U>
  static com::ComPtr<U> ObjectArg(com::UINT i) {
    const com::DISPPARAMS* p = detail::currentParams;
    if (!p || i >= p->cArgs) throw com::ArgTypeError{i};
    const com::VARIANT& v = p->rgvarg[p->cArgs - 1 - i];
    if (v.vt == com::VT_EMPTY || (v.vt == com::VT_DISPATCH && !v.pdispVal)) return nullptr;
    if (v.vt != com::VT_DISPATCH) throw com::ArgTypeError{i};
    // Only U answers U's own interface, so the interface pointer is U's IDispatch.
    com::ComPtr<com::IDispatch> d;
    if (com::FAILED(v.pdispVal->QueryInterface(U::Iid(), d.putVoid())) || !d) throw com::ArgTypeError{i};
    return com::ComPtr<U>::adopt(static_cast<U*>(d.detach()));
  }

 protected:
  KelvraObject() = default;
};

}  // namespace kelvra
