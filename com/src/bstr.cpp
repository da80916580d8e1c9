// BSTR allocation: [32-bit byte length][units][NUL]; the BSTR points at the first unit.
#include <com/bstr.h>

#include <cstdlib>
#include <cstring>

namespace com {

namespace {
uint32_t* header(BSTR s) { return reinterpret_cast<uint32_t*>(s) - 1; }
constexpr uint32_t kMaxLen = (UINT32_MAX - sizeof(uint32_t) - sizeof(char16_t)) / sizeof(char16_t);
}  // namespace

BSTR SysAllocStringLen(const char16_t* text, uint32_t len) {
  if (len > kMaxLen) return nullptr;
  size_t bytes = sizeof(uint32_t) + (size_t(len) + 1) * sizeof(char16_t);
  auto* block = static_cast<uint32_t*>(std::malloc(bytes));
  if (!block) return nullptr;
  block[0] = len * uint32_t(sizeof(char16_t));
  BSTR s = reinterpret_cast<BSTR>(block + 1);
  if (text) std::memcpy(s, text, size_t(len) * sizeof(char16_t));
  else std::memset(s, 0, size_t(len) * sizeof(char16_t));
  s[len] = 0;
  return s;
}

BSTR SysAllocString(const char16_t* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, uint32_t(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR s) {
  if (s) std::free(header(s));
}

uint32_t SysStringByteLen(BSTR s) { return s ? *header(s) : 0; }
uint32_t SysStringLen(BSTR s) { return SysStringByteLen(s) / sizeof(char16_t); }

BSTR bstrFrom(std::u16string_view text) { return SysAllocStringLen(text.data(), uint32_t(text.size())); }

std::u16string bstrText(BSTR s) { return s ? std::u16string(s, SysStringLen(s)) : std::u16string(); }

}  // namespace com
