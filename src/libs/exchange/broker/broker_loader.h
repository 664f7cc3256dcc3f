// Turns the rows a broker store holds into the broker's state: the ledger (logins, accounts,
// positions rebuilt from their lots, the day's start, fills, client references, strategy
// orders) and the orders. Rows that cannot be right are refused: unknown accounts or sides,
// numbers out of range, duplicate ids; lots of contracts no longer listed are dropped and
// working orders of such contracts end. What was dropped or changed is listed for the caller to
// write back. A pure function: no lock, no events; the caller puts working orders into its books
// and restarts strategy runs.
#pragma once

#include <cstdint>
#include <functional>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "libs/exchange/broker/broker_store.h"
#include "libs/exchange/broker/broker_terms.h"
#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/broker/ledger.h"
#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

struct LoadedBrokerState {
  int32_t day = 0;  // 0: none (a new store, or a stored day that is no date)
  uint64_t nextId = 1;
  int32_t orderSeq = 0, fillSeq = 0, strategySeq = 0;
  Ledger ledger;
  std::unordered_map<uint64_t, Order> orders;     // by id
  std::unordered_map<uint64_t, uint64_t> byKey;   // (day << 32 | sequence) -> id
  // Orders of a listed contract still working or waiting, in the store's order.
  std::vector<uint64_t> live;
  // Strategy orders that were running: (account, index in its strategies), in the store's order.
  std::vector<std::pair<AccountIndex, std::size_t>> running;
  // To write back: sides made or removed, lots removed, orders ended.
  std::vector<std::pair<AccountIndex, uint64_t>> dirtySides;
  std::vector<std::tuple<AccountIndex, uint64_t, uint64_t>> dirtyLots;
  std::vector<uint64_t> dirtyOrders;
};

LoadedBrokerState LoadBrokerState(BrokerStore::Loaded in, const Catalogue& cat,
                                  const std::function<const ContractTerms&(ContractId)>& terms);

}  // namespace tarn::exchange
