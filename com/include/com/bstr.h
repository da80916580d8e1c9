// BSTR: a length-prefixed UTF-16 string. The 32-bit byte length sits just before the
// first character and a NUL follows the last; a null BSTR is the empty string.
#pragma once

#include <com/export.h>

#include <cstdint>
#include <string>
#include <string_view>

QORVEL_COM_API_BEGIN
namespace com {

using BSTR = char16_t*;

/// \brief A new BSTR holding the NUL-terminated text; null for a null text.
BSTR SysAllocString(const char16_t* text);
/// \brief A new BSTR of `len` units copied from text (zero-filled when text is null).
BSTR SysAllocStringLen(const char16_t* text, uint32_t len);
/// \brief Frees a BSTR; null is accepted.
void SysFreeString(BSTR s);
/// \brief Length in 16-bit units (0 for null), from the prefix, so embedded NULs count.
uint32_t SysStringLen(BSTR s);
/// \brief Length in bytes (0 for null).
uint32_t SysStringByteLen(BSTR s);

/// \brief A new BSTR holding `text`, never null (an empty text gives an empty string).
BSTR bstrFrom(std::u16string_view text);
/// \brief The text of a BSTR; null gives the empty string.
std::u16string bstrText(BSTR s);

/// Owns one BSTR and frees it when it goes.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view text) : s_(bstrFrom(text)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR get() const { return s_; }
  /// \brief Gives up ownership.
  BSTR detach() {
    BSTR s = s_;
    s_ = nullptr;
    return s;
  }
  std::u16string text() const { return bstrText(s_); }

 private:
  BSTR s_ = nullptr;
};

}  // namespace com
QORVEL_COM_API_END
