#include <gtest/gtest.h>

#include "data/data_listener.h"
#include "fake_quote_center.h"

namespace tarn::test {
namespace {

struct Owner : IHisDataNotify {
  struct Event {
    std::string key;
    int status, a, b;
  };
  void OnHisDataEvent(const DC_Contract* c, int status, int a, int b) override {
    events.push_back({std::string(c->Key()), status, a, b});
  }
  void OnHisDataReset(int x, int flag, int state) override { resets.push_back(x * 100 + flag * 10 + state); }
  void OnHisDataExtra(int a, int b, int c, int d, int e) override { extras.push_back(a + b + c + d + e); }
  std::vector<Event> events;
  std::vector<int> resets;
  std::vector<int> extras;
};

HistoryReply Reply(const DC_Contract& c, int kind, int count, int value, int a = 0, int b = 0) {
  return HistoryReply{c, kind, count, value, a, b};
}

TEST(HisClient, RequestCallsTheLibraryInOrderAndReportsItsResult) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  EXPECT_EQ(client.Request(DC_Contract{}, 100, &owner, 3, 1), -1);  // empty key
  DC_Contract c = MakeContract("rb2510", 77);
  center.historyResult = 1;
  EXPECT_EQ(client.Request(c, 500, &owner, 1, 1), 1);
  ASSERT_EQ(center.historyCalls.size(), 1u);
  EXPECT_EQ(center.historyCalls[0].flag, 1);  // period kind 1 asks with 1
  EXPECT_EQ(center.historyCalls[0].barCount, 500);
  EXPECT_EQ(center.historyCalls[0].store, &client.Store());
  EXPECT_EQ(client.Store().contract.Key(), "rb2510");
  EXPECT_TRUE(center.subscribeCalls.back().withListener);
  EXPECT_FALSE(client.Answered());
  center.historyResult = 0;
  EXPECT_EQ(client.Request(c, 10, &owner, 3, 5), 0);
  EXPECT_EQ(center.historyCalls.back().flag, 0);
  EXPECT_TRUE(client.Answered());
}

TEST(HisClient, RepliesMustMatchContractPeriodAndValue) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  DC_Contract c = MakeContract("cu2511", 9);
  client.Request(c, 100, &owner, 3, 5);
  HistoryReply other = Reply(MakeContract("cu2512", 9), 3, 5, 9);
  EXPECT_EQ(client.OnHistory(0, &other), 0);
  HistoryReply wrongPeriod = Reply(c, 3, 1, 9);
  EXPECT_EQ(client.OnHistory(0, &wrongPeriod), 0);
  HistoryReply wrongValue = Reply(c, 3, 5, 8);
  EXPECT_EQ(client.OnHistory(0, &wrongValue), 0);
  EXPECT_TRUE(owner.events.empty());
  HistoryReply good = Reply(c, 3, 5, 9, 11, 12);
  EXPECT_EQ(client.OnHistory(0, &good), 1);
  ASSERT_EQ(owner.events.size(), 1u);
  EXPECT_EQ(owner.events[0].status, 1);
  EXPECT_EQ(owner.events[0].a, 11);
  EXPECT_EQ(owner.events[0].b, 12);
  EXPECT_TRUE(client.Answered());
  // An error reply reports status 0.
  EXPECT_EQ(client.OnHistory(1, nullptr), 0);
  EXPECT_EQ(owner.events.back().status, 0);
}

TEST(HisClient, TimeShareAcceptsOnlyOneMinuteReplies) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  DC_Contract c = MakeContract("IF2512", 3);
  client.Request(c, 100, &owner, 0, 1);
  HistoryReply same = Reply(c, 0, 1, 3);
  EXPECT_EQ(client.OnHistory(0, &same), 0);
  HistoryReply minute = Reply(c, 3, 1, 3);
  EXPECT_EQ(client.OnHistory(0, &minute), 1);
}

