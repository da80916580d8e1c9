// Legacy .xls (BIFF5/BIFF8) through freexl, which hands out cell values as UTF-8.
#include "workbook.h"

#include <freexl.h>

namespace sheetrix {

bool readXls(const std::string& path, Workbook& book) {
  const void* handle = nullptr;
  if (freexl_open(path.c_str(), &handle) != FREEXL_OK) {
    if (handle) freexl_close(handle);
    return false;
  }
  book.kind = FileKind::Xls;
  book.sheets.clear();
  unsigned int count = 0;
  bool ok = freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count) == FREEXL_OK;
  for (unsigned int s = 0; ok && s < count && s < 65535; ++s) {
    Sheet sheet;
    const char* name = nullptr;
    if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(s), &name) == FREEXL_OK && name)
      sheet.name = name;
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(s)) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &cols) != FREEXL_OK) {
      ok = false;
      break;
    }
    for (unsigned int r = 0; r < rows; ++r) {
      Row row;
      for (unsigned short c = 0; c < cols; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK) continue;
        Cell cell;
        switch (v.type) {
          case FREEXL_CELL_INT:
            cell = Cell{numberText(v.value.int_value), true, double(v.value.int_value)};
            break;
          case FREEXL_CELL_DOUBLE:
            cell = Cell{numberText(v.value.double_value), true, v.value.double_value};
            break;
          case FREEXL_CELL_TEXT:
          case FREEXL_CELL_SST_TEXT:
          case FREEXL_CELL_DATE:
          case FREEXL_CELL_DATETIME:
          case FREEXL_CELL_TIME:
            if (v.value.text_value) cell.text = v.value.text_value;
            break;
          default:
            break;
        }
        if (cell.text.empty()) continue;
        if (row.size() <= c) row.resize(size_t(c) + 1);
        row[c] = std::move(cell);
      }
      if (!row.empty()) {
        sheet.rows.resize(size_t(r) + 1);
        sheet.rows[r] = std::move(row);
      }
    }
    book.sheets.push_back(std::move(sheet));
  }
  freexl_close(handle);
  return ok;
}

}  // namespace sheetrix
