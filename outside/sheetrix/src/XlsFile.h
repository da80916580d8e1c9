// CXlsFile (Sheetrix.XlsFile): one spreadsheet file read or written row by row under a
// conversion scheme (scheme.h). The member functions below are the methods of the
// dispinterface; dispatch_XlsFile.cpp holds the table that calls them.
//
// Files: .xlsx and .ods (liborcus) and .xls (freexl) are told apart by their content, not
// their name; anything else is read as delimited text. Only the first sheet is read and
// written as rows; blank rows are skipped. A file that gets rows written is saved at Close:
// delimited text when it was delimited text or is a new file named *.csv, *.tsv or *.txt,
// otherwise an .xlsx workbook (whatever its name; a legacy .xls or .ods file so becomes an
// .xlsx workbook with the same cell values, its formatting is not kept).
#pragma once

#include "ids.h"
#include "scheme.h"
#include "workbook.h"

#include <cstdint>
#include <span>
#include <string>

namespace sheetrix {

class CXlsFile : public com::DispatchObject<CXlsFile> {
 public:
  /// \brief Opens a file for reading rows and for appending them. The number of non-blank
  /// rows of its first sheet (the header row included); 0 for a file that does not exist yet
  /// (it is made at Close when rows are written) or holds no row; -1 for an empty path, a
  /// folder, or a file that cannot be read (it is then never written over, and the user is
  /// told why, as the callers show nothing for -1).
  int32_t Open(const std::u16string& path);                  // 201
  /// \brief Saves the rows written (if any) and forgets the file; 1, or 0 when saving failed.
  int32_t Close();                                            // 202
  /// \brief Lets the user edit the scheme against the open file; 1 when changed by OK.
  int32_t Configure();                                        // 203
  /// \brief Appends a row given as ReadRow gives it (one element per column, in column
  /// order); 1, or 0 when no file is open or the text is not such a row.
  int32_t WriteRow(const std::u16string& rowXml);             // 204
  /// \brief The next data row as XML; "" after the last one.
  std::u16string ReadRow();                                   // 205
  /// \brief 1 when the scheme takes the first row as captions.
  int32_t HasHeaderRow();                                     // 206
  /// \brief Applies a scheme text ("" guesses one from the open file); 1.
  int32_t SetScheme(const std::u16string& text);              // 207
  /// \brief The scheme text in use.
  std::u16string GetScheme();                                 // 208

  static const com::IID& Iid();
  static std::span<const com::DispMethod<CXlsFile>> Methods();
  static com::ModuleLocks& Locks() { return SheetrixLocks(); }

  /// HasHeaderRow is a property: callers may ask it with DISPATCH_PROPERTYGET alone.
  com::HRESULT Invoke(com::DISPID id, com::REFIID riid, com::LCID lcid, com::WORD flags, com::DISPPARAMS* params,
                      com::VARIANT* result, com::EXCEPINFO* excep, com::UINT* argErr) override;

  ~CXlsFile() override;

 private:
  /// Finds the non-blank rows of the first sheet and its width.
  void indexRows();
  /// Takes row r of the first sheet into the index when it is not blank.
  void noteRow(size_t r);
  std::vector<std::string> firstRowTexts() const;

  bool open_ = false;
  bool dirty_ = false;
  std::string path_;
  Workbook book_;
  Scheme scheme_;
  std::vector<size_t> rows_;  // positions of the non-blank rows of the first sheet
  size_t width_ = 0;          // columns up to the last one that holds text in any row
  size_t next_ = 0;           // rows handed out by ReadRow
};

/// \brief A row as XML: <row> with one element per column (up to `width`): "F" + field
/// label for a mapped column (F200a, F001), the column letters for the others (A, AB).
std::u16string rowXml(const Row& row, size_t width, const Scheme& scheme);

}  // namespace sheetrix
