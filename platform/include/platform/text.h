// UTF-16 text helpers shared by every layer of the suite.
#pragma once

#include <platform/export.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <initializer_list>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

using u16 = std::u16string;
using u16v = std::u16string_view;

/// \brief UTF-8 to UTF-16; invalid bytes become U+FFFD. Surrogates encoded in three bytes
/// (as toUtf8 writes lone ones) come back as they were, so toUtf8/fromUtf8 round-trip any text.
u16 fromUtf8(std::string_view s);
/// \brief UTF-16 to UTF-8; a lone surrogate is written as its three-byte form instead of being lost.
std::string toUtf8(u16v s);
/// \brief toUtf8 of `s` written at `out`, which has room for three bytes a unit; the end of
/// what was written. With `loneAsReplacement` a lone surrogate is written as U+FFFD (EF BF BD),
/// so that the bytes are valid UTF-8.
char* utf8Into(u16v s, char* out, bool loneAsReplacement = false);
/// \brief Strict UTF-8 validity check (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view s);

/// \brief The two halves of a surrogate pair.
constexpr bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

/// \brief Length of a NUL-terminated UTF-16 string.
size_t length(const char16_t* s);

/// \brief Upper-cases a-z only; every other unit is left as it is.
char16_t upperAscii(char16_t c);
/// \brief Compares ignoring the case of A-Z only: <0, 0, >0.
int compareNoCase(u16v a, u16v b);
bool equalsNoCase(u16v a, u16v b);
bool equalsNoCase(std::string_view a, std::string_view b);
u16 toLowerAscii(u16v s);

/// \brief Copies text and its NUL into buf when both fit in size units and returns the text's
/// length; otherwise returns 0 and leaves buf untouched.
int32_t copyOut(u16v text, char16_t* buf, int32_t size);

/// One argument of formatText: a number, a character or a UTF-16 text.
struct FmtArg {
  enum Kind { Int, UInt, Text, Char } kind;
  int64_t i = 0;
  uint64_t u = 0;
  u16v s;
  FmtArg(int v) : kind(Int), i(v) {}
  FmtArg(long v) : kind(Int), i(v) {}
  FmtArg(long long v) : kind(Int), i(v) {}
  FmtArg(unsigned v) : kind(UInt), u(v) {}
  FmtArg(unsigned long v) : kind(UInt), u(v) {}
  FmtArg(unsigned long long v) : kind(UInt), u(v) {}
  FmtArg(char16_t c) : kind(Char), u(c) {}
  FmtArg(const char16_t* v) : kind(Text), s(v ? u16v(v) : u16v(u"(null)")) {}
  FmtArg(u16v v) : kind(Text), s(v) {}
  FmtArg(const u16& v) : kind(Text), s(v) {}
};

/// \brief printf-style formatting into UTF-16: %s (UTF-16 text), %c, %d, %i, %u, %x, %X, %%,
/// with flags '-' and '0', a width, a precision ("%.3s", "%05d") and the 'l'/'h' length
/// letters, which change nothing (a suite "long" is 32 bits). Arguments are type-checked
/// at the call: a text argument for %d formats as 0, a number for %s as empty.
u16 formatText(u16v fmt, std::initializer_list<FmtArg> args);

template <class... A>
u16 format(u16v fmt, const A&... args) {
  return formatText(fmt, {FmtArg(args)...});
}

/// \brief format(), cut to what a buffer of `bufferSize` units holds with its NUL
/// (the message formatting of the suite uses 1,024).
template <class... A>
u16 formatCut(size_t bufferSize, u16v fmt, const A&... args) {
  u16 r = formatText(fmt, {FmtArg(args)...});
  if (bufferSize == 0) return u16();
  if (r.size() > bufferSize - 1) r.resize(bufferSize - 1);
  return r;
}

/// \brief ASCII text to UTF-16 (bytes above 0x7F are widened as Latin-1).
u16 ascii(std::string_view s);

}  // namespace platform
QORVEL_PLATFORM_API_END
