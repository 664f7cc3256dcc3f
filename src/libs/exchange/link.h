// The link between a quote library and an exchange.
//
// The quote library talks to the market only through IMarketLink, so that the in-process link
// of the embedded exchange and the network link to a standalone exchange server (later) are
// interchangeable: neither the library's interface nor the engine changes. A link delivers the
// market's events to its sink on the link's own thread, outside every lock of the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "libs/exchange/catalogue.h"
#include "libs/exchange/market/market.h"

namespace tarn::exchange {

struct LinkLogin {
  std::string user;
  std::string password;
  std::string host;
  int port = 0;
};

class ILinkSink {
 public:
  virtual ~ILinkSink() = default;
  // A batch of market events, in market order.
  virtual void OnLinkEvents(const std::vector<MarketEvent>& events) = 0;
  // The link went down (1: dropped).
  virtual void OnLinkDown(int reason) = 0;
};

class IMarketLink {
 public:
  virtual ~IMarketLink() = default;

  // Opens the session (blocking; the library calls it on its own thread). `progress` receives
  // the texts shown while logging in. False with `error` set when refused.
  virtual bool Open(const LinkLogin& login, const std::function<void(const std::string&)>& progress,
                    std::string& error) = 0;
  // Opens again with the last login (after the link dropped).
  virtual bool Reopen(std::string& error) = 0;
  virtual void Close() = 0;
  virtual bool IsUp() const = 0;
  // Time an answer takes to come back; above 0 the library answers requests asynchronously.
  virtual int LatencyMs() const = 0;

  // Valid after the first successful Open, unchanged for the link's life.
  virtual const Catalogue& GetCatalogue() const = 0;
  virtual void SetSink(ILinkSink* sink) = 0;

  // Interest in a contract's live snapshots (counted).
  virtual void Watch(ContractId id, bool on) = 0;
  virtual bool GetSnapshot(ContractId id, Snapshot& out) = 0;
  virtual bool GetBars(ContractId id, Period period, int64_t endSec, int count, std::vector<Bar>& out) = 0;
  virtual bool GetTicks(ContractId id, std::vector<Tick>& out) = 0;
  virtual bool GetRecentTrades(ContractId id, int max, std::vector<Tick>& out) = 0;
  virtual ContractId MainMonth(int commodity) = 0;
  virtual int64_t NowMs() = 0;
};

}  // namespace tarn::exchange
