#include "engines/gui/screenshots.h"

#include <QCoreApplication>
#include <memory>

#include "data/trade_enums.h"
#include "engines/alert_center.h"
#include "engines/auto_cover.h"
#include "engines/gui/alert_dialogs.h"
#include "engines/gui/alert_tip.h"
#include "engines/gui/condition_windows.h"
#include "engines/gui/order_dialogs.h"
#include "engines/gui/strategy_windows.h"
#include "engines/oco_order.h"
#include "platform/text.h"

namespace tarn {

namespace {

DC_Contract Demo(const char* key, const std::string& fallbackName) {
  DC_Contract c{};
  if (IQuoteDataCenter* q = GetQuoteDataCenter(); q && q->FindContract(&c, key) > 0) return c;
  c = DC_Contract{};
  SetField(c.key, key);
  const std::string_view k(key);
  SetField(c.code, k.substr(k.find('|') + 1));
  SetField(c.name, fallbackName);
  return c;
}

// A demonstration alert engine with four alerts, two of which fired.
struct AlertDemo {
  AlertDemo() {
    engine->SetFileEnabled(false);
    engine->SetSound(false);
    const DC_Contract rb = Demo("SHFE|rbMI", TXT("螺纹钢主连")), au = Demo("SHFE|auMI", TXT("沪金主连")),
                      cu = Demo("SHFE|cuMI", TXT("沪铜主连")), m = Demo("DCE|mMI", TXT("豆粕主连"));
    auto add = [this](const DC_Contract& c, double upper, double lower, int64_t lastQty, int64_t volume, int64_t oi) {
      QuoteAlert a{};
      a.contract = c;
      a.upperPrice = upper;
      a.lowerPrice = lower;
      a.lastQtyLimit = lastQty;
      a.volumeLimit = volume;
      a.openInterestLimit = oi;
      engine->AddOrReplace(a);
    };
    add(rb, 3300, 2900, 0, 0, 0);
    add(au, 980, 0, 50, 0, 0);
    add(cu, 0, 76000, 0, 120000, 0);
    add(m, 3100, 2800, 0, 0, 2000000);
  }
  void Fire() {
    std::vector<QuoteAlert> list;
    engine->CopyAlerts(list);
    auto quote = [this](const DC_Contract& c, float last, int lastQty, int volume) {
      DC_Quote q{};
      q.contract = c;
      q.data.last = last;
      q.data.lastQuantity = lastQty;
      q.data.volume = volume;
      engine->OnQuote(0, &q);
    };
    if (list.size() >= 3) {
      quote(list[0].contract, 3302, 4, 10000);
      quote(list[1].contract, 960, 60, 5000);
      quote(list[2].contract, 75980, 2, 130000);
    }
  }
  ScopedEngine<CAlertCenter> engine;
};

template <class T>
void AddWithDemo(ui::ScreenshotRegistry& r, const char* name, std::function<QWidget*(T&)> open) {
  auto demo = std::make_shared<std::unique_ptr<T>>();
  r.Add(
      name,
      [demo, open] {
        *demo = std::make_unique<T>();
        return open(**demo);
      },
      [demo](QWidget* w) {
        delete w;
        demo->reset();
      });
}

struct StopDemo {
  StopDemo() {
    engine->SetFileEnabled(false);
    auto set = [this](const char* commodity, const char* exchange, int sl, int tp, int trailing, int be) {
      AutoCoverSetting s;
      s.commodity = commodity;
      s.exchange = exchange;
      s.stopLossTicks = sl;
      s.takeProfitTicks = tp;
      s.trailingTicks = trailing;
      s.breakEvenTicks = be;
      engine->AddOrReplaceSetting(s);
    };
    set("rb", "SHFE", 10, 30, 0, 8);
    set("au", "SHFE", 25, 0, 15, 0);
    set("m", "DCE", 8, 16, 6, 5);
  }
  ScopedEngine<CAutoCover> engine;
};

struct OcoDemo {
  OcoDemo() {
    OcoOrder o;
    o.contract = Demo("SHFE|rbMI", TXT("螺纹钢主连"));
    o.price1 = 3180;
    o.price2 = 3050;
    o.quantity = 2;
    o.directionA = kBuy;
    o.offsetA = kOpen;
    o.directionB = kSell;
    o.offsetB = kOpen;
    id = engine->Add(o);
  }
  ScopedEngine<COCOOrderMgr> engine;
  int id = 0;
};

// A demonstration leg contract: the library's, or a stand-in that still counts as used.
DC_Contract Leg(const char* key, const std::string& name) {
  DC_Contract c = Demo(key, name);
  if (c.commodity == 0) c.commodity = 1;
  return c;
}

CombolStrategy DemoStrategy(const char* a, const std::string& an, const char* b, const std::string& bn,
                            const char* formula, const std::string& name) {
  CombolStrategy s{};
  s.legs[0].contract = Leg(a, an);
  s.legs[0].direction = kBuy;
  s.legs[0].lots = 1;
  s.legs[0].chase = true;
  s.legs[1].contract = Leg(b, bn);
  s.legs[1].direction = kSell;
  s.legs[1].lots = 1;
  s.legs[1].spreadTicks = 1;
  s.type = 1;
  s.decimals = 1;
  SetField(s.formula, formula);
  SetField(s.name, name);
  s.totalQuantity = 4;
  s.triggerQuantity = 2;
  return s;
}

CombolStrategy RbHc() {
  return DemoStrategy("SHFE|rbMI", TXT("螺纹钢主连"), "SHFE|hcMI", TXT("热卷主连"), "A-B", TXT("螺卷价差"));
}

PositionRecord DemoPosition() {
  PositionRecord p{};
  p.contract = Leg("SHFE|rbMI", TXT("螺纹钢主连"));
  p.longQuantity = 3;
  p.longAverage = 3120;
  SetField(p.positionNumber, "S00000012");
  return p;
}

StopContext DemoStopContext() {
  StopContext c;
  c.position = DemoPosition();
  c.latest = 3150;
  c.decimals = 0;
  c.tick = 1;
  c.multiplier = 10;
  return c;
}

}  // namespace

void RegisterEnginesScreenshots(ui::ScreenshotRegistry& r) {
  r.Add("strategy_add", [] { return static_cast<QWidget*>(new CDlgAddCmbOrder(RbHc())); });
  r.Add("strategy_grid_send", [] {
    return static_cast<QWidget*>(new CDlgSendGridOrder(SendInputFromQuote(RbHc(), true, -152.0)));
  });
  r.Add("arbitrage_page", [] {
    auto* page = new CWndTaoLiView(nullptr, false);
    page->strategies->AddStrategy(RbHc());
    page->strategies->AddStrategy(DemoStrategy("DCE|mMI", TXT("豆粕主连"), "DCE|yMI", TXT("豆油主连"), "B-A*2",
                                               TXT("油粕比")));
    page->strategies->grid->selectRow(0);
    page->panel->Fill(RbHc(), true, -152.0);
    page->resize(1280, 760);
    return static_cast<QWidget*>(page);
  });
  r.Add("condition_order", [] {
    return static_cast<QWidget*>(new CDlgConditionOrder(Leg("SHFE|rbMI", TXT("螺纹钢主连")), 1, 1, 2, 3180, nullptr));
  });
  r.Add("stop_order_add", [] { return static_cast<QWidget*>(new CDlgAddWinLose(DemoStopContext())); });
  r.Add("stop_order_modify", [] {
    StopContext c = DemoStopContext();
    c.modify = true;
    c.old.conditionKind = 1;
    c.old.triggerPrice = 3090;
    c.old.quantity = 2;
    return static_cast<QWidget*>(new CDlgAddWinLose(c));
  });
  r.Add("stop_order_list", [] {
    return static_cast<QWidget*>(new CDlgWinStop(DemoStopContext(), 900, "S00000012"));
  });
  AddWithDemo<AlertDemo>(r, "quote_alert_list", [](AlertDemo& d) {
    d.Fire();
    auto* w = new CDlgAlertSetting;
    w->Refresh();
    w->list->selectRow(1);
    return static_cast<QWidget*>(w);
  });
  AddWithDemo<AlertDemo>(r, "quote_alert_modify", [](AlertDemo&) {
    std::vector<QuoteAlert> list;
    CAlertCenter::Instance().CopyAlerts(list);
    return static_cast<QWidget*>(new CDlgAddQuoteAlert(list.empty() ? QuoteAlert{} : list[0]));
  });
  AddWithDemo<AlertDemo>(r, "quote_alert_tip", [](AlertDemo& d) {
    auto* tip = new CDlgAlertTip;
    d.Fire();
    // The posted 1001s place and show it; only the tip's own events are served, so that no
    // other window's timers run in between.
    QCoreApplication::sendPostedEvents(tip);
    tip->setWindowOpacity(1.0);
    tip->Back();
    return static_cast<QWidget*>(tip);
  });
  AddWithDemo<AlertDemo>(r, "quote_alert_history", [](AlertDemo& d) {
    d.Fire();
    return static_cast<QWidget*>(new CDlgAllAlertInfo);
  });
  AddWithDemo<StopDemo>(r, "auto_cover_setting", [](StopDemo&) {
    auto* w = new CDlgAutoCoverSetting;
    w->list->selectRow(0);
    return static_cast<QWidget*>(w);
  });
  AddWithDemo<OcoDemo>(r, "oco_add", [](OcoDemo&) {
    OcoOrder o;
    o.contract = Demo("SHFE|auMI", TXT("沪金主连"));
    o.price1 = 968.5;
    o.price2 = 968.5;
    o.quantity = 1;
    return static_cast<QWidget*>(new CDlgAddOcoOrder(o));
  });
  AddWithDemo<OcoDemo>(r, "oco_modify", [](OcoDemo& d) {
    std::vector<OcoOrder> all;
    d.engine->CopyAll(all);
    return static_cast<QWidget*>(new CDlgAddOcoOrder(all.empty() ? OcoOrder{} : all[0]));
  });
}

}  // namespace tarn
