#include "libs/tradeapi/embedded.h"

namespace tarn::tradeapi {

EmbeddedTradeLibrary::EmbeddedTradeLibrary(const EmbeddedTradeOptions& options) : options_(options) {
  link_ = std::make_unique<exchange::InProcessTradeLink>(*options.exchange, options.broker);
  if (options.network) remote_ = std::make_unique<net::NetTradeLink>(options.networkSettings);
  center_ = std::make_unique<TradeCenter>(link_.get(), remote_.get());
  if (options.install) SetTradeApi(center_.get());
}

EmbeddedTradeLibrary::~EmbeddedTradeLibrary() {
  if (options_.install && GetTradeApi() == center_.get()) SetTradeApi(nullptr);
  link_->SetSink(nullptr);
  if (remote_) remote_->SetSink(nullptr);
  center_.reset();
  remote_.reset();
  link_.reset();
}

exchange::Broker& EmbeddedTradeLibrary::Broker() { return options_.exchange->OpenBroker(options_.broker); }

void EmbeddedTradeLibrary::WaitDelivered() {
  // The broker's work posts notifications, and a listener's call may give the broker more: two
  // rounds, so that whatever the first round's deliveries caused is delivered too.
  for (int round = 0; round < 2; ++round) {
    if (exchange::Broker* b = options_.exchange->GetBroker()) b->WaitIdle();
    center_->WaitDelivered();
  }
}

std::unique_ptr<EmbeddedTradeLibrary> CreateEmbedded(const EmbeddedTradeOptions& options) {
  if (!options.exchange) return nullptr;
  return std::make_unique<EmbeddedTradeLibrary>(options);
}

std::unique_ptr<EmbeddedTradeLibrary> CreateEmbedded(exchange::EmbeddedExchange& exchange) {
  EmbeddedTradeOptions options;
  options.exchange = &exchange;
  return CreateEmbedded(options);
}

}  // namespace tarn::tradeapi
