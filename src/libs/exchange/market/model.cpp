#include "libs/exchange/market/model.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "libs/exchange/rng.h"

namespace tarn::exchange {
namespace {

constexpr double kReversion = 0.01;  // daily pull of the price back to its level
constexpr int kPathCache = 6;        // day paths kept per commodity

int32_t RoundTicks(double v) { return static_cast<int32_t>(std::llround(v)); }
int32_t ClampI(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Limits of a day from the previous settlement.
void LimitsFrom(int32_t preSettle, double limit, int32_t& lower, int32_t& upper) {
  lower = std::max<int32_t>(1, static_cast<int32_t>(std::ceil(preSettle * (1.0 - limit) - 1e-9)));
  upper = std::max<int32_t>(lower, static_cast<int32_t>(std::floor(preSettle * (1.0 + limit) + 1e-9)));
}

}  // namespace

// ---- DayIndex ------------------------------------------------------------------------------

DayIndex::DayIndex(const TradingCalendar& calendar, int64_t originDay)
    : calendar_(calendar), origin_(calendar.TradingDateOnOrAfter(originDay)) {
  dates_.push_back(origin_);
}

int64_t DayIndex::DateAt(int k) {
  if (k < 0) k = 0;
  while (static_cast<int>(dates_.size()) <= k) dates_.push_back(calendar_.NextTradingDate(dates_.back()));
  return dates_[k];
}

int DayIndex::IndexOf(int64_t dayNum) {
  if (dayNum < origin_) return -1;
  while (dates_.back() < dayNum) dates_.push_back(calendar_.NextTradingDate(dates_.back()));
  return static_cast<int>(std::lower_bound(dates_.begin(), dates_.end(), dayNum) - dates_.begin());
}

// ---- CommodityModel ------------------------------------------------------------------------

CommodityModel::CommodityModel(const Commodity& commodity, uint64_t seed, DayIndex& days,
                               const TradingCalendar& calendar)
    : commodity_(commodity), seed_(Hash(seed, static_cast<uint64_t>(commodity.index) + 1)), days_(days),
      calendar_(calendar) {
  // Activity of each trading minute: busy in the exchange's own hours (most at the start of a
  // session, some before its end), quiet in the hours an always-open market adds.
  const SessionPlan& plan = commodity_.sessions;
  const SessionPlan& real = commodity_.realSessions;
  activity_.resize(plan.Minutes());
  double sum = 0;
  for (int i = 0; i < plan.Minutes(); ++i) {
    const int o = plan.OffsetOf(i);
    double a = 0.2;
    for (const SessionPlan::Range& r : real.Ranges()) {
      if (o >= r.begin && o < r.end) {
        const double j = o - r.begin, len = r.end - r.begin;
        a = 1.0 + 1.5 * std::exp(-j / 12.0) + 0.8 * std::exp(-(len - 1 - j) / 8.0);
        break;
      }
    }
    activity_[i] = a;
    sum += a;
  }
  for (double& a : activity_) a /= sum;
}

void CommodityModel::ExtendDays(int k) {
  const CommoditySpec& spec = commodity_.spec;
  const double level = spec.price / spec.tick;
  while (static_cast<int>(records_.size()) <= k) {
    const int j = static_cast<int>(records_.size());
    DayRecord r;
    r.dayNum = days_.DateAt(j);
    if (j == 0) {
      r.open = r.close = r.settle = std::max<int32_t>(1, RoundTicks(level));
      r.volume = spec.volume;
      r.openInterest = spec.openInterest;
      records_.push_back(r);
      continue;
    }
    const DayRecord& p = records_[j - 1];
    const uint64_t h = Hash(seed_, static_cast<uint64_t>(j), 0xDA11);
    const double z1 = Normal(Hash(h, 1)), z2 = Normal(Hash(h, 2)), z3 = Normal(Hash(h, 3));
    const double u = Uniform(Hash(h, 4));
    const double lp = std::log(static_cast<double>(p.close));
    double move = kReversion * (std::log(level) - lp) + spec.volatility * z1;
    move = std::clamp(move, -0.45 * spec.limit, 0.45 * spec.limit);
    const int32_t bandLo = RoundTicks(p.settle * (1 - 0.8 * spec.limit));
    const int32_t bandHi = RoundTicks(p.settle * (1 + 0.8 * spec.limit));
    r.close = std::max<int32_t>(1, ClampI(RoundTicks(std::exp(lp + move)), bandLo, bandHi));
    const int32_t openLo = RoundTicks(p.settle * (1 - 0.5 * spec.limit));
    const int32_t openHi = RoundTicks(p.settle * (1 + 0.5 * spec.limit));
    r.open = std::max<int32_t>(1, ClampI(RoundTicks(p.close * std::exp(0.25 * spec.volatility * z2)), openLo, openHi));
    r.settle = RoundTicks(r.open + (r.close - r.open) * (0.3 + 0.4 * u));
    r.volume = spec.volume * std::exp(0.25 * z3) *
               (1.0 + 6.0 * std::fabs(std::log(static_cast<double>(r.close) / r.open)));
    // Open interest wanders slowly around its level.
    const double prevX = std::log(p.openInterest / spec.openInterest);
    const double x = 0.97 * prevX + 0.03 * Normal(Hash(h, 5));
    r.openInterest = spec.openInterest * std::exp(x);
    records_.push_back(r);
  }
}

const DayRecord& CommodityModel::Day(int k) {
  if (k < 0) k = 0;
  ExtendDays(k);
  return records_[k];
}

int32_t CommodityModel::Spread(MonthRef ref, int k) {
  if (k < 0) k = 0;
  const CommoditySpec& spec = commodity_.spec;
  const double tau = static_cast<double>(ExpiryOf(ref, calendar_) - days_.DateAt(k)) / 30.44;
  const double ref_price = Day(k > 0 ? k - 1 : 0).close;
  const double phase = 6.283185307179586 * Uniform(Hash(seed_, static_cast<uint64_t>(ref.Key()), 0x5E));
  const double wobble = 0.25 * spec.volatility * std::sin(0.045 * k + phase);
  return RoundTicks(ref_price * (spec.carry * tau / 12.0 + wobble));
}

DayInfo CommodityModel::MakeInfo(int k) {
  const CommoditySpec& spec = commodity_.spec;
  const int64_t date = days_.DateAt(k);
  DayInfo info;
  std::vector<double> weight;
  for (MonthRef m : ListedMonths(spec, calendar_, date)) {
    const double tau = static_cast<double>(ExpiryOf(m, calendar_) - date) / 30.44;
    const bool mainMonth = spec.mainMask == 0 || ((spec.mainMask >> m.month) & 1);
    const double rate = spec.mainMask == 0 ? 1.5 : 4.0;
    double f = tau < spec.rollLead ? 0.15 * std::max(tau, 0.02) / spec.rollLead
                                   : std::exp(-(tau - spec.rollLead) / rate);
    if (!mainMonth) f *= 0.12;
    MonthDay md;
    md.ref = m;
    info.months.push_back(md);
    weight.push_back(f);
  }
  double sum = 0;
  for (double w : weight) sum += w;
  if (sum <= 0) sum = 1;
  std::vector<int> order(info.months.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return weight[a] > weight[b]; });
  double idx = 0;
  for (std::size_t i = 0; i < info.months.size(); ++i) {
    MonthDay& md = info.months[i];
    md.share = weight[i] / sum;
    md.spread = Spread(md.ref, k);
    idx += md.share * md.spread;
  }
  if (!order.empty()) {
    info.main = order[0];
    info.months[order[0]].busy = true;
    if (order.size() > 1 && info.months[order[1]].share >= 0.08) info.months[order[1]].busy = true;
  }
  for (MonthDay& md : info.months) md.lambda = std::clamp(md.share * 0.25, 0.001, 0.05);
  info.indexSpread = RoundTicks(idx);
  return info;
}

const DayInfo& CommodityModel::Infos(int k) {
  if (k < 0) k = 0;
  if (static_cast<int>(infos_.size()) <= k) infos_.resize(k + 1);
  if (!infos_[k]) infos_[k] = std::make_unique<DayInfo>(MakeInfo(k));
  return *infos_[k];
}

void CommodityModel::BuildPath(int k, DayPath& path) {
  const CommoditySpec& spec = commodity_.spec;
  const DayRecord& r = Day(k);
  const int32_t preSettle = k > 0 ? Day(k - 1).settle : r.open;
  const int32_t bandLo = std::max<int32_t>(1, static_cast<int32_t>(std::ceil(preSettle * (1 - spec.limit))));
  const int32_t bandHi = static_cast<int32_t>(std::floor(preSettle * (1 + spec.limit)));
  const int n = commodity_.sessions.Minutes();
  path.k = k;
  path.minutes = n;
  path.seed = Hash(seed_, static_cast<uint64_t>(k), 0x9A7);
  path.close.assign(n + 1, 0);
  path.high.assign(n, 0);
  path.low.assign(n, 0);
  path.cumWeight.assign(n + 1, 0.0);
  path.oiWobble.assign(n + 1, 0.0f);
  path.anchor1.assign(n, 0);
  path.anchor2.assign(n, 0);
  path.highFirst.assign(n, 0);
  Rng rng(path.seed);
  const double sigma = spec.volatility * 0.9;
  std::vector<double> walk(n + 1, 0.0), time(n + 1, 0.0), oiWalk(n + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    const double a = activity_[i - 1];
    walk[i] = walk[i - 1] + sigma * std::sqrt(a) * rng.NextFastNormal();
    oiWalk[i] = oiWalk[i - 1] + 0.02 * std::sqrt(a) * rng.NextFastNormal();
    time[i] = time[i - 1] + a;
  }
  time[n] = 1.0;
  const double lo = std::log(static_cast<double>(r.open)), lc = std::log(static_cast<double>(r.close));
  path.close[0] = ClampI(r.open, bandLo, bandHi);
  for (int i = 1; i < n; ++i) {
    const double x = lo + walk[i] - time[i] * (walk[n] - (lc - lo));
    path.close[i] = ClampI(RoundTicks(std::exp(x)), bandLo, bandHi);
  }
  path.close[n] = ClampI(r.close, bandLo, bandHi);
  double wsum = 0;
  std::vector<double> w(n);
  for (int i = 0; i < n; ++i) {
    w[i] = activity_[i] * std::exp(0.35 * rng.NextFastNormal());
    wsum += w[i];
  }
  path.dayHigh = path.close[0];
  path.dayLow = path.close[0];
  for (int i = 0; i < n; ++i) {
    const double scale = sigma * std::sqrt(activity_[i]) * r.close * 0.7;
    const int32_t e1 = RoundTicks(std::fabs(rng.NextFastNormal()) * scale);
    const int32_t e2 = RoundTicks(std::fabs(rng.NextFastNormal()) * scale);
    path.high[i] = ClampI(std::max(path.close[i], path.close[i + 1]) + e1, bandLo, bandHi);
    path.low[i] = ClampI(std::min(path.close[i], path.close[i + 1]) - e2, bandLo, bandHi);
    const uint64_t h = rng.Next();
    path.anchor1[i] = static_cast<uint8_t>(2 + (h % 58));
    path.anchor2[i] = static_cast<uint8_t>(61 + ((h >> 8) % 58));
    path.highFirst[i] = static_cast<uint8_t>((h >> 16) & 1);
    path.cumWeight[i + 1] = path.cumWeight[i] + w[i] / wsum;
    path.oiWobble[i + 1] = static_cast<float>(oiWalk[i + 1] - time[i + 1] * oiWalk[n]);
    path.dayHigh = std::max(path.dayHigh, path.high[i]);
    path.dayLow = std::min(path.dayLow, path.low[i]);
  }
  path.cumWeight[n] = 1.0;
  path.oiWobble[n] = 0.0f;
}

const DayPath& CommodityModel::Path(int k) {
  if (k < 0) k = 0;
  for (auto it = paths_.begin(); it != paths_.end(); ++it) {
    if (it->k == k) {
      if (it != paths_.begin()) paths_.splice(paths_.begin(), paths_, it);
      return paths_.front();
    }
  }
  if (static_cast<int>(paths_.size()) >= kPathCache) {
    paths_.splice(paths_.begin(), paths_, std::prev(paths_.end()));
  } else {
    paths_.emplace_front();
  }
  BuildPath(k, paths_.front());
  return paths_.front();
}

int32_t CommodityModel::PathPrice(const DayPath& p, int i, int s) const {
  const int32_t v1 = p.close[i], v2 = p.close[i + 1];
  if (s <= 1) return v1;
  if (s >= kStepsPerMinute) return v2;
  const int a = p.anchor1[i], b = p.anchor2[i];
  const int32_t e1 = p.highFirst[i] ? p.high[i] : p.low[i];
  const int32_t e2 = p.highFirst[i] ? p.low[i] : p.high[i];
  if (s == a) return e1;
  if (s == b) return e2;
  int s0, s1;
  int32_t x0, x1;
  if (s < a) {
    s0 = 1, s1 = a, x0 = v1, x1 = e1;
  } else if (s < b) {
    s0 = a, s1 = b, x0 = e1, x1 = e2;
  } else {
    s0 = b, s1 = kStepsPerMinute, x0 = e2, x1 = v2;
  }
  const int64_t num = static_cast<int64_t>(x1 - x0) * (s - s0);
  int32_t v = x0 + static_cast<int32_t>(num / (s1 - s0));
  const uint64_t h = Hash(p.seed, static_cast<uint64_t>(i), static_cast<uint64_t>(s));
  const int32_t amp = std::max<int32_t>(1, (p.high[i] - p.low[i]) / 8);
  switch (h & 3) {
    case 0: v -= amp; break;
    case 1: v += amp; break;
    default: break;
  }
  return ClampI(v, p.low[i], p.high[i]);
}

SeriesDay CommodityModel::MonthSeries(MonthRef ref, int k) {
  const uint64_t key = (static_cast<uint64_t>(static_cast<uint32_t>(ref.Key())) << 32) | static_cast<uint32_t>(k);
  auto it = seriesCache_.find(key);
  if (it != seriesCache_.end()) return it->second;
  if (seriesCache_.size() > 2048) seriesCache_.clear();
  return seriesCache_.emplace(key, MakeMonthSeries(ref, k)).first->second;
}

int CommodityModel::SparseSteps(const SeriesDay& sd, int i, int minutes, int draws, uint8_t* steps) const {
  const uint64_t base = sd.seed + static_cast<uint64_t>(i) * 0xD6E8FEB86659FD93ull;
  // The distinct steps drawn, in step order: marked in a bit set of the minute's steps, read
  // back in order (a busy rare month draws dozens of steps a minute).
  uint64_t seen[2] = {0, 0};
  for (int j = 0; j < draws; ++j) {
    const int s = (i == minutes - 1 && j == 0)
                      ? kStepsPerMinute
                      : 1 + static_cast<int>(Mix3(base, 0x57E9, static_cast<uint64_t>(j)) % kStepsPerMinute);
    seen[s >> 6] |= uint64_t{1} << (s & 63);
  }
  int m = 0;
  for (int w = 0; w < 2; ++w) {
    for (uint64_t bits = seen[w]; bits != 0; bits &= bits - 1) {
      steps[m++] = static_cast<uint8_t>(w * 64 + std::countr_zero(bits));
    }
  }
  return m;
}

// The lots of a rare month's trade.
static inline int32_t SparseQty(const SeriesDay& sd, int i, int s) {
  const uint64_t h = Mix3(sd.seed + static_cast<uint64_t>(i) * 0xD6E8FEB86659FD93ull, 0x77, static_cast<uint64_t>(s));
  const uint64_t span = static_cast<uint64_t>(2 * sd.avgQty);
  // Most rare months trade a lot or two at a time: a power-of-two span needs no division.
  return 1 + static_cast<int32_t>((span & (span - 1)) == 0 ? (h & (span - 1)) : h % span);
}

SeriesDay CommodityModel::MakeMonthSeries(MonthRef ref, int k) {
  const CommoditySpec& spec = commodity_.spec;
  SeriesDay sd;
  sd.k = k;
  sd.ref = ref;
  const DayInfo& info = Infos(k);
  const MonthDay* md = info.Find(ref);
  const DayRecord& r = Day(k);
  const DayRecord& p = Day(k - 1);
  const DayRecord& p2 = Day(k - 2);
  sd.spread = md ? md->spread : Spread(ref, k);
  const int32_t spreadPrev = k >= 1 ? Spread(ref, k - 1) : sd.spread;
  const int32_t spreadPrev2 = k >= 2 ? Spread(ref, k - 2) : spreadPrev;
  sd.preSettle = std::max<int32_t>(1, (k >= 1 ? p.settle : r.open) + spreadPrev);
  LimitsFrom(sd.preSettle, spec.limit, sd.lower, sd.upper);
  if (k >= 1) {
    int32_t lo2, hi2;
    LimitsFrom(std::max<int32_t>(1, (k >= 2 ? p2.settle : p.open) + spreadPrev2), spec.limit, lo2, hi2);
    sd.preClose = ClampI(p.close + spreadPrev, lo2, hi2);
  } else {
    sd.preClose = sd.preSettle;
  }
  sd.settle = sd.Clamp(r.settle + sd.spread);
  if (!md) return sd;
  sd.listed = true;
  sd.busy = md->busy;
  sd.lambda = md->lambda;
  if (k >= 1) {
    const MonthDay* pmd = Infos(k - 1).Find(ref);
    sd.preOI = pmd ? std::llround(pmd->share * p.openInterest) : 0;
  } else {
    sd.preOI = std::llround(md->share * r.openInterest);
  }
  sd.oiTarget = std::llround(md->share * r.openInterest);
  sd.volume = md->share * r.volume;
  const int n = commodity_.sessions.Minutes();
  sd.avgQty = std::max(1, static_cast<int>(std::lround(sd.volume / std::max(1.0, sd.lambda * kStepsPerMinute * n))));
  sd.bookUnit = std::max(1, static_cast<int>(std::lround(25.0 * std::sqrt(sd.volume / 1e5))));
  sd.seed = Hash(seed_, static_cast<uint64_t>(ref.Key()), static_cast<uint64_t>(k), 0xC0);
  if (!sd.busy) {
    // Distribution of the number of draws per minute (Poisson with the contract's rate).
    const double mean = sd.lambda * kStepsPerMinute;
    double p = std::exp(-mean), cdf = p;
    sd.poisson.push_back(cdf);
    for (int q = 1; q < kStepsPerMinute && cdf < 1 - 1e-12; ++q) {
      p *= mean / q;
      cdf += p;
      sd.poisson.push_back(cdf);
    }
    // Minutes with trades: the gap to the next one is geometric (a rare month costs per
    // minute it trades in, not per minute of the day); their number of draws is Poisson
    // without zero. The day's last minute always trades, at its last step, so that the day
    // closes at its close.
    std::vector<uint8_t> draws(n, 0);
    const double p0 = sd.poisson[0];
    const double lnp0 = std::log(std::max(p0, 1e-300));
    Rng rng(Hash(sd.seed, 0x5C1F));
    for (int i = 0; i < n;) {
      if (p0 > 1e-12) {
        const double gap = std::floor(std::log(rng.NextUniform()) / lnp0);
        if (gap >= n - i) break;
        i += static_cast<int>(gap);
      }
      const double u = p0 + (1 - p0) * rng.NextUniform();
      // The first count from 1 whose cumulative probability reaches u (the last if none).
      int cnt = 1;
      if (sd.poisson.size() > 2) {
        cnt = static_cast<int>(std::lower_bound(sd.poisson.begin() + 1, sd.poisson.end() - 1, u) - sd.poisson.begin());
      }
      draws[i] = static_cast<uint8_t>(std::min(cnt, kStepsPerMinute));
      ++i;
    }
    if (n > 0 && draws[n - 1] == 0) draws[n - 1] = 1;
    sd.tradesBefore.assign(n + 1, 0);
    sd.lotsBefore.assign(n + 1, 0);
    uint8_t steps[kStepsPerMinute];
    for (int i = 0; i < n; ++i) {
      const int m = draws[i] ? SparseSteps(sd, i, n, draws[i], steps) : 0;
      int64_t lots = 0;
      for (int q = 0; q < m; ++q) lots += SparseQty(sd, i, steps[q]);
      sd.tradeSteps.insert(sd.tradeSteps.end(), steps, steps + m);
      sd.tradesBefore[i + 1] = sd.tradesBefore[i] + static_cast<uint32_t>(m);
      sd.lotsBefore[i + 1] = sd.lotsBefore[i] + lots;
    }
  }
  return sd;
}

SeriesDay CommodityModel::Series(ContractKind kind, MonthRef ref, int k) {
  if (k < 0) k = 0;
  const DayInfo& info = Infos(k);
  if (kind == ContractKind::Month) return MonthSeries(ref, k);
  if (kind == ContractKind::Main) {
    if (info.months.empty()) return SeriesDay{};
    return MonthSeries(info.months[info.main].ref, k);
  }
  // The index: the months together, priced at the reference plus the share-weighted spread.
  const CommoditySpec& spec = commodity_.spec;
  SeriesDay sd;
  sd.k = k;
  sd.index = true;
  sd.busy = true;
  const DayRecord& r = Day(k);
  const DayRecord& p = Day(k - 1);
  const DayRecord& p2 = Day(k - 2);
  sd.spread = info.indexSpread;
  const int32_t spreadPrev = k >= 1 ? Infos(k - 1).indexSpread : sd.spread;
  const int32_t spreadPrev2 = k >= 2 ? Infos(k - 2).indexSpread : spreadPrev;
  sd.preSettle = std::max<int32_t>(1, (k >= 1 ? p.settle : r.open) + spreadPrev);
  LimitsFrom(sd.preSettle, spec.limit, sd.lower, sd.upper);
  if (k >= 1) {
    int32_t lo2, hi2;
    LimitsFrom(std::max<int32_t>(1, (k >= 2 ? p2.settle : p.open) + spreadPrev2), spec.limit, lo2, hi2);
    sd.preClose = ClampI(p.close + spreadPrev, lo2, hi2);
  } else {
    sd.preClose = sd.preSettle;
  }
  sd.settle = sd.Clamp(r.settle + sd.spread);
  if (info.months.empty()) return sd;
  sd.listed = true;
  for (const MonthDay& md : info.months) {
    sd.parts.push_back(MonthSeries(md.ref, k));
    sd.oiTarget += sd.parts.back().oiTarget;
    sd.volume += sd.parts.back().volume;
  }
  if (k >= 1) {
    for (const MonthDay& pmd : Infos(k - 1).months) sd.preOI += std::llround(pmd.share * p.openInterest);
  } else {
    for (const SeriesDay& part : sd.parts) sd.preOI += part.preOI;
  }
  sd.bookUnit = std::max(1, static_cast<int>(std::lround(25.0 * std::sqrt(sd.volume / 1e5))));
  sd.seed = Hash(seed_, 0x1D, static_cast<uint64_t>(k), 0xC1);
  return sd;
}

int64_t CommodityModel::BusyVolume(const SeriesDay& sd, const DayPath& path, int i) const {
  const int64_t a = std::llround(sd.volume * path.cumWeight[i]);
  const int64_t b = std::llround(sd.volume * path.cumWeight[i + 1]);
  return std::max<int64_t>(4, b - a);
}

int64_t CommodityModel::MinuteVolume(const SeriesDay& sd, const DayPath& path, int i) const {
  if (!sd.listed) return 0;
  if (sd.busy) return BusyVolume(sd, path, i);
  return sd.lotsBefore[i + 1] - sd.lotsBefore[i];
}

int64_t CommodityModel::OpenInterestAfter(const SeriesDay& sd, const DayPath& path, int i) const {
  if (!sd.listed) return sd.preOI;
  if (sd.index) {
    int64_t sum = 0;
    for (const SeriesDay& part : sd.parts) sum += OpenInterestAfter(part, path, i);
    return sum;
  }
  const int64_t d = sd.oiTarget - sd.preOI;
  const int j = i + 1;
  if (sd.busy) {
    const int64_t v = sd.preOI + std::llround(d * path.cumWeight[j]) + std::llround(path.oiWobble[j] * sd.volume);
    return std::max<int64_t>(0, v);
  }
  const uint32_t total = sd.tradesBefore.back();
  if (total == 0) return sd.preOI;
  return sd.preOI + std::llround(static_cast<double>(d) * sd.tradesBefore[j] / total);
}

void CommodityModel::BuildMinute(const SeriesDay& sd, const DayPath& path, int i, std::vector<StepEvent>& out) const {
  out.clear();
  if (!sd.listed) return;
  auto book = [&](StepEvent& e, int32_t gap, uint64_t h) {
    if (e.side == 1) {
      e.ask = e.price;
      e.bid = e.price - gap;
    } else if (e.side == 2) {
      e.bid = e.price;
      e.ask = e.price + gap;
    } else if ((h >> 17) & 1) {
      e.bid = e.price - gap;
      e.ask = e.price;
    } else {
      e.bid = e.price;
      e.ask = e.price + gap;
    }
    if (e.bid < sd.lower) e.bid = 0;
    if (e.ask > sd.upper) e.ask = 0;
  };
  if (sd.index) {
    std::vector<std::vector<StepEvent>> partEvents(sd.parts.size());
    std::vector<std::size_t> pos(sd.parts.size(), 0);
    std::vector<int64_t> partOi(sd.parts.size());
    int64_t oi = 0;
    for (std::size_t p = 0; p < sd.parts.size(); ++p) {
      BuildMinute(sd.parts[p], path, i, partEvents[p]);
      partOi[p] = OpenInterestAfter(sd.parts[p], path, i - 1);
      oi += partOi[p];
    }
    int32_t prev = sd.Clamp(path.close[i] + sd.spread);
    out.reserve(kStepsPerMinute);
    for (int s = 1; s <= kStepsPerMinute; ++s) {
      StepEvent e;
      e.step = static_cast<uint8_t>(s);
      for (std::size_t p = 0; p < sd.parts.size(); ++p) {
        auto& ev = partEvents[p];
        while (pos[p] < ev.size() && ev[pos[p]].step <= s) {
          if (ev[pos[p]].step == s) {
            e.qty += ev[pos[p]].qty;
            oi += ev[pos[p]].oi - partOi[p];
            partOi[p] = ev[pos[p]].oi;
          }
          ++pos[p];
        }
      }
      e.price = sd.Clamp(PathPrice(path, i, s) + sd.spread);
      e.oi = oi;
      const uint64_t h = Hash(sd.seed, static_cast<uint64_t>(i), static_cast<uint64_t>(s));
      if (e.qty > 0) e.side = e.price > prev ? 1 : (e.price < prev ? 2 : static_cast<int8_t>(1 + ((h >> 16) & 1)));
      if (e.qty > 0) prev = e.price;
      book(e, 1, h);
      out.push_back(e);
    }
    return;
  }
  if (sd.busy) {
    const int64_t v = BusyVolume(sd, path, i);
    const int64_t spare = v - 4;
    uint64_t cw[kStepsPerMinute + 1];
    uint64_t hs[kStepsPerMinute + 1];
    cw[0] = 0;
    for (int s = 1; s <= kStepsPerMinute; ++s) {
      const uint64_t h = Hash(sd.seed, static_cast<uint64_t>(i), static_cast<uint64_t>(s));
      hs[s] = h;
      uint64_t w = 1 + (h & 1023);
      if (((h >> 10) & 31) == 0) w += 6000;  // now and then a large order
      cw[s] = cw[s - 1] + w;
    }
    const int a = path.anchor1[i], b = path.anchor2[i];
    const int64_t oiStart = OpenInterestAfter(sd, path, i - 1);
    const int64_t dOi = OpenInterestAfter(sd, path, i) - oiStart;
    int32_t prev = sd.Clamp(path.close[i] + sd.spread);
    int64_t qPrev = 0, cum = 0;
    out.reserve(kStepsPerMinute);
    for (int s = 1; s <= kStepsPerMinute; ++s) {
      const int64_t q = static_cast<int64_t>(static_cast<unsigned __int128>(spare) * cw[s] / cw[kStepsPerMinute]);
      const bool anchor = s == 1 || s == a || s == b || s == kStepsPerMinute;
      StepEvent e;
      e.step = static_cast<uint8_t>(s);
      e.qty = static_cast<int32_t>(q - qPrev + (anchor ? 1 : 0));
      qPrev = q;
      cum += e.qty;
      e.price = sd.Clamp(PathPrice(path, i, s) + sd.spread);
      if (e.qty > 0) {
        e.side = e.price > prev ? 1 : (e.price < prev ? 2 : static_cast<int8_t>(1 + ((hs[s] >> 16) & 1)));
        prev = e.price;
      }
      e.oi = oiStart + (dOi * cum) / v;
      book(e, 1, hs[s]);
      out.push_back(e);
    }
    return;
  }
  // Sparse: a few trades at distinct steps.
  const int n = path.minutes;
  const int first = static_cast<int>(sd.tradesBefore[i]);
  const int count = static_cast<int>(sd.tradesBefore[i + 1]) - first;
  if (count <= 0) return;
  (void)n;
  const uint8_t* steps = sd.tradeSteps.data() + first;
  const int m = count;
  const uint32_t total = sd.tradesBefore.back();
  const int64_t d = sd.oiTarget - sd.preOI;
  for (int j = 0; j < m; ++j) {
    const int s = steps[j];
    const uint64_t h = Hash(sd.seed, static_cast<uint64_t>(i), static_cast<uint64_t>(s), 0x77);
    StepEvent e;
    e.step = static_cast<uint8_t>(s);
    e.qty = SparseQty(sd, i, s);
    e.price = sd.Clamp(PathPrice(path, i, s) + sd.spread);
    const int32_t before = sd.Clamp(PathPrice(path, i, std::max(1, s - 1)) + sd.spread);
    e.side = e.price > before ? 1 : (e.price < before ? 2 : static_cast<int8_t>(1 + ((h >> 20) & 1)));
    e.oi = sd.preOI + std::llround(static_cast<double>(d) * (first + j + 1) / total);
    book(e, 1 + static_cast<int32_t>((h >> 24) % 3), h);
    out.push_back(e);
  }
}

MinuteBar CommodityModel::Bar(const SeriesDay& sd, const DayPath& path, int i, std::vector<StepEvent>& scratch) const {
  MinuteBar bar;
  if (!sd.listed) return bar;
  const double tv = TickValue();
  if (sd.busy) {
    bar.open = sd.Clamp(path.close[i] + sd.spread);
    bar.close = sd.Clamp(path.close[i + 1] + sd.spread);
    bar.high = sd.Clamp(path.high[i] + sd.spread);
    bar.low = sd.Clamp(path.low[i] + sd.spread);
    if (sd.index) {
      for (const SeriesDay& part : sd.parts) bar.volume += MinuteVolume(part, path, i);
    } else {
      bar.volume = BusyVolume(sd, path, i);
    }
    bar.oiEnd = OpenInterestAfter(sd, path, i);
    bar.amount = bar.volume * (static_cast<double>(bar.open) + bar.high + bar.low + bar.close) / 4.0 * tv;
    return bar;
  }
  BuildMinute(sd, path, i, scratch);
  bar.oiEnd = OpenInterestAfter(sd, path, i);
  for (const StepEvent& e : scratch) {
    if (e.qty <= 0) continue;
    if (bar.volume == 0) {
      bar.open = bar.high = bar.low = e.price;
    }
    bar.high = std::max(bar.high, e.price);
    bar.low = std::min(bar.low, e.price);
    bar.close = e.price;
    bar.volume += e.qty;
    bar.amount += static_cast<double>(e.price) * e.qty * tv;
  }
  return bar;
}

}  // namespace tarn::exchange

