// Orders sent again after a lost connection: a client reference the account has used names the
// order booked the first time, in memory, after a restart and after the trading day rolled. And
// the broker's state digest: a restart from the store and a replay of the same orders over the
// same market both reach the state the broker had.
#include <set>

#include "broker_fixture.h"
#include "libs/exchange/client_ref.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kSell = 2, kOpen = 1, kClose = 2;

class ResendTest : public BrokerTest {
 protected:
  BrokerOptions Options() override {
    BrokerOptions o = BrokerTest::Options();
    if (persist) o.storePath = dir.File("exchange/broker.db");
    return o;
  }
  OrderEntry Entry(const char* account, uint64_t ref, int qty, int32_t price, int dir = kBuy) {
    OrderEntry e;
    e.account = account;
    e.contract = rb;
    e.direction = dir;
    e.offset = kOpen;
    e.quantity = qty;
    e.price = price;
    e.clientRef = ref;
    return e;
  }
  ConditionEntry Stop(const char* account, uint64_t ref) {
    ConditionEntry c;
    c.account = account;
    c.contract = rb;
    c.direction = kSell;
    c.offset = kClose;
    c.kind = 1;
    c.trigger = 3000;
    c.quantity = 1;
    c.sendMode = 4;
    c.longTerm = true;
    c.clientRef = ref;
    return c;
  }
  std::size_t Orders(const char* account) {
    std::vector<Order> list;
    broker->GetOrders(account, list);
    return list.size();
  }

  TempDir dir;
  bool persist = true;
};

TEST_F(ResendTest, AResendBooksNothingBeforeOrAfterARestart) {
  const Snapshot book = market.Book(rb, 3099, 3100, 10);
  Step(book);
  const OrderReceipt first = broker->PlaceOrder(Entry("A", 77, 2, 3100));
  ASSERT_GT(first.sequence, 0);
  EXPECT_FALSE(first.repeat);
  EXPECT_EQ(first.order.filled, 2);
  EXPECT_EQ(first.order.clientRef, 77u);
  const OrderReceipt stop = broker->PlaceCondition(Stop("A", 78));
  EXPECT_FALSE(stop.repeat);
  EXPECT_EQ(stop.order.state, kStWaiting);

  auto expectRepeats = [&](const char* when) {
    SCOPED_TRACE(when);
    const OrderReceipt again = broker->PlaceOrder(Entry("A", 77, 2, 3100));
    EXPECT_TRUE(again.repeat);
    EXPECT_EQ(again.sequence, first.sequence);
    EXPECT_EQ(Field(again.order.key), Field(first.order.key));
    EXPECT_EQ(again.order.filled, 2);
    // Another order's fields under a used reference change nothing: the reference decides.
    const OrderReceipt changed = broker->PlaceOrder(Entry("A", 77, 5, 3099, kSell));
    EXPECT_TRUE(changed.repeat);
    EXPECT_EQ(changed.order.quantity, 2);
    const OrderReceipt stopAgain = broker->PlaceCondition(Stop("A", 78));
    EXPECT_TRUE(stopAgain.repeat);
    EXPECT_EQ(stopAgain.sequence, stop.sequence);
    EXPECT_TRUE(stopAgain.order.condition);
    EXPECT_EQ(Fills("A").size(), 1u);
    EXPECT_EQ(Position("A", rb, 1).quantity, 2);
    ExpectInvariants();
  };
  expectRepeats("same session");
  const std::size_t listed = Orders("A");
  EXPECT_EQ(listed, 2u);
  Reopen();
  expectRepeats("after a restart");
  EXPECT_EQ(Orders("A"), listed);
  // The reference namespace is shared by both kinds: a condition order cannot reuse an
  // ordinary order's reference.
  EXPECT_TRUE(broker->PlaceCondition(Stop("A", 77)).repeat);
  // A new reference is a new order, numbered after the ones before the restart.
  const OrderReceipt next = broker->PlaceOrder(Entry("A", 79, 1, 3090));
  EXPECT_FALSE(next.repeat);
  EXPECT_GT(next.sequence, stop.sequence);
}

TEST_F(ResendTest, AnOrderOfAnEarlierDayIsAnsweredFromTheStore) {
  Step(market.Book(rb, 3099, 3100, 10));
  const OrderReceipt first = broker->PlaceOrder(Entry("A", 5, 1, 3100));
  ASSERT_EQ(first.order.state, kStFilled);
  market.SetSettlement(rb, kDay1, 3100);
  market.Roll();
  broker->WaitIdle();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "rolled" : "rolled and restarted");
    const OrderReceipt again = broker->PlaceOrder(Entry("A", 5, 1, 3100));
    EXPECT_TRUE(again.repeat);
    EXPECT_EQ(again.order.tradingDay, kDay1);
    EXPECT_EQ(again.order.state, kStFilled);
    EXPECT_EQ(again.order.contract, rb);
    EXPECT_EQ(Field(again.order.key), Field(first.order.key));
    EXPECT_EQ(Orders("A"), 0u);  // the new day's list stays empty
    Reopen();
  }
}

