// History of the market: bars of every period, the day's ticks and the latest trades, made
// from the same model as the live steps, so that history and the live market meet without a
// gap: the last bar of "now" is the bar in progress, built from the steps done so far.
#include <algorithm>

#include "libs/exchange/market/market.h"

namespace tarn::exchange {
namespace {

int64_t DayStartSec(int64_t dayNum) { return dayNum * 86400 - kExchangeUtcOffsetMs / 1000; }

void Merge(Bar& into, const Bar& b, bool first) {
  if (first) {
    into = b;
    return;
  }
  // `b` is older than `into` (bars are merged walking back in time).
  into.time = b.time;
  into.open = b.open;
  into.high = std::max(into.high, b.high);
  into.low = std::min(into.low, b.low);
  into.volume += b.volume;
  into.amount += b.amount;
}

// Collects bars walking back in time into groups of equal key; stops once `count` groups are
// complete.
class Grouper {
 public:
  explicit Grouper(int count) : count_(count) {}
  // Returns false when enough groups are complete.
  bool Add(int64_t key, const Bar& b) {
    if (!open_ || key != key_) {
      if (open_) {
        out_.push_back(cur_);
        if (static_cast<int>(out_.size()) >= count_) {
          open_ = false;
          done_ = true;
          return false;
        }
      }
      key_ = key;
      open_ = true;
      Merge(cur_, b, true);
      return true;
    }
    Merge(cur_, b, false);
    return true;
  }
  bool Done() const { return done_; }
  std::vector<Bar> Finish() {
    if (open_ && static_cast<int>(out_.size()) < count_) out_.push_back(cur_);
    open_ = false;
    std::reverse(out_.begin(), out_.end());
    return std::move(out_);
  }