namespace tarn::exchange {

DayTotals CommodityModel::Totals(const SeriesDay& sd, const DayPath& path, int minutes,
                                 std::vector<StepEvent>& scratch) const {
  DayTotals t;
  minutes = std::min(minutes, path.minutes);
  t.oiEnd = OpenInterestAfter(sd, path, minutes - 1);
  if (!sd.listed || minutes <= 0) return t;
  const double tv = TickValue();
  if (sd.busy) {
    // Busy contracts trade at every minute's open, high, low and close: prices come from the
    // day path, volumes from the minute shares.
    int32_t hi = path.high[0], lo = path.low[0];
    for (int i = 1; i < minutes; ++i) {
      hi = std::max(hi, path.high[i]);
      lo = std::min(lo, path.low[i]);
    }
    t.traded = true;
    t.open = sd.Clamp(path.close[0] + sd.spread);
    t.high = sd.Clamp(hi + sd.spread);
    t.low = sd.Clamp(lo + sd.spread);
    t.last = sd.Clamp(path.close[minutes] + sd.spread);
    t.lastTradeMinute = minutes - 1;
    for (int i = 0; i < minutes; ++i) {
      int64_t v = 0;
      if (sd.index) {
        for (const SeriesDay& part : sd.parts) v += MinuteVolume(part, path, i);
      } else {
        v = BusyVolume(sd, path, i);
      }
      t.volume += v;
      const double typical = (static_cast<double>(sd.Clamp(path.close[i] + sd.spread)) + sd.Clamp(path.high[i] + sd.spread) +
                              sd.Clamp(path.low[i] + sd.spread) + sd.Clamp(path.close[i + 1] + sd.spread)) / 4.0;
      t.amount += v * typical * tv;
    }
    return t;
  }
  for (int i = 0; i < minutes; ++i) {
    if (sd.tradesBefore[i + 1] == sd.tradesBefore[i]) continue;
    BuildMinute(sd, path, i, scratch);
    for (const StepEvent& e : scratch) {
      if (!t.traded) {
        t.open = t.high = t.low = e.price;
        t.traded = true;
      }
      t.high = std::max(t.high, e.price);
      t.low = std::min(t.low, e.price);
      t.last = e.price;
      t.volume += e.qty;
      t.amount += static_cast<double>(e.price) * e.qty * tv;
    }
    t.lastTradeMinute = i;
  }
  return t;
}

}  // namespace tarn::exchange
