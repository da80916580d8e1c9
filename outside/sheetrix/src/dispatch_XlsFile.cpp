// IXlsFile's method table: dispatch identifiers, names and argument unpacking.
#include "XlsFile.h"

namespace sheetrix {
namespace {
using T = CXlsFile;
using com::DispArgs;
using com::DispResult;

const com::DispMethod<T> kMethods[] = {
    {201, u"Open", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.Open(a.Text(0))); }},
    {202, u"Close", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.Close()); }},
    {203, u"Configure", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.Configure()); }},
    {204, u"WriteRow", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.WriteRow(a.Text(0))); }},
    {205, u"ReadRow", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.ReadRow()); }},
    {206, u"HasHeaderRow", 0, [](T& o, const DispArgs&, DispResult& r) { r.Long(o.HasHeaderRow()); }},
    {207, u"SetScheme", 1, [](T& o, const DispArgs& a, DispResult& r) { r.Long(o.SetScheme(a.Text(0))); }},
    {208, u"GetScheme", 0, [](T& o, const DispArgs&, DispResult& r) { r.Text(o.GetScheme()); }},
};
constexpr com::DISPID kHasHeaderRow = 206;
}  // namespace

const com::IID& CXlsFile::Iid() { return IID_IXlsFile; }
std::span<const com::DispMethod<CXlsFile>> CXlsFile::Methods() { return kMethods; }

com::HRESULT CXlsFile::Invoke(com::DISPID id, com::REFIID riid, com::LCID lcid, com::WORD flags,
                              com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excep,
                              com::UINT* argErr) {
  // The table glue takes methods only; the one property is read like a method without arguments.
  if (id == kHasHeaderRow && (flags & com::DISPATCH_PROPERTYGET)) flags |= com::DISPATCH_METHOD;
  return DispatchObject::Invoke(id, riid, lcid, flags, params, result, excep, argErr);
}

}  // namespace sheetrix
