// The broker's state rebuilt from a store's rows on its own: positions summed from their lots,
// rows that cannot be right refused, what was dropped or changed listed to write back, the
// orders still working and the strategy orders still running handed to the broker.
#include <gtest/gtest.h>

#include <algorithm>

#include "broker_fixture.h"
#include "libs/exchange/broker/broker_loader.h"

namespace tarn::test {
namespace {

class BrokerLoaderTest : public ::testing::Test {
 protected:
  BrokerLoaderTest() {
    rb = market.Month("SHFE", "rb");
    rbKey = market.GetCatalogue().ContractAt(rb).key;
    terms.tickValue = 1000;
    terms.marginPpm = 100000;
    in.tradingDay = kDay1;
    in.maxId = 100;
    in.logins.push_back({"u", "hash", "tester"});
    in.accounts.push_back(AccountRow("A"));
  }
  static BrokerStore::AccountRow AccountRow(const char* id) {
    BrokerStore::AccountRow r;
    r.id = id;
    r.login = "u";
    r.preBalance = 100000000;
    return r;
  }
  BrokerStore::LotRow LotRow(const char* account, uint64_t id, int side, int32_t lots, int32_t price) {
    BrokerStore::LotRow r;
    r.account = account;
    r.contract = rbKey;
    r.side = side;
    r.lot.id = id;
    r.lot.quantity = lots;
    r.lot.open = r.lot.hold = price;
    r.lot.reserved = lots;  // a reservation is never loaded: the working orders make it again
    return r;
  }
  BrokerStore::OrderRow OrderRow(const char* account, uint64_t id, int32_t seq, int8_t state, std::string contract) {
    BrokerStore::OrderRow r;
    r.account = account;
    r.contract = std::move(contract);
    r.order.id = id;
    r.order.tradingDay = kDay1;
    r.order.sequence = seq;
    r.order.quantity = 2;
    r.order.price = 3100;
    r.order.state = state;
    return r;
  }
  LoadedBrokerState Load() {
    return LoadBrokerState(in, market.GetCatalogue(), [&](ContractId) -> const ContractTerms& { return terms; });
  }

