// Local OCO pairs: the 1e-8 margins, one leg only, cancel and modify rules, several pairs in
// one update, and the dialog's checks.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "engine_fakes.h"
#include "engines/close_burst.h"
#include "engines/oco_forms.h"
#include "engines/oco_order.h"
#include "platform/clock.h"

namespace {

using namespace tarn::test;

class Seen : public IOCOOrderNotify {
 public:
  Seen() : IOCOOrderNotify(true) {}
  ~Seen() override { StopListening(); }
  void OnOcoOrderChanged(const OcoOrder& o) override { changes.push_back(o); }
  std::vector<OcoOrder> changes;
};

class OcoTest : public ::testing::Test {
 protected:
  OcoTest() {
    tarn::SetClock(&clock);
    quotes.AddCommodity(10, 1, "rb", "rb", 1.0, 0);
    rb = quotes.AddContract("SHFE|rb2601", 10);
    cu = quotes.AddContract("SHFE|cu2601", 10);
  }
  ~OcoTest() override { tarn::SetClock(nullptr); }
  OcoOrder Pair(const DC_Contract& c, double p1, double p2, int qty = 1) {
    OcoOrder o;
    o.contract = c;
    o.price1 = p1;
    o.price2 = p2;
    o.quantity = qty;
    o.directionA = 1;
    o.offsetA = 1;
    o.directionB = 2;
    o.offsetB = 2;
    return o;
  }
  void Quote(const DC_Contract& c, double last) {
    DC_Quote q = QuoteAt(c, last);
    manager->OnQuote(0, &q);
  }
  OcoOrder Get(int id) {
    std::vector<OcoOrder> all;
    manager->CopyAll(all);
    for (const OcoOrder& o : all)
      if (o.id == id) return o;
    return OcoOrder{};
  }

  tarn::ManualClock clock{1767225600000};
  EngineQuoteCenter quotes;
  EngineTradeApi trade;
  DC_Contract rb, cu;
  tarn::ScopedEngine<tarn::CloseBurstLedger> bursts;  // no burst left over from another test
  tarn::ScopedEngine<COCOOrderMgr> manager;
};

TEST_F(OcoTest, LevelsNeedToBeBrokenByMoreThanTheMargin) {
  const int a = manager->Add(Pair(rb, 100, 90, 3));
  const int b = manager->Add(Pair(cu, 100, 90, 4));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  Quote(rb, 100);
  Quote(cu, 90);
  EXPECT_TRUE(trade.inserted.empty());
  Quote(rb, 100.01);
  ASSERT_EQ(trade.inserted.size(), 1u);
  const OrderRecord& legA = trade.inserted[0];
  EXPECT_EQ(legA.contract.Key(), "SHFE|rb2601");
  EXPECT_EQ(legA.direction, 1);
  EXPECT_EQ(legA.offset, 1);
  EXPECT_EQ(legA.quantity, 3);
  EXPECT_EQ(legA.price, 0.0);
  EXPECT_EQ(legA.priceType, 1);
  EXPECT_EQ(legA.hidden, 0);
  EXPECT_EQ(Get(a).state, 1);
  Quote(cu, 89.99);
  ASSERT_EQ(trade.inserted.size(), 2u);
  EXPECT_EQ(trade.inserted[1].direction, 2);
  EXPECT_EQ(trade.inserted[1].offset, 2);
  EXPECT_EQ(Get(b).state, 2);
}

TEST_F(OcoTest, AClosingLegIsSplitWhereTodaysLotsNeedTheirOwnClose) {
  trade.closeToday = true;
  PositionRecord p = Position(rb, 3, 0);
  p.todayLong = 3;
  trade.positions = {p};
  manager->Add(Pair(rb, 100, 90, 3));  // leg B sells to close
  Quote(rb, 89);
  ASSERT_EQ(trade.inserted.size(), 1u);
  EXPECT_EQ(trade.inserted[0].offset, 3);
  manager->Add(Pair(rb, 100, 90, 2));  // leg A buys to open: as it is
  Quote(rb, 101);
  ASSERT_EQ(trade.inserted.size(), 2u);
  EXPECT_EQ(trade.inserted[1].offset, 1);
}

TEST_F(OcoTest, OneLegOnlyAndCancelRules) {
  Seen seen;
  const int a = manager->Add(Pair(rb, 100, 90));
  ASSERT_EQ(seen.changes.size(), 1u);
  EXPECT_EQ(seen.changes[0].state, 0);
  EXPECT_EQ(seen.changes[0].createdAt, 1767225600);
  Quote(rb, 101);
  Quote(rb, 80);  // the other leg never goes out
  EXPECT_EQ(trade.inserted.size(), 1u);
  ASSERT_EQ(seen.changes.size(), 2u);
  EXPECT_EQ(seen.changes[1].state, 1);
  manager->Cancel(a);  // a fired pair stays fired, silently
  EXPECT_EQ(Get(a).state, 1);
  EXPECT_EQ(seen.changes.size(), 2u);
  const int c = manager->Add(Pair(rb, 100, 90));
  manager->Cancel(c);
  EXPECT_EQ(Get(c).state, 3);
  EXPECT_EQ(seen.changes.back().state, 3);
  Quote(rb, 120);
  EXPECT_EQ(trade.inserted.size(), 1u);
  manager->Cancel(999);
  // Nothing without a contract; fired and cancelled pairs stay listed in id order.
  EXPECT_EQ(manager->Add(Pair(DC_Contract{}, 100, 90)), 0);
  std::vector<OcoOrder> all;
  manager->CopyAll(all);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].id, a);
  EXPECT_EQ(all[1].id, c);
}

