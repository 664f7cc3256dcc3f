// What the terminal is shown of an account, computed from the ledger, the contract terms and the
// last prices the books know: a position side's view, its lots' views and the account's funds.
// Pure functions: no lock, no events, no I/O; the broker calls them under its lock.
//
// Rules. A side is valued at the contract's last traded price; without one, at its average
// holding price (its profit is then 0 against the holding price). Position profit is measured
// against the holding price (the last settlement for older lots), floating profit against the
// price each lot was opened at; a short side gains as the price falls. Margins and frozen money
// are the ledger's running totals.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "libs/exchange/broker/broker_terms.h"
#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/broker/ledger.h"

namespace tarn::exchange {

// The price a side is valued at: `bookLast` (the contract's last trade, 0 when none is known),
// else the side's average holding price, else 0.
int32_t ViewPrice(int32_t bookLast, const Side* side);

// The side's profit at `last`: against the opening prices when `open`, else the holding prices.
Money SideProfit(const Side& s, uint64_t sideKey, int32_t last, bool open, const ContractTerms& t);

PositionView PositionViewOf(const Side& s, uint64_t sideKey, int32_t last, const ContractTerms& t);

// The side's lots, each valued at `last`, appended to `out`.
void AppendLotViews(const Side& s, uint64_t sideKey, int32_t last, const ContractTerms& t,
                    std::vector<LotView>& out);

// What the views read besides the ledger: a contract's terms and its book's last price (0: none).
struct ViewPrices {
  std::function<const ContractTerms&(ContractId)> terms;
  std::function<int32_t(ContractId)> bookLast;
};

FundsView FundsViewOf(const LedgerAccount& acc, const ViewPrices& prices);

}  // namespace tarn::exchange
