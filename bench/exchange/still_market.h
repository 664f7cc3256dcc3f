// A market for the broker's benchmarks that stands still: one deep book per contract, nothing
// traded unless a benchmark publishes a step itself.
#pragma once

#include <vector>

#include "libs/exchange/broker_market.h"
#include "libs/exchange/catalogue.h"
#include "platform/sync.h"

namespace tarn::exchange::bench {

constexpr int64_t kMonday10 = 1765159200000LL;  // 2025-12-08 10:00 exchange time
constexpr int32_t kDay = 20251208;

// A market that stands still: one deep book per contract, nothing traded.
class StillMarket : public IBrokerMarket {
 public:
  StillMarket() : calendar_(false), catalogue_(StandardSpecs(), StandardExchanges(), calendar_, DayNumOf(kDay)) {}
  const Catalogue& GetCatalogue() const override { return catalogue_; }
  int64_t NowMs() override { return now_; }
  int32_t TradingDay() override { return day_; }
  int32_t NextTradingDay(int32_t day) override { return Yyyymmdd(DayNumOf(day) + 1); }
  bool InSession(ContractId, int64_t) override { return true; }
  bool Tradable(ContractId id, int32_t day) override {
    const Contract& c = catalogue_.ContractAt(id);
    return c.kind == ContractKind::Month && c.expiry >= DayNumOf(day);
  }
  void Watch(ContractId, bool) override {}
  bool GetSnapshot(ContractId id, Snapshot& out) override {
    out = Snapshot{};

}  // namespace tarn::exchange::bench
