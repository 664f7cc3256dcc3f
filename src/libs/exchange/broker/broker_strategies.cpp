// Strategy orders at the broker: taking and stopping them, and what the strategy runner asks of
// the broker's orders, books and accounts (see strategy_runner.h for how they run).
#include "libs/exchange/broker/broker.h"
#include "platform/text.h"

namespace tarn::exchange {

// ---- operations ------------------------------------------------------------------------------

int Broker::InsertStrategy(const StrategyEntry& entry, std::string* error) {
  int seq = -1;
  {
    tarn::Lock lock(mutex_);
    const AccountIndex a = FindAccount(entry.account);
    if (a == kNoAccount) {
      if (error) *error = BrokerErrorText(kErrLogin);
      return -1;
    }
    StrategyRun run;
    run.account = a;
    run.spec = entry;
    run.spec.account.clear();
    run.spec.payload.clear();
    const std::string* why = CheckStrategyEntry(
        run.spec, market_.GetCatalogue(), [this](ContractId c) { return market_.Tradable(c, day_); }, run.formula);
    if (why) {
      if (error) *error = *why;
      return -1;
    }
    StrategyOrder s;
    s.id = NextId();
    s.tradingDay = day_;
    s.sequence = seq = ++strategySeq_;
    s.account = a;
    s.state = '1';
    s.payload = entry.payload;
    s.insertMs = Now();
    run.id = s.id;
    const uint64_t sid = s.id;
    runner_.Encode(run, s);
    ledger_.accounts[a].strategies.push_back(std::move(s));
    changes_.Strategy(a, sid);
    pending_.emplace_back();
    pending_.back().type = BrokerEventType::Strategy;
    pending_.back().account = a;
    runner_.Start(std::move(run));
    runner_.TriggerIfDue(sid);  // the market may stand at the trigger already
    Finish();
  }
  Deliver();
  return seq;
}

int Broker::StopStrategy(const std::string& account, int32_t sequence, std::string* error) {
  int code = 0;
  {
    tarn::Lock lock(mutex_);
    const AccountIndex a = FindAccount(account);
    StrategyOrder* found = nullptr;
    if (a != kNoAccount)
      for (StrategyOrder& s : ledger_.accounts[a].strategies)
        if (s.sequence == sequence) found = &s;
    if (!found)
      code = kErrUnknownOrder;
    else if (!runner_.Running(found->id))
      code = kErrNotWorking;
    else
      runner_.End(found->id, '5', TXT("已停止"));
    if (code && error) *error = BrokerErrorText(code);
    Finish();
  }
  Deliver();
  return code;
}

// ---- the runner's host -----------------------------------------------------------------------

StrategyOrder* Broker::FindStrategy(AccountIndex a, uint64_t id) {
  if (a >= ledger_.accounts.size()) return nullptr;
  for (StrategyOrder& s : ledger_.accounts[a].strategies)
    if (s.id == id) return &s;
  return nullptr;
}

uint64_t Broker::SendLegOrder(const OrderEntry& entry, AccountIndex a, uint64_t strategy) {
  sendingFor_ = strategy;
  const int seq = DoInsertOrder(entry, a);
  sendingFor_ = 0;
  auto it = byKey_.find(KeyCode(day_, seq));
  return it == byKey_.end() ? 0 : it->second;
}

const Order* Broker::LegOrder(uint64_t id) {
  auto it = orders_.find(id);
  return it == orders_.end() ? nullptr : &it->second;
}

void Broker::TagLegOrder(uint64_t id, uint64_t strategy) {
  if (auto it = orders_.find(id); it != orders_.end()) it->second.strategy = strategy;
}

void Broker::CancelLegOrder(uint64_t id) {
  auto it = orders_.find(id);
  if (it == orders_.end()) return;
  Order& o = it->second;
  FinishOrder(o, o.filled > 0 ? kStPartCancelled : kStCancelled);
  pending_.emplace_back();
  pending_.back().type = BrokerEventType::Funds;
  pending_.back().account = o.account;
}

void Broker::StrategyChanged(AccountIndex a, uint64_t id) {
  changes_.Strategy(a, id);
  pending_.emplace_back();
  pending_.back().type = BrokerEventType::Strategy;
  pending_.back().account = a;
}

}  // namespace tarn::exchange
