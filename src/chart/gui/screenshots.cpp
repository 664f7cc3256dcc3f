#include "chart/gui/screenshots.h"

#include <QMenu>

#include "chart/chart_forms.h"
#include "chart/gui/cc_chart_ctrl.h"
#include "chart/gui/chart_container.h"
#include "chart/gui/chart_dialogs.h"
#include "libs/indicators/formula_manager.h"
#include "data/quote_data_center.h"
#include "quote/block_list.h"

namespace tarn {

namespace {

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

void RegisterChartScreenshots(ui::ScreenshotRegistry& registry) {
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
  registry.Add("indicator_params", [] {
    formula::FormulaDef def;
    FormulaManager::Instance().Find("MACD", &def);
    return static_cast<QWidget*>(new CDlgIndicatorParam(def, IndicatorParamRows(def, {})));
  });
  registry.Add("object_style", [] { return static_cast<QWidget*>(new CDlgObjectStyle(ObjectStyle{})); });
  registry.Add("object_text", [] { return static_cast<QWidget*>(new CDlgObjectText(TXT("突破前高"))); });
}

}  // namespace tarn
