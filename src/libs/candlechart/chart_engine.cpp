#include "libs/candlechart/chart_engine.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

#include "platform/text.h"

namespace tarn::candlechart {

namespace {

constexpr double kMinSpacing = 1.0;
constexpr double kMaxSpacing = 48.0;
constexpr double kZoomFactor = 1.25;
constexpr int kHitSlop = 5;

bool Valid(double v) { return std::isfinite(v); }

// A coordinate as whole pixels, kept within a range any int holds (a far-off price maps to a
// far-off but finite pixel).
int Px(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(v, -1e7, 1e7));
}

// A step of 1, 2 or 5 times a power of ten near `raw`.
double NiceStep(double raw) {
  if (!(raw > 0) || !std::isfinite(raw)) return 1;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  const double m = raw / p;
  if (m <= 1) return p;
  if (m <= 2) return 2 * p;
  if (m <= 5) return 5 * p;
  return 10 * p;
}

float DistanceToSegment(float px, float py, float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1, dy = y2 - y1;
  const float len2 = dx * dx + dy * dy;
  float t = len2 > 0 ? ((px - x1) * dx + (py - y1) * dy) / len2 : 0;
  t = std::clamp(t, 0.0f, 1.0f);
  const float cx = x1 + t * dx - px, cy = y1 + t * dy - py;
  return std::sqrt(cx * cx + cy * cy);
}

// The part of the line through (x1,y1)-(x2,y2) from (x1,y1) on (ray) or both ways, cut to the
// box [0,w]x[top,bottom].
void Extend(float x1, float y1, float& x2, float& y2, float& sx, float& sy, bool bothWays, float w) {
  sx = x1;
  sy = y1;
  const float dx = x2 - x1, dy = y2 - y1;
  if (dx == 0 && dy == 0) return;
  // Far enough along the direction to leave any plot; the painter clips.
  const float scale = 4.0f * (w + 4000.0f) / std::max(std::fabs(dx), std::fabs(dy));
  x2 = x1 + dx * scale;
  y2 = y1 + dy * scale;
  if (bothWays) {
    sx = x1 - dx * scale;
    sy = y1 - dy * scale;
  }
}

}  // namespace

int DrawKindPoints(int kind) {
  switch (kind) {
    case kDrawHorizontal: case kDrawVertical: case kDrawIcon: case kDrawText: return 1;
    case kDrawLine: case kDrawRay: case kDrawSegment: case kDrawArrow: case kDrawRectangle: case kDrawGolden:
    case kDrawPercent: case kDrawSpeedLines: case kDrawGannFan: case kDrawMeasure: return 2;
    case kDrawChannel: case kDrawTriangle: return 3;
    default: return 0;
  }
}

void ChartLayer::Clear() {
  rects.clear();
  candles.clear();
  lines.clear();
  polylines.clear();
  markers.clear();
  texts.clear();
}

bool ChartLayer::Empty() const {
  return rects.empty() && candles.empty() && lines.empty() && polylines.empty() && markers.empty() && texts.empty();
}

ChartEngine* CreateChartEngine() { return new ChartEngine; }
void DestroyChartEngine(ChartEngine* engine) { delete engine; }

ChartEngine::ChartEngine() { panes_.resize(1); }

// ---- creation and settings ------------------------------------------------------------------------

void ChartEngine::Create(const std::string& text, int displayMode, int axisMode) {
  text_ = text;
  displayMode_ = displayMode;
  axisMode_ = axisMode;
  full_ = true;
}

void ChartEngine::Configure(int64_t startTime, bool inverted, int paneCount, bool timedBars) {
  startTime_ = startTime;
  inverted_ = inverted;
  timedBars_ = timedBars;
  SetPaneCount(paneCount);
  full_ = true;
}

void ChartEngine::SetColors(const ChartColors& colors) {
  colors_ = colors;
  full_ = true;
}

void ChartEngine::SetFontPixels(int pixels) {
  fontPixels_ = std::clamp(pixels, 8, 40);
  full_ = true;
}

void ChartEngine::SetTextMeasure(std::function<int(const std::string&)> measure) {
  measure_ = std::move(measure);
  full_ = true;
}

void ChartEngine::SetRightBlank(int pixels) {
  rightBlank_ = std::clamp(pixels, 0, 400);
  full_ = true;
}

void ChartEngine::SetInverted(bool on) {
  inverted_ = on;
  full_ = true;
}

void ChartEngine::SetPaneCount(int count) {
  count = std::clamp(count, 1, 6);
  panes_.resize(static_cast<std::size_t>(count));
  panes_[0].weight = count == 1 ? 1 : (count <= 3 ? 3 : 2);
  for (std::size_t i = 1; i < panes_.size(); ++i) panes_[i].weight = 1;
  full_ = true;
}

int ChartEngine::Measure(const std::string& s) const {
  if (measure_) return measure_(s);
  // Latin characters about 0.6 of the font size wide, a GBK character (two bytes) one.
  int w = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) >= 0x80 && i + 1 < s.size()) {
      w += fontPixels_;
      ++i;
    } else {
      w += fontPixels_ * 6 / 10;
    }
  }
  return w;
}

// ---- data -----------------------------------------------------------------------------------------

void ChartEngine::SetInstrument(const std::string& title, int decimals, int periodKind, int periodSeconds) {
  title_ = title;
  decimals_ = std::clamp(decimals, 0, 8);
  periodKind_ = periodKind;
  periodSeconds_ = std::max(0, periodSeconds);
  full_ = true;
}

void ChartEngine::SetBars(std::vector<DC_KData> bars) {
  bars_ = std::move(bars);
  offset_ = std::clamp(offset_, 0, std::max(0, static_cast<int>(bars_.size()) - 1));
  if (cursorBar_ >= static_cast<int>(bars_.size())) cursorBar_ = static_cast<int>(bars_.size()) - 1;
  full_ = true;
}

void ChartEngine::UpdateBars(const std::vector<DC_KData>& bars, std::size_t firstChanged) {
  const std::size_t old = bars_.size();
  if (firstChanged > old || firstChanged > bars.size()) firstChanged = 0;
  bars_.resize(bars.size());
  std::copy(bars.begin() + static_cast<std::ptrdiff_t>(firstChanged), bars.end(),
            bars_.begin() + static_cast<std::ptrdiff_t>(firstChanged));
  // A chart scrolled back into history stays where the user left it when bars are appended.
  if (offset_ > 0 && bars.size() > old) offset_ += static_cast<int>(bars.size() - old);
  offset_ = std::clamp(offset_, 0, std::max(0, static_cast<int>(bars_.size()) - 1));
  full_ = true;
}

void ChartEngine::SetPaneContent(int pane, PaneContent content) {
  if (pane < 0 || pane >= PaneCount()) return;
  panes_[static_cast<std::size_t>(pane)].content = std::move(content);
  full_ = true;
}

const PaneContent& ChartEngine::Content(int pane) const {
  static const PaneContent kNone;
  if (pane < 0 || pane >= PaneCount()) return kNone;
  return panes_[static_cast<std::size_t>(pane)].content;
}

// ---- visible range ----------------------------------------------------------------------------------

