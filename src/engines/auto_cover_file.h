// The automatic stop settings and their file "\config\AutoCover.dat".
//
// File (archive form, little-endian, no version): int32 count, then per setting: commodity and
// exchange (length-prefixed GBK), stopLossTicks, takeProfitTicks, trailingTicks, breakEvenTicks
// (int32 each).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One commodity's distances in price ticks; a distance below 1 means none. Two settings are
// the same setting when both codes are equal.
struct AutoCoverSetting {
  std::string commodity;  // commodity code
  std::string exchange;   // exchange code
  int32_t stopLossTicks = 0;
  int32_t takeProfitTicks = 0;
  int32_t trailingTicks = 0;
  int32_t breakEvenTicks = 0;

  bool SameSetting(const AutoCoverSetting& o) const { return commodity == o.commodity && exchange == o.exchange; }
  bool operator==(const AutoCoverSetting&) const = default;
};

namespace tarn {

// The smallest stored setting: two empty strings and four int32.
constexpr std::size_t kAutoCoverRecordMinBytes = 18;

// What a read of the file found: every setting read in full, in file order; `complete` false
// when the file ended or broke before the declared count (at `failedAt`).
struct AutoCoverFileContents {
  bool countRead = false;
  int32_t count = 0;
  std::vector<AutoCoverSetting> settings;
  bool complete = false;
  std::size_t failedAt = 0;
  std::size_t damagedRecordAt = 0;  // where the setting that broke begins
  std::size_t trailingBytes = 0;
};

AutoCoverFileContents ParseAutoCoverFile(std::string_view bytes);
std::string SerializeAutoCoverFile(const std::vector<AutoCoverSetting>& settings);

}  // namespace tarn
