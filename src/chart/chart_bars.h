// A chart's bar list and what a history event does to it, without a window: which bars of the
// event are taken, how they merge into the list, and whether anything changed enough for the
// indicators to be computed again and the chart redrawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "data/quote_records.h"

namespace tarn {

// How a chart asks for its bars.
enum ChartDataMode : int {
  kDataLatest = 0,   // the latest bars (Request)
  kDataRange = 1,    // bars ending at the chart's start value (RequestRange)
  kDataDisplay = 2,  // no request: the chart only shows what it is given
};

// The bars a chart holds at most.
constexpr int kDefaultBarCapacity = 10000;

// What a history event needs from the quote library in the latest mode.
struct HistorySource {
  // The contract's bars for the chart's period as the library holds them (CopyHistory).
  std::function<std::vector<DC_KData>()> copyHistory;
  // Asks the library for the bars without a listener (RequestHistory filling from what it holds).
  std::function<std::vector<DC_KData>()> requestHistory;
};

struct BarChange {
  bool changed = false;           // the count, first time or last bar's volume differ
  std::size_t firstChanged = 0;   // the first bar that differs from the list before the event
};

class ChartBarList {
 public:
  // Forgets the remembered count, first time and last value, and empties the list.
  void Reset();
  const std::vector<DC_KData>& Bars() const { return bars_; }
  std::size_t Size() const { return bars_.size(); }
  int64_t LastTime() const { return lastTime_; }

  // One history event: `eventBars` are the bars the event carries (the history client's store).
  BarChange OnHistoryEvent(ChartDataMode mode, int capacity, const std::vector<DC_KData>& eventBars,
                           const HistorySource& source);

 private:
  // The newest `capacity` bars of `bars` not older than the list's last bar, merged in.
  void Merge(const std::vector<DC_KData>& bars, int capacity);

  std::vector<DC_KData> bars_;
  int64_t lastTime_ = 0;
  // What the previous event left: bar count, first bar's time, the 32-bit value at byte 24 of
  // the last bar (its volume).
  bool remembered_ = false;
  std::size_t count_ = 0;
  int64_t firstTime_ = 0;
  int32_t lastValue_ = 0;
};

// The first index at which two bar lists differ (the shorter length when one is a prefix).
std::size_t FirstDifferentBar(const std::vector<DC_KData>& a, const std::vector<DC_KData>& b);

}  // namespace tarn
