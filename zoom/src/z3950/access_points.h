// The access-point map zoom.xml: `item` elements anywhere in the file, each naming an access
// point (`name`, `uni_name`, `comment`) and its Bib-1 use attribute (`value`).
#pragma once

#include <xml/dom.h>

#include <optional>
#include <string>
#include <string_view>

namespace z3950 {

class AccessPointMap {
 public:
  /// \brief Loads the map from `path` (a missing or malformed file gives an empty map).
  void load(const std::string& path);
  /// \brief Empties the map.
  void clear();
  bool empty() const;

  /// \brief The use attribute of the first item whose name, else uni_name, else comment
  /// equals `accessPoint` exactly; nothing when no item matches or it has no value.
  std::optional<std::u16string> useAttribute(std::u16string_view accessPoint) const;

 private:
  xml::Document doc_ = xml::Document::create();
};

/// \brief The prefix query of a search: `@attr 1=<use> "<term>"`, or `"<term>"` without a
/// use attribute; the term loses its double quotes.
std::u16string buildPqf(const std::optional<std::u16string>& use, std::u16string_view term);

}  // namespace z3950
