// Sending a closing market order the way the exchange will take it. Exchanges that tell
// today's lots from older ones (the trading library's NeedsCloseToday) refuse a plain close
// (offset 2) of today's lots: the close is split into the older lots (offset 2), today's lots
// (offset 3 "平今") and any excess (offset 2), in that order, from the account's position less
// what earlier closes fired by the same quote already claimed (CloseBurstLedger).
#pragma once

#include <vector>

#include "data/trade_api.h"
#include "engines/close_burst.h"

namespace tarn {

// Sends `order` (a market order). An order with offset 2 on a contract whose exchange needs
// the distinction is split by the account's position of that contract (a buy closes the short
// side, a sell the long side); any other order goes out as it is. `stamp` names the quote that
// fired it: closes of one quote are planned through `ledger` so that they never claim the same
// lots. Without a stamp the order is planned against the position alone.
void SendClosingOrder(ITradeApi& api, const OrderRecord& order, const QuoteStamp* stamp = nullptr,
                      CloseBurstLedger& ledger = CloseBurstLedger::Instance());

}  // namespace tarn
