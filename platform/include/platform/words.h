// Text looked at a machine word at a time: four UTF-16 units or eight bytes per 64-bit word.
//
// Records are long runs of plain characters between a few that matter (terminators,
// delimiters, escapes, bytes outside ASCII), and every reader and writer of the suite goes
// over each of their characters: these helpers pass over the plain runs a word at a time and
// look at single units or bytes only in the words that hold something. Where the machine has
// SSE2 (every x86-64), the longer runs go eight units or sixteen bytes to a vector register
// first. Everything here is inline and keeps no state. Words are read little-endian: the first
// unit or byte is the word's lowest.
#pragma once

#include <platform/export.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

QORVEL_PLATFORM_API_BEGIN
namespace platform::words {

static_assert(std::endian::native == std::endian::little, "units and bytes are read little-endian from words");

constexpr uint64_t kUnitOnes = 0x0001000100010001ull;
constexpr uint64_t kUnitHighs = 0x8000800080008000ull;
constexpr uint64_t kByteOnes = 0x0101010101010101ull;
constexpr uint64_t kByteHighs = 0x8080808080808080ull;

/// \brief The four units from `p` on as one word.
inline uint64_t unitsAt(const char16_t* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

/// \brief The eight bytes from `p` on as one word.
inline uint64_t bytesAt(const void* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

#ifdef __SSE2__
/// \brief The eight units from `p` on in a vector register.
inline __m128i vectorAt(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
/// \brief Whether one of the eight units of `v` is below `limit`: the saturating difference
/// limit - unit is not zero only there.
inline bool anyUnitBelow(__m128i v, char16_t limit) {
  const __m128i d = _mm_subs_epu16(_mm_set1_epi16(short(limit)), v);
  return _mm_movemask_epi8(_mm_cmpeq_epi16(d, _mm_setzero_si128())) != 0xFFFF;
}
/// \brief The same for the sixteen bytes of `v`.
inline bool anyByteBelow(__m128i v, uint8_t limit) {
  const __m128i d = _mm_subs_epu8(_mm_set1_epi8(char(limit)), v);
  return _mm_movemask_epi8(_mm_cmpeq_epi8(d, _mm_setzero_si128())) != 0xFFFF;
}
#endif

// ---- What a word holds -------------------------------------------------------------------

/// \brief Whether one of the four units of `w` is below `limit` (at most U+8000). A borrow
/// reaches only the units above one that is below, so the answer is exact.
constexpr bool anyUnitBelow(uint64_t w, char16_t limit) {
  return ((w - kUnitOnes * limit) & ~w & kUnitHighs) != 0;
}

/// \brief Whether all four units of `w` are ASCII (below U+0080).
constexpr bool allUnitsAscii(uint64_t w) { return (w & 0xFF80FF80FF80FF80ull) == 0; }

/// \brief The place (0-3) of the first unit of `w` that is `c`, 4 when none is.
constexpr unsigned firstUnitEqual(uint64_t w, char16_t c) {
  const uint64_t x = w ^ (kUnitOnes * c);  // a zero unit where `c` stands
  // The lowest flagged unit is the first zero (a borrow only flags units above one).
  const uint64_t zero = (x - kUnitOnes) & ~x & kUnitHighs;
  return zero ? unsigned(std::countr_zero(zero) / 16) : 4;
}

/// \brief Whether one of the eight bytes of `w` is below `limit` (at most 0x80); exact, as
/// anyUnitBelow.
constexpr bool anyByteBelow(uint64_t w, uint8_t limit) {
  return ((w - kByteOnes * limit) & ~w & kByteHighs) != 0;
}

/// \brief Whether one of the eight bytes of `w` is 0x80 or above.
constexpr bool anyByteHigh(uint64_t w) { return (w & kByteHighs) != 0; }

/// \brief Whether all eight bytes of `w` are the digits "0"-"9".
constexpr bool allBytesDigits(uint64_t w) {
  // Each byte minus "0", and each byte plus 0x46, keeps its high bit clear only for "0"-"9".
  constexpr uint64_t kZeros = kByteOnes * '0', kPast = kByteOnes * 0x46;
  return (((w - kZeros) | (w + kPast)) & kByteHighs) == 0;
}

// ---- Scans ---------------------------------------------------------------------------------

/// \brief The first `c` in `s` from `from` on (npos when none), as u16string_view::find gives it.
inline size_t findUnit(std::u16string_view s, char16_t c, size_t from = 0) {
  size_t i = from;
  const size_t n = s.size();
#ifdef __SSE2__
  // Where the machine has them, eight units to a vector register.
  const __m128i pattern = _mm_set1_epi16(short(c));
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
    if (unsigned bits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, pattern)))) return i + unsigned(std::countr_zero(bits)) / 2;
  }
#endif
  for (; i + 4 <= n; i += 4) {
    unsigned k = firstUnitEqual(unitsAt(s.data() + i), c);
    if (k < 4) return i + k;
  }
  for (; i < n; ++i)
    if (s[i] == c) return i;
  return std::u16string_view::npos;
}

/// \brief Whether a unit below `limit` (at most U+8000) stands anywhere in `s`.
inline bool holdsUnitBelow(std::u16string_view s, char16_t limit) {
  size_t i = 0;
  const size_t n = s.size();
  for (; i + 4 <= n; i += 4)
    if (anyUnitBelow(unitsAt(s.data() + i), limit)) return true;
  for (; i < n; ++i)
    if (s[i] < limit) return true;
  return false;
}

