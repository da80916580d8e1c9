// ComPtr: holds one reference on an interface or object and gives it back when it goes.
#pragma once

#include <com/export.h>
#include <com/unknown.h>

#include <utility>

QORVEL_COM_API_BEGIN
namespace com {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  /// Takes one more reference on p.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  ComPtr(ComPtr<U>&& o) noexcept : p_(o.detach()) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  /// \brief Adopts a reference the caller already holds (no AddRef).
  static ComPtr adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  /// \brief Gives up the reference without releasing it.
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  /// \brief Releases what is held and answers the slot for an out-parameter.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  /// \brief Asks the held object for interface `iid` as U.
  template <class U>
  HRESULT as(REFIID iid, ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out.putVoid());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace com
QORVEL_COM_API_END
