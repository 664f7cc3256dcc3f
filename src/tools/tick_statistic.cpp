#include "tools/tick_statistic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/text.h"

namespace tarn {

namespace {

constexpr double kUnmoved = 0.001;  // two mids closer than this: the quote did not move
constexpr double kAtMid = 1e-5;     // a last price within this of the mid traded at the mid

inline TickClass ByOiChange(int64_t dOi, TickClass up, TickClass down, TickClass flat) {
  return dOi > 0 ? up : (dOi < 0 ? down : flat);
}

// Index into SliceRow::lots/ticks of a class 1..8.
inline int ClassSlot(TickClass c) { return 1 + static_cast<int>(c); }

}  // namespace

TickKind ClassifyTick(const TickRecord& p, const TickRecord& t) {
  const int64_t dOi = t.openInterest - p.openInterest;
  const int64_t dV = t.volume - p.volume;
  const double midP = (p.bid + p.ask) * 0.5;
  const double midT = (t.bid + t.ask) * 0.5;
  TickKind k;
  if (std::fabs(midP - midT) < kUnmoved) {
    if (t.last < midT - kAtMid) {
      k.side = kSideSell;
    } else if (t.last > midT + kAtMid) {
      k.side = kSideBuy;
    }
    if (dOi == dV) {
      k.cls = kTickBothOpen;
    } else if (dOi == -dV) {
      k.cls = kTickBothClose;
    } else if (t.last < midT) {
      k.cls = ByOiChange(dOi, kTickShortOpen, kTickLongClose, kTickShortExchange);
    } else if (t.last > midT) {
      k.cls = ByOiChange(dOi, kTickLongOpen, kTickShortClose, kTickLongExchange);
    } else {
      k.cls = ByOiChange(dOi, kTickBothOpen, kTickBothClose, kTickBothExchange);
    }
  } else if (midT > midP) {
    k.side = kSideBuy;
    k.cls = ByOiChange(dOi, kTickLongOpen, kTickShortClose, kTickLongExchange);
  } else {
    // The mids differ by at least 0.001 and T's is not above: it moved down (a NaN mid, from a
    // damaged record, lands here as well rather than leaving the tick unclassified).
    k.side = kSideSell;
    k.cls = ByOiChange(dOi, kTickShortOpen, kTickLongClose, kTickShortExchange);
  }
  return k;
}

std::vector<TickKind> ClassifyTicks(const std::vector<TickRecord>& ticks) {
  std::vector<TickKind> kinds(ticks.size());
  for (std::size_t i = 1; i < ticks.size(); ++i) kinds[i] = ClassifyTick(ticks[i - 1], ticks[i]);
  return kinds;
}

const std::string& TickClassText(int cls) {
  static const std::string empty;
  switch (cls) {
    case kTickLongOpen: return TXT("多开");
    case kTickShortOpen: return TXT("空开");
    case kTickBothOpen: return TXT("双开");
    case kTickLongClose: return TXT("多平");
    case kTickShortClose: return TXT("空平");
    case kTickBothClose: return TXT("双平");
    case kTickLongExchange: return TXT("多换");
    case kTickShortExchange: return TXT("空换");
    case kTickBothExchange: return TXT("双换");
    default: return empty;
  }
}

std::vector<std::string> TickClassFilterTexts() {
  std::vector<std::string> texts{TXT("全部")};
  for (int c = 1; c <= kSelectableTickClasses; ++c) texts.push_back(TickClassText(c));
  return texts;
}

const std::string& ActiveSideText(int side) {
  static const std::string empty;
  if (side == kSideBuy) return TXT("主动买");
  if (side == kSideSell) return TXT("主动卖");
  return empty;
}

std::vector<std::string> SideFilterTexts() { return {TXT("综合"), TXT("主动买"), TXT("主动卖")}; }

void KeepDayTicks(std::vector<TickRecord>& ticks) {
  if (ticks.empty()) return;
  const int32_t tradingDay = ticks.back().tradingDay;
  ticks.erase(std::remove_if(ticks.begin(), ticks.end(),
                             [tradingDay](const TickRecord& t) { return t.tradingDay != tradingDay; }),
              ticks.end());
  auto before = [](const TickRecord& a, const TickRecord& b) {
    return a.time != b.time ? a.time < b.time : a.subKey < b.subKey;
  };
  if (!std::is_sorted(ticks.begin(), ticks.end(), before)) std::stable_sort(ticks.begin(), ticks.end(), before);
}

std::vector<TickRecord> DayTicks(const std::vector<TickRecord>& delivered) {
  std::vector<TickRecord> day = delivered;
  KeepDayTicks(day);
  return day;
}

std::vector<TickRecord> SpanTicks(const std::vector<TickRecord>& day, int64_t from, int64_t to) {
  if (from > to) return {};
  auto lo = std::lower_bound(day.begin(), day.end(), from,
                             [](const TickRecord& t, int64_t v) { return t.time < v; });
  auto hi = std::upper_bound(lo, day.end(), to, [](int64_t v, const TickRecord& t) { return v < t.time; });
  return std::vector<TickRecord>(lo, hi);
}

const std::vector<std::string>& BigOrderColumns() {
  static const std::vector<std::string> columns{TXT("时间"), TXT("价位"), TXT("现手"),
                                                TXT("增仓"), TXT("开平仓"), TXT("主动买/卖")};
  return columns;
}

const std::vector<std::string>& SliceColumns() {
  static const std::vector<std::string> columns{
      TXT("时间"),     TXT("均价"),     TXT("总手"),     TXT("总笔"),     TXT("主动买/笔"),
      TXT("主动卖/笔"), TXT("多开/笔"),  TXT("空平/笔"),  TXT("空开/笔"),  TXT("多平/笔"),
      TXT("双开/笔"),  TXT("双平/笔"),  TXT("多换/笔"),  TXT("空换/笔")};
  return columns;
}

std::string TickTimeText(int64_t seconds) {
  std::tm tm = LocalTime(seconds);
  return FormatC("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::vector<std::string> BigOrderRowTexts(const BigOrderRow& row, int decimals) {
  return {TickTimeText(row.time),
          FormatC("%.*f", decimals, row.price),
          FormatC("%d", row.quantity),
          FormatC("%lld", static_cast<long long>(row.oiChange)),
          row.classText,
          row.sideText};
}

std::vector<std::string> SliceRowTexts(const SliceRow& row, int decimals) {
  std::vector<std::string> texts{TickTimeText(row.start), FormatC("%.*f", decimals, row.averagePrice),
                                 FormatC("%lld", static_cast<long long>(row.totalLots)),
                                 FormatC("%d", row.tickCount)};
  // The columns' order: active buy, active sell, then 多开 空平 空开 多平 双开 双平 多换 空换.
  static const int order[] = {0, 1, ClassSlot(kTickLongOpen), ClassSlot(kTickShortClose),
                              ClassSlot(kTickShortOpen), ClassSlot(kTickLongClose), ClassSlot(kTickBothOpen),
                              ClassSlot(kTickBothClose), ClassSlot(kTickLongExchange),
                              ClassSlot(kTickShortExchange)};
  for (int slot : order) {
    texts.push_back(FormatC("%lld/%d", static_cast<long long>(row.lots[slot]), row.ticks[slot]));
  }
  return texts;
}

BigOrderResult FilterBigOrders(const std::vector<TickRecord>& analysed, const TickFilterInputs& in,
                               const RowProgress& progress) {
  BigOrderResult result;
  for (std::size_t i = 2; i < analysed.size(); ++i) {
    const TickRecord& t = analysed[i];
    const TickRecord& p = analysed[i - 1];
    const int64_t dOi = t.openInterest - p.openInterest;
    if (t.quantity < in.quantityThreshold) continue;
    if (static_cast<int64_t>(std::llabs(dOi)) < in.oiThreshold) continue;
    const TickKind k = ClassifyTick(p, t);
    if ((in.sideFilter == 1 || in.sideFilter == 2) && k.side != in.sideFilter) continue;
    if (in.classFilter >= 1 && in.classFilter <= kSelectableTickClasses && k.cls != in.classFilter) continue;
    BigOrderRow row;
    row.time = t.time;
    row.price = t.last;
    row.quantity = t.quantity;
    row.oiChange = dOi;
    row.cls = k.cls;
    row.side = k.side;
    row.classText = in.classFilter >= 1 && in.classFilter <= kSelectableTickClasses ? TickClassText(in.classFilter)
                                                                                     : TickClassText(k.cls);
    row.sideText = in.sideFilter == 1 || in.sideFilter == 2 ? ActiveSideText(in.sideFilter) : ActiveSideText(k.side);
    result.rows.push_back(std::move(row));
    if (progress && !progress(result.rows.size())) return result;
  }
  result.failed = result.rows.empty();
  return result;
}

std::vector<SliceRow> SliceTicks(const std::vector<TickRecord>& analysed, int sliceMinutes,
                                 const RowProgress& progress) {
  std::vector<SliceRow> rows;
  if (analysed.empty()) return rows;
  const int64_t len = static_cast<int64_t>(std::max(sliceMinutes, 1)) * 60;
  const int64_t t0 = analysed.front().time;
  const int64_t t1 = analysed.back().time;
  const int64_t slices = (t1 - t0) / len;
  const std::vector<TickKind> kinds = ClassifyTicks(analysed);
  auto timeLess = [](const TickRecord& t, int64_t v) { return t.time < v; };
  auto valueLess = [](int64_t v, const TickRecord& t) { return v < t.time; };

  // Adds the ticks [lo, hi) as one row.
  auto emit = [&](int64_t start, std::size_t lo, std::size_t hi) {
    if (lo >= hi) return true;
    SliceRow row;
    row.start = start;
    double priceSum = 0;
    for (std::size_t i = lo; i < hi; ++i) {
      const TickRecord& t = analysed[i];
      row.totalLots += t.quantity;
      ++row.tickCount;
      priceSum += t.last;
      const TickKind k = kinds[i];
      if (k.side == kSideBuy || k.side == kSideSell) {
        row.lots[k.side - 1] += t.quantity;
        ++row.ticks[k.side - 1];
      }
      if (k.cls >= kTickLongOpen && k.cls <= kTickShortExchange) {
        row.lots[ClassSlot(k.cls)] += t.quantity;
        ++row.ticks[ClassSlot(k.cls)];
      }
    }
    row.averagePrice = priceSum / row.tickCount;
    rows.push_back(row);
    return !progress || progress(rows.size());
  };

  // Slices 0 .. slices-1 take [T0 + k*len, T0 + k*len + len], both ends inclusive; empty ones
  // are skipped by jumping to the first slice that holds the next tick.
  int64_t k = 0;
  while (k < slices) {
    const int64_t start = t0 + k * len;
    auto lo = std::lower_bound(analysed.begin(), analysed.end(), start, timeLess);
    if (lo == analysed.end()) break;
    if (lo->time > start + len) {
      int64_t next = (lo->time - t0) / len;
      if ((lo->time - t0) % len == 0) --next;  // a tick on a boundary also ends the slice before
      k = std::max(next, k + 1);
      continue;
    }
    auto hi = std::upper_bound(lo, analysed.end(), start + len, valueLess);
    if (!emit(start, lo - analysed.begin(), hi - analysed.begin())) return rows;
    ++k;
  }
  const int64_t lastStart = t0 + slices * len;
  auto lo = std::lower_bound(analysed.begin(), analysed.end(), lastStart, timeLess);
  emit(lastStart, lo - analysed.begin(), analysed.size());
  return rows;
}

SpanSummary InitialSpanSummary() {
  SpanSummary s;
  s.span = "09:00:00 - 09:00:01";
  s.count = Format(TXT("总笔:%d"), 0);
  s.total = Format(TXT("总计:%d"), 0);
  s.average = Format(TXT("均量:%d"), 0);
  s.share = TXT("占今天总成交量:0%");
  return s;
}

SpanSummary MakeSpanSummary(int64_t fromTime, int64_t toTime, bool haveLastTick, int64_t lastTickTime,
                            int64_t resultTicks, int64_t resultLots, std::size_t rows, int64_t dayLots) {
  SpanSummary s;
  const int64_t shownTo = haveLastTick && toTime > lastTickTime ? lastTickTime : toTime;
  std::tm to = LocalTime(shownTo);
  s.span = FormatC("%s - %02d:%02d:%02d", TickTimeText(fromTime).c_str(), to.tm_hour, to.tm_min, to.tm_sec);
  if (rows == 0) {
    s.count = Format(TXT("总笔:%d"), 0);
    s.total = Format(TXT("总计:%d"), 0);
    s.average = Format(TXT("均量:%d"), 0);
    s.share = TXT("占今天总成交量:0%");
    return s;
  }
  s.count = FormatC(TXT("总笔:%lld").c_str(), static_cast<long long>(resultTicks));
  s.total = FormatC(TXT("总计:%lld").c_str(), static_cast<long long>(resultLots));
  s.average = FormatC(TXT("均量:%lld").c_str(), static_cast<long long>(resultLots / static_cast<int64_t>(rows)));
  // A day without lots (only damaged ticks) has no share to show rather than a division by 0.
  if (dayLots > 0) {
    s.share = FormatC(TXT("占今天总成交量:%.2f%%").c_str(),
                      static_cast<double>(resultLots) * 100.0 / static_cast<double>(dayLots));
  } else {
    s.share = TXT("占今天总成交量:0%");
  }
  return s;
}

TickStatisticResult RunTickStatistic(const std::vector<TickRecord>& day, int64_t from, int64_t to,
                                     const TickFilterInputs& in, const RowProgress& progress) {
  TickStatisticResult r;
  r.tab = in.tab;
  for (const TickRecord& t : day) r.dayLots += t.quantity;
  const std::vector<TickRecord> analysed = SpanTicks(day, from, to);
  bool stopped = false;
  RowProgress watch = [&](std::size_t rows) {
    if (progress && !progress(rows)) {
      stopped = true;
      return false;
    }
    return true;
  };
  if (analysed.size() < 2) {
    // Nothing to classify: empty lists and a summary of zeros.
    return r;
  }
  if (in.tab == 0) {
    BigOrderResult big = FilterBigOrders(analysed, in, watch);
    r.failed = big.failed && !stopped;
    r.bigOrders = std::move(big.rows);
    r.resultTicks = static_cast<int64_t>(r.bigOrders.size());
    for (const BigOrderRow& row : r.bigOrders) r.resultLots += row.quantity;
  } else {
    r.slices = SliceTicks(analysed, in.sliceMinutes, watch);
    r.resultTicks = static_cast<int64_t>(analysed.size());
    for (const TickRecord& t : analysed) r.resultLots += t.quantity;
  }
  r.cancelled = stopped;
  return r;
}

}  // namespace tarn
