#include "tools/tick_statistic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/text.h"

namespace tarn {
namespace {

// 2025-12-08 09:00:00 in Shanghai.
constexpr int64_t kNine = 1765155600;

class TickStatisticTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
  }
};

// A tick with the book around `mid` (one point wide), trading `qty` at `last`.
TickRecord Tick(int64_t time, double mid, double last, int32_t qty, int64_t oi, int64_t volume, int32_t day = 20251208) {
  TickRecord t{};
  t.time = time;
  t.tradingDay = day;
  t.bid = mid - 0.5;
  t.ask = mid + 0.5;
  t.last = last;
  t.quantity = qty;
  t.openInterest = oi;
  t.volume = volume;
  return t;
}

TickKind Kind(double midP, double midT, double last, int64_t dOi, int64_t dV) {
  TickRecord p = Tick(kNine, midP, midP, 1, 1000, 5000);
  TickRecord t = Tick(kNine + 1, midT, last, static_cast<int32_t>(dV), 1000 + dOi, 5000 + dV);
  return ClassifyTick(p, t);
}

TEST_F(TickStatisticTest, UnmovedQuoteClassesByOpenInterestAgainstVolume) {
  EXPECT_EQ(Kind(100, 100, 101, 10, 10).cls, kTickBothOpen);    // every lot opened on both sides
  EXPECT_EQ(Kind(100, 100, 99, -10, 10).cls, kTickBothClose);   // every lot closed on both sides
  // Partly opening or closing: the side of the mid the trade was on decides.
  EXPECT_EQ(Kind(100, 100, 99, 4, 10).cls, kTickShortOpen);
  EXPECT_EQ(Kind(100, 100, 99, -4, 10).cls, kTickLongClose);
  EXPECT_EQ(Kind(100, 100, 99, 0, 10).cls, kTickShortExchange);
  EXPECT_EQ(Kind(100, 100, 101, 4, 10).cls, kTickLongOpen);
  EXPECT_EQ(Kind(100, 100, 101, -4, 10).cls, kTickShortClose);
  EXPECT_EQ(Kind(100, 100, 101, 0, 10).cls, kTickLongExchange);
  EXPECT_EQ(Kind(100, 100, 100, 4, 10).cls, kTickBothOpen);
  EXPECT_EQ(Kind(100, 100, 100, -4, 10).cls, kTickBothClose);
  TickKind flat = Kind(100, 100, 100, 0, 10);
  EXPECT_EQ(flat.cls, kTickBothExchange);
  EXPECT_EQ(flat.side, kSideNone);
  // Sides with the 1e-5 band around the mid.
  EXPECT_EQ(Kind(100, 100, 99, 4, 10).side, kSideSell);
  EXPECT_EQ(Kind(100, 100, 101, 4, 10).side, kSideBuy);
  // A mid that moved less than 0.001 counts as unmoved.
  EXPECT_EQ(Kind(100, 100.0009, 100.0009, 0, 10).cls, kTickBothExchange);
}

TEST_F(TickStatisticTest, JustBelowTheMidIsSellClassWithoutASide) {
  for (int64_t dOi : {4, -4, 0}) {
    TickKind k = Kind(100, 100, 100 - 0.000005, dOi, 10);
    EXPECT_EQ(k.side, kSideNone) << dOi;
    EXPECT_EQ(k.cls, dOi > 0 ? kTickShortOpen : (dOi < 0 ? kTickLongClose : kTickShortExchange)) << dOi;
  }
}

TEST_F(TickStatisticTest, MovedQuoteGivesTheSideOfTheMove) {
  TickKind up = Kind(100, 101, 100, 0, 10);  // the last price does not matter once the quote moved
  EXPECT_EQ(up.cls, kTickLongExchange);
  EXPECT_EQ(up.side, kSideBuy);
  EXPECT_EQ(Kind(100, 101, 100, 3, 10).cls, kTickLongOpen);
  EXPECT_EQ(Kind(100, 101, 100, -3, 10).cls, kTickShortClose);
  EXPECT_EQ(Kind(100, 101, 100, 10, 10).cls, kTickLongOpen);  // the ΔOI = ΔV rule is for an unmoved quote only
  TickKind down = Kind(100, 99, 101, 0, 10);
  EXPECT_EQ(down.cls, kTickShortExchange);
  EXPECT_EQ(down.side, kSideSell);
  EXPECT_EQ(Kind(100, 99, 101, 3, 10).cls, kTickShortOpen);
  EXPECT_EQ(Kind(100, 99, 101, -3, 10).cls, kTickLongClose);
}

TEST_F(TickStatisticTest, DayListKeepsTheLastTicksTradingDayInTimeOrder) {
  std::vector<TickRecord> delivered{Tick(kNine - 86400, 100, 100, 1, 1, 1, 20251205),
                                    Tick(kNine + 5, 100, 100, 1, 1, 3), Tick(kNine + 1, 100, 100, 1, 1, 2)};
  std::vector<TickRecord> day = DayTicks(delivered);
  ASSERT_EQ(day.size(), 2u);
  EXPECT_EQ(day[0].time, kNine + 1);
  EXPECT_EQ(day[1].time, kNine + 5);
  EXPECT_TRUE(DayTicks({}).empty());
  std::vector<TickRecord> span = SpanTicks(day, kNine + 1, kNine + 4);
  ASSERT_EQ(span.size(), 1u);
  EXPECT_TRUE(SpanTicks(day, kNine + 9, kNine).empty());
}

