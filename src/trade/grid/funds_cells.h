// The funds window's cells: the catalogue of fifteen labelled figures of the current account's
// funds record, their texts and colours, and the user's choice of cells kept in
// "\user\setting.ini" ([TradePanelDynamicWord] DynamicWordIndex, [AddSXZJ] Value).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/trade_records.h"
#include "platform/color.h"

namespace tarn {

constexpr int kFundsCellCount = 15;
constexpr int kFundsAccountCell = 0;
constexpr int kFundsCreditCell = 14;
constexpr bool IsFundsCell(int index) { return index >= 0 && index < kFundsCellCount; }

constexpr Colorref kFundsUpColor = Rgb(253, 85, 85);
constexpr Colorref kFundsNeutralColor = Rgb(225, 225, 225);
constexpr Colorref kFundsDownColor = Rgb(0, 190, 0);

// "账户名称", "币种", ... "授信资金"; "" outside the catalogue.
const std::string& FundsCellLabel(int index);

struct FundsCellValue {
  std::string text;
  Colorref color = kFundsNeutralColor;
};
// Above 0.01 the up colour, below -0.01 the down colour, else neutral.
Colorref FundsSignColor(double value);
// The value of a cell for a funds record.
FundsCellValue FundsCellText(int index, const FundsRecord& funds);

// "%d" items joined by "|"; items without a digit are dropped.
std::vector<int> ParseFundsCellList(std::string_view text);
std::string FormatFundsCellList(const std::vector<int>& cells);
// The start rules: an empty choice becomes (and is stored as) every cell in order; a stored
// choice gets the credit cell once, marked by "AddSXZJ" = 1.
std::vector<int> LoadFundsCellList();
bool SaveFundsCellList(const std::vector<int>& cells);
// The cells of a list that are in the catalogue, in list order.
std::vector<int> ShownFundsCells(const std::vector<int>& cells);

// The pop-up list of accounts: item identifiers 1000 + index.
constexpr int kAccountItemBase = 1000;

}  // namespace tarn