TEST(HisClient, SameTradingDayVolumeRules) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  DC_Contract c = MakeContract("a", 0);
  center.historyResult = 0;
  client.Request(c, 100, &owner, 3, 3);  // period count 3
  DC_Quote q = MakeQuote(c, 10.0f, 100, 20260105);
  EXPECT_EQ(client.OnQuote(0, &q), 1);
  q.data.volume = 99;  // lower: ignored
  EXPECT_EQ(client.OnQuote(0, &q), 0);
  q.data.volume = 100;  // equal with count above 2: ignored
  EXPECT_EQ(client.OnQuote(0, &q), 0);
  q.data.volume = 101;
  EXPECT_EQ(client.OnQuote(0, &q), 1);
  q.data.tradingDay = 20260106;  // a new day restarts the count
  q.data.volume = 5;
  EXPECT_EQ(client.OnQuote(0, &q), 1);
  EXPECT_EQ(owner.events.size(), 3u);

  CHisDataClient small;
  Owner owner2;
  small.Request(c, 100, &owner2, 3, 1);
  DC_Quote s = MakeQuote(c, 10.0f, 50);
  EXPECT_EQ(small.OnQuote(0, &s), 1);
  EXPECT_EQ(small.OnQuote(0, &s), 1);  // equal volume with count 1 still counts
}

TEST(HisClient, UnansweredQuotesAndIdleClient) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  DC_Contract c = MakeContract("a");
  DC_Quote q = MakeQuote(c, 1.0f, 1);
  EXPECT_EQ(client.OnQuote(0, &q), 0);  // idle
  center.historyResult = 1;
  client.Request(c, 10, &owner, 3, 1);
  EXPECT_EQ(client.OnQuote(0, &q), 1);  // not answered yet: 1 at once, no event
  EXPECT_TRUE(owner.events.empty());
}

TEST(HisClient, TickDataResetsAndExtras) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  DC_Contract c = MakeContract("a");
  client.Request(c, 10, &owner, 1, 1);
  DC_Contract other = MakeContract("b");
  client.OnTickData(&other);
  EXPECT_TRUE(owner.events.empty());
  client.OnTickData(&c);
  ASSERT_EQ(owner.events.size(), 1u);
  EXPECT_TRUE(client.Answered());
  client.OnConnectState(1, 2, 3);
  EXPECT_EQ(owner.resets, std::vector<int>{123});
  client.OnContractReset(other);
  EXPECT_EQ(owner.resets.size(), 1u);
  client.OnContractReset(c);
  EXPECT_EQ(owner.resets.back(), 0);
  client.OnExtra(1, 2, 3, 4, 5);
  EXPECT_EQ(owner.extras, std::vector<int>{15});
}

TEST(HisClient, StopUnsubscribesAndEmptiesTheStore) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  DC_Contract c = MakeContract("a");
  client.Request(c, 10, &owner, 3, 1);
  {
    Lock lock(client.Store().mutex);
    client.Store().bars.push_back(DC_KData{});
  }
  client.Stop();
  EXPECT_TRUE(client.Idle());
  EXPECT_EQ(client.Store().Size(), 0u);
  EXPECT_EQ(center.subscribeCalls.back().subscribe, 0);
  EXPECT_TRUE(client.Contract().Empty());
  HistoryReply r = Reply(c, 3, 1, 0);
  EXPECT_EQ(client.OnHistory(0, &r), 0);  // ignored while idle
  EXPECT_TRUE(owner.events.empty());
}

TEST(HisClient, RangeRequestPassesStartAndStore) {
  FakeQuoteCenter center;
  CHisDataClient client;
  Owner owner;
  DC_Contract c = MakeContract("a");
  EXPECT_EQ(client.RequestRange(c, 1767000000, 300, &owner, 5, 1), 1);
  ASSERT_EQ(center.historyCalls.size(), 1u);
  EXPECT_EQ(center.historyCalls[0].start, 1767000000);
  EXPECT_EQ(center.historyCalls[0].barCount, 300);
  EXPECT_EQ(center.historyCalls[0].store, &client.Store());
}

TEST(TimeServer, AnswersTheLibrarysServerTime) {
  FakeQuoteCenter center;
  center.serverTime = 1234;
  CTimeServer ts;
  EXPECT_EQ(ts.ServerTime(), 1234);
  EXPECT_EQ(ts.Slot5(), 0);
}

}  // namespace
}  // namespace tarn::test
