// Code pages: the MultiByteToWideChar / WideCharToMultiByte contract over ICU.
#pragma once

#include <platform/export.h>

#include <cstdint>
#include <string>
#include <string_view>

QORVEL_PLATFORM_API_BEGIN
namespace platform {

/// The ANSI code page (Windows code page 936 as Windows maps it, user-defined areas included).
constexpr int CP_ACP = 0;
constexpr int CP_GBK = 936;
constexpr int CP_UTF8 = 65001;
constexpr int CP_LATIN1 = 28591;
/// The suite's own code-page attribute for UTF-16LE (never a Windows code page number).
constexpr int CP_UTF16LE = -1;

/// \brief Bytes in code page `cp` to UTF-16. `srcLen` -1 means NUL-terminated, the NUL
/// converted and counted. `dstSize` 0 asks for the length only. Bad input never stops the
/// conversion (U+FFFD); a result that does not fit writes nothing and returns 0. An unknown
/// code page returns 0. cp -1 reads the bytes as UTF-16LE.
int MultiByteToWideChar(int cp, const char* src, int srcLen, char16_t* dst, int dstSize);

/// \brief UTF-16 to bytes in code page `cp`, same conventions; a character the code page
/// lacks becomes "?", a lone surrogate one "?" (U+FFFD in UTF-8).
int WideCharToMultiByte(int cp, const char16_t* src, int srcLen, char* dst, int dstSize);

/// \brief String forms of the two conversions (lenient, as above).
std::u16string toWide(int cp, std::string_view bytes);
std::string toNarrow(int cp, std::u16string_view text);

/// \brief Writes `text` in code page `cp` at `out` (room for three bytes a unit) when every
/// character has bytes of its own there without the converter (code page 936 by its table,
/// UTF-8 always): the bytes toNarrow gives. The end of what was written; null otherwise
/// (other code pages included), with what stands at `out` undefined.
char* narrowByTable(int cp, std::u16string_view text, char* out);

/// \brief True when code page `cp` is known (0, -1, 65001 and every Windows code page ICU maps).
bool isKnownCodePage(int cp);

/// \brief Lead-byte test of code page 936: 0x81-0xFE start a two-byte character.
inline bool IsDBCSLeadByte936(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

/// \brief Bytes of one character in a code page 936 text starting at p (1 or 2), never past end.
inline int gbkCharLength(const unsigned char* p, const unsigned char* end) {
  return (p + 1 < end && IsDBCSLeadByte936(*p)) ? 2 : 1;
}

}  // namespace platform
QORVEL_PLATFORM_API_END
