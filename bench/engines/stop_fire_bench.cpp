// From a quote that crosses a local stop to its closing order in the trading library's hands,
// in-process: the time from CAutoCover::OnQuote's entry to the InsertOrder call, per firing.
// Three cases: one stop on the contract; 1,000 stops on the contract of which the quote
// crosses one; the same with an exchange that needs today's lots closed apart (the close is
// planned against the position and the quote's close burst). Prints p50, p99 and the worst.
// Build in a Release folder of its own: -DTARN_BENCH=ON -DTARN_WITH_QT=OFF -DTARN_TESTS=OFF.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engines/auto_cover.h"
#include "engines/close_burst.h"
#include "engines/engine_fakes.h"
#include "platform/program_dir.h"

namespace {

using namespace tarn::test;
using Clock = std::chrono::steady_clock;

// Notes when the first closing order of a quote arrives.
class TimingTradeApi : public EngineTradeApi {
 public:
  int InsertOrder(OrderRecord) override {
    if (!seen) {
      at = Clock::now();
      seen = true;
    }
    ++orders;
    return 1;
  }
  Clock::time_point at;
  bool seen = false;
  long orders = 0;
};

struct Figures {
  double p50, p99, worst;
};

Figures Run(int crowd, bool closeToday, int samples) {
  EngineQuoteCenter quotes;
  TimingTradeApi trade;
  trade.closeToday = closeToday;
  quotes.AddCommodity(10, 1, "rb", "rb", 1.0, 0);
  const DC_Contract rb = quotes.AddContract("SHFE|rb2605", 10);
  PositionRecord p = Position(rb, crowd + samples + 10, 0);
  p.todayLong = samples;
  trade.positions = {p};
  tarn::ScopedEngine<tarn::CloseBurstLedger> bursts;
  tarn::ScopedEngine<CAutoCover> stops;
  stops->SetFileEnabled(false);
  AutoCoverSetting s;
  s.commodity = "rb";
  s.exchange = "SHFE";
  s.stopLossTicks = 100;
  stops->AddOrReplaceSetting(s);
  stops->SetEnabled(true);
  // The crowd: long at 3500, stop-loss at 3400, never crossed by the quotes below.
  for (int i = 0; i < crowd; ++i) {
    OrderRecord o = FilledOpen(tarn::Format("c%d", i), rb, 1, 1, 3500);
    stops->OnOrder(&o, AccountTexts{});
  }
  DC_Quote warm = QuoteAt(rb, 3500);
  stops->OnQuote(0, &warm);  // the crowd's levels are computed
  std::vector<double> ns;
  ns.reserve(static_cast<std::size_t>(samples));
  std::vector<AutoCoverStop> active;
  for (int i = 0; i < samples; ++i) {
    // The target: long at 3600, stop-loss at 3500; a quote at 3450 crosses it.
    OrderRecord o = FilledOpen(tarn::Format("t%d", i), rb, 1, 1, 3600);
    stops->OnOrder(&o, AccountTexts{});
    DC_Quote q = QuoteAt(rb, 3450);
    q.data.sequence = i + 1;
    trade.seen = false;
    const Clock::time_point start = Clock::now();
    stops->OnQuote(0, &q);
    if (!trade.seen) {
      std::fprintf(stderr, "the stop did not fire\n");
      std::exit(1);
    }
    ns.push_back(std::chrono::duration<double, std::nano>(trade.at - start).count());
    stops->CopyActiveStops(active);  // the fired stop leaves the list
  }
  if (stops->StopCount() != static_cast<std::size_t>(crowd)) {
    std::fprintf(stderr, "a crowd stop fired\n");
    std::exit(1);
  }
  std::sort(ns.begin(), ns.end());
  auto at = [&](double q) { return ns[static_cast<std::size_t>(q * (ns.size() - 1))]; };
  return {at(0.50), at(0.99), ns.back()};
}

}  // namespace

int main() {
  std::string dir = (std::filesystem::temp_directory_path() / "tarn_bench_XXXXXX").string();
  if (mkdtemp(dir.data())) tarn::SetProgramDir(dir);
  const int samples = 20000;
  struct Case {
    const char* name;
    int crowd;
    bool closeToday;
  } cases[] = {{"one stop", 0, false}, {"1,000 stops on the contract", 999, false},
               {"1,000 stops, close-today split", 999, true}};
  std::printf("quote crossing a local stop -> closing order handed to InsertOrder (%d firings each)\n", samples);
  for (const Case& c : cases) {
    Run(c.crowd, c.closeToday, 2000);  // warm-up
    const Figures f = Run(c.crowd, c.closeToday, samples);
    std::printf("  %-32s p50 %8.0f ns   p99 %8.0f ns   worst %9.0f ns\n", c.name, f.p50, f.p99, f.worst);
  }
  return 0;
}
