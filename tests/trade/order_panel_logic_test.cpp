// The order panels' keys over the scripted libraries: prices by type, the checks and their
// order, the side a close takes, the close key's labels, and the standard panel's send.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "trade/orders/key_order_table.h"
#include "trade/order_fakes.h"
#include "trade/orders/order_panel_logic.h"
#include "trade/orders/panel_layout.h"

namespace tarn::test {
namespace {

std::string U(const std::string& gbk) { return GbkToUtf8(gbk); }

class OrderPanelLogic : public ::testing::Test {
 protected:
  void SetUp() override { ResetKeyOrderTable(); }
  void TearDown() override { ResetKeyOrderTable(); }
  PanelInput Input(int type, const std::string& quantity = "1", const std::string& priceText = "") {
    PanelInput in;
    in.contract = quotes.rb;
    in.quote = PanelQuoteOf(QuoteOf(quotes.rb, 3500, 3499, 3501));
    in.priceType = type;
    in.quantityText = quantity;
    in.priceText = priceText;
    return in;
  }
  ConfirmOrder Yes() {
    return [this](const OrderRecord& o) {
      confirmed.push_back(o);
      return true;
    };
  }
  ScopedHome home;
  OrdersQuoteCenter quotes;
  OrdersTradeApi api;
  std::vector<OrderRecord> confirmed;
};

TEST_F(OrderPanelLogic, PricesByType) {
  PanelQuote q = PanelQuoteOf(QuoteOf(quotes.rb, 3500, 3499, 3501));
  EXPECT_EQ(PriceFor(kPriceCounter, 1, q, 0).price, 3501);
  EXPECT_EQ(PriceFor(kPriceCounter, 2, q, 0).price, 3499);
  EXPECT_EQ(PriceFor(kPriceQueue, 1, q, 0).price, 3499);
  EXPECT_EQ(PriceFor(kPriceQueue, 2, q, 0).price, 3501);
  EXPECT_EQ(PriceFor(kPriceLast, 2, q, 0).price, 3500);
  EXPECT_EQ(PriceFor(kPriceSpecified, 1, q, 3333).price, 3333);
  const PanelPrice m = PriceFor(kPriceMarket, 1, q, 3333);
  EXPECT_TRUE(m.market);
  EXPECT_EQ(m.price, 0);
  // No sellers: the counter price of a buy is the last price.
  q.ask = 0;
  EXPECT_EQ(PriceFor(kPriceCounter, 1, q, 0).price, 3500);
  EXPECT_EQ(PriceFor(kPriceQueue, 2, q, 0).price, 3500);
  EXPECT_EQ(U(KeyPriceText(kPriceMarket, 1, q, 0, 0)), "市价");
  EXPECT_EQ(KeyPriceText(kPriceSpecified, 1, q, 0.00005, 0), "");
  EXPECT_EQ(KeyPriceText(kPriceCounter, 2, q, 0, 1), "3499.0");
}

TEST_F(OrderPanelLogic, StoredPriceTypeSkipsTheSpecifiedPrice) {
  EXPECT_EQ(StoredPriceType(), 1);
  StorePriceType(kPriceLast);
  EXPECT_EQ(StoredPriceType(), 4);
  StorePriceType(kPriceSpecified);
  EXPECT_EQ(StoredPriceType(), 4);
  Profile::WriteString("\\config\\tradePanel.ini", "PriceType", "Value", std::string_view("7"));
  EXPECT_EQ(StoredPriceType(), 1);
}

TEST_F(OrderPanelLogic, OpenKeysCheckInOrderAndSendAfterConfirmation) {
  PanelInput in = Input(kPriceCounter, "0");
  EXPECT_EQ(U(ThreeKeyOpen(in, 2, Yes())), "手数超过最大报单限制");
  in.quantityText = "1000000";
  EXPECT_EQ(U(ThreeKeyOpen(in, 1, Yes())), "手数超过最大报单限制");
  // The contract is checked first, before the quantity.
  in.quote.contract = quotes.m;
  EXPECT_EQ(U(ThreeKeyOpen(in, 2, Yes())), "无效合约");
  in = Input(kPriceSpecified, "2", "0");
  EXPECT_EQ(U(ThreeKeyOpen(in, 1, Yes())), "价格错误");
  EXPECT_TRUE(api.inserted.empty());
  EXPECT_TRUE(confirmed.empty());
  in = Input(kPriceMarket, "2", "0");
  EXPECT_EQ(ThreeKeyOpen(in, 2, Yes()), "");
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].priceType, 1);
  EXPECT_EQ(api.inserted[0].price, 0.0);
  EXPECT_EQ(api.inserted[0].direction, 2);
  EXPECT_EQ(api.inserted[0].offset, 1);
  EXPECT_EQ(api.inserted[0].quantity, 2);
  // A refused confirmation sends nothing.
  EXPECT_EQ(ThreeKeyOpen(Input(kPriceCounter, "1"), 1, [](const OrderRecord&) { return false; }), "");
  EXPECT_EQ(api.inserted.size(), 1u);
}

