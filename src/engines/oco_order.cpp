#include "engines/oco_order.h"

#include <algorithm>
#include <cmath>

#include "data/trade_api.h"
#include "data/trade_enums.h"
#include "engines/close_orders.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tarn {

const std::string& OcoStateText(int state) {
  static const std::string empty;
  switch (state) {
    case 0: return TXT("未触发");
    case 1: return TXT("已触发_A");
    case 2: return TXT("已触发_B");
    case 3: return TXT("已撤销");
    default: return empty;
  }
}

OrderRecord OcoLegOrder(const OcoOrder& oco, int leg) {
  OrderRecord o{};
  o.contract = oco.contract;
  o.direction = leg == 1 ? oco.directionA : oco.directionB;
  o.offset = leg == 1 ? oco.offsetA : oco.offsetB;
  o.quantity = oco.quantity;
  o.price = 0.0;
  o.priceType = kMarketPrice;
  o.hidden = 0;
  return o;
}

}  // namespace tarn

// ---- IOCOOrderNotify -----------------------------------------------------------------------

IOCOOrderNotify::IOCOOrderNotify(bool listenNow) {
  if (listenNow) StartListening();
}
IOCOOrderNotify::~IOCOOrderNotify() { StopListening(); }
void IOCOOrderNotify::StartListening() {
  if (manager_) return;
  manager_ = &COCOOrderMgr::Instance();
  manager_->AddListener(this);
}
void IOCOOrderNotify::StopListening() {
  if (!manager_) return;
  manager_->RemoveListener(this);
  manager_ = nullptr;
}

// ---- COCOOrderMgr --------------------------------------------------------------------------

COCOOrderMgr::COCOOrderMgr() = default;

COCOOrderMgr::~COCOOrderMgr() {
  Detach();
  listeners_.ForEach([](IOCOOrderNotify* l) { l->manager_ = nullptr; });
}

void COCOOrderMgr::AddListener(IOCOOrderNotify* listener) { listeners_.Add(listener); }
void COCOOrderMgr::RemoveListener(IOCOOrderNotify* listener) { listeners_.Remove(listener); }

// Called with the manager's lock released: a listener may call back into the manager from any
// thread it waits for.
void COCOOrderMgr::Notify(const OcoOrder& oco) {
  listeners_.ForEach([&](IOCOOrderNotify* l) { l->OnOcoOrderChanged(oco); });
}

void COCOOrderMgr::Unwatch(const OcoOrder& oco) {
  auto it = watchingByKey_.find(oco.contract.Key());
  if (it == watchingByKey_.end()) return;
  std::erase_if(it->second, [&](const Watch& w) { return w.id == oco.id; });
  if (it->second.empty()) watchingByKey_.erase(it);
}

int COCOOrderMgr::Add(const OcoOrder& oco) {
  if (oco.contract.Empty()) return 0;
  OcoOrder stored = oco;
  {
    tarn::Lock lock(mutex_);
    stored.id = nextId_++;
    stored.state = 0;
    stored.createdAt = tarn::Now();
    orders_[stored.id] = stored;
    // Ids only grow: the list stays in id order.
    watchingByKey_[std::string(stored.contract.Key())].push_back(Watch{stored.id, stored.price1, stored.price2});
  }
  // The library may deliver the current snapshot at once, and it may fire the pair: the
  // listeners hear the pair as stored, then of its firing.
  Notify(stored);
  Subscribe(stored.contract);
  return stored.id;
}

bool COCOOrderMgr::Modify(const OcoOrder& oco) {
  if (oco.contract.Empty()) return false;
  OcoOrder stored;
  {
    tarn::Lock lock(mutex_);
    auto it = orders_.find(oco.id);
    // An unknown id would be stored under a number Add hands out later, and a pair that has
    // fired must never watch again (its order is out): both are refused.
    if (it == orders_.end() || it->second.state != 0) return false;
    Unwatch(it->second);
    it->second = oco;
    it->second.createdAt = tarn::Now();
    if (it->second.state == 0) {
      std::vector<Watch>& list = watchingByKey_[std::string(oco.contract.Key())];
      auto at = std::lower_bound(list.begin(), list.end(), oco.id, [](const Watch& w, int32_t id) { return w.id < id; });
      list.insert(at, Watch{oco.id, oco.price1, oco.price2});
    }
    stored = it->second;
  }
  Notify(stored);
  Subscribe(stored.contract);
  return true;
}

void COCOOrderMgr::Cancel(int id) {
  OcoOrder changed;
  {
    tarn::Lock lock(mutex_);
    auto it = orders_.find(id);
    if (it == orders_.end() || it->second.state != 0) return;
    it->second.state = 3;
    Unwatch(it->second);
    changed = it->second;
  }
  Notify(changed);
}

void COCOOrderMgr::CopyAll(std::vector<OcoOrder>& out) const {
  tarn::Lock lock(mutex_);
  out.clear();
  out.reserve(orders_.size());
  for (const auto& [id, oco] : orders_) out.push_back(oco);
}

std::size_t COCOOrderMgr::Count() const {
  tarn::Lock lock(mutex_);
  return orders_.size();
}

int COCOOrderMgr::OnQuote(int status, const DC_Quote* quote) {
  if (status != 0 || !quote) return 0;
  const double last = quote->data.last;
  // Below 1e-7 is no trade yet; a price that is not finite is no price either.
  if (!(last >= 1e-7) || !std::isfinite(last)) return 0;
  auto fires = [last](double price1, double price2) {
    return last > price1 + 1e-8 ? 1 : (last < price2 - 1e-8 ? 2 : 0);
  };
  // The pairs fire (their state changes) under the lock, so no other quote fires them again;
  // their orders are sent and the listeners told after it is released.
  std::vector<OcoOrder> fired;
  {
    tarn::Lock lock(mutex_);
    auto it = watchingByKey_.find(quote->contract.Key());
    if (it == watchingByKey_.end()) return 0;
    for (const Watch& w : it->second) {
      if (fires(w.price1, w.price2) == 0) continue;
      auto o = orders_.find(w.id);
      if (o == orders_.end() || o->second.state != 0) continue;
      o->second.state = fires(o->second.price1, o->second.price2);
      fired.push_back(o->second);
    }
    for (const OcoOrder& f : fired) Unwatch(f);
  }
  if (fired.empty()) return 0;
  const tarn::QuoteStamp stamp = tarn::StampOf(*quote);
  for (const OcoOrder& f : fired) {
    if (ITradeApi* api = GetTradeApi()) tarn::SendClosingOrder(*api, tarn::OcoLegOrder(f, f.state), &stamp);
    Notify(f);
  }
  return 0;
}
