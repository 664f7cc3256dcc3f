// Sorting 5,000 grid rows by each column of the default set (the bound: 5 ms a sort).
#include <benchmark/benchmark.h>

#include "bench_market.h"
#include "quote/quote_grid_model.h"

namespace {

struct Fixture {
  Fixture() {
    contracts = tarn::bench::FiveThousand(quotes);
    model.SetDefaultColumns();
    model.SetViewport(45, 46);
    model.SetRows(contracts, false, 2026);
    std::mt19937 rng(5);
    for (const DC_Contract& c : contracts) model.ApplyQuote(tarn::bench::RandomQuote(c, rng));
  }
  tarn::test::CatalogueQuoteCenter quotes;
  std::vector<DC_Contract> contracts;
  tarn::QuoteGridModel model;
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void BM_SortFiveThousandRows(benchmark::State& state) {
  Fixture& f = Shared();
  const int column = static_cast<int>(state.range(0));
  bool ascending = false;
  for (auto _ : state) {
    f.model.Sort(column, ascending);  // each run starts from the other direction's order
    ascending = !ascending;
  }
  state.SetLabel(std::string(column <= 0 ? "default order" : "kind ") +
                 (column <= 0 ? "" : std::to_string(f.model.KindAt(column))));
}
BENCHMARK(BM_SortFiveThousandRows)->DenseRange(0, 22)->Unit(benchmark::kMillisecond);

void BM_ApplyQuote(benchmark::State& state) {
  Fixture& f = Shared();
  std::mt19937 rng(9);
  std::vector<DC_Quote> quotes;
  for (int i = 0; i < 1000; ++i) quotes.push_back(tarn::bench::RandomQuote(f.contracts[static_cast<std::size_t>(i) * 5], rng));
  std::size_t i = 0;
  for (auto _ : state) {
    f.model.ApplyQuote(quotes[i++ % quotes.size()]);
    if (i % 512 == 0) f.model.TakeDirty();
  }
}
BENCHMARK(BM_ApplyQuote);

}  // namespace

BENCHMARK_MAIN();