 private:
  int count_;
  bool open_ = false;
  bool done_ = false;
  int64_t key_ = 0;
  Bar cur_;
  std::vector<Bar> out_;
};

}  // namespace

void Market::MinuteBars(ContractId id, int k, int upToStep, std::vector<Bar>& out) {
  out.clear();
  CommodityModel& model = ModelOf(id);
  const Commodity& c = model.Info();
  const SeriesDay sd = SeriesOf(id, k);
  if (!sd.listed) return;
  const DayPath& path = model.Path(k);
  const int n = path.minutes;
  const int cur = std::min(upToStep / kStepsPerMinute, n);
  const int s0 = upToStep - cur * kStepsPerMinute;
  std::vector<StepEvent> scratch;
  auto push = [&](int i, const MinuteBar& m) {
    Bar b;
    b.time = StepTimeMs(c, k, i * kStepsPerMinute) / 1000;
    b.open = m.open;
    b.high = m.high;
    b.low = m.low;
    b.close = m.close;
    b.volume = m.volume;
    b.openInterest = m.oiEnd;
    b.amount = m.amount;
    out.push_back(b);
  };
  for (int i = 0; i < cur; ++i) {
    const MinuteBar m = model.Bar(sd, path, i, scratch);
    if (m.volume > 0) push(i, m);
  }
  if (s0 > 0 && cur < n) {
    model.BuildMinute(sd, path, cur, scratch);
    MinuteBar m;
    m.oiEnd = model.OpenInterestAfter(sd, path, cur - 1);
    const double tv = model.TickValue();
    for (const StepEvent& e : scratch) {
      if (e.step > s0) break;
      m.oiEnd = e.oi;
      if (e.qty <= 0) continue;
      if (m.volume == 0) m.open = m.high = m.low = e.price;
      m.high = std::max(m.high, e.price);
      m.low = std::min(m.low, e.price);
      m.close = e.price;
      m.volume += e.qty;
      m.amount += static_cast<double>(e.price) * e.qty * tv;
    }
    if (m.volume > 0) push(cur, m);
  }
}

void Market::TickBars(ContractId id, int k, int upToStep, std::vector<Tick>& out) {
  out.clear();
  CommodityModel& model = ModelOf(id);
  const Commodity& c = model.Info();
  const SeriesDay sd = SeriesOf(id, k);
  if (!sd.listed) return;
  const DayPath& path = model.Path(k);
  const int n = path.minutes;
  const int cur = std::min(upToStep / kStepsPerMinute, n);
  const int s0 = upToStep - cur * kStepsPerMinute;
  const int32_t day = Yyyymmdd(days_.DateAt(k));
  std::vector<StepEvent> ev;
  int64_t volume = 0;
  for (int i = 0; i <= cur && i < n; ++i) {
    if (!sd.busy && sd.tradesBefore[i + 1] == sd.tradesBefore[i]) continue;
    model.BuildMinute(sd, path, i, ev);
    const int64_t minuteMs = StepTimeMs(c, k, i * kStepsPerMinute);
    for (const StepEvent& e : ev) {
      if (i == cur && e.step > s0) break;
      if (e.qty <= 0) continue;
      volume += e.qty;
      Tick t;
      t.timeMs = minuteMs + static_cast<int64_t>(e.step - 1) * kStepMs;
      t.tradingDay = day;
      t.price = e.price;
      t.bid = e.bid;
      t.ask = e.ask;
      t.qty = e.qty;
      t.side = e.side;
      t.openInterest = e.oi;
      t.volume = volume;
      out.push_back(t);
    }
  }
}

void Market::DayBars(ContractId id, int k, Position now, Bar& out, bool& any) {
  any = false;
  const uint64_t key = (static_cast<uint64_t>(id) << 32) | static_cast<uint32_t>(k);
  const bool finished = k < now.k;
  if (finished) {
    auto it = dayBarCache_.find(key);
    if (it != dayBarCache_.end()) {
      out = it->second;
      any = out.volume > 0;
      return;
    }
  }
  CommodityModel& model = ModelOf(id);
  const SeriesDay sd = SeriesOf(id, k);
  Bar b;
  b.time = DayStartSec(days_.DateAt(k));
  if (sd.listed) {
    const DayPath& path = model.Path(k);
    const int n = path.minutes;
    const int steps = finished ? n * kStepsPerMinute : now.done;
    const int cur = std::min(steps / kStepsPerMinute, n);
    const int s0 = steps - cur * kStepsPerMinute;
    std::vector<StepEvent> scratch;
    const DayTotals t = model.Totals(sd, path, cur, scratch);
    bool traded = t.traded;
    b.open = t.open;
    b.high = t.high;
    b.low = t.low;
    b.close = t.last;
    b.volume = t.volume;
    b.amount = t.amount;
    b.openInterest = t.oiEnd;
    if (s0 > 0 && cur < n) {
      model.BuildMinute(sd, path, cur, scratch);
      for (const StepEvent& e : scratch) {
        if (e.step > s0) break;
        b.openInterest = e.oi;
        if (e.qty <= 0) continue;
        if (!traded) {
          b.open = b.high = b.low = e.price;
          traded = true;
        }
        b.high = std::max(b.high, e.price);
        b.low = std::min(b.low, e.price);
        b.close = e.price;
        b.volume += e.qty;
        b.amount += static_cast<double>(e.price) * e.qty * model.TickValue();
      }
    }
  }
  any = b.volume > 0;
  out = b;
  if (finished) {
    if (dayBarCache_.size() > 200000) dayBarCache_.clear();
    dayBarCache_[key] = b;
  }
}

bool Market::GetBars(ContractId id, Period period, int64_t endSec, int count, std::vector<Bar>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  if (id >= catalogue_->Size() || count <= 0) return false;
  const Commodity& c = catalogue_->CommodityOf(id);
  const Position now = PositionAt(c, nowMs_);
  int kind = period.kind;
  int n = std::max(1, period.count);
  if (kind == 0) {
    kind = 3;
    n = 1;
  }
  if (kind == 4 || kind < 0 || kind > 8) return false;
  int lastK = now.k;
  if (endSec > 0) {
    const int e = days_.IndexOf(calendar_.TradingDayAt(endSec * 1000));
    if (e < 0) return true;
    lastK = std::min(lastK, e);
  }
  auto stepsOf = [&](int k) { return k < now.k ? c.sessions.Minutes() * kStepsPerMinute : now.done; };
  auto inRange = [&](int64_t t) { return endSec <= 0 || t <= endSec; };
  Grouper g(count);
  if (kind == 1 || kind == 2) {
    std::vector<Tick> ticks;
    for (int k = lastK; k >= 0 && !g.Done(); --k) {
      TickBars(id, k, stepsOf(k), ticks);
      for (auto it = ticks.rbegin(); it != ticks.rend(); ++it) {
        Bar b;
        b.time = it->timeMs / 1000;
        if (!inRange(b.time)) continue;
        b.open = b.high = b.low = b.close = it->price;
        b.volume = it->qty;
        b.openInterest = it->openInterest;
        b.amount = static_cast<double>(it->price) * it->qty * ModelOf(id).TickValue();
        // Ticks are bars of their own: key them by their position so none merge.
        const int64_t key = kind == 1 ? (static_cast<int64_t>(k) << 32) | (it - ticks.rbegin())
                                      : (static_cast<int64_t>(k) << 32) | (b.time / n);
        if (kind == 2) b.time = b.time / n * n;
        if (!g.Add(key, b)) break;
      }
      if (period.kind == 0) break;
    }
    out = g.Finish();
    return true;
  }
  if (kind == 3) {
    std::vector<Bar> minutes;
    const int minutesPerDay = c.sessions.Minutes();
    for (int k = lastK; k >= 0 && !g.Done(); --k) {
      MinuteBars(id, k, stepsOf(k), minutes);
      for (auto it = minutes.rbegin(); it != minutes.rend(); ++it) {
        if (!inRange(it->time)) continue;
        // Session minute index of the bar, for grouping within the day.
        const int64_t into = calendar_.MsIntoWindow(days_.DateAt(k), it->time * 1000);
        const int idx = c.sessions.MinutesBefore(static_cast<int>(into / kMinuteMs));
        const int group = idx / n;
        Bar b = *it;
        if (n > 1) b.time = StepTimeMs(c, k, std::min(group * n, minutesPerDay - 1) * kStepsPerMinute) / 1000;
        if (!g.Add((static_cast<int64_t>(k) << 32) | group, b)) break;
      }
      if (period.kind == 0) break;
    }
    out = g.Finish();
    return true;
  }
  for (int k = lastK; k >= 0 && !g.Done(); --k) {
    Bar b;
    bool any = false;
    DayBars(id, k, now, b, any);
    if (!any || !inRange(b.time)) continue;
    const int64_t date = days_.DateAt(k);
    int y, m, d;
    CivilFromDays(date, y, m, d);
    int64_t key = 0;
    switch (kind) {
      case 5: key = k / n; break;
      case 6: key = (date + 3) / 7; break;
      case 7: key = (static_cast<int64_t>(y) * 12 + m - 1) / n; break;
      default: key = y / n; break;
    }
    if (!g.Add(key, b)) break;
  }
  out = g.Finish();
  return true;
}

bool Market::GetTicks(ContractId id, std::vector<Tick>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  if (id >= catalogue_->Size()) return false;
  const Position now = PositionAt(catalogue_->CommodityOf(id), nowMs_);
  TickBars(id, now.k, now.done, out);
  return true;
}

bool Market::GetRecentTrades(ContractId id, int max, std::vector<Tick>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  if (id >= catalogue_->Size() || max <= 0) return false;
  CommodityModel& model = ModelOf(id);
  const Commodity& c = model.Info();
  const Position now = PositionAt(c, nowMs_);
  const SeriesDay sd = SeriesOf(id, now.k);
  if (!sd.listed) return true;
  const DayPath& path = model.Path(now.k);
  const int n = path.minutes;
  const int cur = std::min(now.done / kStepsPerMinute, n);
  const int s0 = now.done - cur * kStepsPerMinute;
  Snapshot snap;
  GetSnapshot(id, snap);
  int64_t volume = snap.volume;
  const int32_t day = Yyyymmdd(days_.DateAt(now.k));
  std::vector<StepEvent> ev;
  std::vector<Tick> rev;
  for (int i = std::min(cur, n - 1); i >= 0 && static_cast<int>(rev.size()) < max; --i) {
    if (!sd.busy && sd.tradesBefore[i + 1] == sd.tradesBefore[i]) continue;
    model.BuildMinute(sd, path, i, ev);
    const int64_t minuteMs = StepTimeMs(c, now.k, i * kStepsPerMinute);
    for (auto it = ev.rbegin(); it != ev.rend() && static_cast<int>(rev.size()) < max; ++it) {
      if (i == cur && it->step > s0) continue;
      if (it->qty <= 0) continue;
      Tick t;
      t.timeMs = minuteMs + static_cast<int64_t>(it->step - 1) * kStepMs;
      t.tradingDay = day;
      t.price = it->price;
      t.bid = it->bid;
      t.ask = it->ask;
      t.qty = it->qty;
      t.side = it->side;
      t.openInterest = it->oi;
      t.volume = volume;
      volume -= it->qty;
      rev.push_back(t);
    }
  }
  out.assign(rev.rbegin(), rev.rend());
  return true;
}

}  // namespace tarn::exchange
