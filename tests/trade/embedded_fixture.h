// The embedded exchange with its paper-trading broker on a manual clock, logged in with the
// demo account, for the order routines' end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "data/data_listener.h"
#include "libs/quotedata/embedded.h"
#include "libs/tradeapi/embedded.h"
#include "support/test_support.h"

namespace tarn::test {

// 2025-12-08 10:00 exchange time, a Monday.
constexpr int64_t kEmbeddedMonday = 1765159200000LL;

class EmbeddedQuoteLogin : public CDataListener {
 public:
  ~EmbeddedQuoteLogin() override { Detach(); }
  void OnLoginResult(int code, const std::string&) override {
    std::lock_guard<std::mutex> lock(m);
    last = code;
  }
  std::mutex m;
  int last = 0;
};

class EmbeddedTradeLogin : public CTradeListener {
 public:
  EmbeddedTradeLogin() : CTradeListener(false) {}
  ~EmbeddedTradeLogin() override { StopListening(); }
  void OnTradeLogin(int code, const std::string&, const AccountTexts&) override {
    std::lock_guard<std::mutex> lock(m);
    last = code;
  }
  std::mutex m;
  int last = 0;
};

class EmbeddedBroker : public ::testing::Test {
 protected:
  void SetUp() override {
    quotedata::EmbeddedOptions q;
    q.seed = 11;
    q.historyDays = 20;
    q.manualClock = &clock;
    q.dataDir = home.path() + "/user/exchange";
    quotes = quotedata::CreateEmbedded(q);
    tradeapi::EmbeddedTradeOptions t;
    t.exchange = &quotes->Exchange();
    t.broker.hashCost = exchange::HashCost::Minimal;
    trades = tradeapi::CreateEmbedded(t);
    tradeLogin.StartListening();
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
  std::vector<OrderRecord> OrdersOf(const DC_Contract& c) {
    std::vector<OrderRecord> all, out;
    GetTradeApi()->GetOrders(all);
    for (const OrderRecord& o : all)
      if (o.contract.SameKey(c)) out.push_back(o);
    return out;
  }
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

  ScopedHome home;
  ManualClock clock{kEmbeddedMonday};
  std::unique_ptr<quotedata::EmbeddedQuoteLibrary> quotes;
  std::unique_ptr<tradeapi::EmbeddedTradeLibrary> trades;
  EmbeddedQuoteLogin quoteLogin;
  EmbeddedTradeLogin tradeLogin;
};

}  // namespace tarn::test