  ScriptedMarket market;
  ContractId rb = kNoContract;
  std::string rbKey;
  ContractTerms terms;
  BrokerStore::Loaded in;
};

TEST_F(BrokerLoaderTest, PositionsAreSummedFromTheirLots) {
  in.sides.push_back({"A", rbKey, 1, 7, "S00000007"});
  in.lots.push_back(LotRow("A", 8, 1, 2, 3000));
  in.lots.push_back(LotRow("A", 9, 1, 1, 3100));
  in.lots.push_back(LotRow("A", 10, 2, 1, 3050));  // a short side with no row of its own
  const LoadedBrokerState st = Load();
  EXPECT_EQ(st.day, kDay1);
  ASSERT_EQ(st.ledger.accounts.size(), 1u);
  const LedgerAccount& a = st.ledger.accounts[0];
  ASSERT_EQ(a.sides.size(), 2u);
  const Side& lng = a.sides.at(SideKey(rb, 1));
  EXPECT_EQ(lng.id, 7u);
  EXPECT_EQ(Field(lng.number), "S00000007");
  EXPECT_EQ(lng.quantity, 3);
  EXPECT_EQ(lng.holdValue, 9100);
  EXPECT_EQ(lng.margin, terms.Margin(3000, 2) + terms.Margin(3100, 1));
  EXPECT_EQ(lng.lots[0].reserved, 0);
  const Side& sht = a.sides.at(SideKey(rb, 2));
  EXPECT_EQ(sht.id, 101u) << "a side without a row gets the next id";
  EXPECT_EQ(Field(sht.number), "S00000101");
  EXPECT_EQ(st.nextId, 102u);
  EXPECT_EQ(a.margin, lng.margin + sht.margin);
  std::string why;
  EXPECT_TRUE(st.ledger.CheckInvariant([&](ContractId) -> const ContractTerms& { return terms; }, &why)) << why;
  ASSERT_EQ(st.dirtySides.size(), 1u);
  EXPECT_EQ(st.dirtySides[0], std::make_pair(AccountIndex{0}, SideKey(rb, 2)));
}

TEST_F(BrokerLoaderTest, RowsThatCannotBeRightAreRefusedAndListed) {
  in.tradingDay = 20250231;  // no date: no day
  in.accounts.push_back(AccountRow("A"));  // a second row of the same account
  in.accounts.push_back(AccountRow(""));
  in.accounts.back().deposit = INT64_MAX;
  in.sides.push_back({"A", rbKey, 2, 5, "S00000005"});  // no lots: it goes
  in.lots.push_back(LotRow("A", 11, 1, 0, 3000));       // no lots
  in.lots.push_back(LotRow("A", 12, 1, 1, -1));         // no price
  in.lots.push_back(LotRow("A", 13, 1, 1, 3000));
  in.lots.back().contract = "XX9999";                    // no longer listed
  in.lots.push_back(LotRow("Z", 14, 1, 1, 3000));       // no account: nothing to write back
  in.orders.push_back(OrderRow("A", 20, 1, kStQueued, rbKey));
  in.orders.push_back(OrderRow("A", 20, 2, kStQueued, rbKey));  // the same id again
  in.orders.push_back(OrderRow("A", 21, 3, kStQueued, "XX9999"));
  in.orders.push_back(OrderRow("A", 22, 4, kStQueued, rbKey));
  in.orders.back().order.filled = 3;  // more than its quantity
  in.orders.push_back(OrderRow("Z", 23, 5, kStQueued, rbKey));
  in.orders.push_back(OrderRow("A", 24, 6, -3, rbKey));  // no state: never taken for a working one
  in.orders.push_back(OrderRow("A", 25, 7, 15, rbKey));
  in.fills.push_back({Fill{}, "A", rbKey});  // no lots
  in.refs.push_back({"A", 0, 20, kDay1, 1});  // no reference
  in.maxOrderSequence = -4;
  const LoadedBrokerState st = Load();
  EXPECT_EQ(st.day, 0);
  EXPECT_EQ(st.orderSeq, 0);
  ASSERT_EQ(st.ledger.accounts.size(), 1u);
  const LedgerAccount& a = st.ledger.accounts[0];
  EXPECT_TRUE(a.sides.empty());
  EXPECT_TRUE(a.fills.empty());
  EXPECT_TRUE(a.refs.empty());
  std::vector<uint64_t> lots;
  for (const auto& [acc, key, id] : st.dirtyLots) lots.push_back(id);
  EXPECT_EQ(lots, (std::vector<uint64_t>{11, 12, 13}));
  ASSERT_EQ(st.dirtySides.size(), 1u);
  EXPECT_EQ(st.dirtySides[0].second, SideKey(rb, 2));
  ASSERT_EQ(st.orders.size(), 2u);
  EXPECT_EQ(st.orders.at(20).sequence, 1) << "the first row of an id stands";
  // A working order of a contract no longer listed has ended, and is written back so.
  EXPECT_EQ(st.orders.at(21).state, 7);
  EXPECT_EQ(st.dirtyOrders, (std::vector<uint64_t>{21}));
  EXPECT_EQ(st.live, (std::vector<uint64_t>{20}));
  EXPECT_EQ(a.orders, (std::vector<uint64_t>{20, 21}));
}

TEST_F(BrokerLoaderTest, WorkingOrdersRunningStrategiesAndReferencesAreHandedOn) {
  in.accounts.push_back(AccountRow("B"));
  in.orders.push_back(OrderRow("B", 30, 1, kStQueued, rbKey));
  in.orders.push_back(OrderRow("A", 31, 2, 6, rbKey));  // finished
  BrokerStore::OrderRow waiting = OrderRow("A", 32, 3, kStWaiting, rbKey);
  waiting.order.condition = true;
  in.orders.push_back(waiting);
  in.orders.push_back(OrderRow("A", 33, 4, 1, rbKey));
  in.refs.push_back({"A", 77, 33, kDay1, 4});
  in.refs.push_back({"A", 78, 30, kDay1, 1});  // another account's order: the reference alone
  for (char state : {'1', '3', '1'}) {
    BrokerStore::StrategyRow s;
    s.account = state == '3' ? "A" : "B";
    s.order.state = state;
    in.strategies.push_back(s);
  }
  in.strategies[2].account = "A";
  const LoadedBrokerState st = Load();
  EXPECT_EQ(st.live, (std::vector<uint64_t>{30, 32, 33}));
  EXPECT_EQ(st.orders.at(33).clientRef, 77u);
  EXPECT_EQ(st.orders.at(30).clientRef, 0u);
  EXPECT_EQ(st.ledger.accounts[0].refs.size(), 2u);
  EXPECT_EQ(Field(st.orders.at(33).key), "20251208-00000004");
  EXPECT_EQ(st.byKey.at((static_cast<uint64_t>(kDay1) << 32) | 4u), 33u);
  using Run = std::pair<AccountIndex, std::size_t>;
  EXPECT_EQ(st.running, (std::vector<Run>{{1, 0}, {0, 1}}));
  EXPECT_TRUE(st.dirtyOrders.empty());
}

}  // namespace
}  // namespace tarn::test
