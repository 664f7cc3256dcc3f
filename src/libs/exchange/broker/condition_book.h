// The condition orders waiting on one contract's prices, in the order they arrived. A value
// type: it keeps their ids only; the orders themselves are the caller's. The broker looks at
// them on every snapshot of the contract, in this order, and takes an order out when it fires or
// ends.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "libs/exchange/broker/broker_types.h"

namespace tarn::exchange {

class ConditionBook {
 public:
  using Orders = std::unordered_map<uint64_t, Order>;

  void Add(uint64_t id) { ids_.push_back(id); }
  // Takes the order out (nothing when it is not waiting here).
  void Remove(uint64_t id);
  bool Empty() const { return ids_.empty(); }
  std::size_t Size() const { return ids_.size(); }
  // Whether the order waits here exactly once.
  bool HoldsOnce(uint64_t id) const;
  // In arrival order. Acting on an order may take others out: iterate over a copy.
  const std::vector<uint64_t>& Ids() const { return ids_; }

  // Each id is here once, and each names a waiting condition order of `contract`. False with the
  // first fault in `why`.
  bool CheckInvariant(ContractId contract, const Orders& orders, std::string* why) const;

 private:
  std::vector<uint64_t> ids_;
};

}  // namespace tarn::exchange
