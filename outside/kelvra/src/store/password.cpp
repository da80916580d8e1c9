// Password hashing with libsodium's crypto_pwhash (Argon2id, interactive limits).
#include "password.h"

#include <platform/text.h>

#include <sodium.h>

#include <atomic>

namespace kelvra {
namespace {

bool sodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

std::atomic<uint64_t> checks{0};

}  // namespace

const std::string& standInHash() {
  // Made once by hashPassword from a random password that nobody kept: checking a password
  // against it costs what checking one against an account's hash does.
  static const std::string hash =
      "$argon2id$v=19$m=65536,t=2,p=1$iLFzQ7DEAWVN+AnNyoetFw$YWHdJUQ79XQ40dPdG+EFxpePXoUNiDt4/Unqk7kAsKE";
  return hash;
}

uint64_t passwordChecks() { return checks.load(); }

std::optional<std::string> hashPassword(std::u16string_view password) {
  if (!sodiumReady()) return std::nullopt;
  std::string utf8 = platform::toUtf8(password);
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, utf8.data(), utf8.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    return std::nullopt;
  return std::string(out);
}

bool verifyPassword(const std::string& hash, std::u16string_view password) {
  if (!sodiumReady() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  ++checks;
  std::string utf8 = platform::toUtf8(password);
  char stored[crypto_pwhash_STRBYTES] = {};
  hash.copy(stored, hash.size());
  return crypto_pwhash_str_verify(stored, utf8.data(), utf8.size()) == 0;
}

}  // namespace kelvra