void ChartEngine::SetBarSpacing(double pixels) {
  spacing_ = std::clamp(pixels, kMinSpacing, kMaxSpacing);
  full_ = true;
}

void ChartEngine::Zoom(int steps) {
  double s = spacing_;
  for (int i = 0; i < std::abs(steps); ++i) s = steps > 0 ? s * kZoomFactor : s / kZoomFactor;
  // Snap near-whole spacings so that repeated zooming in and out comes back to the same one.
  if (std::fabs(s - std::round(s)) < 0.05) s = std::round(s);
  SetBarSpacing(s);
}

void ChartEngine::Scroll(int bars) {
  offset_ = std::clamp(offset_ + bars, 0, std::max(0, static_cast<int>(bars_.size()) - 1));
  full_ = true;
}

void ChartEngine::ComputeVisible() {
  const int n = static_cast<int>(bars_.size());
  if (n == 0) {
    first_ = last_ = -1;
    return;
  }
  if (displayMode_ == 1) {
    // The time-share chart shows the whole day: at least four hours wide.
    first_ = 0;
    last_ = n - 1;
    return;
  }
  const int room = std::max(1, static_cast<int>((plotRight_ - rightBlank_) / spacing_));
  last_ = std::clamp(n - 1 - offset_, 0, n - 1);
  first_ = std::max(0, last_ - room + 1);
}

float ChartEngine::BarX(int bar) const {
  if (displayMode_ == 1) {
    const double step = static_cast<double>(plotRight_ - 4) / std::max<std::size_t>(bars_.size(), 240);
    return static_cast<float>(2 + (bar + 0.5) * step);
  }
  const int lastIndex = static_cast<int>(bars_.size()) - 1 - offset_;
  return static_cast<float>(plotRight_ - rightBlank_ - (lastIndex - bar) * spacing_ - spacing_ / 2);
}

int ChartEngine::BarAt(int x) const {
  if (first_ < 0 || x < 0 || x >= plotRight_) return -1;
  int bar;
  if (displayMode_ == 1) {
    const double step = static_cast<double>(plotRight_ - 4) / std::max<std::size_t>(bars_.size(), 240);
    bar = static_cast<int>(std::floor((x - 2) / step));
  } else {
    const int lastIndex = static_cast<int>(bars_.size()) - 1 - offset_;
    const double fromRight = (plotRight_ - rightBlank_) - x;
    bar = lastIndex - static_cast<int>(std::floor(fromRight / spacing_));
  }
  if (bar < first_ || bar > last_) return -1;
  return bar;
}

int ChartEngine::BarOfTime(int64_t t) const {
  auto it = std::lower_bound(bars_.begin(), bars_.end(), t, [](const DC_KData& b, int64_t v) { return b.time < v; });
  if (it == bars_.end()) return static_cast<int>(bars_.size()) - 1;
  if (it->time != t && it != bars_.begin()) --it;
  return static_cast<int>(it - bars_.begin());
}

float ChartEngine::TimeX(int64_t t) const {
  if (bars_.empty()) return 0;
  const int64_t lastTime = bars_.back().time;
  if (t > lastTime && periodSeconds_ > 0) {
    // A point right of the last bar: as many bars further as the period's length allows.
    const double extra = static_cast<double>(t - lastTime) / periodSeconds_;
    return static_cast<float>(BarX(static_cast<int>(bars_.size()) - 1) + extra * spacing_);
  }
  return BarX(BarOfTime(t));
}

int ChartEngine::PaneAt(int y) const {
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const int end = i + 1 < boxes_.size() ? boxes_[i + 1].titleTop : timeAxisTop_;
    if (y >= boxes_[i].titleTop && y < end) return static_cast<int>(i);
  }
  return -1;
}

float ChartEngine::ValueY(int pane, double value) const {
  if (pane < 0 || pane >= static_cast<int>(boxes_.size())) return 0;
  const PaneBox& b = boxes_[static_cast<std::size_t>(pane)];
  const double span = b.max - b.min;
  const double t = span > 0 ? (value - b.min) / span : 0.5;
  const double h = b.bottom - b.top;
  if (pane == 0 && inverted_) return static_cast<float>(b.top + t * h);
  return static_cast<float>(b.bottom - t * h);
}

double ChartEngine::ValueAt(int pane, int y) const {
  if (pane < 0 || pane >= static_cast<int>(boxes_.size())) return 0;
  const PaneBox& b = boxes_[static_cast<std::size_t>(pane)];
  const double h = std::max(1, b.bottom - b.top);
  double t = (b.bottom - y) / h;
  if (pane == 0 && inverted_) t = (y - b.top) / h;
  return b.min + t * (b.max - b.min);
}

void ChartEngine::ComputeRanges() {
  for (std::size_t p = 0; p < panes_.size(); ++p) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    const bool main = p == 0;
    if (main && first_ >= 0) {
      for (int i = first_; i <= last_; ++i) {
        const DC_KData& b = bars_[static_cast<std::size_t>(i)];
        if (displayMode_ == 1) {
          if (b.close > 1e-5) lo = std::min(lo, double(b.close)), hi = std::max(hi, double(b.close));
          continue;
        }
        if (b.low > 1e-5) lo = std::min(lo, double(b.low));
        if (b.high > 1e-5) hi = std::max(hi, double(b.high));
      }
    }
    bool sticks = false;
    for (const ChartSeries& s : panes_[p].content.series) {
      if (s.noDraw || first_ < 0) continue;
      if (s.kind == SeriesKind::Stick || s.kind == SeriesKind::ColorStick || s.kind == SeriesKind::VolStick ||
          s.kind == SeriesKind::LineStick)
        sticks = true;
      const int end = std::min<int>(last_, static_cast<int>(s.values.size()) - 1);
      for (int i = first_; i <= end; ++i) {
        const double v = s.values[static_cast<std::size_t>(i)];
        if (!Valid(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        if (s.kind == SeriesKind::StickLine && static_cast<std::size_t>(i) < s.second.size() &&
            Valid(s.second[static_cast<std::size_t>(i)])) {
          lo = std::min(lo, s.second[static_cast<std::size_t>(i)]);
          hi = std::max(hi, s.second[static_cast<std::size_t>(i)]);
        }
      }
    }
    if (sticks && !main) lo = std::min(lo, 0.0), hi = std::max(hi, 0.0);
    if (main && displayMode_ == 1 && reference_ > 1e-5 && lo <= hi) {
      // Symmetric around the reference, so that its line sits in the middle.
      const double d = std::max({std::fabs(hi - reference_), std::fabs(lo - reference_), reference_ * 0.002});
      lo = reference_ - d;
      hi = reference_ + d;
    }
    if (!(lo <= hi)) lo = 0, hi = 1;
    if (hi - lo < 1e-9) {
      const double d = std::max(std::fabs(hi) * 0.01, 1e-4);
      lo -= d;
      hi += d;
    }
    const double pad = (hi - lo) * (main ? 0.05 : 0.08);
    PaneBox& box = boxes_[p];
    box.min = (sticks && !main && lo == 0) ? 0 : lo - pad;
    box.max = hi + pad;
  }
}

void ChartEngine::Resize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  full_ = true;
}

