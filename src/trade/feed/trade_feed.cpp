#include "trade/feed/trade_feed.h"

#include <algorithm>
#include <mutex>

namespace tarn {

namespace {
// The library's messages a window that never looks keeps at most.
constexpr std::size_t kMaxTexts = 64;
}  // namespace

std::shared_ptr<TradeFeed> TradeFeed::Acquire() {
  static std::mutex mutex;
  static std::weak_ptr<TradeFeed> shared;
  std::lock_guard<std::mutex> lock(mutex);
  std::shared_ptr<TradeFeed> feed = shared.lock();
  if (!feed) {
    feed = std::make_shared<TradeFeed>();
    shared = feed;
  } else if (!feed->Listening() && GetTradeApi()) {
    // Made before a library was installed: start now.
    feed->StartListening();
    feed->Reload();
  }
  return feed;
}

TradeFeed::TradeFeed() : CTradeListener(false) {
  ReadLists();
  StartListening();
}

TradeFeed::~TradeFeed() { StopListening(); }

void TradeFeed::ReadLists() {
  // Read outside the lock: the library takes its own.
  std::vector<OrderRecord> orders;
  std::vector<FillRecord> fills;
  std::string account;
  if (ITradeApi* api = GetTradeApi()) {
    api->GetOrders(orders);
    api->GetFills(fills);
    FundsRecord funds{};
    if (api->GetAccountFunds(funds, std::string(), "Base") > 0) account = std::string(Field(funds.account));
  }
  Lock lock(mutex_);
  orders_ = std::move(orders);
  fills_ = std::move(fills);
  account_ = std::move(account);
  orderIndex_.clear();
  versions_.assign(orders_.size(), ++version_);
  for (std::size_t i = 0; i < orders_.size(); ++i) orderIndex_[std::string(orders_[i].Key())] = i;
  fillNumbers_.clear();
  for (const FillRecord& f : fills_) fillNumbers_.insert(std::string(Field(f.fillNumber)));
  ++epoch_;
}

void TradeFeed::Reload() {
  ReadLists();
  Change([] {});
}

void TradeFeed::AddClient(ITradeFeedClient* client) {
  if (!client) return;
  {
    Lock lock(mutex_);
    pending_[client] = Pending{};  // seenEpoch 0: the first take is a reload
  }
  clients_.Add(client);
}

void TradeFeed::RemoveClient(ITradeFeedClient* client) {
  clients_.Remove(client);
  Lock lock(mutex_);
  pending_.erase(client);
}

template <class Mark>
void TradeFeed::Change(Mark mark) {
  std::vector<ITradeFeedClient*> wake;
  {
    Lock lock(mutex_);
    mark();
    for (auto& [client, p] : pending_)
      if (!p.woken) {
        p.woken = true;
        wake.push_back(client);
      }
  }
  if (wake.empty()) return;
  clients_.ForEach([&](ITradeFeedClient* c) {
    if (std::find(wake.begin(), wake.end(), c) != wake.end()) c->OnTradeFeedChanged();
  });
}

TradeChangeSet TradeFeed::Take(ITradeFeedClient* client) {
  TradeChangeSet set;
  Lock lock(mutex_);
  auto it = pending_.find(client);
  if (it == pending_.end()) return set;
  Pending& p = it->second;
  if (p.seenEpoch != epoch_) {
    set.reload = true;
    set.orders = orders_;
    set.fills = fills_;
    set.positions = set.positionsComplete = set.funds = true;
  } else {
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < versions_.size(); ++i)
      if (versions_[i] > p.seenVersion) changed.push_back(i);
    std::sort(changed.begin(), changed.end(),
              [this](std::size_t a, std::size_t b) { return versions_[a] < versions_[b]; });
    set.orders.reserve(changed.size());
    for (std::size_t i : changed) set.orders.push_back(orders_[i]);
    if (p.seenFills < fills_.size())
      set.fills.assign(fills_.begin() + static_cast<std::ptrdiff_t>(p.seenFills), fills_.end());
    set.positions = p.positions;
    set.positionsComplete = p.positionsComplete;
    set.funds = p.funds;
  }
  set.texts = std::move(p.texts);
  set.choice = p.choice;
  p = Pending{epoch_, version_, fills_.size()};
  return set;
}

std::vector<OrderRecord> TradeFeed::Orders() const {
  Lock lock(mutex_);
  return orders_;
}

std::vector<FillRecord> TradeFeed::Fills() const {
  Lock lock(mutex_);
  return fills_;
}

bool TradeFeed::CurrentAccount(const AccountTexts& account) const {
  return account_.empty() || account.account.empty() || account.account == account_;
}

// ---- notifications (library thread) --------------------------------------------------------

void TradeFeed::OnOrder(const OrderRecord* order, const AccountTexts& account) {
  if (!order) {
    // Orders changed without a record: read the lists again.
    Reload();
    return;
  }
  const OrderRecord copy = *order;
  Change([&] {
    if (!CurrentAccount(account)) return;
    std::string key(copy.Key());
    auto it = key.empty() ? orderIndex_.end() : orderIndex_.find(key);
    if (it != orderIndex_.end()) {
      orders_[it->second] = copy;
      versions_[it->second] = ++version_;
      return;
    }
    if (!key.empty()) orderIndex_.emplace(std::move(key), orders_.size());
    orders_.push_back(copy);
    versions_.push_back(++version_);
  });
}

void TradeFeed::OnFill(const FillRecord* fill, const AccountTexts& account) {
  if (!fill) {
    // A library that names its fills only: read the lists again.
    Reload();
    return;
  }
  const FillRecord copy = *fill;
  Change([&] {
    if (!CurrentAccount(account)) return;
    const std::string number(Field(copy.fillNumber));
    // A fill is told once; one the lists already hold (read after it happened) is not added again.
    if (!number.empty() && !fillNumbers_.insert(number).second) return;
    fills_.push_back(copy);
  });
}

void TradeFeed::OnPositions(const AccountTexts& account, bool complete) {
  Change([&] {
    if (!CurrentAccount(account)) return;
    for (auto& [client, p] : pending_) {
      p.positions = true;
      p.positionsComplete = p.positionsComplete || complete;
    }
  });
}

void TradeFeed::OnAccountUpdate(int, const AccountTexts& account) {
  Change([&] {
    if (!CurrentAccount(account)) return;
    for (auto& [client, p] : pending_) p.funds = true;
  });
}

void TradeFeed::OnTradeText(const std::string& text, const AccountTexts&) {
  Change([&] {
    for (auto& [client, p] : pending_) {
      if (p.texts.size() >= kMaxTexts) p.texts.erase(p.texts.begin());
      p.texts.push_back(text);
    }
  });
}

void TradeFeed::OnTradeLogin(int code, const std::string&, const AccountTexts&) {
  if (code == 1) Reload();
}

void TradeFeed::OnTradeRefresh() { Reload(); }

void TradeFeed::OnContractSelected(DC_Contract contract, int direction, double price) {
  Change([&] {
    for (auto& [client, p] : pending_) p.choice = ContractChoice{contract, direction, price};
  });
}

}  // namespace tarn
