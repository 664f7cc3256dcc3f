// The server's defences around logins: failure counts with growing delays (per account and per
// address) and the limit on connections per address. Plain logic, no sockets.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tarn::tarnd {

class FailureLimiter {
 public:
  struct Policy {
    int freeFailures = 3;          // failures allowed before the first delay
    int64_t baseDelayMs = 1000;    // the first delay, doubled at every further failure
    int64_t maxDelayMs = 300000;   // the longest delay
    int64_t forgetAfterMs = 3600000;  // a key quiet this long starts afresh
    std::size_t maxKeys = 100000;  // beyond this, quiet keys are forgotten first
  };
  FailureLimiter() = default;
  explicit FailureLimiter(Policy policy) : policy_(policy) {}

  // How long `key` must still wait before its next try (0: it may try now).
  int64_t WaitMs(const std::string& key, int64_t nowMs) const;
  void Failed(const std::string& key, int64_t nowMs);
  void Succeeded(const std::string& key) { entries_.erase(key); }
  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    int failures = 0;
    int64_t lastMs = 0;
    int64_t blockedUntilMs = 0;
  };
  void Prune(int64_t nowMs);

  Policy policy_;
  std::map<std::string, Entry> entries_;
};

// Connections held per address.
class AddressCounter {
 public:
  explicit AddressCounter(int maxPerAddress) : max_(maxPerAddress) {}
  // False when the address holds the maximum already (then nothing is counted).
  bool Acquire(const std::string& address);
  void Release(const std::string& address);
  int Count(const std::string& address) const;

 private:
  int max_;
  std::map<std::string, int> counts_;
};

}  // namespace tarn::tarnd