TEST_F(OcoTest, ModifyKeepsTheIdAndOnlyAWatchingPairCanChange) {
  const int a = manager->Add(Pair(rb, 100, 90));
  clock.AdvanceMs(60000);
  OcoOrder edit = Get(a);
  edit.price1 = 200;
  edit.price2 = 150;
  edit.directionA = 2;
  edit.offsetB = 1;
  edit.quantity = 7;
  edit.contract = cu;
  EXPECT_TRUE(manager->Modify(edit));
  OcoOrder now = Get(a);
  EXPECT_EQ(now.id, a);
  EXPECT_EQ(now.createdAt, 1767225660);
  EXPECT_EQ(now.price1, 200);
  EXPECT_EQ(now.quantity, 7);
  EXPECT_EQ(manager->Count(), 1u);
  Quote(rb, 101);  // the old contract no longer fires it
  EXPECT_TRUE(trade.inserted.empty());
  Quote(cu, 201);
  ASSERT_EQ(trade.inserted.size(), 1u);
  EXPECT_EQ(trade.inserted[0].direction, 2);
  EXPECT_EQ(trade.inserted[0].quantity, 7);
  // Fired: an edit opened before it fired must not bring it back.
  OcoOrder stale = edit;
  stale.state = 0;
  EXPECT_FALSE(manager->Modify(stale));
  EXPECT_EQ(Get(a).state, 1);
  Quote(cu, 100);
  EXPECT_EQ(trade.inserted.size(), 1u);
  // An id never handed out is not stored either (it would be overwritten by a later add).
  OcoOrder unknown = Pair(rb, 100, 90);
  unknown.id = 5;
  EXPECT_FALSE(manager->Modify(unknown));
  EXPECT_EQ(manager->Count(), 1u);
}

