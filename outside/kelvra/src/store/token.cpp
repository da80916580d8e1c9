// Store tokens: 128 random bits that name one store, so that a store whose answer was lost
// can be looked up afterwards.
#include "store.h"

#include <sodium.h>

namespace kelvra {

std::string Store::newToken() {
  if (sodium_init() < 0) return {};
  unsigned char bytes[16];
  randombytes_buf(bytes, sizeof bytes);
  char hex[2 * sizeof bytes + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

}  // namespace kelvra
