// The price, volume and open-interest model of the simulated market.
//
// Everything is a pure function of the market's seed, its origin date and the catalogue, so
// any day and any minute can be generated on demand and comes out the same every time:
//
//  - Daily series (per commodity, from the origin on): open, close and settlement of a
//    reference price (in ticks), daily volume and open interest. The close follows a slowly
//    mean-reverting random walk; open and close stay well inside the daily limits.
//  - Day info (per commodity and day): the months listed that day, how busy each is (by its
//    time to expiry and the commodity's main months), the main month, and each month's spread
//    to the reference price (carry and a slow wobble). Months therefore move together.
//  - Day path (per commodity and day, built when first needed and cached): for each trading
//    minute the reference close, high and low, the minute's share of the day's volume and the
//    open-interest wobble. The path bridges the day's open to its close.
//  - Series day (per contract and day): limits from the previous settlement, previous close and
//    open interest, the contract's volume and whether it trades every step (busy) or rarely.
//  - Minute plan: the trades of one contract in one minute, one per 500 ms step at most. Inside
//    a minute the price runs through the minute's open, high, low and close (piecewise, with a
//    tick of jitter), so bars made from ticks equal the minute bars of the day path.
//
// Prices are whole numbers of ticks everywhere in the engine.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "libs/exchange/calendar.h"
#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

// The trading dates from the market's origin on: index k <-> day number.
class DayIndex {
 public:
  DayIndex(const TradingCalendar& calendar, int64_t originDay);
  int64_t Origin() const { return origin_; }
  int64_t DateAt(int k);
  // Index of a trading date (dates before the origin give -1; non-trading dates the next).
  int IndexOf(int64_t dayNum);

 private:
  const TradingCalendar& calendar_;
  int64_t origin_;
  std::vector<int64_t> dates_;
};

struct DayRecord {
  int64_t dayNum = 0;
  int32_t open = 0, close = 0, settle = 0;  // reference price, ticks
  double volume = 0;                        // lots, all months
  double openInterest = 0;                  // lots, all months
};

struct MonthDay {
  MonthRef ref;
  double share = 0;   // of the commodity's volume and open interest
  int32_t spread = 0; // ticks over the reference price
  bool busy = false;  // trades at every step
  double lambda = 0;  // trades per step when not busy
};

struct DayInfo {
  std::vector<MonthDay> months;  // nearest first
  int main = 0;                  // index into months
  int32_t indexSpread = 0;
  const MonthDay* Find(MonthRef ref) const {
    for (const MonthDay& m : months)
      if (m.ref == ref) return &m;
    return nullptr;
  }
};

struct DayPath {
  int k = -1;
  int minutes = 0;
  std::vector<int32_t> close;    // minutes + 1: close[0] is the day's open
  std::vector<int32_t> high;     // per minute
  std::vector<int32_t> low;
  std::vector<double> cumWeight; // minutes + 1: share of the day's volume before minute i
  std::vector<float> oiWobble;   // minutes + 1: zero at both ends
  std::vector<uint8_t> anchor1, anchor2, highFirst;
  int32_t dayHigh = 0, dayLow = 0;
  uint64_t seed = 0;
};

// One contract's trading day.
struct SeriesDay {
  bool listed = false;
  bool busy = false;
  bool index = false;
  int k = 0;
  MonthRef ref;
  int32_t spread = 0;
  int32_t lower = 0, upper = 0;
  int32_t preClose = 0, preSettle = 0, settle = 0;
  int64_t preOI = 0, oiTarget = 0;
  double volume = 0;   // target lots of the day
  double lambda = 0;   // sparse: trades per step
  int avgQty = 1;      // sparse: lots per trade
  int32_t bookUnit = 1;  // typical lots at one book level
  uint64_t seed = 0;
  std::vector<uint32_t> tradesBefore;  // sparse: trades before minute i (minutes + 1 entries)
  std::vector<double> poisson;         // sparse: distribution of draws per minute
  std::vector<uint8_t> tradeSteps;     // sparse: the step of every trade of the day, in order
  std::vector<int64_t> lotsBefore;     // sparse: lots traded before minute i (minutes + 1 entries)
  std::vector<SeriesDay> parts;        // index: its months
  int32_t Clamp(int32_t p) const { return p < lower ? lower : (p > upper ? upper : p); }
};

