// The embedded exchange with its paper-trading broker, logged in with the demo account and driven
// by a manual clock: a test advances the market step by step and waits for every notification.
// The market's seed and history length are the fixture's arguments, since tests rely on the
// prices their seed gives.
#pragma once

#include <gtest/gtest.h>

#include <mutex>

#include "data/data_listener.h"
#include "data/quote_data_center.h"
#include "libs/quotedata/embedded.h"
#include "libs/tradeapi/embedded.h"
#include "platform/clock.h"
#include "support/test_support.h"

namespace tarn::test {

// 2025-12-08 10:00 exchange time, a Monday.
constexpr int64_t kMonday = 1765159200000LL;

class QuoteLogin : public CDataListener {
 public:
  ~QuoteLogin() override { Detach(); }
  void OnLoginResult(int code, const std::string&) override {
    std::lock_guard<std::mutex> lock(m);
    last = code;
  }
  std::mutex m;
  int last = 0;
};

class TradeLogin : public CTradeListener {
 public:
  TradeLogin() : CTradeListener(false) { StartListening(); }
  ~TradeLogin() override { StopListening(); }
  void OnTradeLogin(int code, const std::string&, const AccountTexts&) override {
    std::lock_guard<std::mutex> lock(m);
    last = code;
  }
  std::mutex m;
  int last = 0;
};

class EmbeddedTrading : public ::testing::Test {
 protected:
  explicit EmbeddedTrading(uint64_t seed = 5, int historyDays = 30) : seed_(seed), historyDays_(historyDays) {}
  void SetUp() override {
    quotedata::EmbeddedOptions q;
    q.seed = seed_;
    q.historyDays = historyDays_;
    q.manualClock = &clock;
    q.dataDir = home.path() + "/user/exchange";
    quotes = quotedata::CreateEmbedded(q);
    tradeapi::EmbeddedTradeOptions t;
    t.exchange = &quotes->Exchange();
    t.broker.hashCost = exchange::HashCost::Minimal;
    trades = tradeapi::CreateEmbedded(t);
    tradeLogin.StartListening();  // the library exists only now
    quoteLogin.Register();
    quotes->Center().Login(quoteLogin.Handle(), QuoteLoginParams{"opers", "472quark918", "tarn-embedded", 0});
    quotes->WaitDelivered();
    {
      std::lock_guard<std::mutex> lock(quoteLogin.m);
      ASSERT_EQ(quoteLogin.last, 1);
    }
    GetTradeApi()->Login(AccountTexts{"", "8001", "888888"}, "tarn-embedded", 7200, "tarn-embedded", 7200);
    Wait();
    std::lock_guard<std::mutex> lock(tradeLogin.m);
    ASSERT_EQ(tradeLogin.last, 1);
  }
  void TearDown() override {
    quoteLogin.Detach();
    tradeLogin.StopListening();
    trades.reset();
    quotes.reset();
  }
  void Wait() {
    quotes->WaitDelivered();
    trades->WaitDelivered();
  }
  void Step(int steps = 1) {
    for (int i = 0; i < steps; ++i) quotes->Advance(500);
    Wait();
  }
  DC_Contract Contract(const char* key) {
    DC_Contract c{};
    EXPECT_GT(quotes->Center().FindContract(&c, key), 0) << key;
    return c;
  }
  // A commodity's main month ("EXCHANGE|code"), from the library's "HOT" list.
  DC_Contract MainMonth(const std::string& prefix) {
    const int n = quotes->Center().GetContracts(nullptr, 0, "HOT");
    std::vector<DC_Contract> list(static_cast<std::size_t>(std::max(n, 0)));
    quotes->Center().GetContracts(list.data(), n, "HOT");
    for (const DC_Contract& c : list) {
      const std::string_view key = c.Key();
      if (key.substr(0, prefix.size()) == prefix && key.size() > prefix.size() && key[prefix.size()] >= '0' &&
          key[prefix.size()] <= '9')
        return c;
    }
    return DC_Contract{};
  }
  DC_Quote Quote(const DC_Contract& c) {
    DC_Quote q{};
    quotes->Center().SubscribeQuote(NotifyHandle(), &c, &q, 1);
    return q;
  }
  double Last(const DC_Contract& c) { return Quote(c).data.last; }
  std::vector<OrderRecord> OrdersOf(const DC_Contract& c) {
    std::vector<OrderRecord> all, out;
    GetTradeApi()->GetOrders(all);
    for (const OrderRecord& o : all)
      if (o.contract.SameKey(c)) out.push_back(o);
    return out;
  }
  int64_t Held(const DC_Contract& c) {
    std::vector<PositionRecord> positions;
    GetTradeApi()->GetPositions(positions);
    int64_t n = 0;
    for (const PositionRecord& p : positions)
      if (p.contract.SameKey(c)) n += p.longQuantity + p.shortQuantity;
    return n;
  }
  // The contract's lots summed over its position records.
  PositionRecord PositionOf(const DC_Contract& c) {
    std::vector<PositionRecord> positions;
    GetTradeApi()->GetPositions(positions);
    PositionRecord sum{};
    for (const PositionRecord& p : positions) {
      if (!p.contract.SameKey(c)) continue;
      sum.longQuantity += p.longQuantity;
      sum.shortQuantity += p.shortQuantity;
      sum.todayLong += p.todayLong;
      sum.todayShort += p.todayShort;
      sum.longMargin += p.longMargin;
    }
    return sum;
  }
  static OrderRecord Market(const DC_Contract& c, int direction, int offset, int quantity) {
    OrderRecord o = ZeroRecord<OrderRecord>();
    o.contract = c;
    o.direction = direction;
    o.offset = offset;
    o.quantity = quantity;
    o.priceType = 1;
    return o;
  }

  ScopedHome home;
  ManualClock clock{kMonday};
  std::unique_ptr<quotedata::EmbeddedQuoteLibrary> quotes;
  std::unique_ptr<tradeapi::EmbeddedTradeLibrary> trades;
  QuoteLogin quoteLogin;
  TradeLogin tradeLogin;

 private:
  uint64_t seed_;
  int historyDays_;
};

}  // namespace tarn::test
