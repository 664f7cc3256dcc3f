#include "chart/chart_bars.h"

#include <algorithm>
#include <cstring>

namespace tarn {

namespace {
bool SameBar(const DC_KData& a, const DC_KData& b) {
  return a.time == b.time && a.open == b.open && a.high == b.high && a.low == b.low && a.close == b.close &&
         a.volume == b.volume && a.openInterest == b.openInterest && a.amount == b.amount;
}
}  // namespace

std::size_t FirstDifferentBar(const std::vector<DC_KData>& a, const std::vector<DC_KData>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  while (i < n && SameBar(a[i], b[i])) ++i;
  return i;
}

void ChartBarList::Reset() {
  bars_.clear();
  lastTime_ = 0;
  remembered_ = false;
  count_ = 0;
  firstTime_ = 0;
  lastValue_ = 0;
}

void ChartBarList::Merge(const std::vector<DC_KData>& bars, int capacity) {
  const std::size_t cap = static_cast<std::size_t>(std::max(1, capacity));
  if (bars_.empty()) {
    const std::size_t from = bars.size() > cap ? bars.size() - cap : 0;
    bars_.assign(bars.begin() + static_cast<std::ptrdiff_t>(from), bars.end());
  } else {
    for (const DC_KData& b : bars) {
      if (b.time < bars_.back().time) continue;  // older than the list's last bar
      if (b.time == bars_.back().time) bars_.back() = b;
      else bars_.push_back(b);
    }
    if (bars_.size() > cap) bars_.erase(bars_.begin(), bars_.end() - static_cast<std::ptrdiff_t>(cap));
  }
}

BarChange ChartBarList::OnHistoryEvent(ChartDataMode mode, int capacity, const std::vector<DC_KData>& eventBars,
                                       const HistorySource& source) {
  const std::vector<DC_KData> before = bars_;
  if (mode == kDataLatest) {
    if (!bars_.empty()) {
      if (source.copyHistory) {
        std::vector<DC_KData> copied = source.copyHistory();
        const std::size_t cap = static_cast<std::size_t>(std::max(1, capacity));
        if (copied.size() > cap) copied.erase(copied.begin(), copied.end() - static_cast<std::ptrdiff_t>(cap));
        // A copy that comes back empty (the library lost the series) keeps what is shown.
        if (!copied.empty()) bars_.assign(copied.begin(), copied.end());  // keeps the buffer
      }
    } else if (!eventBars.empty()) {
      Merge(eventBars, capacity);
    } else if (source.requestHistory) {
      Merge(source.requestHistory(), capacity);
    }
  } else {
    Merge(eventBars, capacity);
  }
  // Bars out of time order would break every look-up by time: keep the ordered prefix.
  for (std::size_t i = 1; i < bars_.size(); ++i) {
    if (bars_[i].time < bars_[i - 1].time) {
      bars_.resize(i);
      break;
    }
  }
  lastTime_ = bars_.empty() ? 0 : bars_.back().time;

  BarChange change;
  const int64_t firstTime = bars_.empty() ? 0 : bars_.front().time;
  int32_t lastValue = 0;
  if (!bars_.empty()) std::memcpy(&lastValue, reinterpret_cast<const char*>(&bars_.back()) + 24, sizeof lastValue);
  if (remembered_ && count_ == bars_.size() && firstTime_ == firstTime && lastValue_ == lastValue) return change;
  remembered_ = true;
  count_ = bars_.size();
  firstTime_ = firstTime;
  lastValue_ = lastValue;
  change.changed = true;
  change.firstChanged = FirstDifferentBar(before, bars_);
  return change;
}

}  // namespace tarn
