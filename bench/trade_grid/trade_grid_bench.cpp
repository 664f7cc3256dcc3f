// The trade grid's refresh on the UI thread, over a library of 2,000 orders (about a tenth of
// them working, 100 condition orders), 200 positions, 400 position lots and 2,000 fills:
//   BM_FullRefreshOneOrderChanged  the work of one order notification (every list copied, one
//                                  order's rows formatted again)
//   BM_PositionsRefreshPricesMoved the timer's work after a price step (every position's and
//                                  lot's profit changed)
//   BM_FirstRefresh                a container's first refresh (every row formatted)
//   BM_OneFillChangeSet            the trade feed's change set of one fill applied: the order's
//                                  new state, the fill record, the positions read (one changed)
#include <benchmark/benchmark.h>

#include "trade/grid/trade_grid_model.h"
#include "trade/trade_fakes.h"  // tests/trade

namespace {

using namespace tarn;
using namespace tarn::test;

ContractInfo Info(const DC_Contract&) { return ContractInfo{1, 10, 1}; }

void Fill(GridFakeApi& api) {
  api.orders.clear();
  for (int i = 0; i < 2000; ++i) {
    const bool condition = i % 20 == 0;
    OrderRecord o = TestOrder(Format("20261208-%06d", i).c_str(), Format("rb26%02d", i % 40).c_str(),
                              condition ? 11 : (i % 10 == 3 ? 2 : 4), condition ? 1 : 0);
    o.offset = condition ? 2 : 1;
    o.filledQuantity = o.state == 4 ? 1 : 0;
    o.averageFillPrice = 3500 + i % 17;
    api.orders.push_back(o);
  }
  api.positions.clear();
  for (int i = 0; i < 200; ++i) api.positions.push_back(TestPosition(Format("c%03d", i).c_str(), i % 2 ? 3 : 0, i % 2 ? 0 : 2));
  api.details.clear();
  for (int i = 0; i < 400; ++i) {
    PositionDetail d{};
    d.contract = TestContract(Format("c%03d", i / 2).c_str());
    d.direction = 1;
    d.quantity = 1;
    d.averagePrice = 3500;
    SetField(d.positionNumber, Format("P%05d", i));
    api.details.push_back(d);
  }
  api.fills.clear();
  for (int i = 0; i < 2000; ++i) {
    FillRecord f{};
    SetField(f.fillNumber, Format("F%06d", i));
    f.contract = TestContract(Format("rb26%02d", i % 40).c_str());
    f.direction = 1 + i % 2;
    f.offset = 1;
    f.quantity = 1;
    f.price = 3500 + i % 13;
    f.time = 1765159200 + i;
    api.fills.push_back(f);
  }
}

void BM_FullRefreshOneOrderChanged(benchmark::State& state) {
  GridFakeApi api;
  Fill(api);
  PositionRemarkStore store;
  TradeGridModel model(store, Info);
  model.Refresh(api, true);
  int i = 0;
  for (auto _ : state) {
    OrderRecord& o = api.orders[static_cast<std::size_t>((i++ * 37) % 2000)];
    o.updateTime += 1;  // the library changed one order
    model.Refresh(api, true);
    for (int t = 0; t < kTradeTabCount; ++t) benchmark::DoNotOptimize(model.TakeChanges(t));
  }
}
BENCHMARK(BM_FullRefreshOneOrderChanged)->Unit(benchmark::kMicrosecond);

void BM_PositionsRefreshPricesMoved(benchmark::State& state) {
  GridFakeApi api;
  Fill(api);
  PositionRemarkStore store;
  TradeGridModel model(store, Info);
  model.Refresh(api, true);
  double step = 0;
  for (auto _ : state) {
    step += 1;
    for (PositionRecord& p : api.positions) p.longFloatProfit = p.shortFloatProfit = step * 10;
    for (PositionDetail& d : api.details) d.floatProfit = step * 10;
    model.Refresh(api, false);
    benchmark::DoNotOptimize(model.TakeChanges(kTabPositions));
    benchmark::DoNotOptimize(model.TakeChanges(kTabDetails));
  }
}
BENCHMARK(BM_PositionsRefreshPricesMoved)->Unit(benchmark::kMicrosecond);

void BM_OneFillChangeSet(benchmark::State& state) {
  GridFakeApi api;
  Fill(api);
  PositionRemarkStore store;
  TradeGridModel model(store, Info);
  TradeChangeSet first;
  first.reload = true;
  first.orders = api.orders;
  first.fills = api.fills;
  model.Apply(first, &api, true);
  for (int t = 0; t < kTradeTabCount; ++t) model.TakeChanges(t);
  int i = 0;
  for (auto _ : state) {
    // What the library tells of one fill (making the set is timed too: a few copies): an ordinary order filled, its fill, the position.
    const std::size_t at = static_cast<std::size_t>((i * 37) % 2000) / 20 * 20 + 1;
    OrderRecord& o = api.orders[at];
    o.state = o.state == 4 ? 2 : 4;
    o.updateTime += 1;
    TradeChangeSet set;
    set.orders = {o};
    FillRecord f = api.fills[static_cast<std::size_t>(i % 2000)];
    SetField(f.fillNumber, Format("N%08d", i));
    set.fills = {f};
    set.positions = set.positionsComplete = true;
    api.positions[static_cast<std::size_t>(i % 200)].longFloatProfit += 1;
    ++i;
    model.Apply(set, &api, true);
    for (int t = 0; t < kTradeTabCount; ++t) benchmark::DoNotOptimize(model.TakeChanges(t));
  }
}
BENCHMARK(BM_OneFillChangeSet)->Unit(benchmark::kMicrosecond);

void BM_FirstRefresh(benchmark::State& state) {
  GridFakeApi api;
  Fill(api);
  for (auto _ : state) {
    PositionRemarkStore store;
    TradeGridModel model(store, Info);
    model.Refresh(api, true);
    benchmark::DoNotOptimize(model.RowCount(kTabOrders));
  }
}
BENCHMARK(BM_FirstRefresh)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
