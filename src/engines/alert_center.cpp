#include "engines/alert_center.h"

#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/sound.h"
#include "platform/text.h"

namespace {
const char kAlertFile[] = "\\config\\alertdata.dat";
const char kAlertSound[] = "\\sound\\trade\\0.wav";
}  // namespace

namespace tarn {

std::string UpperPriceMessage(const std::string& name, int decimals, double limit, double last) {
  return Format(TXT("%s达到价格上限%.*f\r\n当前价格:%.*f"), name, decimals, limit, decimals, last);
}
std::string LowerPriceMessage(const std::string& name, int decimals, double limit, double last) {
  return Format(TXT("%s达到价格下限%.*f,\r\n当前价格；%.*f"), name, decimals, limit, decimals, last);
}
std::string LastQtyMessage(const std::string& name, int64_t limit) {
  return Format(TXT("%s现手达到%lld"), name, static_cast<long long>(limit));
}
std::string VolumeMessage(const std::string& name, int64_t limit) {
  return Format(TXT("%s成交量达到%lld"), name, static_cast<long long>(limit));
}
std::string OpenInterestMessage(const std::string& name, int64_t limit) {
  return Format(TXT("%s持仓量达到%lld"), name, static_cast<long long>(limit));
}

}  // namespace tarn

// ---- IQuoteAlertListener -------------------------------------------------------------------

IQuoteAlertListener::IQuoteAlertListener(bool listenNow) {
  if (listenNow) StartListening();
}

IQuoteAlertListener::~IQuoteAlertListener() { StopListening(); }

void IQuoteAlertListener::StartListening() {
  if (center_) return;
  center_ = &CAlertCenter::Instance();
  center_->AddListener(this);
}

void IQuoteAlertListener::StopListening() {
  if (!center_) return;
  center_->RemoveListener(this);
  center_ = nullptr;
}

// ---- CAlertCenter --------------------------------------------------------------------------

CAlertCenter::CAlertCenter() = default;

CAlertCenter::~CAlertCenter() {
  Detach();
  // Listeners that outlive the engine must not reach back into it.
  listeners_.ForEach([](IQuoteAlertListener* l) { l->center_ = nullptr; });
}

void CAlertCenter::AddListener(IQuoteAlertListener* listener) { listeners_.Add(listener); }
void CAlertCenter::RemoveListener(IQuoteAlertListener* listener) { listeners_.Remove(listener); }

void CAlertCenter::RebuildIndex() {
  firstByKey_.clear();
  for (std::size_t i = 0; i < alerts_.size(); ++i) firstByKey_.try_emplace(std::string(alerts_[i].contract.Key()), i);
}

void CAlertCenter::SetFileEnabled(bool enabled) {
  tarn::Lock lock(mutex_);
  fileEnabled_ = enabled;
}

bool CAlertCenter::SaveLocked() {
  if (!fileEnabled_) return true;
  return tarn::WriteFileAtomic(tarn::Path(kAlertFile), tarn::SerializeAlertFile(soundOn_, alerts_));
}

bool CAlertCenter::Save() {
  tarn::Lock lock(mutex_);
  return SaveLocked();
}

void CAlertCenter::Load() {
  std::vector<DC_Contract> toSubscribe;
  {
    tarn::Lock lock(mutex_);
    if (!fileEnabled_) return;
    const std::optional<std::string> bytes = tarn::ReadWholeFile(tarn::Path(kAlertFile));
    if (!bytes) return;  // no file: nothing loads, the sound keeps its default
    const tarn::AlertFileContents file = tarn::ParseAlertFile(*bytes);
    if (file.hasSoundOn) soundOn_ = file.soundOn != 0 ? 1 : 0;
    alerts_.clear();
    IQuoteDataCenter* center = GetQuoteDataCenter();
    for (const tarn::AlertFileRecord& rec : file.records) {
      // A key that cannot be a contract key (too long for the field, or with a NUL inside)
      // would be cut short and might name another contract: drop it.
      if (!center || rec.key.empty() || rec.key.size() >= sizeof(DC_Contract::key) ||
          rec.key.find('\0') != std::string::npos)
        continue;
      QuoteAlert a = rec.alert;
      a.contract = DC_Contract{};
      if (center->FindContract(&a.contract, rec.key.c_str()) <= 0) continue;
      alerts_.push_back(a);
    }
    RebuildIndex();
    for (const QuoteAlert& a : alerts_) toSubscribe.push_back(a.contract);
  }
  // Subscribing may deliver a snapshot at once, which runs the trigger check: outside the lock
  // so that the listeners it calls see no lock held.
  for (const DC_Contract& c : toSubscribe) Subscribe(c);
}

