// DispatchDriver: the base of the dispatch wrappers. It holds one IDispatch and calls its
// methods by dispatch identifier; a failed call throws ComError with the call's HRESULT,
// and any call on a wrapper that holds no object throws ComError(E_POINTER).
#pragma once

#include <com/create.h>
#include <com/dispatch.h>
#include <com/variant.h>

#include <string>
#include <string_view>
#include <vector>

namespace com {

class DispatchDriver {
 public:
  DispatchDriver() = default;
  /// Holds d (released at the end when autoRelease).
  explicit DispatchDriver(IDispatch* d, bool autoRelease = true) : m_lpDispatch(d), m_bAutoRelease(autoRelease) {}
  DispatchDriver(const DispatchDriver& o);
  DispatchDriver& operator=(const DispatchDriver& o);
  virtual ~DispatchDriver() { ReleaseDispatch(); }

  /// \brief Creates the object by ProgID (or CLSID) and holds it; false (with *error) on failure.
  bool CreateDispatch(std::u16string_view progId, HRESULT* error = nullptr);
  bool CreateDispatch(REFCLSID clsid, HRESULT* error = nullptr);
  /// \brief Holds d instead of what was held (that one is released first).
  void AttachDispatch(IDispatch* d, bool autoRelease = true);
  /// \brief Releases the object (when owned) and holds nothing.
  void ReleaseDispatch();

  IDispatch* m_lpDispatch = nullptr;
  bool m_bAutoRelease = true;

 protected:
  /// One argument in parameter order.
  struct Arg {
    Arg(int32_t n) : v(n) {}
    Arg(std::u16string_view s) : v(s) {}
    Arg(const char16_t* s) : v(std::u16string_view(s ? s : u"")) {}
    Arg(const std::u16string& s) : v(std::u16string_view(s)) {}
    Variant v;
  };
  /// \brief Calls method `id` with `args`; throws ComError on failure.
  Variant InvokeHelper(DISPID id, std::initializer_list<Arg> args) const;
  void InvokeVoid(DISPID id, std::initializer_list<Arg> args = {}) const;
  int32_t InvokeLong(DISPID id, std::initializer_list<Arg> args = {}) const;
  std::u16string InvokeText(DISPID id, std::initializer_list<Arg> args = {}) const;
  /// \brief An object result, with its reference passed to the caller (null: an empty object).
  IDispatch* InvokeObject(DISPID id, std::initializer_list<Arg> args = {}) const;
};

}  // namespace com
