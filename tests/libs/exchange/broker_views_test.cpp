// What the terminal is shown of positions and funds, computed on their own: profit against the
// holding price versus the opening price, a short side's sign, a side valued without a last
// price, and the funds view summing sides with the ledger's margins and frozen money.
#include <gtest/gtest.h>

#include <vector>

#include "libs/exchange/broker/broker_views.h"
#include "platform/text.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;
using tarn::Field;

constexpr ContractId kA = 3, kB = 4;

ContractTerms TenYuanTick() {
  ContractTerms t;
  t.tickValue = 1000;  // 10 yuan a tick and lot
  t.marginPpm = 100000;
  return t;
}

// Two lots: one carried from yesterday (opened at 3000, held at the 3050 settlement), one
// opened today at 3100.
Side TwoLots() {
  Side s;
  Lot old;
  old.quantity = 2;
  old.today = false;
  old.open = 3000;
  old.hold = 3050;
  Lot fresh;
  fresh.quantity = 1;
  fresh.open = fresh.hold = 3100;
  s.lots = {old, fresh};
  s.quantity = 3;
  s.today = 1;
  s.holdValue = 3050 * 2 + 3100;
  s.openValue = 3000 * 2 + 3100;
  s.margin = 930000;
  SetField(s.number, "S00000007");
  return s;
}

TEST(BrokerViews, PositionProfitAgainstHoldingFloatAgainstOpening) {
  const ContractTerms t = TenYuanTick();
  const Side s = TwoLots();
  const PositionView lng = PositionViewOf(s, SideKey(kA, 1), 3120, t);
  EXPECT_EQ(lng.contract, kA);
  EXPECT_EQ(lng.side, 1);
  EXPECT_EQ(lng.quantity, 3);
  EXPECT_EQ(lng.today, 1);
  EXPECT_EQ(lng.last, 3120);
  EXPECT_EQ(lng.margin, 930000);
  EXPECT_EQ(Field(lng.number), "S00000007");
  // (3120-3050)*2 + (3120-3100) = 160 ticks; (3120-3000)*2 + 20 = 260 ticks.
  EXPECT_EQ(lng.positionProfit, 160000);
  EXPECT_EQ(lng.floatProfit, 260000);
  // The same lots held short lose what the long side gains.
  const PositionView sht = PositionViewOf(s, SideKey(kA, 2), 3120, t);
  EXPECT_EQ(sht.side, 2);
  EXPECT_EQ(sht.positionProfit, -160000);
  EXPECT_EQ(sht.floatProfit, -260000);

  // Each lot's view adds up to its side's.
  std::vector<LotView> lots;
  AppendLotViews(s, SideKey(kA, 2), 3120, t, lots);
  ASSERT_EQ(lots.size(), 2u);
  EXPECT_EQ(lots[0].positionProfit, -140000);
  EXPECT_EQ(lots[0].floatProfit, -240000);
  EXPECT_EQ(lots[1].positionProfit + lots[0].positionProfit, sht.positionProfit);
  EXPECT_EQ(lots[1].floatProfit + lots[0].floatProfit, sht.floatProfit);
  EXPECT_EQ(lots[1].last, 3120);
}

TEST(BrokerViews, ASideWithoutALastPriceIsValuedAtItsHoldingPrice) {
  const Side s = TwoLots();
  EXPECT_EQ(ViewPrice(3120, &s), 3120);
  EXPECT_EQ(ViewPrice(0, &s), 3066);  // 9200 / 3, rounded down
  EXPECT_EQ(ViewPrice(-5, &s), 3066);
  EXPECT_EQ(ViewPrice(0, nullptr), 0);
  Side empty;
  EXPECT_EQ(ViewPrice(0, &empty), 0);
  const PositionView v = PositionViewOf(s, SideKey(kA, 1), ViewPrice(0, &s), TenYuanTick());
  EXPECT_EQ(v.positionProfit, -2000);  // 3066*3 - 9200 = -2 ticks: the average's rounding
  EXPECT_EQ(v.floatProfit, 98000);
}

TEST(BrokerViews, FundsSumTheSidesAtTheirOwnPricesWithTheLedgersTotals) {
  LedgerAccount acc;
  acc.id = "A1";
  acc.name = "Alice";
  acc.currency = "CNY";
  acc.preBalance = 100000000;
  acc.deposit = 500000;
  acc.withdrawal = 200000;
  acc.closeProfit = 30000;
  acc.fee = 1500;
  acc.margin = 930000 + 310000;
  acc.frozenMargin = 62000;
  acc.frozenFee = 300;
  acc.sides[SideKey(kA, 1)] = TwoLots();
  Side shortB;
  shortB.quantity = 1;
  shortB.holdValue = shortB.openValue = 3100;
  shortB.margin = 310000;
  acc.sides[SideKey(kB, 2)] = shortB;
  ContractTerms doubled = TenYuanTick();
  doubled.tickValue = 2000;
  const ContractTerms ten = TenYuanTick();
  ViewPrices prices{[&](ContractId c) -> const ContractTerms& { return c == kB ? doubled : ten; },
                    [](ContractId c) { return c == kA ? 3120 : 3090; }};
  const FundsView f = FundsViewOf(acc, prices);
  EXPECT_EQ(f.account, "A1");
  EXPECT_EQ(f.name, "Alice");
  EXPECT_EQ(f.margin, 1240000);
  EXPECT_EQ(f.frozenMargin, 62000);
  EXPECT_EQ(f.frozenFee, 300);
  // Long A: 160 / 260 ticks at 10 yuan; short B: 10 ticks gained at 20 yuan.
  EXPECT_EQ(f.positionProfit, 160000 + 20000);
  EXPECT_EQ(f.floatProfit, 260000 + 20000);
  EXPECT_EQ(f.Dynamic(), 100000000 + 500000 - 200000 + 30000 + 180000 - 1500);
  EXPECT_EQ(f.Available(), f.Dynamic() - 1240000 - 62000 - 300);

  // Without any last price every side is valued at its holding price.
  prices.bookLast = [](ContractId) { return 0; };
  const FundsView flat = FundsViewOf(acc, prices);
  EXPECT_EQ(flat.positionProfit, -2000);
  EXPECT_EQ(flat.floatProfit, 98000);
}

}  // namespace
}  // namespace tarn::test