void ChartEngine::Layout() {
  // The price axis is wide enough for the widest price.
  double widest = 0;
  for (int i = std::max(0, first_); i >= 0 && i <= last_ && i < static_cast<int>(bars_.size()); ++i)
    widest = std::max(widest, static_cast<double>(bars_[static_cast<std::size_t>(i)].high));
  if (!bars_.empty()) widest = std::max(widest, static_cast<double>(bars_.back().high));
  axisWidth_ = std::max(56, Measure(Format("%.*f", decimals_, widest * 10)) + 12);
  plotRight_ = std::max(10, width_ - axisWidth_);
  const int timeAxisHeight = fontPixels_ + 8;
  timeAxisTop_ = std::max(0, height_ - timeAxisHeight);
  const int titleHeight = fontPixels_ + 6;
  double total = 0;
  for (const Pane& p : panes_) total += p.weight;
  boxes_.assign(panes_.size(), PaneBox{});
  double y = 0;
  for (std::size_t i = 0; i < panes_.size(); ++i) {
    const double h = timeAxisTop_ * panes_[i].weight / total;
    PaneBox& b = boxes_[i];
    b.titleTop = Px(std::lround(y));
    b.top = b.titleTop + titleHeight;
    y += h;
    b.bottom = std::max(b.top + 1, Px(std::lround(y)) - 3);
  }
  ComputeVisible();
  ComputeRanges();
}

// ---- formatting --------------------------------------------------------------------------------------

std::string ChartEngine::FormatValue(int pane, double v) const {
  if (!Valid(v)) return "--";
  if (pane == 0) return Format("%.*f", decimals_, v);
  const double a = std::fabs(v);
  if (a < 1e-12) return "0";
  if (a >= 1e8) return Format("%.2f%s", v / 1e8, TXT("亿"));
  if (a >= 1e5) return Format("%.2f%s", v / 1e4, TXT("万"));
  if (a >= 1000 || std::fabs(v - std::round(v)) < 1e-9) return Format("%.0f", v);
  return Format("%.*f", a >= 100 ? 1 : (a >= 1 ? 2 : 3), v);
}

std::string ChartEngine::FormatTime(int64_t t, bool full) const {
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  char buf[40];
  const char* fmt;
  if (displayMode_ == 1 || (periodKind_ >= 0 && periodKind_ <= 4)) {
    if (!timedBars_ || periodKind_ == 1 || periodKind_ == 2) fmt = full ? "%m/%d %H:%M:%S" : "%H:%M:%S";
    else fmt = full ? "%m/%d %H:%M" : "%H:%M";
  } else if (periodKind_ == 7 || periodKind_ == 8) {
    fmt = "%Y/%m";
  } else {
    fmt = full ? "%Y/%m/%d" : "%m/%d";
  }
  std::strftime(buf, sizeof buf, fmt, &tm);
  return buf;
}

std::string ChartEngine::PaneTitle(int pane, int bar) const {
  if (pane < 0 || pane >= PaneCount()) return std::string();
  const PaneContent& c = panes_[static_cast<std::size_t>(pane)].content;
  std::string out;
  if (pane == 0) {
    out = title_;
    if (bar >= 0 && bar < static_cast<int>(bars_.size())) {
      const DC_KData& b = bars_[static_cast<std::size_t>(bar)];
      if (displayMode_ == 1)
        out += Format(TXT("  %s 价:%.*f 量:%d"), FormatTime(b.time, false), decimals_, double(b.close), b.volume);
      else
        out += Format(TXT("  %s 开:%.*f 高:%.*f 低:%.*f 收:%.*f 量:%d"), FormatTime(b.time, true), decimals_,
                      double(b.open), decimals_, double(b.high), decimals_, double(b.low), decimals_, double(b.close),
                      b.volume);
    }
    if (!c.title.empty()) out += "  " + c.title;
  } else {
    out = c.title;
  }
  for (const ChartSeries& s : c.series) {
    if (s.name.empty()) continue;
    double v = std::numeric_limits<double>::quiet_NaN();
    if (bar >= 0 && static_cast<std::size_t>(bar) < s.values.size()) v = s.values[static_cast<std::size_t>(bar)];
    out += "  " + s.name + ":" + FormatValue(pane, v);
  }
  return out;
}

int ChartEngine::TitleEnd(int pane) const {
  if (pane <= 0) return 0;
  const PaneContent& c = panes_[static_cast<std::size_t>(pane)].content;
  if (c.title.empty()) return 0;
  return 4 + Measure(c.title);
}

// ---- scene ----------------------------------------------------------------------------------------

const ChartScene& ChartEngine::Scene() {
  if (full_) {
    Layout();
    scene_.width = width_;
    scene_.height = height_;
    scene_.background = colors_.background;
    scene_.fontPixels = fontPixels_;
    scene_.base.Clear();
    BuildBase(scene_.base);
    scene_.objects.Clear();
    BuildObjects(scene_.objects);
    if (!boxes_.empty())
      scene_.objectClip = {0, boxes_[0].top, plotRight_, boxes_[0].bottom - boxes_[0].top, 0, false};
    full_ = false;
    scene_.cursor.Clear();
    BuildCursor(scene_.cursor);
  }
  return scene_;
}

const ChartScene& ChartEngine::CursorScene() {
  if (full_) return Scene();
  scene_.cursor.Clear();
  BuildCursor(scene_.cursor);
  return scene_;
}

void ChartEngine::BuildBase(ChartLayer& layer) {
  // Frames: the plot's right edge, the pane separators, the time axis.
  layer.lines.push_back({float(plotRight_), 0, float(plotRight_), float(timeAxisTop_), colors_.axis, 1, Dash::Solid});
  layer.lines.push_back({0, float(timeAxisTop_), float(width_), float(timeAxisTop_), colors_.axis, 1, Dash::Solid});
  for (std::size_t p = 1; p < boxes_.size(); ++p)
    layer.lines.push_back({0, float(boxes_[p].titleTop), float(width_), float(boxes_[p].titleTop), colors_.axis, 1,
                           Dash::Solid});
  for (int p = 0; p < PaneCount(); ++p) BuildPriceAxis(layer, p);
  BuildTimeAxis(layer);
  if (displayMode_ == 1) BuildTimeShare(layer);
  else BuildCandles(layer);
  for (int p = 0; p < PaneCount(); ++p) {
    const auto& series = panes_[static_cast<std::size_t>(p)].content.series;
    for (std::size_t i = 0; i < series.size(); ++i) {
      const Colorref color = series[i].hasColor ? series[i].color : colors_.lines[i % colors_.lines.size()];
      BuildSeries(layer, p, series[i], color);
    }
  }
  if (lastPriceLine_ && !bars_.empty()) {
    const float y = ValueY(0, bars_.back().close);
    layer.lines.push_back({0, y, float(plotRight_), y, colors_.hint, 1, Dash::Dot});
  }
  BuildOrderLines(layer);
  if (bars_.empty()) {
    layer.texts.push_back({plotRight_ / 2, boxes_.empty() ? height_ / 2 : (boxes_[0].top + boxes_[0].bottom) / 2,
                           TXT("暂无数据"), colors_.scale, 2, false, 0});
  }
}

