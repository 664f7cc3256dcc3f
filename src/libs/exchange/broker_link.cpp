#include "libs/exchange/broker_link.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "libs/exchange/embedded_exchange.h"
#include "platform/text.h"

namespace tarn::exchange {

InProcessTradeLink::InProcessTradeLink(EmbeddedExchange& exchange, BrokerOptions options)
    : exchange_(exchange), options_(std::move(options)) {}

InProcessTradeLink::~InProcessTradeLink() {
  // Outside sinkMutex_: a delivery in flight holds the broker's listener lock and takes it.
  if (Broker* b = broker_.load(); b && listening_.load()) b->RemoveListener(this);
}

void InProcessTradeLink::Sleep() {
  const int ms = delayMs_.load();
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool InProcessTradeLink::Open(const TradeLogin& login, const std::function<void(const std::string&)>& progress,
                              std::string& error, std::vector<std::string>& accounts) {
  up_ = false;  // a new login ends the session there was, whatever its outcome
  Sleep();
  if (refuse_.load()) {
    error = TXT("交易服务器拒绝登录");
    return false;
  }
  if (progress) progress(TXT("正在验证交易账号..."));
  Broker& broker = exchange_.OpenBroker(options_);
  broker_.store(&broker);
  if (!listening_.exchange(true)) broker.AddListener(this);
  if (!broker.Authenticate(login.user, login.password, accounts, error)) return false;
  if (progress) progress(TXT("正在加载当日委托、成交和持仓..."));
  {
    tarn::Lock lock(mutex_);
    user_ = login.user;
    accounts_ = accounts;
    indexes_.clear();
    for (const std::string& a : accounts) indexes_.push_back(broker.FindAccount(a));
  }
  up_ = true;
  return true;
}

void InProcessTradeLink::Close() {
  up_ = false;
  tarn::Lock lock(mutex_);
  user_.clear();
  accounts_.clear();
  indexes_.clear();
}

void InProcessTradeLink::DropLink() {
  if (!up_.exchange(false)) return;
  tarn::Lock lock(sinkMutex_);
  if (sink_) sink_->OnTradeLinkDown(1);
}

const Catalogue& InProcessTradeLink::GetCatalogue() { return exchange_.Open().GetCatalogue(); }

void InProcessTradeLink::SetSink(ITradeSink* sink) {
  tarn::Lock lock(sinkMutex_);
  sink_ = sink;
}

std::string InProcessTradeLink::AccountOf(AccountIndex index) {
  Broker* b = broker_.load();
  return b ? b->AccountId(index) : std::string();
}

void InProcessTradeLink::OnBrokerEvents(const std::vector<BrokerEvent>& events) {
  if (!up_.load()) return;
  std::vector<BrokerEvent> mine;
  {
    tarn::Lock lock(mutex_);
    for (const BrokerEvent& e : events)
      if (std::find(indexes_.begin(), indexes_.end(), e.account) != indexes_.end()) mine.push_back(e);
  }
  if (mine.empty()) return;
  tarn::Lock lock(sinkMutex_);
  if (sink_) sink_->OnTradeEvents(mine);
}

Broker* InProcessTradeLink::For(const std::string& account) {
  if (!up_.load()) return nullptr;
  tarn::Lock lock(mutex_);
  if (std::find(accounts_.begin(), accounts_.end(), account) == accounts_.end()) return nullptr;
  return broker_.load();
}

int InProcessTradeLink::InsertOrder(const OrderEntry& entry) {
  Broker* b = For(entry.account);
  return b ? b->InsertOrder(entry) : -1;
}

int InProcessTradeLink::InsertCondition(const ConditionEntry& entry) {
  Broker* b = For(entry.account);
  return b ? b->InsertCondition(entry) : -1;
}

int InProcessTradeLink::CancelOrder(const std::string& account, const std::string& key, std::string* error) {
  Broker* b = For(account);
  if (!b) {
    if (error) *error = BrokerErrorText(kErrLogin);
    return kErrLogin;
  }
  return b->CancelOrder(account, key, error);
}

int InProcessTradeLink::ModifyOrder(const std::string& account, const std::string& key, int64_t price, bool priceOnTick,
                                    int quantity, std::string* error) {
  Broker* b = For(account);
  if (!b) {
    if (error) *error = BrokerErrorText(kErrLogin);
    return kErrLogin;
  }
  return b->ModifyOrder(account, key, price, priceOnTick, quantity, error);
}

int InProcessTradeLink::InsertStrategy(const StrategyEntry& entry, std::string* error) {
  Broker* b = For(entry.account);
  if (!b) {
    if (error) *error = BrokerErrorText(kErrLogin);
    return -1;
  }
  return b->InsertStrategy(entry, error);
}

int InProcessTradeLink::StopStrategy(const std::string& account, int32_t sequence, std::string* error) {
  Broker* b = For(account);
  if (!b) {
    if (error) *error = BrokerErrorText(kErrLogin);
    return kErrLogin;
  }
  return b->StopStrategy(account, sequence, error);
}

bool InProcessTradeLink::GetOrders(const std::string& account, std::vector<Order>& out) {
  Broker* b = For(account);
  return b && b->GetOrders(account, out);
}

bool InProcessTradeLink::GetFills(const std::string& account, std::vector<Fill>& out) {
  Broker* b = For(account);
  return b && b->GetFills(account, out);
}

bool InProcessTradeLink::GetPositions(const std::string& account, std::vector<PositionView>& out) {
  Broker* b = For(account);
  return b && b->GetPositions(account, out);
}

bool InProcessTradeLink::GetLots(const std::string& account, std::vector<LotView>& out) {
  Broker* b = For(account);
  return b && b->GetLots(account, out);
}

bool InProcessTradeLink::GetFunds(const std::string& account, FundsView& out) {
  Broker* b = For(account);
  return b && b->GetFunds(account, out);
}

bool InProcessTradeLink::GetStrategies(const std::string& account, std::vector<StrategyOrder>& out) {
  Broker* b = For(account);
  return b && b->GetStrategies(account, out);
}

bool InProcessTradeLink::GetSettlement(const std::string& account, int32_t tradingDay, std::string& text) {
  Broker* b = For(account);
  return b && b->GetSettlement(account, tradingDay, text);
}

int InProcessTradeLink::ChangePassword(const std::string& oldPassword, const std::string& newPassword,
                                       std::string& message) {
  Broker* b = broker_.load();
  std::string user;
  {
    tarn::Lock lock(mutex_);
    user = user_;
  }
  if (!b || !up_.load() || user.empty()) {
    message = BrokerErrorText(kErrLogin);
    return kErrLogin;
  }
  Sleep();
  return b->ChangePassword(user, oldPassword, newPassword, message);
}

bool InProcessTradeLink::GetTerms(ContractId id, ContractTerms& out) {
  Broker* b = broker_.load();
  if (!b || id >= b->GetCatalogue().Size()) return false;
  out = b->Terms(id);
  return true;
}

int32_t InProcessTradeLink::TradingDay() {
  Broker* b = broker_.load();
  return b ? b->TradingDay() : 0;
}

}  // namespace tarn::exchange
