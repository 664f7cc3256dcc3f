// The broker's books of account on their own: fills booked into lots and funds, which lots a
// close takes where the exchange tells today's from older ones, frozen money held and given
// back, and the invariant check catching totals that no longer add up.
#include <gtest/gtest.h>

#include <string>

#include "libs/exchange/broker/ledger.h"
#include "platform/text.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;
using tarn::Field;

constexpr ContractId kC = 7;

// 10 yuan a tick, margin 10% of the notional, fees 1/10,000 of it; today's closes cost triple.
ContractTerms Terms(bool closeToday) {
  ContractTerms t;
  t.tickValue = 1000;
  t.marginPpm = 100000;
  t.openFeePpm = t.closeFeePpm = 100;
  t.todayFeePpm = 300;
  t.closeToday = closeToday;
  return t;
}

class LedgerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LedgerAccount a;
    a.id = "A1";
    a.login = "u";
    a.preBalance = 100000000;
    account = ledger.Add(a);
  }
  Order NewOrder(int direction, int offset, int32_t price, int32_t lots) {
    Order o;
    o.id = nextId++;
    o.account = account;
    o.contract = kC;
    o.direction = static_cast<int8_t>(direction);
    o.offset = static_cast<int8_t>(offset);
    o.price = price;
    o.quantity = lots;
    o.state = kStQueued;
    return o;
  }
  Fill FillOf(const Order& o, int32_t price, int32_t lots) {
    Fill f;
    f.id = nextId++;
    f.account = o.account;
    f.contract = o.contract;
    f.price = price;
    f.quantity = lots;
    return f;
  }
  void Open(int direction, int32_t price, int32_t lots, const ContractTerms& t) {
    Order o = NewOrder(direction, kOffOpen, price, lots);
    Fill f = FillOf(o, price, lots);
    LedgerChanges ch;
    ledger.OpenLots(o, f, t, nextId, ch);
  }
  // Makes every lot of the long side an older one (as a settlement does).
  void AgeLots() {
    Side& s = ledger.accounts[account].sides.at(SideKey(kC, 1));
    for (Lot& l : s.lots) l.today = false;
    s.today = 0;
  }
  bool Check(const ContractTerms& t, std::string* why) {
    return ledger.CheckInvariant([&](ContractId) -> const ContractTerms& { return t; }, why);
  }

  Ledger ledger;
  AccountIndex account = kNoAccount;
  uint64_t nextId = 100;
};