TEST_F(OrderPanelLogic, OpenKeysNeverSplitAnOpen) {
  api.closeToday = true;
  api.positions = {PositionWithToday(quotes.rb, 0, 0, 3, 3)};
  EXPECT_EQ(ThreeKeyOpen(Input(kPriceCounter, "5"), 1, nullptr), "");
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].offset, 1);
  EXPECT_EQ(api.inserted[0].price, 3501);
}

TEST_F(OrderPanelLogic, CloseWorksOutTheSideAndSplits) {
  EXPECT_EQ(U(ThreeKeyClose(Input(kPriceCounter, "50001"), Yes(), nullptr)), "手数超过最大报单限制");
  EXPECT_EQ(U(ThreeKeyClose(Input(kPriceCounter, "1"), Yes(), nullptr)), "错误,无仓可平");
  api.closeToday = true;
  api.positions = {PositionWithToday(quotes.m, 8, 8, 0, 0), PositionWithToday(quotes.rb, 7, 4, 0, 0)};
  EXPECT_EQ(ThreeKeyClose(Input(kPriceCounter, "5"), Yes(), nullptr), "");
  ASSERT_EQ(confirmed.size(), 1u);
  EXPECT_EQ(confirmed[0].direction, 2);
  EXPECT_EQ(confirmed[0].offset, 2);
  EXPECT_EQ(confirmed[0].price, 3499);  // a sell at the counter price: bid 1
  ASSERT_EQ(api.inserted.size(), 2u);
  EXPECT_EQ(api.inserted[0].offset, 2);
  EXPECT_EQ(api.inserted[0].quantity, 3);
  EXPECT_EQ(api.inserted[1].offset, 3);
  EXPECT_EQ(api.inserted[1].quantity, 2);
}

TEST_F(OrderPanelLogic, LockedCloseNeedsTheSelectedPosition) {
  api.positions = {Position(quotes.rb, 2, 0), Position(quotes.rb, 0, 2)};
  const PositionSums sums = SumPositions(api.positions, quotes.rb);
  EXPECT_EQ(U(ThreeKeyClose(Input(kPriceLast, "1"), Yes(), nullptr)), "请在持仓列表中选择一个持仓");
  const CloseKeyLabels locked = CloseKeyLabelsFor(sums, nullptr);
  EXPECT_EQ(U(locked.title), "锁仓状态");
  EXPECT_EQ(U(locked.buySubtitle), "加多");
  EXPECT_EQ(U(locked.sellSubtitle), "加空");
  // Another contract's selection does not count.
  PositionRecord other = Position(quotes.m, 1, 0);
  auto pick = [](const PositionRecord& p) {
    return [p](PositionRecord* out) {
      *out = p;
      return true;
    };
  };
  EXPECT_EQ(U(ThreeKeyClose(Input(kPriceLast, "1"), Yes(), pick(other))), "请在持仓列表中选择一个持仓");
  EXPECT_TRUE(api.inserted.empty());
  // The short one selected: only the short record is closed, by a buy.
  const PositionRecord shortOne = api.positions[1];
  EXPECT_EQ(ThreeKeyClose(Input(kPriceLast, "1"), Yes(), pick(shortOne)), "");
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].direction, 1);
  EXPECT_EQ(U(CloseKeyLabelsFor(sums, &shortOne).title), "平空单");
  EXPECT_EQ(CloseKeyLabelsFor(sums, &shortOne).priceDirection, 1);
  EXPECT_EQ(U(CloseKeyLabelsFor(sums, &api.positions[0]).title), "平多单");
}

