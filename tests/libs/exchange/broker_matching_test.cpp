// Matching: the shown book taken level by level, queue positions behind the shown volume,
// trades at and through resting prices, paper orders meeting each other, refusals, cancelling
// and modifying.
#include "broker_fixture.h"
#include "platform/text.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kSell = 2, kOpen = 1, kClose = 2;

using MatchingTest = BrokerTest;

TEST_F(MatchingTest, AMarketableOrderTakesTheShownBookLevelByLevelOncePerStep) {
  Step(market.Book(rb, 3100, 3101, 5));  // asks 3101 x5, 3102 x5, ...
  const int a = Send("A", rb, kBuy, kOpen, 8, 3102);
  Order o = Get("A", a);
  EXPECT_EQ(o.state, kStFilled);
  ASSERT_EQ(Fills("A").size(), 2u);
  EXPECT_EQ(Fills("A")[0].price, 3101);
  EXPECT_EQ(Fills("A")[0].quantity, 5);
  EXPECT_EQ(Fills("A")[1].price, 3102);
  EXPECT_EQ(Fills("A")[1].quantity, 3);
  EXPECT_EQ(o.fillValue, 3101 * 5 + 3102 * 3);
  // What this step's book showed is gone: the next buyer gets the 2 left at 3102 and rests.
  const int b = Send("B", rb, kBuy, kOpen, 5, 3102);
  o = Get("B", b);
  EXPECT_EQ(o.state, kStPartFilled);
  EXPECT_EQ(o.filled, 2);
  // A new step shows the book afresh.
  Step(market.Book(rb, 3100, 3101, 5));
  EXPECT_EQ(Get("B", b).state, kStFilled);  // the book moved onto its 3102 bid
  ExpectInvariants();
}

TEST_F(MatchingTest, AMarketOrderTakesTheDepthAndTheRestIsCancelled) {
  Snapshot thin = market.Book(rb, 3100, 3101, 1);
  for (int i = 2; i < kBookLevels; ++i) thin.askPrice[i] = thin.askQty[i] = 0;  // two asks of 1 lot
  Step(thin);
  const int a = Send("A", rb, kBuy, kOpen, 5, 0, true);
  Order o = Get("A", a);
  EXPECT_EQ(o.filled, 2);
  EXPECT_EQ(o.state, kStPartCancelled);
  EXPECT_EQ(Funds("A").frozenMargin, 0);
  // Nothing to take at all: cancelled whole, with the reason.
  Snapshot noAsks = market.Book(rb, 3100, 0, 5);
  Step(noAsks);
  o = Get("A", Send("A", rb, kBuy, kOpen, 1, 0, true));
  EXPECT_EQ(o.state, kStCancelled);
  EXPECT_EQ(o.errorCode, kErrNoCounter);
  ExpectInvariants();
}

TEST_F(MatchingTest, ARestingOrderWaitsBehindTheShownVolumeAndFillsAsTheFlowComes) {
  const Snapshot book = market.Book(rb, 3100, 3102, 10);
  Step(book);
  const int a = Send("A", rb, kBuy, kOpen, 5, 3100);
  EXPECT_EQ(Get("A", a).state, kStQueued);
  Trade(book, 3100, 6, kSell);  // 6 of the 10 ahead
  EXPECT_EQ(Get("A", a).filled, 0);
  Trade(book, 3100, 3, kBuy);   // an active buyer at the ask side's price does not reach bids
  EXPECT_EQ(Get("A", a).filled, 0);
  Trade(book, 3100, 6, kSell);  // 4 ahead, then 2 for us: partly filled where the flow is thin
  EXPECT_EQ(Get("A", a).filled, 2);
  EXPECT_EQ(Get("A", a).state, kStPartFilled);
  // A later paper order at the same price queues behind the earlier one.
  const int b = Send("B", rb, kBuy, kOpen, 3, 3100);
  Trade(book, 3100, 4, kSell);
  EXPECT_EQ(Get("A", a).filled, 5);
  EXPECT_EQ(Get("B", b).filled, 0);  // B had the market's 10 ahead of it when it joined
  ExpectInvariants();
}

TEST_F(MatchingTest, TradesThroughARestingPriceFillItAtItsOwnPriceUpToTheTradedLots) {
  const Snapshot book = market.Book(rb, 3100, 3102, 10);
  Step(book);
  const int a = Send("A", rb, kSell, kOpen, 5, 3102);
  const int b = Send("B", rb, kSell, kOpen, 5, 3103);
  Trade(book, 3104, 7, kBuy);  // lifted through both
  EXPECT_EQ(Get("A", a).filled, 5);
  EXPECT_EQ(Get("B", b).filled, 2);
  const std::vector<Fill> fills = Fills("B");
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].price, 3103);
  ExpectInvariants();
}

TEST_F(MatchingTest, ABookThatMovesOntoARestingOrderFillsItWithTheVolumeItShows) {
  Step(market.Book(rb, 3100, 3102, 10));
  const int a = Send("A", rb, kBuy, kOpen, 5, 3101);
  Snapshot moved = market.Book(rb, 3097, 3098, 10);
  moved.askQty[0] = 1;  // 3098 x1, 3099 x10, ...
  moved.askQty[1] = 2;
  moved.askPrice[2] = 3103;
  Step(moved);
  const Order o = Get("A", a);
  EXPECT_EQ(o.filled, 3);  // the 1 + 2 the book shows at or below 3101
  EXPECT_EQ(o.fillValue, 3101 * 3);  // at its own price
  ExpectInvariants();
}

