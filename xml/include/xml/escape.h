// The two escapes of the suite's XML text: the markup's entity references, and the content
// escape of internal record text, under which text and attribute values carry six
// characters as the raw control characters U+0011-U+0016 (which this layer keeps as they are).
#pragma once

#include <xml/export.h>

#include <string>
#include <string_view>

QORVEL_XML_API_BEGIN
namespace xml {

/// \brief Appends `s` to `out` with & < > (and, `inAttribute`, the double quote) as entity
/// references, as the layer writes text and attribute values.
void appendMarkupEscaped(std::u16string& out, std::u16string_view s, bool inAttribute);
/// \brief `s` with & < > " as entity references, fit for an attribute value or for text.
std::u16string markupEscaped(std::u16string_view s);

// ---- The content escape of internal record text ----------------------------------------

/// \brief What the blank, the first of the six, stands as.
constexpr char16_t kEscapedBlank = 0x11;

/// \brief Whether `c` is one of the six escapes (U+0011-U+0016).
constexpr bool isContentEscape(char16_t c) { return c >= 0x11 && c <= 0x16; }

/// \brief The escape that stands for `c` (blank & < > " ' become U+0011-U+0016); any other
/// character is itself.
constexpr char16_t contentEscape(char16_t c) {
  switch (c) {
    case u' ': return 0x11;
    case u'&': return 0x12;
    case u'<': return 0x13;
    case u'>': return 0x14;
    case u'"': return 0x15;
    case u'\'': return 0x16;
  }
  return c;
}

/// \brief The character an escape stands for; any other character is itself.
constexpr char16_t contentUnescape(char16_t c) {
  constexpr char16_t kPlain[] = u" &<>\"'";
  return isContentEscape(c) ? kPlain[c - 0x11] : c;
}

/// \brief `s` with all six characters escaped, as field data is written.
std::u16string escapeContent(std::u16string_view s);
/// \brief `s` with every escape undone.
std::u16string unescapeContent(std::u16string_view s);

}  // namespace xml
QORVEL_XML_API_END
