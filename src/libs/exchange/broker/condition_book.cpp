#include "libs/exchange/broker/condition_book.h"

#include <algorithm>
#include <unordered_set>

namespace tarn::exchange {

void ConditionBook::Remove(uint64_t id) { ids_.erase(std::remove(ids_.begin(), ids_.end(), id), ids_.end()); }

bool ConditionBook::HoldsOnce(uint64_t id) const { return std::count(ids_.begin(), ids_.end(), id) == 1; }

bool ConditionBook::CheckInvariant(ContractId contract, const Orders& orders, std::string* why) const {
  auto fail = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  std::unordered_set<uint64_t> seen;
  seen.reserve(ids_.size());
  for (uint64_t id : ids_) {
    if (!seen.insert(id).second) return fail("condition order " + std::to_string(id) + " waits twice");
    auto it = orders.find(id);
    if (it == orders.end()) return fail("condition order " + std::to_string(id) + " is unknown");
    const Order& o = it->second;
    if (!o.condition || o.state != kStWaiting)
      return fail("order " + std::to_string(id) + " waits here but is not a waiting condition order");
    if (o.contract != contract) return fail("condition order " + std::to_string(id) + " waits on another contract");
  }
  return true;
}

}  // namespace tarn::exchange
