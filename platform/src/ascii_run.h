// Widening a run of ASCII bytes, shared by the byte decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform::detail {

/// Widens the ASCII bytes from p[i] on (eight at a time while whole words are ASCII, then
/// at most one more), moving `i` and `o` past them. Runs in records are short and many:
/// leaders, directories, tags, codes and numbers.
inline void widenAsciiRun(const unsigned char* p, size_t& i, size_t n, char16_t*& o) {
  uint64_t w;
  while (i + 8 <= n && (std::memcpy(&w, p + i, 8), (w & 0x8080808080808080ull) == 0)) {
    for (int k = 0; k < 8; ++k) o[k] = char16_t(p[i + k]);
    o += 8;
    i += 8;
  }
  if (i < n && p[i] < 0x80) {
    *o++ = char16_t(p[i]);
    ++i;
  }
}

}  // namespace platform::detail
