// IDispatch: late-bound calls by dispatch identifier, and name-to-identifier lookup.
#pragma once

#include <com/export.h>
#include <com/unknown.h>
#include <com/variant.h>

QORVEL_COM_API_BEGIN
namespace com {

using DISPID = int32_t;
inline constexpr DISPID DISPID_UNKNOWN = -1;

enum : WORD {
  DISPATCH_METHOD = 1,
  DISPATCH_PROPERTYGET = 2,
  DISPATCH_PROPERTYPUT = 4,
  DISPATCH_PROPERTYPUTREF = 8,
};

/// The arguments of one call. As in COM, rgvarg holds them last first: the first
/// parameter is rgvarg[cArgs - 1].
struct DISPPARAMS {
  VARIANT* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  UINT cArgs = 0;
  UINT cNamedArgs = 0;
};

/// What a call that ended in DISP_E_EXCEPTION reports.
struct EXCEPINFO {
  WORD wCode = 0;
  BSTR bstrSource = nullptr;
  BSTR bstrDescription = nullptr;
  HRESULT scode = 0;
};

struct ITypeInfo;  // no type information is handed out

struct IDispatch : IUnknown {
  /// \brief Always 0: the method tables stand in for type information.
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  /// \brief Maps names[0] (a method name, compared without regard to A-Z case) to ids[0];
  /// DISP_E_UNKNOWNNAME with DISPID_UNKNOWN for a name that is not in the table.
  virtual HRESULT GetIDsOfNames(REFIID riid, const char16_t** names, UINT count, LCID lcid,
                                DISPID* ids) = 0;
  /// \brief Calls method `id` with `params`; the result (when the method has one) goes to
  /// *result. DISP_E_MEMBERNOTFOUND for an unknown id, DISP_E_BADPARAMCOUNT for a wrong
  /// number of arguments, DISP_E_TYPEMISMATCH (with *argErr) for an argument that does not
  /// convert.
  virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excep, UINT* argErr) = 0;

 protected:
  ~IDispatch() = default;
};

}  // namespace com
QORVEL_COM_API_END
