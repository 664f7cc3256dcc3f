// A market for the broker's benchmarks that stands still: one deep book per contract, nothing
// traded unless a benchmark publishes a step itself.
#pragma once

#include <vector>

#include "libs/exchange/broker/broker_market.h"
#include "libs/exchange/calendar.h"
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
    out.id = id;
    out.tradingDay = day_;
    out.last = 2950;
    out.upper = 3250;
    out.lower = 2650;
    for (int i = 0; i < kBookLevels; ++i) {
      out.bidPrice[i] = 2950 - i;
      out.askPrice[i] = 2951 + i;
      out.bidQty[i] = out.askQty[i] = 1 << 30;
    }
    return true;
  }
  bool Settlement(ContractId, int32_t, int32_t& ticks) override {
    ticks = 2950;
    return true;
  }
  void AddListener(IMarketListener* l) override { listeners_.Add(l); }
  void RemoveListener(IMarketListener* l) override { listeners_.Remove(l); }
  // Publishes one batch of market events, as the market's driver thread would.
  void Publish(const std::vector<MarketEvent>& batch) {
    listeners_.ForEach([&](IMarketListener* l) { l->OnMarketEvents(batch); });
  }
  void Roll() {
    day_ = NextTradingDay(day_);
    MarketEvent e;
    e.type = EventType::DayRoll;
    e.snap.tradingDay = day_;
    std::vector<MarketEvent> batch{e};
    listeners_.ForEach([&](IMarketListener* l) { l->OnMarketEvents(batch); });
  }

 private:
  TradingCalendar calendar_;
  Catalogue catalogue_;
  int32_t day_ = kDay;
  int64_t now_ = kMonday10;
  tarn::ListenerSet<IMarketListener> listeners_;
};

}  // namespace tarn::exchange::bench