void CAlertCenter::AddOrReplace(const QuoteAlert& alert) {
  if (alert.contract.Empty()) return;
  {
    tarn::Lock lock(mutex_);
    bool matched = false;
    for (std::size_t i = alerts_.size(); i-- > 0;) {
      if (alerts_[i].contract.SameKey(alert.contract)) {
        alerts_[i] = alert;
        matched = true;
      }
    }
    if (!matched) {
      alerts_.push_back(alert);
      firstByKey_.try_emplace(std::string(alert.contract.Key()), alerts_.size() - 1);
    }
    SaveLocked();
  }
  Subscribe(alert.contract);
}

void CAlertCenter::Remove(const QuoteAlert& alert) {
  tarn::Lock lock(mutex_);
  for (std::size_t i = alerts_.size(); i-- > 0;) {
    if (alerts_[i].contract.SameKey(alert.contract)) alerts_.erase(alerts_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  RebuildIndex();
  SaveLocked();
}

void CAlertCenter::RemoveAll() {
  tarn::Lock lock(mutex_);
  alerts_.clear();
  firstByKey_.clear();
  SaveLocked();
}

void CAlertCenter::CopyAlerts(std::vector<QuoteAlert>& out) const {
  tarn::Lock lock(mutex_);
  out = alerts_;
}

void CAlertCenter::CopyHistory(std::vector<AlertLogEntry>& out) const {
  tarn::Lock lock(mutex_);
  out.clear();
  if (!history_.empty()) out = history_;
}

void CAlertCenter::SetSound(bool on) {
  tarn::Lock lock(mutex_);
  soundOn_ = on ? 1 : 0;
  SaveLocked();
}

bool CAlertCenter::SoundOn() const {
  tarn::Lock lock(mutex_);
  return soundOn_ != 0;
}

std::size_t CAlertCenter::AlertCount() const {
  tarn::Lock lock(mutex_);
  return alerts_.size();
}

int CAlertCenter::OnQuote(int status, const DC_Quote* quote) {
  if (status != 0 || !quote) return 0;
  std::vector<std::string> messages;
  {
    tarn::Lock lock(mutex_);
    auto it = firstByKey_.find(quote->contract.Key());
    if (it == firstByKey_.end()) return 0;
    QuoteAlert& a = alerts_[it->second];
    const DC_QuoteData& d = quote->data;
    const double last = d.last;
    // A price that is not a number or infinite is no price.
    const bool priced = tarn::UsablePrice(last, 1e-7);
    const bool upper = a.upperPrice > 1e-7 && a.upperFired == 0 && priced && last >= a.upperPrice;
    const bool lower = a.lowerPrice > 1e-7 && a.lowerFired == 0 && priced && last <= a.lowerPrice;
    const bool lastQty = a.lastQtyLimit > 0 && a.lastQtyFired == 0 && static_cast<int64_t>(d.lastQuantity) >= a.lastQtyLimit;
    const bool volume = a.volumeLimit > 0 && a.volumeFired == 0 && static_cast<int64_t>(d.volume) >= a.volumeLimit;
    const bool oi = a.openInterestLimit > 0 && a.openInterestFired == 0 &&
                    static_cast<int64_t>(d.openInterest) >= a.openInterestLimit;
    if (!(upper || lower || lastQty || volume || oi)) return 0;
    const std::string name(a.contract.Name());
    const int decimals = (upper || lower) ? PriceDecimals(a.contract) : 0;
    if (upper) {
      a.upperFired = 1;
      messages.push_back(tarn::UpperPriceMessage(name, decimals, a.upperPrice, last));
    }
    if (lower) {
      a.lowerFired = 1;
      messages.push_back(tarn::LowerPriceMessage(name, decimals, a.lowerPrice, last));
    }
    if (lastQty) {
      a.lastQtyFired = 1;
      messages.push_back(tarn::LastQtyMessage(name, a.lastQtyLimit));
    }
    if (volume) {
      a.volumeFired = 1;
      messages.push_back(tarn::VolumeMessage(name, a.volumeLimit));
    }
    if (oi) {
      a.openInterestFired = 1;
      messages.push_back(tarn::OpenInterestMessage(name, a.openInterestLimit));
    }
    const int64_t now = tarn::Now();
    for (const std::string& m : messages) history_.push_back(AlertLogEntry{m, 255, now});
    // One sound per update, however many limits fired.
    if (soundOn_ != 0) tarn::Sound::Play(tarn::Path(kAlertSound));
    SaveLocked();
  }
  const DC_Contract contract = quote->contract;
  listeners_.ForEach([&](IQuoteAlertListener* l) {
    for (const std::string& m : messages) l->OnQuoteAlert(contract, m);
  });
  return 0;
}
