#include "libs/exchange/broker/order_book.h"

#include <algorithm>
#include <climits>
#include <cstring>
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

void OrderBook::SetSnapshot(const Snapshot& s) {
  snap = s;
  have = true;
  std::memset(usedBid, 0, sizeof usedBid);
  std::memset(usedAsk, 0, sizeof usedAsk);
}

void OrderBook::DropFront(bool buys) {
  if (buys) {
    if (!bids.empty() && bids.begin()->second.empty()) bids.erase(bids.begin());
  } else if (!asks.empty() && asks.begin()->second.empty()) {
    asks.erase(asks.begin());
  }
}

std::vector<BookMatch> OrderBook::CrossResting(bool buys, const Orders& orders) {
  std::vector<BookMatch> out;
  const Snapshot& s = snap;
  uint64_t front = 0;  // the order at the front, and what this pass took of it so far
  int32_t taken = 0;
  for (;;) {
    if (buys ? bids.empty() : asks.empty()) break;
    const int32_t P = buys ? bids.begin()->first : asks.begin()->first;
    std::deque<uint64_t>& fifo = buys ? bids.begin()->second : asks.begin()->second;
    int level = -1;
    for (int i = 0; i < kBookLevels; ++i) {
      const int32_t p = buys ? s.askPrice[i] : s.bidPrice[i];
      if (p <= 0 || (buys ? p > P : p < P)) break;
      if ((buys ? s.askQty[i] - usedAsk[i] : s.bidQty[i] - usedBid[i]) > 0) {
        level = i;
        break;
      }
    }
    if (level < 0) break;
    const uint64_t id = fifo.front();
    if (id != front) {
      front = id;
      taken = 0;
    }
    auto o = orders.find(id);
    const int32_t remaining = (o == orders.end() ? 0 : o->second.Remaining()) - taken;
    int32_t& used = buys ? usedAsk[level] : usedBid[level];
    const int32_t avail = (buys ? s.askQty[level] : s.bidQty[level]) - used;
    const int32_t q = std::min(remaining, avail);
    used += q;
    taken += q;
    out.push_back(BookMatch{level, id, P, q});
    if (remaining - q == 0) {
      fifo.pop_front();
      DropFront(buys);
    }
  }
  return out;
}

std::vector<BookMatch> OrderBook::TradeThrough(bool buys, Orders& orders) {
  std::vector<BookMatch> out;
  const Snapshot& s = snap;
  if (s.lastQty <= 0 || s.last <= 0) return out;
  int32_t flow = s.lastQty;
  const int32_t L = s.last;
  for (;;) {
    if (flow <= 0 || (buys ? bids.empty() : asks.empty())) return out;
    const int32_t P = buys ? bids.begin()->first : asks.begin()->first;
    if (buys ? P <= L : P >= L) break;
    std::deque<uint64_t>& fifo = buys ? bids.begin()->second : asks.begin()->second;
    const uint64_t id = fifo.front();
    auto o = orders.find(id);
    const int32_t remaining = o == orders.end() ? 0 : o->second.Remaining();
    const int32_t q = std::min(flow, remaining);
    flow -= q;
    out.push_back(BookMatch{-1, id, P, q});
    if (remaining - q == 0) {
      fifo.pop_front();
      DropFront(buys);
    }
  }
  // At the traded price: resting buyers are hit by active sellers, resting sellers by buyers.
  if (flow > 0 && s.side != (buys ? 1 : 2)) QueueFlow(buys, L, flow, orders, out);
  return out;
}

void OrderBook::QueueFlow(bool buys, int32_t price, int32_t& flow, Orders& orders, std::vector<BookMatch>& out) {
  std::deque<uint64_t>* fifo = nullptr;
  if (buys) {
    auto it = bids.find(price);
    if (it != bids.end()) fifo = &it->second;
  } else {
    auto it = asks.find(price);
    if (it != asks.end()) fifo = &it->second;
  }
  if (!fifo) return;
  auto remainingOf = [&](uint64_t id) {
    auto o = orders.find(id);
    return o == orders.end() ? 0 : o->second.Remaining();
  };
  auto aheadOf = [&](uint64_t id) -> int32_t* {
    auto o = orders.find(id);
    return o == orders.end() ? nullptr : &o->second.ahead;
  };
  int32_t marketTaken = 0;
  const std::size_t first = out.size();
  for (uint64_t id : *fifo) {
    const int32_t* ahead = aheadOf(id);
    const int32_t gap = (ahead ? *ahead : 0) - marketTaken;
    if (gap > 0) {
      const int32_t t = std::min(flow, gap);
      marketTaken += t;
      flow -= t;
    }
    if (flow <= 0) break;
    const int32_t q = std::min(flow, remainingOf(id));
    out.push_back(BookMatch{-1, id, price, q});
    flow -= q;
    if (flow <= 0) break;
  }
  for (uint64_t id : *fifo)
    if (int32_t* ahead = aheadOf(id)) *ahead = std::max(0, *ahead - marketTaken);
  for (std::size_t i = first; i < out.size(); ++i)
    if (remainingOf(out[i].counter) - out[i].lots == 0)
      fifo->erase(std::remove(fifo->begin(), fifo->end(), out[i].counter), fifo->end());
  if (fifo->empty()) {
    if (buys)
      bids.erase(price);
    else
      asks.erase(price);
  }
}

void OrderBook::ShrinkQueues(Orders& orders) const {
  if (!have) return;
  auto cap = [&](bool buy, int32_t price) {
    for (int i = 0; i < kBookLevels; ++i) {
      const int32_t p = buy ? snap.bidPrice[i] : snap.askPrice[i];
      if (p <= 0) break;
      if (p == price) return buy ? snap.bidQty[i] : snap.askQty[i];
      if (buy ? p < price : p > price) return 0;
    }
    return INT32_MAX;  // deeper than the book shows: nothing to go by
  };
  auto shrink = [&](const auto& levels, bool buy) {
    for (const auto& [p, fifo] : levels) {
      const int32_t c = cap(buy, p);
      for (uint64_t id : fifo)
        if (auto o = orders.find(id); o != orders.end()) o->second.ahead = std::min(o->second.ahead, c);
    }
  };
  shrink(bids, true);
  shrink(asks, false);
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
