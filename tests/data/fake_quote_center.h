// A scriptable quote library for the tests of the terminal's clients: it records every call,
// answers as scripted, and lets a test deliver notifications to the handles it holds.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "data/quote_data_center.h"

namespace tarn::test {

inline DC_Contract MakeContract(const std::string& key, int value = 0, CommodityHandle commodity = 1) {
  DC_Contract c{};
  c.commodity = commodity;
  SetField(c.key, key);
  SetField(c.code, key);
  SetField(c.name, key);
  c.value = value;
  return c;
}

inline DC_Quote MakeQuote(const DC_Contract& c, float last, int volume = 0, int tradingDay = 20260105) {
  DC_Quote q{};
  q.contract = c;
  q.data.last = last;
  q.data.volume = volume;
  q.data.tradingDay = tradingDay;
  return q;
}

class FakeQuoteCenter : public IQuoteDataCenter {
 public:
  struct SubscribeCall {
    bool withListener;
    std::string key;
    bool withOut;
    int subscribe;
  };
  struct HistoryCall {
    bool withListener;
    std::string key;
    int kind, count, barCount, flag;
    int64_t start;
    BarStore* store;
  };

  FakeQuoteCenter() { SetQuoteDataCenter(this); }
  ~FakeQuoteCenter() override { SetQuoteDataCenter(nullptr); }

  // Scripts: the result of SubscribeQuote by key (default 0) and the snapshot it fills.
  std::map<std::string, int> subscribeResult;
  std::map<std::string, DC_Quote> snapshots;
  int historyResult = 1;

  int RegisterListener(const NotifyHandle& l) override {
    std::lock_guard<std::mutex> lock(mutex_);
    registered_.insert(l);
    ++registerCalls;
    return 0;
  }
  void UnregisterListener(const NotifyHandle& l) override {
    std::lock_guard<std::mutex> lock(mutex_);
    registered_.erase(l);
    ++unregisterCalls;
  }
  int SubscribeQuote(const NotifyHandle& l, const DC_Contract* c, DC_Quote* out, int subscribe) override {
    std::string key(c->Key());  // read before `out` is written: callers may pass the same buffer
    std::lock_guard<std::mutex> lock(mutex_);
    subscribeCalls.push_back({static_cast<bool>(l), key, out != nullptr, subscribe});
    int r = subscribeResult.count(key) ? subscribeResult[key] : 0;
    if (out && subscribe && r == 0) {
      auto it = snapshots.find(key);
      if (it != snapshots.end()) *out = it->second;
    }
    if (l && r >= 0) {
      if (subscribe) subscribers_[key].insert(l);
      else subscribers_[key].erase(l);
    }
    return r;
  }
  int RequestHistory(const NotifyHandle& l, const DC_Contract* c, int kind, int count, BarStore* store,
                     int barCount, int flag) override {
    std::lock_guard<std::mutex> lock(mutex_);
    historyCalls.push_back({static_cast<bool>(l), std::string(c->Key()), kind, count, barCount, flag, 0, store});
    return historyResult;
  }
  int CopyHistory(const DC_Contract*, int, int, BarStore*) override { return 0; }
  int GetTicks(const NotifyHandle&, std::vector<TickRecord>& out, const DC_Contract*) override {
    out.clear();
    return 0;
  }
  int GetQuoteDetail(const NotifyHandle&, int, std::vector<QuoteDetail>& out, const DC_Quote*) override {
    out.clear();
    return 0;
  }
  void Login(const NotifyHandle&, QuoteLoginParams) override {}
  int GetExchanges(DC_Exchange*, int) override { return 0; }
  int GetCommodities(DC_Commodity*, int, const char*) override { return 0; }
  int GetContracts(DC_Contract*, int, const char*) override { return 0; }
  int FindContract(DC_Contract*, const char*) override { return 0; }
  int GetContractsOf(DC_Contract*, int, const char*, int) override { return 0; }
  bool IsConnected() override { return true; }
  void Reconnect() override {}
  int64_t GetServerTime(int) override { return serverTime; }
  int RequestHistoryRange(const NotifyHandle& l, const DC_Contract* c, int64_t start, int barCount, int kind,
                          int count, BarStore* store) override {
    std::lock_guard<std::mutex> lock(mutex_);
    historyCalls.push_back({static_cast<bool>(l), std::string(c->Key()), kind, count, barCount, 0, start, store});
    return historyResult;
  }
  void ContractSettingChanged(DC_Contract) override {}
  void GetListNames(std::vector<std::string>& out) override { out.clear(); }
  void Logout() override {}
  const DC_Commodity* ResolveCommodity(CommodityHandle) override { return nullptr; }
  const DC_Exchange* ResolveExchange(ExchangeHandle) override { return nullptr; }

  // Delivers a quote to every handle subscribed to its contract, as the library's thread would.
  int DeliverQuote(const DC_Quote& q) {
    std::set<NotifyHandle> targets;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      targets = subscribers_[std::string(q.contract.Key())];
    }
    int last = 0;
    for (const NotifyHandle& h : targets) last = h->OnQuote(0, &q);
    return last;
  }
  std::vector<NotifyHandle> Registered() {
    std::lock_guard<std::mutex> lock(mutex_);
    return {registered_.begin(), registered_.end()};
  }
  std::size_t SubscriberCount(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    return subscribers_[key].size();
  }

  std::vector<SubscribeCall> subscribeCalls;
  std::vector<HistoryCall> historyCalls;
  int registerCalls = 0;
  int unregisterCalls = 0;
  int64_t serverTime = 1767571200;

 private:
  std::mutex mutex_;
  std::set<NotifyHandle> registered_;
  std::map<std::string, std::set<NotifyHandle>> subscribers_;
};

}  // namespace tarn::test
