// CloseBurstLedger: the lots that closes sent for one quote have already claimed.
//
// When several local stops or OCO legs of one contract fire on the same quote, their closing
// orders go out one after the other, before the trading library's positions show any of them.
// Planned each against the same positions, the second close would claim the older lots the
// first one already took, and the exchange would refuse that part. The ledger remembers, per
// contract, account and side, the position seen at the burst's first close and the older and
// today's lots claimed since; a later close of the same burst plans against what is left (and
// against the library's position where that already shows the earlier closes). A quote with
// another stamp starts a new burst for its contract.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/quote_records.h"
#include "data/trade_enums.h"
#include "engines/engine_support.h"
#include "platform/sync.h"

namespace tarn {

// What tells one quote of a contract from the next.
struct QuoteStamp {
  int32_t tradingDay = 0;
  int32_t sequence = 0;
  int64_t updateTime = 0;
  int32_t updateMs = 0;
  int32_t volume = 0;
  float last = 0;
  bool operator==(const QuoteStamp&) const = default;
};
QuoteStamp StampOf(const DC_Quote& quote);

struct ClosePart {
  int32_t offset;
  int32_t quantity;
  bool operator==(const ClosePart&) const = default;
};

// The parts of closing `quantity` lots of one side, of which `sideTotal` are held and
// `sideToday` of those were opened today (never counted above the total): the older lots, then
// today's (close-today), then any excess. The older lots and the excess carry `offset` (close, or
// close-today when the trader asked for it).
std::vector<ClosePart> SplitClose(int32_t quantity, int64_t sideTotal, int64_t sideToday,
                                   int32_t offset = kClose);

class CloseBurstLedger {
 public:
  // Plans a close of `quantity` lots of one side of `account`'s position of `contractKey`
  // (`closesLong`: the long side), held `sideTotal` lots of which `sideToday` are today's
  // according to the library, and claims the lots it plans.
  std::vector<ClosePart> Plan(const QuoteStamp& stamp, std::string_view account, std::string_view contractKey,
                              bool closesLong, int32_t quantity, int64_t sideTotal, int64_t sideToday);

  // Contracts with a burst on record (one each at most).
  std::size_t Contracts() const;

  static CloseBurstLedger& Instance() { return EngineInstance<CloseBurstLedger>::Get(); }

 private:
  struct Side {
    std::string account;
    bool closesLong = false;
    int64_t baseOlder = 0, baseToday = 0;    // held at the burst's first close
    int64_t takenOlder = 0, takenToday = 0;  // claimed by the burst's closes since
  };
  struct Burst {
    QuoteStamp stamp;
    std::vector<Side> sides;
  };
  mutable CriticalSection mutex_;
  KeyMap<Burst> bursts_;
};

}  // namespace tarn
