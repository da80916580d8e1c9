// Identifiers of ADODB.Connection: the class, its interface and its dispatch identifiers.
#pragma once

#include <com/guid.h>

namespace ado {

inline constexpr com::CLSID CLSID_Connection = com::makeGuid("00000514-0000-0010-8000-00AA006D2EA4");
inline constexpr com::IID IID_Connection = com::makeGuid("00000550-0000-0010-8000-00AA006D2EA4");

enum ConnectionDispId : int32_t {
  DISPID_ConnectionTimeout = 3,
  DISPID_Close = 5,
  DISPID_Execute = 6,
  DISPID_Open = 10,
  DISPID_State = 30,
};

/// Options of Execute: the statement returns no records.
inline constexpr int32_t adExecuteNoRecords = 0x80;
/// State: closed or open.
inline constexpr int32_t adStateClosed = 0;
inline constexpr int32_t adStateOpen = 1;

}  // namespace ado
