#include "data/data_listener.h"

#include <cstring>

namespace {

DC_Quote EmptySnapshot(const DC_Contract& contract) {
  DC_Quote q{};
  q.contract = contract;
  return q;
}

}  // namespace

// ---- CDataListener -------------------------------------------------------------------------

CDataListener::~CDataListener() {
  Detach();
  tarn::Lock lock(handleMutex_);
  handle_.reset();
}

const NotifyHandle& CDataListener::Handle() {
  tarn::Lock lock(handleMutex_);
  if (!handle_) handle_ = std::make_shared<IDataCenterNotify>(this);
  return handle_;
}

// The library is called outside handleMutex_: unregistering waits for a delivery in flight,
// and that delivery may itself reach Register or Handle (a client that fetches on a
// notification), which take handleMutex_.
void CDataListener::Register() {
  NotifyHandle h;
  {
    tarn::Lock lock(handleMutex_);
    if (registered_) return;
    if (!handle_) handle_ = std::make_shared<IDataCenterNotify>(this);
    h = handle_;
    registered_ = true;
  }
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->RegisterListener(h);
}

void CDataListener::Unregister() {
  NotifyHandle h;
  {
    tarn::Lock lock(handleMutex_);
    if (!registered_ || !handle_) return;
    h = handle_;
    registered_ = false;
  }
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->UnregisterListener(h);
}

void CDataListener::Detach() {
  NotifyHandle h;
  {
    tarn::Lock lock(handleMutex_);
    h = handle_;
  }
  // Waits for a notification in flight through the forwarder, then drops every later one.
  if (h) h->Detach();
  Unregister();
}

// ---- CQuoteDataClient ----------------------------------------------------------------------

CQuoteDataClient::~CQuoteDataClient() { Detach(); }

void CQuoteDataClient::Detach() {
  // The forwarder first: it waits for a delivery in flight (which may take the derived class's
  // lock and this listener's handle) and stops every later one; then the subscriptions go.
  CDataListener::Detach();
  UnsubscribeAll();
}

int CQuoteDataClient::Subscribe(const DC_Contract& contract) {
  if (!clientRegistered_) {
    Register();
    clientRegistered_ = true;
  }
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return 0;
  const std::string key(contract.Key());
  DC_Quote buf{};
  bool known;
  {
    tarn::Lock lock(mapMutex_);
    known = subscribed_.count(key) != 0;
  }
  if (known) {
    if (center->SubscribeQuote(NotifyHandle(), &contract, &buf, 1) == 0) OnQuote(0, &buf);
    return 1;
  }
  int r = center->SubscribeQuote(Handle(), &contract, &buf, 1);
  if (r < 0) return 0;
  if (r == 0) OnQuote(0, &buf);
  tarn::Lock lock(mapMutex_);
  subscribed_[key] = contract;
  return 1;
}

void CQuoteDataClient::Unsubscribe(const DC_Contract& contract) {
  DC_Contract stored;
  {
    tarn::Lock lock(mapMutex_);
    auto it = subscribed_.find(contract.Key());
    if (it == subscribed_.end()) return;
    stored = it->second;
    subscribed_.erase(it);
  }
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->SubscribeQuote(Handle(), &stored, nullptr, 0);
}

void CQuoteDataClient::UnsubscribeAll() {
  std::map<std::string, DC_Contract, std::less<>> all;
  {
    tarn::Lock lock(mapMutex_);
    all.swap(subscribed_);
  }
  if (all.empty()) return;
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return;
  const NotifyHandle& h = Handle();
  for (auto& [key, contract] : all) center->SubscribeQuote(h, &contract, nullptr, 0);
}

bool CQuoteDataClient::IsSubscribed(std::string_view key) const {
  tarn::Lock lock(mapMutex_);
  return subscribed_.find(key) != subscribed_.end();
}

std::size_t CQuoteDataClient::SubscriptionCount() const {
  tarn::Lock lock(mapMutex_);
  return subscribed_.size();
}

std::vector<DC_Contract> CQuoteDataClient::Subscriptions() const {
  tarn::Lock lock(mapMutex_);
  std::vector<DC_Contract> out;
  out.reserve(subscribed_.size());
  for (const auto& [key, contract] : subscribed_) out.push_back(contract);
  return out;
}

void CQuoteDataClient::OnConnectState(int x, int flag, int state) {
  (void)x;
  const std::vector<DC_Contract> contracts = Subscriptions();
  if (state < 0 || (state < 1 && flag == 0)) {
    for (const DC_Contract& c : contracts) {
      DC_Quote q = EmptySnapshot(c);
      OnQuote(0, &q);
    }
    return;
  }
  IQuoteDataCenter* center = GetQuoteDataCenter();
  for (const DC_Contract& c : contracts) {
    DC_Quote buf = EmptySnapshot(c);
    if (center) center->SubscribeQuote(NotifyHandle(), &buf.contract, &buf, 1);
    OnQuote(0, &buf);
  }
}

// ---- CHisDataClient ------------------------------------------------------------------------

CHisDataClient::~CHisDataClient() {
  CDataListener::Detach();
  Stop();
}

