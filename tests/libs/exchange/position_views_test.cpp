// The position and funds views on their own: the price a side is valued at when the market has
// none, the sign of a short side's profit, and the views agreeing with each other (a side's
// profit is the sum of its lots', the funds' profit the sum of the sides') for random positions.
#include <gtest/gtest.h>

#include <random>

#include "libs/exchange/broker/position_views.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;

ContractTerms Terms(int64_t tickValue) {
  ContractTerms t;
  t.tickValue = tickValue;
  return t;
}

// A side of lots at the given open and holding prices, its totals summed from them.
Side MakeSide(const std::vector<std::tuple<int32_t, int32_t, int32_t>>& lots) {  // lots, open, hold
  Side s;
  for (const auto& [qty, open, hold] : lots) {
    Lot l;
    l.quantity = qty;
    l.open = open;
    l.hold = hold;
    s.lots.push_back(l);
    s.quantity += qty;
    s.openValue += static_cast<int64_t>(open) * qty;
    s.holdValue += static_cast<int64_t>(hold) * qty;
  }
  return s;
}

TEST(PositionViewsTest, MarkPriceFallsBackToTheAverageHoldingPrice) {
  const Side s = MakeSide({{1, 100, 100}, {2, 103, 101}});  // hold value 302 over 3 lots
  EXPECT_EQ(MarkPrice(250, &s), 250);
  EXPECT_EQ(MarkPrice(0, &s), 100);  // truncated average
  EXPECT_EQ(MarkPrice(-5, &s), 100);
  EXPECT_EQ(MarkPrice(0, nullptr), 0);
  const Side empty;
  EXPECT_EQ(MarkPrice(0, &empty), 0);  // an empty side: no division by zero
  // Without a market price a side shows (about) no position profit.
  const PositionView v = ViewOfSide(s, SideKey(4, 1), 0, Terms(1000));
  EXPECT_EQ(v.last, 100);
  EXPECT_EQ(v.positionProfit, Terms(1000).Profit(100 * 3 - 302));
}

TEST(PositionViewsTest, ShortSideGainsAsThePriceFalls) {
  const Side s = MakeSide({{2, 100, 100}});
  const ContractTerms t = Terms(1000);
  const PositionView lng = ViewOfSide(s, SideKey(4, 1), 90, t);
  const PositionView sht = ViewOfSide(s, SideKey(4, 2), 90, t);
  EXPECT_EQ(lng.side, 1);
  EXPECT_EQ(sht.side, 2);
  EXPECT_EQ(lng.contract, 4u);
  EXPECT_LT(lng.floatProfit, 0);
  EXPECT_EQ(sht.floatProfit, -lng.floatProfit);
  EXPECT_EQ(sht.floatProfit, t.Profit(20));
}

TEST(PositionViewsTest, LotsSidesAndFundsAgree) {
  std::mt19937 rng(11);
  const ContractTerms terms[2] = {Terms(1000), Terms(500)};
  for (int round = 0; round < 100; ++round) {
    LedgerAccount acc;
    acc.preBalance = 1000000;
    int32_t market[2] = {static_cast<int32_t>(rng() % 3) * 50, 200 + static_cast<int32_t>(rng() % 50)};
    for (ContractId c = 0; c < 2; ++c)
      for (int side = 1; side <= 2; ++side) {
        if (rng() % 3 == 0) continue;
        std::vector<std::tuple<int32_t, int32_t, int32_t>> lots;
        for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n)
          lots.emplace_back(1 + rng() % 5, 150 + rng() % 100, 150 + rng() % 100);
        acc.sides[SideKey(c, side)] = MakeSide(lots);
      }
    const auto lastOf = [&](ContractId c) { return market[c]; };
    const auto termsOf = [&](ContractId c) -> const ContractTerms& { return terms[c]; };
    const FundsView f = FundsOfAccount(acc, lastOf, termsOf);
    const std::vector<LotView> lots = LotViewsOf(acc, lastOf, termsOf);
    Money sidesPosition = 0, sidesFloat = 0, lotsPosition = 0, lotsFloat = 0;
    std::size_t lotCount = 0;
    for (const auto& [key, s] : acc.sides) {
      const PositionView v = ViewOfSide(s, key, market[SideContract(key)], terms[SideContract(key)]);
      sidesPosition += v.positionProfit;
      sidesFloat += v.floatProfit;
      lotCount += s.lots.size();
    }
    for (const LotView& l : lots) {
      lotsPosition += l.positionProfit;
      lotsFloat += l.floatProfit;
      EXPECT_EQ(l.last, MarkPrice(market[l.contract], &acc.sides[SideKey(l.contract, l.side)]));
    }
    ASSERT_EQ(lots.size(), lotCount);
    EXPECT_EQ(f.positionProfit, sidesPosition);
    EXPECT_EQ(f.floatProfit, sidesFloat);
    EXPECT_EQ(lotsPosition, sidesPosition);
    EXPECT_EQ(lotsFloat, sidesFloat);
    EXPECT_EQ(f.preBalance, 1000000);
  }
}

}  // namespace
}  // namespace tarn::test
