#include "engines/close_orders.h"

#include <algorithm>

namespace tarn {

std::vector<ClosePart> SplitClose(int32_t quantity, int64_t sideTotal, int64_t sideToday) {
  std::vector<ClosePart> parts;
  const int64_t older = std::max<int64_t>(0, sideTotal - sideToday);
  const int64_t olderPart = std::min<int64_t>(quantity, older);
  const int64_t todayPart = std::min<int64_t>(quantity - olderPart, std::max<int64_t>(0, sideToday));
  const int64_t excess = quantity - olderPart - todayPart;
  if (olderPart > 0) parts.push_back({2, static_cast<int32_t>(olderPart)});
  if (todayPart > 0) parts.push_back({3, static_cast<int32_t>(todayPart)});
  if (excess > 0) parts.push_back({2, static_cast<int32_t>(excess)});
  return parts;
}

void SendClosingOrder(ITradeApi& api, const OrderRecord& order) {
  if (order.offset != 2 || order.quantity <= 0 || !api.NeedsCloseToday(order.contract)) {
    api.InsertOrder(order);
    return;
  }
  std::vector<PositionRecord> positions;
  api.GetPositions(positions);
  int64_t total = 0, today = 0;
  for (const PositionRecord& p : positions) {
    if (!p.contract.SameKey(order.contract)) continue;
    // A buy closes the short side, a sell the long side.
    total += order.direction == 1 ? p.shortQuantity : p.longQuantity;
    today += order.direction == 1 ? p.todayShort : p.todayLong;
  }
  for (const ClosePart& part : SplitClose(order.quantity, total, today)) {
    OrderRecord o = order;
    o.offset = part.offset;
    o.quantity = part.quantity;
    api.InsertOrder(o);
  }
}

}  // namespace tarn
