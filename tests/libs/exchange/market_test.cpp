#include <cstring>

#include "market_fixture.h"

namespace tarn::test {
namespace {

bool SameSnapshot(const Snapshot& a, const Snapshot& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Market, SameSeedSamePricesOtherSeedOtherPrices) {
  auto a = MakeMarket(11, kMonday10), b = MakeMarket(11, kMonday10), c = MakeMarket(12, kMonday10);
  EventLog la, lb;
  a->AddListener(&la);
  b->AddListener(&lb);
  const std::vector<ContractId> rb = ContractsOf(*a, "SHFE", "rb");
  for (ContractId id : rb) {
    a->Watch(id);
    b->Watch(id);
  }
  // b is asked in another order and jumps where a steps: the state is the same.
  StepMs(*a, 90000);
  b->AdvanceTo(kMonday10 + 90000);
  ASSERT_EQ(la.events.size() > 0, true);
  for (ContractId id : rb) {
    Snapshot sa, sb;
    a->GetSnapshot(id, sa);
    b->GetSnapshot(id, sb);
    EXPECT_TRUE(SameSnapshot(sa, sb)) << a->GetCatalogue().ContractAt(id).key;
  }
  std::vector<Bar> ba, bb;
  a->GetBars(rb[0], Period{3, 1}, 0, 3000, ba);
  b->GetBars(rb[0], Period{3, 1}, 0, 3000, bb);
  ASSERT_EQ(ba.size(), bb.size());
  EXPECT_EQ(std::memcmp(ba.data(), bb.data(), ba.size() * sizeof(Bar)), 0);

  Snapshot s1, s2;
  a->GetSnapshot(Id(*a, "SHFE|rbMI"), s1);
  c->GetSnapshot(Id(*c, "SHFE|rbMI"), s2);
  EXPECT_NE(s1.last, s2.last);
}

TEST(Market, BooksAreOrderedOnTheGridAndInsideTheLimits) {
  auto m = MakeMarket(5, kMonday10);
  const Catalogue& cat = m->GetCatalogue();
  for (ContractId id = 0; id < cat.Size(); ++id) m->Watch(id);
  StepMs(*m, 3000);
  int withBook = 0;
  for (ContractId id = 0; id < cat.Size(); ++id) {
    Snapshot s;
    ASSERT_TRUE(m->GetSnapshot(id, s));
    const std::string& key = cat.ContractAt(id).key;
    ASSERT_GT(s.upper, s.lower) << key;
    EXPECT_GE(s.last, s.lower) << key;
    EXPECT_LE(s.last, s.upper) << key;
    if (s.volume > 0) {
      EXPECT_LE(s.low, s.last) << key;
      EXPECT_GE(s.high, s.last) << key;
      EXPECT_GE(s.open, s.low) << key;
      EXPECT_LE(s.open, s.high) << key;
    }
    if (s.bidPrice[0] > 0 && s.askPrice[0] > 0) {
      ++withBook;
      EXPECT_LT(s.bidPrice[0], s.askPrice[0]) << key;
    }
    for (int j = 0; j < kBookLevels; ++j) {
      EXPECT_EQ(s.bidPrice[j] > 0, s.bidQty[j] > 0) << key;
      EXPECT_EQ(s.askPrice[j] > 0, s.askQty[j] > 0) << key;
      if (s.bidPrice[j] > 0) {
        EXPECT_GE(s.bidPrice[j], s.lower) << key;
      }
      if (s.askPrice[j] > 0) {
        EXPECT_LE(s.askPrice[j], s.upper) << key;
      }
      if (j > 0 && s.bidPrice[j] > 0) {
        EXPECT_LT(s.bidPrice[j], s.bidPrice[j - 1]) << key;
      }
      if (j > 0 && s.askPrice[j] > 0) {
        EXPECT_GT(s.askPrice[j], s.askPrice[j - 1]) << key;
      }
    }
    // Limits come from the previous settlement.
    const double limit = cat.CommodityOf(id).spec.limit;
    EXPECT_NEAR(s.upper, s.preSettle * (1 + limit), 1.0) << key;
    EXPECT_NEAR(s.lower, s.preSettle * (1 - limit), 1.0) << key;
  }
  EXPECT_GT(withBook, static_cast<int>(cat.Size() * 3 / 4));
  // Busy contracts show ten levels on each side, with realistic sizes.
  Snapshot rb;
  m->GetSnapshot(Id(*m, "SHFE|rbMI"), rb);
  for (int j = 0; j < kBookLevels; ++j) {
    EXPECT_EQ(rb.bidPrice[0] - rb.bidPrice[j], j);
    EXPECT_EQ(rb.askPrice[j] - rb.askPrice[0], j);
    EXPECT_GT(rb.bidQty[j], 5);
  }
}

TEST(Market, TheTradingDayRollsAt1700AndCarriesCloseSettlementAndOpenInterest) {
  auto m = MakeMarket(3, At(0, 16, 59));
  EventLog log;
  m->AddListener(&log);
  const std::vector<ContractId> ids = ContractsOf(*m, "DCE", "P");
  for (ContractId id : ids) m->Watch(id);
  EXPECT_EQ(m->TradingDay(), 20251208);
  StepMs(*m, 2 * kMinuteMs);
  EXPECT_EQ(m->TradingDay(), 20251209);
  int rolls = 0;
  for (const MarketEvent& e : log.events)
    if (e.type == EventType::DayRoll) {
      ++rolls;
      EXPECT_EQ(e.snap.tradingDay, 20251209);
    }
  EXPECT_EQ(rolls, 1);
  for (ContractId id : ids) {
    const std::vector<Snapshot> snaps = log.SnapshotsOf(id);
    const Snapshot* lastOld = nullptr;
    const Snapshot* firstNew = nullptr;
    for (const Snapshot& s : snaps) {
      if (s.tradingDay == 20251208) lastOld = &s;
      if (s.tradingDay == 20251209 && !firstNew) firstNew = &s;
    }
    const std::string& key = m->GetCatalogue().ContractAt(id).key;
    ASSERT_TRUE(lastOld && firstNew) << key;
    EXPECT_EQ(lastOld->timeMs, At(0, 16, 59) + 59500) << key;  // the day's last step trades
    EXPECT_GT(lastOld->settlement, 0) << key;
    EXPECT_EQ(firstNew->preClose, lastOld->last) << key;
    EXPECT_EQ(firstNew->preSettle, lastOld->settlement) << key;
    EXPECT_EQ(firstNew->preOpenInterest, lastOld->openInterest) << key;
    EXPECT_LT(firstNew->volume, lastOld->volume) << key;
    EXPECT_EQ(firstNew->settlement, 0) << key;
  }
}

// When the main month moves on at a roll, the main-continuous contract announces that its
// history changed; on other rolls it does not.
TEST(Market, AMainContractThatChangesMonthIsReset) {
  int changes = 0;
  for (int d = 0; d < 40; ++d) {
    auto m = MakeMarket(6, At(d, 16, 59) + 30000);
    EventLog log;
    m->AddListener(&log);
    const Catalogue& cat = m->GetCatalogue();
    const int cu = cat.FindCommodity("SHFE", "cu");
    const ContractId mi = cat.Commodities()[cu].mainContract;
    m->Watch(mi);
    const ContractId before = m->MainMonth(cu);
    StepMs(*m, kMinuteMs);
    const ContractId after = m->MainMonth(cu);
    int resets = 0;
    for (const MarketEvent& e : log.events)
      if (e.type == EventType::ContractReset && e.id == mi) ++resets;
    EXPECT_EQ(resets, before != after ? 1 : 0) << d;
    if (before != after) ++changes;
  }
  EXPECT_GE(changes, 1);  // copper's main month moves on once a month
}

TEST(Market, RealSessionsCloseAtLunchAndOverTheWeekend) {
  auto m = MakeMarket(9, At(0, 11, 29), true);
  EventLog log;
  m->AddListener(&log);
  const ContractId rb = Id(*m, "SHFE|rbMI");
  m->Watch(rb);
  StepMs(*m, kMinuteMs);  // the rest of 11:29, the last minute of the morning
  EXPECT_EQ(log.SnapshotsOf(rb).size(), 119u);
  StepMs(*m, 90 * kMinuteMs / 60);  // 11:30 - 11:31:30: closed
  EXPECT_EQ(log.SnapshotsOf(rb).size(), 119u);
  m->AdvanceTo(At(0, 13, 30));
  const std::size_t before = log.SnapshotsOf(rb).size();
  StepMs(*m, 10000);
  EXPECT_EQ(log.SnapshotsOf(rb).size(), before + 20);

  // Friday's night session (21:00 - 23:00 for rb) already belongs to Monday; over the weekend
  // nothing trades.
  auto night = MakeMarket(9, At(4, 21, 30), true);
  auto saturday = MakeMarket(9, At(5, 10, 0), true);
  auto sunday = MakeMarket(9, At(6, 20, 0), true);
  EXPECT_EQ(night->TradingDay(), 20251215);
  EXPECT_EQ(saturday->TradingDay(), 20251215);
  Snapshot n, sa, su;
  night->GetSnapshot(Id(*night, "SHFE|rbMI"), n);
  saturday->GetSnapshot(Id(*saturday, "SHFE|rbMI"), sa);
  sunday->GetSnapshot(Id(*sunday, "SHFE|rbMI"), su);
  EXPECT_GT(n.volume, 0);
  EXPECT_GT(sa.volume, n.volume);
  EXPECT_EQ(su.volume, sa.volume);
  EXPECT_EQ(su.last, sa.last);
  EXPECT_EQ(sa.tradingDay, 20251215);
}

TEST(Market, ListenersMayAdvanceAndQueryFromInsideADelivery) {
  auto m = MakeMarket(2, kMonday10);
  struct Nested : IMarketListener {
    Market* market = nullptr;
    std::vector<int64_t> times;
    void OnMarketEvents(const std::vector<MarketEvent>& e) override {
      for (const MarketEvent& ev : e) times.push_back(ev.snap.timeMs);
      Snapshot s;
      market->GetSnapshot(e.front().id, s);
      market->Watch(e.front().id);
      if (times.size() < 5) market->AdvanceTo(market->NowMs() + kStepMs);  // only queues
    }
  } nested;
  nested.market = m.get();
  m->AddListener(&nested);
  m->Watch(Id(*m, "SHFE|rbMI"));
  m->AdvanceTo(kMonday10 + kStepMs);
  ASSERT_GE(nested.times.size(), 3u);
  for (std::size_t i = 1; i < nested.times.size(); ++i) EXPECT_GT(nested.times[i], nested.times[i - 1]);
  m->RemoveListener(&nested);
}

}  // namespace
}  // namespace tarn::test
