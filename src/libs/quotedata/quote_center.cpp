#include "libs/quotedata/quote_center.h"

#include <algorithm>
#include <thread>

#include "libs/quotedata/records.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tarn::quotedata {
namespace {
constexpr int kDetailCount = 200;       // trade details handed out per request
constexpr int kDefaultCopyBars = 1000;  // CopyHistory without an earlier request
uint64_t RequestKey(exchange::ContractId id, int kind, int count) {
  return (static_cast<uint64_t>(id) << 32) | (static_cast<uint64_t>(kind & 0xFF) << 24) | static_cast<uint32_t>(count & 0xFFFFFF);
}
}  // namespace

QuoteCenter::QuoteCenter(exchange::IMarketLink* embedded, exchange::IMarketLink* remote)
    : embedded_(embedded), remote_(remote) {}

QuoteCenter::~QuoteCenter() {
  if (embedded_) embedded_->SetSink(nullptr);
  if (remote_) remote_->SetSink(nullptr);
  dispatcher_.WaitIdle();
}

// ---- listeners -----------------------------------------------------------------------------

QuoteCenter::Entry& QuoteCenter::EntryFor(const NotifyHandle& h) {
  Entry& e = entries_[h.get()];
  if (!e.handle) {
    e.handle = h;
    e.alive = std::make_shared<std::atomic<bool>>(true);
  }
  return e;
}

QuoteCenter::Sub QuoteCenter::SubOf(const NotifyHandle& h) {
  tarn::Lock lock(mutex_);
  Entry& e = EntryFor(h);
  return Sub{e.handle, e.alive};
}

std::vector<QuoteCenter::Sub> QuoteCenter::Registered() {
  tarn::Lock lock(mutex_);
  std::vector<Sub> out;
  for (auto& [p, e] : entries_)
    if (e.registered) out.push_back(Sub{e.handle, e.alive});
  return out;
}

void QuoteCenter::Broadcast(const std::function<void(IDataCenterNotify&)>& f) {
  for (const Sub& s : Registered()) Call(s, f);
}

int QuoteCenter::RegisterListener(const NotifyHandle& listener) {
  if (!listener) return -1;
  tarn::Lock lock(mutex_);
  EntryFor(listener).registered = true;
  return 0;
}

void QuoteCenter::RebuildList(std::vector<std::shared_ptr<const SubList>>& lists, exchange::ContractId id, bool quotes) {
  auto list = std::make_shared<SubList>();
  for (auto& [p, e] : entries_) {
    const auto& set = quotes ? e.quotes : e.ticks;
    if (set.count(id)) list->push_back(Sub{e.handle, e.alive});
  }
  std::lock_guard<std::mutex> lock(listsMutex_);
  if (id < lists.size()) lists[id] = list->empty() ? nullptr : std::shared_ptr<const SubList>(std::move(list));
}

