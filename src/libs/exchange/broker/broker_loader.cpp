#include "libs/exchange/broker/broker_loader.h"

#include <algorithm>
#include <cstdio>

#include "platform/text.h"

namespace tarn::exchange {

namespace {
// What a loaded row may hold: a damaged or foreign store may carry any numbers, and money sums
// must never overflow.
constexpr int64_t kMaxLoadedPrice = 100000000;      // ticks
constexpr int32_t kMaxLoadedLots = 1000000;
constexpr Money kMaxLoadedMoney = 10000000000000;   // cents (a hundred billion yuan)
bool PriceOk(int64_t p) { return p >= -kMaxLoadedPrice && p <= kMaxLoadedPrice; }
bool MoneyOk(Money m) { return m >= -kMaxLoadedMoney && m <= kMaxLoadedMoney; }
Money ClampMoney(Money m) { return std::clamp(m, -kMaxLoadedMoney, kMaxLoadedMoney); }
bool OrderOk(const Order& o) {
  return o.state >= 0 && o.state <= kMaxOrderState && o.quantity >= 0 && o.quantity <= kMaxOrderLots &&
         o.filled >= 0 && o.filled <= o.quantity && o.fillCount >= 0 && o.fillCount <= kMaxOrderLots &&
         PriceOk(o.price) && PriceOk(o.trigger) && PriceOk(o.sendPrice) && PriceOk(o.stop) && PriceOk(o.extreme) &&
         o.ticks >= -1000000 && o.ticks <= 1000000 &&
         o.fillValue >= -kMaxLoadedPrice * kMaxOrderLots && o.fillValue <= kMaxLoadedPrice * kMaxOrderLots;
}
}  // namespace

LoadedBrokerState LoadBrokerState(BrokerStore::Loaded in, const Catalogue& cat,
                                  const std::function<const ContractTerms&(ContractId)>& terms) {
  LoadedBrokerState st;
  Ledger& ledger = st.ledger;
  // A day that is no date is no day: the store starts the market's.
  st.day = in.tradingDay > 19700101 && Yyyymmdd(DayNumOf(in.tradingDay)) == in.tradingDay ? in.tradingDay : 0;
  st.nextId = in.maxId + 1;
  st.orderSeq = std::clamp(in.maxOrderSequence, 0, 90000000);
  st.fillSeq = std::clamp(in.maxFillSequence, 0, 9000000);
  st.strategySeq = std::clamp(in.maxStrategySequence, 0, 900000);
  for (BrokerStore::LoginRow& r : in.logins) {
    LoginInfo& l = ledger.logins[r.user];
    l.hash = std::move(r.hash);
    l.name = std::move(r.name);
  }
  for (BrokerStore::AccountRow& r : in.accounts) {
    LedgerAccount a;
    a.id = std::move(r.id);
    a.login = std::move(r.login);
    a.name = std::move(r.name);
    a.currency = r.currency.empty() ? kAccountCurrency : std::move(r.currency);
    if (a.id.empty() || ledger.index.count(a.id)) continue;
    a.preBalance = ClampMoney(r.preBalance);
    a.deposit = ClampMoney(r.deposit);
    a.withdrawal = ClampMoney(r.withdrawal);
    a.closeProfit = ClampMoney(r.closeProfit);
    a.fee = ClampMoney(r.fee);
    a.credit = ClampMoney(r.credit);
    ledger.Add(std::move(a));
  }
  auto accountOf = [&](const std::string& id) {
    auto it = ledger.index.find(id);
    return it == ledger.index.end() ? kNoAccount : it->second;
  };
  for (const BrokerStore::SideRow& r : in.sides) {
    const AccountIndex a = accountOf(r.account);
    const ContractId c = cat.Find(r.contract);
    if (a == kNoAccount || c == kNoContract || (r.side != 1 && r.side != 2)) continue;
    Side& s = ledger.accounts[a].sides[SideKey(c, r.side)];
    s.id = r.id;
    SetField(s.number, r.number);
  }
  for (BrokerStore::LotRow& r : in.lots) {
    const AccountIndex a = accountOf(r.account);
    const ContractId c = cat.Find(r.contract);
    if (a == kNoAccount || c == kNoContract || (r.side != 1 && r.side != 2) || r.lot.quantity <= 0 ||
        r.lot.quantity > kMaxLoadedLots || r.lot.open <= 0 || r.lot.open > kMaxLoadedPrice || r.lot.hold <= 0 ||
        r.lot.hold > kMaxLoadedPrice) {
      // A lot of a contract no longer listed has been settled at its last settlement: it goes.
      if (a != kNoAccount) st.dirtyLots.emplace_back(a, 0, r.lot.id);
      continue;
    }
    const uint64_t key = SideKey(c, r.side);
    Side& s = ledger.accounts[a].sides[key];
    if (s.id == 0) {
      s.id = st.nextId++;
      SetField(s.number, Format("S%08llu", static_cast<unsigned long long>(s.id)));
      st.dirtySides.emplace_back(a, key);
    }
    Lot lot = r.lot;
    lot.reserved = 0;
    lot.margin = terms(c).Margin(lot.hold, lot.quantity);
    s.quantity += lot.quantity;
    if (lot.today) s.today += lot.quantity;
    s.holdValue += static_cast<int64_t>(lot.hold) * lot.quantity;
    s.openValue += static_cast<int64_t>(lot.open) * lot.quantity;
    s.margin += lot.margin;
    s.lots.push_back(lot);
  }
  for (AccountIndex a = 0; a < ledger.accounts.size(); ++a) {
    LedgerAccount& acc = ledger.accounts[a];
    for (auto it = acc.sides.begin(); it != acc.sides.end();) {
      if (it->second.quantity <= 0) {
        st.dirtySides.emplace_back(a, it->first);
        it = acc.sides.erase(it);
        continue;
      }
      acc.margin += it->second.margin;
      ++it;
    }
  }
  for (const BrokerStore::StartRow& r : in.starts) {
    const AccountIndex a = accountOf(r.account);
    const ContractId c = cat.Find(r.contract);
    if (a == kNoAccount || c == kNoContract || (r.side != 1 && r.side != 2)) continue;
    ledger.accounts[a].start[SideKey(c, r.side)] = std::clamp<int32_t>(r.quantity, 0, kMaxLoadedLots);
  }
  for (BrokerStore::OrderRow& r : in.orders) {
    const AccountIndex a = accountOf(r.account);
    if (a == kNoAccount || !OrderOk(r.order) || st.orders.count(r.order.id)) continue;
    Order o = r.order;
    o.account = a;
    o.contract = r.contract.empty() ? kNoContract : cat.Find(r.contract);
    SetField(o.key, Format("%08d-%08d", o.tradingDay, o.sequence));
    if (o.contract == kNoContract && Working(o)) {
      // Its contract is no longer listed: it has ended.
      o.state = o.condition ? kStWithdrawn : (o.filled > 0 ? kStPartCancelled : kStCancelled);
      st.dirtyOrders.push_back(o.id);
    }
    st.orders[o.id] = o;
    // The key Broker::FindOrder looks an order up by: its day and sequence.
    st.byKey[OrderKeyCode(o.tradingDay, o.sequence)] = o.id;
    ledger.accounts[a].orders.push_back(o.id);
    if (o.contract != kNoContract && Working(o)) st.live.push_back(o.id);
  }
  for (BrokerStore::FillRow& r : in.fills) {
    const AccountIndex a = accountOf(r.account);
    if (a == kNoAccount || r.fill.quantity <= 0 || r.fill.quantity > kMaxOrderLots || !PriceOk(r.fill.price) ||
        !MoneyOk(r.fill.fee) || !MoneyOk(r.fill.closeProfit))
      continue;
    Fill f = r.fill;
    f.account = a;
    f.contract = cat.Find(r.contract);
    std::snprintf(f.number, sizeof f.number, "%08d-T%07d", f.tradingDay, f.sequence);
    ledger.accounts[a].fills.push_back(f);
  }
  for (const BrokerStore::RefRow& r : in.refs) {
    const AccountIndex a = accountOf(r.account);
    if (a == kNoAccount || r.ref == 0) continue;
    ledger.accounts[a].refs[r.ref] = RefEntry{r.orderId, r.tradingDay, r.sequence};
    if (auto o = st.orders.find(r.orderId); o != st.orders.end() && o->second.account == a) o->second.clientRef = r.ref;
  }
  for (BrokerStore::StrategyRow& r : in.strategies) {
    const AccountIndex a = accountOf(r.account);
    if (a == kNoAccount) continue;
    r.order.account = a;
    ledger.accounts[a].strategies.push_back(std::move(r.order));
    if (ledger.accounts[a].strategies.back().state == '1')
      st.running.emplace_back(a, ledger.accounts[a].strategies.size() - 1);
  }
  return st;
}

}  // namespace tarn::exchange
