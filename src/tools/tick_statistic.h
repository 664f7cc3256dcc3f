// Tick statistics: the classification of every tick of a trading day by how it changed open
// interest and which side of the market traded actively, and the two analyses built on it (the
// big-order filter and the time slices) with the totals of a chosen span. Plain computation
// over the tick list the quote library delivers; the dialog (gui/dlg_tick_statistic.h) runs it
// on a worker thread and the information panel's tracer uses the classification.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/quote_records.h"

namespace tarn {

// The nine classes; 1..8 are selectable in the class filter (entry 0 there is "全部").
enum TickClass : uint8_t {
  kTickUnclassified = 0,  // the first tick of a list: no predecessor
  kTickLongOpen = 1,      // "多开"
  kTickShortOpen = 2,     // "空开"
  kTickBothOpen = 3,      // "双开"
  kTickLongClose = 4,     // "多平"
  kTickShortClose = 5,    // "空平"
  kTickBothClose = 6,     // "双平"
  kTickLongExchange = 7,  // "多换"
  kTickShortExchange = 8, // "空换"
  kTickBothExchange = 9,  // "双换": not selectable
};
constexpr int kSelectableTickClasses = 8;

// The active side: 0 neither, 1 active buy ("主动买"), 2 active sell ("主动卖").
enum ActiveSide : uint8_t { kSideNone = 0, kSideBuy = 1, kSideSell = 2 };

struct TickKind {
  TickClass cls = kTickUnclassified;
  ActiveSide side = kSideNone;
};

// Classifies `tick` against the tick before it in the analysed list.
TickKind ClassifyTick(const TickRecord& previous, const TickRecord& tick);
// The kind of every tick of a list; the first is unclassified.
std::vector<TickKind> ClassifyTicks(const std::vector<TickRecord>& ticks);

// "多开" .. "双换" (GBK); "" for kTickUnclassified. The filter list's texts: "全部" then 1..8.
const std::string& TickClassText(int cls);
std::vector<std::string> TickClassFilterTexts();
// "主动买", "主动卖", "" for 0. The side filter's texts: "综合", "主动买", "主动卖".
const std::string& ActiveSideText(int side);
std::vector<std::string> SideFilterTexts();

// The day's list: of the delivered ticks, those whose trading day equals the last tick's, in
// time order (a list already in order is kept as it is; otherwise sorted by time and sub-key,
// equal ones keeping their order).
std::vector<TickRecord> DayTicks(const std::vector<TickRecord>& delivered);
// The same, in place (no copy of a list that already is one day in order).
void KeepDayTicks(std::vector<TickRecord>& ticks);
// The ticks of the day's list with from <= time <= to.
std::vector<TickRecord> SpanTicks(const std::vector<TickRecord>& day, int64_t from, int64_t to);

// What the dialog hands the worker.
struct TickFilterInputs {
  int quantityThreshold = 100;  // lots
  int oiThreshold = 100;        // open interest change
  int sliceMinutes = 1;
  int sideFilter = 0;           // 0 all, 1 active buy, 2 active sell
  int classFilter = 0;          // 0 all, 1..8
  int tab = 0;                  // 0 big-order filter, 1 slice analysis
};

struct BigOrderRow {
  int64_t time = 0;
  double price = 0;
  int32_t quantity = 0;
  int64_t oiChange = 0;
  TickClass cls = kTickUnclassified;
  ActiveSide side = kSideNone;
  std::string classText;  // GBK
  std::string sideText;   // GBK
};

struct SliceRow {
  int64_t start = 0;      // slice start time
  double averagePrice = 0;
  int64_t totalLots = 0;
  int32_t tickCount = 0;
  // Index 0 active buy, 1 active sell, 2..9 classes 1..8.
  int64_t lots[10] = {};
  int32_t ticks[10] = {};
};

// The columns of the two lists (GBK).
const std::vector<std::string>& BigOrderColumns();
const std::vector<std::string>& SliceColumns();
// The texts of a row, one per column. `decimals` is the contract's price decimals.
std::vector<std::string> BigOrderRowTexts(const BigOrderRow& row, int decimals);
std::vector<std::string> SliceRowTexts(const SliceRow& row, int decimals);

// Called after each row is added with the number of rows so far; returning false stops the
// computation (the window went away).
using RowProgress = std::function<bool(std::size_t rows)>;

struct BigOrderResult {
  bool failed = false;  // no tick passed: "请重新选取筛选标准"
  std::vector<BigOrderRow> rows;
};
// The big-order filter over the analysed list.
BigOrderResult FilterBigOrders(const std::vector<TickRecord>& analysed, const TickFilterInputs& in,
                               const RowProgress& progress = nullptr);
// The slice analysis over the analysed list (a slice length below one minute counts as one).
std::vector<SliceRow> SliceTicks(const std::vector<TickRecord>& analysed, int sliceMinutes,
                                 const RowProgress& progress = nullptr);

// The span summary's five texts (GBK).
struct SpanSummary {
  std::string span;     // "09:00:00 - 09:00:01"
  std::string count;    // "总笔:%d"
  std::string total;    // "总计:%d"
  std::string average;  // "均量:%d"
  std::string share;    // "占今天总成交量:%.2f%%"
};
// The summary before any result.
SpanSummary InitialSpanSummary();
// `fromTime`/`toTime` are the pickers' times; `lastTickTime` the last tick of the day's list
// (a to-time after it shows the last tick's time). `resultTicks` and `resultLots` are the
// number of ticks and the lots of the result list, `rows` the rows shown, `dayLots` the lots of
// every tick of the day's list.
SpanSummary MakeSpanSummary(int64_t fromTime, int64_t toTime, bool haveLastTick, int64_t lastTickTime,
                            int64_t resultTicks, int64_t resultLots, std::size_t rows, int64_t dayLots);

// One run of the dialog's filter button: the analysed list is the span's ticks of the day's
// list; the result is the current tab's rows and the summary's figures.
struct TickStatisticResult {
  int tab = 0;
  bool failed = false;  // big-order filter: nothing passed
  bool cancelled = false;
  std::vector<BigOrderRow> bigOrders;
  std::vector<SliceRow> slices;
  int64_t resultTicks = 0;
  int64_t resultLots = 0;
  int64_t dayLots = 0;
};
TickStatisticResult RunTickStatistic(const std::vector<TickRecord>& day, int64_t from, int64_t to,
                                     const TickFilterInputs& in, const RowProgress& progress = nullptr);

// "%02d:%02d:%02d" of a time in local time.
std::string TickTimeText(int64_t seconds);

}  // namespace tarn
