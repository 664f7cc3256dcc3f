// The trade grid's model and commands on the embedded broker: an order fills and shows in the
// orders, fills, positions and details tabs; a resting order is working until "全部撤单"; a
// partial close, a lock and a remark on a real position.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "trade/grid/grid_actions.h"
#include "trade/grid/trade_grid_model.h"
#include "support/embedded_trading.h"

namespace tarn::test {
namespace {

class NoDialogs : public IGridActionHost {
 public:
  void OpenCoverPosition(const PositionRecord&) override {}
  void OpenCoverByPosNo(const PositionDetail&, double) override {}
  std::optional<Modified> OpenModifyOrder(const OrderRecord&, double tick, int) override {
    tickSeen = tick;
    return answer;
  }
  void OpenStopDialog(const StopContext&, double, const std::string&) override {}
  void OpenAutoCoverSetting() override {}
  void OpenOcoDialog(const OcoOrder&) override {}
  std::optional<std::string> EditRemark(const std::string&) override { return std::nullopt; }
  void Wait(int) override {}
  std::optional<Modified> answer;
  double tickSeen = 0;
};

class EmbeddedGrid : public EmbeddedTrading {
 protected:
  void Refresh() { model.Refresh(*GetTradeApi(), true); }
  OrderRecord Limit(const DC_Contract& c, int direction, double price, int quantity) {
    OrderRecord o = Market(c, direction, 1, quantity);
    o.priceType = 0;
    o.price = price;
    return o;
  }
  PositionRemarkStore store;
  TradeGridModel model{store};
  NoDialogs host;
  PanelOrderSender sender;
  TradeGridActions actions{model, host, sender};
  MessageBoxRecorder boxes;
};

TEST_F(EmbeddedGrid, AFilledOrderShowsInEveryTabItReaches) {
  const DC_Contract month = MainMonth("SHFE|rb");
  ASSERT_FALSE(month.Empty());
  Step();
  ASSERT_GT(GetTradeApi()->InsertOrder(Market(month, 1, 1, 3)), 0);
  Step();
  Refresh();
  ASSERT_EQ(model.RowCount(kTabOrders), 1);
  EXPECT_EQ(model.CellText(kTabOrders, 0, 1), std::string(month.Code()));
  EXPECT_EQ(model.CellText(kTabOrders, 0, 8), TXT("完全成交"));
  EXPECT_EQ(model.CellText(kTabOrders, 0, 5), TXT("市价"));
  EXPECT_EQ(model.RowCount(kTabWorking), 0);
  ASSERT_GE(model.RowCount(kTabFills), 1);
  EXPECT_EQ(model.CellText(kTabFills, 0, 3), TXT("开仓"));
  ASSERT_EQ(model.RowCount(kTabPositions), 1);
  EXPECT_EQ(model.CellText(kTabPositions, 0, 2), TXT("多头"));
  EXPECT_EQ(model.CellText(kTabPositions, 0, 3), "3");
  EXPECT_EQ(model.CellText(kTabPositions, 0, 11), "3");  // all of today
  EXPECT_NE(model.CellText(kTabPositions, 0, 9), "0");   // a margin is held
  EXPECT_GE(model.RowCount(kTabDetails), 1);
  EXPECT_FALSE(model.CellText(kTabDetails, 0, 13).empty());  // the lot's position number
  model.SetFillSummary(true);
  ASSERT_EQ(model.RowCount(kTabFills), 1);
  EXPECT_EQ(model.CellText(kTabFills, 0, 4), "3");
  // Half of it closed from the grid (SHFE: the library closes today's lots as such).
  actions.Command(102, 0, 0, 203);
  Step();
  Refresh();
  ASSERT_EQ(model.RowCount(kTabPositions), 1);
  EXPECT_EQ(model.CellText(kTabPositions, 0, 3), "2");
  // A lock opens the other side for the held lots.
  Profile::WriteString("\\user\\setting.ini", "CoverConfirm", "Value", "0");
  actions.Command(102, 0, 0, 302);
  Step();
  Refresh();
  // The library keeps one record per contract and side: the lock shows as a second row.
  ASSERT_EQ(model.RowCount(kTabPositions), 2);
  int longs = 0, shorts = 0;
  for (int row = 0; row < 2; ++row) {
    const PositionRecord* p = model.PositionAt(row);
    ASSERT_NE(p, nullptr);
    longs += p->longQuantity;
    shorts += p->shortQuantity;
  }
  EXPECT_EQ(longs, 2);
  EXPECT_EQ(shorts, 2);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(EmbeddedGrid, RestingOrdersAreWorkingUntilCancelledFromTheGrid) {
  const DC_Contract month = MainMonth("SHFE|cu");
  ASSERT_FALSE(month.Empty());
  Step();
  const double last = Last(month);
  ASSERT_GT(last, 0);
  const DC_Commodity* commodity = CommodityOf(month);
  ASSERT_NE(commodity, nullptr);
  const double far = std::floor(last * 0.97 / commodity->tickSize) * commodity->tickSize;
  ASSERT_GT(GetTradeApi()->InsertOrder(Limit(month, 1, far, 1)), 0);
  ASSERT_GT(GetTradeApi()->InsertOrder(Limit(month, 1, far, 2)), 0);
  Step();
  Refresh();
  ASSERT_EQ(model.RowCount(kTabWorking), 2);
  EXPECT_EQ(model.OrderAt(kTabWorking, 0)->quantity, 2);  // newest first
  // Modify the newest through the dialog's answer: the library takes the new quantity.
  host.answer = IGridActionHost::Modified{far, 5};
  actions.Command(104, 0, 0, 104);
  EXPECT_DOUBLE_EQ(host.tickSeen, commodity->tickSize);
  Step();
  Refresh();
  EXPECT_EQ(model.OrderAt(kTabWorking, 0)->quantity, 5);
  actions.Command(101, -1, 0, 102);
  Step();
  Refresh();
  EXPECT_EQ(model.RowCount(kTabWorking), 0);
  EXPECT_EQ(model.Title(kTabWorking), TXT("F4挂单(0)"));
  EXPECT_EQ(model.CellText(kTabOrders, 0, 8), TXT("已撤"));
}

}  // namespace
}  // namespace tarn::test
