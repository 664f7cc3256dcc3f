// The classification over the embedded exchange's ticks, on a manual clock.
#include <gtest/gtest.h>

#include "libs/quotedata/embedded_fixture.h"
#include "tools/tick_statistic.h"
#include "tools/tick_tallies.h"

namespace tarn::test {
namespace {

class TickExchangeTest : public EmbeddedTest {};

TEST_F(TickExchangeTest, ClassifiesADayOfExchangeTicks) {
  Recorder r;
  ASSERT_EQ(LoginDefault(r), 1);
  DC_Contract c = Contract("SHFE|rbMI");
  std::vector<TickRecord> delivered;
  ASSERT_GT(Q().GetTicks(NotifyHandle(), delivered, &c), 100);
  std::vector<TickRecord> day = DayTicks(delivered);
  ASSERT_EQ(day.size(), delivered.size());  // the library delivers one day in time order
  std::vector<TickKind> kinds = ClassifyTicks(day);
  int64_t lots = 0;
  int moves = 0;
  for (std::size_t i = 1; i < day.size(); ++i) {
    lots += day[i].quantity;
    ASSERT_NE(kinds[i].cls, kTickUnclassified) << i;
    const double midP = (day[i - 1].bid + day[i - 1].ask) * 0.5;
    const double midT = (day[i].bid + day[i].ask) * 0.5;
    if (midT > midP + 0.001) {
      ++moves;
      EXPECT_EQ(kinds[i].side, kSideBuy) << i;
    } else if (midT < midP - 0.001) {
      ++moves;
      EXPECT_EQ(kinds[i].side, kSideSell) << i;
    }
  }
  EXPECT_GT(moves, 10);  // the market moves: both branches are exercised by real data

  // The tallies account for every classified lot, and the slices for every tick.
  TickTallyWalker w;
  w.Feed(day, 50);
  int64_t classLots = 0;
  for (int cls = 1; cls <= 9; ++cls) classLots += w.Tallies().bigClass[cls] + w.Tallies().smallClass[cls];
  EXPECT_EQ(classLots, lots);
  EXPECT_EQ(w.Tallies().total, lots);
  TickFilterInputs in;
  in.tab = 1;
  in.sliceMinutes = 5;
  TickStatisticResult slices = RunTickStatistic(day, day.front().time, day.back().time, in);
  ASSERT_FALSE(slices.slices.empty());
  int64_t sliceTicks = 0;
  for (const SliceRow& row : slices.slices) sliceTicks += row.tickCount;
  EXPECT_GE(sliceTicks, static_cast<int64_t>(day.size()));  // boundary ticks count twice
  EXPECT_EQ(slices.resultTicks, static_cast<int64_t>(day.size()));

  // New trades: the list grows, the walker adds only the new ticks.
  const std::size_t before = day.size();
  Step(20);
  delivered.clear();
  Q().GetTicks(NotifyHandle(), delivered, &c);
  day = DayTicks(delivered);
  ASSERT_GT(day.size(), before);
  w.Feed(day, 50);
  EXPECT_EQ(w.Handled(), day.size());
  TickTallyWalker fresh;
  fresh.Feed(day, 50);
  EXPECT_EQ(fresh.Tallies().total, w.Tallies().total);
  EXPECT_EQ(fresh.Tallies().bigBuy, w.Tallies().bigBuy);
}

}  // namespace
}  // namespace tarn::test
