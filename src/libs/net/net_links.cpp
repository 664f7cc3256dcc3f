#include "libs/net/net_links.h"

#include <chrono>
#include <random>

#include "platform/clock.h"
#include "platform/text.h"

namespace tarn::net {

using namespace tarn::exchange;

namespace {

const Catalogue& EmptyCatalogue() {
  static const TradingCalendar calendar(false);
  static const Catalogue empty({}, {}, calendar, 0);
  return empty;
}

ConnectOptions OptionsFor(const LinkSettings& settings, const std::string& host, int port) {
  ConnectOptions o = settings.connect;
  o.host = Trim(host);
  o.port = port > 0 ? port : 7200;
  return o;
}

std::string IdPayload(ContractId id) {
  ByteWriter w;
  w.U32(id);
  return std::move(w.Bytes());
}

std::string AccountPayload(const std::string& account) {
  ByteWriter w;
  w.Str(account);
  return std::move(w.Bytes());
}

// An answer that is an int and a text.
int CodeAndText(bool answered, const std::string& reply, std::string* text, int lost) {
  if (!answered) {
    if (text) *text = BrokerErrorText(kErrLogin);
    return lost;
  }
  ByteReader r(reply);
  const int code = r.I32();
  std::string t = r.Str();
  if (!r.Done()) return lost;
  if (text) *text = std::move(t);
  return code;
}

}  // namespace

void CatalogueHolder::Build(bool realSessions, int64_t listDay) {
  if (catalogue_) return;  // unchanged for the link's life, as the libraries expect
  calendar_ = std::make_unique<TradingCalendar>(realSessions);
  catalogue_ = std::make_unique<Catalogue>(StandardSpecs(), StandardExchanges(), *calendar_, listDay);
}

// ---- quotes ----------------------------------------------------------------------------------

NetMarketLink::NetMarketLink(LinkSettings settings)
    : settings_(std::move(settings)),
      conn_([this](Msg t, const std::string& p) { OnEvent(t, p); }, [this] { OnDown(); }) {}

NetMarketLink::~NetMarketLink() { conn_.Close(); }

bool NetMarketLink::Open(const LinkLogin& login, const std::function<void(const std::string&)>& progress,
                         std::string& error) {
  if (progress) progress(Format(TXT("正在连接行情服务器%s:%d..."), login.host, login.port));
  LoginOkMsg ok;
  if (!conn_.Open(OptionsFor(settings_, login.host, login.port), LoginMsg{LinkKind::Quote, login.user, login.password},
                  ok, error))
    return false;
  std::vector<ContractId> watch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = login;
    catalogue_.Build(ok.realSessions, ok.listDay);
    for (const auto& [id, n] : watched_)
      if (n > 0) watch.push_back(id);
  }
  // The subscriptions held before a reconnection are restored.
  for (ContractId id : watch) {
    ByteWriter w;
    w.U32(id);
    w.Bool(true);
    std::string reply;
    conn_.Call(Msg::Watch, w.Bytes(), reply);
  }
  return true;
}

bool NetMarketLink::Reopen(std::string& error) {
  LinkLogin login;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    login = last_;
  }
  return Open(login, nullptr, error);
}

void NetMarketLink::Close() { conn_.Close(); }

const Catalogue& NetMarketLink::GetCatalogue() const {
  const Catalogue* c = catalogue_.Get();
  return c ? *c : EmptyCatalogue();
}

void NetMarketLink::SetSink(ILinkSink* sink) {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  sink_ = sink;
}

void NetMarketLink::OnEvent(Msg type, const std::string& payload) {
  if (type != Msg::MarketEvents) return;
  std::vector<MarketEvent> events;
  ByteReader r(payload);
  if (!Read(r, events) || !r.Done()) return;
  if (!events.empty()) lastNowMs_ = events.back().snap.timeMs;
  std::lock_guard<std::mutex> lock(sinkMutex_);
  if (sink_) sink_->OnLinkEvents(events);
}

void NetMarketLink::OnDown() {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  if (sink_) sink_->OnLinkDown(1);
}

