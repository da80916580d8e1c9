// Account passwords as the store keeps them: salted, deliberately slow hashes (Argon2id).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra {

/// \brief The hash of a password with a fresh random salt, in the self-describing form
/// "$argon2id$v=19$m=...,t=...,p=...$salt$hash"; nothing when memory runs out.
std::optional<std::string> hashPassword(std::u16string_view password);

/// \brief True when `password` is the one `hash` was made from.
bool verifyPassword(const std::string& hash, std::u16string_view password);

/// \brief A hash in the form and with the cost of hashPassword's that no password is known
/// for: a log-in to an account that does not exist is checked against it, so that it takes
/// as long as a wrong password and tells nobody which accounts there are.
const std::string& standInHash();

/// \brief How many password checks (verifyPassword calls that hashed) this process has made.
uint64_t passwordChecks();

}  // namespace kelvra
