// Positions and funds: the close-today rule, which lots a close takes, position numbers, and the
// funds arithmetic after a sequence of fills, to the cent.
#include "broker_fixture.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kSell = 2, kOpen = 1, kClose = 2, kCloseToday = 3;

class PositionsTest : public BrokerTest {
 protected:
  // Holds `lots` long in `c`, opened on the previous trading day at `price` and settled there.
  void HoldFromYesterday(ContractId c, int lots, int32_t price) {
    Step(market.Book(c, price - 1, price, 10));
    ASSERT_EQ(Get("A", Send("A", c, kBuy, kOpen, lots, price)).state, kStFilled);
    market.SetSettlement(c, market.day_, price);
    market.Roll();
    broker->WaitIdle();
    ASSERT_EQ(Position("A", c, 1).today, 0);
  }
  std::vector<LotView> Lots(const char* account) {
    std::vector<LotView> lots;
    broker->GetLots(account, lots);
    return lots;
  }
};

TEST_F(PositionsTest, OnShfeAPlainCloseTakesOlderLotsOnlyAndCloseTodayTodaysOnly) {
  HoldFromYesterday(rb, 3, 3100);
  Step(market.Book(rb, 3100, 3101, 10));
  ASSERT_EQ(Get("A", Send("A", rb, kBuy, kOpen, 2, 3101)).state, kStFilled);
  PositionView p = Position("A", rb, 1);
  EXPECT_EQ(p.quantity, 5);
  EXPECT_EQ(p.today, 2);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kClose, 4, 3100)).errorCode, kErrCloseToday);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kCloseToday, 3, 3100)).errorCode, kErrTodayPosition);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kClose, 6, 3100)).errorCode, kErrNoPosition);
  // Working close orders hold their lots: a second close of the older lots finds only one.
  const int resting = Send("A", rb, kSell, kClose, 2, 3200);
  EXPECT_EQ(Get("A", resting).state, kStQueued);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kClose, 2, 3100)).errorCode, kErrCloseToday);
  broker->CancelOrder("A", Field(Get("A", resting).key));

  const int old = Send("A", rb, kSell, kClose, 3, 3100);
  const int today = Send("A", rb, kSell, kCloseToday, 2, 3100);
  EXPECT_EQ(Get("A", old).state, kStFilled);
  EXPECT_EQ(Get("A", today).state, kStFilled);
  const std::vector<Fill> fills = Fills("A");
  ASSERT_EQ(fills.size(), 3u);
  EXPECT_EQ(fills[1].fee, 465);  // 93,000 yuan of older lots at 0.5 per 10,000
  EXPECT_EQ(fills[2].fee, 620);  // 62,000 yuan of today's at 1 per 10,000
  EXPECT_EQ(fills[1].closeProfit, 0);               // held at 3100 since the settlement
  EXPECT_EQ(fills[2].closeProfit, Y(-1 * 10 * 2));  // bought at 3101 today
  EXPECT_EQ(Position("A", rb, 1).quantity, 0);
  EXPECT_EQ(Funds("A").margin, 0);
  ExpectInvariants();
}

TEST_F(PositionsTest, OnShfeNamingALotOrThePositionDoesNotLiftTheCloseTodayRule) {
  HoldFromYesterday(rb, 2, 3100);
  Step(market.Book(rb, 3100, 3101, 10));
  ASSERT_EQ(Get("A", Send("A", rb, kBuy, kOpen, 2, 3101)).state, kStFilled);
  const std::vector<LotView> lots = Lots("A");
  ASSERT_EQ(lots.size(), 2u);
  ASSERT_FALSE(lots[0].lot.today);
  ASSERT_TRUE(lots[1].lot.today);
  const std::string older(Field(lots[0].lot.number)), todays(Field(lots[1].lot.number));
  const std::string side(Field(Position("A", rb, 1).number));
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kClose, 1, 3100, false, todays)).errorCode, kErrCloseToday);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kCloseToday, 1, 3100, false, older)).errorCode, kErrTodayPosition);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kClose, 3, 3100, false, side)).errorCode, kErrCloseToday);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kClose, 2, 3100, false, older)).state, kStFilled);
  EXPECT_EQ(Get("A", Send("A", rb, kSell, kCloseToday, 2, 3100, false, todays)).state, kStFilled);
  EXPECT_EQ(Position("A", rb, 1).quantity, 0);
  ExpectInvariants();
}

