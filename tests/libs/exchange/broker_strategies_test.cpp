// Strategy orders run by the broker: the trigger on the combination's value, leg orders in units
// of the per-trigger quantity up to the total, type 2's leading leg, chasing, loop orders coming
// back at their second price, refusals and stops, and a restart in the middle of a batch.
#include <sqlite3.h>

#include "broker_fixture.h"
#include "libs/exchange/spread_formula.h"

namespace tarn::test {
namespace {

constexpr int kBuy = 1, kSell = 2;

class StrategyTest : public BrokerTest {
 protected:
  // rb bought, m sold, one lot each per unit: the value of buying it is rb's ask - m's bid.
  StrategyEntry Spread(int total, int perTrigger, double price, int condition) {
    StrategyEntry e;
    e.account = "A";
    e.legCount = 2;
    e.legs[0] = {rb, kBuy, 0, 1, 0, false};
    e.legs[1] = {m, kSell, 0, 1, 0, false};
    e.formula = "A-B";
    e.totalQuantity = total;
    e.triggerQuantity = perTrigger;
    e.triggerPrice = price;
    e.triggerCondition = condition;
    return e;
  }
  StrategyOrder Strategy(int seq) {
    std::vector<StrategyOrder> list;
    broker->GetStrategies("A", list);
    for (const StrategyOrder& s : list)
      if (s.sequence == seq) return s;
    ADD_FAILURE() << "no strategy order " << seq;
    return StrategyOrder{};
  }
  std::vector<Order> Orders(ContractId c) {
    std::vector<Order> list, out;
    broker->GetOrders("A", list);
    for (const Order& o : list)
      if (o.contract == c) out.push_back(o);
    return out;
  }
};

TEST_F(StrategyTest, AForwardOrderTriggersAtItsPriceAndSendsItsUnitsUpToTheTotal) {
  const int seq = broker->InsertStrategy(Spread(5, 2, 150, 2));  // value <= 150
  ASSERT_GT(seq, 0);
  EXPECT_EQ(Strategy(seq).state, '1');
  EXPECT_TRUE(Orders(rb).empty());  // 3101 - 2950 = 151
  Step(market.Book(rb, 3099, 3100));  // 3100 - 2950 = 150
  ASSERT_EQ(Orders(rb).size(), 1u);
  EXPECT_EQ(Orders(rb)[0].quantity, 2);
  EXPECT_EQ(Orders(rb)[0].price, 3100);
  EXPECT_EQ(Orders(m)[0].direction, kSell);
  EXPECT_EQ(Orders(m)[0].price, 2950);
  EXPECT_EQ(Strategy(seq).unitsDone, 2);
  EXPECT_EQ(Strategy(seq).state, '1');
  // Still at the trigger: the next units go at the next quotes, the last batch is what is left.
  Step(market.Book(rb, 3099, 3100));
  Step(market.Book(rb, 3099, 3100));
  EXPECT_EQ(Strategy(seq).unitsDone, 5);
  EXPECT_EQ(Strategy(seq).state, '4');
  ASSERT_EQ(Orders(rb).size(), 3u);
  EXPECT_EQ(Orders(rb)[2].quantity, 1);
  EXPECT_EQ(Position("A", rb, 1).quantity, 5);
  EXPECT_EQ(Position("A", m, 2).quantity, 5);
  Step(market.Book(rb, 3000, 3001));
  EXPECT_EQ(Orders(rb).size(), 3u);  // done: nothing more goes out
  ExpectInvariants();
}

TEST_F(StrategyTest, AReverseOrderSellsTheCombinationAtItsBidValue) {
  StrategyEntry e = Spread(1, 1, 160, 1);  // value >= 160
  e.orderSide = 2;
  e.legs[1].lots = 2;
  const int seq = broker->InsertStrategy(e);
  Step(market.Book(rb, 3109, 3110));  // selling: rb bid 3109 - m ask 2951 = 158
  EXPECT_TRUE(Orders(rb).empty());
  Step(market.Book(m, 2948, 2949));  // 3109 - 2949 = 160
  ASSERT_EQ(Orders(rb).size(), 1u);
  EXPECT_EQ(Orders(rb)[0].direction, kSell);
  EXPECT_EQ(Orders(rb)[0].price, 3109);
  EXPECT_EQ(Orders(m)[0].direction, kBuy);
  EXPECT_EQ(Orders(m)[0].quantity, 2);
  EXPECT_EQ(Strategy(seq).state, '4');
  EXPECT_EQ(Position("A", m, 1).quantity, 2);
  ExpectInvariants();
}

TEST_F(StrategyTest, TypeTwoSendsTheOtherLegsOnceTheFirstIsFilled) {
  StrategyEntry e = Spread(1, 1, 200, 2);
  e.type = 2;
  e.legs[0].spreadTicks = -1;  // rests one tick inside the ask
  const int seq = broker->InsertStrategy(e);  // 3101 - 2950 <= 200 at once
  ASSERT_EQ(Orders(rb).size(), 1u);
  EXPECT_EQ(Orders(rb)[0].price, 3100);
  EXPECT_EQ(Orders(rb)[0].state, kStQueued);
  EXPECT_TRUE(Orders(m).empty());
  Step(market.Book(rb, 3099, 3100));  // the book moves onto it
  EXPECT_EQ(Orders(rb)[0].state, kStFilled);
  ASSERT_EQ(Orders(m).size(), 1u);
  EXPECT_EQ(Strategy(seq).state, '4');
  ExpectInvariants();
}

TEST_F(StrategyTest, AChasingLegFollowsTheBestPriceANonChasingCancelledLegIsAnError) {
  StrategyEntry e = Spread(1, 1, 200, 2);
  e.legs[0].spreadTicks = -1;
  e.legs[0].chase = true;
  const int seq = broker->InsertStrategy(e);
  ASSERT_EQ(Orders(rb).size(), 1u);
  EXPECT_EQ(Orders(rb)[0].price, 3100);
  Step(market.Book(rb, 3101, 3103));  // the ask moves away: cancelled, sent again at 3102
  ASSERT_EQ(Orders(rb).size(), 2u);
  EXPECT_EQ(Orders(rb)[0].state, kStCancelled);
  EXPECT_EQ(Orders(rb)[1].price, 3102);
  EXPECT_EQ(Orders(rb)[1].state, kStQueued);
  Step(market.Book(rb, 3101, 3102));
  EXPECT_EQ(Orders(rb)[1].state, kStFilled);
  EXPECT_EQ(Strategy(seq).state, '4');

  StrategyEntry f = Spread(1, 1, 200, 2);
  f.legs[0].spreadTicks = -1;
  const int second = broker->InsertStrategy(f);
  ASSERT_EQ(Orders(rb).size(), 3u);
  std::string error;
  EXPECT_EQ(broker->CancelOrder("A", Field(Orders(rb)[2].key), &error), 0) << error;
  EXPECT_EQ(Strategy(second).state, '3');
  EXPECT_EQ(Strategy(second).errorText, TXT("A腿委托已撤"));
  ExpectInvariants();
}

TEST_F(StrategyTest, ARefusedLegEndsTheOrderInErrorAndCancelsTheOthers) {
  StrategyEntry e = Spread(1, 1, 200, 2);
  e.legs[0].spreadTicks = -1;  // rests
  e.legs[1].offset = 2;        // close what is not there
  const int seq = broker->InsertStrategy(e);
  EXPECT_EQ(Strategy(seq).state, '3');
  EXPECT_EQ(Strategy(seq).errorText, Format(TXT("B腿:%s"), BrokerErrorText(kErrNoPosition)));
  ASSERT_EQ(Orders(rb).size(), 1u);
  EXPECT_EQ(Orders(rb)[0].state, kStCancelled);
  ExpectInvariants();
}

TEST_F(StrategyTest, ALoopOrderComesBackAtItsSecondPriceAndClosesWhatItOpened) {
  StrategyEntry e = Spread(2, 1, 150, 2);  // buy at <= 150
  e.loopPrice = 160;
  e.loopCondition = 1;  // sell back at >= 160
  const int seq = broker->InsertStrategy(e);
  Step(market.Book(rb, 3099, 3100));
  EXPECT_EQ(Position("A", rb, 1).quantity, 1);
  EXPECT_EQ(Strategy(seq).unitsDone, 0);  // out, not back yet
  Step(market.Book(rb, 3099, 3100));
  EXPECT_EQ(Orders(rb).size(), 1u);  // waits for the loop price, not the first again
  Step(market.Book(rb, 3111, 3112));  // selling back: 3111 - 2951 = 160
  EXPECT_EQ(Position("A", rb, 1).quantity, 0);
  EXPECT_EQ(Position("A", m, 2).quantity, 0);
  ASSERT_EQ(Orders(rb).size(), 2u);
  EXPECT_EQ(Orders(rb)[1].direction, kSell);
  EXPECT_EQ(Orders(rb)[1].offset, kOffCloseToday);  // SHFE: today's lots close as such
  EXPECT_EQ(Strategy(seq).unitsDone, 1);
  Step(market.Book(rb, 3099, 3100));  // the second cycle
  Step(market.Book(rb, 3111, 3112));
  EXPECT_EQ(Strategy(seq).unitsDone, 2);
  EXPECT_EQ(Strategy(seq).state, '4');
  ExpectInvariants();
}

TEST_F(StrategyTest, StoppingCancelsTheWorkingLegsAndBadDefinitionsAreRefused) {
  StrategyEntry e = Spread(1, 1, 200, 2);
  e.legs[0].spreadTicks = -1;
  const int seq = broker->InsertStrategy(e);
  EXPECT_EQ(broker->StopStrategy("A", seq), 0);
  EXPECT_EQ(Strategy(seq).state, '5');
  EXPECT_EQ(Orders(rb)[0].state, kStCancelled);
  EXPECT_EQ(broker->StopStrategy("A", seq), kErrNotWorking);
  EXPECT_EQ(broker->StopStrategy("A", 99), kErrUnknownOrder);

  std::string error;
  StrategyEntry bad = Spread(1, 1, 200, 2);
  bad.formula = "A-C";  // no leg C
  EXPECT_EQ(broker->InsertStrategy(bad, &error), -1);
  EXPECT_EQ(error, TXT("策略公式错误"));
  bad = Spread(2, 3, 200, 2);
  EXPECT_EQ(broker->InsertStrategy(bad, &error), -1);
  bad = Spread(1, 1, 200, 2);
  bad.legCount = 1;
  EXPECT_EQ(broker->InsertStrategy(bad, &error), -1);
  bad = Spread(1, 1, 200, 5);
  EXPECT_EQ(broker->InsertStrategy(bad, &error), -1);
  std::vector<StrategyOrder> list;
  broker->GetStrategies("A", list);
  EXPECT_EQ(list.size(), 1u);
}

class StrategyStoreTest : public StrategyTest {
 protected:
  BrokerOptions Options() override {
    BrokerOptions o = StrategyTest::Options();
    o.storePath = dir.File("exchange/broker.db");
    return o;
  }
  TempDir dir;
};

TEST_F(StrategyStoreTest, ARestartInTheMiddleOfABatchCarriesOn) {
  StrategyEntry e = Spread(2, 1, 200, 2);
  e.type = 2;
  e.legs[0].spreadTicks = -1;
  e.payload = "library bytes";
  const int seq = broker->InsertStrategy(e);
  ASSERT_EQ(Orders(rb).size(), 1u);
  Reopen();
  EXPECT_EQ(Strategy(seq).state, '1');
  EXPECT_EQ(Strategy(seq).payload, "library bytes");
  Step(market.Book(rb, 3099, 3100));  // leg A fills after the restart: leg B follows
  ASSERT_EQ(Orders(m).size(), 1u);
  EXPECT_EQ(Strategy(seq).unitsDone, 1);
  Reopen();
  Step(market.Book(rb, 3099, 3100));  // the second unit: leg A rests at 3099
  EXPECT_EQ(Orders(rb).back().state, kStQueued);
  Reopen();
  Step(market.Book(rb, 3098, 3099));  // and fills after one more restart
  EXPECT_EQ(Strategy(seq).unitsDone, 2);
  EXPECT_EQ(Strategy(seq).state, '4');
  EXPECT_EQ(Position("A", m, 2).quantity, 2);
  ExpectInvariants();
}

TEST_F(StrategyStoreTest, ARunningOrderWhoseStoredStateIsDamagedEndsInErrorAtTheRestart) {
  StrategyEntry e = Spread(1, 1, -1000, 2);  // waits
  const int seq = broker->InsertStrategy(e);
  broker->RemoveListener(&log);
  broker.reset();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dir.File("exchange/broker.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE strategy_run SET data = x'0100000009'", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  Open();
  EXPECT_EQ(Strategy(seq).state, '3');
  EXPECT_EQ(Strategy(seq).errorText, TXT("策略单无法恢复"));
  Step(market.Book(rb, 1900, 1901));  // 1901 - 2950 would trigger it: nothing runs it
  EXPECT_TRUE(Orders(rb).empty());
}

TEST(SpreadFormula, ReadsTheLanguageAndRefusesWhatIsOutsideIt) {
  SpreadFormula f;
  const double legs[4] = {100, 95, 8, 2};
  ASSERT_TRUE(f.Parse("A-B", 3));
  EXPECT_DOUBLE_EQ(f.Evaluate(legs), 5);
  ASSERT_TRUE(f.Parse("2*A-3*B/2", 3));
  EXPECT_DOUBLE_EQ(f.Evaluate(legs), 200 - 142.5);
  ASSERT_TRUE(f.Parse("C/D/2", 15));
  EXPECT_DOUBLE_EQ(f.Evaluate(legs), 2);
  ASSERT_TRUE(f.Parse("A--2", 1));
  EXPECT_DOUBLE_EQ(f.Evaluate(legs), 102);
  ASSERT_TRUE(f.Parse("(A+B)/2-C*3", 7));
  EXPECT_DOUBLE_EQ(f.Evaluate(legs), 97.5 - 24);
  ASSERT_TRUE(f.Parse("((A))*-1.5", 1));
  EXPECT_DOUBLE_EQ(f.Evaluate(legs), -150);
  for (const char* bad : {"", "-A", "A-(-B)", "A+", "(A+B", "A B", "A)", "()", "1..2", ".5", "AB", "A-C", "a-b"})
    EXPECT_FALSE(f.Parse(bad, 3)) << bad;
  EXPECT_FALSE(f.Parse(std::string(SpreadFormula::kMaxText + 1, '1'), 3));
  std::string longest = "A";
  while (longest.size() + 2 <= SpreadFormula::kMaxText) longest += "+1";
  ASSERT_TRUE(f.Parse(longest, 1));
  EXPECT_DOUBLE_EQ(f.Evaluate(legs), 100 + (SpreadFormula::kMaxText - 1) / 2);
}

}  // namespace
}  // namespace tarn::test
