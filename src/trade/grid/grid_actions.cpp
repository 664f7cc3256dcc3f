#include "trade/grid/grid_actions.h"

#include <algorithm>
#include <cmath>

#include "data/quote_data_center.h"
#include "data/trade_enums.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tools/setting_cfg.h"
#include "trade/orders/order_routines.h"
#include "trade/grid/sel_position.h"

namespace tarn {

namespace {
ISelPositionQueryer* g_queryer = nullptr;
}

ISelPositionQueryer* GetSelPositionQueryer() { return g_queryer; }
void SetSelPositionQueryer(ISelPositionQueryer* queryer) { g_queryer = queryer; }

void PanelOrderSender::SendOrder(const DC_Contract& contract, int direction, int offset, int quantity, int market,
                                 double price) {
  SendPanelOrder(contract, direction, offset, quantity, market, price);
}

double PartialCloseFraction(int code) {
  switch (code) {
    case 201: return 0.1;
    case 202: return 0.3;
    case 203: return 0.5;
    case 204: return 0.75;
    default: return 0;
  }
}

PositionRecord PartialCloseRecord(const PositionRecord& position, double fraction) {
  PositionRecord p = position;
  const int64_t total = static_cast<int64_t>(p.longQuantity) + p.shortQuantity;
  int32_t n = static_cast<int32_t>(std::trunc(static_cast<double>(total) * fraction));
  if (n < 1) n = 1;
  if (p.longQuantity > 0) {
    p.longQuantity = n;
    p.todayLong = std::min(n, p.todayLong);
  } else if (p.shortQuantity > 0) {
    p.shortQuantity = n;
    p.todayShort = std::min(n, p.todayShort);
  }
  return p;
}

LockOrder LockOrderFor(const PositionRecord& position) {
  return LockOrder{position.longQuantity != 0 ? kSell : kBuy,
                   position.longQuantity > 0 ? position.longQuantity : position.shortQuantity};
}

PositionRecord PositionOfDetail(const PositionDetail& d, double currentPrice) {
  PositionRecord p{};
  p.contract = d.contract;
  if (d.direction == kBuy) {
    p.longQuantity = d.quantity;
    p.todayLong = d.todayQuantity;
    p.longAverage = d.averagePrice;
    p.longOpenAverage = d.openPrice;
    p.longMargin = d.margin;
    p.longFloatProfit = d.floatProfit;
    p.longPositionProfit = d.positionProfit;
  } else {
    p.shortQuantity = d.quantity;
    p.todayShort = d.todayQuantity;
    p.shortAverage = d.averagePrice;
    p.shortOpenAverage = d.openPrice;
    p.shortMargin = d.margin;
    p.shortFloatProfit = d.floatProfit;
    p.shortPositionProfit = d.positionProfit;
  }
  p.currentPrice = currentPrice;
  SetField(p.positionNumber, Field(d.positionNumber));
  return p;
}

StopContext StopContextFor(const PositionRecord& position) {
  StopContext c;
  c.position = position;
  c.latest = position.currentPrice;
  const ContractInfo info = ContractInfoOf(position.contract);
  c.decimals = info.decimals;
  c.tick = info.tick;
  c.multiplier = info.multiplier;
  return c;
}

TradeGridActions::TradeGridActions(TradeGridModel& model, IGridActionHost& host, IGridOrderSender& sender)
    : model_(model), host_(host), sender_(sender) {}

bool TradeGridActions::Ask(const std::string& text, bool applicationTitle, bool question) {
  return MessageBox(text, applicationTitle ? std::string() : TXT("提示"), MsgButtons::OkCancel,
                    question ? MsgIcon::Question : MsgIcon::None) == MsgAnswer::Ok;
}

bool TradeGridActions::CoverConfirm() {
  return Profile::GetInt("\\user\\setting.ini", "CoverConfirm", "Value", 1) != 0;
}

double TradeGridActions::CurrentPriceOf(const DC_Contract& contract) const {
  for (const PositionRecord& p : model_.Positions())
    if (p.contract.SameKey(contract) && p.currentPrice > 1e-6) return p.currentPrice;
  return 0;
}

void TradeGridActions::ClosePosition(const PositionRecord& p) {
  if (ITradeApi* api = GetTradeApi()) api->ClosePosition(p);
}

void TradeGridActions::SendLock(const PositionRecord& p) {
  const LockOrder lock = LockOrderFor(p);
  sender_.SendOrder(p.contract, lock.direction, kOpen, lock.quantity, kMarketPrice, 0.0);
}

void TradeGridActions::OpenStops(const PositionRecord& p, const std::string& positionNumber, double floatProfit) {
  host_.OpenStopDialog(StopContextFor(p), floatProfit, positionNumber);
}

bool TradeGridActions::Command(int controlId, int row, int /*column*/, int code) {
  const int tab = TabOfControl(controlId);
  switch (tab) {
    case kTabPositions: return PositionCommand(row, code);
    case kTabDetails: return DetailCommand(row, code);
    case kTabOrders:
    case kTabWorking:
    case kTabConditions: return OrderCommand(tab, row, code);
    case kTabOco: return OcoCommand(row, code);
    case kTabAutoStops:
      if (code == 301) host_.OpenAutoCoverSetting();
      return false;
    case kTabFills:
      if (code == kCodeFillDetail || code == kCodeFillSummary) {
        const bool summary = code == kCodeFillSummary;
        if (summary == model_.FillSummary()) return false;
        model_.SetFillSummary(summary);
        return true;
      }
      return false;
    default: return false;
  }
}

bool TradeGridActions::CommandOn(int controlId, const std::string& identity, int column, int code) {
  // A record that is gone gives no row: the commands on one record then do nothing, the ones
  // on the whole tab (close all, cancel all, refresh) still apply.
  const int row = identity.empty() ? -1 : model_.RowOfIdentity(TabOfControl(controlId), identity);
  return Command(controlId, row, column, code);
}

bool TradeGridActions::PositionCommand(int row, int code) {
  ITradeApi* api = GetTradeApi();
  if (!api) return false;
  if (code == 102) {  // close all: the library's current list, not the grid's copy
    if (CoverConfirm() && !Ask(TXT("您确实要平掉所有持仓吗?"), true)) return false;
    std::vector<PositionRecord> all;
    api->GetPositions(all);
    for (const PositionRecord& p : all) api->ClosePosition(p);
    return false;
  }
  if (code == 104) {
    api->RefreshPositions();
    return false;
  }
  const PositionRecord* found = model_.PositionAt(row);
  if (!found) return false;
  const PositionRecord p = *found;  // the lists may change while a box is open
  switch (code) {
    case 101:
      if (CoverConfirm() && !Ask(TXT("您确实要平掉当前持仓吗?"))) return false;
      api->ClosePosition(p);
      return false;
    case 201:
    case 202:
    case 203:
    case 204: api->ClosePosition(PartialCloseRecord(p, PartialCloseFraction(code))); return false;
    case 302:
      if (CoverConfirm() && !Ask(TXT("您确实要执行锁仓吗?"))) return false;
      SendLock(p);
      return false;
    case 301:
      if (CoverConfirm() && !Ask(TXT("您确实要执行反手吗?"))) return false;
      api->ClosePosition(p);
      host_.Wait(100);
      SendLock(p);
      return false;
    case 401:
      OpenStops(p, std::string(), p.IsLong() ? p.longFloatProfit : p.shortFloatProfit);
      return false;
    default: return false;
  }
}

bool TradeGridActions::DetailCommand(int row, int code) {
  const PositionDetail* found = model_.DetailAt(row);
  if (!found) return false;
  const PositionDetail d = *found;
  const double current = CurrentPriceOf(d.contract);
  if (code == 101) host_.OpenCoverByPosNo(d, current);
  if (code == 401) OpenStops(PositionOfDetail(d, current), std::string(Field(d.positionNumber)), d.floatProfit);
  return false;
}

bool TradeGridActions::OrderCommand(int tab, int row, int code) {
  ITradeApi* api = GetTradeApi();
  if (!api) return false;
  if (code == 102) {
    std::vector<OrderRecord> all;
    api->GetOrders(all);
    for (const OrderRecord& o : all) {
      const bool cancel = tab == kTabConditions ? o.state == kStateNotTriggered : IsWorkingState(o.state);
      if (cancel) api->CancelOrder(&o);
    }
    return false;
  }
  const OrderRecord* found = model_.OrderAt(tab, row);
  if (!found) return false;
  const OrderRecord o = *found;
  if (code == 101) {
    if (tab == kTabConditions || IsWorkingState(o.state)) api->CancelOrder(&o);
    return false;
  }
  if (code == 104 && tab != kTabConditions) {
    const DC_Commodity* commodity = CommodityOf(o.contract);
    if (!commodity) return false;  // the dialog needs the contract's tick and decimals
    if (std::optional<IGridActionHost::Modified> m = host_.OpenModifyOrder(o, commodity->tickSize, commodity->decimals))
      api->ModifyOrder(o, m->price, m->quantity);
  }
  return false;
}

bool TradeGridActions::OcoCommand(int row, int code) {
  if (code == 103) {
    std::vector<int> ids;
    for (const OcoOrder& o : model_.OcoPairs()) ids.push_back(o.id);
    for (int id : ids) COCOOrderMgr::Instance().Cancel(id);
    return false;
  }
  const OcoOrder* found = model_.OcoAt(row);
  if (!found) return false;
  const OcoOrder o = *found;
  if (code == 101 && o.state == 0) host_.OpenOcoDialog(o);
  if (code == 102) COCOOrderMgr::Instance().Cancel(o.id);
  return false;
}

bool TradeGridActions::EditRemark(int tab, int row) {
  const std::string key = model_.RemarkKeyOf(tab, row);
  if (key.empty()) return false;  // a lot without a position number has no remark
  std::optional<std::string> text = host_.EditRemark(model_.Remarks().Get(key));
  if (!text) return false;
  model_.Remarks().Set(key, *text);
  model_.RewriteRemarks();
  return true;
}

bool TradeGridActions::DoubleClick(int controlId, int row, int column) {
  const int tab = TabOfControl(controlId);
  ITradeApi* api = GetTradeApi();
  if (!api) return false;
  if (tab == kTabOrders || tab == kTabWorking) {
    const OrderRecord* found = model_.OrderAt(tab, row);
    if (!found) return false;
    const OrderRecord o = *found;
    const int action = GetSettingCfg().dbClickOrderAction;
    if (action == 2 || !IsWorkingState(o.state)) return false;
    if (action == 0) {
      const bool ok = tab == kTabOrders ? Ask(TXT("您确实要撤掉当前挂单吗?"))
                                        : Ask(TXT("您确实要撤销挂单吗?"), false, true);
      if (!ok) return false;
    }
    api->CancelOrder(&o);
    return false;
  }
  if (tab == kTabPositions) {
    const PositionRecord* found = model_.PositionAt(row);
    if (!found) return false;
    const PositionRecord p = *found;
    if (column == TabColumnIndex(kTabPositions, TXT("止盈止损"))) {
      OpenStops(p, std::string(), p.IsLong() ? p.longFloatProfit : p.shortFloatProfit);
      return false;
    }
    if (column == TabColumnIndex(kTabPositions, TXT("备注"))) return EditRemark(tab, row);
    switch (GetSettingCfg().dbClickPositionAction) {
      case 0: host_.OpenCoverPosition(p); break;
      case 1: api->ClosePosition(p); break;  // at once: the close confirmation does not apply
      default: break;
    }
    return false;
  }
  if (tab == kTabDetails) {
    const PositionDetail* found = model_.DetailAt(row);
    if (!found) return false;
    const PositionDetail d = *found;
    const double current = CurrentPriceOf(d.contract);
    if (column == TabColumnIndex(kTabDetails, TXT("止盈止损"))) {
      OpenStops(PositionOfDetail(d, current), std::string(Field(d.positionNumber)), d.floatProfit);
      return false;
    }
    if (column == TabColumnIndex(kTabDetails, TXT("备注"))) return EditRemark(tab, row);
    host_.OpenCoverByPosNo(d, current);
    return false;
  }
  return false;
}

std::vector<GridButton> TradeGridActions::ContextMenu(int controlId, int row) const {
  const int tab = TabOfControl(controlId);
  bool onRow = false, working = false;
  switch (tab) {
    case kTabPositions: onRow = model_.PositionAt(row) != nullptr; break;
    case kTabDetails: onRow = model_.DetailAt(row) != nullptr; break;
    case kTabOrders:
    case kTabWorking:
    case kTabConditions:
      if (const OrderRecord* o = model_.OrderAt(tab, row)) {
        onRow = true;
        working = IsWorkingState(o->state);
      }
      break;
    case kTabOco:
      if (const OcoOrder* o = model_.OcoAt(row)) {
        onRow = true;
        working = o->state == 0;
      }
      break;
    default: break;
  }
  return TabContextMenu(tab, onRow, working);
}

}  // namespace tarn
