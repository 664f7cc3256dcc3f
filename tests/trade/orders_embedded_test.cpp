// The order routines against the embedded broker: a close of older and today's lots on an
// exchange that tells them apart goes out as the broker takes it, and the estimate's margin is
// the broker's.
#include <gtest/gtest.h>

#include <cmath>

#include "data/quote_data_center.h"
#include "support/embedded_trading.h"
#include "trade/orders/order_routines.h"

namespace tarn::test {
namespace {

class EmbeddedBroker : public EmbeddedTrading {
 protected:
  EmbeddedBroker() : EmbeddedTrading(11, 20) {}
};

TEST_F(EmbeddedBroker, ACloseOfOlderAndTodaysLotsIsSplitAndFilled) {
  const DC_Contract rb = MainMonth("SHFE|rb");
  ASSERT_FALSE(rb.Empty());
  Step();
  ASSERT_GT(SendPanelOrder(rb, 1, 1, 2, 1, 0.0), 0);
  Step(2);
  ASSERT_EQ(PositionOf(rb).longQuantity, 2);
  // The next trading day: the two lots are older lots now.
  quotes->Advance(24LL * 3600 * 1000);
  Wait();
  Step();
  ASSERT_GT(SendPanelOrder(rb, 1, 1, 3, 1, 0.0), 0);
  Step(2);
  PositionRecord p = PositionOf(rb);
  ASSERT_EQ(p.longQuantity, 5);
  ASSERT_EQ(p.todayLong, 3);
  // A plain close of 4 would be refused for today's lots: the split sends 2 + 2.
  EXPECT_EQ(SendSplitOrder(rb, 2, 2, 4, 1, 0.0), 2);
  Step(2);
  p = PositionOf(rb);
  EXPECT_EQ(p.longQuantity, 1);
  EXPECT_EQ(p.todayLong, 1);
  int closes = 0;
  for (const OrderRecord& o : OrdersOf(rb)) {
    if (o.offset == 1) continue;
    ++closes;
    EXPECT_EQ(o.state, 4) << o.offset;
    EXPECT_EQ(o.quantity, 2);
  }
  EXPECT_EQ(closes, 2);
}

TEST_F(EmbeddedBroker, TheEstimateMatchesTheBrokersMarginAndFunds) {
  const DC_Contract cu = MainMonth("SHFE|cu");
  ASSERT_FALSE(cu.Empty());
  Step();
  const DC_Quote q = Quote(cu);
  ASSERT_GT(q.data.last, 0);
  const OrderEstimate e = EstimateOrder(cu, q.data.last, 1);
  FundsRecord f{};
  ASSERT_GT(GetTradeApi()->GetAccountFunds(f, "", "Base"), 0);
  EXPECT_DOUBLE_EQ(e.available, f.available);
  ASSERT_GT(e.marginPerLot, 1.0);
  EXPECT_EQ(e.openable, static_cast<int64_t>(std::trunc(f.available / (e.marginPerLot + e.feePerLot))));
  // A position opened today holds its margin at its open price: the estimate at that price.
  ASSERT_GT(SendPanelOrder(cu, 1, 1, 1, 1, 0.0), 0);
  Step(2);
  std::vector<OrderRecord> orders = OrdersOf(cu);
  ASSERT_EQ(orders.size(), 1u);
  ASSERT_EQ(orders[0].state, 4);
  const OrderEstimate atFill = EstimateOrder(cu, orders[0].averageFillPrice, 1);
  EXPECT_NEAR(PositionOf(cu).longMargin, atFill.marginPerLot, 0.011);
}

}  // namespace
}  // namespace tarn::test