void ChartEngine::BuildPriceAxis(ChartLayer& layer, int pane) {
  const PaneBox& b = boxes_[static_cast<std::size_t>(pane)];
  const int h = b.bottom - b.top;
  if (h < 8) return;
  const int labels = std::max(1, h / (fontPixels_ * 3));
  const double step = NiceStep((b.max - b.min) / labels);
  for (double v = std::ceil(b.min / step) * step; v <= b.max; v += step) {
    const float y = ValueY(pane, v);
    if (y < b.top + fontPixels_ / 2 || y > b.bottom) continue;
    layer.lines.push_back({0, y, float(plotRight_), y, colors_.axis, 1, Dash::Dot});
    layer.lines.push_back({float(plotRight_), y, float(plotRight_ + 4), y, colors_.axis, 1, Dash::Solid});
    layer.texts.push_back({plotRight_ + 6, Px(y), FormatValue(pane, std::fabs(v) < step / 1e6 ? 0 : v),
                           colors_.scale, 0, false, 0});
  }
  if (pane == 0 && displayMode_ == 1 && reference_ > 1e-5) {
    const float y = ValueY(0, reference_);
    layer.lines.push_back({0, y, float(plotRight_), y, colors_.flat, 1, Dash::Dash});
  }
}

void ChartEngine::BuildTimeAxis(ChartLayer& layer) {
  if (first_ < 0) return;
  const int labelWidth = Measure(FormatTime(bars_[static_cast<std::size_t>(last_)].time, false)) + 24;
  float nextX = -1e9f;
  int lastDay = -1;
  for (int i = first_; i <= last_; ++i) {
    const float x = BarX(i);
    if (x < nextX) continue;
    const int64_t t = bars_[static_cast<std::size_t>(i)].time;
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    const bool full = lastDay < 0 || (periodKind_ < 5 && tm.tm_yday != lastDay);
    lastDay = tm.tm_yday;
    const std::string text = FormatTime(t, full && i == first_);
    layer.lines.push_back({x, float(timeAxisTop_), x, float(timeAxisTop_ + 4), colors_.axis, 1, Dash::Solid});
    layer.texts.push_back({Px(x) + 2, timeAxisTop_ + 4 + fontPixels_ / 2, text, colors_.scale, 0,
                           false, 0});
    nextX = x + std::max(labelWidth, Measure(text) + 16);
  }
}

void ChartEngine::BuildCandles(ChartLayer& layer) {
  if (first_ < 0) return;
  SceneCandles up, down;
  up.color = colors_.candleUp;
  down.color = colors_.candleDown;
  float body = static_cast<float>(std::max(1.0, std::floor(spacing_ * 0.7)));
  if (static_cast<int>(body) % 2 == 0 && body > 2) body -= 1;
  up.bodyWidth = down.bodyWidth = body;
  up.hollow = candleStyle_ == 0 && body >= 3;
  const std::size_t n = static_cast<std::size_t>(last_ - first_ + 1);
  for (SceneCandles* c : {&up, &down}) {
    c->xs.reserve(n);
    c->open.reserve(n);
    c->close.reserve(n);
    c->high.reserve(n);
    c->low.reserve(n);
  }
  for (int i = first_; i <= last_; ++i) {
    const DC_KData& b = bars_[static_cast<std::size_t>(i)];
    if (b.high < 1e-5) continue;
    SceneCandles& c = b.close >= b.open ? up : down;
    c.xs.push_back(BarX(i));
    c.open.push_back(ValueY(0, b.open));
    c.close.push_back(ValueY(0, b.close));
    c.high.push_back(ValueY(0, b.high));
    c.low.push_back(ValueY(0, b.low));
  }
  layer.candles.push_back(std::move(up));
  layer.candles.push_back(std::move(down));
  // The highest and lowest prices in sight.
  int hiBar = first_, loBar = first_;
  for (int i = first_; i <= last_; ++i) {
    if (bars_[static_cast<std::size_t>(i)].high > bars_[static_cast<std::size_t>(hiBar)].high) hiBar = i;
    if (bars_[static_cast<std::size_t>(i)].low < bars_[static_cast<std::size_t>(loBar)].low ||
        bars_[static_cast<std::size_t>(loBar)].low < 1e-5)
      loBar = i;
  }
  const auto mark = [&](int bar, double price, bool above) {
    const float x = BarX(bar);
    const float y = ValueY(0, price);
    const bool right = x < plotRight_ / 2;
    const std::string text = Format("%.*f", decimals_, price);
    const int ty = Px(y) + ((above != inverted_) ? -fontPixels_ / 2 - 2 : fontPixels_ / 2 + 2);
    layer.texts.push_back({Px(x) + (right ? 6 : -6), ty, text, colors_.text, uint8_t(right ? 0 : 1),
                           false, 0});
  };
  mark(hiBar, bars_[static_cast<std::size_t>(hiBar)].high, true);
  mark(loBar, bars_[static_cast<std::size_t>(loBar)].low, false);
}

void ChartEngine::BuildTimeShare(ChartLayer& layer) {
  if (first_ < 0) return;
  ScenePolyline line;
  line.color = colors_.text;
  line.xs.reserve(static_cast<std::size_t>(last_ - first_ + 1));
  line.ys.reserve(line.xs.capacity());
  for (int i = first_; i <= last_; ++i) {
    const DC_KData& b = bars_[static_cast<std::size_t>(i)];
    line.xs.push_back(BarX(i));
    line.ys.push_back(b.close > 1e-5 ? ValueY(0, b.close) : std::numeric_limits<float>::quiet_NaN());
  }
  layer.polylines.push_back(std::move(line));
  // Percent texts of the axis's ends against the reference.
  if (reference_ > 1e-5 && !boxes_.empty()) {
    const PaneBox& b = boxes_[0];
    const double top = inverted_ ? b.min : b.max;
    const double bottom = inverted_ ? b.max : b.min;
    layer.texts.push_back({2, b.top + fontPixels_ / 2, Format("%+.2f%%", (top - reference_) / reference_ * 100),
                           colors_.rising, 0, false, 0});
    layer.texts.push_back({2, b.bottom - fontPixels_ / 2, Format("%+.2f%%", (bottom - reference_) / reference_ * 100),
                           colors_.falling, 0, false, 0});
  }
}

