#include "libs/exchange/broker/order_book.h"

#include <algorithm>
#include <set>

#include "platform/text.h"

namespace tarn::exchange {

int32_t OrderBook::QueueAhead(const Order& o) const {
  if (!have) return 0;
  const bool buy = o.direction == 1;
  int32_t deepest = 0;
  for (int i = 0; i < kBookLevels; ++i) {
    const int32_t p = buy ? snap.bidPrice[i] : snap.askPrice[i];
    if (p <= 0) break;
    const int32_t q = buy ? snap.bidQty[i] : snap.askQty[i];
    if (p == o.price) return q;
    if (buy ? p < o.price : p > o.price) return 0;  // a better price than this level: nobody ahead
    deepest = q;
  }
  return deepest;  // beyond the shown levels: at least as much as the deepest shows
}

void OrderBook::Rest(Order& o, const Orders& orders) {
  o.ahead = QueueAhead(o);
  std::deque<uint64_t>& level = o.direction == 1 ? bids[o.price] : asks[o.price];
  if (!level.empty())
    if (auto last = orders.find(level.back()); last != orders.end()) o.ahead = std::max(o.ahead, last->second.ahead);
  level.push_back(o.id);
}

void OrderBook::Unrest(const Order& o) {
  auto drop = [&](auto& side) {
    auto it = side.find(o.price);
    if (it == side.end()) return;
    auto& q = it->second;
    q.erase(std::remove(q.begin(), q.end(), o.id), q.end());
    if (q.empty()) side.erase(it);
  };
  if (o.direction == 1)
    drop(bids);
  else
    drop(asks);
}

bool OrderBook::SelfTrade(const Order& o, const Orders& orders) const {
  auto own = [&](uint64_t id) {
    auto it = orders.find(id);
    return it != orders.end() && it->second.account == o.account;
  };
  if (o.direction == 1) {
    for (const auto& [p, q] : asks) {
      if (!o.market && p > o.price) break;
      for (uint64_t id : q)
        if (own(id)) return true;
    }
  } else {
    for (const auto& [p, q] : bids) {
      if (!o.market && p < o.price) break;
      for (uint64_t id : q)
        if (own(id)) return true;
    }
  }
  return false;
}

std::vector<BookMatch> OrderBook::Match(const Order& o, const Orders& orders) {
  std::vector<BookMatch> out;
  const bool buy = o.direction == 1;
  const Snapshot& s = snap;
  int32_t left = o.Remaining();
  while (left > 0) {
    int mi = -1;
    int32_t mp = 0, avail = 0;
    if (have) {
      for (int i = 0; i < kBookLevels; ++i) {
        const int32_t p = buy ? s.askPrice[i] : s.bidPrice[i];
        if (p <= 0) break;
        const int32_t rest = buy ? s.askQty[i] - usedAsk[i] : s.bidQty[i] - usedBid[i];
        if (rest > 0) {
          mi = i;
          mp = p;
          avail = rest;
          break;
        }
      }
    }
    const bool haveM = mi >= 0 && (o.market || (buy ? mp <= o.price : mp >= o.price));
    int32_t pp = 0;
    bool haveP = false;
    if (buy && !asks.empty()) {
      pp = asks.begin()->first;
      haveP = o.market || pp <= o.price;
    } else if (!buy && !bids.empty()) {
      pp = bids.begin()->first;
      haveP = o.market || pp >= o.price;
    }
    if (!haveM && !haveP) break;
    if (haveM && (!haveP || (buy ? mp <= pp : mp >= pp))) {
      // The market's shown volume first at an equal price: it was there before.
      const int32_t q = std::min(left, avail);
      (buy ? usedAsk[mi] : usedBid[mi]) += q;
      out.push_back(BookMatch{mi, 0, mp, q});
      left -= q;
    } else {
      std::deque<uint64_t>& fifo = buy ? asks.begin()->second : bids.begin()->second;
      const uint64_t counter = fifo.front();
      auto m = orders.find(counter);
      const int32_t theirs = m == orders.end() ? 0 : m->second.Remaining();
      const int32_t q = std::min(left, theirs);
      out.push_back(BookMatch{-1, counter, pp, q});
      left -= q;
      if (theirs - q == 0) {
        fifo.pop_front();
        if (fifo.empty()) {
          if (buy)
            asks.erase(asks.begin());
          else
            bids.erase(bids.begin());
        }
      }
    }
  }
  return out;
}

bool OrderBook::CheckInvariant(const Orders& orders, std::string* why) const {
  auto fail = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  if (!bids.empty() && !asks.empty() && bids.begin()->first >= asks.begin()->first) return fail("the paper book crosses");
  if (have && snap.bidPrice[0] > 0 && snap.askPrice[0] > 0 && snap.bidPrice[0] >= snap.askPrice[0])
    return fail("the market's book crosses");
  for (int i = 0; i < kBookLevels; ++i)
    if (usedBid[i] < 0 || usedAsk[i] < 0 || (have && (usedBid[i] > std::max(0, snap.bidQty[i]) || usedAsk[i] > std::max(0, snap.askQty[i]))))
      return fail(Format("more taken of level %d than it shows", i + 1));
  std::set<uint64_t> seen;
  auto check = [&](const auto& levels, int direction) -> bool {
    for (const auto& [p, q] : levels) {
      if (q.empty()) return fail(Format("an empty level at %d", p));
      int32_t ahead = 0;
      for (uint64_t x : q) {
        if (!seen.insert(x).second) return fail(Format("order %llu queued twice", static_cast<unsigned long long>(x)));
        auto it = orders.find(x);
        if (it == orders.end() || it->second.condition || it->second.state < 0 || it->second.state > kStPartFilled ||
            it->second.Remaining() <= 0 || it->second.price != p || it->second.direction != direction ||
            it->second.ahead < ahead)
          return fail(Format("order %llu is not working at %d there", static_cast<unsigned long long>(x), p));
        ahead = it->second.ahead;
      }
    }
    return true;
  };
  return check(bids, 1) && check(asks, 2);
}

}  // namespace tarn::exchange