// Ticks of 150 lots changing open interest by +150 each, on an unmoved book.
std::vector<TickRecord> BigTicks(int n) {
  std::vector<TickRecord> ticks;
  for (int i = 0; i < n; ++i) ticks.push_back(Tick(kNine + i, 100, 101, 150, 1000 + 150 * i, 150 * (i + 1)));
  return ticks;
}

TEST_F(TickStatisticTest, BigOrderFilterSkipsTheFirstTwoTicks) {
  std::vector<TickRecord> ticks = BigTicks(4);
  TickFilterInputs in;
  BigOrderResult r = FilterBigOrders(ticks, in);
  ASSERT_EQ(r.rows.size(), 2u);  // the second tick is big but never listed
  EXPECT_EQ(r.rows[0].time, kNine + 2);
  EXPECT_EQ(r.rows[0].oiChange, 150);
  EXPECT_EQ(r.rows[0].classText, TXT("双开"));
  EXPECT_EQ(r.rows[0].sideText, TXT("主动买"));
  EXPECT_EQ(BigOrderRowTexts(r.rows[0], 1),
            (std::vector<std::string>{"09:00:02", "101.0", "150", "150", TXT("双开"), TXT("主动买")}));
  EXPECT_FALSE(r.failed);
}

TEST_F(TickStatisticTest, BigOrderThresholdsAndFilters) {
  std::vector<TickRecord> ticks = BigTicks(3);
  ticks.push_back(Tick(kNine + 3, 100, 99, 100, ticks.back().openInterest - 100, ticks.back().volume + 100));
  ticks.push_back(Tick(kNine + 4, 100, 99, 99, ticks.back().openInterest - 99, ticks.back().volume + 99));
  ticks.push_back(Tick(kNine + 5, 100, 99, 500, ticks.back().openInterest + 99, ticks.back().volume + 500));
  TickFilterInputs in;  // 100 lots and 100 open interest: both thresholds inclusive
  BigOrderResult all = FilterBigOrders(ticks, in);
  ASSERT_EQ(all.rows.size(), 2u);
  EXPECT_EQ(all.rows[1].time, kNine + 3);
  EXPECT_EQ(all.rows[1].oiChange, -100);
  EXPECT_EQ(all.rows[1].classText, TXT("双平"));
  EXPECT_EQ(all.rows[1].sideText, TXT("主动卖"));

  in.sideFilter = 2;
  BigOrderResult sells = FilterBigOrders(ticks, in);
  ASSERT_EQ(sells.rows.size(), 1u);
  EXPECT_EQ(sells.rows[0].time, kNine + 3);
  in.sideFilter = 0;
  in.classFilter = kTickBothOpen;
  BigOrderResult opens = FilterBigOrders(ticks, in);
  ASSERT_EQ(opens.rows.size(), 1u);
  EXPECT_EQ(opens.rows[0].time, kNine + 2);
  in.classFilter = kTickLongExchange;
  EXPECT_TRUE(FilterBigOrders(ticks, in).failed);
  in.classFilter = 0;
  in.quantityThreshold = 1000;
  EXPECT_TRUE(FilterBigOrders(ticks, in).failed);
}

TEST_F(TickStatisticTest, SideTextIsEmptyForATickAtTheMid) {
  std::vector<TickRecord> ticks = BigTicks(2);
  ticks.push_back(Tick(kNine + 2, 100, 100, 150, ticks.back().openInterest + 150, ticks.back().volume + 150));
  BigOrderResult r = FilterBigOrders(ticks, TickFilterInputs{});
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.rows[0].sideText, "");
}

TEST_F(TickStatisticTest, SliceBoundaryTickCountsInBothSlices) {
  std::vector<TickRecord> ticks{Tick(kNine, 100, 100, 1, 1000, 1), Tick(kNine + 30, 100, 101, 2, 1002, 3),
                                Tick(kNine + 60, 100, 99, 4, 1006, 7), Tick(kNine + 90, 101, 101, 8, 1006, 15)};
  std::vector<SliceRow> rows = SliceTicks(ticks, 1);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].start, kNine);
  EXPECT_EQ(rows[0].tickCount, 3);
  EXPECT_EQ(rows[0].totalLots, 7);
  EXPECT_DOUBLE_EQ(rows[0].averagePrice, 100.0);  // plain mean of 100, 101, 99
  EXPECT_EQ(rows[1].start, kNine + 60);
  EXPECT_EQ(rows[1].tickCount, 2);
  EXPECT_EQ(rows[1].totalLots, 12);
  // The first tick is unclassified; 30 s: both open, active buy; 60 s: both open, active sell
  // (ΔOI 4 = ΔV 4); 90 s: the quote rose with ΔOI 0, long exchange, active buy.
  std::vector<std::string> first = SliceRowTexts(rows[0], 2);
  EXPECT_EQ(first[0], "09:00:00");
  EXPECT_EQ(first[1], "100.00");
  EXPECT_EQ(first[4], "2/1");   // active buy
  EXPECT_EQ(first[5], "4/1");   // active sell
  EXPECT_EQ(first[10], "6/2");  // 双开
  std::vector<std::string> second = SliceRowTexts(rows[1], 2);
  EXPECT_EQ(second[4], "8/1");
  EXPECT_EQ(second[12], "8/1");  // 多换
  ASSERT_EQ(second.size(), SliceColumns().size());
}

