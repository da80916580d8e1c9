// CAdoConnectionDriver: the dispatch wrapper of the SQL connection object ADODB.Connection,
// with the identifiers of its class and interface. Failed calls throw ComError.
#pragma once

#include <com/drivers/DispatchDriver.h>
#include <com/guid.h>

inline constexpr com::CLSID CLSID_AdoConnection = com::makeGuid("00000514-0000-0010-8000-00AA006D2EA4");
inline constexpr com::IID IID_AdoConnection = com::makeGuid("00000550-0000-0010-8000-00AA006D2EA4");

/// Execute: the statement returns no records.
inline constexpr int32_t adExecuteNoRecords = 0x80;

class CAdoConnectionDriver : public com::DispatchDriver {
 public:
  using DispatchDriver::DispatchDriver;
  void SetConnectionTimeout(int32_t seconds);
  void Close();
  /// \brief The record set the statement returns (null: none), with its reference.
  com::IDispatch* Execute(std::u16string_view commandText, int32_t options);
  void Open(std::u16string_view connectionText, std::u16string_view user, std::u16string_view password,
            int32_t options);
};
