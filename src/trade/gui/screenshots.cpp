#include "trade/gui/screenshots.h"

#include <vector>

#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "data/trade_enums.h"
#include "platform/text.h"
#include "trade/orders/gui/keyboard_order_panel.h"
#include "trade/orders/gui/order_dialogs.h"
#include "trade/gui/panel_containers.h"
#include "trade/orders/gui/three_key_panel.h"
#include "trade/orders/gui/vert_order_panel.h"
#include "ui/fonts.h"

namespace tarn {

namespace {

// The main month of a commodity ("SHFE|rb") from the library's "HOT" list, or a bare record.
DC_Contract MainMonth(const std::string& prefix, const std::string& fallbackName) {
  IQuoteDataCenter* q = GetQuoteDataCenter();
  if (q) {
    const int n = q->GetContracts(nullptr, 0, "HOT");
    std::vector<DC_Contract> list(static_cast<std::size_t>(std::max(n, 0)));
    const int got = q->GetContracts(list.data(), n, "HOT");
    for (int i = 0; i < got; ++i) {
      const std::string_view key = list[static_cast<std::size_t>(i)].Key();
      if (key.size() > prefix.size() && key.substr(0, prefix.size()) == prefix && key[prefix.size()] >= '0' &&
          key[prefix.size()] <= '9')
        return list[static_cast<std::size_t>(i)];
    }
  }
  DC_Contract c{};
  SetField(c.key, prefix + "2605");
  SetField(c.code, prefix.substr(prefix.find('|') + 1) + "2605");
  SetField(c.name, fallbackName);
  return c;
}

double LastOf(const DC_Contract& c) {
  DC_Quote q{};
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->SubscribeQuote(NotifyHandle(), &c, &q, 1);
  return q.data.last > 0 ? q.data.last : 3500.0;
}

QWidget* Sized(QWidget* w, int width, int height) {
  w->resize(ui::Scaled(width), ui::Scaled(height));
  return w;
}

}  // namespace

void RegisterTradeOrderScreenshots(ui::ScreenshotRegistry& r) {
  r.Add("order_confirm", [] {
    const DC_Contract rb = MainMonth("SHFE|rb", TXT("螺纹钢"));
    OrderRecord o{};
    o.contract = rb;
    o.direction = kBuy;
    o.offset = kOpen;
    o.quantity = 2;
    o.price = LastOf(rb);
    return static_cast<QWidget*>(new CDlgConfirmSendOrder(o));
  });
  r.Add("order_modify", [] {
    const DC_Contract cu = MainMonth("SHFE|cu", TXT("沪铜"));
    const DC_Commodity* c = CommodityOf(cu);
    return static_cast<QWidget*>(new CDlgModifyOrder(LastOf(cu), 3, c ? c->tickSize : 10, PriceDecimals(cu)));
  });
  r.Add("cover_position", [] {
    PositionRecord p{};
    p.contract = MainMonth("DCE|m", TXT("豆粕"));
    p.longQuantity = 4;
    p.currentPrice = LastOf(p.contract);
    return static_cast<QWidget*>(new CDlgCoverPosition(p));
  });
  r.Add("cover_by_position_number", [] {
    PositionDetail d{};
    d.contract = MainMonth("SHFE|au", TXT("沪金"));
    d.direction = kSell;
    d.quantity = 2;
    d.openPrice = LastOf(d.contract) + 1.5;
    SetField(d.positionNumber, "20251208-P000017");
    return static_cast<QWidget*>(new CDlgCoverByPosNo(d, LastOf(d.contract)));
  });
  r.Add("line_order_palette", [] {
    auto* d = new CDlgLineOrderPanel;
    d->quantity->setText(QStringLiteral("3"));
    d->ClickMode(2);
    return static_cast<QWidget*>(d);
  });
  r.Add("price_cube", [] {
    auto* w = new CWndPriceCube;
    for (const char* p : {"SHFE|rb", "SHFE|cu", "SHFE|au", "DCE|m", "DCE|i", "ZCE|SR"}) w->AddCard(MainMonth(p, p));
    ui::PumpEvents(200);
    return Sized(w, 560, 200);
  });
  r.Add("three_key_panel", [] {
    auto* w = new CWndThreeKeyOrderPanel;
    w->SetContract(MainMonth("SHFE|rb", TXT("螺纹钢")));
    ui::PumpEvents(200);
    return Sized(w, 320, 430);
  });
  r.Add("standard_order_panel", [] {
    auto* w = new CWndVertOrderPanel;
    w->SetContract(MainMonth("DCE|m", TXT("豆粕")));
    w->SetDirection(kSell);
    w->SetOffset(kOpen);
    ui::PumpEvents(200);
    return Sized(w, 320, 470);
  });
  r.Add("keyboard_order_panel", [] {
    auto* w = new CWndKeybordOrderPanel;
    w->SetContract(MainMonth("SHFE|cu", TXT("沪铜")));
    ui::PumpEvents(200);
    return Sized(w, 320, 330);
  });
  r.Add("keyboard_order_settings", [] {
    KeyOrderTable t = BuiltInKeyOrderTable();
    t.products[ProductKeyOf(MainMonth("SHFE|rb", "rb"))] = 5;
    t.products[ProductKeyOf(MainMonth("DCE|m", "m"))] = 2;
    return static_cast<QWidget*>(new CDlgSetKeybordOrder(t));
  });
  r.Add("trading_area", [] {
    auto* w = new CDlgTradePanelContainer;
    w->Panel()->Panels()->ThreeKey()->SetContract(MainMonth("SHFE|rb", TXT("螺纹钢")));
    ui::PumpEvents(200);
    return Sized(w, 1100, 480);
  });
}

}  // namespace tarn
