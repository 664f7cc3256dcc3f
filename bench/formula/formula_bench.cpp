// The formula engine's speed over 1,000,000 bars, parsing done once: the built-in MA, EMA,
// MACD, RSI, BOLL, KDJ and ATR in ns per bar ("per_bar"), MA and EMA beside hand-written
// loops, and the cost of appending one bar to a computed indicator or updating the last one.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "libs/indicators/formula_files.h"
#include "data/quote_records.h"
#include "libs/formula/formula.h"
#include "libs/formula/formula_engine.h"
#include "platform/file_io.h"

namespace {

constexpr std::size_t kBars = 1000000;

std::vector<DC_KData> MakeBars(std::size_t count) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> step(-12, 12), wick(0, 8), vol(1, 5000);
  std::vector<DC_KData> bars;
  bars.reserve(count);
  double price = 3500;
  for (std::size_t i = 0; i < count; ++i) {
    DC_KData b = ZeroRecord<DC_KData>();
    b.time = 1700000000 + 60 * static_cast<int64_t>(i);
    double open = price, close = std::max(10.0, open + 0.5 * step(rng));
    b.open = static_cast<float>(open);
    b.close = static_cast<float>(close);
    b.high = static_cast<float>(std::max(open, close) + 0.5 * wick(rng));
    b.low = static_cast<float>(std::min(open, close) - 0.5 * wick(rng));
    b.volume = vol(rng);
    b.openInterest = 100000;
    bars.push_back(b);
    price = close;
  }
  return bars;
}

const std::vector<DC_KData>& Bars() {
  static const std::vector<DC_KData> bars = MakeBars(kBars);
  return bars;
}

// The shipped built-in formulas.
tarn::formula::CFormulaList& Shipped() {
  static tarn::formula::CFormulaList* list = [] {
    auto* l = new tarn::formula::CFormulaList;
    auto bytes = tarn::ReadWholeFile(std::string(TARN_ASSETS_DIR) + "/formula/config/sysfml.dat");
    l->SetFormulas(tarn::ParseFormulaXml(bytes ? *bytes : std::string()));
    return l;
  }();
  return *list;
}

void PerBar(benchmark::State& state, std::size_t bars) {
  state.counters["per_bar"] = benchmark::Counter(static_cast<double>(bars),
                                                 benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}

void Evaluate(benchmark::State& state, std::shared_ptr<const tarn::formula::Program> program) {
  if (!program) {
    state.SkipWithError("formula did not compile");
    return;
  }
  const auto& bars = Bars();
  tarn::formula::Evaluation e(program);
  for (auto _ : state) {
    e.Compute(bars.data(), bars.size());
    benchmark::DoNotOptimize(e.GetOutput(0).values.data());
    benchmark::ClobberMemory();
  }
  PerBar(state, bars.size());
}

void BM_Text(benchmark::State& state, const char* text) { Evaluate(state, tarn::formula::Compile(text).program); }
void BM_Builtin(benchmark::State& state, const char* name) { Evaluate(state, Shipped().GetProgram(name)); }

// The loops a programmer would write by hand for MA(C,20) and EMA(C,20) into a double array.
void BM_HandMa(benchmark::State& state) {
  const auto& bars = Bars();
  std::vector<double> out(bars.size());
  const int n = 20;
  for (auto _ : state) {
    double sum = 0;
    for (std::size_t i = 0; i < bars.size(); ++i) {
      sum += bars[i].close;
      if (i >= static_cast<std::size_t>(n)) sum -= bars[i - n].close;
      out[i] = i + 1 >= static_cast<std::size_t>(n) ? sum / n : NAN;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  PerBar(state, bars.size());
}

void BM_HandEma(benchmark::State& state) {
  const auto& bars = Bars();
  std::vector<double> out(bars.size());
  const double a = 2.0 / 21, b = 19.0 / 21;
  for (auto _ : state) {
    double y = bars[0].close;
    out[0] = y;
    for (std::size_t i = 1; i < bars.size(); ++i) out[i] = y = a * bars[i].close + b * y;
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  PerBar(state, bars.size());
}

// One new bar appended to an indicator computed over a million bars (and, in the update
// variant, the last bar changed again as a tick arrives).
void BM_Append(benchmark::State& state, const char* name, bool update) {
  auto program = Shipped().GetProgram(name);
  if (!program) {
    state.SkipWithError("formula did not compile");
    return;
  }
  std::vector<DC_KData> bars = Bars();
  std::vector<DC_KData> more = MakeBars(kBars / 5);
  std::size_t base = bars.size();
  bars.reserve(base + more.size() + 1);
  tarn::formula::Evaluation e(program);
  e.Compute(bars.data(), bars.size());
  std::size_t next = 0;
  for (auto _ : state) {
    if (next >= more.size()) {
      state.PauseTiming();
      bars.resize(base);
      e.Compute(bars.data(), bars.size());
      next = 0;
      state.ResumeTiming();
    }
    if (update) {
      bars.back().close = more[next++].close;
      e.Update(bars.data(), bars.size(), bars.size() - 1);
    } else {
      bars.push_back(more[next++]);
      e.Update(bars.data(), bars.size(), bars.size() - 1);
    }
    benchmark::DoNotOptimize(e.GetOutput(0).values.data());
  }
}

}  // namespace

BENCHMARK_CAPTURE(BM_Text, MA_C_20, "MA(C,20);")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandMa)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Text, EMA_C_20, "EMA(C,20);")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandEma)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Builtin, MACD, "MACD")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Builtin, RSI, "RSI")->Unit(benchmark::kMillisecond);
// One RSI line, as an indicator library computes it (the built-in RSI has three).
BENCHMARK_CAPTURE(BM_Text, RSI_one_line,
                  "LC:=REF(CLOSE,1); RSI:SMA(MAX(CLOSE-LC,0),14,1)/SMA(ABS(CLOSE-LC),14,1)*100;")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Builtin, BOLL, "BOLL")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Builtin, KDJ, "KDJ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Builtin, ATR, "ATR")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Builtin, MA4, "MA")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Append, MACD, "MACD", false);
BENCHMARK_CAPTURE(BM_Append, KDJ, "KDJ", false);
BENCHMARK_CAPTURE(BM_Append, BOLL, "BOLL", false);
BENCHMARK_CAPTURE(BM_Append, MACD_update_last, "MACD", true);
BENCHMARK_CAPTURE(BM_Append, KDJ_update_last, "KDJ", true);
BENCHMARK_MAIN();
