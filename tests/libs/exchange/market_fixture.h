// Markets on fixed times for the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "libs/exchange/market/market.h"

namespace tarn::test {

using namespace tarn::exchange;

// 2025-12-08 10:00 exchange time, a Monday.
constexpr int64_t kMonday10 = 1765159200000LL;
// Exchange time of day d (days from that Monday) at hh:mm.
constexpr int64_t At(int d, int hh, int mm) { return kMonday10 + d * kDayMs + ((hh - 10) * 60 + mm) * kMinuteMs; }

inline std::unique_ptr<Market> MakeMarket(uint64_t seed, int64_t startMs, bool realSessions = false, int historyDays = 40) {
  MarketOptions o;
  o.seed = seed;
  o.startMs = startMs;
  o.realSessions = realSessions;
  o.originDay = ExchangeDayNum(kMonday10) - historyDays;  // one origin: the same market at any time
  return std::make_unique<Market>(o);
}

// Records every event a market publishes.
struct EventLog : IMarketListener {
  void OnMarketEvents(const std::vector<MarketEvent>& e) override { events.insert(events.end(), e.begin(), e.end()); }
  std::vector<Snapshot> SnapshotsOf(ContractId id) const {
    std::vector<Snapshot> out;
    for (const MarketEvent& e : events)
      if (e.type == EventType::Snapshot && e.id == id) out.push_back(e.snap);
    return out;
  }
  std::vector<MarketEvent> events;
};

inline ContractId Id(Market& m, const char* key) {
  const ContractId id = m.GetCatalogue().Find(key);
  EXPECT_NE(id, kNoContract) << key;
  return id;
}

// The contracts of a commodity: [0] nearest month ... then MI, IDX.
inline std::vector<ContractId> ContractsOf(Market& m, const char* exchange, const char* code) {
  const Catalogue& cat = m.GetCatalogue();
  const Commodity& c = cat.Commodities()[cat.FindCommodity(exchange, code)];
  std::vector<ContractId> v(c.months.begin(), c.months.end());
  v.push_back(c.mainContract);
  v.push_back(c.indexContract);
  return v;
}

inline void StepMs(Market& m, int64_t ms) {
  const int64_t end = m.NowMs() + ms;
  for (int64_t t = m.NowMs() + kStepMs; t <= end; t += kStepMs) m.AdvanceTo(t);
}

}  // namespace tarn::test
