// The rows of a query, as both backends hand them over.
#include "sql.h"

#include <platform/text.h>

#include <cstdlib>

namespace kelvra {

std::u16string SqlRows::text(size_t row, size_t col) const {
  const std::optional<std::string>& v = rows_.at(row).at(col);
  return v ? platform::fromUtf8(*v) : std::u16string();
}

int64_t SqlRows::number(size_t row, size_t col) const {
  const std::optional<std::string>& v = rows_.at(row).at(col);
  return v ? std::strtoll(v->c_str(), nullptr, 10) : 0;
}

}  // namespace kelvra