void ChartEngine::BuildSeries(ChartLayer& layer, int pane, const ChartSeries& s, Colorref color) {
  if (s.noDraw || first_ < 0) return;
  const int end = std::min<int>(last_, static_cast<int>(s.values.size()) - 1);
  if (end < first_) return;
  const uint8_t thick = static_cast<uint8_t>(std::clamp(s.thickness, 1, 9));
  const PaneBox& box = boxes_[static_cast<std::size_t>(pane)];
  const float zeroY = std::clamp(ValueY(pane, 0), float(box.top), float(box.bottom));
  const auto value = [&](int i) { return s.values[static_cast<std::size_t>(i)]; };
  switch (s.kind) {
    case SeriesKind::Line:
    case SeriesKind::LineStick: {
      ScenePolyline pl;
      pl.color = color;
      pl.thickness = thick;
      pl.dash = s.dash;
      pl.xs.reserve(static_cast<std::size_t>(end - first_ + 1));
      pl.ys.reserve(pl.xs.capacity());
      for (int i = first_; i <= end; ++i) {
        const double v = value(i);
        pl.xs.push_back(BarX(i));
        pl.ys.push_back(Valid(v) ? ValueY(pane, v) : std::numeric_limits<float>::quiet_NaN());
      }
      layer.polylines.push_back(std::move(pl));
      if (s.kind == SeriesKind::Line) break;
      [[fallthrough]];
    }
    case SeriesKind::Stick:
      for (int i = first_; i <= end; ++i)
        if (Valid(value(i))) layer.lines.push_back({BarX(i), zeroY, BarX(i), ValueY(pane, value(i)), color, thick, Dash::Solid});
      break;
    case SeriesKind::ColorStick:
      for (int i = first_; i <= end; ++i)
        if (Valid(value(i)))
          layer.lines.push_back({BarX(i), zeroY, BarX(i), ValueY(pane, value(i)),
                                 value(i) >= 0 ? colors_.rising : colors_.falling, thick, Dash::Solid});
      break;
    case SeriesKind::VolStick: {
      const int w = std::max(1, static_cast<int>(std::floor(spacing_ * 0.7)));
      for (int i = first_; i <= end; ++i) {
        if (!Valid(value(i)) || static_cast<std::size_t>(i) >= bars_.size()) continue;
        const DC_KData& b = bars_[static_cast<std::size_t>(i)];
        const bool upBar = b.close >= b.open;
        const float y = ValueY(pane, value(i));
        const int x = Px(std::lround(BarX(i))) - w / 2;
        if (w <= 2) {
          layer.lines.push_back({BarX(i), zeroY, BarX(i), y, upBar ? colors_.candleUp : colors_.candleDown, 1,
                                 Dash::Solid});
        } else {
          layer.rects.push_back({x, Px(y), w, std::max(1, Px(zeroY - y)),
                                 upBar ? colors_.candleUp : colors_.candleDown, !(upBar && candleStyle_ == 0)});
        }
      }
      break;
    }
    case SeriesKind::CircleDot:
    case SeriesKind::PointDot:
    case SeriesKind::CrossDot: {
      const SceneMarker::Kind k = s.kind == SeriesKind::CircleDot ? SceneMarker::kCircle
                                  : s.kind == SeriesKind::PointDot ? SceneMarker::kPoint
                                                                    : SceneMarker::kCross;
      for (int i = first_; i <= end; ++i)
        if (Valid(value(i))) layer.markers.push_back({k, BarX(i), ValueY(pane, value(i)), 0, 0, 0, color});
      break;
    }
    case SeriesKind::Text:
      for (int i = first_; i <= end; ++i)
        if (Valid(value(i)))
          layer.texts.push_back({Px(BarX(i)), Px(ValueY(pane, value(i))), s.text, color, 2,
                                 false, 0});
      break;
    case SeriesKind::Icon:
      for (int i = first_; i <= end; ++i)
        if (Valid(value(i))) layer.markers.push_back({SceneMarker::kIcon, BarX(i), ValueY(pane, value(i)), 0, 0, s.icon, color});
      break;
    case SeriesKind::StickLine: {
      const double rel = s.width > 0 ? std::min(1.0, s.width / 10.0) : 0;
      const int w = std::max(1, static_cast<int>(std::floor(spacing_ * (rel > 0 ? rel : 0.1))));
      for (int i = first_; i <= end; ++i) {
        if (!Valid(value(i)) || static_cast<std::size_t>(i) >= s.second.size() ||
            !Valid(s.second[static_cast<std::size_t>(i)]))
          continue;
        const float y1 = ValueY(pane, value(i)), y2 = ValueY(pane, s.second[static_cast<std::size_t>(i)]);
        if (w <= 1) {
          layer.lines.push_back({BarX(i), y1, BarX(i), y2, color, thick, Dash::Solid});
        } else {
          layer.rects.push_back({Px(std::lround(BarX(i))) - w / 2, Px(std::min(y1, y2)), w,
                                 std::max(1, Px(std::fabs(y2 - y1))), color, s.empty == 0});
        }
      }
      break;
    }
    case SeriesKind::PartLine:
      for (int i = std::max(first_, 1); i <= end; ++i) {
        const double a = value(i - 1), b = value(i);
        if (!Valid(a) || !Valid(b)) continue;
        double c = static_cast<std::size_t>(i) < s.colors.size() ? s.colors[static_cast<std::size_t>(i)] : -1;
        if (!Valid(c)) continue;
        const Colorref segColor = c < 0 ? color : static_cast<Colorref>(c);
        layer.lines.push_back({BarX(i - 1), ValueY(pane, a), BarX(i), ValueY(pane, b), segColor, thick, s.dash});
      }
      break;
  }
}

// ---- drawn objects ---------------------------------------------------------------------------------

void ChartEngine::BuildObjects(ChartLayer& layer) {
  if (bars_.empty() || boxes_.empty()) return;
  for (std::size_t i = 0; i < objects_.size(); ++i) BuildObject(layer, objects_[i], static_cast<int>(i) == selected_);
  if (tool_ != 0 && !toolPoints_.empty()) {
    DrawObject preview;
    preview.kind = tool_;
    preview.points = toolPoints_;
    if (toolHoverValid_) preview.points.push_back(toolHover_);
    BuildObject(layer, preview, true);
  }
}

