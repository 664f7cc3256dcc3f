// Strategy, condition and stop orders end to end: built by the dialogs' logic, handed to the
// embedded trading library and run by its broker on the manual clock.
#include <gtest/gtest.h>

#include "engines/condition_forms.h"
#include "engines/strategy_forms.h"
#include "libs/tradeapi/trade_fixture.h"

namespace tarn::test {
namespace {

class EmbeddedStrategy : public TradeTest {
 protected:
  void SetUp() override {
    TradeTest::SetUp();
    recorder = std::make_unique<TradeRecorder>();  // hears the library made just now
    ASSERT_EQ(Login(*recorder), 1);
    rb = Main("SHFE", "rb");
    hc = Main("SHFE", "hc");
    Step();
  }
  // rb bought, hc sold, one lot each; its value to buy is rb's ask - hc's bid.
  CombolStrategy RbHc(int total, int perTrigger) {
    StrategyDefinitionInput in;
    in.legs[0].contract = rb;
    in.legs[1].contract = hc;
    in.legs[1].side = 1;
    in.formula = "a-b";
    in.total = Format("%d", total);
    in.perTrigger = Format("%d", perTrigger);
    CombolStrategy s{};
    EXPECT_FALSE(CheckDefinition(in, &s));
    return s;
  }
  double Ticks(const DC_Contract& c, bool ask) {
    exchange::Market& m = quotes->Exchange().Open();
    exchange::Snapshot s;
    EXPECT_TRUE(m.GetSnapshot(m.GetCatalogue().Find(c.Key()), s));
    return ask ? s.askPrice[0] : s.bidPrice[0];
  }
  std::vector<StrategyOrderRecord> Strategies() {
    std::vector<StrategyOrderRecord> list;
    Api().GetStrategyOrders(list);
    return list;
  }
  PositionRecord Held(const DC_Contract& c, bool isLong) {
    std::vector<PositionRecord> list;
    Api().GetPositions(list);
    for (const PositionRecord& p : list)
      if (p.contract.SameKey(c) && (isLong ? p.longQuantity : p.shortQuantity) > 0) return p;
    return PositionRecord{};
  }
  std::vector<OrderRecord> Orders() {
    std::vector<OrderRecord> list;
    Api().GetOrders(list);
    return list;
  }

  void TearDown() override {
    recorder.reset();
    TradeTest::TearDown();
  }

  std::unique_ptr<TradeRecorder> recorder;
  DC_Contract rb{}, hc{};
};

TEST_F(EmbeddedStrategy, AForwardOrderTriggersAtItsPriceAndEndsDoneWithItsLegsFilled) {
  const double value = Ticks(rb, true) - Ticks(hc, false);  // ticks of 1 yuan on both
  // One order far above the market waits; one at the market's value sends 2 + 1 units.
  StrategySendInput far = SendInputFromQuote(RbHc(3, 2), true, value + 500);
  far.condition = 2;  // ">" 
  StrategySendInput near = SendInputFromQuote(RbHc(3, 2), true, value + 0.5);
  near.condition = 1;  // "<="
  StrategyOrderRequest r{};
  ASSERT_FALSE(CheckStrategySend(far, &r));
  ASSERT_GT(Api().InsertLoopOrder(&r), 0);
  ASSERT_FALSE(CheckStrategySend(near, &r));
  ASSERT_GT(Api().InsertLoopOrder(&r), 0);
  Step(20);
  const auto list = Strategies();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].state, '1');
  EXPECT_EQ(list[0].unitsDone, 0);
  EXPECT_EQ(list[1].state, '4') << GbkToUtf8(Field(list[1].errorText));
  EXPECT_EQ(list[1].unitsDone, 3);
  EXPECT_EQ(Held(rb, true).longQuantity, 3);
  EXPECT_EQ(Held(hc, false).shortQuantity, 3);
  int legOrders = 0;
  for (const OrderRecord& o : Orders()) legOrders += o.hidden == 0 ? 1 : 0;
  EXPECT_EQ(legOrders, 4);  // two batches of two legs
  EXPECT_FALSE(recorder->Of("strategy").empty());
  const auto rows = StrategyOrderRowsFor(list);
  EXPECT_EQ(rows[1].state, TXT("已完成"));
  EXPECT_EQ(rows[1].progress, "3/3");
}

