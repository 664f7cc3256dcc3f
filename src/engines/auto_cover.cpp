#include "engines/auto_cover.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "data/trade_enums.h"
#include "engines/close_orders.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"

namespace {
const char kSettingsFile[] = "\\config\\AutoCover.dat";

// A gap of more than this many steps is crossed in one jump before the last steps are taken
// one by one, so that a wild price can never keep the quote thread in the loop.
constexpr double kMaxSteppedMoves = 64;

double TickOf(const DC_Contract& contract) {
  const DC_Commodity* c = CommodityOf(contract);
  return c ? c->tickSize : 0.0;
}
}  // namespace

namespace tarn {

unsigned StepAutoCoverStop(AutoCoverStop& s, double last) {
  const double tick = s.tickSize;
  if (!(tick > 0) || !std::isfinite(tick)) return kStopUnchanged;
  const bool isLong = s.IsLong();
  const double open = s.openPrice;
  unsigned result = kStopUnchanged;

  // 1. The extreme price since creation.
  if (s.extremePrice < 1e-5) {
    s.extremePrice = last;
  } else if (isLong ? last > s.extremePrice : last < s.extremePrice) {
    s.extremePrice = last;
  }
  // 2, 3. Stop-loss and take-profit, computed once.
  if (s.stopLossTicks >= 1 && s.stopLossPrice < 1e-5) {
    const double p = isLong ? open - s.stopLossTicks * tick : open + s.stopLossTicks * tick;
    if (p != s.stopLossPrice) result |= kStopChanged;
    s.stopLossPrice = p;
  }
  if (s.takeProfitTicks >= 1 && s.takeProfitPrice < 1e-5) {
    const double p = isLong ? open + s.takeProfitTicks * tick : open - s.takeProfitTicks * tick;
    if (p != s.takeProfitPrice) result |= kStopChanged;
    s.takeProfitPrice = p;
  }
  // 4. The trailing stop moves in whole steps of D; after a move it lies between D and 2 D
  // behind the last price.
  if (s.trailingTicks >= 1) {
    const double d = s.trailingTicks * tick;
    if (s.trailingStopPrice < 1e-5) {
      const double p = isLong ? open - d : open + d;
      if (p != s.trailingStopPrice) result |= kStopChanged;
      s.trailingStopPrice = p;
    } else if (isLong) {
      const double before = s.trailingStopPrice;
      const double behind = last - (s.trailingStopPrice + 2 * d);
      if (behind / d > kMaxSteppedMoves) s.trailingStopPrice += (std::floor(behind / d) - 2) * d;
      while (last >= s.trailingStopPrice + 2 * d) s.trailingStopPrice += d;
      if (s.trailingStopPrice != before) result |= kStopChanged;
    } else {
      const double before = s.trailingStopPrice;
      const double ahead = (s.trailingStopPrice - 2 * d) - last;
      if (ahead / d > kMaxSteppedMoves) s.trailingStopPrice -= (std::floor(ahead / d) - 2) * d;
      while (last <= s.trailingStopPrice - 2 * d) s.trailingStopPrice -= d;
      if (s.trailingStopPrice != before) result |= kStopChanged;
    }
  }
  // 5. Break-even arms once the price has moved B in favour.
  if (s.breakEvenTicks >= 1 && !s.breakEvenArmed) {
    const double b = s.breakEvenTicks * tick;
    if (isLong ? s.extremePrice >= open + b : s.extremePrice <= open - b) {
      s.breakEvenArmed = true;
      result |= kStopChanged;
    }
  }
  // 6. Fire on any touched level.
  bool fire;
  if (isLong) {
    fire = (s.stopLossPrice > 1e-5 && last <= s.stopLossPrice) || (s.takeProfitPrice > 1e-5 && last >= s.takeProfitPrice) ||
           (s.trailingStopPrice > 1e-5 && last <= s.trailingStopPrice) || (s.breakEvenArmed && last <= open);
  } else {
    fire = (s.stopLossPrice > 1e-5 && last >= s.stopLossPrice) || (s.takeProfitPrice > 1e-5 && last <= s.takeProfitPrice) ||
           (s.trailingStopPrice > 1e-5 && last >= s.trailingStopPrice) || (s.breakEvenArmed && last >= open);
  }
  if (fire) {
    s.state = 1;
    result |= kStopFired;
  }
  return result;
}

OrderRecord ClosingOrderFor(const AutoCoverStop& stop) {
  OrderRecord o{};
  std::memcpy(o.accountText1, stop.order.accountText1, sizeof o.accountText1);
  std::memcpy(o.accountText2, stop.order.accountText2, sizeof o.accountText2);
  o.contract = stop.order.contract;
  o.direction = stop.order.direction == kBuy ? kSell : kBuy;
  o.offset = kClose;
  o.priceType = kMarketPrice;
  o.hidden = 0;
  o.quantity = stop.order.filledQuantity;
  o.price = 0.0;
  return o;
}

}  // namespace tarn

