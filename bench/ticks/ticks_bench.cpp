// Figures of the tick statistics and the information panel's hot paths.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "libs/infopanel/info_panel_model.h"
#include "platform/text.h"
#include "tools/tick_statistic.h"
#include "tools/tick_tallies.h"

namespace {

constexpr int kDayTicks = 50000;

// A busy day: a tick every 0.5 s from 09:00, a book of one tick that wanders, quantities and
// open interest changes drawn from a fixed generator.
std::vector<TickRecord> BusyDay(int n = kDayTicks) {
  std::vector<TickRecord> ticks;
  ticks.reserve(static_cast<std::size_t>(n));
  uint64_t s = 88172645463325252ull;
  auto next = [&s] {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  };
  double mid = 3500.5;
  int64_t oi = 1500000, volume = 0;
  for (int i = 0; i < n; ++i) {
    TickRecord t{};
    t.time = 1765155600 + i / 2;
    t.subKey = (i % 2) * 500;
    t.tradingDay = 20251208;
    const uint64_t r = next();
    if (r % 3 == 0) mid += (r & 8) ? 1 : -1;
    t.bid = mid - 0.5;
    t.ask = mid + 0.5;
    t.last = (r & 16) ? t.ask : t.bid;
    t.quantity = 1 + static_cast<int32_t>(r >> 40) % 60;
    oi += static_cast<int64_t>((r >> 20) % 41) - 20;
    volume += t.quantity;
    t.openInterest = oi;
    t.volume = volume;
    ticks.push_back(t);
  }
  return ticks;
}

void BM_ClassifyDay(benchmark::State& state) {
  const std::vector<TickRecord> day = BusyDay();
  for (auto _ : state) benchmark::DoNotOptimize(tarn::ClassifyTicks(day));
  state.SetItemsProcessed(state.iterations() * kDayTicks);
}
BENCHMARK(BM_ClassifyDay)->Unit(benchmark::kMicrosecond);

void BM_BigOrderFilterDay(benchmark::State& state) {
  const std::vector<TickRecord> day = BusyDay();
  tarn::TickFilterInputs in;
  in.quantityThreshold = 30;
  in.oiThreshold = 10;
  for (auto _ : state) benchmark::DoNotOptimize(tarn::FilterBigOrders(day, in));
}
BENCHMARK(BM_BigOrderFilterDay)->Unit(benchmark::kMicrosecond);

void BM_SliceDay(benchmark::State& state) {
  const std::vector<TickRecord> day = BusyDay();
  for (auto _ : state) benchmark::DoNotOptimize(tarn::SliceTicks(day, static_cast<int>(state.range(0))));
}
BENCHMARK(BM_SliceDay)->Arg(1)->Arg(15)->Unit(benchmark::kMicrosecond);

// The whole filter button: span, analysis and totals (what the worker does).
void BM_RunSlicesDay(benchmark::State& state) {
  const std::vector<TickRecord> day = BusyDay();
  tarn::TickFilterInputs in;
  in.tab = 1;
  for (auto _ : state) benchmark::DoNotOptimize(tarn::RunTickStatistic(day, day.front().time, day.back().time, in));
}
BENCHMARK(BM_RunSlicesDay)->Unit(benchmark::kMicrosecond);

// The tracer per new trade: the fetched list kept to its day (in place), the day's lots for the
// average, and the walk of the one new tick.
void BM_TracerPerTrade(benchmark::State& state) {
  const std::vector<TickRecord> day = BusyDay();
  tarn::TickTallyWalker w;
  std::vector<TickRecord> fetched(day.begin(), day.end() - 1);
  w.Feed(fetched, 500);
  fetched = day;
  for (auto _ : state) {
    state.PauseTiming();
    w.Clear();
    std::vector<TickRecord> prefix(day.begin(), day.end() - 1);
    w.Feed(prefix, 500);
    std::vector<TickRecord> list = day;  // what GetTicks hands over
    state.ResumeTiming();
    tarn::KeepDayTicks(list);
    int64_t lots = 0;
    for (const TickRecord& t : list) lots += t.quantity;
    benchmark::DoNotOptimize(lots);
    w.Feed(list, 500);
  }
}
BENCHMARK(BM_TracerPerTrade)->Unit(benchmark::kMicrosecond);

// The panel per quote: the snapshot and 30 trades in, the drawing list rebuilt.
void BM_PanelUpdatePerQuote(benchmark::State& state) {
  tarn::infopanel::InfoPanelModel m;
  DC_Contract c = ZeroRecord<DC_Contract>();
  tarn::SetField(c.key, "SHFE|rbMI");
  tarn::SetField(c.name, "rb");
  m.SetContract(c, 0);
  std::vector<int> fields;
  for (int i = 0; i < 16; ++i) fields.push_back(i);
  m.SetFields(fields, true, true);
  m.SetLevel(1, 10);
  tarn::infopanel::PanelTallies t;
  t.valid = true;
  t.bigBuy = t.bigSell = t.smallBuy = t.smallSell = 0.25;
  m.SetTallies(t);
  DC_Quote q = ZeroRecord<DC_Quote>();
  q.contract = c;
  q.data.preSettlement = 3500;
  std::vector<QuoteDetail> trades;
  for (int i = 0; i < 30; ++i) trades.push_back(QuoteDetail::Make(3500.0f + i % 5, 32400 + i, 1 + i % 2, 5 + i));
  int step = 0;
  for (auto _ : state) {
    ++step;
    q.data.last = 3500.0f + static_cast<float>(step % 7);
    q.data.volume = step;
    for (int i = 0; i < 10; ++i) {
      q.data.bidPrice[i] = q.data.last - 1 - i;
      q.data.askPrice[i] = q.data.last + i;
      q.data.bidVolume[i] = step % 100 + i;
      q.data.askVolume[i] = step % 90 + i;
    }
    m.SetQuote(q, trades.data(), static_cast<int>(trades.size()));
    benchmark::DoNotOptimize(m.BuildView(250, 900, 18));
  }
}
BENCHMARK(BM_PanelUpdatePerQuote)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
