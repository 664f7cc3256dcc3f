#include "data/trade_enums.h"

#include "platform/text.h"

namespace tarn {
namespace {
const std::string& Empty() {
  static const std::string e;
  return e;
}
}  // namespace

const std::string& DirectionText(int direction) {
  switch (direction) {
    case 1: return TXT("买入");
    case 2: return TXT("卖出");
    default: return Empty();
  }
}

const std::string& SideText(int side) {
  switch (side) {
    case 1: return TXT("多头");
    case 2: return TXT("空头");
    default: return Empty();
  }
}

const std::string& OffsetText(int offset) {
  switch (offset) {
    case 0: return TXT("--");
    case 1: return TXT("开仓");
    case 2: return TXT("平仓");
    case 3: return TXT("平今");
    default: return Empty();
  }
}

const std::string& OrderStateText(int state) {
  switch (state) {
    case 0: return TXT("已提交");
    case 1: return TXT("已受理");
    case 2: return TXT("已排队");
    case 3: return TXT("部分成交");
    case 4: return TXT("完全成交");
    case 5: return TXT("待撤消");
    case 6: return TXT("待修改");
    case 7: return TXT("已撤");
    case 8: return TXT("已撤余单");
    case 9: return TXT("已挂起");
    case 10: return TXT("指令失败");
    case 11: return TXT("未触发");
    case 12: return TXT("已触发");
    case 13: return TXT("已撤单");
    case 14: return TXT("无效单");
    default: return Empty();
  }
}

Colorref DirectionColor(int direction) {
  if (direction == kBuy) return kBuyColor;
  if (direction == kSell) return kSellColor;
  return 0;
}

}  // namespace tarn
