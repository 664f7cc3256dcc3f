#include "tools/tick_tallies.h"

#include <cstring>

#include "data/quote_data_center.h"
#include "platform/archive.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"

namespace tarn {

namespace {

constexpr std::size_t kMaxFileBytes = 16u << 20;

std::string AvgTradeVolumePath() { return Path("\\user\\avgtradevol.dat"); }

double Ratio(int64_t part, int64_t whole) {
  return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

bool SameTick(const TickRecord& a, const TickRecord& b) {
  return a.time == b.time && a.subKey == b.subKey && a.tradingDay == b.tradingDay;
}

}  // namespace

AvgTradeVolumeFile ParseAvgTradeVolume(std::string_view bytes) {
  AvgTradeVolumeFile file;
  ArchiveReader r(bytes);
  int32_t version = 0;
  int32_t count = 0;
  // An entry is at least a one-byte length prefix and an int32.
  if (!r.Int32(version) || !r.Count(count, 5)) {
    file.complete = false;
    file.failedAt = r.FailedAt();
    return file;
  }
  for (int32_t i = 0; i < count; ++i) {
    std::string key;
    int32_t value = 0;
    if (!r.String(key) || !r.Int32(value)) {
      file.complete = false;
      file.failedAt = r.FailedAt();
      return file;
    }
    file.averages[key] = value;
  }
  return file;
}

std::string SerializeAvgTradeVolume(const std::map<std::string, int32_t>& averages) {
  ArchiveWriter w;
  w.Int32(0);
  w.Int32(static_cast<int32_t>(averages.size()));
  for (const auto& [key, value] : averages) {
    w.String(key);
    w.Int32(value);
  }
  return w.Take();
}

void AvgTradeVolumeStore::LoadLocked() {
  if (loaded_) return;
  loaded_ = true;
  averages_.clear();
  if (std::optional<std::string> bytes = ReadWholeFile(AvgTradeVolumePath(), kMaxFileBytes)) {
    averages_ = ParseAvgTradeVolume(*bytes).averages;
  }
}

void AvgTradeVolumeStore::SaveLocked() {
  const std::string path = AvgTradeVolumePath();
  MakeDirs(path.substr(0, path.find_last_of('/')));
  WriteFileAtomic(path, SerializeAvgTradeVolume(averages_));
}

int32_t AvgTradeVolumeStore::Average(const std::string& commodityKey, std::size_t ticks, int64_t lots) {
  Lock lock(mutex_);
  LoadLocked();
  auto it = averages_.find(commodityKey);
  if (ticks >= kTicksForAverage) {
    const int64_t a = lots / static_cast<int64_t>(ticks);
    const int32_t average = a > INT32_MAX ? INT32_MAX : static_cast<int32_t>(a < 0 ? 0 : a);
    if (it == averages_.end() || it->second != average) {
      averages_[commodityKey] = average;
      SaveLocked();
    }
    return average;
  }
  if (it != averages_.end()) return it->second;
  averages_[commodityKey] = kDefaultAverage;
  SaveLocked();
  return kDefaultAverage;
}

bool AvgTradeVolumeStore::Stored(const std::string& commodityKey, int32_t* value) {
  Lock lock(mutex_);
  LoadLocked();
  auto it = averages_.find(commodityKey);
  if (it == averages_.end()) return false;
  if (value) *value = it->second;
  return true;
}

void AvgTradeVolumeStore::Reset() {
  Lock lock(mutex_);
  loaded_ = false;
  averages_.clear();
}

AvgTradeVolumeStore& GetAvgTradeVolumeStore() {
  static AvgTradeVolumeStore store;
  return store;
}

std::string CommodityKeyOf(const DC_Contract& contract) {
  const DC_Commodity* c = CommodityOf(contract);
  if (!c) return std::string();
  std::string key(c->ExchangeCode());
  key += '|';
  key += c->Code();
  return key;
}

double TickTallies::BigBuyRatio() const { return Ratio(bigBuy, bigBuy + bigSell + smallBuy + smallSell); }
double TickTallies::BigSellRatio() const { return Ratio(bigSell, bigBuy + bigSell + smallBuy + smallSell); }
double TickTallies::SmallBuyRatio() const { return Ratio(smallBuy, bigBuy + bigSell + smallBuy + smallSell); }
double TickTallies::SmallSellRatio() const { return Ratio(smallSell, bigBuy + bigSell + smallBuy + smallSell); }

double TickTallies::ClassRatio(int cls, bool big) const {
  if (cls < 1 || cls > 9) return 0.0;
  return Ratio(big ? bigClass[cls] : smallClass[cls], total);
}

void TickTallyWalker::Clear() {
  tallies_ = TickTallies{};
  handled_ = 0;
  first_ = TickRecord{};
  last_ = TickRecord{};
}

void TickTallyWalker::Feed(const std::vector<TickRecord>& day, int64_t bigOrderSize) {
  // The list continues the handled one when it is at least as long, starts with the same tick
  // and still holds the last handled tick where it was.
  if (handled_ > 0 &&
      (day.size() < handled_ || !SameTick(day.front(), first_) || !SameTick(day[handled_ - 1], last_))) {
    Clear();
  }
  if (day.empty()) return;
  std::size_t i = handled_;
  if (i == 0) i = 1;  // the first tick has no predecessor and is not classified
  for (; i < day.size(); ++i) {
    const TickRecord& t = day[i];
    const TickKind k = ClassifyTick(day[i - 1], t);
    const int64_t q = t.quantity;
    const bool big = q > bigOrderSize;
    int64_t& buy = big ? tallies_.bigBuy : tallies_.smallBuy;
    int64_t& sell = big ? tallies_.bigSell : tallies_.smallSell;
    if (k.side == kSideBuy) {
      buy += q;
    } else if (k.side == kSideSell) {
      sell += q;
    } else {
      buy += q / 2;
      sell += q / 2;
    }
    (big ? tallies_.bigClass : tallies_.smallClass)[k.cls] += q;
    tallies_.total += q;
  }
  handled_ = day.size();
  first_ = day.front();
  last_ = day.back();
}

}  // namespace tarn
