#include "tools/tick_tallies.h"

#include <gtest/gtest.h>

#include "platform/archive.h"
#include "platform/program_dir.h"
#include "support/test_support.h"

namespace tarn {
namespace {

TickRecord Tick(int64_t time, double mid, double last, int32_t qty, int64_t oi, int64_t volume) {
  TickRecord t{};
  t.time = time;
  t.tradingDay = 20251208;
  t.bid = mid - 0.5;
  t.ask = mid + 0.5;
  t.last = last;
  t.quantity = qty;
  t.openInterest = oi;
  t.volume = volume;
  return t;
}

TEST(TickTallies, BigAndSmallBySideAndClass) {
  std::vector<TickRecord> day{Tick(1, 100, 100, 1000, 10, 1000),   // first: never counted
                              Tick(2, 101, 101, 600, 610, 1600),   // up, opening: big buy, 多开
                              Tick(3, 101, 100, 20, 590, 1620),    // at the bid, closing 20 = ΔV: 双平, small sell
                              Tick(4, 101, 101, 7, 590, 1627)};    // at the mid, ΔOI 0: 双换, side 0
  // A side-0 tick gives half its lots (integer halves) to each side: 3 and 3 of 7.
  TickTallyWalker w;
  w.Feed(day, 500);
  const TickTallies& t = w.Tallies();
  EXPECT_EQ(t.bigBuy, 600);
  EXPECT_EQ(t.bigSell, 0);
  EXPECT_EQ(t.smallSell, 20 + 3);
  EXPECT_EQ(t.smallBuy, 3);
  EXPECT_EQ(t.bigClass[kTickLongOpen], 600);
  EXPECT_EQ(t.smallClass[kTickBothClose], 20);
  EXPECT_EQ(t.smallClass[kTickBothExchange], 7);
  EXPECT_EQ(t.total, 627);
  EXPECT_DOUBLE_EQ(t.BigBuyRatio(), 600.0 / 626.0);
  EXPECT_DOUBLE_EQ(t.ClassRatio(kTickLongOpen, true), 600.0 / 627.0);
  EXPECT_DOUBLE_EQ(TickTallies{}.BigBuyRatio(), 0.0);
}

TEST(TickTallies, WalksIncrementallyAndStartsOverOnANewList) {
  std::vector<TickRecord> day{Tick(1, 100, 101, 5, 10, 5), Tick(2, 100, 101, 5, 15, 10)};
  TickTallyWalker w;
  w.Feed(day, 100);
  EXPECT_EQ(w.Tallies().smallBuy, 5);
  day.push_back(Tick(3, 100, 101, 5, 20, 15));
  w.Feed(day, 100);
  EXPECT_EQ(w.Tallies().smallBuy, 10);  // only the new tick was added
  w.Feed(day, 100);
  EXPECT_EQ(w.Tallies().smallBuy, 10);
  // A new day's list (different first tick) starts from its own first tick.
  std::vector<TickRecord> next{Tick(100, 100, 101, 5, 10, 5), Tick(101, 100, 99, 9, 19, 14)};
  w.Feed(next, 100);
  EXPECT_EQ(w.Tallies().smallBuy, 0);
  EXPECT_EQ(w.Tallies().smallSell, 9);
  w.Feed({}, 100);
  EXPECT_EQ(w.Tallies().total, 0);
}

TEST(AvgTradeVolume, FileRoundTripAndDamage) {
  std::map<std::string, int32_t> averages{{"SHFE|rb", 12}, {"CFFEX|IF", 3}};
  const std::string bytes = SerializeAvgTradeVolume(averages);
  AvgTradeVolumeFile read = ParseAvgTradeVolume(bytes);
  EXPECT_TRUE(read.complete);
  EXPECT_EQ(read.averages, averages);
  // Cut inside the second entry: the first is kept.
  AvgTradeVolumeFile cut = ParseAvgTradeVolume(std::string_view(bytes).substr(0, bytes.size() - 2));
  EXPECT_FALSE(cut.complete);
  EXPECT_EQ(cut.averages.size(), 1u);
  // A count far beyond the bytes is refused before anything is allocated.
  ArchiveWriter w;
  w.Int32(0);
  w.Int32(0x7FFFFFFF);
  AvgTradeVolumeFile huge = ParseAvgTradeVolume(w.Data());
  EXPECT_FALSE(huge.complete);
  EXPECT_TRUE(huge.averages.empty());
  EXPECT_TRUE(ParseAvgTradeVolume("\xff\xfe garbage").averages.empty());
}

TEST(AvgTradeVolume, StoreKeepsTheAverageBelow1001TicksAndSetsItFrom1001) {
  test::ScopedHome home;
  AvgTradeVolumeStore store;
  const std::string path = home.Native("\\user\\avgtradevol.dat");
  // No stored value: 100, which is stored.
  EXPECT_EQ(store.Average("SHFE|rb", 10, 10000), 100);
  EXPECT_EQ(ParseAvgTradeVolume(test::ReadFile(path)).averages.at("SHFE|rb"), 100);
  EXPECT_EQ(store.Average("SHFE|rb", 1000, 1000 * 7), 100);  // 1000 ticks keep the stored average
  EXPECT_EQ(store.Average("SHFE|rb", 1001, 1001 * 7), 7);    // 1001 recompute and store it
  EXPECT_EQ(ParseAvgTradeVolume(test::ReadFile(path)).averages.at("SHFE|rb"), 7);
  EXPECT_EQ(store.Average("SHFE|rb", 5, 5), 7);
  // A later process reads the file once.
  AvgTradeVolumeStore again;
  int32_t v = 0;
  ASSERT_TRUE(again.Stored("SHFE|rb", &v));
  EXPECT_EQ(v, 7);
  // A damaged file keeps what came before the damage and is not a reason to fail.
  test::WriteFile(path, test::ReadFile(path).substr(0, 6));
  AvgTradeVolumeStore damaged;
  EXPECT_FALSE(damaged.Stored("SHFE|rb"));
  EXPECT_EQ(damaged.Average("SHFE|rb", 3, 3), 100);
}

}  // namespace
}  // namespace tarn
