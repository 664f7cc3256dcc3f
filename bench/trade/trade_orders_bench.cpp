// The key path of an order typed on the keyboard: the live quote read, the binding's price,
// the automatic offset from the positions, the checks and the order record, up to the library
// call (which only counts). Also the three-key panel's open key and a split close.
#include <benchmark/benchmark.h>

#include "platform/text.h"
#include "trade/orders/key_order_table.h"
#include "trade/order_fakes.h"
#include "trade/orders/order_panel_logic.h"
#include "trade/orders/order_routines.h"

namespace {

using namespace tarn;
using namespace tarn::test;

// A quote library that answers the snapshot and records nothing.
class StillQuotes : public OrdersQuoteCenter {
 public:
  DC_Quote snapshot{};
  int SubscribeQuote(const NotifyHandle&, const DC_Contract*, DC_Quote* out, int) override {
    if (out) *out = snapshot;
    return 0;
  }
};

// A trading library that counts the orders it is given.
class CountingTrades : public OrdersTradeApi {
 public:
  int64_t count = 0;
  int InsertOrder(OrderRecord o) override {
    benchmark::DoNotOptimize(o);
    ++count;
    return 1;
  }
};

struct Setup {
  Setup() {
    quotes.snapshot = QuoteOf(quotes.rb, 3500, 3499, 3501);
    for (int i = 0; i < 20; ++i) trades.positions.push_back(PositionWithToday(quotes.m, 3, 1, 0, 0));
    trades.positions.push_back(PositionWithToday(quotes.rb, 5, 2, 0, 0));
    table = BuiltInKeyOrderTable();
    table.enabled = true;
    table.cancelFirst = false;
    table.products["SHFE|rb"] = 2;
    table.bindings['1'].ticks = 1;
    panel.contract = quotes.rb;
  }
  StillQuotes quotes;
  CountingTrades trades;
  KeyOrderTable table;
  KeyboardPanelState panel;
};

void BM_KeyboardOrder(benchmark::State& state) {
  Setup s;
  s.trades.closeToday = true;
  const uint8_t key = state.range(0) ? '3' : '1';  // '3' sells: closes the long lots, split
  for (auto _ : state) benchmark::DoNotOptimize(DispatchKeyOrder(s.table, s.panel, key, nullptr));
  state.counters["orders"] = benchmark::Counter(static_cast<double>(s.trades.count), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_KeyboardOrder)->Arg(0)->Arg(1);

void BM_ThreeKeyOpen(benchmark::State& state) {
  Setup s;
  PanelInput in;
  in.contract = s.quotes.rb;
  in.quote = PanelQuoteOf(s.quotes.snapshot);
  in.priceType = kPriceCounter;
  in.quantityText = "3";
  for (auto _ : state) benchmark::DoNotOptimize(ThreeKeyOpen(in, 1, nullptr));
}
BENCHMARK(BM_ThreeKeyOpen);

void BM_SplitClose(benchmark::State& state) {
  Setup s;
  s.trades.closeToday = true;
  for (auto _ : state) benchmark::DoNotOptimize(SendSplitOrder(s.quotes.rb, 2, 2, 4, 0, 3500.0));
}
BENCHMARK(BM_SplitClose);

}  // namespace

BENCHMARK_MAIN();
