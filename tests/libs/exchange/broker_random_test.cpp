// A randomised run: 100,000 orders of 100 accounts on four contracts (both sides of the close-
// today rule, a bond-like index future and a contract in dollars), with cancels, modifies,
// condition orders, market steps with trades and trading-day rolls in between, and the
// invariants checked after every order.
#include <random>

#include "broker_fixture.h"

namespace tarn::test {
namespace {

class RandomRunTest : public BrokerTest {
 protected:
  struct FillCounter : IBrokerListener {
    void OnBrokerEvents(const std::vector<BrokerEvent>& events) override {
      for (const BrokerEvent& e : events) fills += e.type == BrokerEventType::Fill ? 1 : 0;
    }
    std::atomic<int> fills{0};
  };
  void SetUp() override {
    BrokerTest::SetUp();
    broker->RemoveListener(&log);  // a hundred thousand orders' events are not kept
    broker->AddListener(&counter);
    ASSERT_TRUE(broker->CreateLogin("r", "random1", "runner"));
    for (int i = 0; i < kAccounts; ++i)
      ASSERT_TRUE(broker->CreateAccount("R" + std::to_string(i), "r", "runner", Y(2000000)));
  }
  void TearDown() override {
    broker->RemoveListener(&counter);
    BrokerTest::TearDown();
  }
  static constexpr int kAccounts = 100;
  FillCounter counter;
};

TEST_F(RandomRunTest, HundredThousandOrdersKeepEveryInvariant) {
  std::mt19937_64 rng(20251208);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
  const ContractId es = market.Month("CME", "ES");
  const ContractId contracts[] = {rb, m, ifc, es};
  int32_t mid[] = {3100, 2950, 22750, 26800};
  auto publish = [&](int k) {
    mid[k] += pick(7) - 3;
    Snapshot s = market.Book(contracts[k], mid[k] - 1 - pick(2), mid[k] + 1 + pick(2), 1 + pick(12));
    for (int i = 0; i < kBookLevels; ++i) {
      s.bidQty[i] = 1 + pick(15);
      s.askQty[i] = 1 + pick(15);
    }
    if (pick(3) > 0) {
      s.last = mid[k] + pick(5) - 2;
      s.lastQty = 1 + pick(30);
      s.side = static_cast<int8_t>(pick(3));
    }
    market.Publish(s);
  };
  for (int k = 0; k < 4; ++k) publish(k);
  broker->WaitIdle();

  int orders = 0, refusals = 0, conditions = 0, rolls = 0;
  std::string why;
  while (orders < 100000) {
    const std::string account = "R" + std::to_string(pick(kAccounts));
    const int k = pick(4);
    const ContractId c = contracts[k];
    const int action = pick(100);
    if (action < 8) {
      std::vector<Order> list;
      broker->GetOrders(account, list);
      if (!list.empty()) {
        const Order& o = list[static_cast<std::size_t>(pick(static_cast<int>(list.size())))];
        if (action < 5)
          broker->CancelOrder(account, Field(o.key));
        else
          broker->ModifyOrder(account, Field(o.key), mid[k] + pick(9) - 4, true, 1 + pick(6));
      }
    } else if (action < 12) {
      ConditionEntry s;
      s.account = account;
      s.contract = c;
      s.direction = 1 + pick(2);
      s.offset = 1 + pick(2);
      s.triggerBasis = pick(3);
      const int kinds[] = {0, 1, 4, 5};
      s.kind = kinds[pick(4)];
      s.trigger = mid[k] + pick(11) - 5;
      s.sendPrice = mid[k] + pick(7) - 3;
      s.ticks = 1 + pick(4);
      s.sendMode = pick(5);
      s.quantity = 1 + pick(4);
      s.longTerm = pick(2) == 0;
      broker->InsertCondition(s);
      ++conditions;
    } else {
      OrderEntry s;
      s.account = account;
      s.contract = c;
      s.direction = 1 + pick(2);
      s.offset = pick(10) < 5 ? 1 : (pick(2) ? 2 : 3);
      s.market = pick(5) == 0;
      s.price = mid[k] + pick(9) - 4;
      s.quantity = 1 + pick(8);
      const int seq = broker->InsertOrder(s);
      ++orders;
      if (Get(account.c_str(), seq).state == kStFailed) ++refusals;
      ASSERT_TRUE(broker->CheckInvariants(&why, account)) << "after order " << orders << ": " << why;
    }
    if (action < 12) continue;
    if (orders % 40 == 0) {
      publish(pick(4));
      broker->WaitIdle();
    }
    if (orders % 1000 == 0) {
      ASSERT_TRUE(broker->CheckInvariants(&why)) << "after order " << orders << ": " << why;
    }
    if (orders % 20000 == 0) {
      for (int j = 0; j < 4; ++j) market.SetSettlement(contracts[j], market.day_, mid[j]);
      market.Roll();
      broker->WaitIdle();
      ++rolls;
      ASSERT_TRUE(broker->CheckInvariants(&why)) << "after the roll: " << why;
    }
  }
  const int fills = counter.fills.load();
  ASSERT_TRUE(broker->CheckInvariants(&why)) << why;
  // The run did trade: fills, refusals, condition orders and rolls all happened.
  EXPECT_GT(fills, 1000);
  EXPECT_GT(refusals, 1000);
  EXPECT_GT(conditions, 1000);
  EXPECT_EQ(rolls, 5);
}

}  // namespace
}  // namespace tarn::test
