// VARIANT life cycle for VT_EMPTY, VT_I4, VT_BSTR and VT_DISPATCH.
#include <com/dispatch.h>
#include <com/variant.h>

namespace com {

namespace {
bool known(VARTYPE vt) { return vt == VT_EMPTY || vt == VT_I4 || vt == VT_BSTR || vt == VT_DISPATCH; }
}  // namespace

void VariantInit(VARIANT* v) {
  if (!v) return;
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->pdispVal = nullptr;
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_INVALIDARG;
  if (!known(v->vt)) return DISP_E_BADVARTYPE;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  if (v->vt == VT_DISPATCH && v->pdispVal) v->pdispVal->Release();
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  if (!known(src->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *src;
  if (src->vt == VT_BSTR && src->bstrVal) {
    copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (!copy.bstrVal) return E_OUTOFMEMORY;
  }
  if (HRESULT hr = VariantClear(dest); FAILED(hr)) {
    if (copy.vt == VT_BSTR) SysFreeString(copy.bstrVal);
    return hr;
  }
  if (copy.vt == VT_DISPATCH && copy.pdispVal) copy.pdispVal->AddRef();
  *dest = copy;
  return S_OK;
}

}  // namespace com
