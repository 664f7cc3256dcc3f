// The UI thread's whole work for one fill with 2,000 orders, 200 positions, 400 position lots
// and 2,000 fills: the trade feed's change set applied to the model, the rows it touched written
// into the tabs' grids (only changed cells repaint) and the current tab painted, as the trade
// grid window does it (offscreen platform, one window 1,000 x 400 px showing the positions tab).
//   BM_OneFillAppliedAndPainted  change set + grid cells + the paint of the changed cells (the
//                                update request the cells posted, delivered as the event loop
//                                would); "paints" counts the viewport's paint events per fill
//   BM_PaintWholeViewport        for comparison: a paint of the whole viewport (a scroll or a
//                                resize), about 16 rows of 17 columns
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QWindow>
#include <array>

#include "trade/grid/gui/my_color_grid.h"
#include "trade/grid/trade_grid_model.h"
#include "trade/trade_fakes.h"  // tests/trade

namespace {

using namespace tarn;
using namespace tarn::test;

ContractInfo Info(const DC_Contract&) { return ContractInfo{1, 10, 1}; }

void Fill(GridFakeApi& api) {
  for (int i = 0; i < 2000; ++i) {
    const bool condition = i % 20 == 0;
    OrderRecord o = TestOrder(Format("20261208-%06d", i).c_str(), Format("rb26%02d", i % 40).c_str(),
                              condition ? 11 : (i % 10 == 3 ? 2 : 4), condition ? 1 : 0);
    o.offset = condition ? kClose : kOpen;
    o.filledQuantity = o.state == 4 ? 1 : 0;
    o.averageFillPrice = 3500 + i % 17;
    api.orders.push_back(o);
  }
  for (int i = 0; i < 200; ++i) api.positions.push_back(TestPosition(Format("c%03d", i).c_str(), i % 2 ? 3 : 0, i % 2 ? 0 : 2));
  for (int i = 0; i < 400; ++i) {
    PositionDetail d{};
    d.contract = TestContract(Format("c%03d", i / 2).c_str());
    d.direction = kBuy;
    d.quantity = 1;
    d.averagePrice = 3500;
    SetField(d.positionNumber, Format("P%05d", i));
    api.details.push_back(d);
  }
  for (int i = 0; i < 2000; ++i) {
    FillRecord f{};
    SetField(f.fillNumber, Format("F%06d", i));
    f.contract = TestContract(Format("rb26%02d", i % 40).c_str());
    f.direction = 1 + i % 2;
    f.offset = kOpen;
    f.quantity = 1;
    f.price = 3500 + i % 13;
    f.time = 1765159200 + i;
    api.fills.push_back(f);
  }
}

// Counts the paint events of the viewport it watches: the figures are of real paints.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
  long long paints = 0;
};

// The model, one grid per tab and the window's way of writing a tab's changes into its grid.
struct Window {
  Window() : model(store, Info) {
    for (int kind = 0; kind < kTradeTabCount; ++kind) {
      grids[kind] = new CMyColorGrid(TabControlId(kind));
      grids[kind]->SetNumbered(true);
      grids[kind]->SetColumns(TabColumns(kind));
      grids[kind]->SetButtons(TabButtons(kind));
      grids[kind]->resize(1000, 400);
    }
    grids[kTabPositions]->show();
    // Painting needs the window exposed.
    for (int i = 0; i < 50 && !grids[kTabPositions]->windowHandle()->isExposed(); ++i) QApplication::processEvents();
    grids[kTabPositions]->viewport()->installEventFilter(&counter);
  }
  ~Window() {
    for (CMyColorGrid* g : grids) delete g;
  }
  void ApplyTab(int kind) {
    TabChanges changes = model.TakeChanges(kind);
    CMyColorGrid* grid = grids[kind];
    const std::vector<GridRow>& rows = model.Rows(kind);
    if (changes.countChanged) grid->SetRowCount(static_cast<int>(rows.size()));
    for (int r : changes.rows) grid->SetSharedRow(r, rows[static_cast<std::size_t>(r)].cells);
  }
  void ApplyAll() {
    for (int kind = 0; kind < kTradeTabCount; ++kind) ApplyTab(kind);
  }
  PositionRemarkStore store;
  TradeGridModel model;
  std::array<CMyColorGrid*, kTradeTabCount> grids{};
  PaintCounter counter;
};

void OneFill(benchmark::State& state, bool paint) {
  GridFakeApi api;
  Fill(api);
  Window w;
  TradeChangeSet first;
  first.reload = true;
  first.orders = api.orders;
  first.fills = api.fills;
  w.model.Apply(first, &api, true);
  w.ApplyAll();
  QWidget* shown = w.grids[kTabPositions]->viewport();
  shown->repaint();
  long long cells = 0;
  int i = 0;
  for (auto _ : state) {
    const std::size_t at = static_cast<std::size_t>((i * 37) % 2000) / 20 * 20 + 1;
    OrderRecord& o = api.orders[at];
    o.state = o.state == 4 ? 2 : 4;
    o.updateTime += 1;
    TradeChangeSet set;
    set.orders = {o};
    FillRecord f = api.fills[static_cast<std::size_t>(i % 2000)];
    SetField(f.fillNumber, Format("N%08d", i));
    set.fills = {f};
    set.positions = set.positionsComplete = true;
    api.positions[static_cast<std::size_t>(i % 8)].longFloatProfit += 1;  // a position in sight
    ++i;
    const long long before = w.grids[kTabPositions]->CellUpdates();
    w.model.Apply(set, &api, true);
    w.ApplyAll();
    // The paint the event loop does next: the update request of the changed cells' rectangles
    // of the tab in sight, painted at once.
    if (paint) QApplication::sendPostedEvents();
    cells += w.grids[kTabPositions]->CellUpdates() - before;
  }
  state.counters["cells_repainted"] = benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kAvgIterations);
  state.counters["paints"] = benchmark::Counter(static_cast<double>(w.counter.paints), benchmark::Counter::kAvgIterations);
}
void BM_OneFillAppliedAndPainted(benchmark::State& state) { OneFill(state, true); }
BENCHMARK(BM_OneFillAppliedAndPainted)->Unit(benchmark::kMicrosecond);
// The same without the paint: the model's change set and the cells written into the grids.
void BM_OneFillAppliedToTheGrids(benchmark::State& state) { OneFill(state, false); }
BENCHMARK(BM_OneFillAppliedToTheGrids)->Unit(benchmark::kMicrosecond);

void BM_PaintWholeViewport(benchmark::State& state) {
  GridFakeApi api;
  Fill(api);
  Window w;
  TradeChangeSet first;
  first.reload = true;
  first.orders = api.orders;
  first.fills = api.fills;
  w.model.Apply(first, &api, true);
  w.ApplyAll();
  QWidget* shown = w.grids[kTabPositions]->viewport();
  for (auto _ : state) shown->repaint();
  state.counters["paints"] = benchmark::Counter(static_cast<double>(w.counter.paints), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PaintWholeViewport)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
