// Helpers of the workbook model shared by the readers and writers.
#include "workbook.h"

#include <charconv>
#include <cmath>

namespace sheetrix {

bool isBlankRow(const Row& row) {
  for (const Cell& c : row)
    if (!c.text.empty()) return false;
  return true;
}

std::string numberText(double value) {
  char buf[64];
  std::to_chars_result r;
  // Whole numbers up to 2^53 are exact in a double: print them without exponent or fraction.
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9007199254740992.0)
    r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 0);
  else
    r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

}  // namespace sheetrix
