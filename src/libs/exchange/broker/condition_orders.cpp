#include "libs/exchange/broker/condition_orders.h"

#include <algorithm>

#include "platform/text.h"

namespace tarn::exchange {

bool ConditionFires(Order& c, const Snapshot& s, bool& changed) {
  const int32_t price = c.triggerBasis == 1 ? s.bidPrice[0] : c.triggerBasis == 2 ? s.askPrice[0] : s.last;
  if (price <= 0) return false;
  const bool sell = c.direction == 2;  // protects a long position
  switch (c.kind) {
    case 0: return price >= c.trigger;
    case 1: return price <= c.trigger;
    case 4: {
      if (c.extreme == 0 || (sell ? price > c.extreme : price < c.extreme)) c.extreme = price;
      int32_t stop = c.stop;
      const int32_t trail = sell ? c.extreme - c.ticks : c.extreme + c.ticks;
      if (stop == 0 || (sell ? trail > stop : trail < stop)) stop = trail;
      if (stop != c.stop) {
        c.stop = stop;
        changed = true;
      }
      return sell ? price <= c.stop : price >= c.stop;
    }
    case 5:
      if (c.stop == 0) {
        // Armed once the price has moved the distance in favour; then it guards the reference.
        if (sell ? price >= c.sendPrice + c.ticks : price <= c.sendPrice - c.ticks) {
          c.stop = c.sendPrice;
          changed = true;
        }
        return false;
      }
      return sell ? price <= c.stop : price >= c.stop;
    default: return false;
  }
}

std::vector<OrderEntry> ConditionSends(const Order& c, const Snapshot& s, const std::string& accountId,
                                       const Side* side, bool closeToday) {
  const bool buy = c.direction == 1;
  OrderEntry entry;
  entry.account = accountId;
  entry.contract = c.contract;
  entry.direction = c.direction;
  entry.offset = c.offset;
  entry.quantity = c.quantity;
  entry.positionNumber = std::string(Field(c.positionNumber));
  if (c.sendMode == 4) {
    entry.market = true;
  } else if (c.sendMode == 0) {
    entry.price = c.sendPrice;
  } else {
    int32_t basis = s.last;
    if (c.sendMode == 2) basis = buy ? s.askPrice[0] : s.bidPrice[0];
    if (c.sendMode == 3) basis = buy ? s.bidPrice[0] : s.askPrice[0];
    if (basis <= 0) basis = s.last;
    int64_t p = static_cast<int64_t>(basis) + (buy ? c.ticks : -c.ticks);
    if (s.upper > 0) p = std::clamp<int64_t>(p, s.lower, s.upper);
    entry.price = p;
  }
  std::vector<OrderEntry> sends;
  if (c.offset == kOffOpen || !side) {
    sends.push_back(entry);
    return sends;
  }
  const Side& sd = *side;
  const Lot* lot = nullptr;
  for (const Lot& l : sd.lots)
    if (!entry.positionNumber.empty() && Field(l.number) == entry.positionNumber) lot = &l;
  if (lot) {
    entry.quantity = std::max(1, std::min(entry.quantity, lot->quantity - lot->reserved));
    // Where the exchange tells them apart, the lot's age decides the offset.
    if (closeToday) entry.offset = lot->today ? kOffCloseToday : kOffClose;
    sends.push_back(entry);
    return sends;
  }
  if (!entry.positionNumber.empty())
    entry.quantity = std::max(1, std::min(entry.quantity, sd.quantity - sd.reservedAll));
  if (!closeToday || c.offset != kOffClose) {
    sends.push_back(entry);
    return sends;
  }
  const int32_t old = std::max(0, (sd.quantity - sd.today) - sd.reservedOld);
  const int32_t today = std::max(0, sd.today - sd.reservedToday);
  const int32_t first = std::min(entry.quantity, old);
  const int32_t second = std::min(entry.quantity - first, today);
  const int32_t rest = entry.quantity - first - second;
  OrderEntry part = entry;
  if (first > 0) {
    part.quantity = first;
    part.offset = kOffClose;
    sends.push_back(part);
  }
  if (second > 0) {
    part.quantity = second;
    part.offset = kOffCloseToday;
    sends.push_back(part);
  }
  if (rest > 0) {
    part.quantity = rest;
    part.offset = kOffClose;
    sends.push_back(part);
  }
  return sends;
}

}  // namespace tarn::exchange
