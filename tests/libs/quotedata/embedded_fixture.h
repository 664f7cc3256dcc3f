// A fresh embedded quote library on a manual clock, in a temporary program directory, and a
// listener that records what it hears.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/data_listener.h"
#include "libs/quotedata/embedded.h"
#include "support/test_support.h"

namespace tarn::test {

// 2025-12-08 10:00 exchange time (02:00 UTC), a Monday.
constexpr int64_t kMondayTenAm = 1765159200000LL;

class Recorder : public CDataListener {
 public:
  ~Recorder() override { Detach(); }
  int OnQuote(int status, const DC_Quote* q) override {
    std::lock_guard<std::mutex> lock(m);
    quotes.push_back(*q);
    statuses.push_back(status);
    threads.push_back(std::this_thread::get_id());
    return 0;
  }
  int OnHistory(int error, const HistoryReply* r) override {
    std::lock_guard<std::mutex> lock(m);
    histories.push_back({error, *r});
    return 1;
  }
  void OnLoginResult(int code, const std::string& text) override {
    std::lock_guard<std::mutex> lock(m);
    logins.push_back({code, text});
  }
  void OnConnectionLost(int reason) override {
    std::lock_guard<std::mutex> lock(m);
    lost.push_back(reason);
  }
  void OnTickData(const DC_Contract* c) override {
    std::lock_guard<std::mutex> lock(m);
    tickKeys.emplace_back(c->Key());
  }
  void OnConnectState(int x, int flag, int state) override {
    (void)x;
    std::lock_guard<std::mutex> lock(m);
    states.push_back({flag, state});
  }
  void OnContractReset(DC_Contract c) override {
    std::lock_guard<std::mutex> lock(m);
    resets.emplace_back(c.Key());
  }
  std::size_t QuoteCount() {
    std::lock_guard<std::mutex> lock(m);
    return quotes.size();
  }

  std::mutex m;
  std::vector<DC_Quote> quotes;
  std::vector<int> statuses;
  std::vector<std::thread::id> threads;
  std::vector<std::pair<int, HistoryReply>> histories;
  std::vector<std::pair<int, std::string>> logins;
  std::vector<int> lost;
  std::vector<std::string> tickKeys;
  std::vector<std::pair<int, int>> states;
  std::vector<std::string> resets;
};

class EmbeddedTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(); }
  void Open(uint64_t seed = 7) {
    quotedata::EmbeddedOptions o;
    o.seed = seed;
    o.historyDays = 60;
    o.manualClock = &clock;
    o.dataDir = home.path() + "/user/exchange";
    lib = quotedata::CreateEmbedded(o);
  }
  IQuoteDataCenter& Q() { return lib->Center(); }
  // Logs in with the default quote account and waits for the answer.
  int LoginDefault(Recorder& r) {
    r.Register();
    Q().Login(r.Handle(), QuoteLoginParams{"opers", "472quark918", "tarn-embedded", 0});
    lib->WaitDelivered();
    std::lock_guard<std::mutex> lock(r.m);
    return r.logins.empty() ? 99 : r.logins.back().first;
  }
  DC_Contract Contract(const char* key) {
    DC_Contract c{};
    EXPECT_GT(Q().FindContract(&c, key), 0) << key;
    return c;
  }
  void Step(int steps) {
    for (int i = 0; i < steps; ++i) lib->Advance(500);
    lib->WaitDelivered();
  }

  ScopedHome home;
  ManualClock clock{kMondayTenAm};
  std::unique_ptr<quotedata::EmbeddedQuoteLibrary> lib;
};

}  // namespace tarn::test
