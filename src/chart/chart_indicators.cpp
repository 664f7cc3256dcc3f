#include "chart/chart_indicators.h"

#include <cmath>
#include <limits>

#include "libs/indicators/formula_manager.h"
#include "data/quote_records.h"
#include "platform/text.h"

namespace tarn {

namespace cc = candlechart;

ChartIndicators::ChartIndicators(FormulaManager* manager) : manager_(manager) {}

std::vector<std::string> ChartIndicators::DefaultPanes(int paneCount, bool timeShare) {
  static const char* const kOrder[] = {"VOL", "MACD", "KDJ", "RSI", "BOLL"};
  std::vector<std::string> out;
  for (int i = 1; i < paneCount && i <= 5; ++i) out.push_back(timeShare && i > 1 ? std::string() : kOrder[i - 1]);
  return out;
}

std::vector<std::string> ChartIndicators::DefaultOverlays(bool timeShare) {
  if (timeShare) return {};
  return {"MA"};
}

void ChartIndicators::SetPaneCount(int count) {
  count = std::clamp(count, 1, 6);
  panes_.resize(static_cast<std::size_t>(count - 1));
}

bool ChartIndicators::Make(const std::string& name, Slot* slot) const {
  formula::FormulaDef def;
  if (!manager_ || !manager_->Find(name, &def)) return false;
  std::unique_ptr<formula::Indicator> ind =
      manager_->Compute(def.name, bars_, count_, manager_->ParamsFor(def.name, period_.kind, period_.multiplier));
  if (!ind) return false;
  slot->name = def.name;
  slot->indicator = std::move(ind);
  return true;
}

bool ChartIndicators::Load(int pane, const std::string& name) {
  Slot slot;
  if (!Make(name, &slot)) return false;
  if (pane <= 0) {
    overlays_.clear();
    overlays_.push_back(std::move(slot));
    return true;
  }
  if (pane > static_cast<int>(panes_.size())) return false;
  panes_[static_cast<std::size_t>(pane - 1)] = std::move(slot);
  return true;
}

bool ChartIndicators::AddOverlay(const std::string& name) {
  Slot slot;
  if (!Make(name, &slot)) return false;
  for (Slot& s : overlays_) {
    if (EqualsNoCase(s.name, slot.name)) {
      s = std::move(slot);
      return true;
    }
  }
  overlays_.push_back(std::move(slot));
  return true;
}

void ChartIndicators::Remove(int pane) {
  if (pane <= 0) overlays_.clear();
  else if (pane <= static_cast<int>(panes_.size())) panes_[static_cast<std::size_t>(pane - 1)] = Slot{};
}

void ChartIndicators::Reload(int pane) {
  auto reload = [this](Slot& s) {
    if (s.name.empty()) return;
    Slot fresh;
    if (Make(s.name, &fresh)) s = std::move(fresh);
  };
  if (pane <= 0) {
    for (Slot& s : overlays_) reload(s);
  } else if (pane <= static_cast<int>(panes_.size())) {
    reload(panes_[static_cast<std::size_t>(pane - 1)]);
  }
}

std::string ChartIndicators::PaneIndicator(int pane) const {
  if (pane <= 0) return overlays_.empty() ? std::string() : overlays_.front().name;
  if (pane > static_cast<int>(panes_.size())) return std::string();
  return panes_[static_cast<std::size_t>(pane - 1)].name;
}

std::vector<std::string> ChartIndicators::Overlays() const {
  std::vector<std::string> out;
  for (const Slot& s : overlays_) out.push_back(s.name);
  return out;
}

std::vector<std::string> ChartIndicators::PaneIndicators() const {
  std::vector<std::string> out;
  for (const Slot& s : panes_) out.push_back(s.name);
  return out;
}

const formula::Indicator* ChartIndicators::Indicator(int pane, std::size_t overlay) const {
  if (pane <= 0) return overlay < overlays_.size() ? overlays_[overlay].indicator.get() : nullptr;
  if (pane > static_cast<int>(panes_.size())) return nullptr;
  return panes_[static_cast<std::size_t>(pane - 1)].indicator.get();
}

void ChartIndicators::SetAverageLine(bool on, double multiplier) {
  averageLine_ = on;
  multiplier_ = multiplier > 0 ? multiplier : 1;
}

void ChartIndicators::Compute(const DC_KData* bars, std::size_t count) { Update(bars, count, 0); }

void ChartIndicators::Update(const DC_KData* bars, std::size_t count, std::size_t firstChanged) {
  const bool full = firstChanged == 0 || firstChanged > count_;
  bars_ = bars;
  count_ = count;
  for (Slot* s : [&] {
         std::vector<Slot*> all;
         for (Slot& o : overlays_) all.push_back(&o);
         for (Slot& p : panes_) all.push_back(&p);
         return all;
       }()) {
    if (!s->indicator) continue;
    if (full) s->indicator->Compute(bars, count);
    else s->indicator->Update(bars, count, firstChanged);
  }
  if (averageLine_) {
    // The day's average price: money traded over lots traded, per unit of the contract.
    average_.resize(count);
    double money = 0, lots = 0;
    for (std::size_t i = 0; i < count; ++i) {
      money += bars[i].amount;
      lots += bars[i].volume;
      average_[i] = lots > 0 && money > 0 ? money / lots / multiplier_ : std::numeric_limits<double>::quiet_NaN();
    }
  } else {
    average_.clear();
  }
}

cc::ChartSeries ToChartSeries(const formula::Output& out) {
  cc::ChartSeries s;
  if (out.info) {
    s.name = out.info->name;
    const formula::LineStyle& st = out.info->style;
    switch (st.kind) {
      case formula::DrawKind::Line: s.kind = cc::SeriesKind::Line; break;
      case formula::DrawKind::Stick: s.kind = cc::SeriesKind::Stick; break;
      case formula::DrawKind::ColorStick: s.kind = cc::SeriesKind::ColorStick; break;
      case formula::DrawKind::VolStick: s.kind = cc::SeriesKind::VolStick; break;
      case formula::DrawKind::LineStick: s.kind = cc::SeriesKind::LineStick; break;
      case formula::DrawKind::CircleDot: s.kind = cc::SeriesKind::CircleDot; break;
      case formula::DrawKind::PointDot: s.kind = cc::SeriesKind::PointDot; break;
      case formula::DrawKind::CrossDot: s.kind = cc::SeriesKind::CrossDot; break;
      case formula::DrawKind::Text: s.kind = cc::SeriesKind::Text; break;
      case formula::DrawKind::StickLine: s.kind = cc::SeriesKind::StickLine; break;
      case formula::DrawKind::Icon: s.kind = cc::SeriesKind::Icon; break;
      case formula::DrawKind::PartLine: s.kind = cc::SeriesKind::PartLine; break;
    }
    s.dash = st.dash == formula::LineDash::Dot ? cc::Dash::Dot : st.dash == formula::LineDash::Dash ? cc::Dash::Dash
                                                                                                   : cc::Dash::Solid;
    s.hasColor = st.hasColor;
    s.color = st.color;
    s.thickness = std::max(1, st.thickness);
    s.noDraw = st.noDraw;
    s.text = out.info->text;
    // Drawing statements are not listed in the title.
    if (s.kind == cc::SeriesKind::Text || s.kind == cc::SeriesKind::Icon || s.kind == cc::SeriesKind::StickLine ||
        s.kind == cc::SeriesKind::PartLine)
      s.name.clear();
  }
  s.values.assign(out.values.begin(), out.values.end());
  s.second.assign(out.second.begin(), out.second.end());
  s.colors.assign(out.colors.begin(), out.colors.end());
  s.width = out.width;
  s.empty = out.empty;
  s.icon = static_cast<int>(out.icon);
  return s;
}

std::string ChartIndicators::Title(const Slot& slot) const {
  std::string t = slot.name;
  if (!slot.indicator || slot.indicator->Params().empty()) return t;
  t += '(';
  const std::vector<double>& params = slot.indicator->Params();
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (i) t += ',';
    t += Format("%g", params[i]);
  }
  t += ')';
  return t;
}

void ChartIndicators::AppendSeries(const Slot& slot, cc::PaneContent* content) const {
  if (!slot.indicator) return;
  for (std::size_t i = 0; i < slot.indicator->OutputCount(); ++i)
    content->series.push_back(ToChartSeries(slot.indicator->GetOutput(i)));
}

cc::PaneContent ChartIndicators::Content(int pane) const {
  cc::PaneContent c;
  if (pane <= 0) {
    for (const Slot& s : overlays_) {
      if (!c.title.empty()) c.title += ' ';
      c.title += Title(s);
      AppendSeries(s, &c);
    }
    if (averageLine_ && !average_.empty()) {
      cc::ChartSeries avg;
      avg.name = TXT("均价");
      avg.hasColor = true;
      avg.color = 0x00FFFF;  // yellow
      avg.values = average_;
      c.series.push_back(std::move(avg));
    }
    return c;
  }
  if (pane > static_cast<int>(panes_.size())) return c;
  const Slot& s = panes_[static_cast<std::size_t>(pane - 1)];
  c.title = Title(s);
  AppendSeries(s, &c);
  return c;
}

}  // namespace tarn
