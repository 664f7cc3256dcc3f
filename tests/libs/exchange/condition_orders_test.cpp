// The condition-order rules on their own, without a broker: a trailing stop only ever tightens
// and fires where it stands, a break-even stop arms once and keeps its reference, a basis with
// no price never fires, and what a fired order sends (limit clamp, the close split whose parts
// add up to the order, a bound lot's unreserved rest, never below one lot).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "libs/exchange/broker/condition_orders.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;

Snapshot At(int32_t last, int32_t bid = 0, int32_t ask = 0) {
  Snapshot s;
  s.last = last;
  s.bidPrice[0] = bid;
  s.askPrice[0] = ask;
  return s;
}

Order Stop(int direction, int kind, int32_t trigger, int32_t ticks = 0, int32_t sendPrice = 0) {
  Order o;
  o.condition = true;
  o.state = kStWaiting;
  o.direction = static_cast<int8_t>(direction);
  o.offset = kOffClose;
  o.kind = static_cast<int8_t>(kind);
  o.trigger = trigger;
  o.ticks = ticks;
  o.sendPrice = sendPrice;
  o.quantity = 5;
  o.contract = 3;
  return o;
}

TEST(ConditionOrdersTest, NoPriceOnTheBasisNeverFiresNorMovesAStop) {
  for (int basis = 0; basis <= 2; ++basis) {
    for (int kind : {0, 1, 4, 5}) {
      Order o = Stop(2, kind, 100, 3, 100);
      o.triggerBasis = static_cast<int8_t>(basis);
      bool changed = false;
      // Only the basis' own price is missing; the others would fire every kind.
      Snapshot s = At(basis == 0 ? 0 : 1, basis == 1 ? 0 : 1, basis == 2 ? 0 : 1);
      EXPECT_FALSE(ConditionFires(o, s, changed)) << basis << " " << kind;
      EXPECT_FALSE(changed);
      EXPECT_EQ(o.stop, 0);
      EXPECT_EQ(o.extreme, 0);
    }
  }
}

TEST(ConditionOrdersTest, TrailingStopOnlyTightensAndFiresAtItsStop) {
  std::mt19937 rng(7);
  for (int direction : {1, 2}) {
    const bool sell = direction == 2;
    for (int path = 0; path < 200; ++path) {
      Order o = Stop(direction, 4, 0, 1 + static_cast<int32_t>(rng() % 5));
      int32_t price = 1000, lastStop = 0;
      for (int step = 0; step < 50; ++step) {
        price = std::max<int32_t>(1, price + static_cast<int32_t>(rng() % 9) - 4);
        bool changed = false;
        const bool fired = ConditionFires(o, At(price), changed);
        ASSERT_NE(o.stop, 0);
        if (lastStop != 0) {
          ASSERT_TRUE(sell ? o.stop >= lastStop : o.stop <= lastStop) << "stop loosened";
        }
        ASSERT_EQ(changed, o.stop != lastStop);
        ASSERT_EQ(o.stop, sell ? o.extreme - o.ticks : o.extreme + o.ticks);
        ASSERT_EQ(fired, sell ? price <= o.stop : price >= o.stop);
        lastStop = o.stop;
        if (fired) break;
      }
    }
  }
}

TEST(ConditionOrdersTest, BreakEvenStopArmsOnceAtItsReference) {
  Order o = Stop(2, 5, 0, 4, 1000);  // protects a long bought at 1000; arms at 1004
  bool changed = false;
  EXPECT_FALSE(ConditionFires(o, At(1003), changed));
  EXPECT_FALSE(changed);
  EXPECT_FALSE(ConditionFires(o, At(990), changed));  // unarmed: a fall does not fire it
  EXPECT_FALSE(ConditionFires(o, At(1004), changed));
  EXPECT_TRUE(changed);
  EXPECT_EQ(o.stop, 1000);
  changed = false;
  EXPECT_FALSE(ConditionFires(o, At(1050), changed));  // a further rise does not move it
  EXPECT_FALSE(changed);
  EXPECT_EQ(o.stop, 1000);
  EXPECT_TRUE(ConditionFires(o, At(1000), changed));
}

TEST(ConditionOrdersTest, OffsetPriceIsClampedToTheLimits) {
  Order o = Stop(1, 0, 100, 50);
  o.offset = kOffOpen;
  o.sendMode = 2;  // the ask plus the ticks
  Snapshot s = At(100, 99, 101);
  s.upper = 120;
  s.lower = 80;
  auto sends = ConditionSends(o, s, "A", nullptr, false);
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].price, 120);
  EXPECT_EQ(sends[0].account, "A");
  o.direction = 2;  // a sell: the bid less the ticks
  sends = ConditionSends(o, s, "A", nullptr, false);
  EXPECT_EQ(sends[0].price, 80);
  s.bidPrice[0] = 0;  // no bid: the last price stands in
  s.upper = 0;         // no limits: no clamp
  sends = ConditionSends(o, s, "A", nullptr, false);
  EXPECT_EQ(sends[0].price, 50);
}

TEST(ConditionOrdersTest, CloseSplitPartsAddUpAndRespectWhatIsFree) {
  for (int32_t qty = 1; qty <= 8; ++qty)
    for (int32_t today = 0; today <= 4; ++today)
      for (int32_t reservedOld = 0; reservedOld <= 2; ++reservedOld) {
        Side sd;
        sd.quantity = 4 + today;  // four older lots
        sd.today = today;
        sd.reservedOld = reservedOld;
        Order o = Stop(2, 1, 100);
        o.quantity = qty;
        const auto sends = ConditionSends(o, At(100), "A", &sd, true);
        int32_t total = 0, olds = 0, todays = 0;
        for (const OrderEntry& e : sends) {
          ASSERT_GT(e.quantity, 0);
          total += e.quantity;
          (e.offset == kOffCloseToday ? todays : olds) += e.quantity;
        }
        EXPECT_EQ(total, qty);
        EXPECT_LE(todays, today);
        // The older lots free go first; today's only once those are used up.
        EXPECT_EQ(olds - std::max(0, qty - std::min(qty, 4 - reservedOld) - today), std::min(qty, 4 - reservedOld));
        // Without the distinction it is one close of the whole quantity.
        const auto one = ConditionSends(o, At(100), "A", &sd, false);
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0].quantity, qty);
        EXPECT_EQ(one[0].offset, kOffClose);
      }
}

TEST(ConditionOrdersTest, BoundCloseTakesTheLotsUnreservedRestAndItsAge) {
  Side sd;
  sd.quantity = 6;
  Lot lot;
  std::strcpy(lot.number, "L00000007");
  lot.quantity = 3;
  lot.reserved = 1;
  lot.today = true;
  sd.lots.push_back(lot);
  Order o = Stop(2, 1, 100);
  std::strcpy(o.positionNumber, "L00000007");
  auto sends = ConditionSends(o, At(100), "A", &sd, true);
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].quantity, 2);
  EXPECT_EQ(sends[0].offset, kOffCloseToday);
  EXPECT_EQ(sends[0].positionNumber, "L00000007");
  sd.lots[0].reserved = 3;  // nothing free: still one lot, the order is refused downstream
  sends = ConditionSends(o, At(100), "A", &sd, false);
  EXPECT_EQ(sends[0].quantity, 1);
  EXPECT_EQ(sends[0].offset, kOffClose);
  // An open order ignores the position entirely.
  o.offset = kOffOpen;
  sends = ConditionSends(o, At(100), "A", &sd, true);
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].quantity, 5);
  EXPECT_EQ(sends[0].offset, kOffOpen);
}

}  // namespace
}  // namespace tarn::test
