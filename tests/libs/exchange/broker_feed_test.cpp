// The simulated market behind the broker: sessions, what can be traded, and the settlement of a
// finished day as the next day's quotes show it.
#include "libs/exchange/broker/broker_market.h"
#include "market_fixture.h"

namespace tarn::test {
namespace {

TEST(MarketFeed, SessionsTradabilityAndSettlementsComeFromTheMarket) {
  auto market = MakeMarket(5, kMonday10, true);
  MarketFeed feed(*market);
  const std::vector<ContractId> rb = ContractsOf(*market, "SHFE", "rb");
  const ContractId month = rb[1], main = rb[rb.size() - 2], index = rb.back();
  EXPECT_TRUE(feed.InSession(month, At(0, 10, 0)));
  EXPECT_FALSE(feed.InSession(month, At(0, 12, 0)));   // the midday break
  EXPECT_TRUE(feed.InSession(month, At(0, 21, 30)));   // the night session (Tuesday's day)
  EXPECT_FALSE(feed.InSession(month, At(5, 10, 0)));   // Saturday
  EXPECT_TRUE(feed.Tradable(month, market->TradingDay()));
  EXPECT_FALSE(feed.Tradable(main, market->TradingDay()));
  EXPECT_FALSE(feed.Tradable(index, market->TradingDay()));
  EXPECT_EQ(feed.NextTradingDay(20251212), 20251215);  // Friday -> Monday
  const int32_t monday = market->TradingDay();
  int32_t ticks = 0;
  EXPECT_FALSE(feed.Settlement(month, monday, ticks));  // not finished yet
  market->AdvanceTo(At(1, 10, 0));
  ASSERT_TRUE(feed.Settlement(month, monday, ticks));
  Snapshot s;
  ASSERT_TRUE(feed.GetSnapshot(month, s));
  EXPECT_EQ(ticks, s.preSettle);
  EXPECT_FALSE(feed.Settlement(month, 20250101, ticks));  // before the market's first day
}

}  // namespace
}  // namespace tarn::test
