// The workbook as the component holds it: the cell values of every sheet, nothing of the
// formatting. Readers fill it from a file, writers put it back into one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sheetrix {

/// One cell: its text as shown (numbers in their shortest decimal form, dates as
/// YYYY-MM-DD), and whether it was a number, so that a rewritten file keeps numbers numbers.
struct Cell {
  std::string text;  // UTF-8
  bool isNumber = false;
  double number = 0;
};

using Row = std::vector<Cell>;

struct Sheet {
  std::string name;       // UTF-8; may be empty (the writer then names it)
  std::vector<Row> rows;  // by row position, blank rows kept so that a rewrite keeps places
};

/// How a delimited text file was written, so that it is written back the same way.
enum class TextEncoding { Utf8, Utf8Bom, Gbk, Utf16Le };

struct TextLayout {
  char delimiter = ',';
  TextEncoding encoding = TextEncoding::Utf8Bom;
};

enum class FileKind { Xlsx, Ods, Xls, Delimited };

struct Workbook {
  FileKind kind = FileKind::Xlsx;
  TextLayout text;  // Delimited only
  std::vector<Sheet> sheets;
};

/// \brief True when no cell of the row holds text.
bool isBlankRow(const Row& row);
/// \brief A number as a cell shows it: integers without a fraction or exponent (ISBNs and
/// record numbers stay whole), other values in their shortest round-trip form.
std::string numberText(double value);

// ---- Readers (read_*.cpp). Each returns false when the file is not of its kind or is
// damaged; the workbook is then left in an unspecified state. ----

/// \brief .xlsx and .ods through liborcus.
bool readOrcus(const std::string& path, FileKind kind, Workbook& book);
/// \brief Legacy .xls (BIFF) through freexl.
bool readXls(const std::string& path, Workbook& book);
/// \brief Delimited text (CSV, TSV): bytes of the whole file; `delimiter` 0 lets the first
/// line decide (tab, else comma, else semicolon).
bool readDelimited(const std::string& bytes, char delimiter, Workbook& book);

// ---- Writers (write_*.cpp): write the whole workbook to `path` (a temporary file beside it
// renamed over it, so a failed write leaves the old file as it was). ----

/// \brief Every sheet as an .xlsx workbook through libxlsxwriter.
bool writeXlsx(const std::string& path, const Workbook& book);
/// \brief The first sheet as delimited text in book.text's delimiter and encoding (a GBK
/// file given text GBK cannot hold is written as UTF-8 with a mark instead of losing it).
bool writeDelimited(const std::string& path, const Workbook& book);

}  // namespace sheetrix
