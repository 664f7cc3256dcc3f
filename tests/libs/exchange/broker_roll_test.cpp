// The trading-day roll: settlement at the day's price, today's lots becoming older lots, the
// day's orders ending, statements, and delivery of contracts that stop trading.
#include "broker_fixture.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kSell = 2, kOpen = 1, kClose = 2;

using RollTest = BrokerTest;

TEST_F(RollTest, TheRollSettlesAtTheDaysPriceAndTurnsTodaysLotsIntoOlderOnes) {
  Step(market.Book(rb, 3099, 3100, 10));
  Send("A", rb, kBuy, kOpen, 2, 3100);
  const int resting = Send("A", rb, kBuy, kOpen, 1, 3000);
  market.SetSettlement(rb, kDay1, 3120);
  log.Take();
  market.Roll();
  broker->WaitIdle();
  EXPECT_EQ(broker->TradingDay(), market.day_);
  bool cancelled = false, refreshed = false;
  for (const BrokerEvent& e : log.Take()) {
    cancelled = cancelled || (e.type == BrokerEventType::Order && e.order.sequence == resting && e.order.state == kStCancelled);
    refreshed = refreshed || (e.type == BrokerEventType::Refresh && e.account == broker->FindAccount("A"));
  }
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(refreshed);
  const FundsView f = Funds("A");
  EXPECT_EQ(f.preBalance, Y(1000000 - 3.10 + 400));  // marked to 3120
  EXPECT_EQ(f.fee, 0);
  EXPECT_EQ(f.closeProfit, 0);
  EXPECT_EQ(f.margin, Y(5616));  // 2 x 3120 x 10 at 9 %
  EXPECT_EQ(f.frozenMargin, 0);
  const PositionView p = Position("A", rb, 1);
  EXPECT_EQ(p.quantity, 2);
  EXPECT_EQ(p.today, 0);
  EXPECT_EQ(p.holdValue, 2 * 3120);
  EXPECT_EQ(p.openValue, 2 * 3100);
  EXPECT_TRUE(Fills("A").empty());
  std::vector<Order> orders;
  broker->GetOrders("A", orders);
  EXPECT_TRUE(orders.empty());
  // Closing a held lot today realises against the settlement price; it is a plain close.
  Step(market.Book(rb, 3125, 3126, 10));
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kClose, 1, 3125)).state, kStFilled);
  EXPECT_EQ(Fills("A")[0].closeProfit, Y(50));
  // The statements: the settled day's is kept, today's is made on demand.
  std::string text;
  ASSERT_TRUE(broker->GetSettlement("A", kDay1, text));
  EXPECT_NE(text.find("1000396.90"), std::string::npos) << GbkToUtf8(text);  // the day's equity
  EXPECT_NE(text.find("5616.00"), std::string::npos);
  EXPECT_NE(text.find(market.GetCatalogue().ContractAt(rb).code), std::string::npos);
  EXPECT_NE(text.find(TXT("已结算")), std::string::npos);
  ASSERT_TRUE(broker->GetSettlement("A", market.day_, text));
  EXPECT_NE(text.find(TXT("未结算")), std::string::npos);
  EXPECT_NE(text.find("50.00"), std::string::npos);
  EXPECT_FALSE(broker->GetSettlement("A", 20200101, text));
  ExpectInvariants();
}

TEST_F(RollTest, AContractThatStopsTradingIsDeliveredAtItsLastSettlement) {
  const Contract& c = market.GetCatalogue().ContractAt(rb);
  ASSERT_GE(c.expiry, DayNumOf(kDay1));
  Step(market.Book(rb, 3099, 3100, 10));
  Send("A", rb, kSell, kOpen, 1, 3099);
  int rolls = 0;
  while (DayNumOf(market.day_) <= c.expiry && rolls < 40) {
    market.SetSettlement(rb, market.day_, 3090);
    market.Roll();
    broker->WaitIdle();
    ++rolls;
  }
  EXPECT_EQ(Position("A", rb, 2).quantity, 0);
  const FundsView f = Funds("A");
  EXPECT_EQ(f.margin, 0);
  EXPECT_EQ(f.preBalance, Y(1000000 - 1.55 + 90));  // sold at 3099, settled at 3090
  EXPECT_EQ(market.Watchers(rb), 0);                // nothing more to watch there
  std::string text;
  ASSERT_TRUE(broker->GetSettlement("A", Yyyymmdd(c.expiry), text));
  EXPECT_NE(text.find(TXT("交割")), std::string::npos);
  ExpectInvariants();
}

}  // namespace
}  // namespace tarn::test
