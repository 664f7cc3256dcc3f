// What the condition order dialog (CDlgConditionOrder) and the position stop dialogs
// (CDlgAddWinLose, CDlgWinStop) show and check, without windows, and the requests they build.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/quote_records.h"
#include "data/trade_records.h"
#include "platform/color.h"

namespace tarn {

// ---- the condition order dialog --------------------------------------------------------------

struct ConditionInput {
  std::string contractText;   // the edit box
  DC_Contract chosen{};       // the contract chosen from the search list
  int basis = 0;              // "最新价", "买价", "卖价"
  int condition = 0;          // ">=", "<="
  std::string triggerPrice;
  bool buy = true;
  bool open = true;
  std::string quantity;
  bool explicitPrice = false; // the explicit send price's check box
  std::string price;
  int priceBasis = 3;         // "最新价", "对手价", "挂单价", "市价"
  std::string tickOffset = "0";
  int validity = 0;           // "长期有效", "当日有效"
};

// The dialog as it opens: the contract, buy when side is 1, open when offset is 1, the quantity
// ("%d" when above 0) and the trigger price ("%.*f" when above 1e-5).
ConditionInput ConditionInputFor(const DC_Contract& contract, int side, int offset, int quantity, double price,
                                 int decimals);
// OK's checks in order (after the search list is hidden); the first failure's message, or
// nothing with `out` filled.
std::optional<std::string> CheckConditionInput(const ConditionInput& in, ConditionOrderRequest* out);

// The live display: texts and colours against the day's open; nothing while the last price is
// not above 1e-4 in absolute value.
struct ConditionQuoteTexts {
  std::string last, ask, bid;
  tarn::Colorref lastColor = 0, askColor = 0, bidColor = 0;
};
std::optional<ConditionQuoteTexts> ConditionQuoteTextsFor(const DC_QuoteData& q, int decimals);

// ---- the position stop dialog ----------------------------------------------------------------

enum StopTab { kStopLoss = 0, kTakeProfit = 1, kTrailingStop = 2, kBreakEven = 3 };

// What the dialog was opened with.
struct StopContext {
  PositionRecord position{};
  double latest = 0;
  int decimals = 2;
  double tick = 1;
  double multiplier = 1;
  bool modify = false;
  OrderRecord old{};  // the stop order replaced (modify mode)
};

struct StopInput {
  int tab = kStopLoss;
  std::string triggerPrice, quantity;
  std::string distance = "1";
  int validity = 0;            // "当日有效", "长期有效"
  bool sendPriceOn = true;     // the send-price check box
  int sendPriceBasis = 3;      // "最新价", "对盘价", "挂单价", "市价"
  std::string tickOffset = "0";
  std::string sendPrice;
};

bool StopIsLong(const StopContext& c);
// The dialog as it opens. Adding: the position's quantity and the latest price. Modifying: the
// old stop order's tab, trigger (or initial) price, quantity, distance, validity and send price
// (an explicit price unticks the basis box; a basis keeps its tick offset), so that pressing
// "修改" without touching anything puts the same stop back.
StopInput StopInputFor(const StopContext& c);
// "持仓:%s  方向:%s  数量:%d  最新价:%.*f"
std::string StopHeader(const StopContext& c);
const std::string& StopTitle(const StopContext& c);
const std::string& StopSendText(const StopContext& c);
// "止损价:", "止盈价:", "保本价:" (the trailing stop's price is its initial stop: "止损价:").
const std::string& StopPriceLabel(int tab);
// "数量:  %d    预计盈亏:  %.2f" for the entered quantity and price.
std::string StopProfitLine(const StopContext& c, const StopInput& in);
// A spin of the trigger price: one tick up or down, truncated to a whole multiple of the tick.
std::string SpinStopPrice(const std::string& text, bool up, double tick, int decimals);
// A spin of the distance: by 1, never below 1.
std::string SpinStopDistance(const std::string& text, bool up);
// Send's checks in order; the first failure's message, or nothing with `out` filled.
std::optional<std::string> CheckStopInput(const StopContext& c, const StopInput& in, ConditionOrderRequest* out);
// The kind's name for the position's side: long 1 "止损单", 0 "止盈单"; short 0 "止损单",
// 1 "止盈单"; 4 "浮动止损"; 5 "保本单".
const std::string& StopKindText(int kind, bool longPosition);

// ---- the list of a position's stop orders ----------------------------------------------------

// The position's stop orders among `orders`: its contract, offset 2 or 3, hidden flag 1, state
// 11, the direction that closes it, and the position number when one is given.
std::vector<OrderRecord> StopOrdersOf(const std::vector<OrderRecord>& orders, const PositionRecord& position,
                                      std::string_view positionNumber);
struct StopRow {
  std::string number, kind, trigger, created, validity, position, state;
};
StopRow StopRowFor(const OrderRecord& o, int index, bool longPosition, int decimals);
// "持仓:%s  方向:%s  数量:%d  最新价:%.*f   浮盈:%.2f", then " 持仓号:%s" when one is given.
std::string StopListHeader(const StopContext& c, double floatProfit, std::string_view positionNumber);

}  // namespace tarn
