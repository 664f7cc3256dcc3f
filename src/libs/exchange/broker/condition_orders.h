// The rules of condition orders, apart from the broker's books and accounts: whether a waiting
// condition order fires at a snapshot of the market (following a trailing stop on the way), and
// the orders it sends when it does. Pure functions of their arguments: no lock, no events, no
// store; the broker calls them for the waiting condition orders of a book and acts on the answer.
#pragma once

#include <string>
#include <vector>

#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/market/market.h"

namespace tarn::exchange {

// Whether the waiting condition order `c` fires at `s`. A trailing stop (kinds 4 and 5) follows
// the price: its extreme and stop move in `c`, and `changed` is set when the stop moved or armed.
// A trigger basis without a price (zero or less) never fires.
bool ConditionFires(Order& c, const Snapshot& s, bool& changed);

// The orders the fired condition order `c` sends, for account `accountId`. `side` is the position
// of the order's contract it closes (null when there is none); `closeToday` whether the exchange
// tells older and today's lots apart. A close order bound to a lot or a position sends at most
// what is left unreserved (at least one lot); an unbound close where older and today's lots are
// told apart is split into the older lots, then today's, then any rest as a close.
std::vector<OrderEntry> ConditionSends(const Order& c, const Snapshot& s, const std::string& accountId,
                                       const Side* side, bool closeToday);

}  // namespace tarn::exchange