void ChartEngine::BuildObject(ChartLayer& layer, const DrawObject& o, bool selected) const {
  if (o.points.empty()) return;
  const PaneBox& box = boxes_[0];
  std::vector<float> xs, ys;
  for (const DrawPoint& p : o.points) {
    xs.push_back(TimeX(p.time));
    ys.push_back(ValueY(0, p.price));
  }
  const Colorref c = o.color;
  const uint8_t t = static_cast<uint8_t>(std::clamp(o.thickness, 1, 9));
  const auto line = [&](float x1, float y1, float x2, float y2) { layer.lines.push_back({x1, y1, x2, y2, c, t, o.dash}); };
  const auto text = [&](int x, int y, const std::string& s, uint8_t align) {
    layer.texts.push_back({x, y, s, c, align, false, 0});
  };
  const float right = float(plotRight_);
  const bool two = xs.size() >= 2;
  switch (o.kind) {
    case kDrawHorizontal:
      line(0, ys[0], right, ys[0]);
      text(plotRight_ - 4, Px(ys[0]) - fontPixels_ / 2 - 1, Format("%.*f", decimals_, o.points[0].price), 1);
      break;
    case kDrawVertical:
      line(xs[0], float(box.top), xs[0], float(timeAxisTop_));
      break;
    case kDrawLine:
    case kDrawRay:
      if (two) {
        float x2 = xs[1], y2 = ys[1], sx, sy;
        Extend(xs[0], ys[0], x2, y2, sx, sy, o.kind == kDrawLine, right);
        line(sx, sy, x2, y2);
      }
      break;
    case kDrawSegment:
    case kDrawArrow:
    case kDrawMeasure:
      if (!two) break;
      line(xs[0], ys[0], xs[1], ys[1]);
      if (o.kind == kDrawArrow) layer.markers.push_back({SceneMarker::kArrowHead, xs[1], ys[1], xs[1] - xs[0], ys[1] - ys[0], 0, c});
      if (o.kind == kDrawMeasure) {
        const int bars = BarOfTime(o.points[1].time) - BarOfTime(o.points[0].time);
        const double diff = o.points[1].price - o.points[0].price;
        const double pct = o.points[0].price != 0 ? diff / o.points[0].price * 100 : 0;
        text(Px(xs[1]) + 6, Px(ys[1]),
             Format(TXT("%d根 %+.*f (%+.2f%%)"), bars, decimals_, diff, pct), 0);
      }
      break;
    case kDrawChannel:
      if (!two) break;
      {
        float x2 = xs[1], y2 = ys[1], sx, sy;
        Extend(xs[0], ys[0], x2, y2, sx, sy, true, right);
        line(sx, sy, x2, y2);
        if (xs.size() >= 3) {
          // The parallel through the third point.
          const float slope = xs[1] != xs[0] ? (ys[1] - ys[0]) / (xs[1] - xs[0]) : 0;
          const float dy = ys[2] - (ys[0] + slope * (xs[2] - xs[0]));
          float px2 = xs[1], py2 = ys[1] + dy, psx, psy;
          Extend(xs[0], ys[0] + dy, px2, py2, psx, psy, true, right);
          line(psx, psy, px2, py2);
        }
      }
      break;
    case kDrawTriangle:
      for (std::size_t i = 0; i + 1 < xs.size(); ++i) line(xs[i], ys[i], xs[i + 1], ys[i + 1]);
      if (xs.size() >= 3) line(xs[2], ys[2], xs[0], ys[0]);
      break;
    case kDrawRectangle:
      if (!two) break;
      line(xs[0], ys[0], xs[1], ys[0]);
      line(xs[1], ys[0], xs[1], ys[1]);
      line(xs[1], ys[1], xs[0], ys[1]);
      line(xs[0], ys[1], xs[0], ys[0]);
      break;
    case kDrawGolden:
    case kDrawPercent:
      if (!two) break;
      {
        static const double kGolden[] = {0, 0.236, 0.382, 0.5, 0.618, 1, 1.618};
        static const double kPercent[] = {0, 0.25, 0.5, 0.75, 1};
        const double* levels = o.kind == kDrawGolden ? kGolden : kPercent;
        const int count = o.kind == kDrawGolden ? 7 : 5;
        const double a = o.points[0].price, b = o.points[1].price;
        const float x0 = std::min(xs[0], xs[1]);
        for (int i = 0; i < count; ++i) {
          const double price = b + (a - b) * levels[i];
          const float y = ValueY(0, price);
          line(x0, y, right, y);
          text(Px(x0) + 2, Px(y) - fontPixels_ / 2 - 1,
               Format("%.1f%%  %.*f", levels[i] * 100, decimals_, price), 0);
        }
      }
      break;
    case kDrawSpeedLines:
    case kDrawGannFan:
      if (!two) break;
      {
        const float dx = xs[1] - xs[0], dy = ys[1] - ys[0];
        static const float kSpeed[] = {1.0f, 2.0f / 3, 1.0f / 3};
        static const float kGann[] = {1, 0.5f, 2, 1.0f / 3, 3, 0.25f, 4, 0.125f, 8};
        const float* k = o.kind == kDrawSpeedLines ? kSpeed : kGann;
        const int count = o.kind == kDrawSpeedLines ? 3 : 9;
        for (int i = 0; i < count; ++i) {
          float x2 = xs[0] + dx, y2 = ys[0] + dy * k[i], sx, sy;
          if (o.kind == kDrawGannFan && k[i] > 1) x2 = xs[0] + dx / k[i], y2 = ys[0] + dy;
          Extend(xs[0], ys[0], x2, y2, sx, sy, false, right);
          line(sx, sy, x2, y2);
        }
      }
      break;
    case kDrawIcon:
      layer.markers.push_back({SceneMarker::kIcon, xs[0], ys[0], 0, 0, o.icon, c});
      break;
    case kDrawText:
      layer.texts.push_back({Px(xs[0]), Px(ys[0]), o.text.empty() ? std::string("T") : o.text,
                             c, 0, false, 0});
      break;
    default:
      break;
  }
  if (selected) {
    for (std::size_t i = 0; i < xs.size(); ++i)
      layer.rects.push_back({Px(xs[i]) - 3, Px(ys[i]) - 3, 6, 6, c, false});
  }
}

void ChartEngine::BuildOrderLines(ChartLayer& layer) {
  if (boxes_.empty()) return;
  const PaneBox& box = boxes_[0];
  for (std::size_t i = 0; i < orderLines_.size(); ++i) {
    const OrderLine& l = orderLines_[i];
    const bool dragging = static_cast<int>(i) == dragLine_ && dragMoved_;
    const double price = dragging ? dragPrice_ : l.price;
    const float y = ValueY(0, price);
    if (y < box.top || y > box.bottom) continue;
    Colorref c = l.kind == OrderLineKind::Position    ? colors_.positionLine
                 : l.kind == OrderLineKind::Condition ? colors_.conditionLine
                 : l.direction == 2                   ? colors_.sellLine
                                                      : colors_.buyLine;
    layer.lines.push_back({0, y, float(plotRight_), y, c, uint8_t(dragging ? 2 : 1),
                           l.kind == OrderLineKind::Position ? Dash::Solid : Dash::Dash});
    layer.texts.push_back({4, Px(y) - fontPixels_ / 2 - 2, l.label, colors_.background, 0, true, c});
    layer.texts.push_back({plotRight_ + 2, Px(y), Format("%.*f", decimals_, price), colors_.background, 0,
                           true, c});
  }
}

void ChartEngine::BuildCursor(ChartLayer& layer) {
  const int bar = cursorShown_ ? cursorBar_ : static_cast<int>(bars_.size()) - 1;
  // Titles: the main pane's in the title colour, the indicators' in the indicator name colour.
  for (int p = 0; p < PaneCount() && p < static_cast<int>(boxes_.size()); ++p) {
    const std::string t = PaneTitle(p, bar);
    if (t.empty()) continue;
    layer.texts.push_back({4, boxes_[static_cast<std::size_t>(p)].titleTop + (fontPixels_ + 6) / 2, t,
                           p == 0 ? colors_.text : colors_.indicatorName, 0, false, 0});
  }
  if (!cursorShown_ || cursorBar_ < 0 || boxes_.empty()) return;
  const float x = BarX(cursorBar_);
  layer.lines.push_back({x, float(boxes_[0].top), x, float(timeAxisTop_), colors_.text, 1, Dash::Dot});
  const int pane = PaneAt(cursorY_);
  if (pane >= 0 && cursorY_ >= boxes_[static_cast<std::size_t>(pane)].top &&
      cursorY_ <= boxes_[static_cast<std::size_t>(pane)].bottom) {
    layer.lines.push_back({0, float(cursorY_), float(plotRight_), float(cursorY_), colors_.text, 1, Dash::Dot});
    layer.texts.push_back({plotRight_ + 2, cursorY_, FormatValue(pane, ValueAt(pane, cursorY_)), colors_.background, 0,
                           true, colors_.text});
  }
  const std::string time = FormatTime(bars_[static_cast<std::size_t>(cursorBar_)].time, true);
  const int w = Measure(time);
  const int tx = std::clamp(Px(x) - w / 2, 0, std::max(0, plotRight_ - w));
  layer.texts.push_back({tx, timeAxisTop_ + 4 + fontPixels_ / 2, time, colors_.background, 0, true, colors_.text});
}

