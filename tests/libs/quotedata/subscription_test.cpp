#include <atomic>
#include <cmath>
#include <random>

#include "embedded_fixture.h"

namespace tarn::test {
namespace {

class QuoteRecorder : public CQuoteDataClient {
 public:
  ~QuoteRecorder() override { Detach(); }
  int OnQuote(int status, const DC_Quote* q) override {
    std::lock_guard<std::mutex> lock(m);
    quotes.push_back(*q);
    (void)status;
    threads.push_back(std::this_thread::get_id());
    return 0;
  }
  std::size_t Count() {
    std::lock_guard<std::mutex> lock(m);
    return quotes.size();
  }
  std::mutex m;
  std::vector<DC_Quote> quotes;
  std::vector<std::thread::id> threads;
};

class SubscriptionTest : public EmbeddedTest {
 protected:
  void SetUp() override {
    EmbeddedTest::SetUp();
    ASSERT_EQ(LoginDefault(login), 1);
  }
  Recorder login;
};

TEST_F(SubscriptionTest, SnapshotAtOnceThenOneEvery500MsOnTheLibraryThread) {
  QuoteRecorder client;
  DC_Contract c = Contract("SHFE|rbMI");
  ASSERT_EQ(client.Subscribe(c), 1);
  ASSERT_EQ(client.Count(), 1u);  // the immediate snapshot, delivered by the client itself
  const DC_QuoteData first = client.quotes[0].data;
  EXPECT_EQ(first.tradingDay, 20251208);
  EXPECT_GT(first.last, 2000.0f);
  EXPECT_LT(first.last, 5000.0f);
  EXPECT_GT(first.volume, 0);
  Step(6);
  ASSERT_EQ(client.Count(), 7u);  // a busy main contract publishes every step
  for (std::size_t i = 1; i < client.quotes.size(); ++i) {
    EXPECT_NE(client.threads[i], std::this_thread::get_id());
    EXPECT_EQ(client.quotes[i].contract.Key(), c.Key());
    EXPECT_GE(client.quotes[i].data.volume, client.quotes[i - 1].data.volume);
    EXPECT_EQ(client.quotes[i].data.updateTime * 1000 + client.quotes[i].data.updateMs,
              client.quotes[i - 1].data.updateTime * 1000 + client.quotes[i - 1].data.updateMs + 500);
  }
  client.Unsubscribe(c);
  Step(4);
  EXPECT_EQ(client.Count(), 7u);
  EXPECT_EQ(lib->Exchange().Get()->Watchers(lib->Exchange().Get()->GetCatalogue().Find(c.Key())), 0);
}

TEST_F(SubscriptionTest, FarMonthsPublishOnlyWhenTheyTrade) {
  const int n = Q().GetContracts(nullptr, 0, "SHFE|rb");
  std::vector<DC_Contract> rb(n);
  Q().GetContracts(rb.data(), n, "SHFE|rb");
  std::vector<std::unique_ptr<QuoteRecorder>> clients;
  for (int i = 0; i < n - 2; ++i) {  // the months, without MI and IDX
    clients.push_back(std::make_unique<QuoteRecorder>());
    clients.back()->Subscribe(rb[i]);
  }
  Step(600);
  int busy = 0, rare = 0;
  for (auto& c : clients) {
    const std::size_t count = c->Count() - 1;  // without the immediate snapshot
    if (count == 600) ++busy;
    if (count > 0 && count < 300) ++rare;
    EXPECT_LE(count, 600u);
  }
  EXPECT_GE(busy, 1);  // the main month at every step
  EXPECT_GE(rare, 1);  // other months only when they trade
}

TEST_F(SubscriptionTest, TheContractMayAliasTheOutputBuffer) {
  DC_Quote buf = ZeroRecord<DC_Quote>();
  buf.contract = Contract("CFFEX|IFMI");
  EXPECT_EQ(Q().SubscribeQuote(NotifyHandle(), &buf.contract, &buf, 1), 0);
  EXPECT_EQ(buf.contract.Key(), "CFFEX|IFMI");
  EXPECT_GT(buf.data.last, 1000.0f);
  EXPECT_GT(buf.data.upperLimit, buf.data.last);
}

TEST_F(SubscriptionTest, RecordPricesLieOnTheTickGrid) {
  for (const char* key : {"SHFE|auMI", "CFFEX|TMI", "CFFEX|IFMI", "DCE|iMI", "NYMEX|NGMI", "SHFE|auIDX"}) {
    DC_Contract c = Contract(key);
    const double tick = Q().ResolveCommodity(c.commodity)->tickSize;
    DC_Quote q{};
    ASSERT_EQ(Q().SubscribeQuote(NotifyHandle(), &c, &q, 1), 0);
    // Within what a float holds (and so printed exactly with the commodity's decimals).
    auto onGrid = [&](float p) {
      const double n = p / tick;
      return std::fabs(n - std::round(n)) < 1e-2;
    };
    EXPECT_TRUE(onGrid(q.data.last)) << key << " " << q.data.last;
    EXPECT_TRUE(onGrid(q.data.upperLimit)) << key;
    EXPECT_TRUE(onGrid(q.data.lowerLimit)) << key;
    for (int j = 0; j < 10; ++j) {
      if (q.data.bidPrice[j] > 0) {
        EXPECT_TRUE(onGrid(q.data.bidPrice[j])) << key;
        EXPECT_LE(q.data.bidPrice[j], q.data.askPrice[0]) << key;
        EXPECT_GE(q.data.bidPrice[j], q.data.lowerLimit) << key;
      }
      if (q.data.askPrice[j] > 0) {
        EXPECT_TRUE(onGrid(q.data.askPrice[j])) << key;
        EXPECT_LE(q.data.askPrice[j], q.data.upperLimit) << key;
      }
    }
    EXPECT_LT(q.data.bidPrice[0], q.data.askPrice[0]) << key;
    EXPECT_GT(q.data.averagePrice, q.data.low - 1) << key;
    EXPECT_LT(q.data.averagePrice, q.data.high + 1) << key;
  }
}

// A listener that calls back into the library from inside its notifications.
class Reentrant : public CQuoteDataClient {
 public:
  ~Reentrant() override { Detach(); }
  int OnQuote(int, const DC_Quote* q) override {
    IQuoteDataCenter* center = GetQuoteDataCenter();
    DC_Quote again = *q;
    center->SubscribeQuote(NotifyHandle(), &again.contract, &again, 1);
    std::vector<TickRecord> ticks;
    center->GetTicks(Handle(), ticks, &q->contract);
    std::vector<QuoteDetail> details;
    center->GetQuoteDetail(Handle(), 0, details, q);
    BarStore store;
    center->CopyHistory(&q->contract, 3, 1, &store);
    if (!subscribedSecond.exchange(true)) Subscribe(second);
    calls++;
    return 0;
  }
  void OnTickData(const DC_Contract*) override { tickNotes++; }
  DC_Contract second{};
  std::atomic<bool> subscribedSecond{false};
  std::atomic<int> calls{0};
  std::atomic<int> tickNotes{0};
};

TEST_F(SubscriptionTest, ListenersMayCallAnyOperationFromInsideANotification) {
  Reentrant r;
  r.second = Contract("DCE|mMI");
  DC_Contract c = Contract("SHFE|agMI");
  DC_Quote q{};
  r.Register();
  ASSERT_EQ(Q().SubscribeQuote(r.Handle(), &c, &q, 1), 0);
  Step(10);
  EXPECT_GE(r.calls.load(), 10);
  EXPECT_TRUE(r.IsSubscribed("DCE|mMI"));
  EXPECT_GT(r.tickNotes.load(), 0);  // GetTicks with a listener asks for new-tick notes
}

TEST_F(SubscriptionTest, ConcurrentListenersSubscribeAndUnsubscribeWhileTheMarketRuns) {
  std::vector<DC_Contract> all;
  for (const char* list : {"SHFE", "DCE", "CFFEX"}) {
    const int n = Q().GetContracts(nullptr, 0, list);
    std::vector<DC_Contract> v(n);
    Q().GetContracts(v.data(), n, list);
    all.insert(all.end(), v.begin(), v.end());
  }
  std::atomic<bool> stop{false};
  std::thread market([&] {
    while (!stop) lib->Advance(500);
  });
  std::vector<std::thread> workers;
  std::atomic<int> quotes{0};
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      std::mt19937 rng(w);
      for (int round = 0; round < 30; ++round) {
        QuoteRecorder client;
        for (int i = 0; i < 20; ++i) client.Subscribe(all[rng() % all.size()]);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (const DC_Contract& c : client.Subscriptions())
          if (rng() % 2) client.Unsubscribe(c);
        quotes += static_cast<int>(client.Count());
      }  // destroyed with live subscriptions: it must never be called afterwards
    });
  }
  for (auto& t : workers) t.join();
  stop = true;
  market.join();
  lib->WaitDelivered();
  EXPECT_GT(quotes.load(), 0);
  exchange::Market* m = lib->Exchange().Get();
  for (const DC_Contract& c : all) EXPECT_EQ(m->Watchers(m->GetCatalogue().Find(c.Key())), 0) << c.Key();
}

}  // namespace
}  // namespace tarn::test
