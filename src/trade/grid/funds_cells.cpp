#include "trade/grid/funds_cells.h"

#include <algorithm>
#include <cmath>

#include "platform/profile.h"
#include "platform/text.h"

namespace tarn {

namespace {
constexpr const char* kUserSetting = "\\user\\setting.ini";

FundsCellValue Plain(double v) { return FundsCellValue{Format("%.2f", v), kFundsNeutralColor}; }
FundsCellValue Signed(double v) { return FundsCellValue{Format("%.2f", v), FundsSignColor(v)}; }
}  // namespace

const std::string& FundsCellLabel(int index) {
  switch (index) {
    case 0: return TXT("账户名称");
    case 1: return TXT("币种");
    case 2: return TXT("昨权益");
    case 3: return TXT("动态权益");
    case 4: return TXT("持仓盈亏");
    case 5: return TXT("保证金");
    case 6: return TXT("平仓盈亏");
    case 7: return TXT("手续费");
    case 8: return TXT("可用资金");
    case 9: return TXT("下单冻结");
    case 10: return TXT("权益变化");
    case 11: return TXT("风险度");
    case 12: return TXT("浮盈率");
    case 13: return TXT("出入金");
    case 14: return TXT("授信资金");
    default: {
      static const std::string none;
      return none;
    }
  }
}

Colorref FundsSignColor(double value) {
  if (value > 0.01) return kFundsUpColor;
  if (value < -0.01) return kFundsDownColor;
  return kFundsNeutralColor;
}

FundsCellValue FundsCellText(int index, const FundsRecord& f) {
  switch (index) {
    case 0: return FundsCellValue{Format("%s", std::string(Field(f.account))), kFundsNeutralColor};
    case 1: return FundsCellValue{std::string(Field(f.currency)), kFundsNeutralColor};
    case 2: return Plain(f.previousEquity);
    case 3: return Plain(f.dynamicEquity);
    case 4: return Signed(f.positionProfit);
    case 5: return Plain(f.margin);
    case 6: return Signed(f.closeProfit);
    case 7: return Plain(f.fee);
    case 8: return Plain(f.available);
    case 9: return Plain(f.frozen1 + f.frozen2);
    case 10: {
      const double change = f.dynamicEquity - f.previousEquity;
      const std::string text = Format("%.2f", change);
      // No change reads "0", whichever sign the subtraction left.
      if (text == "-0.00" || text == "0.00") return FundsCellValue{std::string(1, '0'), kFundsNeutralColor};
      return FundsCellValue{text, FundsSignColor(change)};
    }
    case 11:
      if (!(f.dynamicEquity > 0.01)) return FundsCellValue{"0", kFundsNeutralColor};
      return Plain(f.margin / f.dynamicEquity);
    case 12: {
      if (!(f.margin > 0)) return FundsCellValue{"0", kFundsNeutralColor};
      const double rate = f.positionProfit / f.margin * 100.0;
      return FundsCellValue{Format("%.3f", rate) + "%", FundsSignColor(rate)};
    }
    case 13: return Plain(f.netDeposit);
    case 14: return Plain(f.credit);
    default: return FundsCellValue{};
  }
}

std::vector<int> ParseFundsCellList(std::string_view text) {
  std::vector<int> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('|', start);
    if (end == std::string_view::npos) end = text.size();
    bool ok = false;
    const long long v = ParseLeadingInt(text.substr(start, end - start), &ok);
    if (ok && v >= -1000000 && v <= 1000000) out.push_back(static_cast<int>(v));
    start = end + 1;
  }
  return out;
}

std::string FormatFundsCellList(const std::vector<int>& cells) {
  std::string s;
  for (int c : cells) s += Format("%d|", c);
  if (!s.empty()) s.pop_back();
  return s;
}

std::vector<int> LoadFundsCellList() {
  const std::string stored = Profile::GetString(kUserSetting, "TradePanelDynamicWord", "DynamicWordIndex", "");
  if (stored.empty()) {
    std::vector<int> all;
    for (int i = 0; i < kFundsCellCount; ++i) all.push_back(i);
    SaveFundsCellList(all);
    return all;
  }
  std::vector<int> list = ParseFundsCellList(stored);
  if (Profile::GetInt(kUserSetting, "AddSXZJ", "Value", 0) == 0) {
    // A list stored before the credit cell existed gets it once; one that has it already is
    // not given a second.
    if (std::find(list.begin(), list.end(), kFundsCreditCell) == list.end()) list.push_back(kFundsCreditCell);
    Profile::WriteString(kUserSetting, "AddSXZJ", "Value", "1");
  }
  return list;
}

bool SaveFundsCellList(const std::vector<int>& cells) {
  return Profile::WriteString(kUserSetting, "TradePanelDynamicWord", "DynamicWordIndex", FormatFundsCellList(cells));
}

std::vector<int> ShownFundsCells(const std::vector<int>& cells) {
  std::vector<int> out;
  for (int c : cells)
    if (IsFundsCell(c)) out.push_back(c);
  return out;
}

}  // namespace tarn
