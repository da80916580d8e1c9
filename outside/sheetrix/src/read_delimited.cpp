// Delimited text (CSV, TSV) read by our own reader: quoted fields may hold the delimiter,
// doubled quotes and line breaks. The encoding is found from the bytes: a byte-order mark,
// else UTF-8 when the bytes are valid UTF-8, else the ANSI code page (GBK).
#include "workbook.h"

#include <platform/codepage.h>
#include <platform/text.h>

namespace sheetrix {
namespace {

std::string decode(const std::string& bytes, TextEncoding& encoding) {
  std::string_view b(bytes);
  if (b.starts_with("\xEF\xBB\xBF")) {
    encoding = TextEncoding::Utf8Bom;
    return std::string(b.substr(3));
  }
  if (b.starts_with("\xFF\xFE")) {
    encoding = TextEncoding::Utf16Le;
    b.remove_prefix(2);
    std::u16string wide(b.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
      wide[i] = char16_t(uint8_t(b[2 * i]) | (uint8_t(b[2 * i + 1]) << 8));
    return platform::toUtf8(wide);
  }
  if (platform::isValidUtf8(b)) {
    encoding = TextEncoding::Utf8;
    return bytes;
  }
  encoding = TextEncoding::Gbk;
  return platform::toUtf8(platform::toWide(936, b));
}

// The delimiter that the first line (outside quotes) uses most plainly: tab, comma, semicolon.
char guessDelimiter(std::string_view text) {
  bool quoted = false, tab = false, comma = false, semicolon = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    tab |= c == '\t';
    comma |= c == ',';
    semicolon |= c == ';';
  }
  return tab ? '\t' : comma ? ',' : semicolon ? ';' : ',';
}

}  // namespace

bool readDelimited(const std::string& bytes, char delimiter, Workbook& book) {
  book.kind = FileKind::Delimited;
  std::string text = decode(bytes, book.text.encoding);
  book.text.delimiter = delimiter ? delimiter : guessDelimiter(text);
  const char sep = book.text.delimiter;

  Sheet sheet;
  Row row;
  std::string field;
  bool quoted = false, wasQuoted = false;
  auto endField = [&] {
    row.push_back(Cell{std::move(field)});
    field.clear();
    wasQuoted = false;
  };
  auto endRow = [&] {
    endField();
    while (!row.empty() && row.back().text.empty()) row.pop_back();
    sheet.rows.push_back(std::move(row));
    row.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c != '"') field += c;
      else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
      else quoted = false;
      continue;
    }
    if (c == '"' && field.empty() && !wasQuoted) {
      quoted = wasQuoted = true;
    } else if (c == sep) {
      endField();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      endRow();
    } else {
      field += c;
    }
  }
  if (!field.empty() || !row.empty() || wasQuoted) endRow();
  while (!sheet.rows.empty() && isBlankRow(sheet.rows.back())) sheet.rows.pop_back();
  book.sheets.assign(1, std::move(sheet));
  return true;
}

}  // namespace sheetrix
