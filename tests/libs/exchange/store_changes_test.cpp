// The broker's collected changes on their own: a record marked many times is written once and as
// it stands at the commit, a side or lot gone since is written as an erase, a disabled set (no
// store) stays empty whatever is marked, and taking the rows leaves the set empty for the next
// commit.
#include <gtest/gtest.h>

#include <cstring>

#include "libs/exchange/broker/store_changes.h"
#include "market_fixture.h"

namespace tarn::test {
namespace {

using namespace tarn::exchange;

class StoreChangesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    market = MakeMarket(1, kMonday10);
    rb = ContractsOf(*market, "SHFE", "rb")[0];
    key = market->GetCatalogue().ContractAt(rb).key;
    ASSERT_FALSE(key.empty());
    LedgerAccount acc;
    acc.id = "A1";
    acc.login = "u";
    acc.preBalance = 500;
    a = ledger.Add(acc);
    ledger.logins["u"].hash = "h";
    Side& s = ledger.accounts[a].sides[SideKey(rb, 1)];
    s.id = 41;
    std::strcpy(s.number, "S00000041");
    Lot l;
    l.id = 42;
    l.quantity = 3;
    s.lots.push_back(l);
    Order o;
    o.id = 9;
    o.account = a;
    o.contract = rb;
    o.quantity = 1;
    orders[o.id] = o;
  }
  JournalWrite Take(StoreChanges& c, int32_t day = 20251208) {
    JournalWrite w;
    c.TakeInto(w, ledger, orders, market->GetCatalogue(), day);
    return w;
  }
  std::unique_ptr<Market> market;
  ContractId rb = kNoContract;
  std::string key;
  Ledger ledger;
  AccountIndex a = kNoAccount;
  std::unordered_map<uint64_t, Order> orders;
};

TEST_F(StoreChangesTest, RepeatedMarksBecomeOneRowWithTheStateAtTheCommit) {
  StoreChanges c;
  c.Order(9);
  c.Account(a);
  c.Side(a, SideKey(rb, 1));
  c.Lot(a, SideKey(rb, 1), 42);
  c.Login("u");
  orders[9].quantity = 4;  // changed after the first mark
  c.Order(9);
  c.Account(a);
  c.Side(a, SideKey(rb, 1));
  c.Lot(a, SideKey(rb, 1), 42);
  c.Login("u");
  ledger.accounts[a].deposit = 70;
  const JournalWrite w = Take(c);
  ASSERT_EQ(w.orders.size(), 1u);
  EXPECT_EQ(w.orders[0].order.quantity, 4);
  EXPECT_EQ(w.orders[0].account, "A1");
  EXPECT_EQ(w.orders[0].contract, key);
  ASSERT_EQ(w.accounts.size(), 1u);
  EXPECT_EQ(w.accounts[0].deposit, 70);
  ASSERT_EQ(w.sides.size(), 1u);
  EXPECT_FALSE(w.sides[0].second);
  EXPECT_EQ(w.sides[0].first.id, 41u);
  EXPECT_EQ(w.sides[0].first.number, "S00000041");
  ASSERT_EQ(w.lots.size(), 1u);
  EXPECT_FALSE(w.lots[0].second);
  EXPECT_EQ(w.lots[0].first.lot.quantity, 3);
  ASSERT_EQ(w.logins.size(), 1u);
  EXPECT_EQ(w.logins[0].hash, "h");
  EXPECT_EQ(w.day, 0);  // the day was not marked
}

TEST_F(StoreChangesTest, WhatWentSinceItWasMarkedIsErasedOrLeftOut) {
  StoreChanges c;
  c.Side(a, SideKey(rb, 1));
  c.Lot(a, SideKey(rb, 1), 42);
  c.Order(9);
  ledger.accounts[a].sides.clear();
  orders.clear();
  const JournalWrite w = Take(c);
  ASSERT_EQ(w.sides.size(), 1u);
  EXPECT_TRUE(w.sides[0].second);
  EXPECT_EQ(w.sides[0].first.account, "A1");
  EXPECT_EQ(w.sides[0].first.contract, key);
  ASSERT_EQ(w.lots.size(), 1u);
  EXPECT_TRUE(w.lots[0].second);
  EXPECT_EQ(w.lots[0].first.lot.id, 42u);
  EXPECT_TRUE(w.orders.empty());
}

TEST_F(StoreChangesTest, NewRowsKeepTheirOrderAndTakingEmptiesTheSet) {
  StoreChanges c;
  EXPECT_TRUE(c.Empty());
  Fill f1, f2;
  f1.id = 2;
  f2.id = 1;
  f1.account = f2.account = a;
  f1.contract = f2.contract = rb;
  c.NewFill(f1);
  c.NewFill(f2);
  c.NewStatement(a, 20251205, "s1");
  c.NewRef({"A1", 77, 9, 20251208, 1});
  c.Starts(a);
  c.Day();
  EXPECT_FALSE(c.Empty());
  EXPECT_TRUE(c.HasStatements());
  ledger.accounts[a].start[SideKey(rb, 1)] = 3;
  ledger.accounts[a].start[SideKey(rb, 2)] = 0;  // a flat start is not written
  JournalWrite w = Take(c);
  ASSERT_EQ(w.fills.size(), 2u);
  EXPECT_EQ(w.fills[0].fill.id, 2u);  // in the order they happened, not sorted
  EXPECT_EQ(w.fills[1].fill.id, 1u);
  ASSERT_EQ(w.statements.size(), 1u);
  EXPECT_EQ(std::get<0>(w.statements[0]), "A1");
  EXPECT_EQ(std::get<2>(w.statements[0]), "s1");
  ASSERT_EQ(w.refs.size(), 1u);
  EXPECT_EQ(w.refs[0].ref, 77u);
  ASSERT_EQ(w.starts.size(), 1u);
  ASSERT_EQ(w.starts[0].second.size(), 1u);
  EXPECT_EQ(w.starts[0].second[0].quantity, 3);
  EXPECT_EQ(w.day, 20251208);
  EXPECT_TRUE(c.Empty());
  EXPECT_FALSE(c.HasStatements());
  w = Take(c);
  EXPECT_TRUE(w.fills.empty() && w.refs.empty() && w.starts.empty() && w.statements.empty());
  EXPECT_EQ(w.day, 0);
}

TEST_F(StoreChangesTest, DisabledSetIgnoresEveryMark) {
  StoreChanges c(false);
  c.Order(9);
  c.NewFill(Fill{});
  c.Side(a, 1);
  c.Lot(a, 1, 2);
  c.Account(a);
  c.Strategy(a, 3);
  c.Starts(a);
  c.Login("u");
  c.NewRef({});
  c.NewStatement(a, 1, "x");
  c.Day();
  EXPECT_TRUE(c.Empty());
  c.SetEnabled(true);
  c.Day();
  EXPECT_FALSE(c.Empty());
}

}  // namespace
}  // namespace tarn::test
