// The broker's strategy trigger check on every quote of every leg: 1,000 running strategy orders
// over 500 contracts (about four on each contract's quotes, two legs each), their triggers never
// reached. Each iteration hands the broker one market step of 500 quotes (one per contract) and
// waits until it is worked off; the same with the strategy orders stopped is the baseline, so
// the difference per quote is what the check costs.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "libs/exchange/broker/broker.h"
#include "still_market.h"

namespace {

using namespace tarn::exchange;
using namespace tarn::exchange::bench;

constexpr int kContracts = 500;

// range(0): 1 with the strategy orders running, 0 with them stopped (the broker still watches
// the same 500 contracts and works every quote: the baseline).
void QuotesWithStrategies(benchmark::State& state) {
  const bool running = state.range(0) != 0;
  constexpr int strategies = 1000;
  StillMarket market;
  BrokerOptions options;
  options.createDemo = false;
  options.hashCost = tarn::exchange::HashCost::Minimal;
  Broker broker(market, options);
  broker.CreateLogin("u", "secret1", "bench");
  broker.CreateAccount("A", "u", "bench", 100000000000LL);
  std::vector<ContractId> ids;
  const Catalogue& cat = market.GetCatalogue();
  for (ContractId id = 0; id < cat.Size() && static_cast<int>(ids.size()) < kContracts; ++id)
    if (market.Tradable(id, kDay)) ids.push_back(id);
  if (static_cast<int>(ids.size()) < kContracts) {
    state.SkipWithError("not enough contracts");
    return;
  }
  for (int i = 0; i < strategies; ++i) {
    StrategyEntry e;
    e.account = "A";
    e.legCount = 2;
    e.legs[0] = {ids[static_cast<std::size_t>(i % kContracts)], 1, 0, 1, 0, false};
    e.legs[1] = {ids[static_cast<std::size_t>((i * 7 + 1) % kContracts)], 2, 0, 2, 0, false};
    e.formula = "(A-B*2)/2+1";
    e.totalQuantity = e.triggerQuantity = 1;
    e.triggerPrice = -1e9;
    e.triggerCondition = 2;  // never
    const int seq = broker.InsertStrategy(e);
    if (seq <= 0) {
      state.SkipWithError("strategy refused");
      return;
    }
    if (!running) broker.StopStrategy("A", seq);
  }
  std::vector<MarketEvent> batch;
  for (ContractId id : ids) {
    MarketEvent ev;
    ev.type = EventType::Snapshot;
    ev.id = id;
    market.GetSnapshot(id, ev.snap);
    ev.snap.timeMs = kMonday10;
    batch.push_back(ev);
  }
  int step = 0;
  for (auto _ : state) {
    for (MarketEvent& ev : batch) {
      ev.snap.timeMs += 500;
      ev.snap.askPrice[0] = 2951 + (step & 1);  // the value moves, the trigger stays far
    }
    ++step;
    market.Publish(batch);
    broker.WaitIdle();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(batch.size()));
  state.counters["running"] = running ? strategies : 0;
}

BENCHMARK(QuotesWithStrategies)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
