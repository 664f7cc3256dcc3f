#include "engines/close_orders.h"

#include "data/trade_enums.h"

namespace tarn {

void SendClosingOrder(ITradeApi& api, const OrderRecord& order, const QuoteStamp* stamp, CloseBurstLedger& ledger) {
  if (order.offset != kClose || order.quantity <= 0 || !api.NeedsCloseToday(order.contract)) {
    api.InsertOrder(order);
    return;
  }
  std::vector<PositionRecord> positions;
  api.GetPositions(positions);
  const bool closesLong = order.direction != kBuy;  // a buy closes the short side, a sell the long
  // An order that names no account goes to the current one.
  const std::string named(Field(order.accountText2));
  const std::string account = named.empty() ? api.CurrentAccount() : named;
  int64_t total = 0, today = 0;
  for (const PositionRecord& p : positions) {
    if (!p.contract.SameKey(order.contract)) continue;
    // Positions of another account than the order's are not its lots.
    if (!account.empty() && p.account[0] != '\0' && Field(p.account) != account) continue;
    total += closesLong ? p.longQuantity : p.shortQuantity;
    today += closesLong ? p.todayLong : p.todayShort;
  }
  const std::vector<ClosePart> parts =
      stamp ? ledger.Plan(*stamp, account, order.contract.Key(), closesLong, order.quantity, total, today)
            : SplitClose(order.quantity, total, today);
  for (const ClosePart& part : parts) {
    OrderRecord o = order;
    o.offset = part.offset;
    o.quantity = part.quantity;
    api.InsertOrder(o);
  }
}

}  // namespace tarn
