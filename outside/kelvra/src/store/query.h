// The record-server query language: conditions _@@TAG$CODE='_{{TERM}}' joined by " _**or ".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelvra {

/// One condition: a subfield (tag and code) that must carry the term.
struct Condition {
  std::u16string tag;   // three characters
  std::u16string code;  // one character
  std::u16string term;  // as written between _{{ and }}
};

/// \brief The conditions of a query, in the order written; nothing when the text is not a
/// query (empty, a condition cut short, a tag that is not three characters, text between
/// conditions other than the joiner).
std::optional<std::vector<Condition>> parseQuery(std::u16string_view text);

/// \brief The form in which terms and subfield values are compared: blanks trimmed, A-Z as a-z.
std::u16string matchKey(std::u16string_view text);

/// \brief The first word of a match key (up to its first blank): "7-5053-1234-0 (pbk.)"
/// is found by "7-5053-1234-0".
std::u16string firstWord(std::u16string_view key);

}  // namespace kelvra
