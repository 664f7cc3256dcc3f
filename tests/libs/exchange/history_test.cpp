#include <map>

#include "market_fixture.h"

namespace tarn::test {
namespace {

struct Agg {
  int64_t time = -1;
  int32_t open = 0, high = 0, low = 0, close = 0;
  int64_t volume = 0;
  void Add(int64_t t, int32_t price, int64_t qty) {
    if (time < 0) {
      time = t;
      open = high = low = price;
    }
    high = std::max(high, price);
    low = std::min(low, price);
    close = price;
    volume += qty;
  }
};

void ExpectSame(const Agg& a, const Bar& b, const std::string& what) {
  EXPECT_EQ(a.open, b.open) << what;
  EXPECT_EQ(a.high, b.high) << what;
  EXPECT_EQ(a.low, b.low) << what;
  EXPECT_EQ(a.close, b.close) << what;
  EXPECT_EQ(a.volume, b.volume) << what;
}

// Bars keyed by their time.
std::map<int64_t, Bar> ByTime(const std::vector<Bar>& bars) {
  std::map<int64_t, Bar> m;
  for (const Bar& b : bars) m[b.time] = b;
  return m;
}

class Continuity : public ::testing::TestWithParam<const char*> {};

// The live steps of a contract, gathered into bars, are the bars the history serves for them,
// in several periods, and history served before the steps does not change.
TEST_P(Continuity, LiveStepsBuildTheBarsTheHistoryServes) {
  auto m = MakeMarket(21, At(0, 10, 0) + 12000);
  const ContractId id = Id(*m, GetParam());
  EventLog log;
  m->AddListener(&log);
  m->Watch(id);
  std::vector<Bar> before;
  m->GetBars(id, Period{3, 1}, 0, 500, before);
  StepMs(*m, 7 * kMinuteMs);

  std::map<int64_t, Agg> minutes, fives, fifteens;
  for (const Snapshot& s : log.SnapshotsOf(id)) {
    if (s.lastQty <= 0) continue;
    const int64_t sec = s.timeMs / 1000;
    minutes[sec / 60 * 60].Add(sec, s.last, s.lastQty);
    fifteens[sec / 15 * 15].Add(sec, s.last, s.lastQty);
    fives[sec / 300 * 300].Add(sec, s.last, s.lastQty);
  }
  std::vector<Bar> bars;
  m->GetBars(id, Period{3, 1}, 0, 600, bars);
  auto byMinute = ByTime(bars);
  // Every minute that the steps covered from its start (the first one began before).
  int compared = 0;
  for (auto& [t, agg] : minutes) {
    if (t < (At(0, 10, 1)) / 1000) continue;
    ASSERT_TRUE(byMinute.count(t)) << t;
    ExpectSame(agg, byMinute[t], "minute");
    ++compared;
  }
  EXPECT_GE(compared, 1);  // a far month trades in only some minutes
  // Minutes served before the steps are unchanged (the last one was then in progress).
  for (std::size_t i = 0; i + 1 < before.size(); ++i) {
    const Bar& now = byMinute[before[i].time];
    EXPECT_EQ(now.close, before[i].close);
    EXPECT_EQ(now.volume, before[i].volume);
    EXPECT_EQ(now.openInterest, before[i].openInterest);
  }
  m->GetBars(id, Period{2, 15}, 0, 100, bars);
  auto by15 = ByTime(bars);
  for (auto& [t, agg] : fifteens) {
    if (t < At(0, 10, 0) / 1000 + 15) continue;
    ASSERT_TRUE(by15.count(t)) << t;
    ExpectSame(agg, by15[t], "15s");
  }
  // A five-minute bar is its minutes together.
  m->GetBars(id, Period{3, 5}, 0, 10, bars);
  auto by5 = ByTime(bars);
  const int64_t five = At(0, 10, 5) / 1000;
  ASSERT_TRUE(by5.count(five));
  Agg sum;
  for (int64_t t = five; t < five + 300; t += 60)
    if (byMinute.count(t)) {
      const Bar& b = byMinute[t];
      sum.Add(t, b.open, 0);
      sum.high = std::max(sum.high, b.high);
      sum.low = std::min(sum.low, b.low);
      sum.close = b.close;
      sum.volume += b.volume;
    }
  ExpectSame(sum, by5[five], "5m");
  // The live snapshot and the day bar agree.
  Snapshot s;
  m->GetSnapshot(id, s);
  m->GetBars(id, Period{5, 1}, 0, 3, bars);
  ASSERT_FALSE(bars.empty());
  EXPECT_EQ(bars.back().close, s.last);
  EXPECT_EQ(bars.back().volume, s.volume);
  EXPECT_EQ(bars.back().high, s.high);
  EXPECT_EQ(bars.back().low, s.low);
  EXPECT_EQ(bars.back().openInterest, s.openInterest);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Continuity,
                         ::testing::Values("SHFE|rbMI", "SHFE|rbIDX", "CFFEX|IFMI", "ZCE|SRMI", "SHFE|rb2609"));

// The day's ticks are the trades of the bars: gathered by minute they give the minute bars,
// and their last cumulative volume is the snapshot's.
TEST(History, TheDaysTicksBuildItsMinuteBars) {
  auto m = MakeMarket(8, At(0, 13, 47) + 21500);
  for (const char* key : {"SHFE|rbMI", "SHFE|rbIDX", "SHFE|rb2609", "DCE|PIDX", "SHFE|au2606"}) {
    const ContractId id = Id(*m, key);
    std::vector<Tick> ticks;
    m->GetTicks(id, ticks);
    ASSERT_FALSE(ticks.empty()) << key;
    std::map<int64_t, Agg> minutes;
    int64_t volume = 0;
    for (const Tick& t : ticks) {
      volume += t.qty;
      EXPECT_EQ(t.volume, volume) << key;
      minutes[t.timeMs / 60000 * 60].Add(t.timeMs / 1000, t.price, t.qty);
      if (t.bid > 0 && t.ask > 0) {
        EXPECT_LT(t.bid, t.ask) << key;
      }
      EXPECT_TRUE(t.price == t.bid || t.price == t.ask) << key;
    }
    std::vector<Bar> bars;
    m->GetBars(id, Period{3, 1}, 0, 2000, bars);
    auto byMinute = ByTime(bars);
    for (auto& [t, agg] : minutes) {
      ASSERT_TRUE(byMinute.count(t)) << key << " " << t;
      ExpectSame(agg, byMinute[t], key);
      EXPECT_EQ(byMinute[t].openInterest > 0, true);
    }
    int64_t fromBars = 0;
    for (const Bar& b : bars)
      if (b.time * 1000 >= TradingCalendar::RollMs(ExchangeDayNum(At(0, 0, 0)) - 1)) fromBars += b.volume;
    EXPECT_EQ(fromBars, volume) << key;
    Snapshot s;
    m->GetSnapshot(id, s);
    EXPECT_EQ(s.volume, volume) << key;
    EXPECT_EQ(s.openInterest, ticks.back().openInterest) << key;
    std::vector<Tick> recent;
    m->GetRecentTrades(id, 30, recent);
    ASSERT_EQ(recent.size(), std::min<std::size_t>(30, ticks.size())) << key;
    EXPECT_EQ(recent.back().timeMs, ticks.back().timeMs) << key;
    EXPECT_EQ(recent.back().volume, volume) << key;
  }
}

TEST(History, EveryPeriodGoesBackToTheOriginInOrder) {
  auto m = MakeMarket(4, kMonday10, false, 400);
  const ContractId id = Id(*m, "SHFE|cuMI");
  for (Period p : {Period{1, 1}, Period{2, 30}, Period{3, 1}, Period{3, 60}, Period{5, 1}, Period{5, 3}, Period{6, 1},
                   Period{7, 1}, Period{7, 3}, Period{8, 1}}) {
    std::vector<Bar> bars;
    ASSERT_TRUE(m->GetBars(id, p, 0, 200, bars)) << p.kind;
    ASSERT_FALSE(bars.empty()) << p.kind << "/" << p.count;
    for (std::size_t i = 1; i < bars.size(); ++i) {
      // Ticks carry whole seconds: two in one second share their time.
      if (p.kind == 1) {
        EXPECT_GE(bars[i].time, bars[i - 1].time);
      } else {
        EXPECT_GT(bars[i].time, bars[i - 1].time) << p.kind << "/" << p.count;
      }
      EXPECT_GE(bars[i].high, bars[i].low);
    }
  }
  std::vector<Bar> days, weeks;
  m->GetBars(id, Period{5, 1}, 0, 1000, days);
  EXPECT_EQ(days.size(), 401u);  // from the origin through today
  m->GetBars(id, Period{6, 1}, 0, 3, weeks);
  ASSERT_EQ(weeks.size(), 3u);
  int64_t weekVolume = 0;
  for (const Bar& d : days)
    if (d.time >= weeks[1].time && d.time < weeks[2].time) weekVolume += d.volume;
  EXPECT_EQ(weekVolume, weeks[1].volume);
  // A range ending in the past ends there.
  std::vector<Bar> range;
  const int64_t end = kMonday10 / 1000 - 3 * 86400;
  m->GetBars(id, Period{3, 15}, end, 50, range);
  ASSERT_EQ(range.size(), 50u);
  EXPECT_LE(range.back().time, end);
  EXPECT_FALSE(m->GetBars(id, Period{4, 1}, 0, 10, range));
}

}  // namespace
}  // namespace tarn::test
