// Chart periods: a kind and a multiplier, the quote page's seventeen period buttons (commands
// 1001-1017), the user's extra periods of "\user\peirod.ini", and what a period asks of the
// quote library.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "libs/indicators/period_name.h"

namespace tarn {

struct ChartPeriod {
  int kind = kPeriodDays;
  int multiplier = 1;
  bool operator==(const ChartPeriod&) const = default;
};

// A period that can be charted: kind 0..8 and a multiplier of at least 1.
bool IsValidPeriod(const ChartPeriod& p);

constexpr int kFirstPeriodCommand = 1001;
constexpr int kLastPeriodCommand = 1017;

struct ToolbarPeriod {
  int command = 0;
  std::string label;  // GBK: "分时", "Tick", "15秒", ... "年线"
  ChartPeriod period;
};
// The seventeen period buttons in command order.
const std::vector<ToolbarPeriod>& ToolbarPeriods();
std::optional<ChartPeriod> PeriodForCommand(int command);
// The button of a period, 0 when none shows it.
int CommandForPeriod(const ChartPeriod& period);

inline constexpr const char* kUserPeriodFile = "\\user\\peirod.ini";
// "kind,multiplier,kind,multiplier...": only the first 900 characters count; an incomplete last
// pair and pairs that are not periods are left out, as are repeats.
std::vector<ChartPeriod> ParseUserPeriods(std::string_view text);
std::string FormatUserPeriods(const std::vector<ChartPeriod>& periods);
// [Period] data of "\user\peirod.ini" (none when the file or the key is missing).
std::vector<ChartPeriod> LoadUserPeriods();
bool SaveUserPeriods(const std::vector<ChartPeriod>& periods);
// The built-in periods (the buttons' order), then the user's that are not among them.
std::vector<ChartPeriod> OfferedPeriods(const std::vector<ChartPeriod>& user);

// A bar's length in seconds (0 for tick by tick; a time-share minute is 60).
int PeriodSeconds(const ChartPeriod& p);

}  // namespace tarn