TEST_F(LedgerTest, OpeningFillsMakeLotsAndCloseTodayRulesPickTheRightOnes) {
  const ContractTerms t = Terms(true);
  Open(1, 3000, 2, t);  // becomes older
  AgeLots();
  Open(1, 3100, 3, t);  // today's
  const Side& s = ledger.accounts[account].sides.at(SideKey(kC, 1));
  ASSERT_EQ(s.lots.size(), 2u);
  EXPECT_EQ(s.quantity, 5);
  EXPECT_EQ(s.today, 3);
  EXPECT_EQ(s.holdValue, 3000 * 2 + 3100 * 3);
  EXPECT_EQ(ledger.accounts[account].margin, t.Margin(3000, 2) + t.Margin(3100, 3));
  std::string why;
  EXPECT_TRUE(Check(t, &why)) << why;

  // A plain close may take older lots only: three lots are more than the two older ones.
  Order close3 = NewOrder(2, kOffClose, 3200, 3);
  EXPECT_EQ(ledger.ReserveClose(close3, true, "", true), kErrCloseToday);
  // Close-today takes today's: four are more than the three there are.
  Order today4 = NewOrder(2, kOffCloseToday, 3200, 4);
  EXPECT_EQ(ledger.ReserveClose(today4, true, "", true), kErrTodayPosition);
  // Naming today's lot with a plain close does not lift the rule.
  Order named = NewOrder(2, kOffClose, 3200, 1);
  EXPECT_EQ(ledger.ReserveClose(named, true, std::string(Field(s.lots[1].number)), true), kErrCloseToday);
  // Without the rule, any three lots may go.
  Ledger plain = ledger;
  Order any3 = NewOrder(2, kOffClose, 3200, 3);
  EXPECT_EQ(plain.ReserveClose(any3, false, "", true), 0);
  EXPECT_EQ(any3.reserve, 4);

  // Close the two older lots: the older lot goes, at the older close fee.
  Order close2 = NewOrder(2, kOffClose, 3200, 2);
  ASSERT_EQ(ledger.ReserveClose(close2, true, "", true), 0);
  EXPECT_EQ(close2.reserve, 1);
  EXPECT_EQ(s.reservedOld, 2);
  Fill f = FillOf(close2, 3200, 2);
  ledger.ReleaseClose(close2, 2);
  LedgerChanges ch;
  ledger.CloseLots(close2, f, t, false, ch);
  EXPECT_EQ(f.closeProfit, t.Profit((3200 - 3000) * 2));
  EXPECT_EQ(f.fee, t.Fee(3200, 2, FeeKind::Close));
  ASSERT_EQ(ch.ended.size(), 1u);  // the older lot, not the side
  EXPECT_FALSE(ch.removed);
  EXPECT_EQ(s.quantity, 3);
  EXPECT_EQ(s.today, 3);
  EXPECT_EQ(s.reservedAll, 0);
  EXPECT_EQ(ledger.accounts[account].margin, t.Margin(3100, 3));
  EXPECT_TRUE(Check(t, &why)) << why;

  // Close-today of all three: today's fee, and the side closes out and goes.
  Order today3 = NewOrder(2, kOffCloseToday, 3000, 3);
  ASSERT_EQ(ledger.ReserveClose(today3, true, "", true), 0);
  ledger.ReleaseClose(today3, 3);
  Fill g = FillOf(today3, 3000, 3);
  LedgerChanges ch2;
  ledger.CloseLots(today3, g, t, false, ch2);
  EXPECT_EQ(g.fee, t.Fee(3000, 3, FeeKind::CloseToday));
  EXPECT_EQ(g.closeProfit, t.Profit(-100 * 3));
  EXPECT_TRUE(ch2.removed);
  EXPECT_EQ(ch2.ended.size(), 2u);  // the lot, then the side
  EXPECT_TRUE(ledger.accounts[account].sides.empty());
  EXPECT_EQ(ledger.accounts[account].margin, 0);
  EXPECT_TRUE(Check(t, &why)) << why;
}

TEST_F(LedgerTest, FrozenMoneyFollowsTheWorkingRemainderAndGoesBackAtTheEnd) {
  const ContractTerms t = Terms(false);
  Order o = NewOrder(1, kOffOpen, 3000, 5);
  ledger.Freeze(o, o.price, t);
  const LedgerAccount& acc = ledger.accounts[account];
  EXPECT_EQ(acc.frozenMargin, t.Margin(3000, 5));
  EXPECT_EQ(acc.frozenFee, t.Fee(3000, 5, FeeKind::Open));
  o.filled = 2;
  o.state = kStPartFilled;
  ledger.Freeze(o, o.price, t);  // holds the remaining three only, not three on top of five
  EXPECT_EQ(acc.frozenMargin, t.Margin(3000, 3));
  EXPECT_EQ(o.frozenMargin, t.Margin(3000, 3));
  o.state = kStCancelled;
  ledger.Freeze(o, o.price, t);
  EXPECT_EQ(acc.frozenMargin, 0);
  EXPECT_EQ(acc.frozenFee, 0);
  EXPECT_EQ(o.frozenMargin, 0);
  // A close order freezes nothing.
  Order c = NewOrder(2, kOffClose, 3000, 1);
  ledger.Freeze(c, c.price, t);
  EXPECT_EQ(acc.frozenMargin, 0);
}

