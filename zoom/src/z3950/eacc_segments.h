// EACC segments inside a decoded record text.
//
// Some Chinese servers send CJK characters as EACC bytes between the escape sequences
// ESC "$1" ... ESC "(B" (or ESC "$$1" ... ESC "((B"). The rest of such a record is read in
// the ANSI code page, where the MARC-8 diaeresis before "u" (bytes E8 75) came out as U+9465.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace z3950 {

/// Converts the text between two markers (one unit per EACC byte) to UTF-16.
using EaccConverter = std::function<std::u16string(std::u16string_view)>;

/// \brief Replaces each segment of the first marker pair the text holds (3-character
/// markers before 4-character ones) by its conversion, and U+9465 outside segments by U+00FC.
/// A text with neither start marker comes back unchanged. A start marker without an end
/// marker leaves the rest of its field (up to the next U+001E) as it stands.
std::u16string replaceEaccSegments(std::u16string_view text, const EaccConverter& convert);

/// \brief The converter over the toolkit's "Codes" table.
std::u16string eaccToUnicode(std::u16string_view eacc);

}  // namespace z3950
