#include "libs/exchange/embedded_exchange.h"

#include <chrono>

#include "platform/text.h"

namespace tarn::exchange {

// ---- EmbeddedExchange ----------------------------------------------------------------------

EmbeddedExchange::EmbeddedExchange(ExchangeConfig config) : config_(std::move(config)) {}

EmbeddedExchange::~EmbeddedExchange() {
  {
    std::lock_guard<std::mutex> lock(driverMutex_);
    stop_ = true;
  }
  driverCv_.notify_all();
  if (driver_.joinable()) driver_.join();
  // The broker before the market it trades against.
  broker_.store(nullptr);
  ownedBroker_.reset();
  feed_.reset();
  if (Market* m = Get()) m->RemoveListener(this);
  WaitLedger();
}

void EmbeddedExchange::WaitLedger() {
  std::lock_guard<std::mutex> lock(ledgerMutex_);
  if (ledger_.joinable()) ledger_.join();
}

Market& EmbeddedExchange::Open() {
  if (Market* m = Get()) return *m;
  tarn::Lock lock(openMutex_);
  if (Market* m = Get()) return *m;
  const int64_t now = ClockInUse().WallMs();
  const TradingCalendar calendar(config_.realSessions);
  MarketOptions options;
  options.seed = config_.seed;
  options.realSessions = config_.realSessions;
  options.startMs = now;
  options.specs = config_.specs;
  options.originDay = calendar.TradingDayAt(now) - config_.historyDays;
  if (!config_.dataDir.empty()) store_ = MarketStore::Open(config_.dataDir + "/market.db");
  if (store_) {
    // A market that exists keeps its seed and its first day: a restart continues it.
    std::string value;
    if (store_->GetMeta("seed", value) && !value.empty())
      options.seed = std::strtoull(value.c_str(), nullptr, 10);
    else
      store_->SetMeta("seed", std::to_string(options.seed));
    if (store_->GetMeta("origin", value) && value.size() == 8)
      options.originDay = DayNumOf(static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10)));
    else
      store_->SetMeta("origin", std::to_string(Yyyymmdd(options.originDay)));
    if (!store_->GetMeta("created", value)) store_->SetMeta("created", std::to_string(now / 1000));
  }
  owned_ = std::make_unique<Market>(options);
  Market* m = owned_.get();
  m->AddListener(this);
  market_.store(m, std::memory_order_release);
  if (!config_.manualClock) driver_ = std::thread([this] { DriverLoop(); });
  return *m;
}

Broker& EmbeddedExchange::OpenBroker(const BrokerOptions& options) {
  if (Broker* b = GetBroker()) return *b;
  Market& m = Open();
  tarn::Lock lock(openMutex_);
  if (Broker* b = GetBroker()) return *b;
  BrokerOptions o = options;
  if (o.storePath.empty() && !config_.dataDir.empty()) o.storePath = config_.dataDir + "/broker.db";
  feed_ = std::make_unique<MarketFeed>(m);
  ownedBroker_ = std::make_unique<Broker>(*feed_, o);
  broker_.store(ownedBroker_.get(), std::memory_order_release);
  return *ownedBroker_;
}

void EmbeddedExchange::AdvanceToClock() {
  if (Market* m = Get()) m->AdvanceTo(ClockInUse().WallMs());
}

void EmbeddedExchange::DriverLoop() {
  // Wakes at every 500 ms boundary of the clock and runs the market up to it.
  std::unique_lock<std::mutex> lock(driverMutex_);
  while (!stop_) {
    const int64_t now = ClockInUse().WallMs();
    const int64_t next = (now / kStepMs + 1) * kStepMs;
    driverCv_.wait_for(lock, std::chrono::milliseconds(next - now + 1), [this] { return stop_; });
    if (stop_) break;
    lock.unlock();
    AdvanceToClock();
    lock.lock();
  }
}

void EmbeddedExchange::OnMarketEvents(const std::vector<MarketEvent>& events) {
  if (!store_) return;
  for (const MarketEvent& e : events) {
    if (e.type != EventType::DayRoll) continue;
    // Computing a day's ledger takes a while: a thread of its own does it, so that the market
    // goes on publishing.
    std::lock_guard<std::mutex> lock(ledgerMutex_);
    if (ledger_.joinable()) ledger_.join();
    ledger_ = std::thread([this] { WriteLedger(); });
  }
}

