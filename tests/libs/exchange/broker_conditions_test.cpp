// Condition and stop orders: every trigger basis and kind, every send-price mode, trailing and
// break-even stops, stops bound to a position, validity and the close-today split.
#include "broker_fixture.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kSell = 2, kOpen = 1, kClose = 2;

class ConditionsTest : public BrokerTest {
 protected:
  ConditionEntry Spec(int dir, int offset, int basis, int kind, int32_t trigger, int mode, int ticks = 0) {
    ConditionEntry s;
    s.account = "A";
    s.contract = rb;
    s.direction = dir;
    s.offset = offset;
    s.triggerBasis = basis;
    s.kind = kind;
    s.trigger = trigger;
    s.quantity = 1;
    s.sendMode = mode;
    s.ticks = ticks;
    return s;
  }
  void Long(int lots, int32_t price) {
    Step(market.Book(rb, price - 1, price, 10));
    ASSERT_EQ(Get("A", Send("A", rb, kBuy, kOpen, lots, price)).state, kStFilled);
  }
  // A step whose last price is `last`, with the book a tick either side.
  void Last(int32_t last) { Step(market.Book(rb, last - 1, last + 1, 10, last)); }
  std::string SideNumber() { return std::string(Field(Position("A", rb, 1).number)); }
};

TEST_F(ConditionsTest, EachBasisAndKindFiresIntoAnOrderPricedByItsMode) {
  struct Case {
    int dir, basis, kind;
    int32_t trigger;
    int mode, ticks;
    int32_t quietBid, quietAsk, quietLast;  // a step that must not fire
    int32_t bid, ask, last;                 // the step that fires
    int32_t price;                          // the order's price (0: market)
  } cases[] = {
      {kBuy, 0, 0, 3105, 1, 2, 3103, 3105, 3104, 3104, 3106, 3105, 3107},   // last >=, last + 2
      {kBuy, 1, 1, 3100, 2, 1, 3101, 3103, 3102, 3100, 3102, 3101, 3103},   // bid <=, ask + 1
      {kSell, 2, 0, 3110, 3, 2, 3108, 3109, 3108, 3109, 3110, 3110, 3108},  // ask >=, ask - 2
      {kSell, 0, 1, 3095, 0, 0, 3096, 3098, 3097, 3094, 3096, 3095, 3090},  // last <=, explicit
      {kBuy, 2, 1, 3098, 4, 0, 3098, 3100, 3099, 3097, 3098, 3097, 0},      // ask <=, market
  };
  for (const Case& k : cases) {
    Step(market.Book(rb, k.quietBid, k.quietAsk, 10, k.quietLast));
    ConditionEntry s = Spec(k.dir, kOpen, k.basis, k.kind, k.trigger, k.mode, k.ticks);
    s.sendPrice = 3090;
    const int seq = broker->InsertCondition(s);
    Order c = Get("A", seq);
    ASSERT_EQ(c.state, kStWaiting) << k.trigger;
    EXPECT_TRUE(c.condition);
    Step(market.Book(rb, k.bid, k.ask, 10, k.last));
    c = Get("A", seq);
    ASSERT_EQ(c.state, kStTriggered) << k.trigger;
    const Order fired = Get("A", c.triggeredSequence);
    EXPECT_FALSE(fired.condition);
    EXPECT_EQ(fired.direction, k.dir);
    EXPECT_EQ(fired.market, k.price == 0);
    if (k.price) {
      EXPECT_EQ(fired.price, k.price) << k.trigger;
    }
    // Its OnOrder came before the order it fired.
    const std::vector<BrokerEvent> events = log.Take();
    int at = -1, firedAt = -1;
    for (int i = 0; i < static_cast<int>(events.size()); ++i) {
      if (events[i].type != BrokerEventType::Order) continue;
      if (events[i].order.sequence == seq && events[i].order.state == kStTriggered) at = i;
      if (events[i].order.sequence == fired.sequence && firedAt < 0) firedAt = i;
    }
    EXPECT_GE(at, 0);
    EXPECT_GT(firedAt, at);
    broker->CancelOrder("A", Field(fired.key));
  }
  ExpectInvariants();
}

TEST_F(ConditionsTest, ATrailingStopFollowsTheBestPriceAndFiresWhenThePriceFallsBack) {
  Long(2, 3100);
  ConditionEntry s = Spec(kSell, kClose, 0, 4, 0, 4, 5);
  s.sendPrice = 3090;
  s.quantity = 2;
  s.positionNumber = SideNumber();
  const int seq = broker->InsertCondition(s);
  EXPECT_EQ(Get("A", seq).stop, 3094);  // the last price 3099 was already more than 5 above 3090
  Last(3110);
  EXPECT_EQ(Get("A", seq).stop, 3105);
  Last(3106);
  EXPECT_EQ(Get("A", seq).state, kStWaiting);
  EXPECT_EQ(Get("A", seq).stop, 3105);
  Last(3105);
  EXPECT_EQ(Get("A", seq).state, kStTriggered);
  EXPECT_EQ(Position("A", rb, 1).quantity, 0);  // closed at market
  ExpectInvariants();
}

TEST_F(ConditionsTest, ABreakEvenStopArmsAfterItsDistanceAndGuardsTheReference) {
  Long(1, 3100);
  ConditionEntry s = Spec(kSell, kClose, 0, 5, 0, 4, 10);
  s.sendPrice = 3100;
  const int seq = broker->InsertCondition(s);
  Last(3109);
  EXPECT_EQ(Get("A", seq).stop, 0);
  Last(3110);
  EXPECT_EQ(Get("A", seq).stop, 3100);
  Last(3101);
  EXPECT_EQ(Get("A", seq).state, kStWaiting);
  Last(3100);
  EXPECT_EQ(Get("A", seq).state, kStTriggered);
  EXPECT_EQ(Position("A", rb, 1).quantity, 0);
  ExpectInvariants();
}

