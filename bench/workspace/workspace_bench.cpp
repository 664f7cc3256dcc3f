// Workspace figures: applying scheme (4,6) and following a dragged bar with 24 windows, first
// in the split tree alone, then with the chart containers of a shown workspace (offscreen), and
// the round trip of a quote page record of four workspaces of four windows (byte-identical, or
// the program stops).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <cstdlib>

#include "platform/text.h"
#include "workspace/gui/wnd_chart_container.h"
#include "workspace/workspace_record.h"

namespace {

using namespace tarn;

void BM_Scheme46Tree(benchmark::State& state) {
  StateLeaves leaves;
  SplitLayout layout(&leaves);
  layout.MakeSingle();
  layout.Arrange({0, 0, 1600, 900});
  for (auto _ : state) {
    layout.ApplyScheme(1, 1);
    layout.ApplyScheme(4, 6);
    benchmark::DoNotOptimize(layout.WindowRect(layout.Windows().back()));
  }
}
BENCHMARK(BM_Scheme46Tree);

void BM_DragBarTree24(benchmark::State& state) {
  StateLeaves leaves;
  SplitLayout layout(&leaves);
  layout.MakeSingle();
  layout.Arrange({0, 0, 1600, 900});
  layout.ApplyScheme(4, 6);
  const LayoutRect bar = layout.Bars().front();
  layout.BeginDrag(bar.x, bar.y);
  int step = 0;
  for (auto _ : state) {
    layout.DragTo(bar.x + (step % 40) - 20, bar.y + (step % 40) - 20);
    ++step;
  }
}
BENCHMARK(BM_DragBarTree24);

QuotePageModel SamplePage() {
  QuotePageModel page;
  for (int w = 0; w < 4; ++w) {
    WorkspaceModel& ws = page.Add(Format(TXT("工作区%d"), w + 1));
    ws.layout->MakeSingle();
    ws.layout->ApplyScheme(2, 2);
    const std::vector<int> ids = ws.layout->Windows();
    for (std::size_t i = 0; i < ids.size(); ++i) {
      ChartContainerState& s = ws.leaves->State(ids[i]);
      s.contractKey = "SHFE|rbMI";
      s.content = i < 2 ? kContentKLine : i == 2 ? kContentQuoteGrid : kContentTimeShare;
      s.overlays = {"MA"};
      s.indicators = {"VOL", "MACD"};
      candlechart::DrawObject line;
      line.kind = 1;
      line.points = {{1700000000, 3500}};
      s.objects = {line};
    }
  }
  return page;
}

void BM_PageRoundTrip(benchmark::State& state) {
  const std::string bytes = SamplePage().Serialize();
  for (auto _ : state) {
    QuotePageModel page;
    page.Parse(bytes);
    if (page.Serialize() != bytes) std::abort();
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_PageRoundTrip);

void BM_Scheme46Windows(benchmark::State& state) {
  CWndChartContainer ws;
  ws.resize(1600, 900);
  ws.show();
  for (auto _ : state) {
    state.PauseTiming();
    ws.ApplyScheme(1, 1);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
    ws.ApplyScheme(4, 6);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_Scheme46Windows)->Unit(benchmark::kMillisecond);

void BM_DragBarWindows24(benchmark::State& state) {
  CWndChartContainer ws;
  ws.resize(1600, 900);
  ws.show();
  ws.ApplyScheme(4, 6);
  QApplication::processEvents();
  const LayoutRect bar = ws.Layout().Bars().front();
  const QPointF at(bar.x, bar.y);
  QMouseEvent press(QEvent::MouseButtonPress, at, ws.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
  QCoreApplication::sendEvent(&ws, &press);
  int step = 0;
  for (auto _ : state) {
    const QPointF to(bar.x + (step % 40) - 20, bar.y + (step % 40) - 20);
    QMouseEvent move(QEvent::MouseMove, to, ws.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&ws, &move);
    ++step;
  }
}
BENCHMARK(BM_DragBarWindows24)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
