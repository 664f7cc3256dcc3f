#include "libs/exchange/broker/store_changes.h"

#include <algorithm>

#include "platform/text.h"

namespace tarn::exchange {
namespace {

template <typename V>
void Dedupe(V& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

}  // namespace

bool StoreChanges::Empty() const {
  return orders_.empty() && fills_.empty() && sides_.empty() && lots_.empty() && accounts_.empty() &&
         strategies_.empty() && statements_.empty() && starts_.empty() && logins_.empty() && refs_.empty() && !day_;
}

void StoreChanges::TakeInto(JournalWrite& w, const Ledger& ledger,
                            const std::unordered_map<uint64_t, exchange::Order>& orders, const Catalogue& catalogue,
                            int32_t day) {
  Dedupe(orders_);
  Dedupe(sides_);
  Dedupe(lots_);
  Dedupe(accounts_);
  Dedupe(strategies_);
  Dedupe(starts_);
  Dedupe(logins_);
  if (day_) w.day = day;
  for (const std::string& user : logins_) {
    auto it = ledger.logins.find(user);
    if (it != ledger.logins.end()) w.logins.push_back({user, it->second.hash, it->second.name});
  }
  for (AccountIndex a : accounts_) {
    const LedgerAccount& acc = ledger.accounts[a];
    BrokerStore::AccountRow r;
    r.id = acc.id;
    r.login = acc.login;
    r.name = acc.name;
    r.currency = acc.currency;
    r.preBalance = acc.preBalance;
    r.deposit = acc.deposit;
    r.withdrawal = acc.withdrawal;
    r.closeProfit = acc.closeProfit;
    r.fee = acc.fee;
    r.credit = acc.credit;
    w.accounts.push_back(std::move(r));
  }
  for (uint64_t id : orders_) {
    auto it = orders.find(id);
    if (it != orders.end())
      w.orders.push_back({it->second, ledger.accounts[it->second.account].id, catalogue.KeyOf(it->second.contract)});
  }
  for (const Fill& f : fills_) w.fills.push_back({f, ledger.accounts[f.account].id, catalogue.KeyOf(f.contract)});
  for (const auto& [a, key] : sides_) {
    const LedgerAccount& acc = ledger.accounts[a];
    auto it = acc.sides.find(key);
    BrokerStore::SideRow r{acc.id, catalogue.KeyOf(SideContract(key)), SideOf(key), 0, std::string()};
    if (it != acc.sides.end()) {
      r.id = it->second.id;
      r.number = std::string(Field(it->second.number));
    }
    w.sides.emplace_back(std::move(r), it == acc.sides.end());
  }
  for (const auto& [a, key, lotId] : lots_) {
    const LedgerAccount& acc = ledger.accounts[a];
    BrokerStore::LotRow r;
    r.lot.id = lotId;
    bool found = false;
    auto it = acc.sides.find(key);
    if (it != acc.sides.end())
      for (const exchange::Lot& l : it->second.lots)
        if (l.id == lotId) {
          r.lot = l;
          found = true;
        }
    r.account = acc.id;
    r.contract = catalogue.KeyOf(SideContract(key));
    r.side = SideOf(key);
    w.lots.emplace_back(std::move(r), !found);
  }
  for (AccountIndex a : starts_) {
    const LedgerAccount& acc = ledger.accounts[a];
    std::vector<BrokerStore::StartRow> rows;
    for (const auto& [key, qty] : acc.start)
      if (qty != 0) rows.push_back({acc.id, catalogue.KeyOf(SideContract(key)), SideOf(key), qty});
    w.starts.emplace_back(acc.id, std::move(rows));
  }
  for (auto& [a, d, text] : statements_) w.statements.emplace_back(ledger.accounts[a].id, d, std::move(text));
  for (const auto& [a, id] : strategies_)
    for (const StrategyOrder& s : ledger.accounts[a].strategies)
      if (s.id == id) w.strategies.push_back({s, ledger.accounts[a].id});
  w.refs.swap(refs_);
  orders_.clear();
  fills_.clear();
  sides_.clear();
  lots_.clear();
  accounts_.clear();
  strategies_.clear();
  statements_.clear();
  starts_.clear();
  logins_.clear();
  refs_.clear();
  day_ = false;
}

}  // namespace tarn::exchange
