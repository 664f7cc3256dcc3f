// The strategy runner against a host of its own: what it asks of the broker when a run ends
// (its leg orders stop reporting to it before they are cancelled, and nothing watches the legs'
// quotes any more), and the stored form of a run in the middle of a batch, read back whole and
// refused when cut short.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "broker_fixture.h"
#include "libs/exchange/broker/strategy_runner.h"

namespace tarn::test {
namespace {

class FakeHost : public IStrategyHost {
 public:
  const OrderBook& LegBook(ContractId c) override { return books[c]; }
  bool LegCloseToday(ContractId) override { return false; }
  const LedgerAccount& RunAccount(AccountIndex) override { return account; }
  uint64_t SendLegOrder(const OrderEntry& entry, AccountIndex a, uint64_t strategy) override {
    Order& o = orders[nextId];
    o.id = nextId;
    o.account = a;
    o.contract = entry.contract;
    o.direction = static_cast<int8_t>(entry.direction);
    o.price = static_cast<int32_t>(entry.price);
    o.quantity = entry.quantity;
    o.state = kStQueued;
    o.strategy = strategy;
    log.push_back("send " + std::to_string(nextId));
    return nextId++;
  }
  const Order* LegOrder(uint64_t id) override {
    auto it = orders.find(id);
    return it == orders.end() ? nullptr : &it->second;
  }
  void TagLegOrder(uint64_t id, uint64_t strategy) override {
    orders[id].strategy = strategy;
    log.push_back("tag " + std::to_string(id) + " " + std::to_string(strategy));
  }
  void CancelLegOrder(uint64_t id) override {
    Order& o = orders[id];
    o.state = kStCancelled;
    // A cancel reports to the order's strategy, as the broker's order events do.
    log.push_back("cancel " + std::to_string(id) + (o.strategy ? " wakes" : ""));
  }
  StrategyOrder* FindStrategyOrder(AccountIndex, uint64_t id) override { return id == strategy.id ? &strategy : nullptr; }
  void StrategyChanged(AccountIndex, uint64_t id) override { log.push_back("changed " + std::to_string(id)); }

  std::map<ContractId, OrderBook> books;
  std::map<uint64_t, Order> orders;
  LedgerAccount account;
  StrategyOrder strategy;
  std::vector<std::string> log;
  uint64_t nextId = 100;
};

class StrategyRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rb = market.Month("SHFE", "rb");
    m = market.Month("DCE", "m");
    host.account.id = "A";
    host.strategy.id = 7;
    host.strategy.account = 0;
    host.strategy.state = '1';
    Quote(rb, 3099, 3100);
    Quote(m, 2950, 2951);
  }
  void Quote(ContractId c, int32_t bid, int32_t ask) {
    OrderBook& b = host.books[c];
    Snapshot s;
    s.bidPrice[0] = bid;
    s.askPrice[0] = ask;
    s.last = bid;
    b.SetSnapshot(s);
    b.have = true;
  }
  // rb bought, m sold, one lot each per unit, both sent at once; triggers when A-B <= 150.
  StrategyRun Run() {
    StrategyRun run;
    run.id = 7;
    run.account = 0;
    StrategyEntry& e = run.spec;
    e.legCount = 2;
    e.legs[0] = {rb, 1, 0, 1, 0, false};
    e.legs[1] = {m, 2, 0, 1, 0, false};
    e.formula = "A-B";
    e.totalQuantity = 4;
    e.triggerQuantity = 2;
    e.triggerPrice = 150;
    e.triggerCondition = 2;
    EXPECT_EQ(CheckStrategyEntry(e, market.GetCatalogue(), [](ContractId) { return true; }, run.formula), nullptr);
    return run;
  }

  ScriptedMarket market;
  FakeHost host;
  ContractId rb = kNoContract, m = kNoContract;
};

TEST_F(StrategyRunnerTest, AnEndedRunLetsGoOfItsLegsBeforeCancellingThemAndWatchesNothing) {
  StrategyRunner runner(host, market.GetCatalogue());
  runner.Start(Run());
  EXPECT_TRUE(runner.Watches(rb));
  EXPECT_TRUE(runner.Watches(m));
  runner.OnQuote(rb, host.books[rb]);  // 3100 - 2950 = 150: both legs go
  ASSERT_EQ(host.orders.size(), 2u);
  host.orders[100].filled = 2;
  host.orders[100].state = kStFilled;
  runner.Work();
  EXPECT_TRUE(runner.Running(7));

  host.log.clear();
  runner.End(7, '5', "stopped");
  // The working m leg is let go, then cancelled (its cancel wakes nothing); the filled rb leg
  // is let go and left as it is.
  EXPECT_EQ(host.log, (std::vector<std::string>{"tag 100 0", "tag 101 0", "cancel 101", "changed 7"}));
  EXPECT_EQ(host.strategy.state, '5');
  EXPECT_EQ(host.strategy.errorText, "stopped");
  EXPECT_FALSE(runner.Running(7));
  EXPECT_FALSE(runner.Watches(rb));
  EXPECT_FALSE(runner.Watches(m));
  // Quotes of its legs reach nothing, and a late wake finds nothing to do.
  host.log.clear();
  runner.OnQuote(m, host.books[m]);
  runner.Wake(7);
  runner.Work();
  EXPECT_TRUE(host.log.empty());

  // The day's end forgets every run.
  runner.Start(Run());
  runner.Clear();
  EXPECT_FALSE(runner.Running(7));
  EXPECT_FALSE(runner.Watches(rb));
  EXPECT_FALSE(runner.HasWork());
}

TEST_F(StrategyRunnerTest, TheStoredRunReadsBackWholeAndACutShortOneIsRefused) {
  StrategyRunner runner(host, market.GetCatalogue());
  runner.Start(Run());
  Quote(m, 2950, 2951);
  runner.OnQuote(m, host.books[m]);  // a batch of two units under way
  StrategyOrder stored = host.strategy;
  ASSERT_FALSE(stored.run.empty());

  StrategyRun back;
  ASSERT_TRUE(runner.Decode(stored, back));
  EXPECT_TRUE(back.sending);
  EXPECT_EQ(back.units, 2);
  EXPECT_EQ(back.spec.legs[0].contract, rb);
  EXPECT_EQ(back.spec.legs[1].contract, m);
  EXPECT_EQ(back.target[0], 2);
  EXPECT_EQ(back.target[1], 2);
  EXPECT_EQ(back.sent[0], (std::vector<uint64_t>{100}));
  EXPECT_EQ(back.sent[1], (std::vector<uint64_t>{101}));
  EXPECT_EQ(back.spec.formula, "A-B");
  StrategyOrder again;
  runner.Encode(back, again);
  EXPECT_EQ(again.run, stored.run);

  // Every shorter form is refused, never read as a run with missing parts.
  for (std::size_t n = 0; n < stored.run.size(); ++n) {
    StrategyOrder cut = stored;
    cut.run.resize(n);
    StrategyRun r;
    EXPECT_FALSE(runner.Decode(cut, r)) << "cut at " << n;
  }
}

}  // namespace
}  // namespace tarn::test
