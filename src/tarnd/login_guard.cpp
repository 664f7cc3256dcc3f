#include "tarnd/login_guard.h"

#include <algorithm>

namespace tarn::tarnd {

int64_t FailureLimiter::WaitMs(const std::string& key, int64_t nowMs) const {
  auto it = entries_.find(key);
  if (it == entries_.end()) return 0;
  return std::max<int64_t>(0, it->second.blockedUntilMs - nowMs);
}

void FailureLimiter::Failed(const std::string& key, int64_t nowMs) {
  if (entries_.size() >= policy_.maxKeys && !entries_.count(key)) Prune(nowMs);
  Entry& e = entries_[key];
  if (e.failures > 0 && nowMs - e.lastMs > policy_.forgetAfterMs) e = Entry{};
  ++e.failures;
  e.lastMs = nowMs;
  const int over = e.failures - policy_.freeFailures;
  if (over > 0) {
    int64_t delay = policy_.baseDelayMs;
    for (int i = 1; i < over && delay < policy_.maxDelayMs; ++i) delay *= 2;
    e.blockedUntilMs = nowMs + std::min(delay, policy_.maxDelayMs);
  }
}

void FailureLimiter::Prune(int64_t nowMs) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (nowMs - it->second.lastMs > policy_.forgetAfterMs || it->second.blockedUntilMs <= nowMs)
      it = entries_.erase(it);
    else
      ++it;
  }
  // Still full of keys that are blocked right now: the oldest give way, so that the table stays
  // bounded whatever an attacker sends.
  while (entries_.size() >= policy_.maxKeys) {
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const auto& a, const auto& b) { return a.second.lastMs < b.second.lastMs; });
    entries_.erase(oldest);
  }
}

bool AddressCounter::Acquire(const std::string& address) {
  int& n = counts_[address];
  if (n >= max_) return false;
  ++n;
  return true;
}

void AddressCounter::Release(const std::string& address) {
  auto it = counts_.find(address);
  if (it == counts_.end()) return;
  if (--it->second <= 0) counts_.erase(it);
}

int AddressCounter::Count(const std::string& address) const {
  auto it = counts_.find(address);
  return it == counts_.end() ? 0 : it->second;
}

}  // namespace tarn::tarnd