void QuoteCenter::UnregisterListener(const NotifyHandle& listener) {
  if (!listener) return;
  Alive alive;
  {
    tarn::Lock lock(mutex_);
    auto it = entries_.find(listener.get());
    if (it == entries_.end()) return;
    Entry e = std::move(it->second);
    entries_.erase(it);
    alive = e.alive;
    for (exchange::ContractId id : e.quotes) {
      RebuildList(quoteLists_, id, true);
      if (link_ && loggedIn_) link_->Watch(id, false);
    }
    for (exchange::ContractId id : e.ticks) RebuildList(tickLists_, id, false);
  }
  alive->store(false);
  // No call to this listener after we return: wait for a delivery to it that is in flight.
  if (!dispatcher_.OnDispatcherThread()) {
    while (current_.load() == listener.get()) std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

// ---- records and lists ---------------------------------------------------------------------

void QuoteCenter::BuildRecords(exchange::IMarketLink* link) {
  if (recordsReady_.load()) return;
  recordsLink_ = link;
  const exchange::Catalogue& cat = link->GetCatalogue();
  catalogue_ = &cat;
  for (const exchange::Exchange& e : cat.Exchanges()) exchanges_.push_back(MakeExchangeRecord(e));
  for (const exchange::Commodity& c : cat.Commodities()) commodities_.push_back(MakeCommodityRecord(c, cat));
  for (const exchange::Contract& c : cat.Contracts()) contracts_.push_back(MakeContractRecord(c));
  {
    std::lock_guard<std::mutex> lock(listsMutex_);
    quoteLists_.assign(cat.Size(), nullptr);
    tickLists_.assign(cat.Size(), nullptr);
  }
  recordsReady_.store(true);
}

exchange::ContractId QuoteCenter::IdOf(std::string_view key) {
  if (!recordsReady_.load() || key.empty()) return exchange::kNoContract;
  return catalogue_->Find(key);
}

exchange::IMarketLink* QuoteCenter::ConnectedLink() {
  tarn::Lock lock(mutex_);
  return loggedIn_ && link_ && link_->IsUp() ? link_ : nullptr;
}

std::vector<exchange::ContractId> QuoteCenter::ListOf(std::string_view name) {
  std::vector<exchange::ContractId> ids;
  if (!recordsReady_.load()) return ids;
  const exchange::Catalogue& cat = *catalogue_;
  auto addCommodity = [&](const exchange::Commodity& c) {
    ids.insert(ids.end(), c.months.begin(), c.months.end());
    ids.push_back(c.mainContract);
    ids.push_back(c.indexContract);
  };
  if (name == "HOT") {
    for (const exchange::Commodity& c : cat.Commodities()) {
      exchange::ContractId id = recordsLink_->MainMonth(c.index);
      if (id != exchange::kNoContract) ids.push_back(id);
    }
  } else if (name == "MI" || name == "IDX") {
    for (const exchange::Commodity& c : cat.Commodities()) ids.push_back(name == "MI" ? c.mainContract : c.indexContract);
  } else if (auto bar = name.find('|'); bar != std::string_view::npos) {
    const std::string ex = ToUpperAscii(name.substr(0, bar));
    const int ci = cat.FindCommodity(ex, name.substr(bar + 1));
    if (ci >= 0) addCommodity(cat.Commodities()[ci]);
  } else {
    const int ex = cat.FindExchange(ToUpperAscii(name));
    if (ex >= 0)
      for (int ci : cat.Exchanges()[ex].commodities) addCommodity(cat.Commodities()[ci]);
  }
  return ids;
}

int QuoteCenter::CopyContracts(const std::vector<exchange::ContractId>& ids, DC_Contract* out, int capacity) {
  if (!out) return static_cast<int>(ids.size());
  const int n = std::min(static_cast<int>(ids.size()), std::max(0, capacity));
  for (int i = 0; i < n; ++i) out[i] = contracts_[ids[i]];
  return n;
}

int QuoteCenter::GetExchanges(DC_Exchange* out, int capacity) {
  if (!recordsReady_.load()) return 0;
  const int total = static_cast<int>(exchanges_.size());
  if (!out) return total;
  const int n = std::min(total, std::max(0, capacity));
  std::copy(exchanges_.begin(), exchanges_.begin() + n, out);
  return n;
}

int QuoteCenter::GetCommodities(DC_Commodity* out, int capacity, const char* exchangeCode) {
  if (!recordsReady_.load()) return 0;
  std::vector<int> list;
  const std::string code = exchangeCode ? ToUpperAscii(exchangeCode) : std::string();
  for (const exchange::Commodity& c : catalogue_->Commodities())
    if (code.empty() || catalogue_->Exchanges()[c.exchange].code == code) list.push_back(c.index);
  if (!out) return static_cast<int>(list.size());
  const int n = std::min(static_cast<int>(list.size()), std::max(0, capacity));
  for (int i = 0; i < n; ++i) out[i] = commodities_[list[i]];
  return n;
}

int QuoteCenter::GetContracts(DC_Contract* out, int capacity, const char* listName) {
  return CopyContracts(ListOf(listName ? listName : ""), out, capacity);
}

int QuoteCenter::GetContractsOf(DC_Contract* out, int capacity, const char* exchangeCode, int zero) {
  (void)zero;
  return CopyContracts(ListOf(exchangeCode ? exchangeCode : ""), out, capacity);
}

int QuoteCenter::FindContract(DC_Contract* out, const char* key) {
  const exchange::ContractId id = IdOf(key ? key : "");
  if (id == exchange::kNoContract) return 0;
  if (out) *out = contracts_[id];
  return 1;
}

void QuoteCenter::GetListNames(std::vector<std::string>& out) {
  out.clear();
  if (!recordsReady_.load()) return;
  for (const DC_Exchange& e : exchanges_) out.emplace_back(e.Code());
  out.emplace_back("HOT");
  out.emplace_back("MI");
  out.emplace_back("IDX");
}

const DC_Commodity* QuoteCenter::ResolveCommodity(CommodityHandle handle) {
  if (!recordsReady_.load() || handle == 0 || handle > commodities_.size()) return nullptr;
  return &commodities_[handle - 1];
}

const DC_Exchange* QuoteCenter::ResolveExchange(ExchangeHandle handle) {
  if (!recordsReady_.load() || handle == 0 || handle > exchanges_.size()) return nullptr;
  return &exchanges_[handle - 1];
}

// ---- session -------------------------------------------------------------------------------

void QuoteCenter::Login(const NotifyHandle& listener, QuoteLoginParams params) {
  if (!listener) return;
  Sub sub = SubOf(listener);
  dispatcher_.Post([this, sub, params = std::move(params)]() mutable { LoginJob(std::move(sub), std::move(params)); });
}

void QuoteCenter::LoginJob(Sub sub, QuoteLoginParams params) {
  auto say = [&](int code, const std::string& text) {
    Call(sub, [&](IDataCenterNotify& n) { n.OnLoginResult(code, text); });
  };
  say(0, TXT("正在连接行情服务器..."));
  exchange::IMarketLink* chosen = EqualsNoCase(Trim(params.host), kEmbeddedHost) ? embedded_ : remote_;
  if (!chosen) {
    say(-1, Format(TXT("无法连接行情服务器%s:%d: 本版本只提供内置交易所, 请将行情服务器设为 tarn-embedded"),
                   params.host, params.port));
    return;
  }
  exchange::LinkLogin login{params.user, params.password, params.host, params.port};
  std::string error;
  if (!chosen->Open(login, [&](const std::string& text) { say(0, text); }, error)) {
    say(-1, error);
    return;
  }
  {
    tarn::Lock lock(mutex_);
    BuildRecords(chosen);
    link_ = chosen;
    // Subscriptions kept across a logout are watched again (a second login changes nothing).
    if (!loggedIn_) {
      for (auto& [p, e] : entries_)
        for (exchange::ContractId id : e.quotes) link_->Watch(id, true);
    }
    loggedIn_ = true;
  }
  chosen->SetSink(this);
  say(1, TXT("行情登录成功"));
  Broadcast([](IDataCenterNotify& n) { n.OnConnectState(0, 1, 1); });
}

bool QuoteCenter::IsConnected() { return ConnectedLink() != nullptr; }

void QuoteCenter::Reconnect() {
  dispatcher_.Post([this] {
    exchange::IMarketLink* link;
    {
      tarn::Lock lock(mutex_);
      if (!loggedIn_ || !link_) return;
      link = link_;
    }
    if (link->IsUp()) return;
    std::string error;
    if (link->Reopen(error))
      Broadcast([](IDataCenterNotify& n) { n.OnConnectState(0, 1, 1); });
    else
      Broadcast([](IDataCenterNotify& n) { n.OnConnectionLost(2); });
  });
}

void QuoteCenter::Logout() {
  {
    tarn::Lock lock(mutex_);
    if (!loggedIn_) return;
    loggedIn_ = false;
    for (auto& [p, e] : entries_)
      for (exchange::ContractId id : e.quotes) link_->Watch(id, false);
    link_->Close();
  }
  dispatcher_.Post([this] { Broadcast([](IDataCenterNotify& n) { n.OnConnectState(0, 0, -1); }); });
}

void QuoteCenter::OnLinkDown(int reason) {
  dispatcher_.Post([this, reason] {
    Broadcast([reason](IDataCenterNotify& n) { n.OnConnectionLost(reason); });
    Broadcast([](IDataCenterNotify& n) { n.OnConnectState(0, 0, 0); });
  });
}

int64_t QuoteCenter::GetServerTime(int zero) {
  (void)zero;
  tarn::Lock lock(mutex_);
  return link_ ? link_->NowMs() / 1000 : tarn::Now();
}

void QuoteCenter::ContractSettingChanged(DC_Contract contract) {
  // The bars this library serves do not depend on the terminal's K-line settings, so a change
  // of them leaves every history as it is.
  (void)contract;
}

// ---- quotes --------------------------------------------------------------------------------

int QuoteCenter::SubscribeQuote(const NotifyHandle& listener, const DC_Contract* contract, DC_Quote* out,
                                int subscribe) {
  if (!contract) return -1;
  const std::string key(contract->Key());  // read before `out` is written: they may alias
  const exchange::ContractId id = IdOf(key);
  if (id == exchange::kNoContract) return -1;
  exchange::IMarketLink* link = ConnectedLink();
  if (!subscribe) {
    if (!listener) return 0;
    tarn::Lock lock(mutex_);
    auto it = entries_.find(listener.get());
    if (it == entries_.end()) return 0;
    if (it->second.quotes.erase(id)) {
      RebuildList(quoteLists_, id, true);
      if (link_ && loggedIn_) link_->Watch(id, false);
    }
    if (it->second.ticks.erase(id)) RebuildList(tickLists_, id, false);
    return 0;
  }
  if (!link) return -1;
  if (listener) {
    tarn::Lock lock(mutex_);
    Entry& e = EntryFor(listener);
    if (e.quotes.insert(id).second) {
      link->Watch(id, true);
      RebuildList(quoteLists_, id, true);
    }
  }
  if (out) {
    exchange::Snapshot snap;
    if (!link->GetSnapshot(id, snap)) return -1;
    DC_Quote q = ZeroRecord<DC_Quote>();
    q.contract = contracts_[id];
    FillQuoteData(snap, catalogue_->CommodityOf(id), q.data);
    *out = q;
    return 0;
  }
  if (!listener) return -1;
  // No buffer: the snapshot follows by notification.
  Sub sub = SubOf(listener);
  dispatcher_.Post([this, sub, id] {
    exchange::IMarketLink* l = ConnectedLink();
    exchange::Snapshot snap;
    if (!l || !l->GetSnapshot(id, snap)) return;
    DC_Quote q = ZeroRecord<DC_Quote>();
    q.contract = contracts_[id];
    FillQuoteData(snap, catalogue_->CommodityOf(id), q.data);
    Call(sub, [&](IDataCenterNotify& n) { n.OnQuote(0, &q); });
  });
  return 1;
}

void QuoteCenter::OnLinkEvents(const std::vector<exchange::MarketEvent>& events) {
  dispatcher_.Post([this, events] { DeliverEvents(events); });
}

void QuoteCenter::DeliverEvents(const std::vector<exchange::MarketEvent>& events) {
  DC_Quote q = ZeroRecord<DC_Quote>();
  for (const exchange::MarketEvent& e : events) {
    if (e.id >= contracts_.size() && e.type != exchange::EventType::DayRoll) continue;
    if (e.type == exchange::EventType::ContractReset) {
      const DC_Contract c = contracts_[e.id];
      Broadcast([&c](IDataCenterNotify& n) { n.OnContractReset(c); });
      continue;
    }
    if (e.type != exchange::EventType::Snapshot) continue;
    std::shared_ptr<const SubList> quotes, ticks;
    {
      std::lock_guard<std::mutex> lock(listsMutex_);
      quotes = quoteLists_[e.id];
      if (e.snap.lastQty > 0) ticks = tickLists_[e.id];
    }
    if (!quotes && !ticks) continue;
    q.contract = contracts_[e.id];
    FillQuoteData(e.snap, catalogue_->CommodityOf(e.id), q.data);
    if (quotes)
      for (const Sub& s : *quotes) Call(s, [&](IDataCenterNotify& n) { n.OnQuote(0, &q); });
    if (ticks)
      for (const Sub& s : *ticks) Call(s, [&](IDataCenterNotify& n) { n.OnTickData(&q.contract); });
  }
}

// ---- history, ticks, details ---------------------------------------------------------------

HistoryReply QuoteCenter::ReplyFor(const DC_Contract& contract, int kind, int count, int bars) {
  HistoryReply r{};
  r.contract = contract;
  r.periodKind = kind == 0 ? 3 : kind;
  r.periodCount = kind == 0 ? 1 : count;
  r.contractValue = contract.value;
  r.a = bars;
  r.b = 0;
  return r;
}

int QuoteCenter::FillStore(exchange::ContractId id, int kind, int count, int64_t endSec, int barCount, BarStore* store) {
  exchange::IMarketLink* link = ConnectedLink();
  std::vector<exchange::Bar> bars;
  if (!link || !link->GetBars(id, exchange::Period{kind, count}, endSec, barCount, bars)) return -1;
  const double tick = catalogue_->CommodityOf(id).spec.tick;
  std::vector<DC_KData> out;
  out.reserve(bars.size());
  for (const exchange::Bar& b : bars) out.push_back(MakeBar(b, tick));
  tarn::Lock lock(store->mutex);
  if (store->contract.Empty()) store->contract = contracts_[id];
  store->bars.swap(out);
  return static_cast<int>(store->bars.size());
}

int QuoteCenter::AnswerHistory(const NotifyHandle& listener, const DC_Contract* contract, int64_t endSec, int barCount,
                               int kind, int count, BarStore* store) {
  if (!contract || !store || barCount <= 0) return -1;
  if (kind < 0 || kind > 8 || kind == 4) return -1;
  const exchange::ContractId id = IdOf(contract->Key());
  exchange::IMarketLink* link = ConnectedLink();
  if (id == exchange::kNoContract || !link) return -1;
  {
    tarn::Lock lock(mutex_);
    requested_[RequestKey(id, kind, count)] = barCount;
    if (listener && kind == 1) {
      Entry& e = EntryFor(listener);
      if (e.ticks.insert(id).second) RebuildList(tickLists_, id, false);
    }
  }
  const int latency = link->LatencyMs();
  if (!listener || latency <= 0) return FillStore(id, kind, count, endSec, barCount, store) < 0 ? -1 : 0;
  // A slow link: the bars follow by notification, if the listener is still there by then.
  const DC_Contract c = *contract;
  Sub sub = SubOf(listener);
  dispatcher_.PostAfter(latency, [this, sub, c, id, kind, count, endSec, barCount, store] {
    Call(sub, [&](IDataCenterNotify& n) {
      const int bars = FillStore(id, kind, count, endSec, barCount, store);
      const HistoryReply reply = ReplyFor(c, kind, count, bars < 0 ? 0 : bars);
      n.OnHistory(bars < 0 ? 1 : 0, &reply);
    });
  });
  return 1;
}

int QuoteCenter::RequestHistory(const NotifyHandle& listener, const DC_Contract* contract, int periodKind,
                                int periodCount, BarStore* store, int barCount, int flag) {
  (void)flag;
  return AnswerHistory(listener, contract, 0, barCount, periodKind, periodCount, store);
}

int QuoteCenter::RequestHistoryRange(const NotifyHandle& listener, const DC_Contract* contract, int64_t start,
                                     int barCount, int periodKind, int periodCount, BarStore* store) {
  return AnswerHistory(listener, contract, start, barCount, periodKind, periodCount, store);
}

int QuoteCenter::CopyHistory(const DC_Contract* contract, int periodKind, int periodCount, BarStore* store) {
  if (!contract || !store) return -1;
  const exchange::ContractId id = IdOf(contract->Key());
  if (id == exchange::kNoContract) return -1;
  int barCount = kDefaultCopyBars;
  {
    tarn::Lock lock(mutex_);
    auto it = requested_.find(RequestKey(id, periodKind, periodCount));
    if (it != requested_.end()) barCount = it->second;
  }
  return FillStore(id, periodKind, periodCount, 0, barCount, store);
}

int QuoteCenter::GetTicks(const NotifyHandle& listener, std::vector<TickRecord>& out, const DC_Contract* contract) {
  out.clear();
  if (!contract) return 0;
  const exchange::ContractId id = IdOf(contract->Key());
  exchange::IMarketLink* link = ConnectedLink();
  if (id == exchange::kNoContract || !link) return 0;
  if (listener) {
    tarn::Lock lock(mutex_);
    Entry& e = EntryFor(listener);
    if (e.ticks.insert(id).second) RebuildList(tickLists_, id, false);
  }
  std::vector<exchange::Tick> ticks;
  link->GetTicks(id, ticks);
  const double tick = catalogue_->CommodityOf(id).spec.tick;
  out.reserve(ticks.size());
  for (const exchange::Tick& t : ticks) out.push_back(MakeTick(t, tick));
  return static_cast<int>(out.size());
}

int QuoteCenter::GetQuoteDetail(const NotifyHandle& listener, int zero, std::vector<QuoteDetail>& out,
                                const DC_Quote* quote) {
  (void)zero;
  out.clear();
  if (!quote) return 0;
  const exchange::ContractId id = IdOf(quote->contract.Key());
  exchange::IMarketLink* link = ConnectedLink();
  if (id == exchange::kNoContract || !link) return 0;
  if (listener) {
    tarn::Lock lock(mutex_);
    Entry& e = EntryFor(listener);
    if (e.ticks.insert(id).second) RebuildList(tickLists_, id, false);
  }
  std::vector<exchange::Tick> trades;
  link->GetRecentTrades(id, kDetailCount, trades);
  const double tick = catalogue_->CommodityOf(id).spec.tick;
  out.reserve(trades.size());
  for (const exchange::Tick& t : trades) out.push_back(MakeDetail(t, tick));
  return static_cast<int>(out.size());
}

}  // namespace tarn::quotedata