// One step of a contract inside a minute (busy contracts have one for every step, with qty 0
// when nothing traded; sparse ones only for their trades).
struct StepEvent {
  uint8_t step = 0;   // 1..120
  int8_t side = 0;    // 0 none, 1 active buy, 2 active sell
  int32_t price = 0;
  int32_t qty = 0;
  int64_t oi = 0;     // open interest after the step
  int32_t bid = 0, ask = 0;  // best prices after the step (0: none)
};

// What a contract did in the first minutes of a day.
struct DayTotals {
  bool traded = false;
  int32_t open = 0, high = 0, low = 0, last = 0;
  int64_t volume = 0;
  double amount = 0;
  int64_t oiEnd = 0;
  int lastTradeMinute = -1;
};

struct MinuteBar {
  int32_t open = 0, high = 0, low = 0, close = 0;
  int64_t volume = 0;
  int64_t oiEnd = 0;   // open interest at the minute's end
  double amount = 0;   // money traded
};

class CommodityModel {
 public:
  CommodityModel(const Commodity& commodity, uint64_t seed, DayIndex& days, const TradingCalendar& calendar);

  const Commodity& Info() const { return commodity_; }
  const DayRecord& Day(int k);
  const DayInfo& Infos(int k);
  const DayPath& Path(int k);
  int32_t Spread(MonthRef ref, int k);

  // The contract's day (a Main contract resolves to the day's main month).
  SeriesDay Series(ContractKind kind, MonthRef ref, int k);

  // The commodity's reference price at step s (1..120) of minute i.
  int32_t PathPrice(const DayPath& path, int i, int s) const;
  // The steps of a contract in minute i, in step order.
  void BuildMinute(const SeriesDay& sd, const DayPath& path, int i, std::vector<StepEvent>& out) const;
  // The minute bar of a contract (volume 0: nothing traded).
  MinuteBar Bar(const SeriesDay& sd, const DayPath& path, int i, std::vector<StepEvent>& scratch) const;
  // Open interest of a contract at the end of minute i (i = -1: the day's start).
  int64_t OpenInterestAfter(const SeriesDay& sd, const DayPath& path, int i) const;
  // Totals over minutes [0, minutes).
  DayTotals Totals(const SeriesDay& sd, const DayPath& path, int minutes, std::vector<StepEvent>& scratch) const;
  // Money per tick per lot.
  double TickValue() const { return commodity_.spec.tick * commodity_.spec.multiplier; }

 private:
  void ExtendDays(int k);
  DayInfo MakeInfo(int k);
  void BuildPath(int k, DayPath& path);
  SeriesDay MonthSeries(MonthRef ref, int k);
  SeriesDay MakeMonthSeries(MonthRef ref, int k);
  int SparseSteps(const SeriesDay& sd, int i, int minutes, int draws, uint8_t* steps) const;
  int64_t BusyVolume(const SeriesDay& sd, const DayPath& path, int i) const;
  // Lots a month traded in minute i, without pricing its trades.
  int64_t MinuteVolume(const SeriesDay& sd, const DayPath& path, int i) const;

  const Commodity& commodity_;
  uint64_t seed_;
  DayIndex& days_;
  const TradingCalendar& calendar_;
  std::vector<DayRecord> records_;
  std::vector<std::unique_ptr<DayInfo>> infos_;
  std::list<DayPath> paths_;  // most recent first, a few days
  std::map<uint64_t, SeriesDay> seriesCache_;
  std::vector<double> activity_;  // per session minute, sums to 1
};

}  // namespace tarn::exchange