/// \brief Whether a byte of 0x80 or above stands anywhere in `s`.
inline bool holdsHighByte(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  for (; i + 8 <= n; i += 8)
    if (anyByteHigh(bytesAt(s.data() + i))) return true;
  for (; i < n; ++i)
    if (uint8_t(s[i]) >= 0x80) return true;
  return false;
}

// ---- Runs of ASCII -------------------------------------------------------------------------

/// \brief Widens the ASCII bytes from p[i] on (eight at a time while whole words are ASCII,
/// then at most one more), moving `i` and `o` past them. Runs in records are short and many:
/// leaders, directories, tags, codes and numbers.
inline void widenAsciiRun(const unsigned char* p, size_t& i, size_t n, char16_t*& o) {
  while (i + 8 <= n && !anyByteHigh(bytesAt(p + i))) {
    for (int k = 0; k < 8; ++k) o[k] = char16_t(p[i + k]);
    o += 8;
    i += 8;
#ifdef __SSE2__
    // A run that fills a word may be long: sixteen at a time from here (a short run has
    // already ended at the word's test, at the cost it always had).
    for (; i + 16 <= n; i += 16, o += 16) {
      const __m128i v = vectorAt(p + i);
      if (_mm_movemask_epi8(v) != 0) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
    }
#endif
  }
  if (i < n && p[i] < 0x80) {
    *o++ = char16_t(p[i]);
    ++i;
  }
}

/// \brief Narrows the units from s[i] on to one byte each, four at a time while all four are
/// ASCII (and, with kStopAtNul, none is U+0000), moving `i` and `o` past them; what is left
/// (fewer than four, or a word that holds another unit) is the caller's.
template <bool kStopAtNul = false>
inline void narrowAsciiRun(const char16_t* s, size_t& i, size_t n, char*& o) {
  for (uint64_t w; i + 4 <= n && (w = unitsAt(s + i), allUnitsAscii(w)) && !(kStopAtNul && anyUnitBelow(w, 1));) {
    o[0] = char(w), o[1] = char(w >> 16), o[2] = char(w >> 32), o[3] = char(w >> 48);
    o += 4;
    i += 4;
#ifdef __SSE2__
    // As widenAsciiRun: eight at a time once a run has filled a word.
    const __m128i zero = _mm_setzero_si128(), nonAscii = _mm_set1_epi16(short(0xFF80));
    for (; i + 8 <= n; i += 8, o += 8) {
      const __m128i v = vectorAt(s + i);
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, nonAscii), zero)) != 0xFFFF) break;
      if (kStopAtNul && _mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)) != 0) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
    }
#endif
  }
}

// ---- Mapping the few units or bytes that matter --------------------------------------------

namespace detail {
inline bool holdsBelow(uint64_t w, char16_t limit) { return anyUnitBelow(w, limit); }
inline bool holdsBelow(uint64_t w, char limit) { return anyByteBelow(w, uint8_t(limit)); }
#ifdef __SSE2__
inline bool holdsBelow(__m128i v, char16_t limit) { return anyUnitBelow(v, limit); }
inline bool holdsBelow(__m128i v, char limit) { return anyByteBelow(v, uint8_t(limit)); }
#endif
}  // namespace detail

/// \brief Runs `map` in place over the units (T char16_t) or bytes (T char) of `p[0, n)`, but
/// only over the words that hold one below `limit` (at most U+8000 or 0x80, bytes taken as
/// unsigned) and over the last ones that make no whole word: `map` must leave every unit or
/// byte from `limit` up as it is.
template <class T, class Map>
void mapBelow(T* p, size_t n, T limit, Map&& map) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 2, "units or bytes");
  size_t i = 0;
#ifdef __SSE2__
  for (constexpr size_t kLanes = 16 / sizeof(T); i + kLanes <= n; i += kLanes) {
    if (!detail::holdsBelow(vectorAt(p + i), limit)) continue;
    for (size_t k = i; k < i + kLanes; ++k) p[k] = map(p[k]);
  }
#endif
  for (constexpr size_t kLanes = 8 / sizeof(T); i + kLanes <= n; i += kLanes) {
    uint64_t w;
    std::memcpy(&w, p + i, sizeof w);
    if (!detail::holdsBelow(w, limit)) continue;
    for (size_t k = i; k < i + kLanes; ++k) p[k] = map(p[k]);
  }
  for (; i < n; ++i) p[i] = map(p[i]);
}

/// \brief Appends `text` to `out` through `map`, which keeps every unit from `limit` (at most
/// U+8000) up as it is: four units are copied at a time while none of them is below `limit`.
template <class Map>
void appendMappedBelow(std::u16string& out, std::u16string_view text, char16_t limit, Map&& map) {
  const size_t at = out.size(), n = text.size();
  out.resize(at + n);
  char16_t* o = out.data() + at;
  const char16_t* t = text.data();
  size_t i = 0;
#ifdef __SSE2__
  for (; i + 8 <= n; i += 8) {
    const __m128i v = vectorAt(t + i);
    if (anyUnitBelow(v, limit)) {
      for (size_t k = i; k < i + 8; ++k) o[k] = map(t[k]);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), v);
    }
  }
#endif
  for (; i + 4 <= n; i += 4) {
    const uint64_t w = unitsAt(t + i);
    if (anyUnitBelow(w, limit)) {
      for (size_t k = i; k < i + 4; ++k) o[k] = map(t[k]);
    } else {
      std::memcpy(o + i, &w, sizeof w);
    }
  }
  for (; i < n; ++i) o[i] = map(t[i]);
}

}  // namespace platform::words
QORVEL_PLATFORM_API_END
