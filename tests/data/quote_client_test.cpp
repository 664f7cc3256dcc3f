#include <gtest/gtest.h>

#include "data/data_listener.h"
#include "fake_quote_center.h"

namespace tarn::test {
namespace {

class RecordingClient : public CQuoteDataClient {
 public:
  ~RecordingClient() override { Detach(); }
  int OnQuote(int status, const DC_Quote* q) override {
    quotes.push_back(*q);
    statuses.push_back(status);
    return 7;
  }
  std::vector<DC_Quote> quotes;
  std::vector<int> statuses;
};

TEST(QuoteClient, FirstSubscriptionRegistersAndDeliversTheImmediateSnapshot) {
  FakeQuoteCenter center;
  DC_Contract c = MakeContract("rb2510");
  center.snapshots["rb2510"] = MakeQuote(c, 3500.0f, 10);
  RecordingClient client;
  EXPECT_EQ(client.Subscribe(c), 1);
  EXPECT_EQ(center.registerCalls, 1);
  ASSERT_EQ(center.subscribeCalls.size(), 1u);
  EXPECT_TRUE(center.subscribeCalls[0].withListener);
  ASSERT_EQ(client.quotes.size(), 1u);
  EXPECT_EQ(client.statuses[0], 0);
  EXPECT_FLOAT_EQ(client.quotes[0].data.last, 3500.0f);
  EXPECT_TRUE(client.IsSubscribed("rb2510"));
}

TEST(QuoteClient, SecondSubscriptionAsksWithoutListenerAndKeepsOneEntry) {
  FakeQuoteCenter center;
  DC_Contract c = MakeContract("cu2511");
  RecordingClient client;
  client.Subscribe(c);
  client.Subscribe(c);
  ASSERT_EQ(center.subscribeCalls.size(), 2u);
  EXPECT_FALSE(center.subscribeCalls[1].withListener);
  EXPECT_TRUE(center.subscribeCalls[1].withOut);
  EXPECT_EQ(client.SubscriptionCount(), 1u);
  EXPECT_EQ(client.quotes.size(), 2u);  // both answered 0, both delivered
  EXPECT_EQ(center.registerCalls, 1);
}

TEST(QuoteClient, RefusedAndDeferredSubscriptions) {
  FakeQuoteCenter center;
  RecordingClient client;
  center.subscribeResult["bad"] = -1;
  center.subscribeResult["later"] = 1;
  EXPECT_EQ(client.Subscribe(MakeContract("bad")), 0);
  EXPECT_FALSE(client.IsSubscribed("bad"));
  EXPECT_EQ(client.Subscribe(MakeContract("later")), 1);
  EXPECT_TRUE(client.IsSubscribed("later"));
  EXPECT_TRUE(client.quotes.empty());  // the snapshot follows by notification
  center.DeliverQuote(MakeQuote(MakeContract("later"), 12.5f));
  ASSERT_EQ(client.quotes.size(), 1u);
}

TEST(QuoteClient, UnsubscribeAndUnsubscribeAll) {
  FakeQuoteCenter center;
  RecordingClient client;
  client.Subscribe(MakeContract("a"));
  client.Subscribe(MakeContract("b"));
  client.Unsubscribe(MakeContract("a"));
  EXPECT_FALSE(client.IsSubscribed("a"));
  EXPECT_EQ(center.subscribeCalls.back().subscribe, 0);
  EXPECT_FALSE(center.subscribeCalls.back().withOut);
  std::size_t calls = center.subscribeCalls.size();
  client.Unsubscribe(MakeContract("zzz"));  // not subscribed: no call
  EXPECT_EQ(center.subscribeCalls.size(), calls);
  client.UnsubscribeAll();
  EXPECT_EQ(client.SubscriptionCount(), 0u);
  EXPECT_EQ(center.SubscriberCount("b"), 0u);
}

TEST(QuoteClient, ConnectionDropClearsEveryRowAndReconnectReReads) {
  FakeQuoteCenter center;
  RecordingClient client;
  DC_Contract a = MakeContract("a"), b = MakeContract("b");
  center.snapshots["a"] = MakeQuote(a, 1.0f);
  client.Subscribe(a);
  client.Subscribe(b);
  client.quotes.clear();
  client.OnConnectState(0, 0, 0);  // state below 1 with flag 0: down
  ASSERT_EQ(client.quotes.size(), 2u);
  for (const DC_Quote& q : client.quotes) {
    DC_QuoteData zero{};
    EXPECT_EQ(std::memcmp(&q.data, &zero, sizeof zero), 0);
    EXPECT_FALSE(q.contract.Empty());
  }
  client.quotes.clear();
  client.OnConnectState(0, 0, -1);  // negative state: down too
  EXPECT_EQ(client.quotes.size(), 2u);
  client.quotes.clear();
  std::size_t calls = center.subscribeCalls.size();
  client.OnConnectState(0, 1, 0);  // flag set: up, every snapshot is read again
  EXPECT_EQ(center.subscribeCalls.size(), calls + 2);
  EXPECT_FALSE(center.subscribeCalls.back().withListener);
  ASSERT_EQ(client.quotes.size(), 2u);
  EXPECT_FLOAT_EQ(client.quotes[0].data.last, 1.0f);
}

TEST(QuoteClient, NotificationsAfterDestructionAreDroppedAndIntsReturnMinusOne) {
  FakeQuoteCenter center;
  NotifyHandle kept;
  {
    RecordingClient client;
    client.Subscribe(MakeContract("x"));
    kept = client.Handle();
    DC_Quote live = MakeQuote(MakeContract("x"), 2.0f);
    EXPECT_EQ(kept->OnQuote(0, &live), 7);
  }
  DC_Quote q = MakeQuote(MakeContract("x"), 1.0f);
  EXPECT_EQ(kept->OnQuote(0, &q), -1);
  EXPECT_EQ(kept->OnHistory(0, nullptr), -1);
  kept->OnConnectState(0, 0, 0);  // dropped silently
  EXPECT_TRUE(center.Registered().empty());
  EXPECT_EQ(center.SubscriberCount("x"), 0u);
}

}  // namespace
}  // namespace tarn::test
