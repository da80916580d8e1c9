// Writers: .xlsx through libxlsxwriter, delimited text by hand. Both write a temporary file
// in the target's folder and rename it over the target, so a failure leaves the old file.
#include "workbook.h"

#include <platform/codepage.h>
#include <platform/text.h>

#include <xlsxwriter.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace sheetrix {
namespace {

constexpr size_t kMaxCellChars = 32767;  // what a spreadsheet cell holds

// A name for the temporary file beside `path`, created empty (mkstemp) so no one else takes it.
std::string temporaryBeside(const std::string& path) {
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return {};
  close(fd);
  return tmp;
}

// The mode the file gets: the old file's, or what a newly created file would get (mkstemp
// makes the temporary file private to its owner).
mode_t modeFor(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("Umask:")) mask = mode_t(std::stoul(line.substr(6), nullptr, 8));
  return 0666 & ~mask;
}

bool replaceWith(const std::string& tmp, const std::string& path, bool written) {
  if (written && chmod(tmp.c_str(), modeFor(path)) == 0 && std::rename(tmp.c_str(), path.c_str()) == 0) return true;
  std::remove(tmp.c_str());
  return false;
}

// Cuts UTF-8 text to `max` code points.
std::string cutUtf8(const std::string& s, size_t max) {
  size_t points = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if ((uint8_t(s[i]) & 0xC0) != 0x80 && points++ == max) return s.substr(0, i);
  return s;
}

}  // namespace

bool writeXlsx(const std::string& path, const Workbook& book) {
  std::string tmp = temporaryBeside(path);
  if (tmp.empty()) return false;
  lxw_workbook* wb = workbook_new(tmp.c_str());
  if (!wb) return replaceWith(tmp, path, false);
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
  return replaceWith(tmp, path, ok);
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
  std::string tmp = temporaryBeside(path);
  if (tmp.empty()) return false;
  std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  return replaceWith(tmp, path, bool(out));
}

}  // namespace sheetrix
