#include "workspace/gui/screenshots.h"

#include <QListWidget>
#include <QMenu>

#include "workspace/gui/chart_container.h"
#include "chart/chart_forms.h"
#include "chart/gui/cc_chart_ctrl.h"
#include "chart/chart_menu.h"
#include "data/quote_data_center.h"
#include "engines/strategy_file.h"
#include "quote/block_list.h"
#include "trade/orders/gui/order_dialogs.h"
#include "workspace/gui/dlg_save_layout.h"
#include "workspace/gui/page_quote.h"
#include "workspace/gui/wnd_chart_container.h"
#include "workspace/gui/wnd_spliter_template.h"
#include "workspace/workspace_names.h"

namespace tarn {

namespace {

DC_Contract Hot(std::size_t i) {
  std::vector<DC_Contract> hot = LibraryList(GetQuoteDataCenter(), "HOT");
  return hot.empty() ? DC_Contract{} : hot[i % hot.size()];
}

// A page whose current workspace has a scheme applied, its windows showing grids and charts.
CPageQuote* OpenPage(int rows, int columns) {
  auto* page = new CPageQuote;
  page->resize(1280, 760);
  page->currentContract = [] { return Hot(0); };
  page->MakeDefault();
  page->AddWorkspace();
  CWndChartContainer* ws = page->CurrentWorkspace();
  ws->ApplyScheme(rows, columns);
  int i = 0;
  for (CChartContainer* c : ws->Containers()) {
    c->SetContract(Hot(static_cast<std::size_t>(i)));
    c->ShowContent(i % 3 == 0 ? kContentQuoteGrid : i % 3 == 1 ? kContentKLine : kContentTimeShare);
    ++i;
  }
  page->show();
  ui::PumpEvents(1200);
  return page;
}

DC_Contract FirstHot() {
  std::vector<DC_Contract> hot = LibraryList(GetQuoteDataCenter(), "HOT");
  return hot.empty() ? DC_Contract{} : hot.front();
}

// A container showing a chart of the first main contract, with its bars in.
CChartContainer* OpenChart(int content, const ChartPeriod& period) {
  auto* w = new CChartContainer;
  w->resize(1280, 760);
  w->SetContract(FirstHot());
  w->ShowContent(content);
  if (content == kContentKLine) w->RunToolbarCommand(CommandForPeriod(period));
  w->show();
  ui::PumpEvents(1200);
  return w;
}

// Draws a few objects over the visible bars: a horizontal line at the last close, a segment
// from the lowest to the highest bar in sight and a golden section between them.
void DrawSamples(CCChartCtrl* chart) {
  candlechart::ChartEngine* e = chart->Engine();
  const std::vector<DC_KData>& bars = e->Bars();
  if (bars.size() < 40) return;
  const std::size_t a = bars.size() - 35, b = bars.size() - 8;
  std::vector<candlechart::DrawObject> objects;
  candlechart::DrawObject h;
  h.kind = candlechart::kDrawHorizontal;
  h.points = {{bars.back().time, bars.back().close}};
  objects.push_back(h);
  candlechart::DrawObject s;
  s.kind = candlechart::kDrawSegment;
  s.color = 0xFFFF00;
  s.points = {{bars[a].time, bars[a].low}, {bars[b].time, bars[b].high}};
  objects.push_back(s);
  candlechart::DrawObject g;
  g.kind = candlechart::kDrawGolden;
  g.color = 0xFF00FF;
  g.points = {{bars[a].time, bars[a].low}, {bars[b].time, bars[b].high}};
  objects.push_back(g);
  e->SetObjects(objects);
  chart->update();
}

}  // namespace

void RegisterWorkspaceScreenshots(ui::ScreenshotRegistry& registry) {
  registry.Add("kline_chart", [] {
    CChartContainer* w = OpenChart(kContentKLine, {kPeriodDays, 1});
    if (CCChartCtrl* chart = w->Chart()) {
      DrawSamples(chart);
      // The cursor on a bar near the right edge.
      chart->Engine()->KeyPress(candlechart::ChartEngine::kKeyLeft);
      for (int i = 0; i < 6; ++i) chart->Engine()->KeyPress(candlechart::ChartEngine::kKeyLeft);
      chart->update();
    }
    ui::PumpEvents(200);
    return static_cast<QWidget*>(w);
  });
  registry.Add("kline_chart_minutes", [] {
    CChartContainer* w = OpenChart(kContentKLine, {kPeriodMinutes, 5});
    if (CCChartCtrl* chart = w->Chart()) {
      chart->SetPaneCount(4);
      chart->Engine()->SetBarSpacing(4);
    }
    ui::PumpEvents(400);
    return static_cast<QWidget*>(w);
  });
  registry.Add("kline_chart_inverted", [] {
    CChartContainer* w = OpenChart(kContentKLine, {kPeriodMinutes, 15});
    if (CCChartCtrl* chart = w->Chart()) {
      chart->ToggleInverted();
      chart->LoadIndicator(0, "BOLL");
    }
    ui::PumpEvents(400);
    return static_cast<QWidget*>(w);
  });
  registry.Add("time_share", [] { return static_cast<QWidget*>(OpenChart(kContentTimeShare, {kPeriodTimeShare, 1})); });
  registry.Add("chart_container_empty", [] {
    auto* w = new CChartContainer;
    w->resize(900, 560);
    return static_cast<QWidget*>(w);
  });
  registry.Add("chart_menu", [] {
    CChartContainer* w = OpenChart(kContentKLine, {kPeriodDays, 1});
    QMenu* menu = w->Chart()->BuildMenu(w->Chart()->MenuEntries(-1), nullptr);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(menu, &QObject::destroyed, w, &QObject::deleteLater);
    w->hide();
    return static_cast<QWidget*>(menu);
  });
  registry.Add("workspace_2x2", [] { return OpenPage(2, 2); });
  registry.Add("workspace_3x4", [] { return OpenPage(3, 4); });
  registry.Add("price_cube_leaf", [] {
    CPageQuote* page = OpenPage(1, 2);
    CChartContainer* c = page->CurrentWorkspace()->Containers()[1];
    c->ShowContent(kContentPriceCube);
    for (std::size_t i = 1; i < 6; ++i) c->PriceCube()->AddCard(Hot(i));
    ui::PumpEvents(800);
    return static_cast<QWidget*>(page);
  });
  registry.Add("price_cube_combination", [] {
    // Two strategies of the main months in the user's list, shown beside contract cards.
    std::vector<CombolStrategy> list;
    for (std::size_t i = 0; i < 2; ++i) {
      CombolStrategy s{};
      s.legs[0].contract = Hot(2 * i);
      s.legs[0].direction = 1;
      s.legs[0].lots = 1;
      s.legs[1].contract = Hot(2 * i + 1);
      s.legs[1].direction = 2;
      s.legs[1].lots = 1;
      s.decimals = 1;
      SetField(s.formula, "A-B");
      SetField(s.name, std::string(s.legs[0].contract.Code()) + "-" + std::string(s.legs[1].contract.Code()));
      list.push_back(s);
    }
    SaveStrategyFile(list);
    auto* w = new CChartContainer;
    w->resize(900, 420);
    w->SetContract(Hot(0));
    w->ShowContent(kContentPriceCube);
    w->PriceCube()->AddCard(Hot(1));
    for (const CombolStrategy& s : list) w->PriceCube()->AddStrategyCard(s);
    w->show();
    ui::PumpEvents(1500);
    w->PriceCube()->TakeQuotes();
    return static_cast<QWidget*>(w);
  });
  registry.Add("layout_picker_schemes", [] {
    auto* w = new CWndSpliterTemplate;
    w->setWindowFlags(Qt::Window);
    w->ShowPage(0);
    w->show();
    return w;
  });
  registry.Add("layout_picker_mine", [] {
    SaveLayoutFile(TXT("双图"), std::string());
    SaveLayoutFile(TXT("四窗口"), std::string());
    auto* w = new CWndSpliterTemplate;
    w->setWindowFlags(Qt::Window);
    w->ShowPage(1);
    w->layouts->setCurrentRow(0);
    w->show();
    return w;
  });
  registry.Add("save_layout_dialog", [] {
    auto* d = new CDlgSaveLayout(CDlgSaveLayout::kSave, TXT("工作区1"));
    d->show();
    return d;
  });
  registry.Add("torn_off_workspace", [] {
    CPageQuote* page = OpenPage(1, 2);
    CFloatingWorkspace* f = page->TearOff(page->CurrentIndex(), QPoint(640, 100));
    f->resize(1000, 600);
    ui::PumpEvents(600);
    return static_cast<QWidget*>(f);
  }, [](QWidget* w) { delete static_cast<CFloatingWorkspace*>(w)->parentWidget(); });
}

}  // namespace tarn
