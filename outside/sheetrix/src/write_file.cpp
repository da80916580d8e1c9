// Writers: .xlsx through libxlsxwriter, delimited text by hand. Both write a temporary file
// in the target's folder, check that it was written whole and durably, and only then rename
// it over the target, so a failure (a full disk, a file-size limit) leaves the old file.
#include "workbook.h"

#include <platform/codepage.h>
#include <platform/file.h>
#include <platform/text.h>

#include <xlsxwriter.h>

#include <cstdio>
#include <fcntl.h>
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

// Makes a file durable; false when that fails (a disk that fills on flushing, say).
bool syncFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

// The rename itself is made durable too, so that after a crash the folder names the new file.
void syncFolderOf(const std::string& path) {
  std::string folder = path.substr(0, path.find_last_of('/') + 1);
  int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The written temporary file becomes the file at `path`: made durable, given the old file's
// mode, renamed over it. A step that fails removes the temporary file and leaves the old
// file as it was.
bool replaceWith(const std::string& tmp, const std::string& path, bool written) {
  if (written && syncFile(tmp) && chmod(tmp.c_str(), modeFor(path)) == 0 && std::rename(tmp.c_str(), path.c_str()) == 0) {
    syncFolderOf(path);
    return true;
  }
  std::remove(tmp.c_str());
  return false;
}

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
  return replaceWith(tmp, path, ok && readsBackWhole(tmp, sheets));
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