AutoCoverStop AutoCoverStop::For(const OrderRecord& order, const AutoCoverSetting& setting, double tickSize) {
  AutoCoverStop s;
  s.order = order;
  s.setting = setting;
  s.tickSize = tickSize;
  s.openPrice = order.averageFillPrice;
  s.direction = order.direction;
  s.stopLossTicks = setting.stopLossTicks;
  s.takeProfitTicks = setting.takeProfitTicks;
  s.trailingTicks = setting.trailingTicks;
  s.breakEvenTicks = setting.breakEvenTicks;
  return s;
}

// ---- IAutoCoverNotify ----------------------------------------------------------------------

IAutoCoverNotify::IAutoCoverNotify(bool listenNow) {
  if (listenNow) StartListening();
}
IAutoCoverNotify::~IAutoCoverNotify() { StopListening(); }
void IAutoCoverNotify::StartListening() {
  if (engine_) return;
  engine_ = &CAutoCover::Instance();
  engine_->AddListener(this);
}
void IAutoCoverNotify::StopListening() {
  if (!engine_) return;
  engine_->RemoveListener(this);
  engine_ = nullptr;
}

// ---- CAutoCover ----------------------------------------------------------------------------

CAutoCover::CAutoCover() : CTradeListener(false) { StartListening(); }

CAutoCover::~CAutoCover() {
  CTradeListener::StopListening();
  CQuoteDataClient::Detach();
  listeners_.ForEach([](IAutoCoverNotify* l) { l->engine_ = nullptr; });
}

void CAutoCover::AddListener(IAutoCoverNotify* listener) { listeners_.Add(listener); }
void CAutoCover::RemoveListener(IAutoCoverNotify* listener) { listeners_.Remove(listener); }

// Called with the engine's lock released: a listener may call back into the engine from any
// thread it waits for.
void CAutoCover::Notify() {
  listeners_.ForEach([](IAutoCoverNotify* l) { l->OnAutoCoverChanged(); });
}

void CAutoCover::SetFileEnabled(bool enabled) {
  tarn::Lock lock(mutex_);
  fileEnabled_ = enabled;
}

bool CAutoCover::SaveLocked() {
  if (!fileEnabled_) return true;
  return tarn::WriteFileAtomic(tarn::Path(kSettingsFile), tarn::SerializeAutoCoverFile(settings_));
}

void CAutoCover::LoadSettings() {
  tarn::Lock lock(mutex_);
  if (settingsLoaded_) return;
  settingsLoaded_ = true;
  if (!fileEnabled_) return;
  const std::optional<std::string> bytes = tarn::ReadWholeFile(tarn::Path(kSettingsFile));
  if (!bytes) return;
  settings_ = tarn::ParseAutoCoverFile(*bytes).settings;
}

void CAutoCover::AddOrReplaceSetting(const AutoCoverSetting& setting) {
  tarn::Lock lock(mutex_);
  bool replaced = false;
  for (AutoCoverSetting& s : settings_) {
    if (s.SameSetting(setting)) {
      s = setting;
      replaced = true;
      break;
    }
  }
  if (!replaced) settings_.push_back(setting);
  SaveLocked();
}

