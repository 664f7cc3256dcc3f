// The in-process trade link of the embedded exchange: the broker's sessions, and the fault
// switch that tests use to drop the link, refuse logins and delay answers, as on the quote side.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker.h"
#include "libs/exchange/trade_link.h"
#include "platform/sync.h"

namespace tarn::exchange {

class EmbeddedExchange;

class InProcessTradeLink final : public ITradeLink, public IBrokerListener {
 public:
  // The broker opens with the first session, with these options (the store path defaults to
  // the exchange's folder).
  InProcessTradeLink(EmbeddedExchange& exchange, BrokerOptions options);
  ~InProcessTradeLink() override;

  bool Open(const TradeLogin& login, const std::function<void(const std::string&)>& progress, std::string& error,
            std::vector<std::string>& accounts) override;
  void Close() override;
  bool IsUp() const override { return up_.load(); }
  int LatencyMs() const override { return delayMs_.load(); }
  const Catalogue& GetCatalogue() override;
  void SetSink(ITradeSink* sink) override;
  std::string AccountOf(AccountIndex index) override;

  int InsertOrder(const OrderEntry& entry) override;
  int InsertCondition(const ConditionEntry& entry) override;
  int CancelOrder(const std::string& account, const std::string& key, std::string* error) override;
  int ModifyOrder(const std::string& account, const std::string& key, int64_t price, bool priceOnTick, int quantity,
                  std::string* error) override;
  int InsertStrategy(const StrategyEntry& entry, std::string* error) override;
  int StopStrategy(const std::string& account, int32_t sequence, std::string* error) override;
  bool GetOrders(const std::string& account, std::vector<Order>& out) override;
  bool GetFills(const std::string& account, std::vector<Fill>& out) override;
  bool GetPositions(const std::string& account, std::vector<PositionView>& out) override;
  bool GetLots(const std::string& account, std::vector<LotView>& out) override;
  bool GetFunds(const std::string& account, FundsView& out) override;
  bool GetStrategies(const std::string& account, std::vector<StrategyOrder>& out) override;
  bool GetSettlement(const std::string& account, int32_t tradingDay, std::string& text) override;
  int ChangePassword(const std::string& oldPassword, const std::string& newPassword, std::string& message) override;
  bool GetTerms(ContractId id, ContractTerms& out) override;
  int32_t TradingDay() override;

  void OnBrokerEvents(const std::vector<BrokerEvent>& events) override;

  // The broker, once a session opened it (nullptr before).
  Broker* GetBroker() const { return broker_.load(); }

  // Fault injection.
  void DropLink();
  void SetRefuseLogins(bool refuse) { refuse_ = refuse; }
  void SetDelayMs(int ms) { delayMs_ = ms < 0 ? 0 : ms; }

 private:
  // The broker, when the link is up and `account` belongs to the session.
  Broker* For(const std::string& account);
  void Sleep();

  EmbeddedExchange& exchange_;
  BrokerOptions options_;
  std::atomic<Broker*> broker_{nullptr};
  std::atomic<bool> up_{false};
  std::atomic<bool> refuse_{false};
  std::atomic<int> delayMs_{0};
  tarn::CriticalSection mutex_;      // the session
  std::string user_;
  std::vector<std::string> accounts_;
  std::vector<AccountIndex> indexes_;
  tarn::CriticalSection sinkMutex_;  // held while events go to the sink
  ITradeSink* sink_ = nullptr;
  std::atomic<bool> listening_{false};
};

}  // namespace tarn::exchange
