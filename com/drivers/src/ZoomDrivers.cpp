// The zoom wrappers: dispatch identifiers are the methods' positions in each table.
#include <com/drivers/ZoomDrivers.h>

int32_t CZoomConnDriver::Connect(std::u16string_view szHostName, std::u16string_view szProxy) {
  return InvokeLong(1, {szHostName, szProxy});
}
std::u16string CZoomConnDriver::GetOption(std::u16string_view szName) { return InvokeText(2, {szName}); }
int32_t CZoomConnDriver::GetOptionLong(std::u16string_view szName) { return InvokeLong(3, {szName}); }
void CZoomConnDriver::SetOption(std::u16string_view szName, std::u16string_view szValue) {
  InvokeVoid(4, {szName, szValue});
}
void CZoomConnDriver::SetOptionLong(std::u16string_view szName, int32_t nValue) { InvokeVoid(5, {szName, nValue}); }
com::IDispatch* CZoomConnDriver::Search(std::u16string_view szDbnames, std::u16string_view szAccessPt,
                                        std::u16string_view szQuery) {
  return InvokeObject(6, {szDbnames, szAccessPt, szQuery});
}
void CZoomConnDriver::Close() { InvokeVoid(7); }
com::IDispatch* CZoomConnDriver::SearchPqf(std::u16string_view szPqf) { return InvokeObject(8, {szPqf}); }

int32_t CZoomRsDriver::GetSize() { return InvokeLong(1); }
com::IDispatch* CZoomRsDriver::GetRecord(int32_t nWhich) { return InvokeObject(2, {nWhich}); }
void CZoomRsDriver::Delete() { InvokeVoid(3); }
com::IDispatch* CZoomRsDriver::BriefRecord(int32_t nWhich) { return InvokeObject(4, {nWhich}); }

std::u16string CZoomRecDriver::GetRender() { return InvokeText(1); }
std::u16string CZoomRecDriver::GetRaw() { return InvokeText(2); }
std::u16string CZoomRecDriver::GetOIDs() { return InvokeText(3); }
std::u16string CZoomRecDriver::GetXml() { return InvokeText(4); }
int32_t CZoomRecDriver::AutoCvtEacc(int32_t bAuto) { return InvokeLong(5, {bAuto}); }