TEST_F(ConditionsTest, AStopBoundToAPositionOrLotEndsWithIt) {
  Long(2, 3100);
  Long(1, 3101);
  std::vector<LotView> lots;
  broker->GetLots("A", lots);
  ASSERT_EQ(lots.size(), 2u);
  ConditionEntry side = Spec(kSell, kClose, 0, 1, 3000, 4);
  side.positionNumber = SideNumber();
  ConditionEntry lot = Spec(kSell, kClose, 0, 1, 3000, 4);
  lot.positionNumber = std::string(Field(lots[1].lot.number));
  const int onSide = broker->InsertCondition(side);
  const int onLot = broker->InsertCondition(lot);
  ConditionEntry none = Spec(kSell, kClose, 0, 1, 3000, 4);
  none.positionNumber = "S404";
  const Order refused = Get("A", broker->InsertCondition(none));
  EXPECT_EQ(refused.state, kStFailed);
  EXPECT_EQ(refused.errorCode, kErrStopPosition);
  EXPECT_TRUE(refused.condition);
  // Closing the named lot ends the lot's stop; the position's stays until the position is flat.
  ASSERT_EQ(Get("A", Send("A", rb, kSell, 3, 1, 3100, false, lot.positionNumber)).state, kStFilled);
  EXPECT_EQ(Get("A", onLot).state, kStWithdrawn);
  EXPECT_EQ(Get("A", onSide).state, kStWaiting);
  Send("A", rb, kSell, 3, 2, 3100);  // today's lots, closed today
  EXPECT_EQ(Get("A", onSide).state, kStWithdrawn);
  ExpectInvariants();
}

TEST_F(ConditionsTest, DayOrdersEndAtTheRollLongTermOnesWaitOn) {
  Last(3100);
  ConditionEntry day = Spec(kBuy, kOpen, 0, 0, 3200, 4);
  ConditionEntry lasting = Spec(kBuy, kOpen, 0, 0, 3200, 4);
  lasting.longTerm = true;
  const int d = broker->InsertCondition(day);
  const int l = broker->InsertCondition(lasting);
  const std::string lastingKey(Field(Get("A", l).key));
  market.Roll();
  broker->WaitIdle();
  std::vector<Order> orders;
  broker->GetOrders("A", orders);
  ASSERT_EQ(orders.size(), 1u);  // the day's list holds only the order still waiting
  EXPECT_EQ(Field(orders[0].key), lastingKey);
  bool ended = false;
  for (const BrokerEvent& e : log.Take())
    ended = ended || (e.type == BrokerEventType::Order && e.order.sequence == d && e.order.state == kStWithdrawn);
  EXPECT_TRUE(ended);
  Last(3201);
  broker->GetOrders("A", orders);
  EXPECT_EQ(orders[0].state, kStTriggered);
  EXPECT_EQ(Position("A", rb, 1).quantity, 1);
  ExpectInvariants();
}

TEST_F(ConditionsTest, ACloseOnAnExchangeWithTheCloseTodayRuleSplitsIntoOlderAndTodaysLots) {
  Long(2, 3100);
  market.SetSettlement(rb, market.day_, 3100);
  market.Roll();
  broker->WaitIdle();
  Long(1, 3101);
  ConditionEntry s = Spec(kSell, kClose, 0, 1, 3095, 4);
  s.quantity = 3;
  const int seq = broker->InsertCondition(s);
  Last(3095);
  const Order c = Get("A", seq);
  ASSERT_EQ(c.state, kStTriggered);
  EXPECT_EQ(Get("A", c.triggeredSequence).offset, 2);
  EXPECT_EQ(Get("A", c.triggeredSequence).quantity, 2);
  EXPECT_EQ(Get("A", c.triggeredSequence + 1).offset, 3);
  EXPECT_EQ(Position("A", rb, 1).quantity, 0);
  ExpectInvariants();
}

TEST_F(ConditionsTest, AStopBoundToOneLotClosesItWithTheOffsetItsAgeNeeds) {
  Long(1, 3100);
  market.SetSettlement(rb, market.day_, 3100);
  market.Roll();
  broker->WaitIdle();
  Long(1, 3101);
  std::vector<LotView> lots;
  broker->GetLots("A", lots);
  ASSERT_EQ(lots.size(), 2u);
  ASSERT_FALSE(lots[0].lot.today);
  ASSERT_TRUE(lots[1].lot.today);
  // Both stops ask for a plain close; the one on today's lot must go out as a close-today.
  ConditionEntry onOld = Spec(kSell, kClose, 0, 1, 3095, 4);
  onOld.positionNumber = std::string(Field(lots[0].lot.number));
  ConditionEntry onToday = Spec(kSell, kClose, 0, 1, 3095, 4);
  onToday.positionNumber = std::string(Field(lots[1].lot.number));
  const int oldSeq = broker->InsertCondition(onOld);
  const int todaySeq = broker->InsertCondition(onToday);
  Last(3095);
  const Order firedOld = Get("A", Get("A", oldSeq).triggeredSequence);
  const Order firedToday = Get("A", Get("A", todaySeq).triggeredSequence);
  EXPECT_EQ(firedOld.offset, kClose);
  EXPECT_EQ(firedOld.state, kStFilled);
  EXPECT_EQ(firedToday.offset, 3);
  EXPECT_EQ(firedToday.state, kStFilled);
  EXPECT_EQ(Position("A", rb, 1).quantity, 0);
  ExpectInvariants();
}

}  // namespace
}  // namespace tarn::test
