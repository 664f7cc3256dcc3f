// The paper orders resting in one contract and their matching against the market's book. A
// value type: no I/O, no lock, no events. It keeps the queues of order ids by price and what of
// the market's current snapshot paper orders have taken already; the orders themselves are the
// caller's (passed in as the map they live in). Matching returns the fills it decided, in order,
// for the caller to book.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/market/market.h"

namespace tarn::exchange {

// One fill a marketable order takes: from a level the market shows (counter 0; `level` its
// index), or from a paper order resting on the other side (its id).
struct BookMatch {
  int level = -1;
  uint64_t counter = 0;
  int32_t price = 0;
  int32_t lots = 0;
};

class OrderBook {
 public:
  using Orders = std::unordered_map<uint64_t, Order>;

  bool have = false;  // a snapshot of the market is known
  Snapshot snap;
  int32_t usedBid[kBookLevels] = {}, usedAsk[kBookLevels] = {};  // of the snapshot's levels
  std::map<int32_t, std::deque<uint64_t>, std::greater<int32_t>> bids;  // best first, in time order
  std::map<int32_t, std::deque<uint64_t>> asks;

  // The market's lots shown ahead of a limit order joining its price level.
  int32_t QueueAhead(const Order& o) const;
  // Queues a limit order at its price, behind the market's shown volume there and behind the
  // paper orders already waiting at that price.
  void Rest(Order& o, const Orders& orders);
  void Unrest(const Order& o);
  // Whether the order could reach a resting order of its own account.
  bool SelfTrade(const Order& o, const Orders& orders) const;
  // Takes what a marketable order reaches, best price first; at an equal price the market's
  // shown volume before the paper orders, and those in time order. Uses up the shown levels and
  // removes the paper orders it fills whole. Does not change the orders: the caller books each
  // fill (a paper counter's fill first).
  std::vector<BookMatch> Match(const Order& o, const Orders& orders);

  // A new snapshot of the market (what was taken of the last one is forgotten).
  void SetSnapshot(const Snapshot& s);
  // Resting orders of one side (`buys`) that the market's book has moved onto: they trade at
  // their own price with the volume the book shows at or better than it, best orders first.
  std::vector<BookMatch> CrossResting(bool buys, const Orders& orders);
  // The snapshot's trade: through resting prices it fills them at their own price, best first,
  // up to the traded lots; at a resting price the flow clears the market's queue ahead first
  // (which moves the orders there up: their `ahead` shrinks).
  std::vector<BookMatch> TradeThrough(bool buys, Orders& orders);
  // The market's shown volume caps the queue ahead of each resting order.
  void ShrinkQueues(Orders& orders) const;

  // Each price level holds orders, each order once, each working at that price and on that
  // side, with no less ahead of it than the one before; neither the paper book nor the market's
  // crosses; no more is taken of a shown level than it shows. False with the first fault in `why`.
  bool CheckInvariant(const Orders& orders, std::string* why) const;

 private:
  void QueueFlow(bool buys, int32_t price, int32_t& flow, Orders& orders, std::vector<BookMatch>& out);
  // Drops the best level of a side once its queue is empty.
  void DropFront(bool buys);
};

}  // namespace tarn::exchange
