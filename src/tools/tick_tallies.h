// The information panel's big/small order tallies over a day's ticks, and the stored average
// trade size per commodity ("\user\avgtradevol.dat") that decides what a big order is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "data/quote_records.h"
#include "platform/sync.h"
#include "tools/tick_statistic.h"

namespace tarn {

// "\user\avgtradevol.dat": int32 version 0, int32 count, then count entries of a text (the
// commodity key) and an int32 (the average trade size).
struct AvgTradeVolumeFile {
  std::map<std::string, int32_t> averages;
  bool complete = true;      // false: the reader stopped at damage (what came before is kept)
  std::size_t failedAt = 0;  // where it stopped
};
AvgTradeVolumeFile ParseAvgTradeVolume(std::string_view bytes);
std::string SerializeAvgTradeVolume(const std::map<std::string, int32_t>& averages);

// The averages of this process: read once at the first use, rewritten whole when one changes.
class AvgTradeVolumeStore {
 public:
  static constexpr int32_t kDefaultAverage = 100;
  // Days with at least this many ticks set the commodity's average.
  static constexpr std::size_t kTicksForAverage = 1001;

  // The average trade size for a commodity given the day's tick count and lots: with at least
  // 1001 ticks lots / ticks (stored when it differs); otherwise the stored value; without one
  // 100, which is stored.
  int32_t Average(const std::string& commodityKey, std::size_t ticks, int64_t lots);
  bool Stored(const std::string& commodityKey, int32_t* value = nullptr);
  // Forgets what was read (tests, a new program folder).
  void Reset();

 private:
  void LoadLocked();
  void SaveLocked();

  CriticalSection mutex_;
  bool loaded_ = false;
  std::map<std::string, int32_t> averages_;
};
AvgTradeVolumeStore& GetAvgTradeVolumeStore();

// The key a commodity's average is stored under: "EXCHANGE|COMMODITY" ("" without a commodity).
std::string CommodityKeyOf(const DC_Contract& contract);

// Big and small lots by side and by class.
struct TickTallies {
  int64_t bigBuy = 0, bigSell = 0, smallBuy = 0, smallSell = 0;
  int64_t bigClass[10] = {};    // by TickClass 1..9
  int64_t smallClass[10] = {};
  int64_t total = 0;            // every classified tick's lots

  // Each of the four side totals over their sum (0 without lots).
  double BigBuyRatio() const;
  double BigSellRatio() const;
  double SmallBuyRatio() const;
  double SmallSellRatio() const;
  // A class's big or small total over `total` (0 without lots).
  double ClassRatio(int cls, bool big) const;
};

// Walks ticks into tallies incrementally: Feed with the whole day's list each time; ticks
// already handled are skipped, a list that no longer continues the handled one (a new day, a
// shorter list, a different first tick) starts over.
class TickTallyWalker {
 public:
  // A tick is big when its quantity exceeds `bigOrderSize`.
  void Feed(const std::vector<TickRecord>& day, int64_t bigOrderSize);
  const TickTallies& Tallies() const { return tallies_; }
  std::size_t Handled() const { return handled_; }
  void Clear();

 private:
  TickTallies tallies_;
  std::size_t handled_ = 0;
  TickRecord first_{};
  TickRecord last_{};
};

}  // namespace tarn