TEST_F(OrderPanelLogic, ARefusedConfirmationEndsAMultiRecordClose) {
  api.positions = {Position(quotes.rb, 2, 0), Position(quotes.rb, 3, 0)};
  int asked = 0;
  ThreeKeyClose(Input(kPriceLast, "1"), [&](const OrderRecord&) { return ++asked > 5; }, nullptr);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(api.inserted.empty());
  EXPECT_EQ(ThreeKeyClose(Input(kPriceLast, "1"), Yes(), nullptr), "");
  EXPECT_EQ(api.inserted.size(), 2u);  // one order per record
}

TEST_F(OrderPanelLogic, CloseKeyLabelsWithOneSideOrNone) {
  CloseKeyLabels none = CloseKeyLabelsFor(PositionSums{}, nullptr);
  EXPECT_EQ(U(none.title), "平仓");
  EXPECT_EQ(U(none.subtitle), "先开先平");
  EXPECT_EQ(none.priceDirection, 0);
  CloseKeyLabels shortOnly = CloseKeyLabelsFor(PositionSums{0, 0, 3, 0}, nullptr);
  EXPECT_EQ(U(shortOnly.title), "平仓");
  EXPECT_EQ(shortOnly.subtitle, "");
  EXPECT_EQ(shortOnly.priceDirection, 1);
}

TEST_F(OrderPanelLogic, StandardSendChecksInOrder) {
  PanelInput in = Input(kPriceSpecified, "1", "3500");
  EXPECT_EQ(U(StandardSend(in, 1, 0, Yes())), "请选择开平方向");
  EXPECT_EQ(U(StandardSend(in, 0, 0, Yes())), "请选择买卖方向");
  in.priceText = "";
  EXPECT_EQ(U(StandardSend(in, 0, 0, Yes())), "价格错误");
  in.quantityText = "50001";
  EXPECT_EQ(U(StandardSend(in, 0, 0, Yes())), "手数超过最大报单限制");
  in.contract = DC_Contract{};
  EXPECT_EQ(U(StandardSend(in, 0, 0, Yes())), "无效合约");
  EXPECT_TRUE(api.inserted.empty());
}

TEST_F(OrderPanelLogic, StandardCloseTodayWithoutTheRuleStillSendsOffsetThree) {
  api.closeToday = false;
  api.positions = {PositionWithToday(quotes.rb, 4, 4, 0, 0)};
  EXPECT_EQ(StandardSend(Input(kPriceMarket, "2", TXT("市价")), 2, 3, Yes()), "");
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_EQ(api.inserted[0].offset, 3);
  EXPECT_EQ(api.inserted[0].quantity, 2);
  EXPECT_EQ(api.inserted[0].priceType, 1);
}

