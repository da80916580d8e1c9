// Dispatch wrapper of the spreadsheet component Sheetrix.XlsFile: each method calls the
// object's method of the same name by its dispatch identifier (201-208); HasHeaderRow is a
// property and is read as one.
#pragma once

#include <com/drivers/DispatchDriver.h>

class CXlsFileDriver : public com::DispatchDriver {
 public:
  using DispatchDriver::DispatchDriver;
  /// \brief 0: not opened or empty; below 0: stop without a message; else the row count.
  int32_t Open(std::u16string_view path);
  int32_t Close();
  /// \brief The component's own editing of the current scheme against the open file.
  int32_t Configure();
  /// \brief Appends one row, given as ReadRow returned it.
  int32_t WriteRow(std::u16string_view row);
  /// \brief The next row as XML, one element per column named by field and subfield.
  std::u16string ReadRow();
  /// \brief Non-zero when the first row is a header row.
  int32_t HasHeaderRow();
  int32_t SetScheme(std::u16string_view scheme);
  std::u16string GetScheme();
};