// ---- hit tests ---------------------------------------------------------------------------------------

DrawPoint ChartEngine::PointAt(int x, int y) const {
  DrawPoint p;
  if (bars_.empty()) return p;
  int bar = BarAt(x);
  if (bar < 0) {
    // Right of the last bar: a time further on by the period; left of the first: the first.
    const int n = static_cast<int>(bars_.size());
    if (x >= BarX(n - 1) && periodSeconds_ > 0) {
      const int extra = static_cast<int>(std::lround((x - BarX(n - 1)) / spacing_));
      p.time = bars_.back().time + static_cast<int64_t>(extra) * periodSeconds_;
      p.price = ValueAt(0, y);
      return p;
    }
    bar = x < BarX(std::max(first_, 0)) ? std::max(first_, 0) : n - 1;
  }
  const DC_KData& b = bars_[static_cast<std::size_t>(bar)];
  p.time = b.time;
  p.price = ValueAt(0, y);
  if (snap_) {
    // The nearest of the bar's four prices when it lies within a few pixels.
    const double prices[] = {b.open, b.high, b.low, b.close};
    double best = p.price;
    float bestDist = 8;
    for (double v : prices) {
      const float d = std::fabs(ValueY(0, v) - static_cast<float>(y));
      if (d < bestDist) bestDist = d, best = v;
    }
    p.price = best;
  }
  return p;
}

int ChartEngine::HitObject(int x, int y) const {
  if (boxes_.empty()) return -1;
  const float px = static_cast<float>(x), py = static_cast<float>(y);
  for (int i = static_cast<int>(objects_.size()) - 1; i >= 0; --i) {
    ChartLayer layer;
    BuildObject(layer, objects_[static_cast<std::size_t>(i)], false);
    for (const SceneLine& l : layer.lines)
      if (DistanceToSegment(px, py, l.x1, l.y1, l.x2, l.y2) <= kHitSlop) return i;
    for (const SceneMarker& m : layer.markers)
      if (std::fabs(m.x - px) <= 8 && std::fabs(m.y - py) <= 8) return i;
    for (const SceneText& t : layer.texts) {
      const int w = Measure(t.text);
      if (px >= t.x - 2 && px <= t.x + w + 2 && std::fabs(py - t.y) <= fontPixels_ / 2 + 2) return i;
    }
  }
  return -1;
}

int ChartEngine::HitOrderLine(int x, int y) const {
  if (boxes_.empty() || x >= plotRight_) return -1;
  for (std::size_t i = 0; i < orderLines_.size(); ++i) {
    const float ly = ValueY(0, orderLines_[i].price);
    if (ly < boxes_[0].top || ly > boxes_[0].bottom) continue;
    if (std::fabs(ly - static_cast<float>(y)) <= 4) return static_cast<int>(i);
  }
  return -1;
}

ChartHit ChartEngine::HitTest(int x, int y) const {
  ChartHit hit;
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return hit;
  hit.bar = BarAt(x);
  if (y >= timeAxisTop_) {
    hit.area = ChartHit::kTimeAxis;
    return hit;
  }
  hit.pane = PaneAt(y);
  if (hit.pane < 0) return hit;
  hit.price = ValueAt(hit.pane, y);
  const PaneBox& b = boxes_[static_cast<std::size_t>(hit.pane)];
  if (x >= plotRight_) {
    hit.area = ChartHit::kPriceAxis;
    return hit;
  }
  if (y < b.top) {
    hit.area = ChartHit::kTitle;
    return hit;
  }
  if (hit.pane == 0) {
    if ((hit.index = HitOrderLine(x, y)) >= 0) {
      hit.area = ChartHit::kOrderLine;
      return hit;
    }
    if ((hit.index = HitObject(x, y)) >= 0) {
      hit.area = ChartHit::kObject;
      return hit;
    }
  }
  hit.area = ChartHit::kPane;
  return hit;
}

// ---- objects ---------------------------------------------------------------------------------------

bool ChartEngine::BeginTool(int toolOrKind) {
  const int kind = toolOrKind > 4000 ? toolOrKind - 4000 : toolOrKind;
  if (DrawKindPoints(kind) == 0) return false;
  tool_ = kind;
  toolPoints_.clear();
  toolHoverValid_ = false;
  selected_ = -1;
  full_ = true;
  return true;
}

void ChartEngine::CancelTool() {
  tool_ = 0;
  toolPoints_.clear();
  toolHoverValid_ = false;
  full_ = true;
}

void ChartEngine::SetObjects(std::vector<DrawObject> objects) {
  objects_ = std::move(objects);
  selected_ = -1;
  movingObject_ = -1;
  full_ = true;
}

const DrawObject* ChartEngine::Object(int index) const {
  if (index < 0 || index >= ObjectCount()) return nullptr;
  return &objects_[static_cast<std::size_t>(index)];
}

bool ChartEngine::UpdateObject(int index, const DrawObject& object) {
  if (index < 0 || index >= ObjectCount()) return false;
  objects_[static_cast<std::size_t>(index)] = object;
  full_ = true;
  return true;
}

bool ChartEngine::DeleteObject(int index) {
  if (index < 0 || index >= ObjectCount()) return false;
  objects_.erase(objects_.begin() + index);
  if (selected_ == index) selected_ = -1;
  else if (selected_ > index) --selected_;
  movingObject_ = -1;
  full_ = true;
  return true;
}

void ChartEngine::DeleteAllObjects() {
  objects_.clear();
  selected_ = -1;
  movingObject_ = -1;
  full_ = true;
}

void ChartEngine::SetOrderLines(std::vector<OrderLine> lines) {
  if (lines == orderLines_) return;
  orderLines_ = std::move(lines);
  if (dragLine_ >= static_cast<int>(orderLines_.size())) dragLine_ = -1;
  full_ = true;
}

// ---- input -------------------------------------------------------------------------------------------

