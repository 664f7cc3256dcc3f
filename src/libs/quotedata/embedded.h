// The entry point of the embedded quote library: the market inside the terminal's process,
// its in-process link and the IQuoteDataCenter over it, owned together.
//
//   auto quotes = tarn::quotedata::CreateEmbedded(options);   // installs SetQuoteDataCenter
//   ... GetQuoteDataCenter()->Login(listener, {"opers", "472quark918", "tarn-embedded", 0});
//
// Tests pass a ManualClock: the market then moves only when the test calls Advance, and
// WaitDelivered returns once every notification caused so far has been delivered.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "libs/exchange/embedded_exchange.h"
#include "libs/net/net_links.h"
#include "libs/quotedata/quote_center.h"
#include "platform/clock.h"

namespace tarn::quotedata {

struct EmbeddedOptions {
  uint64_t seed = 20250101;       // of a new market
  int historyDays = 365;          // history of a new market, in days
  bool realSessions = false;      // follow the exchanges' hours (default: always open)
  tarn::ManualClock* manualClock = nullptr;  // tests: the market moves only on Advance
  std::string dataDir;            // native folder of the store; empty: Path("\\user\\exchange")
  bool persist = true;            // keep the market's store
  bool install = true;            // SetQuoteDataCenter on creation (and nullptr on destruction)
  const std::vector<exchange::CommoditySpec>* specs = nullptr;  // nullptr: the standard catalogue
  bool network = true;            // logins to any other host go to an exchange server
  net::LinkSettings networkSettings;
};

class EmbeddedQuoteLibrary {
 public:
  explicit EmbeddedQuoteLibrary(const EmbeddedOptions& options);
  ~EmbeddedQuoteLibrary();
  EmbeddedQuoteLibrary(const EmbeddedQuoteLibrary&) = delete;
  EmbeddedQuoteLibrary& operator=(const EmbeddedQuoteLibrary&) = delete;

  IQuoteDataCenter& Center() { return *center_; }
  exchange::EmbeddedExchange& Exchange() { return *exchange_; }
  // The link's fault switch: DropLink, SetRefuseLogins, SetDelayMs.
  exchange::InProcessLink& Link() { return *link_; }
  // The network link (nullptr without one).
  net::NetMarketLink* NetworkLink() { return remote_.get(); }
  // The library's notification thread (for the embedded broker's notifications).
  Dispatcher& NotificationThread() { return center_->NotificationThread(); }

  // Manual clock: moves the clock and the market by `ms`. A step of more than two minutes
  // jumps (one snapshot per watched contract) instead of publishing every 500 ms step.
  void Advance(int64_t ms);
  // Returns once every notification caused so far has been delivered.
  void WaitDelivered();

 private:
  EmbeddedOptions options_;
  std::unique_ptr<exchange::EmbeddedExchange> exchange_;
  std::unique_ptr<exchange::InProcessLink> link_;
  std::unique_ptr<net::NetMarketLink> remote_;
  std::unique_ptr<QuoteCenter> center_;
};

std::unique_ptr<EmbeddedQuoteLibrary> CreateEmbedded(const EmbeddedOptions& options = {});

}  // namespace tarn::quotedata
