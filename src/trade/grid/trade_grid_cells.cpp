#include "trade/grid/trade_grid_cells.h"

#include <cmath>
#include <unordered_map>

#include "data/quote_data_center.h"
#include "data/trade_enums.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tarn {

namespace {

std::string TimeText(int64_t t) { return t > 100 ? FormatTime(t, "%Y-%m-%d %H:%M:%S") : std::string(); }

GridCell Plain(std::string text) { return GridCell{std::move(text), 0}; }
GridCell Int(int64_t v) { return Plain(Format("%lld", static_cast<long long>(v))); }
GridCell DirectionCell(int direction) { return GridCell{DirectionText(direction), DirectionColor(direction)}; }
GridCell Side(bool isLong) { return GridCell{SideText(isLong ? kBuy : kSell), DirectionColor(isLong ? kBuy : kSell)}; }
GridCell Code(const DC_Contract& c) { return Plain(std::string(c.Code())); }

// "%.2f" of points per lot with trailing zeros removed; empty when there is nothing to divide by.
std::string PointsText(double profit, int64_t quantity, double multiplier) {
  if (quantity <= 0 || !(multiplier > 0)) return std::string();
  std::string s = TrimDecimalZeros(Format("%.2f", profit / static_cast<double>(quantity) / multiplier));
  return s == "-0" ? std::string("0") : s;
}

std::string RateText(double profit, double margin) {
  return margin > 0 ? Format("%.2f%%", profit * 100.0 / margin) : std::string();
}

std::string CostText(double price, int decimals) { return TrimDecimalZeros(Format("%.*f", decimals + 2, price)); }

}  // namespace

ContractInfo ContractInfoOf(const DC_Contract& contract) {
  ContractInfo info;
  if (const DC_Commodity* c = CommodityOf(contract)) {
    info.decimals = c->decimals;
    if (c->multiplier > 0) info.multiplier = c->multiplier;
    if (c->tickSize > 0) info.tick = c->tickSize;
  }
  return info;
}

std::string TrimDecimalZeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::string WholeMoneyText(double value) {
  std::string s = Format("%.*f", 0, value);
  return s == "-0" ? std::string("0") : s;
}

std::string MoneyText2(double value) {
  std::string s = Format("%.2f", value);
  return s == "-0.00" ? std::string("0.00") : s;
}

Colorref ProfitColor(double value) {
  if (std::fabs(value) < 0.01) return kZeroMoneyColor;
  return value > 0 ? kProfitColor : kLossColor;
}

GridCell MoneyCell(double value) {
  if (std::fabs(value) < 0.01) return GridCell{"0", kZeroMoneyColor};
  return GridCell{WholeMoneyText(value), ProfitColor(value)};
}

std::string PriceText(double price, int decimals) { return Format("%.*f", decimals, price); }