Invalidate ChartEngine::MousePress(int button, int x, int y) {
  if (full_) Layout();
  const ChartHit hit = HitTest(x, y);
  if (button == kRightButton) {
    if (tool_ != 0) {
      CancelTool();
      return Invalidate::Full;
    }
    if (hit.area == ChartHit::kTitle && hit.pane > 0 && !Content(hit.pane).title.empty() && x < TitleEnd(hit.pane)) {
      if (notify_) notify_->OnIndicatorMenu(x, y, hit.pane);
      return Invalidate::None;
    }
    int kind = -1;
    if (hit.area == ChartHit::kObject) {
      selected_ = hit.index;
      kind = objects_[static_cast<std::size_t>(hit.index)].kind;
      full_ = true;
    }
    if (notify_) notify_->OnChartContextMenu(x, y, kind, kind >= 0 ? hit.index : -1);
    return kind >= 0 ? Invalidate::Full : Invalidate::None;
  }
  if (button != kLeftButton) return Invalidate::None;
  if (tool_ != 0) {
    if (hit.pane != 0 && toolPoints_.empty()) return Invalidate::None;
    toolPoints_.push_back(PointAt(x, y));
    toolHoverValid_ = false;
    if (static_cast<int>(toolPoints_.size()) >= DrawKindPoints(tool_)) {
      DrawObject o;
      o.kind = tool_;
      o.points = toolPoints_;
      if (!objects_.empty()) o.color = objects_.back().color;
      objects_.push_back(std::move(o));
      selected_ = static_cast<int>(objects_.size()) - 1;
      tool_ = 0;
      toolPoints_.clear();
      full_ = true;
      if (notify_) notify_->OnObjectDrawn(selected_);
    }
    panX_ = x;
    full_ = true;
    return Invalidate::Full;
  }
  if (hit.area == ChartHit::kOrderLine) {
    dragLine_ = hit.index;
    dragPrice_ = orderLines_[static_cast<std::size_t>(hit.index)].price;
    dragMoved_ = false;
    return Invalidate::None;
  }
  if (hit.area == ChartHit::kObject) {
    selected_ = movingObject_ = hit.index;
    moveFrom_ = PointAt(x, y);
    moveFrom_.price = ValueAt(0, y);
    moveFromBar_ = hit.bar;
    full_ = true;
    return Invalidate::Full;
  }
  const bool hadSelection = selected_ >= 0;
  selected_ = -1;
  if (hit.area == ChartHit::kPane || hit.area == ChartHit::kTitle) {
    panning_ = true;
    panX_ = x;
    panOffset_ = offset_;
  }
  if (hadSelection) {
    full_ = true;
    return Invalidate::Full;
  }
  return Invalidate::None;
}

Invalidate ChartEngine::MouseMove(int x, int y, bool leftDown) {
  if (full_) Layout();
  if (dragLine_ >= 0 && leftDown) {
    dragPrice_ = ValueAt(0, y);
    dragMoved_ = true;
    full_ = true;
    return Invalidate::Full;
  }
  if (movingObject_ >= 0 && leftDown) {
    DrawObject& o = objects_[static_cast<std::size_t>(movingObject_)];
    const double dp = ValueAt(0, y) - moveFrom_.price;
    const int bar = BarAt(x);
    const int db = (bar >= 0 && moveFromBar_ >= 0) ? bar - moveFromBar_ : 0;
    for (DrawPoint& p : o.points) {
      p.price += dp;
      if (db != 0) {
        const int from = BarOfTime(p.time);
        const int to = std::clamp(from + db, 0, static_cast<int>(bars_.size()) - 1);
        if (bars_[static_cast<std::size_t>(from)].time == p.time) p.time = bars_[static_cast<std::size_t>(to)].time;
        else p.time += static_cast<int64_t>(db) * periodSeconds_;
      }
    }
    moveFrom_.price += dp;
    if (db != 0) moveFromBar_ = bar;
    full_ = true;
    return Invalidate::Full;
  }
  if (panning_ && leftDown) {
    const int moved = static_cast<int>((x - panX_) / spacing_);
    if (displayMode_ == 0 && offset_ != std::clamp(panOffset_ + moved, 0, std::max(0, int(bars_.size()) - 1))) {
      offset_ = std::clamp(panOffset_ + moved, 0, std::max(0, static_cast<int>(bars_.size()) - 1));
      full_ = true;
      return Invalidate::Full;
    }
    return Invalidate::None;
  }
  if (tool_ != 0 && !toolPoints_.empty()) {
    toolHover_ = PointAt(x, y);
    toolHoverValid_ = true;
    full_ = true;
    return Invalidate::Full;
  }
  if (cursorShown_) {
    cursorX_ = x;
    cursorY_ = y;
    const int bar = BarAt(x);
    if (bar >= 0) cursorBar_ = bar;
    return Invalidate::Cursor;
  }
  return Invalidate::None;
}

Invalidate ChartEngine::MouseRelease(int button, int x, int y) {
  if (button != kLeftButton) return Invalidate::None;
  if (full_) Layout();
  if (dragLine_ >= 0) {
    const int line = dragLine_;
    const bool moved = dragMoved_;
    const double price = dragPrice_;
    dragLine_ = -1;
    dragMoved_ = false;
    full_ = true;
    if (moved && notify_) notify_->OnOrderLineDropped(line, price);
    return Invalidate::Full;
  }
  if (movingObject_ >= 0) {
    movingObject_ = -1;
    return Invalidate::None;
  }
  if (tool_ != 0 && toolPoints_.size() == 1 && DrawKindPoints(tool_) == 2 && std::abs(x - panX_) > 3) {
    // A press and a drag draw a two-point object in one stroke.
    return MousePress(kLeftButton, x, y);
  }
  if (panning_) {
    panning_ = false;
    if (std::abs(x - panX_) <= 3) {
      // A click shows the cursor there, or hides it.
      cursorShown_ = !cursorShown_;
      cursorX_ = x;
      cursorY_ = y;
      cursorBar_ = BarAt(x);
      if (cursorBar_ < 0) cursorBar_ = last_;
      return Invalidate::Cursor;
    }
  }
  return Invalidate::None;
}

Invalidate ChartEngine::DoubleClick(int x, int y) {
  if (full_) Layout();
  const int object = HitObject(x, y);
  if (object >= 0 && notify_) notify_->OnObjectDoubleClicked(object);
  return Invalidate::None;
}

Invalidate ChartEngine::MouseLeave() { return Invalidate::None; }

Invalidate ChartEngine::KeyPress(int key) {
  if (full_) Layout();
  const int n = static_cast<int>(bars_.size());
  switch (key) {
    case kKeyLeft:
    case kKeyRight: {
      if (n == 0) return Invalidate::None;
      if (!cursorShown_) {
        cursorShown_ = true;
        cursorBar_ = last_;
        cursorY_ = static_cast<int>(ValueY(0, bars_[static_cast<std::size_t>(last_)].close));
        return Invalidate::Cursor;
      }
      const int bar = std::clamp(cursorBar_ + (key == kKeyLeft ? -1 : 1), 0, n - 1);
      cursorBar_ = bar;
      cursorY_ = static_cast<int>(ValueY(0, bars_[static_cast<std::size_t>(bar)].close));
      if (bar < first_ || bar > last_) {
        Scroll(bar < first_ ? 1 : -1);
        return Invalidate::Full;
      }
      return Invalidate::Cursor;
    }
    case kKeyUp:
      Zoom(1);
      return Invalidate::Full;
    case kKeyDown:
      Zoom(-1);
      return Invalidate::Full;
    case kKeyDelete:
      if (selected_ < 0) return Invalidate::None;
      DeleteObject(selected_);
      return Invalidate::Full;
    case kKeyEscape:
      if (tool_ != 0) {
        CancelTool();
        return Invalidate::Full;
      }
      if (cursorShown_) {
        cursorShown_ = false;
        return Invalidate::Cursor;
      }
      return Invalidate::None;
    case kKeyHome:
      Scroll(n);
      return Invalidate::Full;
    case kKeyEnd:
      Scroll(-n);
      return Invalidate::Full;
    default:
      return Invalidate::None;
  }
}

}  // namespace tarn::candlechart
