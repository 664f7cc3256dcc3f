// The keyboard wizard's search per keystroke over an index of 5,000 contracts (250
// commodities), a ZCE exchange, the 56 built-in indicators and the keyboard commands; and the
// building of that index. The aim: well under 1 ms a keystroke.
#include <benchmark/benchmark.h>

#include "bench_market.h"
#include "libs/indicators/formula_files.h"
#include "quote/key_wizard_index.h"
#include "quote/keyboard_commands.h"

namespace {

struct Fixture {
  Fixture() {
    tarn::bench::FiveThousand(quotes);
    const ExchangeHandle zce = quotes.AddExchange("ZCE", "ZCE");
    for (const char* code : {"SR", "CF", "TA", "MA", "RM", "OI", "FG", "SA"}) {
      const CommodityHandle c = quotes.AddCommodity(zce, code, code);
      for (int m = 0; m < 12; ++m) quotes.AddContract(c, tarn::Format("%d%02d", 6 + m / 12, 1 + m % 12));
      quotes.AddContract(c, "MI");
    }
    for (const std::string& name : tarn::BuiltinIndicatorNames()) indicators.push_back({name, "indicator", false});
    commands = tarn::DefaultKeyboardCommands();
    tarn::CompleteKeyboardCommands(commands, {});
    index.Build(indicators, commands, &quotes);
  }
  tarn::test::CatalogueQuoteCenter quotes;
  std::vector<tarn::IndicatorEntry> indicators;
  std::vector<tarn::WizardItem> commands;
  tarn::KeyWizardIndex index;
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

const char* const kTexts[] = {
    "C",         // a single letter: the limit of 101 ends the walk early
    "C12",       // ten commodities' months: the limit again
    "C1232",     // one commodity's months of 2027: 20 found over the whole index
    "C123261",   // nothing by prefix: the fallback's walk with the one-character rule
    "SR2605",    // a ZCE code with its year digit: the library asked, the text shortened
    "ZZZZ",      // nothing at all: both walks over the whole index
    ".",         // the commands and the workspace switches
};

void BM_Keystroke(benchmark::State& state) {
  Fixture& f = Shared();
  const char* text = kTexts[state.range(0)];
  std::size_t rows = 0;
  for (auto _ : state) {
    std::vector<int> r = f.index.Search(text, &f.quotes);
    rows = r.size();
    benchmark::DoNotOptimize(r.data());
  }
  state.SetLabel(std::string("\"") + text + "\" " + std::to_string(rows) + " rows of " +
                 std::to_string(f.index.Size()));
}
BENCHMARK(BM_Keystroke)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

// Typing "c123261" one character at a time: seven searches.
void BM_TypingAWord(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string word = "c123261";
  for (auto _ : state)
    for (std::size_t n = 1; n <= word.size(); ++n) benchmark::DoNotOptimize(f.index.Search(word.substr(0, n), &f.quotes));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(word.size()));
}
BENCHMARK(BM_TypingAWord)->Unit(benchmark::kMicrosecond);

void BM_BuildIndex(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    tarn::KeyWizardIndex index;
    index.Build(f.indicators, f.commands, &f.quotes);
    benchmark::DoNotOptimize(index.Size());
  }
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
