// The broker's state digest: what a restart from the store must give back and what a replay of
// the same orders over the same market must reach.
#include <algorithm>
#include <cstring>

#include "libs/exchange/broker/broker.h"
#include "platform/text.h"

namespace tarn::exchange {
namespace {

// FNV-1a over the values in a fixed order; texts carry their length so that neighbours cannot
// run into each other.
class Digest {
 public:
  void Bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h_ = (h_ ^ b[i]) * 0x100000001b3ULL;
  }
  void Int(int64_t v) { Bytes(&v, sizeof v); }
  void Text(std::string_view s) {
    Int(static_cast<int64_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  uint64_t Value() const { return h_; }

 private:
  uint64_t h_ = 0xcbf29ce484222325ULL;
};

void AddOrder(Digest& d, const Order& o) {
  for (int64_t v : {static_cast<int64_t>(o.id), int64_t{o.tradingDay}, int64_t{o.sequence}, int64_t{o.account},
                    int64_t{o.contract}, int64_t{o.direction}, int64_t{o.offset}, int64_t{o.market},
                    int64_t{o.condition}, int64_t{o.state}, int64_t{o.price}, int64_t{o.quantity}, int64_t{o.filled},
                    int64_t{o.fillCount}, o.fillValue, int64_t{o.errorCode}, o.insertMs, o.updateMs,
                    int64_t{o.triggerBasis}, int64_t{o.kind}, int64_t{o.sendMode}, int64_t{o.longTerm},
                    int64_t{o.trigger}, int64_t{o.sendPrice}, int64_t{o.ticks}, int64_t{o.stop}, int64_t{o.extreme},
                    int64_t{o.triggeredSequence}, static_cast<int64_t>(o.clientRef), o.frozenMargin, o.frozenFee,
                    int64_t{o.reserve}, static_cast<int64_t>(o.reserveLot)})
    d.Int(v);
  d.Text(Field(o.key));
  d.Text(Field(o.errorText));
  d.Text(Field(o.positionNumber));
}

void AddFill(Digest& d, const Fill& f) {
  for (int64_t v : {static_cast<int64_t>(f.id), int64_t{f.tradingDay}, int64_t{f.sequence}, int64_t{f.account},
                    static_cast<int64_t>(f.orderId), int64_t{f.contract}, int64_t{f.direction}, int64_t{f.offset},
                    int64_t{f.price}, int64_t{f.quantity}, f.fee, f.closeProfit, f.timeMs})
    d.Int(v);
  d.Text(Field(f.number));
  d.Text(Field(f.orderKey));
  d.Text(Field(f.positionNumber));
}

}  // namespace

uint64_t Broker::StateHash() {
  tarn::Lock lock(mutex_);
  Digest d;
  d.Int(day_);
  // Logins without their password hashes: a hash is salted afresh whenever it is made.
  for (const auto& [user, login] : ledger_.logins) {
    d.Text(user);
    d.Text(login.name);
    for (AccountIndex a : login.accounts) d.Int(a);
  }
  for (AccountIndex a = 0; a < ledger_.accounts.size(); ++a) {
    const Account& acc = ledger_.accounts[a];
    d.Text(acc.id);
    d.Text(acc.login);
    d.Text(acc.name);
    d.Text(acc.currency);
    for (Money m : {acc.preBalance, acc.deposit, acc.withdrawal, acc.closeProfit, acc.fee, acc.credit, acc.margin,
                    acc.frozenMargin, acc.frozenFee})
      d.Int(m);
    std::vector<uint64_t> ids = acc.orders;
    std::sort(ids.begin(), ids.end());
    d.Int(static_cast<int64_t>(ids.size()));
    for (uint64_t id : ids) {
      auto it = orders_.find(id);
      if (it != orders_.end()) AddOrder(d, it->second);
    }
    d.Int(static_cast<int64_t>(acc.fills.size()));
    for (const Fill& f : acc.fills) AddFill(d, f);
    for (const auto& [key, s] : acc.sides) {
      d.Int(static_cast<int64_t>(key));
      d.Text(Field(s.number));
      for (int64_t v : {static_cast<int64_t>(s.id), int64_t{s.quantity}, int64_t{s.today}, int64_t{s.reservedAll},
                        int64_t{s.reservedOld}, int64_t{s.reservedToday}, s.holdValue, s.openValue, s.margin})
        d.Int(v);
      for (const Lot& l : s.lots) {
        d.Text(Field(l.number));
        d.Text(Field(l.fillNumber));
        for (int64_t v : {static_cast<int64_t>(l.id), int64_t{l.quantity}, int64_t{l.reserved}, int64_t{l.today},
                          int64_t{l.open}, int64_t{l.hold}, l.openMs, l.margin})
          d.Int(v);
      }
    }
    for (const auto& [key, qty] : acc.start) {
      d.Int(static_cast<int64_t>(key));
      d.Int(qty);
    }
    for (const StrategyOrder& s : acc.strategies) {
      for (int64_t v : {static_cast<int64_t>(s.id), int64_t{s.tradingDay}, int64_t{s.sequence}, int64_t{s.state},
                        int64_t{s.unitsDone}, s.insertMs})
        d.Int(v);
      d.Text(s.payload);
      d.Text(s.errorText);
      d.Text(s.run);
    }
    std::vector<std::pair<uint64_t, RefEntry>> refs(acc.refs.begin(), acc.refs.end());
    std::sort(refs.begin(), refs.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (const auto& [ref, r] : refs) {
      d.Int(static_cast<int64_t>(ref));
      d.Int(static_cast<int64_t>(r.orderId));
      d.Int(r.day);
      d.Int(r.sequence);
    }
  }
  // The books: which paper orders rest at which price, in queue order, and what waits to fire.
  for (const auto& slot : books_) {
    if (!slot) continue;
    const Book& b = *slot;
    const bool empty = b.bids.empty() && b.asks.empty() && b.conditions.Empty();
    if (empty) continue;
    d.Int(b.id);
    auto levels = [&](const auto& side) {
      d.Int(static_cast<int64_t>(side.size()));
      for (const auto& [price, queue] : side) {
        d.Int(price);
        for (uint64_t id : queue) d.Int(static_cast<int64_t>(id));
        d.Int(-1);
      }
    };
    levels(b.bids);
    levels(b.asks);
    std::vector<uint64_t> conditions = b.conditions.Ids();
    std::sort(conditions.begin(), conditions.end());
    for (uint64_t id : conditions) d.Int(static_cast<int64_t>(id));
    d.Int(-2);
  }
  return d.Value();
}

}  // namespace tarn::exchange
