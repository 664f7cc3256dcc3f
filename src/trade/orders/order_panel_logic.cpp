#include "trade/orders/order_panel_logic.h"

#include <algorithm>
#include <cmath>

#include "data/quote_data_center.h"
#include "data/trade_enums.h"
#include "engines/engine_support.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "trade/orders/key_order_table.h"

namespace tarn {

namespace {
constexpr const char* kPanelFile = "\\config\\tradePanel.ini";

bool Usable(double price, double threshold) { return std::isfinite(price) && price > threshold; }
}  // namespace

// ---- price types -------------------------------------------------------------------------------

const std::string& PriceTypeText(int type) {
  switch (type) {
    case kPriceSpecified: return TXT("指定价");
    case kPriceCounter: return TXT("对手价");
    case kPriceQueue: return TXT("跟盘价");
    case kPriceMarket: return TXT("市价");
    case kPriceLast: return TXT("最新价");
    default: {
      static const std::string none;
      return none;
    }
  }
}

int StoredPriceType() {
  const int v = Profile::GetInt(kPanelFile, "PriceType", "Value", 1);
  return (v >= 0 && v < kPriceTypeCount) ? v : 1;
}

void StorePriceType(int type) {
  if (type == kPriceSpecified || type < 0 || type >= kPriceTypeCount) return;
  Profile::WriteInt(kPanelFile, "PriceType", "Value", type);
}

PanelQuote PanelQuoteOf(const DC_Quote& q) {
  PanelQuote p;
  p.contract = q.contract;
  p.last = q.data.last;
  p.bid = q.data.bidPrice[0];
  p.ask = q.data.askPrice[0];
  p.bidVolume = q.data.bidVolume[0];
  p.askVolume = q.data.askVolume[0];
  return p;
}

PanelPrice PriceFor(int type, int direction, const PanelQuote& quote, double specified) {
  PanelPrice p;
  switch (type) {
    case kPriceSpecified: p.price = specified; break;
    case kPriceCounter:
    case kPriceQueue: {
      const bool askSide = (type == kPriceCounter) == (direction == kBuy);
      p.price = askSide ? quote.ask : quote.bid;
      if (!(std::fabs(p.price) > 1e-5)) p.price = quote.last;
      break;
    }
    case kPriceMarket: p.market = true; p.price = 0; break;
    default: p.price = quote.last; break;
  }
  return p;
}

std::string KeyPriceText(int type, int direction, const PanelQuote& quote, double specified, int decimals) {
  if (type == kPriceMarket) return TXT("市价");
  const PanelPrice p = PriceFor(type, direction, quote, specified);
  if (!Usable(p.price, 1e-4)) return std::string();
  return FormatC("%.*f", decimals, p.price);
}

// ---- the close key ------------------------------------------------------------------------------

CloseKeyLabels CloseKeyLabelsFor(const PositionSums& sums, const PositionRecord* selected) {
  CloseKeyLabels l;
  const bool longHeld = sums.longTotal > 0, shortHeld = sums.shortTotal > 0;
  if (!longHeld && !shortHeld) {
    l.title = TXT("平仓");
    l.subtitle = TXT("先开先平");
  } else if (longHeld && shortHeld) {
    if (selected) {
      const bool isLong = selected->IsLong();
      l.title = isLong ? TXT("平多单") : TXT("平空单");
      l.priceDirection = isLong ? kSell : kBuy;
    } else {
      l.title = TXT("锁仓状态");
      l.buySubtitle = TXT("加多");
      l.sellSubtitle = TXT("加空");
    }
  } else {
    l.title = TXT("平仓");
    l.priceDirection = longHeld ? kSell : kBuy;
  }
  return l;
}

// ---- the keys ------------------------------------------------------------------------------------

namespace {
bool ContractValid(const PanelInput& in) { return !in.contract.Empty() && in.contract.SameKey(in.quote.contract); }

// The panel's price for `direction`; false (with "价格错误") for a limit price below 1e-5.
bool PriceOrStatus(const PanelInput& in, int direction, PanelPrice* out, std::string* status) {
  *out = PriceFor(in.priceType, direction, in.quote, ParseDecimalText(in.priceText));
  if (!out->market && !(out->price >= 1e-5)) {
    *status = TXT("价格错误");
    return false;
  }
  return true;
}
}  // namespace

std::string ThreeKeyOpen(const PanelInput& in, int direction, const ConfirmOrder& confirm) {
  const int64_t quantity = ParseInt64Text(in.quantityText);
  if (!ContractValid(in)) return TXT("无效合约");
  // A quantity that is not a positive number of lots, or above 999999, is never sent.
  if (quantity < 1 || quantity > 999999) return TXT("手数超过最大报单限制");
  PanelPrice p;
  std::string status;
  if (!PriceOrStatus(in, direction, &p, &status)) return status;
  const OrderRecord order = MakePanelOrder(in.contract, direction, kOpen, static_cast<int>(quantity), p.market ? kMarketPrice : kLimitPrice,
                                           p.market ? 0.0 : p.price);
  if (confirm && !confirm(order)) return std::string();
  SendPanelOrder(order);
  return std::string();
}

std::string ThreeKeyClose(const PanelInput& in, const ConfirmOrder& confirm, const SelectedPosition& selected) {
  const int64_t quantity = ParseInt64Text(in.quantityText);
  if (!ContractValid(in)) return TXT("无效合约");
  if (quantity < 1 || quantity > 50000) return TXT("手数超过最大报单限制");
  ITradeApi* api = GetTradeApi();
  if (!api) return TXT("错误,无仓可平");
  std::vector<PositionRecord> positions;
  api->GetPositions(positions);
  const PositionSums sums = SumPositions(positions, in.contract);
  bool allowLong = true, allowShort = true;
  if (sums.longTotal > 0 && sums.shortTotal > 0) {
    PositionRecord chosen{};
    if (!selected || !selected(&chosen) || !chosen.contract.SameKey(in.contract)) return TXT("请在持仓列表中选择一个持仓");
    if (chosen.longQuantity >= 1) {
      allowShort = false;
    } else if (chosen.shortQuantity >= 1) {
      allowLong = false;
    } else {
      return TXT("错误,无仓可平");
    }
  }
  if (sums.longTotal <= 0 && sums.shortTotal <= 0) return TXT("错误,无仓可平");
  for (const PositionRecord& p : positions) {
    if (!p.contract.SameKey(in.contract)) continue;
    int direction;
    if (allowLong && p.longQuantity >= 1) {
      direction = kSell;
    } else if (allowShort && p.shortQuantity >= 1) {
      direction = kBuy;
    } else {
      continue;
    }
    PanelPrice price;
    std::string status;
    if (!PriceOrStatus(in, direction, &price, &status)) return status;
    const OrderRecord order = MakePanelOrder(in.contract, direction, kClose, static_cast<int>(quantity),
                                             price.market ? 1 : 0, price.market ? 0.0 : price.price);
    if (confirm && !confirm(order)) break;
    SendSplitOrder(order);
  }
  return std::string();
}

std::string StandardSend(const PanelInput& in, int direction, int offset, const ConfirmOrder& confirm) {
  const int64_t quantity = ParseInt64Text(in.quantityText);
  if (!ContractValid(in)) return TXT("无效合约");
  if (quantity < 1 || quantity > 50000) return TXT("手数超过最大报单限制");
  const bool market = in.priceType == kPriceMarket;
  const double price = market ? 0.0 : ParseDecimalText(in.priceText);
  if (!market && !(price >= 1e-5)) return TXT("价格错误");
  if (direction != kBuy && direction != kSell) return TXT("请选择买卖方向");
  if (offset < kOpen || offset > kCloseToday) return TXT("请选择开平方向");
  const OrderRecord order = MakePanelOrder(in.contract, direction, offset, static_cast<int>(quantity),
                                           market ? kMarketPrice : kLimitPrice, price);
  if (confirm && !confirm(order)) return std::string();
  SendSplitOrder(order);
  return std::string();
}

int CloseAllOf(const DC_Contract& contract) {
  ITradeApi* api = GetTradeApi();
  if (!api || contract.Empty()) return 0;
  std::vector<PositionRecord> positions;
  api->GetPositions(positions);
  int n = 0;
  for (const PositionRecord& p : positions) {
    if (!p.contract.SameKey(contract)) continue;
    api->ClosePosition(p);
    ++n;
  }
  return n;
}

int CancelWorkingOrders(int direction) {
  ITradeApi* api = GetTradeApi();
  if (!api) return 0;
  std::vector<OrderRecord> orders;
  api->GetOrders(orders);
  int n = 0;
  for (const OrderRecord& o : orders) {
    if (!IsWorkingState(o.state) || o.hidden == 1) continue;
    if (direction != 0 && o.direction != direction) continue;
    api->CancelOrder(&o);
    ++n;
  }
  return n;
}

std::optional<std::string> FollowUpPriceText(int type, int direction, const PanelQuote& quote, int decimals,
                                             const std::string& current) {
  if (!Usable(quote.last, 1e-4)) return std::nullopt;
  switch (type) {
    // The same rule as the keys': an empty side (limit up or down) gives the last price.
    case kPriceCounter:
    case kPriceQueue:
    case kPriceLast: return FormatC("%.*f", decimals, PriceFor(type, direction, quote, 0).price);
    case kPriceMarket: return TXT("市价");
    default:
      if (current == TXT("市价")) return std::string();
      return std::nullopt;
  }
}

std::string SendKeyText(int direction, int offset) {
  const std::string d = direction == kBuy ? TXT("买") : direction == kSell ? TXT("卖") : std::string();
  const std::string o = (offset >= 1 && offset <= 3) ? OffsetText(offset) : std::string();
  return TXT("下单 (") + d + " " + o + ")";
}

// ---- quantity fractions ------------------------------------------------------------------------

const std::vector<FractionCell>& FractionCells() {
  static const std::vector<FractionCell> cells = {{1, 5}, {1, 4}, {1, 3}, {1, 2}, {2, 3}, {1, 1}};
  return cells;
}

std::string FractionText(const FractionCell& cell) {
  if (cell.numerator == cell.denominator) return TXT("满仓");
  return FormatC("%d/%d", cell.numerator, cell.denominator);
}

bool IsSeriesContract(const DC_Contract& contract) {
  const std::string_view month = contract.Month();
  return month == "MI" || month == "IDX";
}

DC_Contract TradableContract(const DC_Contract& contract) {
  if (!IsSeriesContract(contract) || contract.commodity == 0) return contract;
  IQuoteDataCenter* q = GetQuoteDataCenter();
  if (!q) return contract;
  const int n = q->GetContracts(nullptr, 0, "HOT");
  if (n <= 0) return contract;
  std::vector<DC_Contract> hot(static_cast<std::size_t>(n));
  hot.resize(static_cast<std::size_t>(std::clamp(q->GetContracts(hot.data(), n, "HOT"), 0, n)));
  for (const DC_Contract& c : hot)
    if (c.commodity == contract.commodity && !IsSeriesContract(c) && !c.Empty()) return c;
  return contract;
}

int DefaultQuantityOf(const DC_Contract& contract) {
  const int32_t d = ProductDefault(GetKeyOrderTable(), contract);
  return d >= 2 ? d : 1;
}

// ---- the open order panels -----------------------------------------------------------------------

namespace {
std::vector<IOrderPanelOpt*>& Panels() {
  static std::vector<IOrderPanelOpt*> panels;
  return panels;
}
SelectedPosition& Source() {
  static SelectedPosition source;
  return source;
}
}  // namespace

void AddOrderPanel(IOrderPanelOpt* panel) {
  if (panel && std::find(Panels().begin(), Panels().end(), panel) == Panels().end()) Panels().push_back(panel);
}

void RemoveOrderPanel(IOrderPanelOpt* panel) { std::erase(Panels(), panel); }

std::vector<IOrderPanelOpt*> OrderPanels() { return Panels(); }

void RefreshAllOrderPanels() {
  for (IOrderPanelOpt* p : OrderPanels()) p->RefreshIfVisible();
}

void SetSelectedPositionSource(SelectedPosition source) { Source() = std::move(source); }

bool QuerySelectedPosition(PositionRecord* out) {
  const SelectedPosition& s = Source();
  return s && s(out);
}

}  // namespace tarn
