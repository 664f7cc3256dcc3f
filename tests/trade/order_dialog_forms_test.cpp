// The order dialogs' checks and requests without windows.
#include <gtest/gtest.h>

#include "data/trade_enums.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "trade/orders/order_dialog_forms.h"
#include "trade/order_fakes.h"
#include "trade/orders/order_routines.h"

#include <cmath>

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

// ---- line orders from a chart click -------------------------------------------------------------

LineOrderPalette Armed(int mode, const std::string& quantity, int validity) {
  LineOrderPalette p;
  p.validity = validity;
  EXPECT_FALSE(p.Click(mode, quantity));
  return p;
}

TEST_F(OrderDialogForms, ALineOrderIsAConditionOrderAtTheClickedTick) {
  // "买开", 3 lots, "当日": a line above the last price triggers when the price rises to it.
  std::optional<ConditionOrderRequest> r = LineOrderRequest(Armed(0, "3", 0), quotes.m, 3512.47, 3500, 0.2, 1);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->contract.Key(), "DCE|m2605");
  EXPECT_EQ(r->direction, 1);
  EXPECT_EQ(r->offset, 1);
  EXPECT_EQ(r->quantity, 3);
  EXPECT_NEAR(r->triggerPrice, 3512.4, 1e-9);  // snapped to the 0.2 tick
  EXPECT_EQ(r->triggerBasis, 0);                // the last price
  EXPECT_EQ(r->kind, 0);                        // ">="
  EXPECT_EQ(r->longTerm, 0);                    // "当日"
  EXPECT_EQ(r->sendPriceMode, 4);               // as the condition dialog sends by default
  // "卖平", "长期", a line below the last price: "<=".
  r = LineOrderRequest(Armed(1, "12", 1), quotes.rb, 3488.6, 3500, 1, 0);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->direction, 2);
  EXPECT_EQ(r->offset, 2);
  EXPECT_EQ(r->quantity, 12);
  EXPECT_DOUBLE_EQ(r->triggerPrice, 3489);
  EXPECT_EQ(r->kind, 1);
  EXPECT_EQ(r->longTerm, 1);
  // "卖开" and "买平".
  EXPECT_EQ(LineOrderRequest(Armed(2, "1", 0), quotes.rb, 3500, 3500, 1, 0)->offset, 1);
  EXPECT_EQ(LineOrderRequest(Armed(3, "1", 0), quotes.rb, 3500, 3500, 1, 0)->direction, 1);
}

TEST_F(OrderDialogForms, NoLineOrderWithoutAnArmedKeyAContractOrAPrice) {
  LineOrderPalette idle;
  EXPECT_FALSE(LineOrderRequest(idle, quotes.rb, 3500, 3500, 1, 0));
  LineOrderPalette disarmed = Armed(0, "1", 0);
  EXPECT_FALSE(disarmed.Click(0, "1"));  // the armed key clicked again
  EXPECT_FALSE(LineOrderRequest(disarmed, quotes.rb, 3500, 3500, 1, 0));
  EXPECT_FALSE(LineOrderRequest(Armed(0, "1", 0), DC_Contract{}, 3500, 3500, 1, 0));
  EXPECT_FALSE(LineOrderRequest(Armed(0, "1", 0), quotes.rb, 0.4, 3500, 1, 0));  // snaps to 0
  EXPECT_FALSE(LineOrderRequest(Armed(0, "1", 0), quotes.rb, std::nan(""), 3500, 1, 0));
}

TEST_F(OrderDialogForms, ALineOrderOnASeriesChartOrdersTheMainMonth) {
  const DC_Contract series = quotes.AddSeries("SHFE|rbMI", 1, "MI");
  quotes.hot = {quotes.rb};
  const auto r = LineOrderRequest(Armed(0, "1", 0), series, 3500, 3400, 1, 0);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->contract.Key(), "SHFE|rb2605");
}

// ---- combination cards ---------------------------------------------------------------------------

class CombolCards : public OrderDialogForms, public ICombolQuoteListener {
 protected:
  CombolStrategy Spread(const char* name, const char* formula, int lots = 1) {
    CombolStrategy s{};
    s.legs[0].contract = quotes.rb;
    s.legs[0].direction = 1;
    s.legs[0].lots = 1;
    s.legs[1].contract = quotes.m;
    s.legs[1].direction = 2;
    s.legs[1].lots = lots;
    s.decimals = 1;
    SetField(s.formula, formula);
    SetField(s.name, name);
    return s;
  }
};

