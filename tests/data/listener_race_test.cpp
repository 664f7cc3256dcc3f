// Notifications race the destruction of their listeners on several threads: a notification in
// flight finishes before the listener's state goes, and none arrives afterwards. Run under
// ThreadSanitizer as well (TARN_SANITIZE=thread).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "data/data_listener.h"
#include "data/trade_api.h"
#include "fake_quote_center.h"
#include "fake_trade_api.h"

namespace tarn::test {
namespace {

std::atomic<int> g_violations{0};
std::atomic<long> g_delivered{0};

class GuardedClient : public CQuoteDataClient {
 public:
  GuardedClient() : alive_(kAlive) {}
  ~GuardedClient() override {
    Detach();
    alive_.store(0);
  }
  int OnQuote(int, const DC_Quote*) override {
    if (alive_.load() != kAlive) g_violations++;
    g_delivered++;
    return 0;
  }

 private:
  static constexpr int kAlive = 0x5AFE;
  std::atomic<int> alive_;
};

TEST(ListenerRace, QuoteNotificationsRacingDestruction) {
  FakeQuoteCenter center;
  g_violations = 0;
  g_delivered = 0;
  std::atomic<bool> stop{false};
  DC_Contract c = MakeContract("rb2510");
  DC_Quote q = MakeQuote(c, 3500.0f);
  std::vector<std::thread> deliverers;
  for (int t = 0; t < 3; ++t)
    deliverers.emplace_back([&] {
      while (!stop.load()) {
        for (const NotifyHandle& h : center.Registered()) {
          h->OnQuote(0, &q);
          h->OnConnectState(0, 1, 1);
        }
      }
    });
  std::vector<std::thread> owners;
  for (int t = 0; t < 2; ++t)
    owners.emplace_back([&] {
      for (int i = 0; i < 400; ++i) {
        auto client = std::make_unique<GuardedClient>();
        client->Subscribe(c);
        std::this_thread::yield();
        client.reset();
      }
    });
  for (auto& t : owners) t.join();
  stop = true;
  for (auto& t : deliverers) t.join();
  EXPECT_EQ(g_violations.load(), 0);
  EXPECT_GT(g_delivered.load(), 0);
  EXPECT_TRUE(center.Registered().empty());
}

class GuardedTradeListener : public CTradeListener {
 public:
  // Listens only once its own members exist.
  GuardedTradeListener() : CTradeListener(false) { StartListening(); }
  ~GuardedTradeListener() override {
    StopListening();
    alive_.store(0);
  }
  void OnOrder(const OrderRecord*, const AccountTexts&) override {
    if (alive_.load() != 1) g_violations++;
    g_delivered++;
  }

 private:
  std::atomic<int> alive_{1};
};

TEST(ListenerRace, TradeNotificationsRacingDestruction) {
  FakeTradeApi api;
  g_violations = 0;
  g_delivered = 0;
  std::atomic<bool> stop{false};
  OrderRecord o{};
  std::thread deliverer([&] {
    while (!stop.load()) api.Notify([&](ITradeNotify* l) { l->OnOrder(&o, AccountTexts{}); });
  });
  std::vector<std::thread> owners;
  for (int t = 0; t < 2; ++t)
    owners.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        auto l = std::make_unique<GuardedTradeListener>();
        std::this_thread::yield();
        l.reset();
      }
    });
  for (auto& t : owners) t.join();
  stop = true;
  deliverer.join();
  EXPECT_EQ(g_violations.load(), 0);
  EXPECT_EQ(api.listeners.Size(), 0u);
}

}  // namespace
}  // namespace tarn::test
