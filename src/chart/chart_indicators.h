// The indicators of one chart: the main pane's overlays and one indicator per further pane,
// each computed by the formula engine over the chart's bars (a full computation after a load,
// only the changed bars after a live update), and their outputs as the chart engine's pane
// contents.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "chart/chart_period.h"
#include "libs/candlechart/chart_types.h"
#include "libs/formula/formula_engine.h"

namespace tarn {

class FormulaManager;

class ChartIndicators {
 public:
  explicit ChartIndicators(FormulaManager* manager);

  // The default set for a pane count: MA over the candles, then VOL, MACD, KDJ, RSI, BOLL in
  // the further panes (the time-share chart: VOL only).
  static std::vector<std::string> DefaultPanes(int paneCount, bool timeShare);
  static std::vector<std::string> DefaultOverlays(bool timeShare);

  // Pane p (1-based) shows `name` ("" = empty); pane count changes keep the first panes.
  void SetPaneCount(int count);
  int PaneCount() const { return static_cast<int>(panes_.size()) + 1; }
  // Loads an indicator into a pane (>= 1) or, for pane 0, replaces the overlays with it.
  // False when the formula is unknown or does not compile (the pane keeps what it had).
  bool Load(int pane, const std::string& name);
  // Adds an overlay on the main pane. False as Load.
  bool AddOverlay(const std::string& name);
  void Remove(int pane);
  // Re-reads the parameters (after the parameter dialog or a reload) for the period.
  void Reload(int pane);
  std::string PaneIndicator(int pane) const;  // "" = none; pane 0: the first overlay
  std::vector<std::string> Overlays() const;
  std::vector<std::string> PaneIndicators() const;  // panes 1.. in order
  const formula::Indicator* Indicator(int pane, std::size_t overlay = 0) const;

  // The chart's period (parameters may depend on it) and, for the time-share chart, the
  // contract multiplier of its average price line (0: no line).
  void SetPeriod(const ChartPeriod& period) { period_ = period; }
  void SetAverageLine(bool on, double multiplier);

  // Computes everything over bars[0, count) / the bars from firstChanged on.
  void Compute(const DC_KData* bars, std::size_t count);
  void Update(const DC_KData* bars, std::size_t count, std::size_t firstChanged);

  // What pane p shows (0: the overlays and the average line).
  candlechart::PaneContent Content(int pane) const;

 private:
  struct Slot {
    std::string name;
    std::unique_ptr<formula::Indicator> indicator;
  };
  bool Make(const std::string& name, Slot* slot) const;
  void AppendSeries(const Slot& slot, candlechart::PaneContent* content) const;
  std::string Title(const Slot& slot) const;

  FormulaManager* manager_;
  ChartPeriod period_;
  std::vector<Slot> overlays_;
  std::vector<Slot> panes_;  // pane 1 is panes_[0]
  const DC_KData* bars_ = nullptr;
  std::size_t count_ = 0;
  bool averageLine_ = false;
  double multiplier_ = 1;
  std::vector<double> average_;
};

// A formula output as a chart series.
candlechart::ChartSeries ToChartSeries(const formula::Output& out);

}  // namespace tarn
