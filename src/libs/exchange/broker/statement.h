// An account's statement of a trading day, as text: its funds, the day's fills and its
// positions. A settled day values positions at the day's settlement prices (and says which
// contracts are delivered); the current day at the last prices, with the money frozen for
// working orders. A pure function of the ledger's account and what `StatementSource` supplies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "libs/exchange/broker/broker_terms.h"
#include "libs/exchange/broker/ledger.h"
#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

struct StatementSource {
  const Catalogue* catalogue = nullptr;
  bool settled = false;
  int64_t nowMs = 0;  // the time an unsettled statement is made at
  std::function<int32_t(ContractId, const Side&)> price;  // the price a side is valued at
  std::function<const ContractTerms&(ContractId)> terms;
  std::function<bool(ContractId)> delivered;  // settled: the contract stops trading after the day
};

std::string AccountStatement(const LedgerAccount& acc, int32_t day, const StatementSource& src);

}  // namespace tarn::exchange