TEST_F(OrderPanelLogic, CloseAllAndCancelAll) {
  api.positions = {Position(quotes.rb, 2, 0), Position(quotes.m, 1, 0), Position(quotes.rb, 0, 1)};
  EXPECT_EQ(CloseAllOf(quotes.rb), 2);
  ASSERT_EQ(api.closed.size(), 2u);
  EXPECT_EQ(api.closed[1].shortQuantity, 1);
  api.orders = {WorkingOrder(quotes.rb, "a", 1, 0), WorkingOrder(quotes.m, "b", 2, 3),
                WorkingOrder(quotes.rb, "c", 1, 11, 1), WorkingOrder(quotes.rb, "d", 1, 4),
                WorkingOrder(quotes.m, "e", 1, 11), WorkingOrder(quotes.m, "f", 1, 5)};
  EXPECT_EQ(CancelWorkingOrders(0), 3);
  ASSERT_EQ(api.cancelled.size(), 3u);
  EXPECT_EQ(api.cancelled[0].Key(), "a");
  EXPECT_EQ(api.cancelled[1].Key(), "b");
  EXPECT_EQ(api.cancelled[2].Key(), "e");
  api.cancelled.clear();
  EXPECT_EQ(CancelWorkingOrders(2), 1);
  EXPECT_EQ(api.cancelled[0].Key(), "b");
}

TEST_F(OrderPanelLogic, FollowUpOfTheStandardPanelsPriceText) {
  const PanelQuote q = PanelQuoteOf(QuoteOf(quotes.rb, 3500, 3499, 3501));
  EXPECT_EQ(*FollowUpPriceText(kPriceCounter, 1, q, 0, ""), "3501");
  EXPECT_EQ(*FollowUpPriceText(kPriceCounter, 0, q, 0, ""), "3499");
  EXPECT_EQ(*FollowUpPriceText(kPriceQueue, 2, q, 0, ""), "3501");
  EXPECT_EQ(*FollowUpPriceText(kPriceLast, 2, q, 1, ""), "3500.0");
  EXPECT_EQ(U(*FollowUpPriceText(kPriceMarket, 2, q, 1, "")), "市价");
  EXPECT_FALSE(FollowUpPriceText(kPriceSpecified, 1, q, 0, "3456"));
  EXPECT_EQ(*FollowUpPriceText(kPriceSpecified, 1, q, 0, TXT("市价")), "");
  PanelQuote none = q;
  none.last = 0.00001;
  EXPECT_FALSE(FollowUpPriceText(kPriceLast, 1, none, 0, "3456"));
  EXPECT_EQ(U(SendKeyText(1, 3)), "下单 (买 平今)");
  EXPECT_EQ(U(SendKeyText(0, 0)), "下单 ( )");
}

TEST_F(OrderPanelLogic, StandardPanelAtLimitUpOrDownTakesTheLastPrice) {
  // Limit up: nobody sells (ask 0); limit down: nobody buys (bid 0).
  const PanelQuote up = PanelQuoteOf(QuoteOf(quotes.rb, 3800, 3800, 0));
  const PanelQuote down = PanelQuoteOf(QuoteOf(quotes.rb, 3200, 0, 3200));
  EXPECT_EQ(*FollowUpPriceText(kPriceCounter, 1, up, 0, ""), "3800");
  EXPECT_EQ(*FollowUpPriceText(kPriceQueue, 2, up, 0, ""), "3800");
  EXPECT_EQ(*FollowUpPriceText(kPriceCounter, 2, down, 0, ""), "3200");
  EXPECT_EQ(*FollowUpPriceText(kPriceQueue, 1, down, 0, ""), "3200");
  // The panel's text is what it sends: the order goes out at the last price, not "价格错误".
  PanelInput in = Input(kPriceCounter, "1", *FollowUpPriceText(kPriceCounter, 1, up, 0, ""));
  in.quote = up;
  EXPECT_EQ(StandardSend(in, 1, 1, Yes()), "");
  ASSERT_EQ(api.inserted.size(), 1u);
  EXPECT_DOUBLE_EQ(api.inserted[0].price, 3800);
}