void NetMarketLink::Watch(ContractId id, bool on) {
  bool send;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    int& n = watched_[id];
    const int before = n;
    n = on ? n + 1 : std::max(0, n - 1);
    send = (before == 0) != (n == 0);
    if (n == 0) watched_.erase(id);
  }
  if (!send || !conn_.IsUp()) return;
  ByteWriter w;
  w.U32(id);
  w.Bool(on);
  std::string reply;
  conn_.Call(Msg::Watch, w.Bytes(), reply);
}

bool NetMarketLink::GetSnapshot(ContractId id, Snapshot& out) {
  std::string reply;
  if (!conn_.Call(Msg::GetSnapshot, IdPayload(id), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  out = r.Pod<Snapshot>();
  return r.Done() && ok;
}

bool NetMarketLink::GetBars(ContractId id, Period period, int64_t endSec, int count, std::vector<Bar>& out) {
  ByteWriter w;
  w.U32(id);
  w.I32(period.kind);
  w.I32(period.count);
  w.I64(endSec);
  w.I32(count);
  std::string reply;
  if (!conn_.Call(Msg::GetBars, w.Bytes(), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  r.PodList(out);
  return r.Done() && ok;
}

bool NetMarketLink::GetTicks(ContractId id, std::vector<Tick>& out) {
  std::string reply;
  if (!conn_.Call(Msg::GetTicks, IdPayload(id), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  r.PodList(out);
  return r.Done() && ok;
}

bool NetMarketLink::GetRecentTrades(ContractId id, int max, std::vector<Tick>& out) {
  ByteWriter w;
  w.U32(id);
  w.I32(max);
  std::string reply;
  if (!conn_.Call(Msg::GetRecentTrades, w.Bytes(), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  r.PodList(out);
  return r.Done() && ok;
}

ContractId NetMarketLink::MainMonth(int commodity) {
  ByteWriter w;
  w.I32(commodity);
  std::string reply;
  if (!conn_.Call(Msg::MainMonth, w.Bytes(), reply)) return kNoContract;
  ByteReader r(reply);
  const ContractId id = r.U32();
  return r.Done() ? id : kNoContract;
}

int64_t NetMarketLink::NowMs() {
  std::string reply;
  if (conn_.Call(Msg::NowMs, {}, reply)) {
    ByteReader r(reply);
    const int64_t now = r.I64();
    if (r.Done()) {
      lastNowMs_ = now;
      return now;
    }
  }
  const int64_t last = lastNowMs_.load();
  return last > 0 ? last : tarn::Now() * 1000;
}

// ---- trading ---------------------------------------------------------------------------------

NetTradeLink::NetTradeLink(LinkSettings settings)
    : settings_(std::move(settings)),
      conn_([this](Msg t, const std::string& p) { OnEvent(t, p); }, [this] { OnDown(); }) {}

NetTradeLink::~NetTradeLink() { conn_.Close(); }

bool NetTradeLink::Open(const TradeLogin& login, const std::function<void(const std::string&)>& progress,
                        std::string& error, std::vector<std::string>& accounts) {
  if (progress) progress(Format(TXT("正在连接交易服务器%s:%d..."), login.host, login.port));
  LoginOkMsg ok;
  if (!conn_.Open(OptionsFor(settings_, login.host, login.port), LoginMsg{LinkKind::Trade, login.user, login.password},
                  ok, error))
    return false;
  if (ok.accounts.empty()) {
    conn_.Close();
    error = TXT("该账号下没有资金账户");
    return false;
  }
  std::map<uint64_t, OrderEntry> resend;
  std::map<uint64_t, ConditionEntry> resendConditions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Orders left pending belong to the user who sent them; another user's login drops them.
    if (user_ != login.user) {
      pending_.clear();
      pendingConditions_.clear();
    }
    user_ = login.user;
    accountOf_.clear();
    for (std::size_t i = 0; i < ok.accounts.size(); ++i) accountOf_[ok.indexes[i]] = ok.accounts[i];
    catalogue_.Build(ok.realSessions, ok.listDay);
    resend = pending_;
    resendConditions = pendingConditions_;
  }
  accounts = ok.accounts;
  if ((!resend.empty() || !resendConditions.empty()) && progress) progress(TXT("正在重发未确认的委托..."));
  for (const auto& [ref, entry] : resend) SendOrder(entry, -1);
  for (const auto& [ref, entry] : resendConditions) SendCondition(entry, -1);
  return true;
}

void NetTradeLink::Close() { conn_.Close(); }

const Catalogue& NetTradeLink::GetCatalogue() {
  const Catalogue* c = catalogue_.Get();
  return c ? *c : EmptyCatalogue();
}

void NetTradeLink::SetSink(ITradeSink* sink) {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  sink_ = sink;
}

std::string NetTradeLink::AccountOf(AccountIndex index) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = accountOf_.find(index);
  return it == accountOf_.end() ? std::string() : it->second;
}

void NetTradeLink::OnEvent(Msg type, const std::string& payload) {
  if (type != Msg::BrokerEvents) return;
  std::vector<BrokerEvent> events;
  ByteReader r(payload);
  if (!Read(r, events) || !r.Done()) return;
  std::lock_guard<std::mutex> lock(sinkMutex_);
  if (sink_) sink_->OnTradeEvents(events);
}

void NetTradeLink::OnDown() {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  if (sink_) sink_->OnTradeLinkDown(1);
}

std::size_t NetTradeLink::PendingOrders() {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size() + pendingConditions_.size();
}

int NetTradeLink::SendOrder(const OrderEntry& entry, int lost) {
  ByteWriter w;
  Write(w, entry);
  std::string reply;
  if (!conn_.Call(Msg::InsertOrder, w.Bytes(), reply)) return lost;
  ByteReader r(reply);
  const int result = r.I32();
  if (!r.Done()) return lost;
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.erase(entry.clientRef);
  return result;
}

int NetTradeLink::SendCondition(const ConditionEntry& entry, int lost) {
  ByteWriter w;
  Write(w, entry);
  std::string reply;
  if (!conn_.Call(Msg::InsertCondition, w.Bytes(), reply)) return lost;
  ByteReader r(reply);
  const int result = r.I32();
  if (!r.Done()) return lost;
  std::lock_guard<std::mutex> lock(mutex_);
  pendingConditions_.erase(entry.clientRef);
  return result;
}

// An answer lost with the link leaves the order pending: it counts as sent (0) and goes out
// again with the next login.
int NetTradeLink::InsertOrder(const OrderEntry& entry) {
  if (!conn_.IsUp()) return -1;
  OrderEntry e = entry;
  if (e.clientRef == 0) e.clientRef = refs_.Next();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_[e.clientRef] = e;
  }
  return SendOrder(e, 0);
}

std::vector<int> NetTradeLink::InsertOrders(const std::vector<OrderEntry>& entries) {
  std::vector<int> results(entries.size(), -1);
  if (!conn_.IsUp() || entries.empty()) return results;
  std::vector<OrderEntry> sent(entries);
  std::vector<std::string> payloads(sent.size());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < sent.size(); ++i) {
      if (sent[i].clientRef == 0) sent[i].clientRef = refs_.Next();
      pending_[sent[i].clientRef] = sent[i];
      ByteWriter w;
      Write(w, sent[i]);
      payloads[i] = std::move(w.Bytes());
    }
  }
  std::vector<std::optional<std::string>> replies;
  conn_.CallMany(Msg::InsertOrder, payloads, replies);
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < sent.size(); ++i) {
    results[i] = 0;  // unanswered: pending, sent again by the next login
    if (!replies[i]) continue;
    ByteReader r(*replies[i]);
    const int result = r.I32();
    if (!r.Done()) continue;
    pending_.erase(sent[i].clientRef);
    results[i] = result;
  }
  return results;
}

int NetTradeLink::InsertCondition(const ConditionEntry& entry) {
  if (!conn_.IsUp()) return -1;
  ConditionEntry e = entry;
  if (e.clientRef == 0) e.clientRef = refs_.Next();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pendingConditions_[e.clientRef] = e;
  }
  return SendCondition(e, 0);
}

int NetTradeLink::CancelOrder(const std::string& account, const std::string& key, std::string* error) {
  ByteWriter w;
  w.Str(account);
  w.Str(key);
  std::string reply;
  const bool answered = conn_.Call(Msg::CancelOrder, w.Bytes(), reply);
  return CodeAndText(answered, reply, error, kErrLogin);
}

int NetTradeLink::ModifyOrder(const std::string& account, const std::string& key, int64_t price, bool priceOnTick,
                              int quantity, std::string* error) {
  ByteWriter w;
  w.Str(account);
  w.Str(key);
  w.I64(price);
  w.Bool(priceOnTick);
  w.I32(quantity);
  std::string reply;
  const bool answered = conn_.Call(Msg::ModifyOrder, w.Bytes(), reply);
  return CodeAndText(answered, reply, error, kErrLogin);
}

int NetTradeLink::InsertStrategy(const StrategyEntry& entry, std::string* error) {
  ByteWriter w;
  Write(w, entry);
  std::string reply;
  const bool answered = conn_.Call(Msg::InsertStrategy, w.Bytes(), reply);
  return CodeAndText(answered, reply, error, -1);
}

int NetTradeLink::StopStrategy(const std::string& account, int32_t sequence, std::string* error) {
  ByteWriter w;
  w.Str(account);
  w.I32(sequence);
  std::string reply;
  const bool answered = conn_.Call(Msg::StopStrategy, w.Bytes(), reply);
  return CodeAndText(answered, reply, error, kErrLogin);
}

template <class T>
bool NetTradeLink::GetList(Msg type, const std::string& account, std::vector<T>& out) {
  std::string reply;
  if (!conn_.Call(type, AccountPayload(account), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  std::vector<T> list;
  r.PodList(list);
  if (!r.Done() || !ok) return false;
  out = std::move(list);
  return true;
}

bool NetTradeLink::GetOrders(const std::string& account, std::vector<Order>& out) {
  return GetList(Msg::GetOrders, account, out);
}
bool NetTradeLink::GetFills(const std::string& account, std::vector<Fill>& out) {
  return GetList(Msg::GetFills, account, out);
}
bool NetTradeLink::GetPositions(const std::string& account, std::vector<PositionView>& out) {
  return GetList(Msg::GetPositions, account, out);
}
bool NetTradeLink::GetLots(const std::string& account, std::vector<LotView>& out) {
  return GetList(Msg::GetLots, account, out);
}

bool NetTradeLink::GetFunds(const std::string& account, FundsView& out) {
  std::string reply;
  if (!conn_.Call(Msg::GetFunds, AccountPayload(account), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  FundsView f;
  if (!Read(r, f) || !r.Done() || !ok) return false;
  out = std::move(f);
  return true;
}

bool NetTradeLink::GetStrategies(const std::string& account, std::vector<StrategyOrder>& out) {
  std::string reply;
  if (!conn_.Call(Msg::GetStrategies, AccountPayload(account), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  const uint32_t n = r.Count(37);
  std::vector<StrategyOrder> list;
  for (uint32_t i = 0; i < n && r.Ok(); ++i) {
    StrategyOrder s;
    Read(r, s);
    list.push_back(std::move(s));
  }
  if (!r.Done() || !ok) return false;
  out = std::move(list);
  return true;
}

bool NetTradeLink::GetSettlement(const std::string& account, int32_t tradingDay, std::string& text) {
  ByteWriter w;
  w.Str(account);
  w.I32(tradingDay);
  std::string reply;
  if (!conn_.Call(Msg::GetSettlement, w.Bytes(), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  std::string t = r.Str(kMaxServerFrame);
  if (!r.Done() || !ok) return false;
  text = std::move(t);
  return true;
}

int NetTradeLink::ChangePassword(const std::string& oldPassword, const std::string& newPassword, std::string& message) {
  ByteWriter w;
  w.Str(oldPassword);
  w.Str(newPassword);
  std::string reply;
  const bool answered = conn_.Call(Msg::ChangePassword, w.Bytes(), reply);
  return CodeAndText(answered, reply, &message, kErrLogin);
}

bool NetTradeLink::GetTerms(ContractId id, ContractTerms& out) {
  std::string reply;
  if (!conn_.Call(Msg::GetTerms, IdPayload(id), reply)) return false;
  ByteReader r(reply);
  const bool ok = r.Bool();
  ContractTerms t;
  if (!Read(r, t) || !r.Done() || !ok) return false;
  out = std::move(t);
  return true;
}

int32_t NetTradeLink::TradingDay() {
  std::string reply;
  if (!conn_.Call(Msg::TradingDay, {}, reply)) return 0;
  ByteReader r(reply);
  const int32_t day = r.I32();
  return r.Done() ? day : 0;
}

}  // namespace tarn::net
