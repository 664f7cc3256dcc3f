// The network links: IMarketLink and ITradeLink over a connection to the exchange server, so
// that the quote and trading libraries work against a server exactly as against the embedded
// exchange.
//
// The quote link keeps its watched contracts and watches them again after a reconnection. Every
// order carries a client reference (the library's, or one the link gives it); an order or
// condition order whose answer was lost with the link stays pending and is sent again, with the
// same reference, by the next login of the same user, and the broker books a reference it has
// seen (also before a restart) only once: an order is never lost and never placed twice. After a login the library reads the lists afresh, so the
// terminal sees the server's state as it is.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "libs/exchange/calendar.h"
#include "libs/exchange/client_ref.h"
#include "libs/exchange/link.h"
#include "libs/exchange/trade_link.h"
#include "libs/net/connection.h"

namespace tarn::net {

// Settings both links share (the trust file and the time limits).
struct LinkSettings {
  ConnectOptions connect;  // host and port are taken from each login
};

// The catalogue a server's login describes (built once per link).
class CatalogueHolder {
 public:
  const exchange::Catalogue* Get() const { return catalogue_.get(); }
  void Build(bool realSessions, int64_t listDay);

 private:
  std::unique_ptr<exchange::TradingCalendar> calendar_;
  std::unique_ptr<exchange::Catalogue> catalogue_;
};

class NetMarketLink final : public exchange::IMarketLink {
 public:
  explicit NetMarketLink(LinkSettings settings = {});
  ~NetMarketLink() override;

  bool Open(const exchange::LinkLogin& login, const std::function<void(const std::string&)>& progress,
            std::string& error) override;
  bool Reopen(std::string& error) override;
  void Close() override;
  bool IsUp() const override { return conn_.IsUp(); }
  int LatencyMs() const override { return 0; }
  const exchange::Catalogue& GetCatalogue() const override;
  void SetSink(exchange::ILinkSink* sink) override;
  void Watch(exchange::ContractId id, bool on) override;
  bool GetSnapshot(exchange::ContractId id, exchange::Snapshot& out) override;
  bool GetBars(exchange::ContractId id, exchange::Period period, int64_t endSec, int count,
               std::vector<exchange::Bar>& out) override;
  bool GetTicks(exchange::ContractId id, std::vector<exchange::Tick>& out) override;
  bool GetRecentTrades(exchange::ContractId id, int max, std::vector<exchange::Tick>& out) override;
  exchange::ContractId MainMonth(int commodity) override;
  int64_t NowMs() override;

 private:
  void OnEvent(Msg type, const std::string& payload);
  void OnDown();

  LinkSettings settings_;
  Connection conn_;
  std::mutex mutex_;
  exchange::LinkLogin last_;
  std::map<exchange::ContractId, int> watched_;  // counted interest
  CatalogueHolder catalogue_;
  std::mutex sinkMutex_;
  exchange::ILinkSink* sink_ = nullptr;
  std::atomic<int64_t> lastNowMs_{0};
};

class NetTradeLink final : public exchange::ITradeLink {
 public:
  explicit NetTradeLink(LinkSettings settings = {});
  ~NetTradeLink() override;

  bool Open(const exchange::TradeLogin& login, const std::function<void(const std::string&)>& progress,
            std::string& error, std::vector<std::string>& accounts) override;
  void Close() override;
  bool IsUp() const override { return conn_.IsUp(); }
  int LatencyMs() const override { return 0; }
  const exchange::Catalogue& GetCatalogue() override;
  void SetSink(exchange::ITradeSink* sink) override;
  std::string AccountOf(exchange::AccountIndex index) override;

  int InsertOrder(const exchange::OrderEntry& entry) override;
  int InsertCondition(const exchange::ConditionEntry& entry) override;
  // Several orders sent at once, without waiting for one answer before sending the next; the
  // results in the entries' order, each as InsertOrder's.
  std::vector<int> InsertOrders(const std::vector<exchange::OrderEntry>& entries);
  int CancelOrder(const std::string& account, const std::string& key, std::string* error) override;
  int ModifyOrder(const std::string& account, const std::string& key, int64_t price, bool priceOnTick, int quantity,
                  std::string* error) override;
  int InsertStrategy(const exchange::StrategyEntry& entry, std::string* error) override;
  int StopStrategy(const std::string& account, int32_t sequence, std::string* error) override;
  bool GetOrders(const std::string& account, std::vector<exchange::Order>& out) override;
  bool GetFills(const std::string& account, std::vector<exchange::Fill>& out) override;
  bool GetPositions(const std::string& account, std::vector<exchange::PositionView>& out) override;
  bool GetLots(const std::string& account, std::vector<exchange::LotView>& out) override;
  bool GetFunds(const std::string& account, exchange::FundsView& out) override;
  bool GetStrategies(const std::string& account, std::vector<exchange::StrategyOrder>& out) override;
  bool GetSettlement(const std::string& account, int32_t tradingDay, std::string& text) override;
  int ChangePassword(const std::string& oldPassword, const std::string& newPassword, std::string& message) override;
  bool GetTerms(exchange::ContractId id, exchange::ContractTerms& out) override;
  int32_t TradingDay() override;

  // Orders sent whose answer has not come (sent again by the next login of the same user).
  std::size_t PendingOrders();

 private:
  void OnEvent(Msg type, const std::string& payload);
  void OnDown();
  // Send a pending order and settle it when the answer comes; the result, or `lost` when the
  // answer did not come.
  int SendOrder(const exchange::OrderEntry& entry, int lost);
  int SendCondition(const exchange::ConditionEntry& entry, int lost);
  template <class T>
  bool GetList(Msg type, const std::string& account, std::vector<T>& out);

  LinkSettings settings_;
  Connection conn_;
  exchange::ClientRefs refs_;  // for entries that come without a reference
  std::mutex mutex_;
  std::string user_;
  std::map<exchange::AccountIndex, std::string> accountOf_;
  std::map<uint64_t, exchange::OrderEntry> pending_;
  std::map<uint64_t, exchange::ConditionEntry> pendingConditions_;
  CatalogueHolder catalogue_;
  std::mutex sinkMutex_;
  exchange::ITradeSink* sink_ = nullptr;
};

}  // namespace tarn::net
