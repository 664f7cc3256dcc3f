// The engines' cost per quote, on the quote library's thread as it would pay it:
//   CopyQuote       the floor: a loop that only copies the quote record
//   AlertCheck      CAlertCenter, 10,000 alerts on 10,000 contracts (no limit met)
//   OcoCheck        COCOOrderMgr, 10,000 watching pairs over 1,000 contracts (no level broken)
//   AutoCoverCheck  CAutoCover, 10,000 stops over 1,000 contracts (every level computed, none
//                   touched: extreme, trailing and break-even tests run on every stop)
//   CombolQuote     one CCombolQuote of "(A+B)/2-C*3" over three legs: store and three
//                   evaluations per quote
// After the table the program prints each engine's time per quote as a ratio to CopyQuote.
// Build in a Release folder of its own: -DTARN_BENCH=ON -DTARN_WITH_QT=OFF -DTARN_TESTS=OFF.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engines/engine_fakes.h"
#include "engines/alert_center.h"
#include "engines/auto_cover.h"
#include "engines/combol_quote.h"
#include "engines/oco_order.h"
#include "platform/program_dir.h"

namespace {

using namespace tarn::test;

struct World {
  World() {
    // A program directory of its own: nothing the engines might write lands in the user's.
    std::string dir = (std::filesystem::temp_directory_path() / "tarn_bench_XXXXXX").string();
    if (mkdtemp(dir.data())) tarn::SetProgramDir(dir);
    quotes.AddCommodity(10, 1, "rb", "rb", 1.0, 0);
    for (int i = 0; i < 10000; ++i) contracts.push_back(quotes.AddContract(tarn::Format("SHFE|rb%05d", i), 10));
  }
  // Quotes cycling over the first `n` contracts with prices moving around 3500.
  std::vector<DC_Quote> Quotes(int n, int count) const {
    std::vector<DC_Quote> out;
    for (int i = 0; i < count; ++i) {
      DC_Quote q = QuoteAt(contracts[static_cast<std::size_t>((i * 7919) % n)], 3500 + (i * 37) % 50 - 25);
      q.data.volume = 1000 + i;
      q.data.openInterest = 5000;
      q.data.lastQuantity = 1 + i % 5;
      q.data.bidPrice[0] = q.data.last - 1;
      q.data.askPrice[0] = q.data.last + 1;
      out.push_back(q);
    }
    return out;
  }
  EngineQuoteCenter quotes;
  FakeTradeApi trade;
  std::vector<DC_Contract> contracts;
};

World& TheWorld() {
  static World* w = new World;
  return *w;
}

void CopyQuote(benchmark::State& state) {
  const std::vector<DC_Quote> qs = TheWorld().Quotes(10000, 4096);
  DC_Quote sink;
  std::size_t i = 0;
  for (auto _ : state) {
    sink = qs[i++ & 4095];
    benchmark::DoNotOptimize(sink);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(CopyQuote);

void AlertCheck(benchmark::State& state) {
  World& w = TheWorld();
  tarn::ScopedEngine<CAlertCenter> alerts;
  alerts->SetFileEnabled(false);  // adding 10,000 alerts would rewrite the file 10,000 times
  for (const DC_Contract& c : w.contracts) {
    QuoteAlert a{};
    a.contract = c;
    a.upperPrice = 9000;
    a.lowerPrice = 1000;
    a.volumeLimit = 1 << 30;
    a.openInterestLimit = 1 << 30;
    a.lastQtyLimit = 100000;
    alerts->AddOrReplace(a);
  }
  const std::vector<DC_Quote> qs = w.Quotes(10000, 4096);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(alerts->OnQuote(0, &qs[i++ & 4095]));
}
BENCHMARK(AlertCheck);

void OcoCheck(benchmark::State& state) {
  World& w = TheWorld();
  tarn::ScopedEngine<COCOOrderMgr> ocos;
  for (int i = 0; i < 10000; ++i) {
    OcoOrder o;
    o.contract = w.contracts[static_cast<std::size_t>(i % 1000)];
    o.price1 = 3600 + i % 7;
    o.price2 = 3400 - i % 5;
    o.quantity = 1;
    ocos->Add(o);
  }
  const std::vector<DC_Quote> qs = w.Quotes(1000, 4096);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ocos->OnQuote(0, &qs[i++ & 4095]));
  if (!w.trade.inserted.empty()) state.SkipWithError("a pair fired");
}
BENCHMARK(OcoCheck);

void AutoCoverCheck(benchmark::State& state) {
  World& w = TheWorld();
  tarn::ScopedEngine<CAutoCover> stops;
  stops->SetFileEnabled(false);
  AutoCoverSetting s;
  s.commodity = "rb";
  s.exchange = "SHFE";
  s.stopLossTicks = 1000;
  s.takeProfitTicks = 1000;
  s.trailingTicks = 500;
  s.breakEvenTicks = 2000;
  stops->AddOrReplaceSetting(s);
  stops->SetEnabled(true);
  for (int i = 0; i < 10000; ++i) {
    OrderRecord o = FilledOpen(tarn::Format("o%d", i), w.contracts[static_cast<std::size_t>(i % 1000)], 1 + i % 2, 1, 3500);
    stops->OnOrder(&o, AccountTexts{});
  }
  const std::vector<DC_Quote> qs = w.Quotes(1000, 4096);
  for (const DC_Quote& q : qs) stops->OnQuote(0, &q);  // every level computed once
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(stops->OnQuote(0, &qs[i++ & 4095]));
  if (stops->StopCount() != 10000 || !w.trade.inserted.empty()) state.SkipWithError("a stop fired");
}
BENCHMARK(AutoCoverCheck);

struct Sink : ICombolQuoteListener {
  void OnCombolQuote(double lead, const CombolStrategy&, double last, double bid, double ask) override {
    sum += lead + last + bid + ask;
  }
  double sum = 0;
};

void CombolQuote(benchmark::State& state) {
  World& w = TheWorld();
  CombolStrategy s{};
  for (int i = 0; i < 3; ++i) {
    s.legs[i].contract = w.contracts[static_cast<std::size_t>(i)];
    s.legs[i].direction = i == 2 ? 2 : 1;
    s.legs[i].lots = 1;
  }
  tarn::SetField(s.formula, "(A+B)/2-C*3");
  Sink sink;
  CCombolQuote calc;
  calc.Setup(s, &sink);
  std::vector<DC_Quote> qs;
  for (int i = 0; i < 4095; ++i) {
    DC_Quote q = QuoteAt(w.contracts[static_cast<std::size_t>(i % 3)], 3500 + i % 40);
    q.data.bidPrice[0] = q.data.last - 1;
    q.data.askPrice[0] = q.data.last + 1;
    qs.push_back(q);
  }
  qs.push_back(qs[0]);
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(calc.OnQuote(0, &qs[i++ & 4095]));
  benchmark::DoNotOptimize(sink.sum);
}
BENCHMARK(CombolQuote);

// Keeps each run's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred) ns[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ns;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto base = reporter.ns.find("CopyQuote");
  if (base != reporter.ns.end() && base->second > 0) {
    std::printf("\nper quote, as a multiple of copying the quote record (%.2f ns):\n", base->second);
    for (const auto& [name, t] : reporter.ns)
      if (name != "CopyQuote") std::printf("  %-16s %8.1f ns  %6.1fx\n", name.c_str(), t, t / base->second);
  }
  benchmark::Shutdown();
  return 0;
}