TEST_F(PositionsTest, ElsewhereClosesTakeTheOldestLotsOrTheOneNamedAndPositionNumbersFollowTheSide) {
  Step(market.Book(m, 2950, 2951, 10));
  Send("A", m, kBuy, kOpen, 2, 2951);
  Step(market.Book(m, 2951, 2952, 10));
  Send("A", m, kBuy, kOpen, 1, 2952);
  std::vector<LotView> lots = Lots("A");
  ASSERT_EQ(lots.size(), 2u);
  EXPECT_EQ(lots[0].lot.quantity, 2);
  EXPECT_EQ(lots[1].lot.open, 2952);
  EXPECT_NE(std::string(Field(lots[0].lot.number)), std::string(Field(lots[1].lot.number)));
  EXPECT_EQ(Field(lots[0].lot.fillNumber), Field(Fills("A")[0].number));
  const std::string side(Field(Position("A", m, 1).number));
  EXPECT_FALSE(side.empty());
  // Close-today on an exchange without the rule is a close; the oldest lot goes first.
  EXPECT_EQ(Get("A", Send("A", m, kSell, kCloseToday, 1, 2951)).state, kStFilled);
  lots = Lots("A");
  EXPECT_EQ(lots[0].lot.quantity, 1);
  // A close naming a lot takes that lot.
  const std::string second(Field(lots[1].lot.number));
  EXPECT_EQ(Get("A", Send("A", m, kSell, kClose, 2, 2951, false, second)).errorCode, kErrNoPosition);
  EXPECT_EQ(Get("A", Send("A", m, kSell, kClose, 1, 2951, false, second)).state, kStFilled);
  lots = Lots("A");
  ASSERT_EQ(lots.size(), 1u);
  EXPECT_EQ(lots[0].lot.open, 2951);
  EXPECT_EQ(Get("A", Send("A", m, kSell, kClose, 1, 2951, false, "L999")).errorCode, kErrNoPosition);
  EXPECT_EQ(std::string(Field(Position("A", m, 1).number)), side);  // the same position until flat
  Send("A", m, kSell, kClose, 1, 2951);
  Send("A", m, kBuy, kOpen, 1, 2952);
  EXPECT_NE(std::string(Field(Position("A", m, 1).number)), side);  // a new position
  // A locked position holds both sides at once.
  Send("A", m, kSell, kOpen, 1, 2951);
  EXPECT_EQ(Position("A", m, 1).quantity, 1);
  EXPECT_EQ(Position("A", m, 2).quantity, 1);
  ExpectInvariants();
}

TEST_F(PositionsTest, IndexFuturesCloseTodaysLotsFirst) {
  HoldFromYesterday(ifc, 1, 22751);
  Step(market.Book(ifc, 22750, 22751, 10));
  Send("A", ifc, kBuy, kOpen, 1, 22751);
  const Order close = Get("A", Send("A", ifc, kSell, kClose, 1, 22750));
  ASSERT_EQ(close.state, kStFilled);
  EXPECT_EQ(Position("A", ifc, 1).today, 0);
  // 22750 ticks of 0.2 points times 300 yuan: 1,365,000 yuan at 2.3 per 10,000.
  EXPECT_EQ(Fills("A").back().fee, Y(313.95));
  ExpectInvariants();
}

TEST_F(PositionsTest, FundsBalanceToTheCentAfterASequenceOfFills) {
  Step(market.Book(rb, 3099, 3100, 10));
  Send("A", rb, kBuy, kOpen, 2, 3100);
  FundsView f = Funds("A");
  EXPECT_EQ(f.margin, Y(5580));  // 62,000 yuan at 9 %
  EXPECT_EQ(f.fee, Y(3.10));
  EXPECT_EQ(f.positionProfit, Y(-20));  // marked at the last price 3099
  Step(market.Book(rb, 3110, 3111, 10));
  f = Funds("A");
  EXPECT_EQ(f.positionProfit, Y(200));
  EXPECT_EQ(f.floatProfit, Y(200));
  Send("A", rb, kSell, kCloseToday, 1, 3110);
  f = Funds("A");
  EXPECT_EQ(f.closeProfit, Y(100));
  EXPECT_EQ(f.fee, Y(3.10 + 3.11));
  EXPECT_EQ(f.margin, Y(2790));
  EXPECT_EQ(f.positionProfit, Y(100));
  EXPECT_EQ(f.Dynamic(), Y(1000000 + 100 + 100 - 3.10 - 3.11));
  EXPECT_EQ(f.Available(), f.Dynamic() - Y(2790));
  // A resting open order freezes its margin and fee.
  Send("A", rb, kBuy, kOpen, 1, 3000);
  f = Funds("A");
  EXPECT_EQ(f.frozenMargin, Y(2700));
  EXPECT_EQ(f.frozenFee, Y(1.50));
  EXPECT_EQ(f.Available(), f.Dynamic() - Y(2790) - Y(2701.50));
  // Money in and out.
  EXPECT_TRUE(broker->Deposit("A", Y(500)));
  EXPECT_FALSE(broker->Deposit("A", -Y(2000000)));
  EXPECT_TRUE(broker->Deposit("A", -Y(200)));
  f = Funds("A");
  EXPECT_EQ(f.deposit - f.withdrawal, Y(300));
  ExpectInvariants();
}

TEST_F(PositionsTest, FeesPerLotAndOtherCurrenciesConvertWhenBooked) {
  Step(market.Book(m, 2950, 2951, 10));
  Send("A", m, kBuy, kOpen, 3, 2951);
  EXPECT_EQ(Fills("A")[0].fee, Y(6));  // 2 yuan a lot
  const ContractId es = market.Month("CME", "ES");
  Step(market.Book(es, 26799, 26800, 10));  // 6700.00
  Send("B", es, kBuy, kOpen, 1, 26800);
  EXPECT_EQ(Fills("B")[0].fee, Y(17.75));  // 2.50 dollars at 7.10
  FundsView f = Funds("B");
  EXPECT_EQ(f.margin, Y(237850));  // 335,000 dollars of notional at 10 %, at 7.10
  Step(market.Book(es, 26804, 26805, 10));  // one point up
  EXPECT_EQ(Funds("B").positionProfit, Y(355));  // 50 dollars
  EXPECT_EQ(broker->Terms(es).currency, "USD");
  ExpectInvariants();
}

}  // namespace
}  // namespace tarn::test
