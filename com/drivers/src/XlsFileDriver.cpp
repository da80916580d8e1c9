// The Sheetrix.XlsFile wrapper: dispatch identifiers 201-208 of the component's interface.
#include <com/drivers/XlsFileDriver.h>

int32_t CXlsFileDriver::Open(std::u16string_view path) { return InvokeLong(201, {path}); }
int32_t CXlsFileDriver::Close() { return InvokeLong(202); }
int32_t CXlsFileDriver::Configure() { return InvokeLong(203); }
int32_t CXlsFileDriver::WriteRow(std::u16string_view row) { return InvokeLong(204, {row}); }
std::u16string CXlsFileDriver::ReadRow() { return InvokeText(205); }

int32_t CXlsFileDriver::HasHeaderRow() {
  if (!m_lpDispatch) throw com::ComError(com::E_POINTER);
  com::DISPPARAMS none;
  com::Variant result;
  com::EXCEPINFO excep;
  com::UINT argErr = 0;
  com::HRESULT hr =
      m_lpDispatch->Invoke(206, com::GUID_NULL, 0, com::DISPATCH_PROPERTYGET, &none, &result, &excep, &argErr);
  com::SysFreeString(excep.bstrDescription);
  com::SysFreeString(excep.bstrSource);
  if (com::FAILED(hr)) throw com::ComError(hr);
  if (result.vt == com::VT_EMPTY) return 0;
  if (result.vt != com::VT_I4) throw com::ComError(com::DISP_E_TYPEMISMATCH);
  return result.lVal;
}

int32_t CXlsFileDriver::SetScheme(std::u16string_view scheme) { return InvokeLong(207, {scheme}); }
std::u16string CXlsFileDriver::GetScheme() { return InvokeText(208); }
