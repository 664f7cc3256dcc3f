// One contract's paper order book on its own: what a marketable order takes and in which order
// (better prices first, the market's shown volume before paper orders at a price, paper orders
// in time order), partial fills, cancels, and the invariant check catching a corrupted book.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libs/exchange/broker/order_book.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;

class OrderBookTest : public ::testing::Test {
 protected:
  // The market shows asks 3101.. and bids 3100.., `qty` lots a level.
  void Show(int32_t qty) {
    book.have = true;
    book.snap = Snapshot{};
    for (int i = 0; i < kBookLevels; ++i) {
      book.snap.askPrice[i] = 3101 + i;
      book.snap.bidPrice[i] = 3100 - i;
      book.snap.askQty[i] = book.snap.bidQty[i] = qty;
    }
  }
  Order& Add(AccountIndex account, int direction, int32_t price, int32_t lots, bool market = false) {
    Order o;
    o.id = nextId++;
    o.account = account;
    o.direction = static_cast<int8_t>(direction);
    o.offset = kOffOpen;
    o.price = price;
    o.market = market;
    o.quantity = lots;
    o.state = kStQueued;
    return orders[o.id] = o;
  }
  Order& Resting(AccountIndex account, int direction, int32_t price, int32_t lots) {
    Order& o = Add(account, direction, price, lots);
    book.Rest(o, orders);
    return o;
  }
  // Books a match as the broker does: the order's filled lots grow, a filled one stops working.
  void Book(Order& taker, const std::vector<BookMatch>& ms) {
    for (const BookMatch& m : ms) {
      for (Order* o : {m.counter ? &orders[m.counter] : nullptr, &taker}) {
        if (!o) continue;
        o->filled += m.lots;
        o->state = o->filled >= o->quantity ? kStFilled : kStPartFilled;
      }
    }
  }
  bool Valid(std::string* why) const { return book.CheckInvariant(orders, why); }

  OrderBook book;
  OrderBook::Orders orders;
  uint64_t nextId = 1;
};

TEST_F(OrderBookTest, MarketableOrderTakesBestPricesFirstMarketVolumeBeforePaperThenTimeOrder) {
  Show(2);
  // Paper sells: two at 3101 (first A's, then B's), one at 3102 (behind the market there).
  const uint64_t a1 = Resting(1, 2, 3101, 1).id;
  const uint64_t b1 = Resting(2, 2, 3101, 3).id;
  const uint64_t c1 = Resting(3, 2, 3102, 1).id;
  std::string why;
  ASSERT_TRUE(Valid(&why)) << why;
  EXPECT_EQ(orders[a1].ahead, 2);  // the market's two lots at 3101 were there first

  Order& buy = Add(9, 1, 3102, 9);
  const std::vector<BookMatch> ms = book.Match(buy, orders);
  ASSERT_EQ(ms.size(), 5u);
  // 3101: the market's 2, then A's 1, then B's 3 (whole).
  EXPECT_EQ(ms[0].counter, 0u);
  EXPECT_EQ(ms[0].level, 0);
  EXPECT_EQ(ms[0].price, 3101);
  EXPECT_EQ(ms[0].lots, 2);
  EXPECT_EQ(ms[1].counter, a1);
  EXPECT_EQ(ms[1].lots, 1);
  EXPECT_EQ(ms[2].counter, b1);
  EXPECT_EQ(ms[2].lots, 3);
  // 3102: the market's 2 before C's paper lot.
  EXPECT_EQ(ms[3].counter, 0u);
  EXPECT_EQ(ms[3].price, 3102);
  EXPECT_EQ(ms[3].lots, 2);
  EXPECT_EQ(ms[4].counter, c1);
  EXPECT_EQ(ms[4].lots, 1);
  Book(buy, ms);
  EXPECT_EQ(buy.Remaining(), 0);
  EXPECT_TRUE(book.asks.empty());  // every paper sell filled whole and left the book
  EXPECT_EQ(book.usedAsk[0], 2);
  EXPECT_EQ(book.usedAsk[1], 2);
  EXPECT_TRUE(Valid(&why)) << why;

  // What the snapshot showed is taken once: the next buyer finds only the third level.
  Order& next = Add(8, 1, 3103, 1);
  const std::vector<BookMatch> more = book.Match(next, orders);
  ASSERT_EQ(more.size(), 1u);
  EXPECT_EQ(more[0].price, 3103);
  EXPECT_EQ(more[0].level, 2);
}

TEST_F(OrderBookTest, PartialFillLeavesTheCounterAtTheFrontAndCancelsLeaveTheQueue) {
  Show(0);  // the market shows no volume: paper against paper
  const uint64_t first = Resting(1, 1, 3099, 5).id;
  const uint64_t second = Resting(2, 1, 3099, 2).id;
  const uint64_t lower = Resting(3, 1, 3098, 4).id;

  Order& sell = Add(9, 2, 3099, 3);
  std::vector<BookMatch> ms = book.Match(sell, orders);
  ASSERT_EQ(ms.size(), 1u);
  EXPECT_EQ(ms[0].counter, first);
  EXPECT_EQ(ms[0].lots, 3);
  Book(sell, ms);
  ASSERT_EQ(book.bids.at(3099).front(), first);  // part filled: keeps its place
  EXPECT_EQ(orders[first].Remaining(), 2);

  // A cancel takes an order out of the middle of its queue and leaves the others in order.
  orders[first].state = kStPartCancelled;
  book.Unrest(orders[first]);
  ASSERT_EQ(book.bids.at(3099).size(), 1u);
  EXPECT_EQ(book.bids.at(3099).front(), second);
  book.Unrest(orders[second]);
  EXPECT_EQ(book.bids.count(3099), 0u);  // an emptied level goes
  std::string why;
  EXPECT_TRUE(Valid(&why)) << why;

  // A limit above the last bid reaches nothing; a market order reaches what is left.
  Order& limit = Add(9, 2, 3099, 1);
  EXPECT_TRUE(book.Match(limit, orders).empty());
  Order& market = Add(9, 2, 0, 6, true);
  ms = book.Match(market, orders);
  ASSERT_EQ(ms.size(), 1u);
  EXPECT_EQ(ms[0].counter, lower);
  EXPECT_EQ(ms[0].lots, 4);
  EXPECT_TRUE(book.bids.empty());
}