TEST_F(OcoTest, SeveralPairsOfAContractFireInOneUpdateInIdOrder) {
  Seen seen;
  manager->Add(Pair(rb, 100, 90));
  manager->Add(Pair(rb, 95, 80));
  manager->Add(Pair(rb, 120, 99));  // breaks below price 2
  manager->Add(Pair(rb, 130, 50));  // untouched
  seen.changes.clear();
  Quote(rb, 98.5);
  ASSERT_EQ(trade.inserted.size(), 2u);
  ASSERT_EQ(seen.changes.size(), 2u);
  EXPECT_EQ(seen.changes[0].id, 2);
  EXPECT_EQ(seen.changes[0].state, 1);
  EXPECT_EQ(seen.changes[1].id, 3);
  EXPECT_EQ(seen.changes[1].state, 2);
  EXPECT_EQ(Get(1).state, 0);
  EXPECT_EQ(Get(4).state, 0);
}

TEST_F(OcoTest, QuotesWithoutAPriceOrWithAnotherStatusAreIgnored) {
  manager->Add(Pair(rb, 100, 0.5));
  Quote(rb, 0);  // below price 2, but no trade yet
  Quote(rb, std::numeric_limits<double>::infinity());
  DC_Quote q = QuoteAt(rb, 200);
  manager->OnQuote(1, &q);
  manager->OnQuote(0, nullptr);
  EXPECT_TRUE(trade.inserted.empty());
}

TEST_F(OcoTest, AListenerCancellingFromItsNotificationDoesNotDisturbTheWalk) {
  struct Canceller : IOCOOrderNotify {
    Canceller() : IOCOOrderNotify(true) {}
    ~Canceller() override { StopListening(); }
    void OnOcoOrderChanged(const OcoOrder& o) override {
      if (o.state == 1) COCOOrderMgr::Instance().Cancel(o.id + 1);
    }
  } canceller;
  manager->Add(Pair(rb, 100, 90));
  manager->Add(Pair(rb, 100, 90));
  manager->Add(Pair(rb, 100, 90));
  manager->Add(Pair(rb, 200, 90));
  Quote(rb, 101);
  // The quote fires the first three together (their orders are out before anyone is told);
  // a cancel from the notice finds them fired and leaves them so. The fourth still watches:
  // the first notice cancels nothing of it, the third's cancels it.
  EXPECT_EQ(trade.inserted.size(), 3u);
  EXPECT_EQ(Get(1).state, 1);
  EXPECT_EQ(Get(2).state, 1);
  EXPECT_EQ(Get(3).state, 1);
  EXPECT_EQ(Get(4).state, 3);
  Quote(rb, 201);
  EXPECT_EQ(trade.inserted.size(), 3u);
}

TEST_F(OcoTest, AListenerMayWaitForAnotherThreadThatCallsTheManager) {
  class Waiting : public IOCOOrderNotify {
   public:
    explicit Waiting(COCOOrderMgr& m) : IOCOOrderNotify(true), manager(m) {}
    ~Waiting() override {
      StopListening();
      for (std::thread& t : workers) t.join();
    }
    void OnOcoOrderChanged(const OcoOrder&) override {
      auto done = std::make_shared<std::promise<std::size_t>>();
      std::future<std::size_t> f = done->get_future();
      workers.emplace_back([this, done] { done->set_value(manager.Count()); });
      if (f.wait_for(std::chrono::seconds(2)) == std::future_status::ready) ++answered;
      else ++blocked;
    }
    COCOOrderMgr& manager;
    std::vector<std::thread> workers;
    int answered = 0, blocked = 0;
  };
  Waiting w(*manager);
  const int id = manager->Add(Pair(rb, 100, 90));
  OcoOrder edit = Get(id);
  edit.price1 = 101;
  EXPECT_TRUE(manager->Modify(edit));
  Quote(rb, 102);  // fires leg A
  const int second = manager->Add(Pair(rb, 200, 90));
  manager->Cancel(second);
  EXPECT_EQ(w.blocked, 0);
  EXPECT_EQ(w.answered, 5);
}

