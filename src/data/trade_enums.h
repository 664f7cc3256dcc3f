// Direction, side, offset and order state: their codes, texts and colours, in one place.
#pragma once

#include <string>

#include "platform/color.h"

namespace tarn {

enum Direction : int { kDirNone = 0, kBuy = 1, kSell = 2 };
enum Offset : int { kOffsetNone = 0, kOpen = 1, kClose = 2, kCloseToday = 3 };
enum PriceType : int { kLimitPrice = 0, kMarketPrice = 1 };

enum OrderState : int {
  kStateSubmitted = 0,      // "已提交"
  kStateAccepted = 1,       // "已受理"
  kStateQueued = 2,         // "已排队"
  kStatePartFilled = 3,     // "部分成交"
  kStateFilled = 4,         // "完全成交"
  kStatePendingCancel = 5,  // "待撤消"
  kStatePendingModify = 6,  // "待修改"
  kStateCancelled = 7,      // "已撤"
  kStatePartCancelled = 8,  // "已撤余单"
  kStateSuspended = 9,      // "已挂起"
  kStateFailed = 10,        // "指令失败"
  kStateNotTriggered = 11,  // "未触发"
  kStateTriggered = 12,     // "已触发"
  kStateWithdrawn = 13,     // "已撤单"
  kStateInvalid = 14,       // "无效单"
};

// Texts (GBK). Codes outside the table give "".
const std::string& DirectionText(int direction);   // "买入" / "卖出"
const std::string& SideText(int side);             // "多头" / "空头"
const std::string& OffsetText(int offset);         // "--" / "开仓" / "平仓" / "平今"
const std::string& OrderStateText(int state);

// Only working orders (0-3 and 11) may be cancelled or dragged.
constexpr bool IsWorkingState(int state) { return (state >= 0 && state <= 3) || state == 11; }

// Buy / long red, sell / short green.
constexpr Colorref kBuyColor = Rgb(250, 50, 50);
constexpr Colorref kSellColor = Rgb(0, 180, 0);
// Colour of a direction or side code; other codes give the neutral text colour 0.
Colorref DirectionColor(int direction);

}  // namespace tarn
