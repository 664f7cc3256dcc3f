#include "embedded_fixture.h"

namespace tarn::test {
namespace {

class Owner : public IHisDataNotify {
 public:
  void OnHisDataEvent(const DC_Contract*, int status, int a, int) override {
    std::lock_guard<std::mutex> lock(m);
    events.push_back({status, a});
  }
  void OnHisDataReset(int, int, int) override {}
  std::mutex m;
  std::vector<std::pair<int, int>> events;
};

class HistoryTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    ASSERT_EQ(LoginDefault(login), 1);
  }
  Recorder login;
};

TEST_F(HistoryTest, ChartRequestFillsTheStoreAndFollowsTheLiveMarket) {
  Owner owner;
  CHisDataClient client;
  DC_Contract c = Contract("SHFE|rbMI");
  ASSERT_EQ(client.Request(c, 300, &owner, 3, 1), 0);  // filled at once
  std::vector<DC_KData> bars = client.Store().Snapshot();
  ASSERT_EQ(bars.size(), 300u);
  for (std::size_t i = 1; i < bars.size(); ++i) EXPECT_GT(bars[i].time, bars[i - 1].time);
  DC_Quote q{};
  Q().SubscribeQuote(NotifyHandle(), &c, &q, 1);
  EXPECT_FLOAT_EQ(bars.back().close, q.data.last);

  Step(130);  // more than a minute of live steps: history events, and a new bar
  {
    std::lock_guard<std::mutex> lock(owner.m);
    EXPECT_GT(owner.events.size(), 100u);
  }
  BarStore store;
  ASSERT_GT(Q().CopyHistory(&c, 3, 1, &store), 0);
  std::vector<DC_KData> now = store.Snapshot();
  Q().SubscribeQuote(NotifyHandle(), &c, &q, 1);
  EXPECT_FLOAT_EQ(now.back().close, q.data.last);
  EXPECT_GT(now.back().time, bars.back().time);
  // The bar that was in progress at the request is complete now, with more volume.
  for (const DC_KData& b : now) {
    if (b.time == bars.back().time) {
      EXPECT_GE(b.volume, bars.back().volume);
    }
  }
}

TEST_F(HistoryTest, TimeShareIsServedAsOneMinuteBarsOfTheDay) {
  lib->Link().SetDelayMs(5);
  Owner owner;
  CHisDataClient client;
  DC_Contract c = Contract("DCE|PMI");
  ASSERT_EQ(client.Request(c, 5000, &owner, 0, 1), 1);
  lib->WaitDelivered();
  ASSERT_TRUE(client.Answered());  // the reply came as kind 3 count 1, which the client accepts
  std::vector<DC_KData> bars = client.Store().Snapshot();
  ASSERT_FALSE(bars.empty());
  EXPECT_LT(bars.size(), 1441u);  // one day only
  EXPECT_EQ(bars[1].time - bars[0].time, 60);
}

TEST_F(HistoryTest, TicksAndTradeDetailsOfTheDay) {
  DC_Contract c = Contract("CFFEX|IFMI");
  std::vector<TickRecord> ticks;
  const int n = Q().GetTicks(NotifyHandle(), ticks, &c);
  ASSERT_GT(n, 100);
  DC_Quote q{};
  Q().SubscribeQuote(NotifyHandle(), &c, &q, 1);
  EXPECT_EQ(ticks.back().volume, q.data.volume);
  EXPECT_NEAR(ticks.back().last, q.data.last, 1e-3);
  for (std::size_t i = 1; i < ticks.size(); ++i) {
    EXPECT_EQ(ticks[i].volume, ticks[i - 1].volume + ticks[i].quantity);
    EXPECT_EQ(ticks[i].tradingDay, q.data.tradingDay);
    EXPECT_GE(ticks[i].time * 1000 + ticks[i].subKey, ticks[i - 1].time * 1000 + ticks[i - 1].subKey);
  }
  std::vector<QuoteDetail> details;
  ASSERT_GT(Q().GetQuoteDetail(NotifyHandle(), 0, details, &q), 30);
  EXPECT_FLOAT_EQ(details.back().price, q.data.last);
  EXPECT_EQ(details.back().Quantity(), std::min(ticks.back().quantity, 8191));
}

}  // namespace
}  // namespace tarn::test
