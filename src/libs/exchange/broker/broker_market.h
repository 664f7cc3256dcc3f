// What the broker needs from the market it trades against: the catalogue, the market clock and
// trading day, sessions, live snapshots (the ten-level book in ticks and the trades), the
// settlement of finished days, and the market's events.
//
// MarketFeed is the simulated market of the embedded exchange behind this interface; tests put a
// scripted market of their own behind it, so that every book and trade of a scenario is exact.
#pragma once

#include <cstdint>

#include "libs/exchange/catalogue.h"
#include "libs/exchange/market/market.h"

namespace tarn::exchange {

class IBrokerMarket {
 public:
  virtual ~IBrokerMarket() = default;
  virtual const Catalogue& GetCatalogue() const = 0;
  virtual int64_t NowMs() = 0;
  // The market's current trading day and the trading day after `day` (both yyyymmdd).
  virtual int32_t TradingDay() = 0;
  virtual int32_t NextTradingDay(int32_t day) = 0;
  // Whether the contract's commodity is in session at a wall time.
  virtual bool InSession(ContractId id, int64_t wallMs) = 0;
  // Whether the contract can be traded on a trading day: a month contract listed and not yet
  // expired (the main-continuous and index contracts never can).
  virtual bool Tradable(ContractId id, int32_t tradingDay) = 0;
  virtual void Watch(ContractId id, bool on) = 0;
  virtual bool GetSnapshot(ContractId id, Snapshot& out) = 0;
  // Settlement price (ticks) of a finished trading day.
  virtual bool Settlement(ContractId id, int32_t tradingDay, int32_t& ticks) = 0;
  virtual void AddListener(IMarketListener* listener) = 0;
  virtual void RemoveListener(IMarketListener* listener) = 0;
};

// The simulated market behind IBrokerMarket.
class MarketFeed final : public IBrokerMarket {
 public:
  explicit MarketFeed(Market& market) : market_(market) {}
  const Catalogue& GetCatalogue() const override { return market_.GetCatalogue(); }
  int64_t NowMs() override { return market_.NowMs(); }
  int32_t TradingDay() override { return market_.TradingDay(); }
  int32_t NextTradingDay(int32_t day) override;
  bool InSession(ContractId id, int64_t wallMs) override;
  bool Tradable(ContractId id, int32_t tradingDay) override;
  void Watch(ContractId id, bool on) override;
  bool GetSnapshot(ContractId id, Snapshot& out) override { return market_.GetSnapshot(id, out); }
  bool Settlement(ContractId id, int32_t tradingDay, int32_t& ticks) override;
  void AddListener(IMarketListener* listener) override { market_.AddListener(listener); }
  void RemoveListener(IMarketListener* listener) override { market_.RemoveListener(listener); }

 private:
  Market& market_;
};

}  // namespace tarn::exchange