TEST_F(CombolCards, CardsShowTheirCalculatorsValuesAndOrderTheCombination) {
  PriceCube cube;
  const CombolStrategy s = Spread("rb-m", "A-B");
  cube.Add(quotes.rb, 0);
  cube.AddStrategy(s);
  const PriceCard& card = cube.Cards()[1];
  EXPECT_TRUE(card.combol);
  EXPECT_EQ(CardTitle(card), "rb-m");
  EXPECT_EQ(CardTitle(cube.Cards()[0]), std::string(quotes.rb.Name()));
  // Not computed yet: blank, not "--" and not the raw value.
  EXPECT_EQ(CardValueText(card, card.last), "");
  EXPECT_EQ(CardValueText(card, kCombolNoValue + 0.0005), "");
  // A spread may be negative or zero.
  EXPECT_EQ(CardValueText(card, -152.25), "-152.2");
  EXPECT_EQ(CardValueText(card, 0), "0.0");
  EXPECT_EQ(CardValueText(cube.Cards()[0], 0), "--");
  // A contract's quote leaves the combination alone, the calculator's values reach it by key.
  EXPECT_TRUE(cube.ApplyQuote(QuoteOf(quotes.rb, 3500, 3499, 3501)));
  EXPECT_EQ(cube.Cards()[1].last, kCombolNoValue);
  EXPECT_FALSE(cube.ApplyCombolValues("SHFE|rb2605_1_1", 1, 2, 3));
  EXPECT_TRUE(cube.ApplyCombolValues(MakeCombolKey(s), -150, -152, -148));
  EXPECT_FALSE(cube.ApplyCombolValues(MakeCombolKey(s), -150, -152, -148));
  EXPECT_EQ(cube.Cards()[0].last, 3500);
  // A double-click: forward at askValue on the ask area, reverse at bidValue on the bid area.
  const auto ask = CombolOrderFor(cube.Cards()[1], kCardAsk);
  ASSERT_TRUE(ask);
  EXPECT_TRUE(ask->forward);
  EXPECT_EQ(ask->value, -148);
  const auto bid = CombolOrderFor(cube.Cards()[1], kCardBid);
  ASSERT_TRUE(bid);
  EXPECT_FALSE(bid->forward);
  EXPECT_EQ(bid->value, -152);
  EXPECT_FALSE(CombolOrderFor(cube.Cards()[1], kCardElsewhere));
  EXPECT_FALSE(CombolOrderFor(cube.Cards()[0], kCardAsk));  // a contract card selects instead
  EXPECT_EQ(SelectionFor(cube.Cards()[1], kCardAsk).direction, 0);
  // The record's references, and the strategy found again by its key.
  EXPECT_EQ(CardRef(cube.Cards()[0]), (CubeCardRef{false, "SHFE|rb2605"}));
  EXPECT_EQ(CardRef(cube.Cards()[1]), (CubeCardRef{true, MakeCombolKey(s)}));
  const std::vector<CombolStrategy> list{Spread("other", "A+B", 2), s};
  ASSERT_TRUE(FindStrategy(list, MakeCombolKey(s)));
  EXPECT_EQ(FindStrategy(list, MakeCombolKey(s))->Name(), "rb-m");
  EXPECT_FALSE(FindStrategy(list, "SHFE|rb2605_1_9"));
  // Replacing cards: a contract card becomes a combination and back.
  cube.ReplaceWithStrategy(0, Spread("x", "A-2*B", 2));
  EXPECT_TRUE(cube.Cards()[0].combol);
  EXPECT_EQ(cube.Cards()[0].last, kCombolNoValue);
  cube.Replace(0, quotes.m, 1);
  EXPECT_FALSE(cube.Cards()[0].combol);
  ASSERT_EQ(cube.Strategies().size(), 1u);
}

TEST_F(CombolCards, CardsShareACalculatorAndNeverSwitchOffAnotherWindows) {
  CCombolQuoteClient cubeRegistry(this);
  CCombolQuoteClient listRegistry(this);  // the strategy list's own
  const CombolStrategy s = Spread("rb-m", "A-B");
  const CombolStrategy t = Spread("rb-2m", "A-2*B", 2);
  listRegistry.Toggle(s);
  {
    CombolCardHolds holds(&cubeRegistry);
    holds.Hold(s);
    holds.Hold(s);  // a second card of the same strategy: no toggle, which would switch it off
    EXPECT_TRUE(cubeRegistry.Has(s));
    EXPECT_EQ(holds.Holders(s), 2);
    holds.Release(s);
    EXPECT_TRUE(cubeRegistry.Has(s));  // the other card still shows it
    holds.Release(s);
    EXPECT_FALSE(cubeRegistry.Has(s));
    holds.Release(s);  // nothing held: nothing happens
    EXPECT_FALSE(cubeRegistry.Has(s));
    // The board's cards as a whole: new keys start, gone keys stop, kept keys keep running.
    holds.HoldOnly({s, t, s});
    EXPECT_EQ(cubeRegistry.Count(), 2u);
    EXPECT_EQ(holds.Holders(s), 2);
    holds.HoldOnly({t});
    EXPECT_FALSE(cubeRegistry.Has(s));
    EXPECT_TRUE(cubeRegistry.Has(t));
    EXPECT_EQ(holds.Holders(t), 1);
    holds.Hold(s);
  }
  // The cube closed: its calculators are gone, the strategy list's runs on.
  EXPECT_EQ(cubeRegistry.Count(), 0u);
  EXPECT_TRUE(listRegistry.Has(s));
  EXPECT_EQ(quotes.SubscriberCount("SHFE|rb2605"), 1u);
}

}  // namespace
}  // namespace tarn::test
