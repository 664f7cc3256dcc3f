// Passwords of the broker's logins: kept only as salted Argon2id hashes (libsodium's
// crypto_pwhash_str, whose string carries the salt and the cost parameters with the hash), so a
// stolen database gives away no password and a hash made with older parameters still verifies.
#pragma once

#include <string>

namespace tarn::exchange {

enum class HashCost {
  Interactive,  // libsodium's interactive limits: what the terminal uses
  Minimal,      // the smallest the algorithm allows: tests that create many logins
};

// The hash string of a password ("" when hashing failed, e.g. out of memory).
std::string HashPassword(const std::string& password, HashCost cost);
bool VerifyPassword(const std::string& hash, const std::string& password);
// True when a hash was made with other parameters than `cost` gives (rehash after a login).
bool NeedsRehash(const std::string& hash, HashCost cost);
// A fixed hash with the parameters of `cost` that no login's password matches: an unknown
// login's password is checked against it, so that the check costs what a known login's does
// without hashing anything at the first login.
const std::string& UnknownLoginHash(HashCost cost);

// A login or account name: 1-20 printable ASCII characters, no space and no '|'.
bool ValidLoginName(const std::string& name);
// A new password: 6-32 printable ASCII characters, no space.
bool ValidPassword(const std::string& password);

}  // namespace tarn::exchange
