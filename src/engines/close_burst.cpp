#include "engines/close_burst.h"

#include <algorithm>

#include "data/trade_enums.h"

namespace tarn {

QuoteStamp StampOf(const DC_Quote& quote) {
  const DC_QuoteData& d = quote.data;
  return QuoteStamp{d.tradingDay, d.sequence, d.updateTime, d.updateMs, d.volume, d.last};
}

std::vector<ClosePart> SplitClose(int32_t quantity, int64_t sideTotal, int64_t sideToday, int32_t offset) {
  std::vector<ClosePart> parts;
  if (quantity <= 0) return parts;
  const int64_t total = std::max<int64_t>(0, sideTotal);
  const int64_t today = std::clamp<int64_t>(sideToday, 0, total);
  const int64_t olderPart = std::min<int64_t>(quantity, total - today);
  const int64_t todayPart = std::min<int64_t>(quantity - olderPart, today);
  const int64_t excess = quantity - olderPart - todayPart;
  if (olderPart > 0) parts.push_back({offset, static_cast<int32_t>(olderPart)});
  if (todayPart > 0) parts.push_back({kCloseToday, static_cast<int32_t>(todayPart)});
  if (excess > 0) parts.push_back({offset, static_cast<int32_t>(excess)});
  return parts;
}

std::vector<ClosePart> CloseBurstLedger::Plan(const QuoteStamp& stamp, std::string_view account,
                                              std::string_view contractKey, bool closesLong, int32_t quantity,
                                              int64_t sideTotal, int64_t sideToday) {
  const int64_t today = std::clamp<int64_t>(sideToday, 0, std::max<int64_t>(0, sideTotal));
  const int64_t older = std::max<int64_t>(0, sideTotal - today);
  Lock lock(mutex_);
  auto it = bursts_.find(contractKey);
  if (it == bursts_.end()) it = bursts_.emplace(std::string(contractKey), Burst{}).first;
  Burst& burst = it->second;
  if (!(burst.stamp == stamp)) {
    burst.stamp = stamp;
    burst.sides.clear();
  }
  auto side = std::find_if(burst.sides.begin(), burst.sides.end(),
                           [&](const Side& s) { return s.closesLong == closesLong && s.account == account; });
  if (side == burst.sides.end()) {
    burst.sides.push_back(Side{std::string(account), closesLong, older, today, 0, 0});
    side = std::prev(burst.sides.end());
  }
  // What the burst left of the first position, unless the library already shows less (it
  // may have booked some of the burst's closes by now).
  const int64_t leftOlder = std::max<int64_t>(0, std::min(older, side->baseOlder - side->takenOlder));
  const int64_t leftToday = std::max<int64_t>(0, std::min(today, side->baseToday - side->takenToday));
  std::vector<ClosePart> parts = SplitClose(quantity, leftOlder + leftToday, leftToday);
  // Only lots that were there are claimed: an excess goes out as a plain close and claims none.
  int64_t wantOlder = leftOlder;
  for (const ClosePart& p : parts) {
    if (p.offset == kCloseToday) {
      side->takenToday += p.quantity;
    } else if (wantOlder > 0) {
      const int64_t n = std::min<int64_t>(wantOlder, p.quantity);
      side->takenOlder += n;
      wantOlder -= n;
    }
  }
  return parts;
}

std::size_t CloseBurstLedger::Contracts() const {
  Lock lock(mutex_);
  return bursts_.size();
}

}  // namespace tarn
