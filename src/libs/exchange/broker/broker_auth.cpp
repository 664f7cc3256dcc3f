#include "libs/exchange/broker/broker_auth.h"

#include <sodium.h>

#include <mutex>

namespace tarn::exchange {
namespace {

bool Ready() {
  static const bool ok = sodium_init() >= 0;
  return ok;
}

void Limits(HashCost cost, unsigned long long& ops, size_t& mem) {
  if (cost == HashCost::Minimal) {
    ops = crypto_pwhash_OPSLIMIT_MIN;
    mem = crypto_pwhash_MEMLIMIT_MIN;
  } else {
    ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    mem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
  }
}

}  // namespace

std::string HashPassword(const std::string& password, HashCost cost) {
  if (!Ready()) return std::string();
  unsigned long long ops;
  size_t mem;
  Limits(cost, ops, mem);
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str_alg(out, password.data(), password.size(), ops, mem, crypto_pwhash_ALG_ARGON2ID13) != 0)
    return std::string();
  return std::string(out);
}

const std::string& UnknownLoginHash(HashCost cost) {
  // Made once with crypto_pwhash_str_alg (Argon2id) from a password no login can have.
  static const std::string minimal = "$argon2id$v=19$m=8,t=1,p=1$pYogpZ/8cIj8Is6bjDDIgA$MhBS2f6RHE46s9qW0w09Rr97m2HvmBZXzFdmJ3dpSD0";
  static const std::string interactive =
      "$argon2id$v=19$m=65536,t=2,p=1$4yXGwGFBkYVYEz5ZYYfM0Q$QfoFpJmZhwptH5VqyZWZVxRi5bPwLcbKrTixP2D/Tvc";
  return cost == HashCost::Minimal ? minimal : interactive;
}

bool VerifyPassword(const std::string& hash, const std::string& password) {
  if (!Ready() || hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  char str[crypto_pwhash_STRBYTES] = {};
  hash.copy(str, hash.size());
  return crypto_pwhash_str_verify(str, password.data(), password.size()) == 0;
}

bool NeedsRehash(const std::string& hash, HashCost cost) {
  if (!Ready() || hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return true;
  unsigned long long ops;
  size_t mem;
  Limits(cost, ops, mem);
  char str[crypto_pwhash_STRBYTES] = {};
  hash.copy(str, hash.size());
  return crypto_pwhash_str_needs_rehash(str, ops, mem) != 0;
}

bool ValidLoginName(const std::string& name) {
  if (name.empty() || name.size() > 20) return false;
  for (char ch : name)
    if (ch <= ' ' || ch > '~' || ch == '|') return false;
  return true;
}

bool ValidPassword(const std::string& password) {
  if (password.size() < 6 || password.size() > 32) return false;
  for (char ch : password)
    if (ch <= ' ' || ch > '~') return false;
  return true;
}

}  // namespace tarn::exchange
