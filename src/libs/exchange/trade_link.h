// The link between a trading library and an exchange's broker.
//
// The trading library talks to the broker only through ITradeLink, as the quote library talks
// to the market through IMarketLink, so that the in-process link of the embedded exchange and a
// network link to a standalone exchange server (later) are interchangeable. A session belongs
// to one login and reaches only that login's accounts. The broker's events reach the sink
// outside every lock of the engine, in order, on whichever thread delivers them; the sink only
// queues them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

struct TradeLogin {
  std::string user;
  std::string password;
  std::string host;
  int port = 0;
};

class ITradeSink {
 public:
  virtual ~ITradeSink() = default;
  // Events of the session's accounts, in the broker's order.
  virtual void OnTradeEvents(const std::vector<BrokerEvent>& events) = 0;
  // The link went down (1: dropped).
  virtual void OnTradeLinkDown(int reason) = 0;
};

class ITradeLink {
 public:
  virtual ~ITradeLink() = default;

  // Opens a session for a login (blocking; the library calls it on its own thread). Fills the
  // login's accounts; false with `error` set when refused. `progress` receives the texts shown
  // meanwhile.
  virtual bool Open(const TradeLogin& login, const std::function<void(const std::string&)>& progress,
                    std::string& error, std::vector<std::string>& accounts) = 0;
  virtual void Close() = 0;
  virtual bool IsUp() const = 0;
  // Time a notification takes to come back; above 0 the library delivers them that much later.
  virtual int LatencyMs() const = 0;
  // Valid once a session was opened, unchanged afterwards.
  virtual const Catalogue& GetCatalogue() = 0;
  virtual void SetSink(ITradeSink* sink) = 0;
  // The account an event's index names.
  virtual std::string AccountOf(AccountIndex index) = 0;

  // Operations on the session's accounts; while the link is down they do nothing and fail.
  virtual int InsertOrder(const OrderEntry& entry) = 0;
  virtual int InsertCondition(const ConditionEntry& entry) = 0;
  virtual int CancelOrder(const std::string& account, const std::string& key, std::string* error) = 0;
  virtual int ModifyOrder(const std::string& account, const std::string& key, int64_t price, bool priceOnTick,
                          int quantity, std::string* error) = 0;
  virtual int InsertStrategy(const StrategyEntry& entry, std::string* error) = 0;
  virtual int StopStrategy(const std::string& account, int32_t sequence, std::string* error) = 0;
  virtual bool GetOrders(const std::string& account, std::vector<Order>& out) = 0;
  virtual bool GetFills(const std::string& account, std::vector<Fill>& out) = 0;
  virtual bool GetPositions(const std::string& account, std::vector<PositionView>& out) = 0;
  virtual bool GetLots(const std::string& account, std::vector<LotView>& out) = 0;
  virtual bool GetFunds(const std::string& account, FundsView& out) = 0;
  virtual bool GetStrategies(const std::string& account, std::vector<StrategyOrder>& out) = 0;
  virtual bool GetSettlement(const std::string& account, int32_t tradingDay, std::string& text) = 0;
  // 0 on success; `message` says what happened either way.
  virtual int ChangePassword(const std::string& oldPassword, const std::string& newPassword, std::string& message) = 0;
  virtual bool GetTerms(ContractId id, ContractTerms& out) = 0;
  virtual int32_t TradingDay() = 0;
};

}  // namespace tarn::exchange
