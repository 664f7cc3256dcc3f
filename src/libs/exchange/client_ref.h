// Client references: the number a trading library gives an order when it first sends it and
// keeps with the order, so that a resend after a lost connection names the same order and the
// broker books it once (OrderEntry::clientRef). The high half is drawn at random when the
// generator is made, the low half counts: two library instances (two runs of the terminal, two
// processes) practically never meet, and no reference is 0.
#pragma once

#include <atomic>
#include <cstdint>
#include <random>

namespace tarn::exchange {

class ClientRefs {
 public:
  ClientRefs() {
    std::random_device rd;
    base_ = (static_cast<uint64_t>(rd()) << 32) | (static_cast<uint64_t>(rd() & 0xFFFFu) << 16);
  }
  explicit ClientRefs(uint64_t base) : base_(base) {}

  uint64_t Next() {
    for (;;) {
      const uint64_t ref = base_ + next_.fetch_add(1, std::memory_order_relaxed);
      if (ref != 0) return ref;
    }
  }

 private:
  uint64_t base_ = 0;
  std::atomic<uint64_t> next_{1};
};

}  // namespace tarn::exchange