TEST_F(LedgerTest, InvariantCatchesTotalsThatDoNotAddUp) {
  const ContractTerms t = Terms(true);
  Open(1, 3000, 2, t);
  Open(1, 3010, 1, t);
  std::string why;
  ASSERT_TRUE(Check(t, &why)) << why;
  const uint64_t key = SideKey(kC, 1);
  {
    Ledger bad = ledger;
    bad.accounts[account].margin += 1;
    EXPECT_FALSE(bad.CheckInvariant([&](ContractId) -> const ContractTerms& { return t; }, &why));
    EXPECT_NE(why.find("margin"), std::string::npos) << why;
  }
  {
    Ledger bad = ledger;
    bad.accounts[account].sides.at(key).quantity += 1;
    EXPECT_FALSE(bad.CheckInvariant([&](ContractId) -> const ContractTerms& { return t; }, &why));
    EXPECT_NE(why.find("sum of its lots"), std::string::npos) << why;
  }
  {
    Ledger bad = ledger;
    bad.accounts[account].sides.at(key).lots[0].margin -= 1;
    EXPECT_FALSE(bad.CheckInvariant([&](ContractId) -> const ContractTerms& { return t; }, &why));
  }
  {
    Ledger bad = ledger;
    bad.accounts[account].sides.at(key).reservedToday = 4;  // more than today's three lots
    bad.accounts[account].sides.at(key).reservedAll = 4;
    EXPECT_FALSE(bad.CheckInvariant([&](ContractId) -> const ContractTerms& { return t; }, &why));
  }
  {
    Ledger bad = ledger;
    bad.index["A1"] = 5;
    EXPECT_FALSE(bad.CheckInvariant([&](ContractId) -> const ContractTerms& { return t; }, &why));
  }
  // The original was never touched by the copies.
  EXPECT_TRUE(Check(t, &why)) << why;
}

TEST_F(LedgerTest, SettlementMarksEverySideToItsPriceAndRollsTheMoneyIntoTheNextDay) {
  const ContractTerms t = Terms(true);
  Open(1, 3000, 2, t);
  Open(2, 3050, 3, t);  // a short side of the same contract
  LedgerAccount& acc = ledger.accounts[account];
  Order close = NewOrder(2, kOffCloseToday, 3100, 1);
  ASSERT_EQ(ledger.ReserveClose(close, true, "", true), 0);
  acc.deposit = 500;
  acc.fee = 70;
  acc.closeProfit = 1200;
  acc.fills.emplace_back();
  const Money before = acc.preBalance;

  LedgerChanges marked;
  const Money realized = ledger.MarkToSettlement(
      account, [](ContractId) { return 3020; }, [&](ContractId) -> const ContractTerms& { return t; }, marked);
  // The long side gains 20 ticks a lot; the short side gains 30 a lot, as the price fell.
  EXPECT_EQ(realized, t.Profit(20 * 2) + t.Profit(30 * 3));
  EXPECT_EQ(marked.lots.size(), 2u);
  for (const auto& [key, side] : acc.sides) {
    EXPECT_EQ(side.today, 0);
    EXPECT_EQ(side.reservedAll + side.reservedOld + side.reservedToday, 0);
    EXPECT_EQ(side.holdValue, 3020LL * side.quantity);
    for (const Lot& lot : side.lots) {
      EXPECT_EQ(lot.hold, 3020);
      EXPECT_FALSE(lot.today);
      EXPECT_EQ(lot.reserved, 0);
    }
  }
  EXPECT_EQ(acc.margin, t.Margin(3020, 2) + t.Margin(3020, 3));
  std::string why;
  EXPECT_TRUE(Check(t, &why)) << why;

  ledger.RollDay(account, realized);
  EXPECT_EQ(acc.preBalance, before + 500 + 1200 + realized - 70);
  EXPECT_EQ(acc.deposit + acc.withdrawal + acc.closeProfit + acc.fee, 0);
  EXPECT_TRUE(acc.fills.empty());
  EXPECT_EQ(acc.start.at(SideKey(kC, 1)), 2);
  EXPECT_EQ(acc.start.at(SideKey(kC, 2)), 3);
  // Marking again at the same price realizes nothing more.
  LedgerChanges again;
  EXPECT_EQ(ledger.MarkToSettlement(
                account, [](ContractId) { return 3020; }, [&](ContractId) -> const ContractTerms& { return t; }, again),
            0);
}

}  // namespace
}  // namespace tarn::test
