#include "engines/condition_forms.h"

#include <cmath>

#include "engines/engine_support.h"
#include "platform/clock.h"
#include "data/trade_enums.h"
#include "platform/text.h"

namespace tarn {

// ---- the condition order dialog --------------------------------------------------------------

ConditionInput ConditionInputFor(const DC_Contract& contract, int side, int offset, int quantity, double price,
                                 int decimals) {
  ConditionInput in;
  in.chosen = contract;
  in.contractText = std::string(contract.Code());
  in.buy = side == kBuy;
  in.open = offset == kOpen;
  if (quantity > 0) in.quantity = Format("%d", quantity);
  if (price > 1e-5) in.triggerPrice = Format("%.*f", decimals, price);
  return in;
}

std::optional<std::string> CheckConditionInput(const ConditionInput& in, ConditionOrderRequest* out) {
  // Compared as typed: a code that differs from the chosen entry, even by case, is refused.
  if (in.contractText.empty() || in.chosen.Empty() || in.contractText != in.chosen.Code()) return TXT("合约无效");
  const double trigger = ParseDecimalText(in.triggerPrice);
  if (std::fabs(trigger) < 1e-5) return TXT("触发条件价格无效");
  const int side = in.buy ? 1 : 2;
  const int offset = in.open ? 1 : 2;
  const int quantity = ParseInt32Text(in.quantity);
  if (quantity <= 0) return TXT("数量不能为0");
  int mode = 0;
  double price = 0;
  int ticks = 0;
  if (in.explicitPrice) {
    price = ParseDecimalText(in.price);
    if (std::fabs(price) < 1e-4) return TXT("价格错误");
  } else {
    const int basis = in.priceBasis >= 0 && in.priceBasis <= 3 ? in.priceBasis : 3;
    mode = basis + 1;
    if (mode != 4) ticks = ParseInt32Text(in.tickOffset);
  }
  ConditionOrderRequest r{};
  r.contract = in.chosen;
  r.direction = side;
  r.offset = offset;
  r.triggerBasis = in.basis >= 0 && in.basis <= 2 ? in.basis : 0;
  r.kind = in.condition == 1 ? 1 : 0;
  r.triggerPrice = trigger;
  r.quantity = quantity;
  r.sendPriceMode = mode;
  r.sendPrice = price;
  r.ticks = ticks;
  r.longTerm = in.validity == 0 ? 1 : 0;
  if (out) *out = r;
  return std::nullopt;
}

std::optional<ConditionQuoteTexts> ConditionQuoteTextsFor(const DC_QuoteData& q, int decimals) {
  if (!std::isfinite(q.last) || std::fabs(q.last) <= 1e-4) return std::nullopt;
  auto colour = [&](double p) {
    if (std::fabs(p - q.open) <= 1e-4) return Rgb(200, 200, 200);
    return p > q.open ? Rgb(255, 0, 0) : Rgb(0, 160, 0);
  };
  ConditionQuoteTexts t;
  t.last = Format("%.*f", decimals, static_cast<double>(q.last));
  t.ask = Format(TXT("卖 %.*f    (%d)"), decimals, static_cast<double>(q.askPrice[0]), q.askVolume[0]);
  t.bid = Format(TXT("买 %.*f    (%d)"), decimals, static_cast<double>(q.bidPrice[0]), q.bidVolume[0]);
  t.lastColor = colour(q.last);
  t.askColor = colour(q.askPrice[0]);
  t.bidColor = colour(q.bidPrice[0]);
  return t;
}

// ---- the position stop dialog ----------------------------------------------------------------

bool StopIsLong(const StopContext& c) { return c.position.longQuantity >= 1; }

std::string StopHeader(const StopContext& c) {
  const bool isLong = StopIsLong(c);
  return Format(TXT("持仓:%s  方向:%s  数量:%d  最新价:%.*f"), std::string(c.position.contract.Code()),
                isLong ? TXT("多头") : TXT("空头"), isLong ? c.position.longQuantity : c.position.shortQuantity,
                c.decimals, c.latest);
}

const std::string& StopTitle(const StopContext& c) {
  return c.modify ? TXT("修改止盈止损 (点击修改按钮前原条件单仍然有效)") : TXT("止盈止损");
}

const std::string& StopSendText(const StopContext& c) { return c.modify ? TXT("修改") : TXT("发送"); }

const std::string& StopPriceLabel(int tab) {
  switch (tab) {
    case kTakeProfit: return TXT("止盈价:");
    case kBreakEven: return TXT("保本价:");
    default: return TXT("止损价:");
  }
}

std::string StopProfitLine(const StopContext& c, const StopInput& in) {
  const int quantity = ParseInt32Text(in.quantity);
  const double average = c.position.longAverage + c.position.shortAverage;
  double profit = (ParseDecimalText(in.triggerPrice) - average) * quantity * c.multiplier;
  if (c.position.shortQuantity > 0) profit = -profit;
  return Format(TXT("数量:  %d    预计盈亏:  %.2f"), quantity, profit);
}

std::string SpinStopPrice(const std::string& text, bool up, double tick, int decimals) {
  double price = ParseDecimalText(text);
  if (tick > 0) {
    price += up ? tick : -tick;
    // Truncated to a whole multiple of the tick (a hair's tolerance for the step just taken).
    price = std::trunc(price / tick + (price >= 0 ? 1e-7 : -1e-7)) * tick;
  }
  return Format("%.*f", decimals, price);
}

std::string SpinStopDistance(const std::string& text, bool up) {
  int64_t d = ParseInt32Text(text) + (up ? 1 : -1);
  if (d < 1) d = 1;
  return Format("%d", static_cast<int>(std::min<int64_t>(d, INT32_MAX)));
}

StopInput StopInputFor(const StopContext& c) {
  StopInput in;
  const bool isLong = StopIsLong(c);
  in.quantity = Format("%d", isLong ? c.position.longQuantity : c.position.shortQuantity);
  if (!c.modify) {
    if (c.latest > 1e-6) in.triggerPrice = Format("%.*f", c.decimals, c.latest);
    return in;
  }
  const OrderRecord& o = c.old;
  const int kind = o.conditionKind;
  const bool trailing = kind == 4 || kind == 5;
  in.tab = kind == 4 ? kTrailingStop : kind == 5 ? kBreakEven : ((kind == 1) == isLong ? kStopLoss : kTakeProfit);
  in.triggerPrice = Format("%.*f", c.decimals, trailing ? o.price : o.triggerPrice);
  in.quantity = Format("%d", o.quantity);
  if (trailing) in.distance = Format("%d", o.ticks);
  in.validity = o.longTerm ? 1 : 0;
  if (!trailing) {
    if (o.sendPriceMode == 0 && std::fabs(o.price) >= 1e-5) {
      in.sendPriceOn = false;
      in.sendPrice = Format("%.*f", c.decimals, o.price);
    } else if (o.sendPriceMode >= 1 && o.sendPriceMode <= 3) {
      in.sendPriceBasis = o.sendPriceMode - 1;
      in.tickOffset = Format("%d", o.ticks);
    }
    // Anything else (market, or no usable explicit price) is "市价".
  }
  return in;
}

std::optional<std::string> CheckStopInput(const StopContext& c, const StopInput& in, ConditionOrderRequest* out) {
  const bool isLong = StopIsLong(c);
  const bool trailing = in.tab == kTrailingStop || in.tab == kBreakEven;
  const double price = ParseDecimalText(in.triggerPrice);
  const int quantity = ParseInt32Text(in.quantity);
  const int distance = ParseInt32Text(in.distance);
  if (price < 1e-6) return TXT("价格错误");
  if (quantity <= 0) return TXT("数量错误");
  if (trailing && distance <= 0) return TXT("价差错误");
  // The explicit send price counts only where it is used: a stop-loss or take-profit with the
  // send-price box off (trailing and break-even stops always go at the market).
  const double sendPrice = ParseDecimalText(in.sendPrice);
  if (!trailing && !in.sendPriceOn && std::fabs(sendPrice) < 1e-5) return TXT("发单价格无效");
  int kind;
  switch (in.tab) {
    case kStopLoss: kind = isLong ? 1 : 0; break;
    case kTakeProfit: kind = isLong ? 0 : 1; break;
    case kTrailingStop: kind = 4; break;
    default: kind = 5; break;
  }
  bool reached = false;
  if (kind == 0) reached = price <= c.latest;
  if (kind == 1) reached = price >= c.latest;
  if (kind == 4) reached = isLong ? price >= c.latest : price <= c.latest;
  if (reached) return TXT("当前价格已经满足条件，不合时宜。");
  ConditionOrderRequest r{};
  r.contract = c.position.contract;
  r.direction = isLong ? kSell : kBuy;
  r.offset = kClose;
  r.triggerBasis = 0;
  r.kind = kind;
  r.quantity = quantity;
  if (trailing) {
    r.triggerPrice = 0;
    r.sendPrice = price;
    r.ticks = distance;
    r.sendPriceMode = 4;
  } else {
    r.triggerPrice = price;
    if (!in.sendPriceOn) {
      r.sendPriceMode = 0;
      r.sendPrice = sendPrice;
    } else if (in.sendPriceBasis == 3 || in.sendPriceBasis < 0 || in.sendPriceBasis > 3) {
      r.sendPriceMode = 4;
    } else {
      r.sendPriceMode = in.sendPriceBasis + 1;
      r.ticks = ParseInt32Text(in.tickOffset);
    }
  }
  SetField(r.positionNumber, c.position.PositionNumber());
  r.longTerm = in.validity == 1 ? 1 : 0;
  if (out) *out = r;
  return std::nullopt;
}

const std::string& StopKindText(int kind, bool longPosition) {
  switch (kind) {
    case 0: return longPosition ? TXT("止盈单") : TXT("止损单");
    case 1: return longPosition ? TXT("止损单") : TXT("止盈单");
    case 4: return TXT("浮动止损");
    case 5: return TXT("保本单");
    default: return TXT("");
  }
}

// ---- the list --------------------------------------------------------------------------------

std::vector<OrderRecord> StopOrdersOf(const std::vector<OrderRecord>& orders, const PositionRecord& position,
                                      std::string_view positionNumber) {
  const int closing = position.IsLong() ? kSell : kBuy;
  std::vector<OrderRecord> out;
  for (const OrderRecord& o : orders) {
    if (!o.contract.SameKey(position.contract) || (o.offset != kClose && o.offset != kCloseToday) || o.hidden != 1 ||
        o.state != kStateNotTriggered || o.direction != closing)
      continue;
    if (!positionNumber.empty() && Field(o.positionNumber) != positionNumber) continue;
    out.push_back(o);
  }
  return out;
}

StopRow StopRowFor(const OrderRecord& o, int index, bool longPosition, int decimals) {
  StopRow row;
  row.number = Format("%d", index + 1);
  row.kind = StopKindText(o.conditionKind, longPosition);
  switch (o.conditionKind) {
    case 0: row.trigger = Format(TXT("最新价>=%.*f"), decimals, o.triggerPrice); break;
    case 1: row.trigger = Format(TXT("最新价<=%.*f"), decimals, o.triggerPrice); break;
    case 4: row.trigger = Format(TXT("止损价:%.*f 价差:%d"), decimals, o.stopPrice > 1e-5 ? o.stopPrice : o.price, o.ticks); break;
    case 5: row.trigger = Format(TXT("保本价:%.*f 价差:%d"), decimals, o.price, o.ticks); break;
    default: break;
  }
  row.created = o.insertTime > 100 ? FormatTime(o.insertTime, "%Y-%m-%d %H:%M:%S") : std::string();
  row.validity = o.longTerm ? TXT("长期有效") : TXT("当日有效");
  row.position = std::string(Field(o.positionNumber));
  row.state = TXT("运行中");
  return row;
}

std::string StopListHeader(const StopContext& c, double floatProfit, std::string_view positionNumber) {
  const bool isLong = StopIsLong(c);
  std::string text = Format(TXT("持仓:%s  方向:%s  数量:%d  最新价:%.*f   浮盈:%.2f"), std::string(c.position.contract.Code()),
                            isLong ? TXT("多头") : TXT("空头"),
                            isLong ? c.position.longQuantity : c.position.shortQuantity, c.decimals, c.latest,
                            floatProfit);
  if (!positionNumber.empty()) text += Format(TXT(" 持仓号:%s"), std::string(positionNumber));
  return text;
}

}  // namespace tarn
