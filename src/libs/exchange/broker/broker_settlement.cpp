// The trading-day roll: the day's orders end, every position is marked to the day's settlement
// price (the profit goes into the next day's previous equity), today's lots become older lots
// held at the settlement price, lots of contracts that stop trading are delivered, and each
// account's statement of the day is kept.
#include <algorithm>
#include <cinttypes>

#include "libs/exchange/broker/broker.h"
#include "libs/exchange/broker/statement.h"
#include "platform/text.h"

namespace tarn::exchange {

void Broker::RollTo(int32_t newDay) {
  for (int guard = 0; day_ < newDay && guard < 4000; ++guard) {
    int32_t next = market_.NextTradingDay(day_);
    if (next <= day_) break;
    if (next > newDay) next = newDay;
    SettleDay(day_, next);
  }
}

void Broker::SettleDay(int32_t day, int32_t nextDay) {
  // The statements of an earlier roll are in the store by now; keep those of this one at hand
  // until they are.
  if (store_ && !changes_.HasStatements()) {
    if (journal_->Written() >= statementsSeq_) statements_.clear();
  }
  // Strategy orders run for their day: they end before their leg orders do.
  runner_.Clear();
  // The day's orders end; condition orders for the day and of contracts that stop trading too.
  for (Account& acc : ledger_.accounts) {
    const std::vector<uint64_t> ids = acc.orders;
    for (uint64_t id : ids) {
      Order& o = orders_[id];
      if (!o.condition && o.state >= 0 && o.state <= kStPartFilled) {
        FinishOrder(o, o.filled > 0 ? kStPartCancelled : kStCancelled);
      } else if (o.condition && o.state == kStWaiting &&
                 (!o.longTerm || o.contract == kNoContract || !market_.Tradable(o.contract, nextDay))) {
        SetField(o.errorText, TXT("已过期"));
        FinishOrder(o, kStWithdrawn);
      }
    }
  }
  std::map<ContractId, int32_t> prices;
  for (Account& acc : ledger_.accounts)
    for (const auto& [key, side] : acc.sides) {
      const ContractId c = SideContract(key);
      if (prices.count(c)) continue;
      int32_t ticks = 0;
      prices[c] = market_.Settlement(c, day, ticks) ? ticks : LastPrice(c, &side);
    }
  auto settlement = [&prices](ContractId c) {
    auto it = prices.find(c);
    return it == prices.end() ? 0 : it->second;
  };
  auto terms = [this](ContractId c) -> const ContractTerms& { return Terms(c); };
  for (AccountIndex a = 0; a < ledger_.accounts.size(); ++a) {
    Account& acc = ledger_.accounts[a];
    std::string text = Statement(a, day, true, &prices);
    LedgerChanges marked;
    const Money realized = ledger_.MarkToSettlement(a, settlement, terms, marked);
    for (const auto& [key, lot] : marked.lots) DirtyLot(a, key, lot);
    // A contract that stops trading is delivered at its final settlement, where it is held now.
    std::vector<uint64_t> delivered;
    for (const auto& [key, side] : acc.sides)
      if (!market_.Tradable(SideContract(key), nextDay)) delivered.push_back(key);
    for (uint64_t key : delivered) RemoveEmptySide(a, key);
    ledger_.RollDay(a, realized);
    std::vector<uint64_t> kept;
    for (uint64_t id : acc.orders)
      if (orders_[id].condition && orders_[id].state == kStWaiting) kept.push_back(id);
    acc.orders.swap(kept);
    DirtyAccount(a);
    changes_.Starts(a);
    statements_[{a, day}] = text;
    changes_.NewStatement(a, day, std::move(text));
    pending_.emplace_back();
    pending_.back().type = BrokerEventType::Refresh;
    pending_.back().account = a;
  }
  for (auto it = orders_.begin(); it != orders_.end();) {
    if (it->second.condition && it->second.state == kStWaiting) {
      ++it;
      continue;
    }
    byKey_.erase(KeyCode(it->second.tradingDay, it->second.sequence));
    it = orders_.erase(it);
  }
  day_ = nextDay;
  orderSeq_ = fillSeq_ = strategySeq_ = 0;
  changes_.Day();
  for (ContractId id = 0; id < books_.size(); ++id) {
    Book* b = books_[id].get();
    if (!b || !b->watched || !b->bids.empty() || !b->asks.empty() || !b->conditions.Empty() || !b->holders.empty())
      continue;
    b->watched = false;
    interest_[id].store(false);
    market_.Watch(id, false);
  }
}

std::string Broker::Statement(AccountIndex a, int32_t day, bool settled, const std::map<ContractId, int32_t>* prices) {
  StatementSource src;
  src.catalogue = &market_.GetCatalogue();
  src.settled = settled;
  if (!settled) src.nowMs = Now();
  src.price = [&](ContractId c, const Side& s) {
    if (prices) {
      auto it = prices->find(c);
      if (it != prices->end()) return it->second;
    }
    return LastPrice(c, &s);
  };
  src.terms = [this](ContractId c) -> const ContractTerms& { return Terms(c); };
  src.delivered = [&](ContractId c) { return !market_.Tradable(c, market_.NextTradingDay(day)); };
  return AccountStatement(ledger_.accounts[a], day, src);
}

}  // namespace tarn::exchange