TEST_F(OcoTest, DialogTitlesBoxesAndChecks) {
  OcoOrder fresh = Pair(rb, 0, 0);
  EXPECT_EQ(tarn::OcoDialogTitle(fresh), TXT("添加OCO单"));
  tarn::OcoInputTexts t = tarn::OcoInputFor(fresh, 2);
  EXPECT_EQ(t.price1, "");
  EXPECT_EQ(t.sideA, 0);
  EXPECT_EQ(t.sideB, 1);
  EXPECT_EQ(t.offsetA, 0);
  EXPECT_EQ(t.offsetB, 0);
  // From an order panel: prices and quantity given, the combos keep the defaults.
  OcoOrder prefilled = Pair(rb, 3500, 3500, 2);
  prefilled.directionA = 2;
  t = tarn::OcoInputFor(prefilled, 1);
  EXPECT_EQ(t.price1, "3500.0");
  EXPECT_EQ(t.price2, "3500.0");
  EXPECT_EQ(t.quantity, "2");
  EXPECT_EQ(t.sideA, 0);

  OcoOrder o = prefilled;
  EXPECT_EQ(tarn::CheckOcoInput(t, &o), TXT("价格1必须大于价格2"));
  t.price2 = "3400";
  t.quantity = "0";
  EXPECT_EQ(tarn::CheckOcoInput(t, &o), TXT("数量错误"));
  t.quantity = "x";
  t.price1 = "";
  EXPECT_EQ(tarn::CheckOcoInput(t, &o), TXT("价格1必须大于价格2"));  // prices are checked first
  t = tarn::OcoInputTexts{"5", "3600.5", "3400", 1, 0, 1, 0};
  ASSERT_FALSE(tarn::CheckOcoInput(t, &o));
  EXPECT_EQ(o.quantity, 5);
  EXPECT_EQ(o.price1, 3600.5);
  EXPECT_EQ(o.directionA, 2);
  EXPECT_EQ(o.directionB, 1);
  EXPECT_EQ(o.offsetA, 2);
  EXPECT_EQ(o.offsetB, 1);

  o.id = 0;
  EXPECT_FALSE(tarn::SubmitOco(o));
  OcoOrder added = Get(1);
  ASSERT_EQ(added.id, 1);
  EXPECT_EQ(tarn::OcoDialogTitle(added), TXT("修改OCO单"));
  t = tarn::OcoInputFor(added, 0);
  EXPECT_EQ(t.sideA, 1);
  EXPECT_EQ(t.offsetA, 1);
  EXPECT_EQ(t.offsetB, 0);
  added.quantity = 9;
  EXPECT_FALSE(tarn::SubmitOco(added));
  EXPECT_EQ(Get(1).quantity, 9);
  EXPECT_EQ(manager->Count(), 1u);
}

TEST_F(OcoTest, SubmittingWithoutAContractOrEditingAFiredPairIsRefusedAloud) {
  // A panel without a contract: nothing is added, and the dialog says why.
  OcoOrder none = Pair(DC_Contract{}, 100, 90);
  EXPECT_EQ(tarn::SubmitOco(none), TXT("无效合约"));
  EXPECT_EQ(manager->Count(), 0u);
  // The pair fires while its edit dialog is open: the edit is refused with a message and the
  // fired pair keeps its state and levels.
  ASSERT_FALSE(tarn::SubmitOco(Pair(rb, 100, 90)));
  OcoOrder editing = Get(1);
  Quote(rb, 101);
  editing.price1 = 150;
  EXPECT_EQ(tarn::SubmitOco(editing), TXT("该OCO单已触发或已撤销,不能修改"));
  EXPECT_EQ(Get(1).state, 1);
  EXPECT_EQ(Get(1).price1, 100);
  // So is an edit of a cancelled pair.
  ASSERT_FALSE(tarn::SubmitOco(Pair(rb, 100, 90)));
  manager->Cancel(2);
  editing = Get(2);
  editing.quantity = 3;
  EXPECT_EQ(tarn::SubmitOco(editing), TXT("该OCO单已触发或已撤销,不能修改"));
}

}  // namespace
