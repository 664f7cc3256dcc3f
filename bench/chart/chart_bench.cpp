// The chart's hot paths over 10,000 bars with two indicator panes (VOL and MACD) and MA over
// the candles: laying the chart out into its drawing list, painting that list over an
// offscreen image, and the work one quote causes (the history event's bar list, the
// indicators brought up to the changed last bar, the engine handed the new bars and panes).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <random>

#include "chart/chart_bars.h"
#include "chart/chart_indicators.h"
#include "libs/indicators/formula_files.h"
#include "libs/indicators/formula_manager.h"
#include "libs/candlechart/chart_engine.h"
#include "libs/candlechart/gui/chart_painter.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"

namespace {

using namespace tarn;

std::vector<DC_KData> MakeBars(std::size_t n) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> step(-6, 6), wick(0, 4), vol(1, 4000);
  std::vector<DC_KData> bars;
  double price = 3500;
  for (std::size_t i = 0; i < n; ++i) {
    DC_KData b{};
    b.time = 1700000000 + static_cast<int64_t>(i) * 60;
    b.open = static_cast<float>(price);
    price = std::max(100.0, price + step(rng));
    b.close = static_cast<float>(price);
    b.high = std::max(b.open, b.close) + wick(rng);
    b.low = std::min(b.open, b.close) - wick(rng);
    b.volume = vol(rng);
    b.openInterest = 100000;
    b.amount = b.close * b.volume * 10.0;
    bars.push_back(b);
  }
  return bars;
}

FormulaManager& Manager() {
  static formula::CFormulaEngine engine;
  static FormulaManager manager(&engine);
  static bool loaded = [] {
    const char* tmp = std::getenv("TMPDIR");
    const std::string home = std::string(tmp ? tmp : "/tmp") + "/tarn_chart_bench";
    MakeDirs(home + "/formula/config");
    SetProgramDir(home);
    const auto bytes = ReadWholeFile(std::string(TARN_ASSETS_DIR) + "/formula/config/sysfml.dat");
    WriteFileAtomic(home + "/formula/config/sysfml.dat", bytes ? *bytes : std::string());
    manager.Load();
    return true;
  }();
  (void)loaded;
  return manager;
}

struct Chart {
  std::vector<DC_KData> library = MakeBars(10000);
  ChartBarList list;
  ChartIndicators indicators{&Manager()};
  candlechart::ChartEngine engine;

  explicit Chart(double spacing) {
    indicators.SetPaneCount(3);
    indicators.AddOverlay("MA");
    indicators.Load(1, "VOL");
    indicators.Load(2, "MACD");
    HistorySource none;
    list.OnHistoryEvent(kDataLatest, 10000, library, none);
    indicators.Compute(list.Bars().data(), list.Size());
    engine.Configure(0, false, 3, true);
    engine.SetInstrument("RB", 0, 3, 60);
    engine.Resize(1600, 900);
    engine.SetBarSpacing(spacing);
    engine.SetBars(list.Bars());
    for (int p = 0; p < 3; ++p) engine.SetPaneContent(p, indicators.Content(p));
    engine.Scene();
  }
  // One quote: the last bar moves, the chart copies the library's bars and follows.
  void Quote(int i) {
    DC_KData& last = library.back();
    last.close += (i % 2 ? 1 : -1);
    last.high = std::max(last.high, last.close);
    last.low = std::min(last.low, last.close);
    last.volume += 1;
    HistorySource source;
    source.copyHistory = [this] { return library; };
    const BarChange c = list.OnHistoryEvent(kDataLatest, 10000, {}, source);
    indicators.Update(list.Bars().data(), list.Size(), c.firstChanged);
    engine.UpdateBars(list.Bars(), c.firstChanged);
    for (int p = 0; p < 3; ++p) engine.SetPaneContent(p, indicators.Content(p));
  }
};

void BM_LayoutFull(benchmark::State& state) {
  Chart chart(static_cast<double>(state.range(0)));
  for (auto _ : state) {
    chart.engine.SetRightBlank(60);  // marks the layout stale
    benchmark::DoNotOptimize(chart.engine.Scene().base.lines.size());
  }
  state.counters["visible"] = chart.engine.LastVisible() - chart.engine.FirstVisible() + 1;
}
BENCHMARK(BM_LayoutFull)->Arg(8)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_CursorLayer(benchmark::State& state) {
  Chart chart(8);
  chart.engine.MousePress(candlechart::kLeftButton, 800, 300);
  chart.engine.MouseRelease(candlechart::kLeftButton, 800, 300);
  int x = 0;
  for (auto _ : state) {
    chart.engine.MouseMove(400 + (x++ % 600), 300, false);
    benchmark::DoNotOptimize(chart.engine.CursorScene().cursor.texts.size());
  }
}
BENCHMARK(BM_CursorLayer)->Unit(benchmark::kMicrosecond);

void BM_PerQuoteUpdate(benchmark::State& state) {
  Chart chart(8);
  int i = 0;
  for (auto _ : state) chart.Quote(i++);
}
BENCHMARK(BM_PerQuoteUpdate)->Unit(benchmark::kMicrosecond);

void BM_PerQuoteUpdateAndLayout(benchmark::State& state) {
  Chart chart(8);
  int i = 0;
  for (auto _ : state) {
    chart.Quote(i++);
    benchmark::DoNotOptimize(chart.engine.Scene().base.lines.size());
  }
}
BENCHMARK(BM_PerQuoteUpdateAndLayout)->Unit(benchmark::kMicrosecond);

void BM_PaintOffscreen(benchmark::State& state) {
  Chart chart(static_cast<double>(state.range(0)));
  QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
  const QFont font = candlechart::ChartFont(12);
  chart.engine.SetTextMeasure(candlechart::ChartTextMeasure(font));
  for (auto _ : state) {
    chart.engine.SetRightBlank(60);
    const candlechart::ChartScene& scene = chart.engine.Scene();
    QPainter p(&image);
    candlechart::PaintScene(p, scene, font);
  }
}
BENCHMARK(BM_PaintOffscreen)->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
