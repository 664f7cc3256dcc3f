// What the strategy windows show and check, without windows: the definition dialog
// (CDlgAddCmbOrder), the strategy list (CDlgCeLue) with its file, the order panel
// (CDlgCombSendOrder) and its grid batch (CDlgSendGridOrder), the strategy quote grid's values
// (CWndCombQuote) and the strategy order grid's rows (CWndCombolGrid).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "data/strategy_records.h"
#include "data/trade_records.h"

namespace tarn {

// ---- the definition dialog -------------------------------------------------------------------

struct StrategyLegInput {
  DC_Contract contract{};  // the chosen entry; no commodity: "不使用"
  int side = 0;            // 0 "买", 1 "卖"
  bool chase = false;      // "追单"
  std::string spread = "0";
  std::string lots = "1";
};

struct StrategyDefinitionInput {
  StrategyLegInput legs[4];
  std::string formula, name;
  std::string total = "1", perTrigger = "1";
  int decimals = 3;  // combo "0" to "5"
  int type = 0;      // 0 "类型1", 1 "类型2"
};

// A contract combo entry: "%s-%s" (code, name).
std::string LegContractText(const DC_Contract& c);
// "买" / "卖" for direction 1 / 2.
const std::string& LegSideText(int direction);
// The boxes for editing a strategy (an empty one gives the defaults).
StrategyDefinitionInput DefinitionInputFor(const CombolStrategy& strategy);
// OK's checks in order; the first failure's message, or nothing with `out` filled (orderSide
// 0, offsets 0, the formula upper-cased).
std::optional<std::string> CheckDefinition(const StrategyDefinitionInput& in, CombolStrategy* out);

// ---- the strategy list -----------------------------------------------------------------------

// The list CDlgCeLue owns, with its file. With the file disabled (a demonstration) nothing is
// read or written.
class StrategyList {
 public:
  explicit StrategyList(bool fileEnabled = true) : fileEnabled_(fileEnabled) {}
  void Load();
  const std::vector<CombolStrategy>& All() const { return list_; }
  // Appends and saves unless a strategy with the same key exists: then its message.
  std::optional<std::string> Add(const CombolStrategy& s);
  // Replaces in place and saves. Refused with its message for an index out of range
  // ("请选择一个策略") or when another strategy has the new key ("该合约组合已经存在,不能重复添加");
  // the strategy's own key may stay.
  std::optional<std::string> Replace(std::size_t index, const CombolStrategy& s);
  bool Remove(std::size_t index);
  // The last save's result (false: the file could not be replaced, the old one stays).
  bool Saved() const { return saved_; }

 private:
  void Save();
  bool fileEnabled_;
  bool saved_ = true;
  std::vector<CombolStrategy> list_;
};

// One row of the list: "策略", "公式", "合约" (each used leg "%c:%s-%s(%s%d)    ").
struct StrategyListRow {
  std::string name, formula, legs;
};
StrategyListRow StrategyListRowFor(const CombolStrategy& s);

// ---- values of the strategy quote grid -------------------------------------------------------

// A combination value "%.*f" at the strategy's decimals; blank while it is still the calculator's
// initial value (within 0.001).
std::string CombolValueText(double value, int decimals);
bool HasCombolValue(double value);

// ---- the order panel -------------------------------------------------------------------------

struct StrategySendInput {
  CombolStrategy strategy{};  // the strategy shown (its legs carry the offsets chosen)
  int tab = 0;                // 0 "正向下单", 1 "反向下单"
  int type = 0;               // 0 "类型1", 1 "类型2"
  std::string triggerPrice;
  int condition = 0;          // ">=", "<=", ">", "<"
  bool loop = false;
  std::string loopPrice;
  int loopCondition = 1;      // default "<="
  std::string total, perTrigger;
};

// The condition combo's texts in order.
const std::vector<std::string>& StrategyConditionTexts();
// The panel after a double-click in the quote grid: forward with the askValue, reverse with the
// bidValue; a value not yet computed leaves the price boxes empty. Offsets reset to automatic.
StrategySendInput SendInputFromQuote(const CombolStrategy& strategy, bool forward, double value);
// The panel's leg list: "合约" ("%c:%s-%s %s", the side swapped on the reverse tab), "追单"
// ("是"/"否"), "价差", "手数", "开平" ("自动"/"开仓"/"平仓").
struct SendLegRow {
  std::string contract, chase, spread, lots, offset;
};
std::vector<SendLegRow> SendLegRows(const StrategySendInput& in);
// A click on "开平": 自动 -> 开仓 -> 平仓 -> 自动.
int NextLegOffset(int offset);
const std::string& LegOffsetText(int offset);
// Send's checks in order; the first failure's message, or nothing with `out` filled.
std::optional<std::string> CheckStrategySend(const StrategySendInput& in, StrategyOrderRequest* out);

struct GridSendInput {
  int direction = -1;  // 0 "向上", 1 "向下", -1 none chosen
  std::string count = "1";
  std::string step;
};
// The grid dialog's checks, then Send's; `out` gets count requests at stepped prices.
std::optional<std::string> CheckGridSend(const StrategySendInput& in, const GridSendInput& grid,
                                         std::vector<StrategyOrderRequest>* out);

// ---- the strategy order grid -----------------------------------------------------------------

// "已完成", "出错", "已停止"; a running order shows "运行中" and offers "停止" under "操作".
const std::string& StrategyStateText(char state);
const std::vector<std::string>& CombolGridColumns();
// One strategy order as the grid shows it: a header row and one row per leg.
struct StrategyOrderRows {
  std::string key;
  int sequence = 0;           // the number in the key, what the grid's action passes
  std::string state;          // "状态"
  std::string name;           // "策略"
  std::string progress;       // "%d/%d"
  std::string condition;      // "%s%s%.*f"
  std::string error;          // "错误信息"
  std::string time;           // "下单时间"
  bool running = false;       // "操作" offers "停止"
  std::vector<std::string> legs;  // "%s %s-%s %d手,d:%d"
};
// The records shown (state '2' is not), in the library's order.
std::vector<StrategyOrderRows> StrategyOrderRowsFor(const std::vector<StrategyOrderRecord>& records);

// The column subsets of the strategy order grid and of the arbitrage page's orders, positions
// and fills, and their rows (prices at the contract's decimals).
const std::vector<std::string>& StrategyOrderColumns();  // 状态 策略 合约 成交量 详情 下单时间 错误信息 操作
const std::vector<std::string>& ArbitrageOrderColumns();
const std::vector<std::string>& ArbitragePositionColumns();
const std::vector<std::string>& ArbitrageFillColumns();
std::vector<std::string> ArbitrageOrderRow(const OrderRecord& o, int index, int decimals);
std::vector<std::string> ArbitragePositionRow(const PositionRecord& p, int index, int decimals);
std::vector<std::string> ArbitrageFillRow(const FillRecord& f, int index, int decimals);

}  // namespace tarn
