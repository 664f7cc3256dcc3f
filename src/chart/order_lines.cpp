#include "chart/order_lines.h"

#include <cmath>

#include "data/trade_enums.h"
#include "platform/text.h"
#include "tools/setting_cfg.h"

namespace tarn {

OrderLineSwitches OrderLineSwitchesFromSettings() {
  const CSettingCfg& s = GetSettingCfg();
  return {s.needHoldOrderLine != 0, s.needChiCangLine != 0, s.needTiaoJianDanLine != 0};
}

namespace {

const std::string& LineOffsetText(int offset) {
  if (offset == 1) return TXT("开");
  if (offset == 3) return TXT("平今");
  if (offset == 2) return TXT("平");
  static const std::string kNone;
  return kNone;
}

bool IsCondition(const OrderRecord& o) { return o.state == 11 || o.hidden == 1; }

}  // namespace

std::vector<ChartOrderLine> BuildOrderLines(std::string_view contractKey, const std::vector<OrderRecord>& orders,
                                            const std::vector<PositionRecord>& positions,
                                            const OrderLineSwitches& switches, int decimals) {
  std::vector<ChartOrderLine> out;
  if (contractKey.empty()) return out;
  for (const OrderRecord& o : orders) {
    if (o.contract.Key() != contractKey || !IsWorkingState(o.state)) continue;
    const bool condition = IsCondition(o);
    if (condition ? !switches.conditions : !switches.orders) continue;
    ChartOrderLine l;
    l.isOrder = true;
    l.order = o;
    l.line.id = std::string(o.Key());
    l.line.kind = condition ? candlechart::OrderLineKind::Condition : candlechart::OrderLineKind::Order;
    l.line.direction = o.direction == 2 ? 2 : 1;
    l.line.price = condition ? o.triggerPrice : o.price;
    if (!(l.line.price > 1e-5)) continue;  // a market order has no price to draw
    const std::string& side = o.direction == 2 ? TXT("卖") : TXT("买");
    const int left = std::max(0, o.quantity - o.filledQuantity);
    l.line.label = condition ? Format(TXT("条件 %s%s %d手 触发%.*f"), side, LineOffsetText(o.offset), left, decimals,
                                      o.triggerPrice)
                             : Format(TXT("%s%s %d手 %.*f"), side, LineOffsetText(o.offset), left, decimals, o.price);
    out.push_back(std::move(l));
  }
  if (switches.positions) {
    for (const PositionRecord& p : positions) {
      if (p.contract.Key() != contractKey) continue;
      const auto add = [&](int quantity, double average, int direction) {
        if (quantity < 1 || !(average > 1e-5)) return;
        ChartOrderLine l;
        l.line.id = std::string(p.PositionNumber()) + (direction == 1 ? "L" : "S");
        l.line.kind = candlechart::OrderLineKind::Position;
        l.line.direction = direction;
        l.line.price = average;
        l.line.label = Format(TXT("%s %d手 %.*f"), direction == 1 ? TXT("多") : TXT("空"), quantity, decimals, average);
        out.push_back(std::move(l));
      };
      add(p.longQuantity, p.longAverage, 1);
      add(p.shortQuantity, p.shortAverage, 2);
    }
  }
  return out;
}

OrderLineDrop DropOrderLine(const ChartOrderLine& line, double price, double tick) {
  OrderLineDrop d;
  if (!line.isOrder) return d;  // a position's line only shows where it stands
  if (IsCondition(line.order) && (line.order.conditionKind == 4 || line.order.conditionKind == 5)) {
    d.action = OrderLineDrop::kRefuse;
    d.message = TXT("保本单和浮动止损单不支持拖动");
    return d;
  }
  if (tick > 0) price = std::round(price / tick) * tick;
  if (!(price > 1e-5)) return d;
  const double current = IsCondition(line.order) ? line.order.triggerPrice : line.order.price;
  if (std::fabs(price - current) < (tick > 0 ? tick / 2 : 1e-9)) return d;
  d.action = OrderLineDrop::kModify;
  d.order = line.order;
  d.price = price;
  d.quantity = line.order.quantity;
  return d;
}

std::optional<double> PriceAtClick(const candlechart::ChartEngine& engine, int x, int y, double tick) {
  const auto& boxes = engine.PaneBoxes();
  if (boxes.empty() || x < engine.PlotLeft() || x >= engine.PlotRight()) return std::nullopt;
  const candlechart::ChartEngine::PaneBox& main = boxes.front();
  if (y < main.top || y > main.bottom || main.bottom <= main.top) return std::nullopt;
  double price = engine.ValueAt(0, y);
  if (tick > 0) price = std::round(price / tick) * tick;
  if (!std::isfinite(price) || !(price > 1e-5)) return std::nullopt;
  return price;
}

}  // namespace tarn
