// The user's trading on a chart: the working orders, positions and condition orders of the
// chart's contract as horizontal lines (each kind switched by "NeedHoldOrderLine",
// "NeedChiCangLine" and "NeedTiaoJianDanLine"), and what dragging a line to a new price does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/trade_records.h"
#include "libs/candlechart/chart_engine.h"
#include "libs/candlechart/chart_types.h"

namespace tarn {

struct OrderLineSwitches {
  bool orders = true;      // "NeedHoldOrderLine"
  bool positions = true;   // "NeedChiCangLine"
  bool conditions = true;  // "NeedTiaoJianDanLine"
};
OrderLineSwitches OrderLineSwitchesFromSettings();

// One line with what it came from.
struct ChartOrderLine {
  candlechart::OrderLine line;
  OrderRecord order{};   // orders and condition orders
  bool isOrder = false;  // false: a position
};

// The lines of `contractKey`: working orders (states 0-3 not kept by the library) at their
// price, condition orders (state 11 or kept by the library) at their trigger, positions at
// their holding price, one line per side.
std::vector<ChartOrderLine> BuildOrderLines(std::string_view contractKey, const std::vector<OrderRecord>& orders,
                                            const std::vector<PositionRecord>& positions,
                                            const OrderLineSwitches& switches, int decimals);

// What dropping a line at a new price asks for.
struct OrderLineDrop {
  enum Action { kNothing, kRefuse, kModify };
  Action action = kNothing;
  std::string message;     // kRefuse: the text shown
  OrderRecord order{};     // kModify: the order to modify
  double price = 0;        // kModify: the new price (on the tick)
  int quantity = 0;
};
// `tick` is the contract's price step (0: prices are taken as they are).
OrderLineDrop DropOrderLine(const ChartOrderLine& line, double price, double tick);

// The price a click at (x, y) points at, for an order placed on the chart: only inside the
// main pane's plot (left of the price axis, between the pane's top and bottom), snapped to the
// tick (0: as it is); nothing elsewhere or at a price not above 1e-5.
std::optional<double> PriceAtClick(const candlechart::ChartEngine& engine, int x, int y, double tick);

}  // namespace tarn
