// Writers: .xlsx through libxlsxwriter, delimited text by hand. Both write a temporary file
// in the target's folder, check that it was written whole and durably, and only then rename
// it over the target, so a failure (a full disk, a file-size limit) leaves the old file.
#include "workbook.h"

#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/text.h>

#include <xlsxwriter.h>

namespace sheetrix {
namespace {

constexpr size_t kMaxCellChars = 32767;  // what a spreadsheet cell holds

// Counts the rows that hold text, sheet by sheet.
std::vector<size_t> filledRows(const std::vector<Sheet>& sheets) {
  std::vector<size_t> counts;
  for (const Sheet& sheet : sheets) {
    size_t n = 0;
    for (const Row& row : sheet.rows) n += isBlankRow(row) ? 0 : 1;
    counts.push_back(n);
  }
  return counts;
}

// Whether the workbook written to `tmp` reads back with every sheet and every row: the
// writer can answer success for a workbook whose parts it could not write whole (a temporary
// file of its own cut short by a file-size limit, say), and such a file must never replace
// a good one.
bool readsBackWhole(const std::string& tmp, const std::vector<Sheet>& sheets) {
  Workbook back;
  return readOrcus(tmp, FileKind::Xlsx, back) && filledRows(back.sheets) == filledRows(sheets);
}

// Cuts UTF-8 text to `max` code points.
std::string cutUtf8(const std::string& s, size_t max) {
  size_t points = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if ((uint8_t(s[i]) & 0xC0) != 0x80 && points++ == max) return s.substr(0, i);
  return s;
}

// Writes the workbook into the file `tmp`; false when any part of it failed.
bool writeWorkbook(const std::string& tmp, const Workbook& book) {
  lxw_workbook* wb = workbook_new(tmp.c_str());
  if (!wb) return false;
  bool ok = true;
  std::vector<Sheet> none(1);
  const std::vector<Sheet>& sheets = book.sheets.empty() ? none : book.sheets;
  for (size_t s = 0; ok && s < sheets.size(); ++s) {
    // A name the file format refuses (too long, duplicated, bad characters) gives way to
    // the writer's own numbering.
    std::string name = sheets[s].name;
    if (name.empty() || workbook_validate_sheet_name(wb, name.c_str()) != LXW_NO_ERROR)
      name = "Sheet" + std::to_string(s + 1);
    lxw_worksheet* ws = workbook_add_worksheet(
        wb, workbook_validate_sheet_name(wb, name.c_str()) == LXW_NO_ERROR ? name.c_str() : nullptr);
    if (!ws) {
      ok = false;
      break;
    }
    const auto& rows = sheets[s].rows;
    if (rows.size() > LXW_ROW_MAX) ok = false;
    for (size_t r = 0; ok && r < rows.size(); ++r) {
      for (size_t c = 0; c < rows[r].size() && c < LXW_COL_MAX; ++c) {
        const Cell& cell = rows[r][c];
        if (cell.text.empty()) continue;
        lxw_error e = cell.isNumber
                          ? worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), cell.number, nullptr)
                          : worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c),
                                                   cutUtf8(cell.text, kMaxCellChars).c_str(), nullptr);
        if (e != LXW_NO_ERROR) ok = false;
      }
    }
  }
  // The workbook is freed by closing it, whatever went wrong before.
  if (workbook_close(wb) != LXW_NO_ERROR) ok = false;
  return ok && readsBackWhole(tmp, sheets);
}

}  // namespace

bool writeXlsx(const std::string& path, const Workbook& book) {
  // The file is replaced whole, through a temporary file beside it, or not at all.
  return platform::replaceFileWith(path, [&](const std::string& tmp) { return writeWorkbook(tmp, book); });
}

bool writeDelimited(const std::string& path, const Workbook& book) {
  const char sep = book.text.delimiter;
  std::string text;
  if (!book.sheets.empty()) {
    for (const Row& row : book.sheets.front().rows) {
      for (size_t c = 0; c < row.size(); ++c) {
        if (c) text += sep;
        const std::string& v = row[c].text;
        if (v.find_first_of(std::string("\"\r\n") + sep) == std::string::npos) {
          text += v;
          continue;
        }
        text += '"';
        for (char ch : v) text += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        text += '"';
      }
      text += "\r\n";
    }
  }
  std::string bytes;
  switch (book.text.encoding) {
    case TextEncoding::Utf8: bytes = text; break;
    case TextEncoding::Utf8Bom: bytes = "\xEF\xBB\xBF" + text; break;
    case TextEncoding::Utf16Le: {
      std::u16string wide = platform::fromUtf8(text);
      bytes = "\xFF\xFE";
      for (char16_t ch : wide) {
        bytes += char(ch & 0xFF);
        bytes += char(ch >> 8);
      }
      break;
    }
    case TextEncoding::Gbk: {
      std::u16string wide = platform::fromUtf8(text);
      bytes = platform::toNarrow(936, wide);
      // Text the code page cannot hold would turn into "?": keep it by writing UTF-8.
      if (platform::toWide(936, bytes) != wide) bytes = "\xEF\xBB\xBF" + text;
      break;
    }
  }
  // The file is replaced whole, through a temporary file beside it, or not at all.
  return platform::replaceFileContents(path, bytes);
}

}  // namespace sheetrix
