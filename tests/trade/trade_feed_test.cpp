// The trade feed over a scripted library: records applied by identity, one wake per burst, each
// window's own change set, other accounts' notifications left out, reloads, and no wake after a
// window has gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/text.h"
#include "trade/feed/trade_feed.h"
#include "trade_fakes.h"

namespace tarn::test {
namespace {

class Window : public ITradeFeedClient {
 public:
  void OnTradeFeedChanged() override { ++wakes; }
  std::atomic<int> wakes{0};
};

FillRecord TestFill(const char* number, const char* code, int quantity) {
  FillRecord f{};
  SetField(f.fillNumber, number);
  f.contract = TestContract(code);
  f.direction = 1;
  f.offset = 1;
  f.quantity = quantity;
  return f;
}

class Feed : public ::testing::Test {
 protected:
  void SetUp() override {
    api.orders = {TestOrder("A", "rb2601", 2), TestOrder("B", "au2602", 2)};
    api.fills = {TestFill("F1", "rb2601", 1)};
  }
  template <class F>
  void Notify(F&& f) {
    api.Notify(std::forward<F>(f));
  }
  GridFakeApi api;
  AccountTexts account{"", "", ""};
};

TEST_F(Feed, FirstTakeIsTheWholeListsThenOnlyWhatChanged) {
  TradeFeed feed;
  Window w;
  feed.AddClient(&w);
  TradeChangeSet first = feed.Take(&w);
  EXPECT_TRUE(first.reload);
  ASSERT_EQ(first.orders.size(), 2u);
  EXPECT_EQ(first.fills.size(), 1u);
  EXPECT_TRUE(feed.Take(&w).Empty());
  // A fill: its order's new state, the fill record, the positions and the funds, as the
  // library tells them; the lists are not read again.
  const int reads = api.listCalls;
  OrderRecord filled = api.orders[1];
  filled.state = 4;
  const FillRecord fill = TestFill("F2", "au2602", 1);
  Notify([&](ITradeNotify* l) {
    l->OnOrder(&filled, account);
    l->OnFill(&fill, account);
    l->OnPositions(account, true);
    l->OnAccountUpdate(1, account);
  });
  EXPECT_EQ(w.wakes, 1);  // one wake for the burst
  TradeChangeSet set = feed.Take(&w);
  EXPECT_FALSE(set.reload);
  ASSERT_EQ(set.orders.size(), 1u);
  EXPECT_EQ(set.orders[0].Key(), "B");
  EXPECT_EQ(set.orders[0].state, 4);
  ASSERT_EQ(set.fills.size(), 1u);
  EXPECT_EQ(Field(set.fills[0].fillNumber), "F2");
  EXPECT_TRUE(set.positions);
  EXPECT_TRUE(set.positionsComplete);
  EXPECT_TRUE(set.funds);
  EXPECT_EQ(api.listCalls, reads);
  // The feed's own list: B replaced in place, the new order at the end.
  OrderRecord c = TestOrder("C", "cu2603", 0);
  Notify([&](ITradeNotify* l) { l->OnOrder(&c, account); });
  EXPECT_EQ(w.wakes, 2);
  const std::vector<OrderRecord> orders = feed.Orders();
  ASSERT_EQ(orders.size(), 3u);
  EXPECT_EQ(orders[1].state, 4);
  EXPECT_EQ(orders[2].Key(), "C");
  EXPECT_EQ(feed.Fills().size(), 2u);
}

TEST_F(Feed, EachWindowTakesItsOwnChangesAndAFillIsToldOnce) {
  TradeFeed feed;
  Window grid, panel;
  feed.AddClient(&grid);
  feed.AddClient(&panel);
  feed.Take(&grid);
  feed.Take(&panel);
  OrderRecord a = api.orders[0];
  a.state = 3;
  Notify([&](ITradeNotify* l) { l->OnOrder(&a, account); });
  a.state = 4;  // the same order again before the grid looked: one record, the latest
  Notify([&](ITradeNotify* l) { l->OnOrder(&a, account); });
  const TradeChangeSet g = feed.Take(&grid);
  ASSERT_EQ(g.orders.size(), 1u);
  EXPECT_EQ(g.orders[0].state, 4);
  EXPECT_EQ(grid.wakes, 1);
  // The panel has not looked: its set is still there, and another change does not wake it twice.
  Notify([&](ITradeNotify* l) { l->OnTradeText(TXT("报单失败:合约不可交易"), account); });
  EXPECT_EQ(panel.wakes, 1);
  EXPECT_EQ(grid.wakes, 2);
  const TradeChangeSet p = feed.Take(&panel);
  ASSERT_EQ(p.orders.size(), 1u);
  EXPECT_EQ(p.texts, std::vector<std::string>{TXT("报单失败:合约不可交易")});
  // A fill the lists already hold (read after it happened) is not added again.
  const FillRecord again = api.fills[0];
  Notify([&](ITradeNotify* l) { l->OnFill(&again, account); });
  EXPECT_TRUE(feed.Take(&panel).fills.empty());
  EXPECT_EQ(feed.Fills().size(), 1u);
}

TEST_F(Feed, OtherAccountsRefreshesAndSelections) {
  SetField(api.funds.account, "8001");
  TradeFeed feed;
  Window w;
  feed.AddClient(&w);
  feed.Take(&w);
  // An order of another account of the login is not this account's list.
  OrderRecord other = TestOrder("X", "rb2601", 2);
  Notify([&](ITradeNotify* l) { l->OnOrder(&other, AccountTexts{"", "8002", ""}); });
  Notify([&](ITradeNotify* l) { l->OnOrder(&other, AccountTexts{"", "8001", ""}); });
  const TradeChangeSet set = feed.Take(&w);
  ASSERT_EQ(set.orders.size(), 1u);
  EXPECT_EQ(feed.Orders().size(), 3u);
  // A refresh (or an order notification without a record) reads the lists afresh.
  api.orders = {TestOrder("Z", "rb2601", 4)};
  Notify([](ITradeNotify* l) { l->OnTradeRefresh(); });
  TradeChangeSet reload = feed.Take(&w);
  EXPECT_TRUE(reload.reload);
  ASSERT_EQ(reload.orders.size(), 1u);
  EXPECT_EQ(reload.orders[0].Key(), "Z");
  api.orders.push_back(TestOrder("Y", "rb2601", 4));
  Notify([&](ITradeNotify* l) { l->OnOrder(nullptr, account); });
  EXPECT_EQ(feed.Take(&w).orders.size(), 2u);
  // The last contract chosen elsewhere.
  Notify([](ITradeNotify* l) {
    l->OnContractSelected(TestContract("rb2601"), 1, 3500);
    l->OnContractSelected(TestContract("au2602"), 2, 560.5);
  });
  const TradeChangeSet chosen = feed.Take(&w);
  ASSERT_TRUE(chosen.choice.has_value());
  EXPECT_EQ(chosen.choice->contract.Code(), "au2602");
  EXPECT_DOUBLE_EQ(chosen.choice->price, 560.5);
}

TEST_F(Feed, AWindowThatHasGoneIsNeverWoken) {
  TradeFeed feed;
  auto w = std::make_unique<Window>();
  feed.AddClient(w.get());
  std::atomic<bool> stop{false};
  // The library's thread keeps notifying while the window goes.
  std::thread library([&] {
    OrderRecord o = TestOrder("A", "rb2601", 2);
    for (int i = 0; i < 200000 && !stop; ++i) {
      o.quantity = i;
      feed.OnOrder(&o, AccountTexts{});
      if (i % 50 == 0) std::this_thread::yield();
    }
  });
  // Let the library's thread be under way (bounded wait), taking as a window does.
  for (int i = 0; i < 2000 && w->wakes < 3; ++i) {
    feed.Take(w.get());
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  feed.RemoveClient(w.get());
  const int wakes = w->wakes;
  w.reset();  // a wake now would touch freed memory (the sanitizer build sees it)
  stop = true;
  library.join();
  EXPECT_GE(wakes, 1);
  EXPECT_TRUE(feed.Take(reinterpret_cast<ITradeFeedClient*>(0x10)).Empty());
}

TEST_F(Feed, SharedByTheWindowsAndEndedWithTheLast) {
  std::shared_ptr<TradeFeed> a = TradeFeed::Acquire();
  std::shared_ptr<TradeFeed> b = TradeFeed::Acquire();
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(api.listeners.Size(), 1u);
  a.reset();
  b.reset();
  EXPECT_EQ(api.listeners.Size(), 0u);
}

}  // namespace
}  // namespace tarn::test
