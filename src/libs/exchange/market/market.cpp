#include "libs/exchange/market/market.h"

#include <algorithm>
#include <cmath>

#include "libs/exchange/rng.h"

namespace tarn::exchange {
namespace {
// Beyond this the market jumps to the new time instead of stepping (and publishing) every step.
constexpr int64_t kJumpMs = 2 * kMinuteMs;
}  // namespace

struct Market::Live {
  ContractId id = kNoContract;
  int commodity = 0;
  int watchers = 0;
  int k = -1;
  int done = 0;
  SeriesDay sd;
  Snapshot snap;
  bool traded = false;
  int minute = -1;       // the minute whose money is not yet in turnoverBase
  bool loaded = false;   // events hold that minute's steps
  std::vector<StepEvent> events;
  std::size_t next = 0;
  double turnoverBase = 0;
  double partial = 0;
};

struct Market::Runtime {
  int commodity = 0;
  int k = -1;
  int done = 0;
  std::vector<Live*> lives;
};

Market::Market(const MarketOptions& options)
    : options_(options), calendar_(options.realSessions), days_(calendar_, options.originDay) {
  nowMs_ = options.startMs - options.startMs % kStepMs;
  tradingDay_ = calendar_.TradingDayAt(nowMs_);
  const int64_t listDay = std::max(tradingDay_, days_.Origin());
  catalogue_ = std::make_unique<Catalogue>(options.specs ? *options.specs : StandardSpecs(), StandardExchanges(),
                                           calendar_, listDay);
  for (const Commodity& c : catalogue_->Commodities()) {
    models_.push_back(std::make_unique<CommodityModel>(c, options.seed, days_, calendar_));
    auto rt = std::make_unique<Runtime>();
    rt->commodity = c.index;
    runtimes_.push_back(std::move(rt));
  }
}

Market::~Market() = default;

int64_t Market::NowMs() const {
  tarn::Lock lock(mutex_);
  return nowMs_;
}

int32_t Market::TradingDay() const {
  tarn::Lock lock(mutex_);
  return Yyyymmdd(tradingDay_);
}

CommodityModel& Market::ModelOf(ContractId id) { return *models_[catalogue_->ContractAt(id).commodity]; }

SeriesDay Market::SeriesOf(ContractId id, int k) {
  const Contract& c = catalogue_->ContractAt(id);
  return models_[c.commodity]->Series(c.kind, c.month, k);
}

Market::Position Market::PositionAt(const Commodity& c, int64_t wallMs) {
  Position pos;
  const int64_t day = calendar_.TradingDayAt(wallMs);
  pos.k = days_.IndexOf(day);
  if (pos.k < 0) {
    pos.k = 0;
    return pos;
  }
  const int64_t into = calendar_.MsIntoWindow(day, wallMs);
  const int offset = static_cast<int>(into / kMinuteMs);
  const int msIn = static_cast<int>(into % kMinuteMs);
  const SessionPlan& plan = c.sessions;
  const int before = plan.MinutesBefore(offset);
  pos.done = before * kStepsPerMinute;
  if (plan.InSession(offset)) pos.done += msIn / kStepMs + 1;
  return pos;
}

int64_t Market::StepTimeMs(const Commodity& c, int k, int idx) {
  const int i = idx / kStepsPerMinute;
  return calendar_.OffsetToMs(days_.DateAt(k), c.sessions.OffsetOf(i)) +
         static_cast<int64_t>(idx % kStepsPerMinute) * kStepMs;
}

Market::Runtime& Market::RuntimeOf(int commodity) { return *runtimes_[commodity]; }

void Market::FillBook(Live& live, int32_t bid, int32_t ask, uint64_t salt) {
  Snapshot& s = live.snap;
  const SeriesDay& sd = live.sd;
  const uint64_t h0 = Hash(sd.seed, salt, 0xB00C);
  int32_t pb = bid, pa = ask;
  for (int j = 0; j < kBookLevels; ++j) {
    const uint64_t h = Hash(h0, static_cast<uint64_t>(j));
    if (j > 0) {
      if (pb > 0) pb -= sd.busy ? 1 : 1 + static_cast<int32_t>((h >> 40) & 1);
      if (pa > 0) pa += sd.busy ? 1 : 1 + static_cast<int32_t>((h >> 41) & 1);
    }
    if (pb < sd.lower) pb = 0;
    if (pa > sd.upper) pa = 0;
    const double depth = sd.bookUnit * (0.5 + 0.12 * j);
    s.bidPrice[j] = pb;
    s.askPrice[j] = pa;
    s.bidQty[j] = pb > 0 ? std::max(1, static_cast<int>(depth * (0.3 + 1.4 * ((h & 0xFFFF) / 65535.0)))) : 0;
    s.askQty[j] = pa > 0 ? std::max(1, static_cast<int>(depth * (0.3 + 1.4 * (((h >> 16) & 0xFFFF) / 65535.0)))) : 0;
  }
}

namespace {
void ApplyEvent(Snapshot& s, bool& traded, double& partial, const StepEvent& e, double tickValue) {
  if (e.qty > 0) {
    if (!traded) {
      s.open = s.high = s.low = e.price;
      traded = true;
    }
    s.high = std::max(s.high, e.price);
    s.low = std::min(s.low, e.price);
    s.last = e.price;
    s.volume += e.qty;
    partial += static_cast<double>(e.price) * e.qty * tickValue;
    s.lastQty = e.qty;
    s.side = e.side;
  } else {
    s.lastQty = 0;
    s.side = 0;
  }
  s.openInterest = e.oi;
}
}  // namespace

void Market::Resync(Live& live, Runtime& rt, int k, int done) {
  (void)rt;
  CommodityModel& model = *models_[live.commodity];
  const Commodity& c = model.Info();
  live.k = k;
  live.done = done;
  live.sd = SeriesOf(live.id, k);
  const SeriesDay& sd = live.sd;
  Snapshot& s = live.snap;
  s = Snapshot{};
  s.id = live.id;
  s.tradingDay = Yyyymmdd(days_.DateAt(k));
  s.preClose = sd.preClose;
  s.preSettle = sd.preSettle;
  s.upper = sd.upper;
  s.lower = sd.lower;
  s.preOpenInterest = sd.preOI;
  s.openInterest = sd.preOI;
  s.last = sd.preClose;  // shown until the first trade of the day
  s.sequence = done;
  s.timeMs = done > 0 ? StepTimeMs(c, k, done - 1) : calendar_.OffsetToMs(days_.DateAt(k), 0);
  live.traded = false;
  live.turnoverBase = 0;
  live.partial = 0;
  live.events.clear();
  live.loaded = false;
  live.next = 0;
  if (!sd.listed) {
    live.minute = -1;
    return;
  }
  const DayPath& path = model.Path(k);
  const int n = path.minutes;
  const int cur = std::min(done / kStepsPerMinute, n);
  const int s0 = done - cur * kStepsPerMinute;
  std::vector<StepEvent> scratch;
  const DayTotals tot = model.Totals(sd, path, cur, scratch);
  if (tot.traded) {
    s.open = tot.open;
    s.high = tot.high;
    s.low = tot.low;
    s.last = tot.last;
    live.traded = true;
  }
  s.volume = tot.volume;
  s.openInterest = tot.oiEnd;
  live.turnoverBase = tot.amount;
  live.minute = cur;
  // The current minute's steps so far.
  const StepEvent* lastEv = nullptr;
  int lastMinute = cur;
  if (s0 > 0 && cur < n) {
    model.BuildMinute(sd, path, cur, live.events);
    live.loaded = true;
    while (live.next < live.events.size() && live.events[live.next].step <= s0) {
      lastEv = &live.events[live.next++];
      ApplyEvent(s, live.traded, live.partial, *lastEv, model.TickValue());
    }
  }
  // Otherwise the book and the last trade as the last trade before this minute left them.
  if (!lastEv && tot.lastTradeMinute >= 0) {
    lastMinute = tot.lastTradeMinute;
    model.BuildMinute(sd, path, lastMinute, scratch);
    if (!scratch.empty()) {
      lastEv = &scratch.back();
      s.lastQty = lastEv->qty;
      s.side = lastEv->side;
    }
  }
  if (lastEv) FillBook(live, lastEv->bid, lastEv->ask, static_cast<uint64_t>(lastMinute * kStepsPerMinute + lastEv->step - 1));
  s.turnover = live.turnoverBase + live.partial;
  if (done >= n * kStepsPerMinute) s.settlement = sd.settle;
}

void Market::ApplyStep(Live& live, Runtime& rt, int idx, int64_t timeMs, bool emit) {
  (void)rt;
  const SeriesDay& sd = live.sd;
  if (!sd.listed) return;
  CommodityModel& model = *models_[live.commodity];
  const int i = idx / kStepsPerMinute;
  const int s = idx % kStepsPerMinute + 1;
  if (live.minute != i || !live.loaded) {
    const DayPath& path = model.Path(live.k);
    if (live.minute != i) {
      if (live.minute >= 0 && live.minute < i) {
        std::vector<StepEvent> scratch;
        live.turnoverBase += model.Bar(sd, path, live.minute, scratch).amount;
      }
      live.minute = i;
      live.partial = 0;
    }
    model.BuildMinute(sd, path, i, live.events);
    live.next = 0;
    live.loaded = true;
  }
  Snapshot& snap = live.snap;
  const StepEvent* hit = nullptr;
  while (live.next < live.events.size() && live.events[live.next].step <= s) {
    const StepEvent& e = live.events[live.next++];
    if (e.step != s) continue;
    ApplyEvent(snap, live.traded, live.partial, e, model.TickValue());
    hit = &e;
  }
  live.done = idx + 1;
  if (!hit) return;
  FillBook(live, hit->bid, hit->ask, static_cast<uint64_t>(idx));
  snap.sequence = idx + 1;
  snap.timeMs = timeMs;
  snap.turnover = live.turnoverBase + live.partial;
  if (idx + 1 >= model.Info().sessions.Minutes() * kStepsPerMinute) snap.settlement = sd.settle;
  if (emit) EmitSnapshot(live);
}

void Market::EmitSnapshot(Live& live) {
  pending_.emplace_back();
  MarketEvent& ev = pending_.back();
  ev.type = EventType::Snapshot;
  ev.id = live.id;
  ev.snap = live.snap;
}

void Market::RollDay(Runtime& rt, int newK, bool publish) {
  for (Live* live : rt.lives) {
    const MonthRef before = live->sd.ref;
    const bool wasListed = live->sd.listed;
    Resync(*live, rt, newK, 0);
    // Every contract of the new day publishes its opening state (previous close, settlement and
    // open interest carried, nothing traded yet), busy or not.
    if (publish && live->sd.listed) EmitSnapshot(*live);
    const Contract& c = catalogue_->ContractAt(live->id);
    if (c.kind == ContractKind::Main && wasListed && !(live->sd.ref == before)) {
      pending_.emplace_back();
      pending_.back().type = EventType::ContractReset;
      pending_.back().id = live->id;
      pending_.back().snap = live->snap;
    }
  }
  rt.k = newK;
  rt.done = 0;
}

void Market::StepTo(int64_t wallMs) {
  if (wallMs <= nowMs_) return;
  auto noteDay = [&](int64_t t) {
    const int64_t day = calendar_.TradingDayAt(t);
    if (day != tradingDay_) {
      tradingDay_ = day;
      pending_.emplace_back();
      pending_.back().type = EventType::DayRoll;
      pending_.back().snap.tradingDay = Yyyymmdd(day);
    }
  };
  if (wallMs - nowMs_ > kJumpMs) {
    noteDay(wallMs);
    for (auto& rtp : runtimes_) {
      Runtime& rt = *rtp;
      if (rt.lives.empty()) continue;
      const Position pos = PositionAt(catalogue_->Commodities()[rt.commodity], wallMs);
      if (pos.k != rt.k) RollDay(rt, pos.k, false);  // the snapshots below show the new day
      for (Live* live : rt.lives) {
        Resync(*live, rt, pos.k, pos.done);
        if (live->sd.listed) EmitSnapshot(*live);
      }
      rt.k = pos.k;
      rt.done = pos.done;
    }
    nowMs_ = wallMs;
    return;
  }
  const bool shared = !calendar_.RealSessions();
  for (int64_t t = (nowMs_ / kStepMs + 1) * kStepMs; t <= wallMs; t += kStepMs) {
    noteDay(t);
    bool havePos = false;
    Position sharedPos;
    for (auto& rtp : runtimes_) {
      Runtime& rt = *rtp;
      if (rt.lives.empty()) continue;
      const Commodity& c = catalogue_->Commodities()[rt.commodity];
      Position pos;
      if (shared && havePos) {
        pos = sharedPos;
      } else {
        pos = PositionAt(c, t);
        sharedPos = pos;
        havePos = true;
      }
      if (pos.k != rt.k) RollDay(rt, pos.k, true);
      while (rt.done < pos.done) {
        const int idx = rt.done;
        const int64_t time = StepTimeMs(c, rt.k, idx);
        for (Live* live : rt.lives) ApplyStep(*live, rt, idx, time, true);
        ++rt.done;
      }
    }
  }
  nowMs_ = wallMs;
}

void Market::AdvanceTo(int64_t wallMs) {
  tarn::Lock adv(advanceMutex_);
  {
    tarn::Lock lock(mutex_);
    StepTo(wallMs);
  }
  if (delivering_) return;  // a listener advanced from inside a delivery: the loop below delivers
  delivering_ = true;
  Deliver();
  delivering_ = false;
}

void Market::Deliver() {
  std::vector<MarketEvent> batch;
  for (;;) {
    {
      tarn::Lock lock(mutex_);
      batch.clear();
      batch.swap(pending_);
    }
    if (batch.empty()) break;
    listeners_.ForEach([&](IMarketListener* l) { l->OnMarketEvents(batch); });
  }
}

void Market::Watch(ContractId id) {
  tarn::Lock lock(mutex_);
  if (id >= catalogue_->Size()) return;
  auto it = lives_.find(id);
  if (it != lives_.end()) {
    ++it->second->watchers;
    return;
  }
  auto live = std::make_unique<Live>();
  live->id = id;
  live->commodity = catalogue_->ContractAt(id).commodity;
  live->watchers = 1;
  Runtime& rt = RuntimeOf(live->commodity);
  const Commodity& c = catalogue_->Commodities()[live->commodity];
  if (rt.lives.empty()) {
    const Position pos = PositionAt(c, nowMs_);
    rt.k = pos.k;
    rt.done = pos.done;
  }
  Resync(*live, rt, rt.k, rt.done);
  rt.lives.push_back(live.get());
  lives_[id] = std::move(live);
}

void Market::Unwatch(ContractId id) {
  tarn::Lock lock(mutex_);
  auto it = lives_.find(id);
  if (it == lives_.end()) return;
  if (--it->second->watchers > 0) return;
  Runtime& rt = RuntimeOf(it->second->commodity);
  rt.lives.erase(std::remove(rt.lives.begin(), rt.lives.end(), it->second.get()), rt.lives.end());
  lives_.erase(it);
}

int Market::Watchers(ContractId id) const {
  tarn::Lock lock(mutex_);
  auto it = lives_.find(id);
  return it == lives_.end() ? 0 : it->second->watchers;
}

bool Market::GetSnapshot(ContractId id, Snapshot& out) {
  tarn::Lock lock(mutex_);
  if (id >= catalogue_->Size()) return false;
  auto it = lives_.find(id);
  if (it != lives_.end()) {
    out = it->second->snap;
    return true;
  }
  Live tmp;
  tmp.id = id;
  tmp.commodity = catalogue_->ContractAt(id).commodity;
  Runtime& rt = RuntimeOf(tmp.commodity);
  const Position pos = PositionAt(catalogue_->Commodities()[tmp.commodity], nowMs_);
  Resync(tmp, rt, pos.k, pos.done);
  out = tmp.snap;
  return true;
}

ContractId Market::MainMonth(int commodity) {
  tarn::Lock lock(mutex_);
  if (commodity < 0 || commodity >= static_cast<int>(models_.size())) return kNoContract;
  const Commodity& c = catalogue_->Commodities()[commodity];
  const Position pos = PositionAt(c, nowMs_);
  const DayInfo& info = models_[commodity]->Infos(pos.k);
  if (info.months.empty()) return kNoContract;
  const MonthRef ref = info.months[info.main].ref;
  for (ContractId id : c.months)
    if (catalogue_->ContractAt(id).month == ref) return id;
  return kNoContract;
}

bool Market::LastSettled(ContractId id, Settled& out) {
  tarn::Lock lock(mutex_);
  if (id >= catalogue_->Size()) return false;
  const Contract& c = catalogue_->ContractAt(id);
  const Position pos = PositionAt(catalogue_->Commodities()[c.commodity], nowMs_);
  if (pos.k < 1) return false;
  const SeriesDay sd = SeriesOf(id, pos.k);
  out.tradingDay = Yyyymmdd(days_.DateAt(pos.k - 1));
  out.settlement = sd.preSettle;
  out.close = sd.preClose;
  out.openInterest = sd.preOI;
  Bar bar;
  bool any = false;
  DayBars(id, pos.k - 1, pos, bar, any);
  out.volume = any ? bar.volume : 0;
  return true;
}

bool Market::DaySettlement(ContractId id, int32_t tradingDay, Settled& out) {
  tarn::Lock lock(mutex_);
  if (id >= catalogue_->Size()) return false;
  const Contract& c = catalogue_->ContractAt(id);
  const Position pos = PositionAt(catalogue_->Commodities()[c.commodity], nowMs_);
  const int64_t day = DayNumOf(tradingDay);
  if (day < days_.Origin()) return false;
  const int k = days_.IndexOf(day);
  if (k < 0 || days_.DateAt(k) != day || k + 1 > pos.k) return false;
  const SeriesDay done = SeriesOf(id, k);
  if (!done.listed) return false;
  const SeriesDay next = SeriesOf(id, k + 1);
  out.tradingDay = tradingDay;
  out.settlement = next.listed ? next.preSettle : done.settle;
  out.close = next.listed ? next.preClose : done.settle;
  out.openInterest = next.listed ? next.preOI : done.preOI;
  out.volume = 0;
  return out.settlement > 0;
}

std::size_t Market::MemoryBytes() const {
  tarn::Lock lock(mutex_);
  std::size_t n = sizeof(*this) + catalogue_->Size() * sizeof(Contract);
  for (const auto& [id, live] : lives_) {
    n += sizeof(Live) + live->events.capacity() * sizeof(StepEvent) +
         live->sd.tradesBefore.capacity() * sizeof(uint32_t) + live->sd.lotsBefore.capacity() * sizeof(int64_t) +
         live->sd.tradeSteps.capacity();
    for (const SeriesDay& p : live->sd.parts) {
      n += sizeof(SeriesDay) + p.tradesBefore.capacity() * sizeof(uint32_t) + p.lotsBefore.capacity() * sizeof(int64_t) +
           p.tradeSteps.capacity();
    }
  }
  n += dayBarCache_.size() * (sizeof(Bar) + 48);
  return n;
}

}  // namespace tarn::exchange
