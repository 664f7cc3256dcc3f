// The embedded exchange: the market running inside the terminal's process, its persistence and
// the clock that drives it, the paper-trading broker that trades against it, and the in-process
// link over which the quote library reaches it (the trading library reaches the broker over
// InProcessTradeLink, broker_link.h).
//
// The market is opened on the first login: its parameters (seed, first history day) come from
// its store when one exists, so that a restart continues the same market, or from the
// configuration when it is new. With a real clock a driver thread advances the market at every
// 500 ms step; with a manual clock a test calls Advance and nothing runs by itself.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "libs/exchange/broker/broker.h"
#include "libs/exchange/broker/broker_market.h"
#include "libs/exchange/link.h"
#include "libs/exchange/market/market.h"
#include "libs/exchange/market/market_store.h"
#include "platform/clock.h"
#include "platform/sync.h"

namespace tarn::exchange {

struct ExchangeConfig {
  std::string dataDir;         // native folder of the store; empty: no persistence
  uint64_t seed = 20250101;    // for a new market
  int historyDays = 365;       // for a new market: days of history before its first day
  bool realSessions = false;   // follow the exchanges' hours instead of trading around the clock
  const tarn::Clock* clock = nullptr;  // nullptr: the terminal's clock
  bool manualClock = false;    // no driver thread: the owner calls Advance
  const std::vector<CommoditySpec>* specs = nullptr;
};

class EmbeddedExchange : public IMarketListener {
 public:
  explicit EmbeddedExchange(ExchangeConfig config);
  ~EmbeddedExchange() override;
  EmbeddedExchange(const EmbeddedExchange&) = delete;
  EmbeddedExchange& operator=(const EmbeddedExchange&) = delete;

  // Opens the market once; later calls return it. Thread-safe.
  Market& Open();
  // Opens the broker once (and the market with it); later calls return it, whatever their
  // options. Its store is "broker.db" in the exchange's folder unless the options name one;
  // without a folder it keeps nothing. Thread-safe.
  Broker& OpenBroker(const BrokerOptions& options);
  // The broker, or nullptr before OpenBroker.
  Broker* GetBroker() const { return broker_.load(std::memory_order_acquire); }
  // The market, or nullptr before Open.
  Market* Get() const { return market_.load(std::memory_order_acquire); }
  // Manual clock: runs the market up to the clock's time.
  void AdvanceToClock();
  const tarn::Clock& ClockInUse() const { return config_.clock ? *config_.clock : tarn::GetClock(); }
  const ExchangeConfig& Config() const { return config_; }
  MarketStore* Store() { return store_.get(); }

  void OnMarketEvents(const std::vector<MarketEvent>& events) override;
  // Waits for the ledger of a settled day that is still being written (tests).
  void WaitLedger();

 private:
  void DriverLoop();
  void WriteLedger();

  ExchangeConfig config_;
  tarn::CriticalSection openMutex_;
  std::unique_ptr<MarketStore> store_;
  std::unique_ptr<Market> owned_;
  std::atomic<Market*> market_{nullptr};
  std::unique_ptr<MarketFeed> feed_;
  std::unique_ptr<Broker> ownedBroker_;
  std::atomic<Broker*> broker_{nullptr};
  std::thread driver_;
  std::thread ledger_;  // writes a settled day's ledger, off the thread that advances the market
  std::mutex ledgerMutex_;
  std::mutex driverMutex_;
  std::condition_variable driverCv_;
  bool stop_ = false;
};

// The in-process link: the quote account rules of the embedded exchange, and the fault switch
// that tests use to drop the link, refuse logins and delay answers.
class InProcessLink final : public IMarketLink, public IMarketListener {
 public:
  // The quote account the embedded exchange accepts.
  static constexpr const char* kQuoteUser = "opers";
  static constexpr const char* kQuotePassword = "472quark918";

  explicit InProcessLink(EmbeddedExchange& exchange);
  ~InProcessLink() override;

  bool Open(const LinkLogin& login, const std::function<void(const std::string&)>& progress,
            std::string& error) override;
  bool Reopen(std::string& error) override;
  void Close() override;
  bool IsUp() const override { return up_.load(); }
  int LatencyMs() const override { return delayMs_.load(); }
  const Catalogue& GetCatalogue() const override;
  void SetSink(ILinkSink* sink) override;
  void Watch(ContractId id, bool on) override;
  bool GetSnapshot(ContractId id, Snapshot& out) override;
  bool GetBars(ContractId id, Period period, int64_t endSec, int count, std::vector<Bar>& out) override;
  bool GetTicks(ContractId id, std::vector<Tick>& out) override;
  bool GetRecentTrades(ContractId id, int max, std::vector<Tick>& out) override;
  ContractId MainMonth(int commodity) override;
  int64_t NowMs() override;

  void OnMarketEvents(const std::vector<MarketEvent>& events) override;

  // Fault injection.
  void DropLink();                        // the link goes down now
  void SetRefuseLogins(bool refuse) { refuse_ = refuse; }
  void SetDelayMs(int ms) { delayMs_ = ms < 0 ? 0 : ms; }

 private:
  bool Check(const LinkLogin& login, std::string& error);
  void Sleep();

  EmbeddedExchange& exchange_;
  Market* market_ = nullptr;
  std::atomic<bool> up_{false};
  std::atomic<bool> refuse_{false};
  std::atomic<int> delayMs_{0};
  LinkLogin last_;
  tarn::CriticalSection sinkMutex_;
  ILinkSink* sink_ = nullptr;
  std::atomic<bool> listening_{false};
};

}  // namespace tarn::exchange
