// The order engines on the embedded exchange with its paper-trading broker, driven by the
// manual clock: an opening order fills, CAutoCover attaches a stop, the market crosses it, the
// closing market order goes out and the position is gone; an OCO pair fires one leg and never
// the other.
#include <gtest/gtest.h>

#include "engines/auto_cover.h"
#include "engines/oco_order.h"
#include "support/embedded_trading.h"

namespace tarn::test {
namespace {

class EmbeddedOrders : public EmbeddedTrading {};

TEST_F(EmbeddedOrders, AFilledOpeningOrderGetsAStopThatClosesThePositionWhenTheMarketCrossesIt) {
  ScopedEngine<CAutoCover> stops;
  AutoCoverSetting s;
  s.commodity = "rb";
  s.exchange = "SHFE";
  s.stopLossTicks = 2;
  s.takeProfitTicks = 2;  // whichever way the market goes, two ticks close it
  stops->AddOrReplaceSetting(s);
  stops->SetEnabled(true);
  const DC_Contract month = MainMonth("SHFE|rb");
  ASSERT_FALSE(month.Empty());
  Step();
  ASSERT_GT(GetTradeApi()->InsertOrder(Market(month, 1, 1, 2)), 0);
  Step();
  ASSERT_EQ(Held(month), 2);
  ASSERT_EQ(stops->StopCount(), 1u);  // made by the fill, on the trading library's thread
  EXPECT_TRUE(stops->IsSubscribed(month.Key()));
  for (int i = 0; i < 2000 && Held(month) > 0; ++i) Step();
  EXPECT_EQ(Held(month), 0) << "the market never crossed the levels";
  const std::vector<OrderRecord> orders = OrdersOf(month);
  ASSERT_EQ(orders.size(), 2u);
  const OrderRecord& close = orders[0].offset == 1 ? orders[1] : orders[0];
  EXPECT_EQ(close.direction, 2);
  EXPECT_EQ(close.offset, 3);  // today's lots on SHFE close with "平今"
  EXPECT_EQ(close.priceType, 1);
  EXPECT_EQ(close.quantity, 2);
  EXPECT_EQ(close.state, 4);
  // The position is gone: so is the stop.
  EXPECT_EQ(stops->StopCount(), 0u);
  std::vector<AutoCoverStop> active;
  stops->CopyActiveStops(active);
  EXPECT_TRUE(active.empty());
}

TEST_F(EmbeddedOrders, AnOcoPairFiresOneLegAndNeverTheOther) {
  ScopedEngine<COCOOrderMgr> ocos;
  const DC_Contract month = MainMonth("SHFE|cu");
  ASSERT_FALSE(month.Empty());
  Step();
  const double last = Last(month);
  ASSERT_GT(last, 0);
  const DC_Commodity* commodity = CommodityOf(month);
  ASSERT_NE(commodity, nullptr);
  OcoOrder o;
  o.contract = month;
  o.price1 = last + commodity->tickSize / 2;  // the first move either way breaks a level
  o.price2 = last - commodity->tickSize / 2;
  o.directionA = 1;
  o.offsetA = 1;
  o.directionB = 2;
  o.offsetB = 1;
  o.quantity = 1;
  const int id = ocos->Add(o);
  int state = 0;
  for (int i = 0; i < 2000 && state == 0; ++i) {
    Step();
    std::vector<OcoOrder> all;
    ocos->CopyAll(all);
    state = all.at(0).state;
  }
  ASSERT_NE(state, 0) << "the market never moved";
  Step(200);  // the price wanders past the other level too
  std::vector<OcoOrder> all;
  ocos->CopyAll(all);
  EXPECT_EQ(all.at(0).id, id);
  EXPECT_EQ(all[0].state, state);
  const std::vector<OrderRecord> orders = OrdersOf(month);
  ASSERT_EQ(orders.size(), 1u);
  EXPECT_EQ(orders[0].direction, state == 1 ? 1 : 2);
  EXPECT_EQ(orders[0].offset, 1);
  EXPECT_EQ(orders[0].priceType, 1);
  EXPECT_EQ(orders[0].state, 4);
  EXPECT_EQ(Held(month), 1);
}

}  // namespace
}  // namespace tarn::test
