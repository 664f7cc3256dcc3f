#include "libs/quotedata/embedded.h"

#include "platform/program_dir.h"

namespace tarn::quotedata {

EmbeddedQuoteLibrary::EmbeddedQuoteLibrary(const EmbeddedOptions& options) : options_(options) {
  exchange::ExchangeConfig config;
  if (options.persist) config.dataDir = options.dataDir.empty() ? tarn::Path("\\user\\exchange") : options.dataDir;
  config.seed = options.seed;
  config.historyDays = options.historyDays;
  config.realSessions = options.realSessions;
  config.clock = options.manualClock;
  config.manualClock = options.manualClock != nullptr;
  config.specs = options.specs;
  exchange_ = std::make_unique<exchange::EmbeddedExchange>(config);
  link_ = std::make_unique<exchange::InProcessLink>(*exchange_);
  if (options.network) remote_ = std::make_unique<net::NetMarketLink>(options.networkSettings);
  center_ = std::make_unique<QuoteCenter>(link_.get(), remote_.get());
  if (options.install) SetQuoteDataCenter(center_.get());
}

EmbeddedQuoteLibrary::~EmbeddedQuoteLibrary() {
  if (options_.install && GetQuoteDataCenter() == center_.get()) SetQuoteDataCenter(nullptr);
  link_->SetSink(nullptr);
  if (remote_) remote_->SetSink(nullptr);
  center_.reset();
  remote_.reset();
  link_.reset();
  exchange_.reset();
}

void EmbeddedQuoteLibrary::Advance(int64_t ms) {
  if (options_.manualClock) options_.manualClock->AdvanceMs(ms);
  exchange_->AdvanceToClock();
}

void EmbeddedQuoteLibrary::WaitDelivered() { center_->WaitDelivered(); }

std::unique_ptr<EmbeddedQuoteLibrary> CreateEmbedded(const EmbeddedOptions& options) {
  return std::make_unique<EmbeddedQuoteLibrary>(options);
}

}  // namespace tarn::quotedata