TEST_F(OrderPanelLogic, SeriesContractsTradeTheirMainMonth) {
  const DC_Contract rbMain = quotes.AddSeries("SHFE|rbMI", 1, "MI");
  const DC_Contract rbIndex = quotes.AddSeries("SHFE|rbIDX", 1, "IDX");
  const DC_Contract mMain = quotes.AddSeries("DCE|mMI", 2, "MI");
  EXPECT_TRUE(IsSeriesContract(rbMain));
  EXPECT_TRUE(IsSeriesContract(rbIndex));
  EXPECT_FALSE(IsSeriesContract(quotes.rb));
  // Until the market names a main month the series stays as chosen (no guess is traded).
  EXPECT_EQ(TradableContract(rbMain).Key(), "SHFE|rbMI");
  quotes.hot = {quotes.m, quotes.rb};
  EXPECT_EQ(TradableContract(rbMain).Key(), "SHFE|rb2605");
  EXPECT_EQ(TradableContract(rbIndex).Key(), "SHFE|rb2605");
  EXPECT_EQ(TradableContract(mMain).Key(), "DCE|m2605");
  EXPECT_EQ(TradableContract(quotes.m).Key(), "DCE|m2605");  // a month stays itself
  EXPECT_TRUE(TradableContract(DC_Contract{}).Empty());
}

TEST_F(OrderPanelLogic, FractionsAndDefaultQuantities) {
  EXPECT_EQ(U(FractionText({1, 1})), "满仓");
  EXPECT_EQ(FractionText({1, 3}), "1/3");
  EXPECT_EQ(DefaultQuantityOf(quotes.rb), 1);
  KeyOrderTable t = BuiltInKeyOrderTable();
  t.products["SHFE|rb"] = 1;
  t.products["DCE|m"] = 6;
  ASSERT_TRUE(ReplaceKeyOrderTable(t));
  EXPECT_EQ(DefaultQuantityOf(quotes.rb), 1);
  EXPECT_EQ(DefaultQuantityOf(quotes.m), 6);
}

TEST_F(OrderPanelLogic, HorizontalPanelGeometryOnEitherSide) {
  HorzPanelBoxes b = LayoutHorzPanel(1000, 400, true, 1.0);
  EXPECT_EQ(b.funds, (Box{0, 0, 1000, 45}));
  EXPECT_EQ(b.panels, (Box{0, 45, 320, 355}));
  EXPECT_EQ(b.grid, (Box{320, 45, 680, 355}));
  b = LayoutHorzPanel(1000, 400, false, 1.5);
  EXPECT_EQ(b.funds, (Box{0, 0, 1000, 60}));
  EXPECT_EQ(b.panels, (Box{520, 60, 480, 340}));
  EXPECT_EQ(b.grid, (Box{0, 60, 520, 340}));
  // Narrower than the panels: nothing is negative.
  b = LayoutHorzPanel(200, 30, true, 1.0);
  EXPECT_EQ(b.grid.w, 0);
  EXPECT_EQ(b.panels.h, 0);
  EXPECT_EQ(ClampDockHeight(2, 800, 2.0), 10);
  EXPECT_EQ(ClampDockHeight(900, 800, 1.0), 800);
  EXPECT_EQ(ClampDockHeight(300, 800, 1.0), 300);
}

TEST_F(OrderPanelLogic, PanelTabSwitchHappensOnce) {
  Profile::WriteString("\\user\\setting.ini", "TradePanle", "PanelType", std::string_view("2"));
  EXPECT_EQ(PanelTypeAtStart(), 1);
  EXPECT_EQ(Profile::GetString("\\user\\setting.ini", "TradePanle", "QiangZhiB", ""), "1");
  StorePanelType(0);
  EXPECT_EQ(PanelTypeAtStart(), 0);
  EXPECT_TRUE(PanelsOnLeft());
  StorePanelsOnLeft(false);
  EXPECT_FALSE(PanelsOnLeft());
  EXPECT_EQ(StoredDockHeight(), 0);
}

}  // namespace
}  // namespace tarn::test
