// Scheme text: reading, writing and guessing from a caption row.
#include "scheme.h"

namespace sheetrix {
namespace {

constexpr int kMaxColumns = 16384;  // XFD, the widest sheet Excel writes

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

}  // namespace

std::optional<FieldTarget> parseField(std::string_view text) {
  text = trim(text);
  if (text.size() < 3 || !isDigit(text[0]) || !isDigit(text[1]) || !isDigit(text[2])) return std::nullopt;
  FieldTarget t{std::string(text.substr(0, 3)), 0};
  std::string_view rest = trim(text.substr(3));
  if (!rest.empty() && rest.front() == '$') rest = trim(rest.substr(1));
  // Only the control fields 001-009 stand without a subfield code.
  if (rest.empty()) return t.tag.starts_with("00") ? std::optional(t) : std::nullopt;
  if (rest.size() != 1 || !(isDigit(rest[0]) || isAsciiLetter(rest[0]))) return std::nullopt;
  t.code = lower(rest[0]);
  return t;
}

std::string columnName(int index) {
  std::string s;
  for (int n = index + 1; n > 0; n = (n - 1) / 26) s.insert(s.begin(), char('A' + (n - 1) % 26));
  return s;
}

int columnIndex(std::string_view letters) {
  if (letters.empty() || letters.size() > 3) return -1;
  int n = 0;
  for (char c : letters) {
    if (!isAsciiLetter(c)) return -1;
    n = n * 26 + (lower(c) - 'a' + 1);
  }
  return n <= kMaxColumns ? n - 1 : -1;
}

std::string Scheme::text() const {
  std::string s = header ? "header=1" : "header=0";
  for (const auto& [col, target] : columns) s += ";" + columnName(col) + "=" + target.label();
  return s;
}

Scheme Scheme::parse(std::string_view text) {
  Scheme scheme;
  while (!text.empty()) {
    size_t end = text.find(';');
    std::string_view entry = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    size_t eq = entry.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view name = trim(entry.substr(0, eq));
    std::string_view value = trim(entry.substr(eq + 1));
    if (equalsNoCase(name, "header")) {
      scheme.header = value == "1";
      continue;
    }
    int col = columnIndex(name);
    if (col < 0) continue;
    if (auto target = parseField(value)) scheme.columns[col] = *target;
  }
  return scheme;
}

Scheme Scheme::guess(const std::vector<std::string>& firstRow) {
  Scheme scheme;
  for (size_t i = 0; i < firstRow.size() && i < size_t(kMaxColumns); ++i)
    if (auto target = parseField(firstRow[i])) scheme.columns[int(i)] = *target;
  scheme.header = !scheme.columns.empty();
  return scheme;
}

}  // namespace sheetrix
