#include "engines/close_orders.h"

#include <algorithm>

namespace tarn {

std::vector<ClosePart> SplitClose(int32_t quantity, int64_t sideTotal, int64_t sideToday, int32_t offset) {
  std::vector<ClosePart> parts;
  if (quantity <= 0) return parts;
  const int64_t total = std::max<int64_t>(0, sideTotal);
  const int64_t today = std::clamp<int64_t>(sideToday, 0, total);
  const int64_t olderPart = std::min<int64_t>(quantity, total - today);
  const int64_t todayPart = std::min<int64_t>(quantity - olderPart, today);
  const int64_t excess = quantity - olderPart - todayPart;
  if (olderPart > 0) parts.push_back({offset, static_cast<int32_t>(olderPart)});
  if (todayPart > 0) parts.push_back({3, static_cast<int32_t>(todayPart)});
  if (excess > 0) parts.push_back({offset, static_cast<int32_t>(excess)});
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