TEST_F(TickStatisticTest, SlicesSkipEmptyStretchesAndKeepTheLastPartial) {
  std::vector<TickRecord> ticks{Tick(kNine, 100, 100, 1, 1000, 1), Tick(kNine + 10, 100, 100, 1, 1000, 2),
                                Tick(kNine + 600, 100, 100, 1, 1000, 3), Tick(kNine + 605, 100, 100, 1, 1000, 4)};
  std::vector<SliceRow> rows = SliceTicks(ticks, 1);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].tickCount, 2);
  EXPECT_EQ(rows[1].start, kNine + 540);  // slice 9 ends exactly on the tick at 600 s
  EXPECT_EQ(rows[1].tickCount, 1);
  EXPECT_EQ(rows[2].start, kNine + 600);  // the last slice runs to the last tick
  EXPECT_EQ(rows[2].tickCount, 2);
  // A slice length of 0 minutes is taken as one minute instead of dividing by zero.
  EXPECT_EQ(SliceTicks(ticks, 0).size(), 3u);
  // A damaged list spanning decades does not walk every empty slice.
  std::vector<TickRecord> wide{Tick(0, 100, 100, 1, 1, 1), Tick(kNine + 1, 100, 100, 1, 1, 2)};
  EXPECT_EQ(SliceTicks(wide, 1).size(), 2u);
}

TEST_F(TickStatisticTest, SpanSummaryTexts) {
  SpanSummary initial = InitialSpanSummary();
  EXPECT_EQ(initial.span, "09:00:00 - 09:00:01");
  EXPECT_EQ(initial.share, TXT("占今天总成交量:0%"));
  SpanSummary s = MakeSpanSummary(kNine, kNine + 3600, true, kNine + 65, 3, 300, 3, 1200);
  EXPECT_EQ(s.span, "09:00:00 - 09:01:05");  // a to-time after the last tick shows the last tick
  EXPECT_EQ(s.count, TXT("总笔:3"));
  EXPECT_EQ(s.total, TXT("总计:300"));
  EXPECT_EQ(s.average, TXT("均量:100"));
  EXPECT_EQ(s.share, TXT("占今天总成交量:25.00%"));
  SpanSummary none = MakeSpanSummary(kNine, kNine + 60, true, kNine + 65, 0, 0, 0, 1200);
  EXPECT_EQ(none.span, "09:00:00 - 09:01:00");
  EXPECT_EQ(none.count, TXT("总笔:0"));
  EXPECT_EQ(none.share, TXT("占今天总成交量:0%"));
}

TEST_F(TickStatisticTest, RunUsesTheSpanAndReportsFailureOrNothing) {
  std::vector<TickRecord> day = BigTicks(10);
  TickFilterInputs in;
  TickStatisticResult r = RunTickStatistic(day, kNine + 3, kNine + 6, in);
  // The analysed list is 3..6 s; its first two ticks are not listed.
  ASSERT_EQ(r.bigOrders.size(), 2u);
  EXPECT_EQ(r.bigOrders[0].time, kNine + 5);
  EXPECT_EQ(r.resultLots, 300);
  EXPECT_EQ(r.dayLots, 1500);
  in.tab = 1;
  TickStatisticResult slices = RunTickStatistic(day, kNine, kNine + 9, in);
  ASSERT_EQ(slices.slices.size(), 1u);
  EXPECT_EQ(slices.resultTicks, 10);
  // Fewer than two ticks in the span: no classification, no failure message.
  in.tab = 0;
  TickStatisticResult one = RunTickStatistic(day, kNine + 4, kNine + 4, in);
  EXPECT_FALSE(one.failed);
  EXPECT_TRUE(one.bigOrders.empty());
  in.quantityThreshold = 151;
  EXPECT_TRUE(RunTickStatistic(day, kNine, kNine + 9, in).failed);
  // A stop asked through the progress callback ends the run without a failure.
  in.quantityThreshold = 1;
  int calls = 0;
  TickStatisticResult stopped = RunTickStatistic(day, kNine, kNine + 9, in, [&](std::size_t) { return ++calls < 3; });
  EXPECT_TRUE(stopped.cancelled);
  EXPECT_FALSE(stopped.failed);
  EXPECT_EQ(stopped.bigOrders.size(), 3u);
}

}  // namespace
}  // namespace tarn
