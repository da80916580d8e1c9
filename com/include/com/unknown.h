// IUnknown and IClassFactory: object identity, reference counting, class objects.
#pragma once

#include <com/export.h>
#include <com/guid.h>
#include <com/hresult.h>

#include <cstdint>

QORVEL_COM_API_BEGIN
namespace com {

using ULONG = uint32_t;
using UINT = uint32_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LCID = uint32_t;
using BOOL = int32_t;

inline constexpr IID IID_IUnknown = makeGuid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IClassFactory = makeGuid("00000001-0000-0000-C000-000000000046");
inline constexpr IID IID_IDispatch = makeGuid("00020400-0000-0000-C000-000000000046");

struct IUnknown {
  /// \brief Answers the object's interface `riid` (AddRef'ed) or E_NOINTERFACE with *ppv null.
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  /// \brief Takes one reference; answers the new count.
  virtual ULONG AddRef() = 0;
  /// \brief Gives one back; the object goes at zero. Answers the new count.
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
  /// \brief Makes a new object and answers its interface `riid`; aggregation is refused.
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
  /// \brief Takes (TRUE) or gives back (FALSE) one lock on the server library.
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

}  // namespace com
QORVEL_COM_API_END