bool CHisDataClient::Answered() const {
  tarn::Lock lock(mutex_);
  return answered_;
}
bool CHisDataClient::Idle() const {
  tarn::Lock lock(mutex_);
  return idle_;
}
int CHisDataClient::PeriodKind() const {
  tarn::Lock lock(mutex_);
  return periodKind_;
}
int CHisDataClient::PeriodCount() const {
  tarn::Lock lock(mutex_);
  return periodCount_;
}
DC_Contract CHisDataClient::Contract() const {
  tarn::Lock lock(mutex_);
  return contract_;
}

bool CHisDataClient::Begin(const DC_Contract& contract, IHisDataNotify* owner, int periodKind, int periodCount) {
  if (contract.Empty()) return false;
  Stop();
  tarn::Lock lock(mutex_);
  owner_ = owner;
  periodKind_ = periodKind;
  periodCount_ = periodCount;
  idle_ = false;
  contract_ = contract;
  Register();
  tarn::Lock storeLock(store_.mutex);
  store_.contract = contract;
  store_.periodKind = periodKind;
  store_.periodCount = periodCount;
  return true;
}

int CHisDataClient::Request(const DC_Contract& contract, int count, IHisDataNotify* owner, int periodKind,
                            int periodCount) {
  if (!Begin(contract, owner, periodKind, periodCount)) return -1;
  tarn::Lock lock(mutex_);
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return -1;
  const DC_Contract c = contract_;
  int r = center->RequestHistory(Handle(), &c, periodKind, periodCount, &store_, count, periodKind == 1 ? 1 : 0);
  DC_Quote buf{};
  center->SubscribeQuote(Handle(), &c, &buf, 1);
  if (r == 0) answered_ = true;
  return r;
}

int CHisDataClient::RequestRange(const DC_Contract& contract, int64_t start, int count, IHisDataNotify* owner,
                                 int periodKind, int periodCount) {
  if (!Begin(contract, owner, periodKind, periodCount)) return -1;
  tarn::Lock lock(mutex_);
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return -1;
  const DC_Contract c = contract_;
  return center->RequestHistoryRange(Handle(), &c, start, count, periodKind, periodCount, &store_);
}

void CHisDataClient::Stop() {
  DC_Contract was;
  {
    tarn::Lock lock(mutex_);
    if (idle_) {
      if (store_.Size() > 0) store_.Clear();
      return;
    }
    // Idle from here on: a delivery that still gets the lock does nothing.
    idle_ = true;
    owner_ = nullptr;
    lastVolume_ = 0;
    was = contract_;
    contract_ = DC_Contract{};
    answered_ = false;
  }
  // Outside the lock: unregistering waits for a delivery in flight, which takes the lock.
  Unregister();
  if (IQuoteDataCenter* center = GetQuoteDataCenter()) center->SubscribeQuote(Handle(), &was, nullptr, 0);
  tarn::Lock lock(mutex_);
  if (idle_) store_.Clear();
}

int CHisDataClient::OnHistory(int error, const HistoryReply* reply) {
  tarn::Lock lock(mutex_);
  if (idle_) return 0;
  if (error) {
    if (owner_) owner_->OnHisDataEvent(&contract_, 0, 0, 0);
    return 0;
  }
  if (!reply || reply->contract.Key() != contract_.Key()) return 0;
  bool periodOk = periodKind_ == 0 ? (reply->periodKind == 3 && reply->periodCount == 1)
                                   : (reply->periodKind == periodKind_ && reply->periodCount == periodCount_);
  if (!periodOk || reply->contractValue != contract_.value) return 0;
  answered_ = true;
  if (owner_) owner_->OnHisDataEvent(&contract_, 1, reply->a, reply->b);
  return 1;
}

int CHisDataClient::OnQuote(int status, const DC_Quote* quote) {
  (void)status;
  tarn::Lock lock(mutex_);
  if (idle_ || !quote) return 0;
  if (!answered_) return 1;
  const DC_QuoteData& d = quote->data;
  if (d.tradingDay == lastTradingDay_) {
    if (d.volume < lastVolume_) return 0;
    if (d.volume == lastVolume_ && periodCount_ > 2) return 0;
  }
  lastTradingDay_ = d.tradingDay;
  lastVolume_ = d.volume;
  if (contract_.Empty()) return -1;
  if (owner_) owner_->OnHisDataEvent(&contract_, 1, 0, 0);
  return 1;
}

void CHisDataClient::OnTickData(const DC_Contract* record) {
  tarn::Lock lock(mutex_);
  if (idle_ || !record) return;
  if (record->Key() != contract_.Key() || periodKind_ != 1) return;
  answered_ = true;
  if (owner_) owner_->OnHisDataEvent(&contract_, 1, 0, 0);
}

void CHisDataClient::OnConnectState(int x, int flag, int state) {
  tarn::Lock lock(mutex_);
  if (idle_) return;
  lastVolume_ = 0;
  if (owner_) owner_->OnHisDataReset(x, flag, state);
}

void CHisDataClient::OnContractReset(DC_Contract contract) {
  tarn::Lock lock(mutex_);
  if (idle_ || contract.Key() != contract_.Key()) return;
  OnConnectState(0, 0, 0);
}

void CHisDataClient::OnExtra(int a, int b, int c, int d, int e) {
  tarn::Lock lock(mutex_);
  if (idle_) return;
  if (owner_) owner_->OnHisDataExtra(a, b, c, d, e);
}

// ---- CTimeServer ---------------------------------------------------------------------------

int64_t CTimeServer::ServerTime() {
  IQuoteDataCenter* center = GetQuoteDataCenter();
  return center ? center->GetServerTime(0) : 0;
}