TEST_F(OrderBookTest, MarketStepsFillRestingOrdersAtTheirOwnPriceAndQueueFlowClearsTheMarketAheadFirst) {
  Show(1);
  const uint64_t hi = Resting(1, 1, 3099, 3).id;  // bids below the market's best bid 3100
  const uint64_t lo = Resting(2, 1, 3098, 2).id;
  EXPECT_EQ(orders[hi].ahead, 1);

  // The market's asks come down to 3098 with one lot a level: the resting bids take them at
  // their own price, best bid first, each shown lot once.
  Snapshot s = book.snap;
  for (int i = 0; i < kBookLevels; ++i) {
    s.askPrice[i] = 3098 + i;
    s.bidPrice[i] = 3097 - i;
  }
  book.SetSnapshot(s);
  std::vector<BookMatch> ms = book.CrossResting(true, orders);
  ASSERT_EQ(ms.size(), 2u);
  EXPECT_EQ(ms[0].counter, hi);
  EXPECT_EQ(ms[0].price, 3099);  // its own price, not the market's 3098
  EXPECT_EQ(ms[0].level, 0);
  EXPECT_EQ(ms[1].counter, hi);
  EXPECT_EQ(ms[1].level, 1);     // 3098's lot is taken: the next one, at 3099
  EXPECT_EQ(ms[1].lots, 1);
  // The lot at 3100 is above hi's limit, and lo waits behind hi: nothing more.
  for (const BookMatch& m : ms) orders[m.counter].filled += m.lots;
  EXPECT_EQ(book.bids.at(3099).front(), hi);  // one lot still to go: it stays queued
  EXPECT_TRUE(book.CrossResting(true, orders).empty());  // each shown lot is taken once

  // A trade at 3098 for 4 lots by an active seller: through 3099 the rest of hi fills, then at
  // 3098 the flow clears the market's lot ahead of lo before lo's two lots fill.
  orders[lo].ahead = 1;
  Snapshot t = s;
  t.last = 3098;
  t.lastQty = 4;
  t.side = 2;
  book.SetSnapshot(t);
  ms = book.TradeThrough(true, orders);
  ASSERT_EQ(ms.size(), 2u);
  EXPECT_EQ(ms[0].counter, hi);
  EXPECT_EQ(ms[0].price, 3099);
  EXPECT_EQ(ms[0].lots, 1);
  EXPECT_EQ(ms[1].counter, lo);
  EXPECT_EQ(ms[1].price, 3098);
  EXPECT_EQ(ms[1].lots, 2);
  EXPECT_EQ(orders[lo].ahead, 0);
  EXPECT_TRUE(book.bids.empty());
}

TEST_F(OrderBookTest, SelfTradeSeesOnlyOrdersTheNewOneCouldReach) {
  Show(0);
  Resting(1, 2, 3105, 1);
  Order& near = Add(1, 1, 3104, 1);
  EXPECT_FALSE(book.SelfTrade(near, orders));
  Order& reach = Add(1, 1, 3105, 1);
  EXPECT_TRUE(book.SelfTrade(reach, orders));
  Order& other = Add(2, 1, 3105, 1);
  EXPECT_FALSE(book.SelfTrade(other, orders));
  Order& market = Add(1, 1, 0, 1, true);
  EXPECT_TRUE(book.SelfTrade(market, orders));
}

TEST_F(OrderBookTest, InvariantCatchesACorruptedBook) {
  Show(3);
  const uint64_t a = Resting(1, 1, 3099, 2).id;
  Resting(2, 2, 3103, 2);
  std::string why;
  ASSERT_TRUE(Valid(&why)) << why;
  {
    OrderBook bad = book;
    bad.bids[3099].push_back(a);  // queued twice
    EXPECT_FALSE(bad.CheckInvariant(orders, &why));
    EXPECT_NE(why.find("twice"), std::string::npos) << why;
  }
  {
    OrderBook bad = book;
    bad.bids[3104].push_back(a);  // at a price not its own, and crossing the paper asks
    EXPECT_FALSE(bad.CheckInvariant(orders, &why));
  }
  {
    OrderBook bad = book;
    bad.asks[3110];  // an empty level
    EXPECT_FALSE(bad.CheckInvariant(orders, &why));
  }
  {
    OrderBook bad = book;
    bad.usedAsk[0] = 4;  // more taken than the level shows
    EXPECT_FALSE(bad.CheckInvariant(orders, &why));
  }
  {
    OrderBook::Orders done = orders;
    done[a].state = kStFilled;  // finished yet still queued
    EXPECT_FALSE(book.CheckInvariant(done, &why));
  }
  EXPECT_TRUE(Valid(&why)) << why;
}

}  // namespace
}  // namespace tarn::test