void EmbeddedExchange::WriteLedger() {
  Market* m = Get();
  if (!m || !store_) return;
  std::vector<MarketStore::SettlementRow> rows;
  const Catalogue& cat = m->GetCatalogue();
  for (ContractId id = 0; id < cat.Size(); ++id) {
    Market::Settled s;
    if (!m->LastSettled(id, s) || s.settlement <= 0) continue;
    const double tick = cat.CommodityOf(id).spec.tick;
    MarketStore::SettlementRow r;
    r.tradingDay = s.tradingDay;
    r.contract = cat.ContractAt(id).key;
    r.close = s.close * tick;
    r.settlement = s.settlement * tick;
    r.openInterest = s.openInterest;
    r.volume = s.volume;
    rows.push_back(std::move(r));
  }
  store_->SaveSettlements(rows);
}

// ---- InProcessLink -------------------------------------------------------------------------

InProcessLink::InProcessLink(EmbeddedExchange& exchange) : exchange_(exchange) {}

InProcessLink::~InProcessLink() {
  // Outside sinkMutex_: a delivery in flight holds the market's listener lock and takes
  // sinkMutex_, and RemoveListener waits for it.
  if (Market* m = exchange_.Get(); m && listening_.load()) m->RemoveListener(this);
}

void InProcessLink::Sleep() {
  const int ms = delayMs_.load();
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool InProcessLink::Check(const LinkLogin& login, std::string& error) {
  if (refuse_.load()) {
    error = TXT("行情服务器拒绝登录");
    return false;
  }
  if (login.user != kQuoteUser || login.password != kQuotePassword) {
    error = TXT("行情账号或密码错误");
    return false;
  }
  return true;
}

bool InProcessLink::Open(const LinkLogin& login, const std::function<void(const std::string&)>& progress,
                         std::string& error) {
  Sleep();
  if (progress) progress(TXT("正在验证行情账号..."));
  if (!Check(login, error)) return false;
  if (progress) progress(TXT("正在加载合约和行情..."));
  Market& m = exchange_.Open();
  {
    tarn::Lock lock(sinkMutex_);
    market_ = &m;
    last_ = login;
  }
  // Outside sinkMutex_, which deliveries take while the market holds its listener lock.
  if (!listening_.exchange(true)) m.AddListener(this);
  up_ = true;
  return true;
}

bool InProcessLink::Reopen(std::string& error) {
  Sleep();
  LinkLogin login;
  bool opened;
  {
    tarn::Lock lock(sinkMutex_);
    login = last_;
    opened = market_ != nullptr;
  }
  if (!Check(login, error)) return false;
  if (!opened) {
    error = TXT("行情服务器未登录");
    return false;
  }
  up_ = true;
  return true;
}

void InProcessLink::Close() { up_ = false; }

void InProcessLink::DropLink() {
  if (!up_.exchange(false)) return;
  ILinkSink* sink;
  {
    tarn::Lock lock(sinkMutex_);
    sink = sink_;
  }
  if (sink) sink->OnLinkDown(1);
}

const Catalogue& InProcessLink::GetCatalogue() const { return exchange_.Open().GetCatalogue(); }

void InProcessLink::SetSink(ILinkSink* sink) {
  tarn::Lock lock(sinkMutex_);
  sink_ = sink;
}

void InProcessLink::Watch(ContractId id, bool on) {
  Market* m = exchange_.Get();
  if (!m) return;
  if (on)
    m->Watch(id);
  else
    m->Unwatch(id);
}

bool InProcessLink::GetSnapshot(ContractId id, Snapshot& out) {
  Market* m = exchange_.Get();
  return m && up_ && m->GetSnapshot(id, out);
}

bool InProcessLink::GetBars(ContractId id, Period period, int64_t endSec, int count, std::vector<Bar>& out) {
  Market* m = exchange_.Get();
  return m && up_ && m->GetBars(id, period, endSec, count, out);
}

bool InProcessLink::GetTicks(ContractId id, std::vector<Tick>& out) {
  Market* m = exchange_.Get();
  return m && up_ && m->GetTicks(id, out);
}

bool InProcessLink::GetRecentTrades(ContractId id, int max, std::vector<Tick>& out) {
  Market* m = exchange_.Get();
  return m && up_ && m->GetRecentTrades(id, max, out);
}

ContractId InProcessLink::MainMonth(int commodity) {
  Market* m = exchange_.Get();
  return m ? m->MainMonth(commodity) : kNoContract;
}

int64_t InProcessLink::NowMs() {
  Market* m = exchange_.Get();
  return m ? m->NowMs() : exchange_.ClockInUse().WallMs();
}

void InProcessLink::OnMarketEvents(const std::vector<MarketEvent>& events) {
  if (!up_.load()) return;
  tarn::Lock lock(sinkMutex_);
  if (sink_) sink_->OnLinkEvents(events);
}

}  // namespace tarn::exchange
