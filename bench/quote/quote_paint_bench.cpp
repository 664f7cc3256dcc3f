// The quote grid window's figures, offscreen:
//  - painting a full 1920 x 1080 page into a raster image (the bound: 5 ms);
//  - 20,000 quote updates a second spread over the visible rows from a feeder thread for three
//    seconds: the UI thread's CPU time (the bound: 25% of one core), the repaints, and that no
//    changed cell is left undrawn at the end;
//  - scrolling through 5,000 rows: the most contracts subscribed at once against the rows in
//    sight.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <atomic>
#include <memory>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "bench_market.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "platform/program_dir.h"
#include "ui/fonts.h"

namespace {

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Grid {
  Grid() {
    contracts = tarn::bench::FiveThousand(quotes);
    for (int k = 0; k < kGridDataKindCount; ++k) grid.AddColumn(tarn::DefaultGridKinds()[static_cast<std::size_t>(k)]);
    grid.resize(1920, 1080);
    grid.show();
    QApplication::processEvents();
    grid.SetRows(contracts, false);
    std::mt19937 rng(3);
    for (const DC_Contract& c : contracts) {
      DC_Quote q = tarn::bench::RandomQuote(c, rng);
      grid.OnQuote(0, &q);
      q.data.last += 1;  // a second snapshot: the visible rows carry highlights
      q.data.bidPrice[0] += 1;
      grid.OnQuote(0, &q);
    }
    grid.Model().Select(3);
    QApplication::processEvents();
  }
  tarn::test::CatalogueQuoteCenter quotes;
  std::vector<DC_Contract> contracts;
  CQuoteGridCtrl grid;
};

// Made on first use, destroyed before the application object.
std::unique_ptr<Grid>& SharedSlot() {
  static std::unique_ptr<Grid> g;
  return g;
}
Grid& Shared() {
  if (!SharedSlot()) SharedSlot() = std::make_unique<Grid>();
  return *SharedSlot();
}

void BM_PaintFullPage(benchmark::State& state) {
  Grid& g = Shared();
  QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
  const QRegion all(0, 0, 1920, 1080);
  const long long before = g.grid.PaintedCells();
  int pages = 0;
  for (auto _ : state) {
    QPainter p(&image);
    g.grid.Paint(p, all);
    ++pages;
  }
  state.counters["cells_per_page"] = static_cast<double>(g.grid.PaintedCells() - before) / std::max(1, pages);
}
BENCHMARK(BM_PaintFullPage)->Unit(benchmark::kMillisecond);

void BM_LiveQuotes(benchmark::State& state) {
  Grid& g = Shared();
  const int rate = static_cast<int>(state.range(0));
  for (auto _ : state) {
    g.grid.Model().ScrollTo(0);
    const int visible = g.grid.Model().DrawnRows();
    std::vector<DC_Quote> base;
    std::mt19937 rng(17);
    for (int i = 0; i < visible; ++i) base.push_back(tarn::bench::RandomQuote(g.grid.Model().RowAt(i)->contract, rng));
    std::atomic<bool> stop{false};
    std::atomic<long long> sent{0};
    const int paintsBefore = g.grid.PaintCount();
    const long long cellsBefore = g.grid.PaintedCells();
    std::thread feeder([&] {
      // Batches every 5 ms, each a share of the rate, round-robin over the visible rows.
      const int perBatch = rate / 200;
      auto next = std::chrono::steady_clock::now();
      long long n = 0;
      while (!stop.load()) {
        for (int i = 0; i < perBatch; ++i, ++n) {
          DC_Quote& q = base[static_cast<std::size_t>(n % visible)];
          q.data.last += (n % 3) - 1.0f;
          q.data.volume += 1;
          q.data.bidPrice[0] = q.data.last - 1;
          q.data.askPrice[0] = q.data.last + 1;
          q.data.updateTime += 1;
          g.quotes.DeliverQuote(q);
        }
        sent = n;
        next += std::chrono::milliseconds(5);
        std::this_thread::sleep_until(next);
      }
    });
    const double cpu0 = ThreadCpuMs();
    QElapsedTimer wall;
    wall.start();
    {
      // The UI thread runs its event loop as the terminal does (waiting when there is nothing).
      QEventLoop loop;
      QTimer::singleShot(3000, &loop, &QEventLoop::quit);
      loop.exec();
    }
    const double cpuMs = ThreadCpuMs() - cpu0;
    const double wallMs = static_cast<double>(wall.elapsed());
    stop = true;
    feeder.join();
    // Everything that changed is drawn by the next repaint.
    QElapsedTimer settle;
    settle.start();
    {
      QEventLoop loop;
      QTimer::singleShot(200, &loop, &QEventLoop::quit);
      loop.exec();
    }
    const bool leftOver = g.grid.Model().BatchPending() || !g.grid.Model().TakeDirty().empty();
    state.counters["updates_per_s"] = sent.load() * 1000.0 / wallMs;
    state.counters["ui_cpu_percent"] = 100.0 * cpuMs / wallMs;
    state.counters["repaints_per_s"] = (g.grid.PaintCount() - paintsBefore) * 1000.0 / wallMs;
    state.counters["cells_per_repaint"] =
        static_cast<double>(g.grid.PaintedCells() - cellsBefore) / std::max(1, g.grid.PaintCount() - paintsBefore);
    state.counters["undrawn_after"] = leftOver ? 1 : 0;
  }
}
BENCHMARK(BM_LiveQuotes)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ScrollSubscriptions(benchmark::State& state) {
  Grid& g = Shared();
  for (auto _ : state) {
    std::size_t most = 0;
    for (int first = 0; first <= g.grid.Model().MaxFirstVisible(); first += 3) {
      g.grid.Model().ScrollTo(first);
      most = std::max(most, g.grid.SubscriptionCount());
    }
    state.counters["most_subscribed"] = static_cast<double>(most);
    state.counters["rows_in_sight"] = g.grid.Model().DrawnRows();
    g.grid.Model().ScrollTo(0);
  }
}
BENCHMARK(BM_ScrollSubscriptions)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A program directory of its own: the grid reads its settings and column files there.
  char home[] = "/tmp/tarn-bench-XXXXXX";
  if (mkdtemp(home)) tarn::SetProgramDir(home);
  QApplication app(argc, argv);
  tarn::ui::InitFonts();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SharedSlot().reset();
  return 0;
}
