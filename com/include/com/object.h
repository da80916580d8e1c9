// The shape every automation object of an in-process server shares: one identity for
// IUnknown and IDispatch, an atomic reference count that starts at 1, QueryInterface that
// answers IUnknown, IDispatch and the class's own interface only, one lock on the server
// library per live object, and Invoke / GetIDsOfNames driven by a method table.
//
// A class T takes part by deriving from DispatchObject<T> and declaring
//   static const IID& Iid();                       its own dispinterface
//   static std::span<const DispMethod<T>> Methods(); its method table
//   static ModuleLocks& Locks();                   the locks of its library
#pragma once

#include <com/export.h>
#include <com/dispatch.h>
#include <com/ptr.h>

#include <atomic>
#include <new>
#include <span>
#include <string>

QORVEL_COM_API_BEGIN
namespace com {

inline constexpr HRESULT DISP_E_BADINDEX = HRESULT(0x8002000Bu);

/// Live objects, server locks and client references on class objects of one library;
/// the library may be unloaded only when the count is 0 (DllCanUnloadNow).
class ModuleLocks {
 public:
  /// \brief Held by each live object and each client reference on a class object.
  void Lock() { n_.fetch_add(1, std::memory_order_relaxed); }
  void Unlock() { n_.fetch_sub(1, std::memory_order_acq_rel); }
  /// \brief IClassFactory::LockServer. Counted apart and never below 0, so a stray
  /// LockServer(FALSE) cannot give back a hold that an object or a client still has.
  void LockServer(bool lock) {
    if (lock) {
      server_.fetch_add(1, std::memory_order_relaxed);
      return;
    }
    int32_t n = server_.load(std::memory_order_relaxed);
    while (n > 0 && !server_.compare_exchange_weak(n, n - 1, std::memory_order_acq_rel)) {
    }
  }
  int32_t Count() const { return n_.load(std::memory_order_acquire) + server_.load(std::memory_order_acquire); }

 private:
  std::atomic<int32_t> n_{0};
  std::atomic<int32_t> server_{0};
};

/// Thrown by DispArgs when an argument does not convert to its parameter's type.
struct ArgTypeError {
  UINT index;  // parameter position, from 0
};

/// The arguments of one call in parameter order (0 is the first parameter), converted as
/// the parameter types ask: a BSTR parameter takes a BSTR, a number (its decimal text) or
/// nothing (empty text); a long parameter takes a number, a BSTR holding a decimal number or
/// nothing (0). Anything else throws ArgTypeError.
class DispArgs {
 public:
  explicit DispArgs(const DISPPARAMS& p) : p_(p) {}
  UINT Count() const { return p_.cArgs; }
  std::u16string Text(UINT i) const;
  int32_t Long(UINT i) const;

 private:
  const VARIANT& at(UINT i) const { return p_.rgvarg[p_.cArgs - 1 - i]; }
  const DISPPARAMS& p_;
};

/// Where a method's result goes; with no result slot, what is handed over is freed.
class DispResult {
 public:
  explicit DispResult(VARIANT* r) : r_(r) {}
  void Long(int32_t n);
  void Text(std::u16string_view text);
  /// \brief Hands an object (or an empty object) to the caller, with its only reference.
  template <class U>
  void Object(ComPtr<U> p) {
    IDispatch* d = p.detach();
    if (!r_) {
      if (d) d->Release();
      return;
    }
    r_->vt = VT_DISPATCH;
    r_->pdispVal = d;
  }

 private:
  VARIANT* r_;
};

/// One row of a method table: dispatch identifier, name, parameter count, and the glue that
/// unpacks the arguments, calls the member function and stores its result.
template <class T>
struct DispMethod {
  DISPID id;
  const char16_t* name;
  UINT params;
  void (*call)(T& self, const DispArgs& args, DispResult& result);
};

namespace detail {
/// \brief True when a method name matches the asked one (A-Z case ignored; null never matches).
bool sameName(const char16_t* tableName, const char16_t* asked);
/// \brief Checks what every table-driven Invoke checks before calling: flags, named
/// arguments, argument count. S_OK to go on.
HRESULT checkCall(WORD flags, const DISPPARAMS* params, UINT expected);
/// \brief Turns an exception that escaped a method into DISP_E_EXCEPTION (or E_OUTOFMEMORY).
HRESULT failedCall(EXCEPINFO* excep);
}  // namespace detail

template <class T>
class DispatchObject : public IDispatch {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == T::Iid()) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    ULONG n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT GetIDsOfNames(REFIID, const char16_t** names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const auto& row : T::Methods())
      if (detail::sameName(row.name, names[0])) ids[0] = row.id;
    // Methods have no named parameters: every further name is unknown.
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* argErr) override {
    const DispMethod<T>* m = nullptr;
    for (const auto& row : T::Methods())
      if (row.id == id) m = &row;
    if (!m) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none;
    if (!params) params = &none;
    if (HRESULT hr = detail::checkCall(flags, params, m->params); FAILED(hr)) return hr;
    if (result) VariantInit(result);
    DispArgs args(*params);
    DispResult out(result);
    try {
      m->call(static_cast<T&>(*this), args, out);
    } catch (const ArgTypeError& e) {
      if (argErr) *argErr = params->cArgs - 1 - e.index;
      return DISP_E_TYPEMISMATCH;
    } catch (...) {
      return detail::failedCall(excep);
    }
    return S_OK;
  }

 protected:
  DispatchObject() { T::Locks().Lock(); }
  virtual ~DispatchObject() { T::Locks().Unlock(); }

 private:
  std::atomic<ULONG> refs_{1};
};

/// \brief A new object of T holding its one first reference.
template <class T, class... A>
ComPtr<T> make(A&&... a) {
  return ComPtr<T>::adopt(new T(std::forward<A>(a)...));
}

/// The class object of T: every CreateInstance makes a new T. It lives as long as the
/// library; each client reference and each LockServer(TRUE) holds the library.
template <class T>
class ClassFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override {
    T::Locks().Lock();
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  ULONG Release() override {
    T::Locks().Unlock();
    return refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    T* obj = nullptr;
    try {
      obj = new T();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
    HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    T::Locks().LockServer(lock != 0);
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{0};
};

}  // namespace com
QORVEL_COM_API_END
