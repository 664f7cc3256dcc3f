#include "trade/grid/gui/trade_grid_screenshots.h"

#include <QMenu>
#include <QTabWidget>
#include <cmath>

#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "data/trade_enums.h"
#include "engines/engine_support.h"
#include "engines/oco_order.h"
#include "platform/text.h"
#include "trade/grid/gui/money_wnd.h"
#include "trade/grid/gui/my_color_grid.h"
#include "trade/grid/gui/trade_grid_container.h"

namespace tarn {

namespace {

std::vector<DC_Contract> HotMonths() {
  std::vector<DC_Contract> out;
  IQuoteDataCenter* q = GetQuoteDataCenter();
  if (!q) return out;
  const int n = q->GetContracts(nullptr, 0, "HOT");
  if (n <= 0) return out;
  out.resize(static_cast<std::size_t>(n));
  out.resize(static_cast<std::size_t>(std::max(0, q->GetContracts(out.data(), n, "HOT"))));
  return out;
}

DC_Contract Hot(const std::vector<DC_Contract>& hot, std::string_view prefix) {
  for (const DC_Contract& c : hot)
    if (c.Key().substr(0, prefix.size()) == prefix && c.Key().size() > prefix.size() &&
        c.Key()[prefix.size()] >= '0' && c.Key()[prefix.size()] <= '9')
      return c;
  return DC_Contract{};
}

double LastOf(const DC_Contract& c) {
  DC_Quote q{};
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->SubscribeQuote(NotifyHandle(), &c, &q, 1);
  return q.data.last;
}

OrderRecord Order(const DC_Contract& c, int direction, int offset, int quantity, double price) {
  OrderRecord o{};
  o.contract = c;
  o.direction = direction;
  o.offset = offset;
  o.quantity = quantity;
  o.priceType = price > 0 ? kLimitPrice : kMarketPrice;
  o.price = price;
  return o;
}

// Orders of the demonstration account, sent once per run: three filled positions, a resting
// order, a position stop and a local OCO pair.
void MakeDemoTrades() {
  static bool done = false;
  ITradeApi* api = GetTradeApi();
  if (done || !api) return;
  done = true;
  const std::vector<DC_Contract> hot = HotMonths();
  const DC_Contract rb = Hot(hot, "SHFE|rb"), cu = Hot(hot, "SHFE|cu"), m = Hot(hot, "DCE|m"), au = Hot(hot, "SHFE|au");
  if (!rb.Empty()) api->InsertOrder(Order(rb, kBuy, kOpen, 3, 0));
  if (!cu.Empty()) api->InsertOrder(Order(cu, kSell, kOpen, 2, 0));
  if (!m.Empty()) api->InsertOrder(Order(m, kBuy, kOpen, 5, 0));
  ui::PumpEvents(1300);  // two market steps fill them
  if (!rb.Empty()) {
    const DC_Commodity* c = CommodityOf(rb);
    const double last = LastOf(rb);
    if (c && last > 0) {
      const double tick = c->tickSize;
      ConditionOrderRequest stop{};
      stop.contract = rb;
      stop.direction = kSell;
      stop.offset = kClose;
      stop.kind = 1;
      stop.triggerPrice = std::floor(last * 0.98 / tick) * tick;
      stop.quantity = 2;
      stop.sendPriceMode = 4;
      api->InsertConditionOrder(stop);
      ConditionOrderRequest profit = stop;
      profit.kind = 0;
      profit.triggerPrice = std::ceil(last * 1.03 / tick) * tick;
      profit.quantity = 1;
      api->InsertConditionOrder(profit);
      api->InsertOrder(Order(rb, kBuy, kOpen, 1, std::floor(last * 0.97 / tick) * tick));
    }
  }
  if (!cu.Empty()) {
    const DC_Commodity* c = CommodityOf(cu);
    const double last = LastOf(cu);
    if (c && last > 0) api->InsertOrder(Order(cu, kSell, kOpen, 1, std::ceil(last * 1.02 / c->tickSize) * c->tickSize));
  }
  if (!au.Empty()) {
    const double last = LastOf(au);
    if (last > 0) {
      OcoOrder o;
      o.contract = au;
      o.price1 = std::round(last * 1.01);
      o.price2 = std::round(last * 0.99);
      o.quantity = 1;
      COCOOrderMgr::Instance().Add(o);
    }
  }
  ui::PumpEvents(700);
}

CTradeGridContainer* OpenGrid(int tab) {
  MakeDemoTrades();
  auto* grid = new CTradeGridContainer;
  grid->resize(1280, 330);
  grid->ShowTab(tab);
  grid->show();
  ui::PumpEvents(600);
  if (CMyColorGrid* g = grid->Grid(tab); g && g->RowCount() > 0) grid->SelectRow(tab, 0);
  return grid;
}

}  // namespace

void RegisterTradeGridScreenshots(ui::ScreenshotRegistry& r) {
  r.Add("trade_grid_positions", [] { return static_cast<QWidget*>(OpenGrid(kTabPositions)); });
  r.Add("trade_grid_orders", [] { return static_cast<QWidget*>(OpenGrid(kTabOrders)); });
  r.Add("trade_grid_conditions", [] { return static_cast<QWidget*>(OpenGrid(kTabConditions)); });
  r.Add("trade_grid_fills", [] {
    CTradeGridContainer* grid = OpenGrid(kTabFills);
    GridNotify summary;
    summary.kind = GridNotify::Command;
    summary.controlId = TabControlId(kTabFills);
    summary.code = kCodeFillSummary;
    grid->HandleGridNotify(summary);
    return static_cast<QWidget*>(grid);
  });
  r.Add("trade_grid_details", [] { return static_cast<QWidget*>(OpenGrid(kTabDetails)); });
  r.Add("trade_grid_oco", [] { return static_cast<QWidget*>(OpenGrid(kTabOco)); });
  r.Add("trade_grid_menu", [] {
    CTradeGridContainer* grid = OpenGrid(kTabPositions);
    QMenu* menu = grid->BuildContextMenu(102, 0);
    if (!menu) return static_cast<QWidget*>(grid);
    menu->setParent(nullptr);
    QObject::connect(menu, &QObject::destroyed, grid, &QObject::deleteLater);
    grid->hide();
    return static_cast<QWidget*>(menu);
  });
  r.Add("funds_window", [] {
    MakeDemoTrades();
    auto* w = new CMoneyWnd;
    w->resize(1560, 46);
    return static_cast<QWidget*>(w);
  });
  r.Add("funds_cells", [] {
    auto* d = new CDlgFundsCells({3, 5, 8, 4, 11});
    return static_cast<QWidget*>(d);
  });
}

}  // namespace tarn
