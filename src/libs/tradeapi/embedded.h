// The entry point of the embedded trading library: the paper-trading broker of the embedded
// exchange, its in-process trade link and the ITradeApi over it, owned together. The exchange
// is shared with the embedded quote library, so that both trade and show the same market:
//
//   auto quotes = tarn::quotedata::CreateEmbedded(quoteOptions);    // owns the exchange
//   tarn::tradeapi::EmbeddedTradeOptions options;
//   options.exchange = &quotes->Exchange();
//   auto trades = tarn::tradeapi::CreateEmbedded(options);         // installs SetTradeApi
//   ... GetTradeApi()->Login({"", "8001", "888888"}, "tarn-embedded", 7200, "tarn-embedded", 7200);
//
// The trading library must go before the quote library (it uses the exchange that one owns).
// Tests run the market on the quote library's ManualClock: Advance, then WaitDelivered, which
// returns once the broker has worked off the market's steps so far and every notification they
// caused has been delivered.
#pragma once

#include <memory>

#include "libs/exchange/broker_link.h"
#include "libs/exchange/embedded_exchange.h"
#include "libs/net/net_links.h"
#include "libs/tradeapi/trade_center.h"

namespace tarn::tradeapi {

struct EmbeddedTradeOptions {
  exchange::EmbeddedExchange* exchange = nullptr;  // required: the quote library's exchange
  exchange::BrokerOptions broker;                  // the broker's, when this library opens it
  bool install = true;                             // SetTradeApi on creation (nullptr on destruction)
  bool network = true;                             // logins to any other host go to an exchange server
  net::LinkSettings networkSettings;
};

class EmbeddedTradeLibrary {
 public:
  explicit EmbeddedTradeLibrary(const EmbeddedTradeOptions& options);
  ~EmbeddedTradeLibrary();
  EmbeddedTradeLibrary(const EmbeddedTradeLibrary&) = delete;
  EmbeddedTradeLibrary& operator=(const EmbeddedTradeLibrary&) = delete;

  ITradeApi& Api() { return *center_; }
  TradeCenter& Center() { return *center_; }
  // The link's fault switch: DropLink, SetRefuseLogins, SetDelayMs.
  exchange::InProcessTradeLink& Link() { return *link_; }
  // The network link (nullptr without one).
  net::NetTradeLink* NetworkLink() { return remote_.get(); }
  // The broker (opened by the first login, or now).
  exchange::Broker& Broker();

  // Returns once the market's steps so far are worked off and their notifications delivered.
  void WaitDelivered();

 private:
  EmbeddedTradeOptions options_;
  std::unique_ptr<exchange::InProcessTradeLink> link_;
  std::unique_ptr<net::NetTradeLink> remote_;
  std::unique_ptr<TradeCenter> center_;
};

std::unique_ptr<EmbeddedTradeLibrary> CreateEmbedded(const EmbeddedTradeOptions& options);
// The same over an exchange with the broker's default options.
std::unique_ptr<EmbeddedTradeLibrary> CreateEmbedded(exchange::EmbeddedExchange& exchange);

}  // namespace tarn::tradeapi