TEST_F(EmbeddedStrategy, ALoopOrderComesBackAtItsSecondPrice) {
  const double value = Ticks(rb, true) - Ticks(hc, false);
  StrategySendInput in = SendInputFromQuote(RbHc(1, 1), true, value + 0.5);
  in.condition = 1;  // buy at <= value
  in.loop = true;
  in.loopPrice = Format("%.1f", value - 1000);
  in.loopCondition = 0;  // sell back at >= far below: at once
  StrategyOrderRequest r{};
  ASSERT_FALSE(CheckStrategySend(in, &r));
  ASSERT_GT(Api().InsertLoopOrder(&r), 0);
  Step(20);
  const auto list = Strategies();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].state, '4') << GbkToUtf8(Field(list[0].errorText));
  EXPECT_EQ(Held(rb, true).longQuantity, 0);
  EXPECT_EQ(Held(hc, false).shortQuantity, 0);
  int sells = 0;
  for (const OrderRecord& o : Orders())
    if (o.contract.SameKey(rb) && o.direction == 2 && o.filledQuantity == 1) ++sells;
  EXPECT_EQ(sells, 1);
}

TEST_F(EmbeddedStrategy, AGridIsNRequestsAtSteppedPrices) {
  StrategySendInput in = SendInputFromQuote(RbHc(1, 1), false, -100000);  // far from the market
  in.condition = 1;
  std::vector<StrategyOrderRequest> out;
  ASSERT_FALSE(CheckGridSend(in, GridSendInput{1, "4", "2.5"}, &out));
  for (const StrategyOrderRequest& r : out) ASSERT_GT(Api().InsertLoopOrder(&r), 0);
  Step();
  const auto list = Strategies();
  ASSERT_EQ(list.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(list[i].request.triggerPrice, -100000 - 2.5 * i);
    EXPECT_EQ(list[i].request.strategy.orderSide, 2);
    EXPECT_EQ(list[i].state, '1');
  }
}

TEST_F(EmbeddedStrategy, AConditionOrderFiresIntoARealOrderAndAPositionStopEndsWithItsPosition) {
  ConditionInput in = ConditionInputFor(rb, 1, 1, 2, Ticks(rb, true) - 50, 0);  // last >= well below
  ConditionOrderRequest r{};
  ASSERT_FALSE(CheckConditionInput(in, &r));
  Api().InsertConditionOrder(r);
  Step(4);
  const PositionRecord held = Held(rb, true);
  ASSERT_EQ(held.longQuantity, 2);
  bool fired = false;
  for (const OrderRecord& o : Orders()) fired = fired || (o.hidden == 1 && o.state == 12);
  EXPECT_TRUE(fired);

  StopContext c;
  c.position = held;
  c.latest = held.currentPrice;
  c.decimals = 0;
  StopInput stop;
  stop.tab = kStopLoss;
  stop.triggerPrice = Format("%.0f", held.currentPrice - 200);
  stop.quantity = "2";
  ASSERT_FALSE(CheckStopInput(c, stop, &r));
  Api().InsertConditionOrder(r);
  Step();
  std::vector<OrderRecord> orders = Orders();
  ASSERT_EQ(StopOrdersOf(orders, held, held.PositionNumber()).size(), 1u);
  Api().ClosePosition(held);  // closed by hand: the stop ends with the position
  Step(4);
  EXPECT_EQ(Held(rb, true).longQuantity, 0);
  orders = Orders();
  EXPECT_TRUE(StopOrdersOf(orders, held, held.PositionNumber()).empty());
  bool ended = false;
  for (const OrderRecord& o : orders) ended = ended || (o.hidden == 1 && o.conditionKind == 1 && o.state == 13);
  EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace tarn::test