std::string StopOrderText(const std::vector<OrderRecord>& orders, const DC_Contract& contract, bool longSide,
                          std::string_view positionNumber, int decimals) {
  const int closing = longSide ? kSell : kBuy;
  std::string text;
  for (const OrderRecord& o : orders) {
    if (o.hidden != 1 || o.state != 11 || (o.offset != kClose && o.offset != kCloseToday) || o.direction != closing ||
        !o.contract.SameKey(contract))
      continue;
    if (!positionNumber.empty() && Field(o.positionNumber) != positionNumber) continue;
    std::string fragment;
    if (o.conditionKind == 5) {
      if (o.stopPrice >= 1e-5)
        fragment = Format(TXT("保:%.*f 价差:%d(已满足)"), decimals, o.stopPrice, o.ticks);
      else
        fragment = Format(TXT("保:%.*f 价差:%d(未满足)"), decimals, o.price, o.ticks);
    } else if (o.conditionKind == 4) {
      fragment = Format(TXT("浮:%.*f 价差:%d"), decimals, o.stopPrice > 1e-5 ? o.stopPrice : o.price, o.ticks);
    } else if ((o.conditionKind == 0 && longSide) || (o.conditionKind == 1 && !longSide)) {
      fragment = Format(TXT("盈:%d手@%.*f"), o.quantity, decimals, o.triggerPrice);
    } else {
      fragment = Format(TXT("损:%d手@%.*f "), o.quantity, decimals, o.triggerPrice);
    }
    if (!text.empty()) text += "  ";
    text += fragment;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

CellRow PositionCells(const PositionRecord& p, const ContractInfo& info, const std::string& stops,
                      const std::string& remark) {
  const bool isLong = p.longQuantity >= 1;
  const int32_t qty = isLong ? p.longQuantity : p.shortQuantity;
  const int32_t today = isLong ? p.todayLong : p.todayShort;
  const double average = isLong ? p.longAverage : p.shortAverage;
  const double floatProfit = isLong ? p.longFloatProfit : p.shortFloatProfit;
  const double positionProfit = isLong ? p.longPositionProfit : p.shortPositionProfit;
  const double margin = isLong ? p.longMargin : p.shortMargin;
  CellRow row;
  row.reserve(13);
  row.push_back(Code(p.contract));
  row.push_back(Side(isLong));
  row.push_back(Int(qty));
  row.push_back(Plain(CostText(average, info.decimals)));
  row.push_back(MoneyCell(floatProfit));
  row.push_back(Plain(PointsText(p.longFloatProfit + p.shortFloatProfit,
                                 static_cast<int64_t>(p.longQuantity) + p.shortQuantity, info.multiplier)));
  row.push_back(MoneyCell(positionProfit));
  row.push_back(Plain(stops));
  row.push_back(MoneyCell(margin));
  row.push_back(Int(static_cast<int64_t>(qty) - today));
  row.push_back(Int(today));
  row.push_back(Plain(RateText(floatProfit, margin)));
  row.push_back(Plain(remark));
  return row;
}

CellRow DetailCells(const PositionDetail& d, const ContractInfo& info, const std::string& stops,
                    const std::string& remark) {
  const bool isLong = d.direction == kBuy;
  CellRow row;
  row.reserve(13);
  row.push_back(Code(d.contract));
  row.push_back(Side(isLong));
  row.push_back(Int(d.quantity));
  row.push_back(Plain(CostText(d.averagePrice, info.decimals)));
  row.push_back(MoneyCell(d.floatProfit));
  row.push_back(Plain(PointsText(d.floatProfit, d.quantity, info.multiplier)));
  row.push_back(MoneyCell(d.positionProfit));
  row.push_back(Plain(stops));
  row.push_back(MoneyCell(d.margin));
  row.push_back(Plain(RateText(d.floatProfit, d.margin)));
  row.push_back(Plain(remark));
  row.push_back(Plain(std::string(Field(d.fillNumber))));
  row.push_back(Plain(std::string(Field(d.positionNumber))));
  return row;
}

namespace {
std::string OrderPriceText(const OrderRecord& o, int decimals) {
  return o.priceType == kMarketPrice ? TXT("市价") : PriceText(o.price, decimals);
}
}  // namespace

CellRow OrderCells(const OrderRecord& o, const ContractInfo& info) {
  CellRow row;
  row.reserve(11);
  row.push_back(Code(o.contract));
  row.push_back(DirectionCell(o.direction));
  row.push_back(Plain(OffsetText(o.offset)));
  row.push_back(Int(o.quantity));
  row.push_back(Plain(OrderPriceText(o, info.decimals)));
  row.push_back(Int(o.filledQuantity));
  row.push_back(Plain(o.filledQuantity > 0 ? PriceText(o.averageFillPrice, info.decimals) : std::string()));
  row.push_back(Plain(OrderStateText(o.state)));
  row.push_back(Plain(TimeText(o.insertTime)));
  row.push_back(Plain(std::string(Field(o.positionNumber))));
  row.push_back(o.errorCode != 0 ? GridCell{Format("%d:%s", o.errorCode, std::string(o.ErrorText())), kProfitColor}
                                 : GridCell{});
  return row;
}

CellRow WorkingOrderCells(const OrderRecord& o, const ContractInfo& info) {
  CellRow row;
  row.reserve(9);
  row.push_back(Code(o.contract));
  row.push_back(DirectionCell(o.direction));
  row.push_back(Plain(OffsetText(o.offset)));
  row.push_back(Int(o.quantity));
  row.push_back(Plain(OrderPriceText(o, info.decimals)));
  row.push_back(Int(o.filledQuantity));
  row.push_back(Plain(OrderStateText(o.state)));
  row.push_back(Plain(TimeText(o.insertTime)));
  row.push_back(Plain(std::string(Field(o.positionNumber))));
  return row;
}

std::string TriggerText(const OrderRecord& o, int decimals) {
  static const std::string* const kBasis[3] = {&TXT("最新价"), &TXT("买价"), &TXT("卖价")};
  const std::string& basis = (o.triggerBasis >= 0 && o.triggerBasis < 3) ? *kBasis[o.triggerBasis] : *kBasis[0];
  switch (o.conditionKind) {
    case 0: return basis + ">=" + PriceText(o.triggerPrice, decimals);
    case 1: return basis + "<=" + PriceText(o.triggerPrice, decimals);
    case 4:
      return Format(TXT("浮动止损 止损价:%.*f 价差:%d"), decimals, o.stopPrice > 1e-5 ? o.stopPrice : o.price, o.ticks);
    case 5: return Format(TXT("保本价:%.*f 价差:%d"), decimals, o.price, o.ticks);
    default: return PriceText(o.triggerPrice, decimals);
  }
}

std::string ConditionPriceText(const OrderRecord& o, int decimals) {
  static const std::string* const kMode[5] = {nullptr, &TXT("最新价"), &TXT("对盘价"), &TXT("挂单价"), &TXT("市价")};
  if (o.sendPriceMode >= 1 && o.sendPriceMode <= 4) {
    std::string text = *kMode[o.sendPriceMode];
    // For trailing and break-even stops the ticks are the distance, not an offset of the price.
    if (o.ticks != 0 && o.sendPriceMode != 4 && o.conditionKind != 4 && o.conditionKind != 5)
      text += Format(TXT("%+d跳"), o.ticks);
    return text;
  }
  return o.priceType == kMarketPrice ? TXT("市价") : PriceText(o.price, decimals);
}

CellRow ConditionOrderCells(const OrderRecord& o, const ContractInfo& info) {
  CellRow row;
  row.reserve(10);
  row.push_back(Code(o.contract));
  row.push_back(DirectionCell(o.direction));
  row.push_back(Plain(OffsetText(o.offset)));
  row.push_back(Int(o.quantity));
  row.push_back(Plain(ConditionPriceText(o, info.decimals)));
  row.push_back(Plain(OrderStateText(o.state)));
  row.push_back(Plain(TriggerText(o, info.decimals)));
  row.push_back(Plain(o.longTerm ? TXT("长期") : TXT("当日")));
  row.push_back(Plain(TimeText(o.insertTime)));
  row.push_back(Plain(std::string(Field(o.positionNumber))));
  return row;
}

CellRow FillCells(const FillRecord& f, const ContractInfo& info) {
  CellRow row;
  row.reserve(8);
  row.push_back(Code(f.contract));
  row.push_back(DirectionCell(f.direction));
  row.push_back(Plain(OffsetText(f.offset)));
  row.push_back(Int(f.quantity));
  row.push_back(Plain(PriceText(f.price, info.decimals)));
  row.push_back(GridCell{MoneyText2(f.closeProfit), ProfitColor(f.closeProfit)});
  row.push_back(Plain(MoneyText2(f.fee)));
  row.push_back(Plain(TimeText(f.time)));
  return row;
}

std::vector<FillGroup> GroupFills(const std::vector<FillRecord>& fills) {
  std::vector<FillGroup> groups;
  std::unordered_map<std::string, std::size_t> index;
  for (std::size_t i = 0; i < fills.size(); ++i) {
    const FillRecord& f = fills[i];
    const int offset = f.offset == kCloseToday ? 2 : f.offset;
    std::string key = Format("%s_%d_%d", std::string(f.contract.Code()), f.direction, offset);
    auto [it, added] = index.try_emplace(key, groups.size());
    if (added) {
      FillGroup g;
      g.key = std::move(key);
      g.first = f;
      g.first.offset = offset;
      groups.push_back(std::move(g));
    }
    FillGroup& g = groups[it->second];
    const int64_t total = g.quantity + f.quantity;
    if (total > 0) g.price = (static_cast<double>(f.quantity) * f.price + static_cast<double>(g.quantity) * g.price) / total;
    g.quantity = total;
    g.closeProfit += f.closeProfit;
    g.fee += f.fee;
    g.lastTime = std::max(g.lastTime, f.time);
    g.fills.push_back(static_cast<int>(i));
  }
  return groups;
}

CellRow FillGroupCells(const FillGroup& g, const ContractInfo& info) {
  CellRow row;
  row.reserve(8);
  row.push_back(Code(g.first.contract));
  row.push_back(DirectionCell(g.first.direction));
  row.push_back(Plain(OffsetText(g.first.offset)));
  row.push_back(Int(g.quantity));
  row.push_back(Plain(PriceText(g.price, info.decimals)));
  row.push_back(GridCell{MoneyText2(g.closeProfit), ProfitColor(g.closeProfit)});
  row.push_back(Plain(MoneyText2(g.fee)));
  row.push_back(Plain(TimeText(g.lastTime)));
  return row;
}

CellRow OcoCells(const OcoOrder& o, const ContractInfo& info) {
  CellRow row;
  row.reserve(10);
  row.push_back(Code(o.contract));
  row.push_back(Plain(PriceText(o.price1, info.decimals)));
  row.push_back(Plain(PriceText(o.price2, info.decimals)));
  row.push_back(DirectionCell(o.directionA));
  row.push_back(DirectionCell(o.directionB));
  row.push_back(Plain(OffsetText(o.offsetA)));
  row.push_back(Plain(OffsetText(o.offsetB)));
  row.push_back(Int(o.quantity));
  row.push_back(Plain(TimeText(o.createdAt)));
  row.push_back(Plain(OcoStateText(o.state)));
  return row;
}

CellRow AutoStopCells(const AutoCoverStop& s, const ContractInfo& info) {
  auto level = [&](double v) { return Plain(v > 1e-5 ? PriceText(v, info.decimals) : std::string()); };
  CellRow row;
  row.reserve(8);
  row.push_back(Code(s.order.contract));
  row.push_back(Side(s.IsLong()));
  row.push_back(Int(s.order.filledQuantity));
  row.push_back(Plain(PriceText(s.openPrice, info.decimals + 1)));
  row.push_back(level(s.stopLossPrice));
  row.push_back(level(s.takeProfitPrice));
  row.push_back(level(s.trailingStopPrice));
  if (s.breakEvenTicks >= 1)
    row.push_back(Plain(s.breakEvenArmed ? PriceText(s.openPrice, info.decimals) : TXT("未生效")));
  else
    row.push_back(GridCell{});
  return row;
}

}  // namespace tarn
