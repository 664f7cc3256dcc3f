// The order dialogs' checks and requests without windows.
#include <gtest/gtest.h>

#include "data/trade_enums.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "trade/orders/order_dialog_forms.h"
#include "trade/order_fakes.h"
#include "trade/orders/order_routines.h"

namespace tarn::test {
namespace {

std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }

class OrderDialogForms : public ::testing::Test {
 protected:
  ScopedHome home;
  OrdersQuoteCenter quotes;
  OrdersTradeApi api;
};

TEST_F(OrderDialogForms, ConfirmationFollowsTheStoredSwitch) {
  EXPECT_TRUE(ConfirmationWanted());  // missing key: on
  ApplyConfirmChoice(false);
  EXPECT_FALSE(ConfirmationWanted());
  EXPECT_EQ(Profile::GetString("\\user\\setting.ini", "TradeConfirm", "Value", ""), "0");
  Profile::WriteString("\\user\\setting.ini", "TradeConfirm", "Value", std::string_view("2"));
  EXPECT_FALSE(ConfirmationWanted());  // only 1 asks
  ApplyConfirmChoice(true);
  EXPECT_TRUE(ConfirmationWanted());
}

TEST_F(OrderDialogForms, ConfirmationTexts) {
  OrderRecord o = MakePanelOrder(quotes.m, 2, 3, 12, 0, 3512.4);
  ConfirmTexts t = ConfirmTextsFor(o);
  EXPECT_EQ(t.contract, "m2605");
  EXPECT_EQ(U(t.direction), "卖出");
  EXPECT_EQ(U(t.offset), "平今");
  EXPECT_EQ(t.price, "3512.4");
  EXPECT_EQ(t.quantity, "12");
  o.priceType = 1;
  o.direction = 1;
  o.offset = 1;
  t = ConfirmTextsFor(o);
  EXPECT_EQ(U(t.price), "市价");
  EXPECT_EQ(U(t.direction), "买入");
  EXPECT_EQ(U(t.offset), "开仓");
}

TEST_F(OrderDialogForms, ModifyChecksPriceThenQuantity) {
  double price = -1;
  int quantity = -1;
  EXPECT_EQ(U(*CheckModifyInput("0", "1000000", &price, &quantity)), "价格无效");
  EXPECT_EQ(U(*CheckModifyInput("10000000", "1", &price, &quantity)), "价格无效");
  EXPECT_EQ(U(*CheckModifyInput("3500", "1000000", &price, &quantity)), "数量无效");
  EXPECT_EQ(U(*CheckModifyInput("3500", "0", &price, &quantity)), "数量无效");
  EXPECT_EQ(price, -1);
  EXPECT_FALSE(CheckModifyInput("9999999", "999999", &price, &quantity));
  EXPECT_EQ(price, 9999999);
  EXPECT_EQ(quantity, 999999);
}

TEST_F(OrderDialogForms, CoverPositionStartsFiveTicksTowardsTheOtherSide) {
  PositionRecord p = Position(quotes.m, 3, 0);
  p.currentPrice = 3512.4;
  CoverPositionInput in = CoverPositionInputFor(p, 0.2, 1);
  EXPECT_EQ(in.price, "3511.4");
  EXPECT_EQ(U(in.direction), "卖出");
  EXPECT_EQ(U(in.offset), "平仓");
  EXPECT_EQ(in.quantity, "3");
  EXPECT_TRUE(in.market);
  // A short closes 5 ticks up; a price off the tick grid is cut down to it.
  p = Position(quotes.m, 0, 2);
  p.currentPrice = 3512.3;
  in = CoverPositionInputFor(p, 0.2, 1);
  EXPECT_EQ(in.price, "3513.2");
  EXPECT_EQ(U(in.direction), "买入");
  p.currentPrice = 0;
  EXPECT_EQ(CoverPositionInputFor(p, 0.2, 1).price, "");
}

TEST_F(OrderDialogForms, CoverPositionChecksAndTheOneOrder) {
  PositionRecord p = Position(quotes.m, 3, 0);
  CoverPositionInput in = CoverPositionInputFor(p, 0.2, 1);
  OrderRecord o{};
  in.quantity = "0";
  EXPECT_EQ(U(*CheckCoverPosition(p, in, &o)), "平仓数量错误");
  in.quantity = "2";
  in.market = false;
  in.price = "0.0000001";
  EXPECT_EQ(U(*CheckCoverPosition(p, in, &o)), "价格错误");
  in.price = "3511.4";
  ASSERT_FALSE(CheckCoverPosition(p, in, &o));
  EXPECT_EQ(o.direction, 2);
  EXPECT_EQ(o.offset, 2);
  EXPECT_EQ(o.quantity, 2);
  EXPECT_EQ(o.priceType, 0);
  EXPECT_DOUBLE_EQ(o.price, 3511.4);
  in.market = true;
  ASSERT_FALSE(CheckCoverPosition(Position(quotes.m, 0, 4), in, &o));
  EXPECT_EQ(o.direction, 1);
  EXPECT_EQ(o.priceType, 1);
  EXPECT_EQ(o.price, 0.0);
}

TEST_F(OrderDialogForms, CoverByPositionNumberRemembersThePriceChoice) {
  PositionDetail d{};
  d.contract = quotes.m;
  d.direction = 2;
  d.quantity = 4;
  d.openPrice = 3500.25;
  SetField(d.positionNumber, "P000123");
  CoverByPosNoInput in = CoverByPosNoInputFor(d, 3498.6, 1);
  EXPECT_FALSE(in.limit);
  EXPECT_EQ(in.openPrice, "3500.25");
  EXPECT_EQ(in.price, "3498.6");
  EXPECT_EQ(in.quantity, "4");
  EXPECT_EQ(U(in.direction), "买入");
  in.limit = true;
  in.quantity = "0";
  OrderRecord o{};
  EXPECT_EQ(U(*CheckCoverByPosNo(d, in, &o)), "平仓数量错误");
  EXPECT_FALSE(CoverByPosNoLimitChoice());  // a refused quantity writes nothing
  in.quantity = "3";
  in.price = "0";
  EXPECT_EQ(U(*CheckCoverByPosNo(d, in, &o)), "价格错误");
  EXPECT_TRUE(CoverByPosNoLimitChoice());  // written before the price check
  in.price = "3498.6";
  ASSERT_FALSE(CheckCoverByPosNo(d, in, &o));
  EXPECT_EQ(o.direction, 1);
  EXPECT_EQ(o.offset, 2);
  EXPECT_EQ(o.quantity, 3);
  EXPECT_EQ(o.priceType, 0);
  EXPECT_EQ(Field(o.positionNumber), "P000123");
  // The dialog reopens with the limit choice.
  EXPECT_TRUE(CoverByPosNoInputFor(d, 3498.6, 1).limit);
}

// On an exchange that refuses a plain close of today's lots, a lot opened today goes out as
// "平今" (and says so); an older lot, or any lot elsewhere, as a plain close.
TEST_F(OrderDialogForms, CoverByPositionNumberClosesTodaysLotWithCloseToday) {
  PositionDetail d{};
  d.contract = quotes.m;
  d.direction = 1;
  d.quantity = 2;
  d.todayQuantity = 2;
  SetField(d.positionNumber, "P000200");
  CoverByPosNoInput in = CoverByPosNoInputFor(d, 3498.6, 1, true);
  EXPECT_EQ(in.offset, OffsetText(3));
  OrderRecord o{};
  ASSERT_FALSE(CheckCoverByPosNo(d, in, &o, true));
  EXPECT_EQ(o.offset, 3);
  EXPECT_EQ(o.direction, 2);
  EXPECT_EQ(Field(o.positionNumber), "P000200");
  ASSERT_FALSE(CheckCoverByPosNo(d, in, &o, false));
  EXPECT_EQ(o.offset, 2);
  d.todayQuantity = 0;
  EXPECT_EQ(CoverByPosNoInputFor(d, 3498.6, 1, true).offset, OffsetText(2));
  ASSERT_FALSE(CheckCoverByPosNo(d, in, &o, true));
  EXPECT_EQ(o.offset, 2);
}

TEST_F(OrderDialogForms, CoverByPositionNumberSpins) {
  EXPECT_EQ(SpinCoverPrice("3498.6", true, 0.2, 1), "3498.8");
  EXPECT_EQ(SpinCoverPrice("3498.6", false, 0.2, 1), "3498.4");
  EXPECT_EQ(SpinCoverPrice("3500", true, 1, 0), "3501");
  EXPECT_EQ(SpinCoverPrice("0", true, 1, 0), "0");
  EXPECT_EQ(SpinCoverPrice("12", true, 0, 0), "12");  // no tick: nothing to step by
  EXPECT_EQ(SpinCoverQuantity("3", true, 4), "4");
  EXPECT_EQ(SpinCoverQuantity("4", true, 4), "4");
  EXPECT_EQ(SpinCoverQuantity("1", false, 4), "0");
  EXPECT_EQ(SpinCoverQuantity("0", false, 4), "0");
}

TEST_F(OrderDialogForms, LineOrderPaletteArmsOneKeyAtATime) {
  LineOrderPalette p;
  EXPECT_EQ(U(*p.Click(0, "0")), "手数设置错误");
  EXPECT_EQ(U(*p.Click(0, "1000")), "手数设置错误");
  EXPECT_EQ(p.Armed(), -1);
  EXPECT_FALSE(p.Click(2, "5"));
  EXPECT_EQ(p.Armed(), 2);
  EXPECT_EQ(p.Quantity(), 5);
  EXPECT_FALSE(p.Click(3, "999"));
  EXPECT_EQ(p.Armed(), 3);
  EXPECT_FALSE(p.Click(3, "999"));
  EXPECT_EQ(p.Armed(), -1);
  EXPECT_EQ(U(LineOrderModeText(1)), "卖平");
  EXPECT_EQ(LineOrderDirection(1), 2);
  EXPECT_EQ(LineOrderOffset(1), 2);
  EXPECT_EQ(LineOrderDirection(3), 1);
  EXPECT_EQ(LineOrderOffset(2), 1);
}

TEST_F(OrderDialogForms, PriceCubeCardsFollowTheirQuotesAndSelect) {
  PriceCube cube;
  cube.Add(quotes.rb, 0);
  cube.Add(quotes.m, 1);
  cube.Add(quotes.rb, 0);
  EXPECT_TRUE(cube.ApplyQuote(QuoteOf(quotes.rb, 3500, 3499, 3501)));
  EXPECT_FALSE(cube.ApplyQuote(QuoteOf(quotes.rb, 3500, 3499, 3501)));
  EXPECT_EQ(cube.Cards()[2].ask, 3501);
  EXPECT_EQ(cube.Cards()[1].last, 0);
  EXPECT_EQ(CardPriceText(cube.Cards()[1].last, 1), "--");
  EXPECT_EQ(CardPriceText(3512.4, 1), "3512.4");
  const CardSelection bid = SelectionFor(cube.Cards()[0], kCardBid);
  EXPECT_EQ(bid.direction, 2);
  EXPECT_EQ(bid.price, 3499);
  const CardSelection ask = SelectionFor(cube.Cards()[0], kCardAsk);
  EXPECT_EQ(ask.direction, 1);
  EXPECT_EQ(ask.price, 3501);
  const CardSelection none = SelectionFor(cube.Cards()[0], kCardElsewhere);
  EXPECT_EQ(none.direction, 0);
  EXPECT_EQ(none.price, 0);
  cube.Replace(0, quotes.m, 1);
  EXPECT_EQ(cube.Cards()[0].contract.Key(), "DCE|m2605");
  EXPECT_EQ(cube.Cards()[0].last, 0);
  cube.Remove(1);
  cube.Remove(9);
  ASSERT_EQ(cube.Cards().size(), 2u);
  EXPECT_EQ(cube.Cards()[1].contract.Key(), "SHFE|rb2605");
}

}  // namespace
}  // namespace tarn::test
