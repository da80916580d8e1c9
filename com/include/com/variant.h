// VARIANT with the four types the suite passes through automation calls.
#pragma once

#include <com/export.h>
#include <com/bstr.h>
#include <com/hresult.h>

#include <cstdint>
#include <string>
#include <string_view>

QORVEL_COM_API_BEGIN
namespace com {

struct IDispatch;

using VARTYPE = uint16_t;
enum : VARTYPE {
  VT_EMPTY = 0,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
};

struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1, wReserved2, wReserved3;
  union {
    int32_t lVal;
    BSTR bstrVal;
    IDispatch* pdispVal;
  };
};

/// \brief Makes a VARIANT empty without looking at what it held.
void VariantInit(VARIANT* v);
/// \brief Frees what the VARIANT owns (BSTR freed, IDispatch released) and empties it;
/// DISP_E_BADVARTYPE for a type outside the four, leaving it as it was.
HRESULT VariantClear(VARIANT* v);
/// \brief Clears dest, then copies src into it (a new BSTR, one more reference on an IDispatch).
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);

/// A VARIANT that clears itself; used by callers that build arguments and read results.
class Variant : public VARIANT {
 public:
  Variant() { VariantInit(this); }
  explicit Variant(int32_t n) : Variant() { vt = VT_I4, lVal = n; }
  explicit Variant(std::u16string_view text) : Variant() { vt = VT_BSTR, bstrVal = bstrFrom(text); }
  /// Takes over the caller's reference on d (null is an empty object, VT_DISPATCH).
  explicit Variant(IDispatch* d) : Variant() { vt = VT_DISPATCH, pdispVal = d; }
  Variant(const Variant& o) : Variant() { VariantCopy(this, &o); }
  Variant& operator=(const Variant& o) {
    VariantCopy(this, &o);
    return *this;
  }
  ~Variant() { VariantClear(this); }
};

}  // namespace com
QORVEL_COM_API_END