void CAutoCover::RemoveSetting(const std::string& commodity) {
  tarn::Lock lock(mutex_);
  for (std::size_t i = settings_.size(); i-- > 0;) {
    if (settings_[i].commodity == commodity) settings_.erase(settings_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  SaveLocked();
}

void CAutoCover::RemoveAllSettings() {
  tarn::Lock lock(mutex_);
  settings_.clear();
  SaveLocked();
}

void CAutoCover::CopySettings(std::vector<AutoCoverSetting>& out) const {
  tarn::Lock lock(mutex_);
  out = settings_;
}

void CAutoCover::SetEnabled(bool enabled) {
  // An engine made before the trading library was installed starts hearing it now.
  if (enabled) CTradeListener::StartListening();
  {
    tarn::Lock lock(mutex_);
    enabled_ = enabled;
    if (enabled) return;
    stopsByKey_.clear();
    stopCount_ = 0;
  }
  Notify();
}

bool CAutoCover::Enabled() const {
  tarn::Lock lock(mutex_);
  return enabled_;
}

void CAutoCover::CopyActiveStops(std::vector<AutoCoverStop>& out) {
  tarn::Lock lock(mutex_);
  out.clear();
  for (auto it = stopsByKey_.begin(); it != stopsByKey_.end();) {
    std::vector<AutoCoverStop>& list = it->second;
    for (const AutoCoverStop& s : list)
      if (s.state == 0) out.push_back(s);
    stopCount_ -= std::erase_if(list, [](const AutoCoverStop& s) { return s.state != 0; });
    it = list.empty() ? stopsByKey_.erase(it) : std::next(it);
  }
  std::sort(out.begin(), out.end(), [](const AutoCoverStop& a, const AutoCoverStop& b) { return a.sequence < b.sequence; });
}

std::size_t CAutoCover::StopCount() const {
  tarn::Lock lock(mutex_);
  return stopCount_;
}

void CAutoCover::OnOrder(const OrderRecord* order, const AccountTexts& account) {
  (void)account;
  if (!order || order->contract.Empty() || order->state != tarn::kStateFilled || order->offset != tarn::kOpen) return;
  {
    tarn::Lock lock(mutex_);
    if (!handled_.insert(std::string(order->Key())).second) return;  // one order creates stops once
    if (!enabled_) return;
    const DC_Commodity* commodity = CommodityOf(order->contract);
    const std::string_view code = commodity ? commodity->Code() : std::string_view();
    const std::string exchange = ExchangeCodeOf(order->contract);
    auto set = std::find_if(settings_.begin(), settings_.end(), [&](const AutoCoverSetting& s) {
      return s.commodity == code && s.exchange == exchange;
    });
    if (set == settings_.end()) return;
    AutoCoverStop stop = AutoCoverStop::For(*order, *set, commodity ? commodity->tickSize : 0.0);
    stop.sequence = nextSequence_++;
    stopsByKey_[std::string(order->contract.Key())].push_back(stop);
    ++stopCount_;
  }
  // Outside the lock: the library may deliver the current snapshot at once.
  Subscribe(order->contract);
  Notify();
}

void CAutoCover::OnPositions(const AccountTexts& account, bool complete) {
  (void)account;  // the lists are the current account's, whichever account the notice names
  if (!complete) return;
  ITradeApi* api = GetTradeApi();
  if (!api) return;
  if (StopCount() == 0) return;
  // The library's lists hold the current account's positions only: the stops of the other
  // accounts of the login cannot be judged by them and stay. A stop whose order names no
  // account belongs to the current one; so do all while the library cannot name it.
  const std::string current = api->CurrentAccount();
  std::vector<PositionRecord> positions;
  api->GetPositions(positions);
  // Long and short quantities summed per contract key.
  std::map<std::string, std::pair<int64_t, int64_t>, std::less<>> held;
  for (const PositionRecord& p : positions) {
    auto& h = held[std::string(p.contract.Key())];
    h.first += p.longQuantity;
    h.second += p.shortQuantity;
  }
  auto ofCurrentAccount = [&](const AutoCoverStop& s) {
    const std::string_view a = tarn::Field(s.order.accountText2);
    return current.empty() || a.empty() || a == current;
  };
  std::size_t deleted = 0;
  {
    tarn::Lock lock(mutex_);
    for (auto it = stopsByKey_.begin(); it != stopsByKey_.end();) {
      auto h = held.find(it->first);
      deleted += std::erase_if(it->second, [&](const AutoCoverStop& s) {
        if (!ofCurrentAccount(s)) return false;
        const int64_t sum = h == held.end() ? 0 : (s.IsLong() ? h->second.first : h->second.second);
        return sum <= 0;
      });
      it = it->second.empty() ? stopsByKey_.erase(it) : std::next(it);
    }
    stopCount_ -= deleted;
  }
  if (deleted > 0) Notify();
}

int CAutoCover::OnQuote(int status, const DC_Quote* quote) {
  (void)status;
  if (!quote) return 0;
  const double last = quote->data.last;
  if (!tarn::UsablePrice(last, 1e-5)) return 0;
  bool changed = false;
  // Sent and told after the lock is released: the library and the listeners may call back.
  // The stops are fired (state 1) under the lock, so a quote on another thread cannot fire
  // them again meanwhile.
  std::vector<OrderRecord> closing;
  {
    tarn::Lock lock(mutex_);
    if (!enabled_) return 0;
    auto it = stopsByKey_.find(quote->contract.Key());
    if (it == stopsByKey_.end()) return 0;
    for (AutoCoverStop& s : it->second) {
      if (s.state != 0) continue;
      if (!(s.tickSize > 0)) s.tickSize = TickOf(s.order.contract);  // the commodity was not known yet
      const unsigned step = tarn::StepAutoCoverStop(s, last);
      if (step != tarn::kStopUnchanged) changed = true;
      if (step & tarn::kStopFired) closing.push_back(tarn::ClosingOrderFor(s));
    }
  }
  if (!closing.empty()) {
    if (ITradeApi* api = GetTradeApi()) {
      const tarn::QuoteStamp stamp = tarn::StampOf(*quote);
      for (const OrderRecord& o : closing) tarn::SendClosingOrder(*api, o, &stamp);
    }
  }
  if (changed) Notify();
  return 0;
}
