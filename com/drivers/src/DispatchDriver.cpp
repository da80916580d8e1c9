// Calls through IDispatch::Invoke by dispatch identifier.
#include <com/drivers/DispatchDriver.h>

#include <platform/text.h>

namespace com {

static_assert(sizeof(Variant) == sizeof(VARIANT), "arguments are passed as an array of VARIANT");

DispatchDriver::DispatchDriver(const DispatchDriver& o) : m_lpDispatch(o.m_lpDispatch), m_bAutoRelease(true) {
  if (m_lpDispatch) m_lpDispatch->AddRef();
}

DispatchDriver& DispatchDriver::operator=(const DispatchDriver& o) {
  if (this != &o) {
    if (o.m_lpDispatch) o.m_lpDispatch->AddRef();
    ReleaseDispatch();
    m_lpDispatch = o.m_lpDispatch;
    m_bAutoRelease = true;
  }
  return *this;
}

bool DispatchDriver::CreateDispatch(std::u16string_view progId, HRESULT* error) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(std::u16string(progId).c_str(), &clsid);
  if (FAILED(hr)) {
    if (error) *error = hr;
    return false;
  }
  return CreateDispatch(clsid, error);
}

bool DispatchDriver::CreateDispatch(REFCLSID clsid, HRESULT* error) {
  ReleaseDispatch();
  IDispatch* d = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d));
  if (SUCCEEDED(hr)) hr = OleRun(d);
  if (FAILED(hr)) {
    if (d) d->Release();
    if (error) *error = hr;
    return false;
  }
  AttachDispatch(d, true);
  return true;
}

void DispatchDriver::AttachDispatch(IDispatch* d, bool autoRelease) {
  ReleaseDispatch();
  m_lpDispatch = d;
  m_bAutoRelease = autoRelease;
}

void DispatchDriver::ReleaseDispatch() {
  if (m_lpDispatch && m_bAutoRelease) m_lpDispatch->Release();
  m_lpDispatch = nullptr;
}

Variant DispatchDriver::InvokeHelper(DISPID id, std::initializer_list<Arg> args) const {
  if (!m_lpDispatch) throw ComError(E_POINTER);
  // IDispatch takes the arguments last first.
  std::vector<Variant> rev;
  rev.reserve(args.size());
  for (auto it = std::rbegin(args); it != std::rend(args); ++it) rev.push_back(it->v);
  DISPPARAMS params;
  params.rgvarg = rev.empty() ? nullptr : rev.data();
  params.cArgs = UINT(rev.size());
  Variant result;
  EXCEPINFO excep;
  UINT argErr = 0;
  HRESULT hr = m_lpDispatch->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep, &argErr);
  if (hr == DISP_E_EXCEPTION) {
    std::string what = platform::toUtf8(bstrText(excep.bstrDescription));
    HRESULT code = excep.scode ? excep.scode : hr;
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    throw ComError(code, what);
  }
  if (FAILED(hr)) throw ComError(hr);
  return result;
}

void DispatchDriver::InvokeVoid(DISPID id, std::initializer_list<Arg> args) const { InvokeHelper(id, args); }

int32_t DispatchDriver::InvokeLong(DISPID id, std::initializer_list<Arg> args) const {
  Variant r = InvokeHelper(id, args);
  if (r.vt == VT_EMPTY) return 0;
  if (r.vt != VT_I4) throw ComError(DISP_E_TYPEMISMATCH);
  return r.lVal;
}

std::u16string DispatchDriver::InvokeText(DISPID id, std::initializer_list<Arg> args) const {
  Variant r = InvokeHelper(id, args);
  if (r.vt == VT_EMPTY) return {};
  if (r.vt != VT_BSTR) throw ComError(DISP_E_TYPEMISMATCH);
  return bstrText(r.bstrVal);
}

IDispatch* DispatchDriver::InvokeObject(DISPID id, std::initializer_list<Arg> args) const {
  Variant r = InvokeHelper(id, args);
  if (r.vt == VT_EMPTY) return nullptr;
  if (r.vt != VT_DISPATCH) throw ComError(DISP_E_TYPEMISMATCH);
  IDispatch* d = r.pdispVal;
  r.vt = VT_EMPTY;  // the reference goes to the caller
  r.pdispVal = nullptr;
  return d;
}

}  // namespace com
