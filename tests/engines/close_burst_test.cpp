// Closes fired by one quote: each plans its split of older and today's lots against what the
// earlier closes of the burst left, across stops and OCO legs, per account and side; a new
// quote starts afresh, and a position the library already shows reduced is not counted twice.
#include <gtest/gtest.h>

#include "engine_fakes.h"
#include "engines/auto_cover.h"
#include "engines/close_burst.h"
#include "engines/close_orders.h"
#include "engines/oco_order.h"
#include "support/test_support.h"

namespace {

using namespace tarn::test;
using tarn::ClosePart;

std::vector<std::pair<int, int>> Parts(const std::vector<ClosePart>& parts) {
  std::vector<std::pair<int, int>> out;
  for (const ClosePart& p : parts) out.emplace_back(p.offset, p.quantity);
  return out;
}
std::vector<std::pair<int, int>> Sent(const std::vector<OrderRecord>& orders) {
  std::vector<std::pair<int, int>> out;
  for (const OrderRecord& o : orders) out.emplace_back(o.offset, o.quantity);
  return out;
}
using Split = std::vector<std::pair<int, int>>;

tarn::QuoteStamp Stamp(int sequence) {
  tarn::QuoteStamp s;
  s.sequence = sequence;
  s.last = 100;
  return s;
}

TEST(CloseBurstLedger, LaterClosesOfOneQuotePlanAgainstWhatTheEarlierOnesLeft) {
  tarn::CloseBurstLedger ledger;
  // Long 5: 2 older, 3 of today. The first close takes the older two and one of today's.
  EXPECT_EQ(Parts(ledger.Plan(Stamp(1), "8001", "SHFE|rb2601", true, 3, 5, 3)), (Split{{2, 2}, {3, 1}}));
  // Same quote, same position as the library still shows it: only today's two are left.
  EXPECT_EQ(Parts(ledger.Plan(Stamp(1), "8001", "SHFE|rb2601", true, 2, 5, 3)), (Split{{3, 2}}));
  // Nothing is left: the rest goes out as a plain close and the exchange decides.
  EXPECT_EQ(Parts(ledger.Plan(Stamp(1), "8001", "SHFE|rb2601", true, 1, 5, 3)), (Split{{2, 1}}));
  // The other side, another account and another contract are their own positions.
  EXPECT_EQ(Parts(ledger.Plan(Stamp(1), "8001", "SHFE|rb2601", false, 1, 1, 0)), (Split{{2, 1}}));
  EXPECT_EQ(Parts(ledger.Plan(Stamp(1), "8002", "SHFE|rb2601", true, 2, 2, 0)), (Split{{2, 2}}));
  EXPECT_EQ(Parts(ledger.Plan(Stamp(1), "8001", "SHFE|cu2601", true, 2, 2, 0)), (Split{{2, 2}}));
  // The next quote plans against the library's position alone.
  EXPECT_EQ(Parts(ledger.Plan(Stamp(2), "8001", "SHFE|rb2601", true, 3, 5, 3)), (Split{{2, 2}, {3, 1}}));
  EXPECT_EQ(ledger.Contracts(), 2u);
}

TEST(CloseBurstLedger, APositionTheLibraryAlreadyShowsReducedIsNotCountedTwice) {
  tarn::CloseBurstLedger ledger;
  // 2 older, 3 today; the first close takes 2 older + 1 today and the library books it before
  // the second close looks: 0 older, 2 today are shown.
  EXPECT_EQ(Parts(ledger.Plan(Stamp(7), "8001", "SHFE|rb2601", true, 3, 5, 3)), (Split{{2, 2}, {3, 1}}));
  EXPECT_EQ(Parts(ledger.Plan(Stamp(7), "8001", "SHFE|rb2601", true, 2, 2, 2)), (Split{{3, 2}}));
  // Nonsense from the library (more of today's than held, negatives) claims nothing it lacks.
  EXPECT_EQ(Parts(ledger.Plan(Stamp(8), "8001", "SHFE|rb2601", true, 2, 1, 4)), (Split{{3, 1}, {2, 1}}));
  EXPECT_EQ(Parts(ledger.Plan(Stamp(9), "8001", "SHFE|rb2601", true, 2, -3, -1)), (Split{{2, 2}}));
}

class BurstTest : public ::testing::Test {
 protected:
  BurstTest() {
    quotes.AddCommodity(10, 1, "rb", "rb", 1.0, 0);
    rb = quotes.AddContract("SHFE|rb2601", 10);
    trade.closeToday = true;
    PositionRecord p = Position(rb, 5, 0);
    p.todayLong = 3;  // two older lots, three of today
    trade.positions = {p};
  }
  DC_Quote QuoteNo(double last, int sequence) {
    DC_Quote q = QuoteAt(rb, last);
    q.data.sequence = sequence;
    return q;
  }

  ScopedHome home;
  EngineQuoteCenter quotes;
  EngineTradeApi trade;
  DC_Contract rb;
  tarn::ScopedEngine<tarn::CloseBurstLedger> bursts;
  tarn::ScopedEngine<CAutoCover> stops;
  tarn::ScopedEngine<COCOOrderMgr> ocos;
};

TEST_F(BurstTest, StopsFiringOnOneQuoteNeverClaimTheSameOlderLots) {
  AutoCoverSetting s;
  s.commodity = "rb";
  s.exchange = "SHFE";
  s.stopLossTicks = 5;
  stops->SetFileEnabled(false);
  stops->AddOrReplaceSetting(s);
  stops->SetEnabled(true);
  OrderRecord a = FilledOpen("o1", rb, 1, 2, 100);
  OrderRecord b = FilledOpen("o2", rb, 1, 3, 100);
  stops->OnOrder(&a, AccountTexts{});
  stops->OnOrder(&b, AccountTexts{});
  DC_Quote q = QuoteNo(95, 1);
  stops->OnQuote(0, &q);
  // The first stop closes the two older lots, the second today's three.
  EXPECT_EQ(Sent(trade.inserted), (Split{{2, 2}, {3, 3}}));
}

TEST_F(BurstTest, AnOcoLegAndAStopOfOneQuoteShareTheBurst) {
  trade.currentAccount = "8001";  // the OCO's legs name no account: they go to the current one
  OcoOrder pair;
  pair.contract = rb;
  pair.price1 = 120;
  pair.price2 = 96;
  pair.quantity = 4;
  pair.directionB = 2;
  pair.offsetB = 2;
  ocos->Add(pair);
  DC_Quote q = QuoteNo(95, 1);
  ocos->OnQuote(0, &q);
  ASSERT_EQ(Sent(trade.inserted), (Split{{2, 2}, {3, 2}}));
  // Another close of the same quote (a second engine, the library not yet updated) finds only
  // one of today's lots left.
  OrderRecord close = FilledOpen("c", rb, 2, 2, 0);  // names account 8001, the current one
  close.offset = 2;
  trade.inserted.clear();
  const tarn::QuoteStamp stamp = tarn::StampOf(q);
  tarn::SendClosingOrder(trade, close, &stamp);
  EXPECT_EQ(Sent(trade.inserted), (Split{{3, 1}, {2, 1}}));
}

}  // namespace