TEST_F(ResendTest, AccountsWithEqualReferencesAreIndependent) {
  persist = false;
  Reopen();
  Step(market.Book(rb, 3099, 3100, 10));
  const OrderReceipt a = broker->PlaceOrder(Entry("A", 42, 1, 3050));
  const OrderReceipt b = broker->PlaceOrder(Entry("B", 42, 3, 3050));
  EXPECT_FALSE(a.repeat);
  EXPECT_FALSE(b.repeat);
  EXPECT_NE(a.sequence, b.sequence);
  const OrderReceipt b2 = broker->PlaceOrder(Entry("B", 42, 1, 3050));
  EXPECT_TRUE(b2.repeat);
  EXPECT_EQ(b2.sequence, b.sequence);
  EXPECT_EQ(b2.order.quantity, 3);
  // An order without a reference is never a resend, and a refused order stays refused.
  EXPECT_FALSE(broker->PlaceOrder(Entry("A", 0, 1, 3050)).repeat);
  EXPECT_FALSE(broker->PlaceOrder(Entry("A", 0, 1, 3050)).repeat);
  const OrderReceipt refused = broker->PlaceOrder(Entry("A", 43, 1, 9999));
  EXPECT_EQ(refused.order.state, kStFailed);
  const OrderReceipt refusedAgain = broker->PlaceOrder(Entry("A", 43, 1, 3050));
  EXPECT_TRUE(refusedAgain.repeat);
  EXPECT_EQ(refusedAgain.order.state, kStFailed);
  EXPECT_EQ(Orders("A"), 4u);
  EXPECT_EQ(broker->PlaceOrder(Entry("nobody", 42, 1, 3050)).sequence, -1);
}

// The same orders over the same market, on either broker.
void Script(ScriptedMarket& mk, Broker& b, ContractId rb, ContractId m) {
  auto send = [&](const char* account, ContractId c, int dir, int offset, int qty, int32_t price, uint64_t ref) {
    OrderEntry e;
    e.account = account;
    e.contract = c;
    e.direction = dir;
    e.offset = offset;
    e.quantity = qty;
    e.price = price;
    e.clientRef = ref;
    return b.PlaceOrder(e);
  };
  const Snapshot book = mk.Book(rb, 3099, 3100, 10);
  mk.Publish(book);
  b.WaitIdle();
  send("A", rb, kBuy, kOpen, 2, 3100, 1);
  send("A", rb, kBuy, kOpen, 3, 3098, 2);   // rests behind the market's 10 lots
  send("B", rb, kSell, kOpen, 1, 3105, 0);  // rests on the other side
  ConditionEntry c;
  c.account = "A";
  c.contract = rb;
  c.direction = kSell;
  c.offset = kClose;
  c.kind = 1;
  c.trigger = 3000;
  c.quantity = 1;
  c.sendMode = 4;
  c.longTerm = true;
  c.clientRef = 3;
  b.PlaceCondition(c);
  mk.Trade(book, 3098, 12, kSell);  // clears the queue ahead, fills 2 of the 3
  b.WaitIdle();
  mk.Publish(mk.Book(m, 2950, 2951, 10));
  b.WaitIdle();
  send("B", m, kSell, kOpen, 4, 2950, 4);
  send("A", rb, kSell, kClose, 1, 3099, 5);
  b.Deposit("B", Y(1234.56));
}

TEST_F(ResendTest, ARestartAndAReplayReachTheSameState) {
  const uint64_t empty = broker->StateHash();
  Script(market, *broker, rb, m);
  const uint64_t hash = broker->StateHash();
  EXPECT_NE(hash, empty);
  ExpectInvariants();
  Reopen();
  EXPECT_EQ(broker->StateHash(), hash);
  ExpectInvariants();

  // A fresh broker without a store fed the same orders over an identical market.
  ScriptedMarket market2;
  market2.Set(market2.Book(rb, 3100, 3101));
  market2.Set(market2.Book(m, 2950, 2951));
  market2.Set(market2.Book(ifc, 22750, 22751));
  BrokerOptions options = BrokerTest::Options();
  auto replay = std::make_unique<Broker>(market2, options);
  ASSERT_TRUE(replay->CreateLogin("u", "other-password", "tester"));  // the password is no state
  ASSERT_TRUE(replay->CreateAccount("A", "u", "Alice", Y(1000000)));
  ASSERT_TRUE(replay->CreateAccount("B", "u", "Bob", Y(1000000)));
  Script(market2, *replay, rb, m);
  EXPECT_EQ(replay->StateHash(), hash);

  // Any change shows: a cent more funds, an order cancelled.
  ASSERT_TRUE(replay->Deposit("A", 1));
  EXPECT_NE(replay->StateHash(), hash);
  const uint64_t deposited = replay->StateHash();
  ASSERT_EQ(replay->CancelOrder("B", "20251208-00000003"), 0);
  EXPECT_NE(replay->StateHash(), deposited);
}

TEST(ClientRefs, NeverZeroAndApartBetweenInstances) {
  ClientRefs wrapping(~uint64_t{0} - 1);  // the counter runs through 0
  std::set<uint64_t> seen;
  for (int i = 0; i < 4; ++i) {
    const uint64_t ref = wrapping.Next();
    EXPECT_NE(ref, 0u);
    EXPECT_TRUE(seen.insert(ref).second);
  }
  ClientRefs a, b;
  const uint64_t first = a.Next();
  EXPECT_NE(first, b.Next()) << "two runs of the library start apart";
  EXPECT_NE(a.Next(), first);
}

}  // namespace
}  // namespace tarn::test
