// The broker's invariants, recomputed from first principles: the running totals the engine keeps
// must equal what its fills, lots, prices and working orders give.
#include <algorithm>

#include "libs/exchange/broker/broker.h"
#include "platform/text.h"

namespace tarn::exchange {

bool Broker::CheckInvariants(std::string* why, std::string_view onlyAccount) {
  tarn::Lock lock(mutex_);
  auto fail = [&](const std::string& text) {
    if (why) *why = text;
    return false;
  };
  const Catalogue& cat = market_.GetCatalogue();
  for (AccountIndex a = 0; a < ledger_.accounts.size(); ++a) {
    Account& acc = ledger_.accounts[a];
    if (!onlyAccount.empty() && acc.id != onlyAccount) continue;
    const std::string who = "account " + acc.id + ": ";

    // Positions equal the day's start plus the fills, and the sum of their lots.
    std::map<uint64_t, int64_t> expected(acc.start.begin(), acc.start.end());
    std::map<uint64_t, int64_t> fillValue, fillCount;
    Money fees = 0, closeProfit = 0;
    for (const Fill& f : acc.fills) {
      if (f.quantity <= 0) return fail(who + "a fill of no lots");
      const int side = f.offset == kOffOpen ? (f.direction == 1 ? 1 : 2) : (f.direction == 2 ? 1 : 2);
      expected[SideKey(f.contract, side)] += f.offset == kOffOpen ? f.quantity : -f.quantity;
      fillValue[f.orderId] += static_cast<int64_t>(f.price) * f.quantity;
      fillCount[f.orderId] += 1;
      fees += f.fee;
      closeProfit += f.closeProfit;
    }
    for (const auto& [key, qty] : expected) {
      auto it = acc.sides.find(key);
      const int64_t have = it == acc.sides.end() ? 0 : it->second.quantity;
      if (have != qty)
        return fail(who + Format("%s side %d holds %lld lots, its fills give %lld", ContractKey(SideContract(key)),
                                 SideOf(key), static_cast<long long>(have), static_cast<long long>(qty)));
    }
    Money margin = 0, positionProfit = 0;
    std::map<uint64_t, int64_t> reservedAll, reservedOld, reservedToday;
    std::map<uint64_t, int64_t> lotReserved;
    for (const auto& [key, side] : acc.sides) {
      if (!expected.count(key)) return fail(who + "a position no fill explains: " + ContractKey(SideContract(key)));
      const ContractId c = SideContract(key);
      const ContractTerms& t = Terms(c);
      int64_t qty = 0, today = 0, hold = 0, open = 0;
      Money m = 0;
      const int32_t last = LastPrice(c, &side);
      int64_t tickLots = 0;
      for (const Lot& lot : side.lots) {
        if (lot.quantity <= 0) return fail(who + "an empty lot " + std::string(Field(lot.number)));
        if (lot.margin != t.Margin(lot.hold, lot.quantity)) return fail(who + "lot margin " + std::string(Field(lot.number)));
        qty += lot.quantity;
        today += lot.today ? lot.quantity : 0;
        hold += static_cast<int64_t>(lot.hold) * lot.quantity;
        open += static_cast<int64_t>(lot.open) * lot.quantity;
        tickLots += (static_cast<int64_t>(last) - lot.hold) * lot.quantity;
        m += lot.margin;
      }
      if (qty != side.quantity || today != side.today || hold != side.holdValue || open != side.openValue || m != side.margin)
        return fail(who + "the position of " + ContractKey(c) + " is not the sum of its lots");
      if (side.quantity <= 0) return fail(who + "an empty position of " + ContractKey(c));
      positionProfit += t.Profit(SideOf(key) == 1 ? tickLots : -tickLots);
      margin += m;
      const Book* b = FindBook(c);
      if (!b || b->holders.find(a) == b->holders.end()) return fail(who + "a holder missing in " + ContractKey(c));
    }
    if (fees != acc.fee) return fail(who + Format("fees %lld, the fills give %lld", static_cast<long long>(acc.fee), static_cast<long long>(fees)));
    if (closeProfit != acc.closeProfit) return fail(who + "close profit is not the sum of the fills'");
    if (margin != acc.margin) return fail(who + Format("margin %lld, the lots give %lld", static_cast<long long>(acc.margin), static_cast<long long>(margin)));

    // Orders: fills, states, frozen money, reservations, their place in the book.
    Money frozenMargin = 0, frozenFee = 0;
    for (uint64_t id : acc.orders) {
      auto it = orders_.find(id);
      if (it == orders_.end()) return fail(who + "an order that is gone");
      const Order& o = it->second;
      const std::string what = who + "order " + std::string(Field(o.key)) + ": ";
      if (o.filled < 0 || o.filled > o.quantity) return fail(what + "filled beyond its quantity");
      if (fillValue[o.id] != o.fillValue || fillCount[o.id] != o.fillCount) return fail(what + "its fills do not add up");
      if (!o.condition) {
        if (o.state == kStFilled && o.filled != o.quantity) return fail(what + "filled but not whole");
        if (o.state == kStPartFilled && (o.filled == 0 || o.filled >= o.quantity)) return fail(what + "part filled wrongly");
        if (o.state == kStQueued && o.filled != 0) return fail(what + "queued with fills");
      }
      const bool working = !o.condition && o.state >= 0 && o.state <= kStPartFilled;
      const Book* b = FindBook(o.contract);
      int placed = 0;
      if (b && !o.condition) {
        auto count = [&](const auto& side) {
          for (const auto& [p, q] : side)
            for (uint64_t x : q)
              if (x == o.id) placed += p == o.price ? 1 : 100;
        };
        if (o.direction == 1)
          count(b->bids);
        else
          count(b->asks);
      }
      if (placed != (working ? 1 : 0)) return fail(what + Format("in the book %d times", placed));
      if (o.condition && o.state == kStWaiting &&
          (!b || !b->conditions.HoldsOnce(o.id)))
        return fail(what + "a waiting condition order not watched");
      if (working && o.offset == kOffOpen) {
        const ContractTerms& t = Terms(o.contract);
        if (o.frozenMargin != t.Margin(o.price, o.Remaining()) || o.frozenFee != t.Fee(o.price, o.Remaining(), FeeKind::Open))
          return fail(what + "frozen money");
      } else if (o.frozenMargin != 0 || o.frozenFee != 0) {
        return fail(what + "frozen money of an order that is not working");
      }
      frozenMargin += o.frozenMargin;
      frozenFee += o.frozenFee;
      if (working && o.offset != kOffOpen) {
        const uint64_t key = SideKey(o.contract, o.direction == 2 ? 1 : 2);
        reservedAll[key] += o.Remaining();
        if (o.reserve == 1) reservedOld[key] += o.Remaining();
        if (o.reserve == 2) reservedToday[key] += o.Remaining();
        if (o.reserve == 3) lotReserved[o.reserveLot] += o.Remaining();
      }
    }
    if (frozenMargin != acc.frozenMargin || frozenFee != acc.frozenFee) return fail(who + "frozen money is not its orders'");
    for (const auto& [key, side] : acc.sides) {
      int64_t lotOld = 0, lotToday = 0;
      for (const Lot& lot : side.lots) {
        if (lot.reserved != lotReserved[lot.id] || lot.reserved > lot.quantity) return fail(who + "lot reservation");
        (lot.today ? lotToday : lotOld) += lot.reserved;
      }
      if (side.reservedAll != reservedAll[key] || side.reservedAll > side.quantity)
        return fail(who + "reserved lots of " + ContractKey(SideContract(key)));
      if (Terms(SideContract(key)).closeToday &&
          (side.reservedOld != reservedOld[key] + lotOld || side.reservedToday != reservedToday[key] + lotToday ||
           side.reservedOld > side.quantity - side.today || side.reservedToday > side.today))
        return fail(who + "reserved older or today's lots of " + ContractKey(SideContract(key)));
    }

    // The funds equation, to the cent.
    const FundsView f = FundsOf(a);
    if (f.positionProfit != positionProfit) return fail(who + "position profit");
    if (f.Dynamic() != acc.preBalance + acc.deposit - acc.withdrawal + closeProfit + positionProfit - fees)
      return fail(who + "dynamic equity does not balance");
    if (f.Available() != f.Dynamic() - margin - frozenMargin - frozenFee) return fail(who + "available funds");
  }

  // No book crosses: the paper orders' best bid lies below their best ask; the market's too.
  for (ContractId id = 0; id < books_.size(); ++id) {
    const Book* b = books_[id].get();
    if (!b) continue;
    if (!b->bids.empty() && !b->asks.empty() && b->bids.begin()->first >= b->asks.begin()->first)
      return fail("the paper book of " + cat.ContractAt(id).key + " crosses");
    if (b->have && b->snap.bidPrice[0] > 0 && b->snap.askPrice[0] > 0 && b->snap.bidPrice[0] >= b->snap.askPrice[0])
      return fail("the market's book of " + cat.ContractAt(id).key + " crosses");
    for (const auto& side : {0, 1}) {
      auto check = [&](const auto& levels) -> bool {
        for (const auto& [p, q] : levels) {
          if (q.empty()) return false;
          int32_t ahead = 0;
          for (uint64_t x : q) {
            auto it = orders_.find(x);
            if (it == orders_.end() || it->second.state > kStPartFilled || it->second.price != p ||
                it->second.ahead < ahead)
              return false;
            ahead = it->second.ahead;
          }
        }
        return true;
      };
      if (!(side == 0 ? check(b->bids) : check(b->asks)))
        return fail("the paper book of " + cat.ContractAt(id).key + " holds an order that is not working there");
    }
    std::string fault;
    if (!b->CheckInvariant(orders_, &fault)) return fail("the paper book of " + cat.ContractAt(id).key + ": " + fault);
    if (!b->conditions.CheckInvariant(id, orders_, &fault))
      return fail("the conditions of " + cat.ContractAt(id).key + ": " + fault);
  }
  return ledger_.CheckInvariant([this](ContractId c) -> const ContractTerms& { return Terms(c); }, why);
}

}  // namespace tarn::exchange
