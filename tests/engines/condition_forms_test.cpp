// The condition order dialog's and the position stop dialogs' checks, requests and texts.
#include <gtest/gtest.h>

#include "engine_fakes.h"
#include "engines/condition_forms.h"

namespace tarn::test {
namespace {

std::string Fails(const std::optional<std::string>& m) { return m ? *m : std::string("ok"); }

TEST(ConditionForms, ChecksInOrderAndTheRequestTheyBuild) {
  const DC_Contract rb = MakeContract("SHFE|rb2605");
  ConditionInput in = ConditionInputFor(rb, 2, 1, 3, 3100, 0);
  EXPECT_FALSE(in.buy);
  EXPECT_TRUE(in.open);
  EXPECT_EQ(in.triggerPrice, "3100");
  EXPECT_EQ(in.validity, 0);  // "长期有效" first
  ConditionOrderRequest r{};
  ASSERT_EQ(Fails(CheckConditionInput(in, &r)), "ok");
  EXPECT_EQ(r.direction, 2);
  EXPECT_EQ(r.offset, 1);
  EXPECT_EQ(r.kind, 0);
  EXPECT_EQ(r.quantity, 3);
  EXPECT_EQ(r.sendPriceMode, 4);  // "市价" by default, its tick offset ignored
  EXPECT_EQ(r.ticks, 0);
  EXPECT_EQ(r.longTerm, 1);
  EXPECT_TRUE(Field(r.positionNumber).empty());

  ConditionInput bad = in;
  bad.contractText = "shfe|RB2605";
  EXPECT_EQ(Fails(CheckConditionInput(bad, &r)), TXT("合约无效"));
  bad.contractText = "";
  EXPECT_EQ(Fails(CheckConditionInput(bad, &r)), TXT("合约无效"));
  bad = in;
  bad.triggerPrice = "0";
  EXPECT_EQ(Fails(CheckConditionInput(bad, &r)), TXT("触发条件价格无效"));
  bad.triggerPrice = "-5";  // only the size counts
  bad.quantity = "0";
  EXPECT_EQ(Fails(CheckConditionInput(bad, &r)), TXT("数量不能为0"));
  bad.quantity = "1";
  bad.explicitPrice = true;
  bad.price = "0.00001";
  EXPECT_EQ(Fails(CheckConditionInput(bad, &r)), TXT("价格错误"));
  bad.price = "3105";
  bad.basis = 2;
  bad.condition = 1;
  bad.validity = 1;
  ASSERT_EQ(Fails(CheckConditionInput(bad, &r)), "ok");
  EXPECT_DOUBLE_EQ(r.triggerPrice, -5);
  EXPECT_EQ(r.triggerBasis, 2);
  EXPECT_EQ(r.kind, 1);
  EXPECT_EQ(r.sendPriceMode, 0);
  EXPECT_DOUBLE_EQ(r.sendPrice, 3105);
  EXPECT_EQ(r.longTerm, 0);
  bad.explicitPrice = false;
  bad.priceBasis = 1;
  bad.tickOffset = "2";
  ASSERT_EQ(Fails(CheckConditionInput(bad, &r)), "ok");
  EXPECT_EQ(r.sendPriceMode, 2);
  EXPECT_EQ(r.ticks, 2);
}

TEST(ConditionForms, TheLiveDisplayComparesWithTheDaysOpen) {
  DC_QuoteData q{};
  EXPECT_FALSE(ConditionQuoteTextsFor(q, 1));
  q.open = 100;
  q.last = 100;
  q.askPrice[0] = 100.5f;
  q.askVolume[0] = 7;
  q.bidPrice[0] = 99.5f;
  q.bidVolume[0] = 3;
  const auto t = ConditionQuoteTextsFor(q, 1);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->last, "100.0");
  EXPECT_EQ(t->ask, TXT("卖 100.5    (7)"));
  EXPECT_EQ(t->bid, TXT("买 99.5    (3)"));
  EXPECT_EQ(t->lastColor, Rgb(200, 200, 200));
  EXPECT_EQ(t->askColor, Rgb(255, 0, 0));
  EXPECT_EQ(t->bidColor, Rgb(0, 160, 0));
}

class StopForms : public ::testing::Test {
 protected:
  StopContext Long() {
    StopContext c;
    c.position = Position(MakeContract("SHFE|rb2605"), 2, 0);
    c.position.longAverage = 3000;
    SetField(c.position.positionNumber, "S00000001");
    c.latest = 3050;
    c.decimals = 0;
    c.tick = 1;
    c.multiplier = 10;
    return c;
  }
  StopContext Short() {
    StopContext c = Long();
    c.position = Position(MakeContract("SHFE|rb2605"), 0, 3);
    c.position.shortAverage = 3100;
    return c;
  }
  StopInput Input(int tab, const char* price) {
    StopInput in;
    in.tab = tab;
    in.triggerPrice = price;
    in.quantity = "2";
    return in;
  }
};

TEST_F(StopForms, KindsByPositionSideAndTheAlreadyReachedRule) {
  ConditionOrderRequest r{};
  // Long: take-profit (kind 0) at or below the latest is refused, the same price as stop-loss goes.
  EXPECT_EQ(Fails(CheckStopInput(Long(), Input(kTakeProfit, "3050"), &r)), TXT("当前价格已经满足条件，不合时宜。"));
  ASSERT_EQ(Fails(CheckStopInput(Long(), Input(kStopLoss, "3040"), &r)), "ok");
  EXPECT_EQ(r.kind, 1);
  EXPECT_EQ(r.direction, 2);
  EXPECT_EQ(r.offset, 2);
  EXPECT_EQ(r.triggerBasis, 0);
  EXPECT_EQ(r.sendPriceMode, 4);
  EXPECT_EQ(Field(r.positionNumber), "S00000001");
  EXPECT_EQ(r.longTerm, 0);  // "当日有效" first here
  EXPECT_EQ(Fails(CheckStopInput(Long(), Input(kStopLoss, "3060"), &r)), TXT("当前价格已经满足条件，不合时宜。"));
  // Short: stop-loss is kind 0 and refused at or below the latest.
  EXPECT_EQ(Fails(CheckStopInput(Short(), Input(kStopLoss, "3050"), &r)), TXT("当前价格已经满足条件，不合时宜。"));
  ASSERT_EQ(Fails(CheckStopInput(Short(), Input(kStopLoss, "3060"), &r)), "ok");
  EXPECT_EQ(r.kind, 0);
  EXPECT_EQ(r.direction, 1);
  // Trailing: refused when not below the latest for a long; break-even never refused.
  EXPECT_EQ(Fails(CheckStopInput(Long(), Input(kTrailingStop, "3050"), &r)), TXT("当前价格已经满足条件，不合时宜。"));
  StopInput trail = Input(kTrailingStop, "3030");
  trail.distance = "5";
  ASSERT_EQ(Fails(CheckStopInput(Long(), trail, &r)), "ok");
  EXPECT_EQ(r.kind, 4);
  EXPECT_DOUBLE_EQ(r.triggerPrice, 0);
  EXPECT_DOUBLE_EQ(r.sendPrice, 3030);
  EXPECT_EQ(r.ticks, 5);
  trail.sendPriceOn = false;  // the explicit send price is not used by a trailing stop
  trail.sendPrice = "";
  ASSERT_EQ(Fails(CheckStopInput(Long(), trail, &r)), "ok");
  EXPECT_EQ(r.sendPriceMode, 4);
  StopInput even = Input(kBreakEven, "3090");
  ASSERT_EQ(Fails(CheckStopInput(Long(), even, &r)), "ok");
  EXPECT_EQ(r.kind, 5);
  even.distance = "0";
  EXPECT_EQ(Fails(CheckStopInput(Long(), even, &r)), TXT("价差错误"));
}

TEST_F(StopForms, ChecksInOrderSendPricesSpinsAndTexts) {
  ConditionOrderRequest r{};
  StopInput in = Input(kStopLoss, "0");
  EXPECT_EQ(Fails(CheckStopInput(Long(), in, &r)), TXT("价格错误"));
  in.triggerPrice = "3040";
  in.quantity = "0";
  EXPECT_EQ(Fails(CheckStopInput(Long(), in, &r)), TXT("数量错误"));
  in.quantity = "1";
  in.sendPriceOn = false;
  in.sendPrice = "0";
  EXPECT_EQ(Fails(CheckStopInput(Long(), in, &r)), TXT("发单价格无效"));
  in.sendPrice = "3039";
  in.validity = 1;
  ASSERT_EQ(Fails(CheckStopInput(Long(), in, &r)), "ok");
  EXPECT_EQ(r.sendPriceMode, 0);
  EXPECT_DOUBLE_EQ(r.sendPrice, 3039);
  EXPECT_EQ(r.longTerm, 1);
  in.sendPriceOn = true;
  in.sendPriceBasis = 1;  // "对盘价"
  in.tickOffset = "3";
  ASSERT_EQ(Fails(CheckStopInput(Long(), in, &r)), "ok");
  EXPECT_EQ(r.sendPriceMode, 2);
  EXPECT_EQ(r.ticks, 3);

  EXPECT_EQ(SpinStopPrice("3040.7", true, 1, 0), "3041");
  EXPECT_EQ(SpinStopPrice("10.37", false, 0.2, 1), "10.0");
  EXPECT_EQ(SpinStopDistance("1", false), "1");
  EXPECT_EQ(SpinStopDistance("1", true), "2");
  EXPECT_EQ(StopHeader(Long()), TXT("持仓:SHFE|rb2605  方向:多头  数量:2  最新价:3050"));
  EXPECT_EQ(StopProfitLine(Long(), Input(kStopLoss, "2990")), TXT("数量:  2    预计盈亏:  -200.00"));
  EXPECT_EQ(StopProfitLine(Short(), Input(kStopLoss, "3110")), TXT("数量:  2    预计盈亏:  -200.00"));
  StopContext m = Long();
  m.modify = true;
  EXPECT_EQ(StopTitle(m), TXT("修改止盈止损 (点击修改按钮前原条件单仍然有效)"));
  EXPECT_EQ(StopSendText(m), TXT("修改"));
  EXPECT_EQ(StopPriceLabel(kBreakEven), TXT("保本价:"));
}

TEST_F(StopForms, TheListHoldsThePositionsWaitingStopsOnly) {
  const StopContext c = Long();
  OrderRecord stop{};
  stop.contract = c.position.contract;
  stop.offset = 2;
  stop.hidden = 1;
  stop.state = 11;
  stop.direction = 2;
  stop.conditionKind = 1;
  stop.triggerPrice = 3000;
  SetField(stop.positionNumber, "S00000001");
  std::vector<OrderRecord> orders(6, stop);
  orders[1].state = 12;
  orders[2].hidden = 0;
  orders[3].direction = 1;
  orders[4].offset = 1;
  SetField(orders[5].positionNumber, "S00000002");
  EXPECT_EQ(StopOrdersOf(orders, c.position, "").size(), 2u);
  EXPECT_EQ(StopOrdersOf(orders, c.position, "S00000001").size(), 1u);
  const StopRow row = StopRowFor(stop, 0, true, 0);
  EXPECT_EQ(row.kind, TXT("止损单"));
  EXPECT_EQ(StopKindText(1, false), TXT("止盈单"));
  EXPECT_EQ(row.state, TXT("运行中"));
  EXPECT_EQ(StopListHeader(c, 100, "S1"), TXT("持仓:SHFE|rb2605  方向:多头  数量:2  最新价:3050   浮盈:100.00 持仓号:S1"));
}

TEST_F(StopForms, AModifiedStopOpensWithItsOwnSendPriceAndGoesBackUnchanged) {
  // Adding: the position's lots and the latest price.
  StopInput in = StopInputFor(Short());
  EXPECT_EQ(in.quantity, "3");
  EXPECT_EQ(in.triggerPrice, "3050");
  EXPECT_TRUE(in.sendPriceOn);
  EXPECT_EQ(in.sendPriceBasis, 3);
  // Modifying: each old stop, opened and sent untouched, is the same request again.
  auto old = [](int kind, double trigger, int mode, double price, int ticks, int longTerm) {
    OrderRecord o{};
    o.conditionKind = kind;
    o.triggerPrice = trigger;
    o.sendPriceMode = mode;
    o.price = price;
    o.ticks = ticks;
    o.quantity = 1;
    o.longTerm = longTerm;
    return o;
  };
  struct Case {
    OrderRecord o;
    int mode;
    double sendPrice;
    int ticks;
  } cases[] = {
      {old(1, 3000, 0, 2995, 0, 1), 0, 2995, 0},  // stop-loss sent at an explicit price
      {old(0, 3100, 2, 0, 3, 0), 2, 0, 3},        // take-profit at the opposite price + 3 ticks
      {old(1, 3000, 4, 0, 0, 0), 4, 0, 0},        // at the market
      {old(1, 3000, 0, 0, 0, 0), 4, 0, 0},        // no usable explicit price: at the market
      {old(4, 0, 4, 3010, 5, 1), 4, 3010, 5},     // trailing: initial stop and distance
  };
  for (const Case& k : cases) {
    StopContext c = Long();
    c.modify = true;
    c.old = k.o;
    const StopInput shown = StopInputFor(c);
    ConditionOrderRequest r{};
    ASSERT_FALSE(CheckStopInput(c, shown, &r)) << k.o.conditionKind << "/" << k.o.sendPriceMode;
    EXPECT_EQ(r.kind, k.o.conditionKind);
    EXPECT_EQ(r.sendPriceMode, k.mode) << k.o.sendPriceMode;
    EXPECT_DOUBLE_EQ(r.sendPrice, k.sendPrice);
    EXPECT_EQ(r.ticks, k.ticks);
    EXPECT_DOUBLE_EQ(r.triggerPrice, k.o.triggerPrice);
    EXPECT_EQ(r.longTerm, k.o.longTerm);
    EXPECT_EQ(r.quantity, 1);
  }
}

}  // namespace
}  // namespace tarn::test
