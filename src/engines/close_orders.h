// Sending a closing market order the way the exchange will take it. Exchanges that tell
// today's lots from older ones (the trading library's NeedsCloseToday) refuse a plain close
// (offset 2) of today's lots: the close is split into the older lots (offset 2), today's lots
// (offset 3 "平今") and any excess (offset 2), in that order, from the account's position.
#pragma once

#include <vector>

#include "data/trade_api.h"

namespace tarn {

struct ClosePart {
  int32_t offset;
  int32_t quantity;
  bool operator==(const ClosePart&) const = default;
};

// The parts of closing `quantity` lots of one side: the side's total and today's lots (today's
// never counted above the total). The older lots and any excess carry `offset` (2, or 3 when
// the user asked for close-today), today's lots offset 3.
std::vector<ClosePart> SplitClose(int32_t quantity, int64_t sideTotal, int64_t sideToday, int32_t offset = 2);

// Sends `order` (a market order). An order with offset 2 on a contract whose exchange needs
// the distinction is split by the account's position of that contract (a buy closes the short
// side, a sell the long side); any other order goes out as it is.
void SendClosingOrder(ITradeApi& api, const OrderRecord& order);

}  // namespace tarn
