// The shared order routines over the scripted libraries: what reaches InsertOrder, how a close
// is split, and the estimate's figures and texts.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "trade/order_fakes.h"
#include "trade/orders/order_routines.h"

namespace tarn::test {
namespace {

class OrderRoutines : public ::testing::Test {
 protected:
  OrdersQuoteCenter quotes;
  OrdersTradeApi api;
};

TEST_F(OrderRoutines, SendPutsTheFieldsIntoOneOrder) {
  EXPECT_EQ(SendPanelOrder(quotes.rb, 2, 1, 3, 1, 0.0), 1);
  ASSERT_EQ(api.inserted.size(), 1u);
  const OrderRecord& o = api.inserted[0];
  EXPECT_EQ(o.contract.Key(), "SHFE|rb2605");
  EXPECT_EQ(o.direction, 2);
  EXPECT_EQ(o.offset, 1);
  EXPECT_EQ(o.quantity, 3);
  EXPECT_EQ(o.priceType, 1);
  EXPECT_EQ(o.price, 0.0);
  EXPECT_EQ(o.hidden, 0);
  EXPECT_EQ(o.state, 0);
  SetTradeApi(nullptr);
  EXPECT_EQ(SendPanelOrder(quotes.rb, 1, 1, 1, 0, 3500), -1);
  SetTradeApi(&api);
}

TEST_F(OrderRoutines, SplitWithTheTodayRuleSendsOlderLotsThenTodaysThenTheExcess) {
  // Long 7, 4 of them today: selling 5 closes 3 older and 2 of today's.
  const PositionSums longs{7, 4, 0, 0};
  EXPECT_EQ(SplitCloseParts(2, 2, 5, true, longs), (std::vector<OrderPart>{{2, 3}, {3, 2}}));
  // 9 lots: every older and today's lot, then 2 beyond what is held, with the given offset.
  EXPECT_EQ(SplitCloseParts(2, 2, 9, true, longs), (std::vector<OrderPart>{{2, 3}, {3, 4}, {2, 2}}));
  // A buy closes the short side; the long lots do not count.
  EXPECT_EQ(SplitCloseParts(1, 2, 2, true, PositionSums{7, 4, 1, 1}), (std::vector<OrderPart>{{3, 1}, {2, 1}}));
  // "平今" given: the older part and the excess keep offset 3.
  EXPECT_EQ(SplitCloseParts(2, 3, 5, true, longs), (std::vector<OrderPart>{{3, 3}, {3, 2}}));
  // Nothing held: all of it as given.
  EXPECT_EQ(SplitCloseParts(2, 2, 4, true, PositionSums{}), (std::vector<OrderPart>{{2, 4}}));
  // More today's lots than the total (damaged figures) never make a negative older part.
  EXPECT_EQ(SplitCloseParts(2, 2, 3, true, PositionSums{2, 5, 0, 0}), (std::vector<OrderPart>{{3, 2}, {2, 1}}));
}

TEST_F(OrderRoutines, SplitWithoutTheTodayRuleSendsTheHeldLotsThenTheRest) {
  EXPECT_EQ(SplitCloseParts(2, 2, 10, false, PositionSums{4, 4, 0, 0}), (std::vector<OrderPart>{{2, 4}, {2, 6}}));
  EXPECT_EQ(SplitCloseParts(2, 3, 2, false, PositionSums{4, 0, 0, 0}), (std::vector<OrderPart>{{3, 2}}));
  // An open is one order whatever is held; a close of nothing sends nothing.
  EXPECT_EQ(SplitCloseParts(1, 1, 6, true, PositionSums{1, 1, 1, 1}), (std::vector<OrderPart>{{1, 6}}));
  EXPECT_TRUE(SplitCloseParts(2, 2, 0, true, PositionSums{3, 0, 0, 0}).empty());
}

TEST_F(OrderRoutines, SplitSendReadsThePositionsOfItsContractOnly) {
  api.closeToday = true;
  api.positions = {PositionWithToday(quotes.rb, 2, 0, 0, 0), PositionWithToday(quotes.m, 9, 9, 0, 0),
                   PositionWithToday(quotes.rb, 5, 4, 0, 0)};
  EXPECT_EQ(SendSplitOrder(quotes.rb, 2, 2, 5, 0, 3500.0), 2);
  ASSERT_EQ(api.inserted.size(), 2u);
  EXPECT_EQ(api.inserted[0].offset, 2);
  EXPECT_EQ(api.inserted[0].quantity, 3);
  EXPECT_EQ(api.inserted[1].offset, 3);
  EXPECT_EQ(api.inserted[1].quantity, 2);
  EXPECT_EQ(api.inserted[1].price, 3500.0);
  EXPECT_EQ(api.inserted[1].priceType, 0);
}

TEST_F(OrderRoutines, MarginAndFeeFollowEveryMode) {
  const double n = 1000;
  auto rates = [](int mm, double mv, int m2, double v2, int fm, double a, double b) {
    return ContractRates{mm, mv, m2, v2, fm, a, b};
  };
  EXPECT_DOUBLE_EQ(MarginPerLot(rates(1, 0.1, 1, 1.0, 0, 0, 0), n), 100);
  EXPECT_DOUBLE_EQ(MarginPerLot(rates(2, 50, 1, 2.0, 0, 0, 0), n), 100);
  EXPECT_DOUBLE_EQ(MarginPerLot(rates(3, 0.1, 2, 7, 0, 0, 0), n), 7);
  EXPECT_DOUBLE_EQ(MarginPerLot(rates(3, 0.1, 3, 0.5, 0, 0, 0), n), 1650);
  EXPECT_DOUBLE_EQ(MarginPerLot(rates(4, 5, 4, 1, 0, 0, 0), n), 1006);
  EXPECT_DOUBLE_EQ(MarginPerLot(rates(9, 5, 9, 1, 0, 0, 0), n), 1000);
  EXPECT_DOUBLE_EQ(FeePerLot(rates(1, 0, 1, 0, 0, 3, 4), n), 3);
  EXPECT_DOUBLE_EQ(FeePerLot(rates(1, 0, 1, 0, 1, 0.001, 4), n), 1);
  EXPECT_DOUBLE_EQ(FeePerLot(rates(1, 0, 1, 0, 2, 3, 4), n), 3);
  EXPECT_DOUBLE_EQ(FeePerLot(rates(1, 0, 1, 0, 3, 0.001, 0.002), n), 3);
  EXPECT_DOUBLE_EQ(FeePerLot(rates(1, 0, 1, 0, 4, 3, 4), n), 7);
  EXPECT_DOUBLE_EQ(FeePerLot(rates(1, 0, 1, 0, 7, 3, 4), n), 1000);
}

TEST_F(OrderRoutines, EstimateTextsAndOpenableLots) {
  api.haveRates = true;
  api.rates = ContractRates{1, 0.1, 1, 1.0, 2, 2.5, 0};
  api.funds.available = 10000;
  // rb: multiplier 10, last 3500: margin 3500 a lot, fee 2.5.
  OrderEstimate e = EstimateOrder(quotes.rb, 3500, 2);
  EXPECT_EQ(GbkToUtf8(MarginText(e)), "保证金 7000");
  EXPECT_EQ(GbkToUtf8(FeeText(e)), "手续费 5");
  EXPECT_EQ(GbkToUtf8(OpenableText(e)), "可开手数 2");
  e.quantity = 3;
  EXPECT_EQ(GbkToUtf8(FeeText(e)), "手续费 7.5");
  // A foreign contract's currency scales the available funds.
  api.contractCurrency = "USD";
  api.currencyRate = 0.5;
  EXPECT_EQ(EstimateOrder(quotes.rb, 3500, 1).openable, 1);
  // Negative funds open nothing.
  api.funds.available = -50;
  EXPECT_EQ(EstimateOrder(quotes.rb, 3500, 1).openable, 0);
}

TEST_F(OrderRoutines, SmallMarginShowsTheLotsWithoutANumber) {
  api.haveRates = true;
  api.rates = ContractRates{2, 0.5, 1, 1.0, 0, 0, 0};
  api.funds.available = 1e6;
  const OrderEstimate e = EstimateOrder(quotes.rb, 3500, 1);
  EXPECT_EQ(e.openable, -1);
  EXPECT_EQ(GbkToUtf8(OpenableText(e)), "可开手数");
}

TEST_F(OrderRoutines, WithoutRatesEveryTermIsOne) {
  api.funds.available = 100000;
  // margin = notional = 10 x 100, fee = notional: 2000 a lot.
  const OrderEstimate e = EstimateOrder(quotes.rb, 100, 1);
  EXPECT_DOUBLE_EQ(e.marginPerLot, 1000);
  EXPECT_DOUBLE_EQ(e.feePerLot, 1000);
  EXPECT_EQ(e.openable, 50);
}

TEST_F(OrderRoutines, FractionsOfTheLargestQuantity) {
  api.haveRates = true;
  api.rates = ContractRates{1, 0.1, 1, 1.0, 2, 0, 0};
  api.funds.available = 10000;
  // Two ticks above 998: 10 x 1000 x 0.1 = 1000 a lot -> 10 lots.
  EXPECT_EQ(LargestOpenable(quotes.rb, 998), 10);
  EXPECT_EQ(FractionQuantity(1, 3, 10), 3);
  EXPECT_EQ(FractionQuantity(2, 3, 10), 6);
  EXPECT_EQ(FractionQuantity(1, 1, 10), 10);
  // No funds, or no price at all: at least 1 (never a division by zero).
  api.funds.available = 0;
  EXPECT_EQ(LargestOpenable(quotes.rb, 998), 1);
  api.rates = ContractRates{2, 0, 2, 0, 0, 0, 0};
  api.funds.available = 1e9;
  EXPECT_EQ(LargestOpenable(quotes.rb, 0), 1);
}

TEST_F(OrderRoutines, TrimmedNumbers) {
  EXPECT_EQ(TrimmedNumber(12.5, 2), "12.5");
  EXPECT_EQ(TrimmedNumber(3.0, 2), "3");
  EXPECT_EQ(TrimmedNumber(0.004, 2), "0");
  EXPECT_EQ(TrimmedNumber(3512.40, 6), "3512.4");
  EXPECT_EQ(TrimmedNumber(120, 0), "120");
}

}  // namespace
}  // namespace tarn::test
