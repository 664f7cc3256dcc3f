#include "engines/oco_order.h"

#include <algorithm>
#include <cmath>

#include "data/trade_api.h"
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
  o.priceType = 1;
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

void COCOOrderMgr::NotifyLocked(const OcoOrder& oco) {
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
  tarn::Lock lock(mutex_);
  OcoOrder stored = oco;
  stored.id = nextId_++;
  stored.state = 0;
  stored.createdAt = tarn::Now();
  orders_[stored.id] = stored;
  // Ids only grow: the list stays in id order.
  watchingByKey_[std::string(stored.contract.Key())].push_back(Watch{stored.id, stored.price1, stored.price2});
  Subscribe(stored.contract);
  NotifyLocked(orders_[stored.id]);
  return stored.id;
}

bool COCOOrderMgr::Modify(const OcoOrder& oco) {
  if (oco.contract.Empty()) return false;
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
  Subscribe(oco.contract);
  NotifyLocked(it->second);
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
  tarn::Lock lock(mutex_);
  NotifyLocked(changed);
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
  tarn::Lock lock(mutex_);
  auto it = watchingByKey_.find(quote->contract.Key());
  if (it == watchingByKey_.end()) return 0;
  auto fires = [last](double price1, double price2) {
    return last > price1 + 1e-8 ? 1 : (last < price2 - 1e-8 ? 2 : 0);
  };
  bool any = false;
  for (const Watch& w : it->second) {
    if (fires(w.price1, w.price2) != 0) {
      any = true;
      break;
    }
  }
  if (!any) return 0;
  // Something fires: walk a copy, since a listener may call back (cancel) and change the list.
  const std::vector<Watch> watching = it->second;
  for (const Watch& w : watching) {
    auto o = orders_.find(w.id);
    if (o == orders_.end() || o->second.state != 0) continue;
    const int leg = fires(o->second.price1, o->second.price2);
    if (leg == 0) continue;
    o->second.state = leg;
    Unwatch(o->second);
    if (ITradeApi* api = GetTradeApi()) tarn::SendClosingOrder(*api, tarn::OcoLegOrder(o->second, leg));
    const OcoOrder copy = o->second;
    NotifyLocked(copy);
  }
  return 0;
}
