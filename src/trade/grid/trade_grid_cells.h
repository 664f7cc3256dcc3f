// The texts and colours of the trade grid's cells, one function per tab's row. Each returns the
// cells after "序号" (the row number is the grid's own), in the tab's column order.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/trade_records.h"
#include "engines/auto_cover.h"
#include "engines/oco_order.h"
#include "platform/color.h"

namespace tarn {

// Colour 0 is the grid's ordinary text colour.
struct GridCell {
  std::string text;
  Colorref color = 0;
  bool operator==(const GridCell&) const = default;
};
using CellRow = std::vector<GridCell>;

// What the rows need of a contract's commodity.
struct ContractInfo {
  int decimals = 2;
  double multiplier = 1;
  double tick = 1;
};
// From the quote library (decimals 2, multiplier 1, tick 1 when it does not know the contract).
ContractInfo ContractInfoOf(const DC_Contract& contract);

constexpr Colorref kZeroMoneyColor = Rgb(60, 65, 70);
constexpr Colorref kProfitColor = Rgb(250, 50, 50);
constexpr Colorref kLossColor = Rgb(0, 180, 0);

// Trailing zeros of a decimal text and a trailing point removed ("12.50" -> "12.5", "3.00" -> "3").
std::string TrimDecimalZeros(std::string text);
// Whole units ("%.0f"), "-0" shown as "0".
std::string WholeMoneyText(double value);
// "%.2f", "-0.00" shown as "0.00".
std::string MoneyText2(double value);
// Below 0.01 in absolute value the zero colour, above 0 the profit colour, else the loss colour.
Colorref ProfitColor(double value);
// A money cell: WholeMoneyText coloured by ProfitColor (a near-zero value shows "0").
GridCell MoneyCell(double value);
std::string PriceText(double price, int decimals);

// The stop orders protecting one side of a contract among `orders` (condition orders in state
// 11 with offset 2 or 3, the closing direction, and `positionNumber` when it is not empty), as
// the "止盈止损" fragments joined by two spaces, trailing spaces removed.
std::string StopOrderText(const std::vector<OrderRecord>& orders, const DC_Contract& contract, bool longSide,
                          std::string_view positionNumber, int decimals);

CellRow PositionCells(const PositionRecord& p, const ContractInfo& info, const std::string& stops,
                      const std::string& remark);
CellRow DetailCells(const PositionDetail& d, const ContractInfo& info, const std::string& stops,
                    const std::string& remark);
CellRow OrderCells(const OrderRecord& o, const ContractInfo& info);
CellRow WorkingOrderCells(const OrderRecord& o, const ContractInfo& info);
CellRow ConditionOrderCells(const OrderRecord& o, const ContractInfo& info);
// The trigger of a condition order ("最新价>=3520.0", ...) and its send price ("市价", "对盘价+2跳",
// or a fixed price).
std::string TriggerText(const OrderRecord& o, int decimals);
std::string ConditionPriceText(const OrderRecord& o, int decimals);
CellRow FillCells(const FillRecord& f, const ContractInfo& info);

// One row of the fills' summary: the fills of one contract, direction and offset (close today
// counted as close).
struct FillGroup {
  std::string key;      // "%s_%d_%d": contract code, direction, offset
  FillRecord first{};   // the group's first fill (contract, direction; offset 3 shown as 2)
  int64_t quantity = 0;
  double price = 0;     // volume-weighted average
  double closeProfit = 0;
  double fee = 0;
  int64_t lastTime = 0;
  std::vector<int> fills;  // indices of its fills
};
std::vector<FillGroup> GroupFills(const std::vector<FillRecord>& fills);
CellRow FillGroupCells(const FillGroup& g, const ContractInfo& info);

CellRow OcoCells(const OcoOrder& o, const ContractInfo& info);
CellRow AutoStopCells(const AutoCoverStop& s, const ContractInfo& info);

}  // namespace tarn
