// HRESULTs of the automation layer: the platform's common ones plus those of class
// creation, dispatching and self-registration.
#pragma once

#include <com/export.h>
#include <platform/comerror.h>

QORVEL_COM_API_BEGIN
namespace com {

using platform::ComError;
using platform::FAILED;
using platform::HRESULT;
using platform::SUCCEEDED;

using platform::E_ABORT;
using platform::E_ACCESSDENIED;
using platform::E_FAIL;
using platform::E_HANDLE;
using platform::E_INVALIDARG;
using platform::E_NOINTERFACE;
using platform::E_NOTIMPL;
using platform::E_OUTOFMEMORY;
using platform::E_POINTER;
using platform::E_UNEXPECTED;
using platform::S_FALSE;
using platform::S_OK;

// Class objects and creation.
constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HRESULT(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154u);
constexpr HRESULT CO_E_CLASSSTRING = HRESULT(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = HRESULT(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = HRESULT(0x800401F9u);

// Dispatching.
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = HRESULT(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = HRESULT(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = HRESULT(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = HRESULT(0x80020006u);
constexpr HRESULT DISP_E_NONAMEDARGS = HRESULT(0x80020007u);
constexpr HRESULT DISP_E_BADVARTYPE = HRESULT(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = HRESULT(0x80020009u);
constexpr HRESULT DISP_E_BADPARAMCOUNT = HRESULT(0x8002000Eu);

// Self-registration.
constexpr HRESULT SELFREG_E_TYPELIB = HRESULT(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = HRESULT(0x80040201u);

}  // namespace com
QORVEL_COM_API_END