TEST_F(MatchingTest, PaperOrdersMeetEachOtherAtTheRestingPriceButNeverTheirOwn) {
  Step(market.Book(rb, 3100, 3110, 10));
  const int a = Send("A", rb, kSell, kOpen, 4, 3105);  // inside the market's spread
  const int b = Send("B", rb, kBuy, kOpen, 6, 3107);
  EXPECT_EQ(Get("A", a).state, kStFilled);
  const Order ob = Get("B", b);
  EXPECT_EQ(ob.filled, 4);
  EXPECT_EQ(ob.fillValue, 3105 * 4);
  EXPECT_EQ(Position("A", rb, 2).quantity, 4);
  EXPECT_EQ(Position("B", rb, 1).quantity, 4);
  // B's 2 lots rest at 3107; B's own sell at 3106 would meet them.
  const Order self = Get("B", Send("B", rb, kSell, kOpen, 1, 3106));
  EXPECT_EQ(self.state, kStFailed);
  EXPECT_EQ(self.errorCode, kErrSelfTrade);
  ExpectInvariants();
}

TEST_F(MatchingTest, RefusalsCarryTheirCodeAndText) {
  Step(market.Book(rb, 3100, 3101, 10));  // limits 2790 .. 3410
  struct Case {
    ContractId c;
    int dir, offset, qty;
    int32_t price;
    int32_t code;
  } cases[] = {
      {rb, kBuy, kOpen, 1, 3411, kErrPriceLimit},
      {rb, kBuy, kOpen, 0, 3100, kErrQuantity},
      {rb, kBuy, kOpen, kMaxOrderLots + 1, 3100, kErrQuantity},
      {rb, kBuy, 7, 1, 3100, kErrParameter},
      {rb, kSell, kClose, 1, 3100, kErrNoPosition},
      {rb, kBuy, kOpen, 1000, 3100, kErrFunds},  // 1000 lots need 2.79 million of margin
      {market.GetCatalogue().Commodities()[market.GetCatalogue().ContractAt(rb).commodity].mainContract, kBuy, kOpen, 1,
       3100, kErrContract},
  };
  for (const Case& k : cases) {
    const Order o = Get("A", Send("A", k.c, k.dir, k.offset, k.qty, k.price));
    EXPECT_EQ(o.state, kStFailed) << k.code;
    EXPECT_EQ(o.errorCode, k.code);
    EXPECT_EQ(Field(o.errorText), BrokerErrorText(k.code));
  }
  OrderEntry off;
  off.account = "A";
  off.contract = rb;
  off.direction = kBuy;
  off.offset = kOpen;
  off.quantity = 1;
  off.price = 3100;
  off.priceOnTick = false;
  EXPECT_EQ(Get("A", broker->InsertOrder(off)).errorCode, kErrTick);
  market.open_ = false;
  EXPECT_EQ(Get("A", Send("A", rb, kBuy, kOpen, 1, 3100)).errorCode, kErrClosed);
  EXPECT_EQ(broker->InsertOrder(OrderEntry{}), -1);  // no such account: no order at all
  // Every refusal told its account in a text, and the funds are untouched.
  int texts = 0;
  for (const BrokerEvent& e : log.Take()) texts += e.type == BrokerEventType::Text ? 1 : 0;
  EXPECT_EQ(texts, 9);
  EXPECT_EQ(Funds("A").Available(), Y(1000000));
  ExpectInvariants();
}

TEST_F(MatchingTest, CancelAndModify) {
  const Snapshot book = market.Book(rb, 3100, 3102, 10);
  Step(book);
  const int a = Send("A", rb, kBuy, kOpen, 5, 3099);
  EXPECT_GT(Funds("A").frozenMargin, 0);
  std::string error;
  EXPECT_EQ(broker->CancelOrder("A", Field(Get("A", a).key), &error), 0);
  EXPECT_EQ(Get("A", a).state, kStCancelled);
  EXPECT_EQ(Funds("A").frozenMargin, 0);
  EXPECT_EQ(broker->CancelOrder("A", Field(Get("A", a).key), &error), kErrNotWorking);
  EXPECT_EQ(broker->CancelOrder("B", Field(Get("A", a).key), &error), kErrUnknownOrder);  // not B's

  // A partly filled order is cancelled with its rest.
  const int b = Send("A", rb, kBuy, kOpen, 5, 3100);
  Trade(book, 3100, 12, kSell);
  EXPECT_EQ(Get("A", b).filled, 2);
  broker->CancelOrder("A", Field(Get("A", b).key));
  EXPECT_EQ(Get("A", b).state, kStPartCancelled);

  // Fewer lots keep the order's place in the queue; a new price makes it marketable.
  const int c = Send("B", rb, kBuy, kOpen, 6, 3099);
  const int32_t ahead = 10;
  EXPECT_EQ(broker->ModifyOrder("B", Field(Get("B", c).key), 3099, true, 4), 0);
  EXPECT_EQ(Get("B", c).quantity, 4);
  Trade(book, 3099, ahead + 1, kSell);
  EXPECT_EQ(Get("B", c).filled, 1);
  EXPECT_EQ(broker->ModifyOrder("B", Field(Get("B", c).key), 3102, true, 4), 0);
  EXPECT_EQ(Get("B", c).state, kStFilled);
  EXPECT_EQ(broker->ModifyOrder("B", Field(Get("B", c).key), 3100, true, 4), kErrNotWorking);
  ExpectInvariants();
}

}  // namespace
}  // namespace tarn::test
