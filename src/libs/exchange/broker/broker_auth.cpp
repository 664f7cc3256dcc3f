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
