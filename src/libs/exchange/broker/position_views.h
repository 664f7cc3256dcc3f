// What the terminal is shown of an account's positions, lots and funds, computed from the
// ledger's records, the contracts' terms and the market's last prices. Pure functions of their
// arguments: no lock, no events, no I/O; the broker calls them under its lock.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "libs/exchange/broker/broker_terms.h"
#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/broker/ledger.h"

namespace tarn::exchange {

// The market's last price of a contract, 0 when it has none.
using LastPriceOf = std::function<int32_t(ContractId)>;
using TermsOfContract = std::function<const ContractTerms&(ContractId)>;

// The price a side is valued at: the market's last price, else the side's average holding
// price (truncated), else 0 for an empty side.
int32_t MarkPrice(int32_t marketLast, const Side* side);

// A side's profit at `last`: against its holding value (since the last settlement) or, with
// `open`, against its opening value; a short side (SideOf(key) == 2) gains as the price falls.
Money SideProfit(const Side& s, uint64_t key, int32_t last, bool open, const ContractTerms& t);

// The view of the side `key` of a position, valued at `MarkPrice(marketLast, &s)`.
PositionView ViewOfSide(const Side& s, uint64_t key, int32_t marketLast, const ContractTerms& t);

// The views of an account's open lots, each valued at its side's mark price.
std::vector<LotView> LotViewsOf(const LedgerAccount& acc, const LastPriceOf& lastOf, const TermsOfContract& termsOf);

// An account's funds with the profit of all its sides at their mark prices.
FundsView FundsOfAccount(const LedgerAccount& acc, const LastPriceOf& lastOf, const TermsOfContract& termsOf);

}  // namespace tarn::exchange
