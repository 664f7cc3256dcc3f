#include "chart/chart_period.h"

#include <algorithm>

#include "platform/profile.h"
#include "platform/text.h"

namespace tarn {

bool IsValidPeriod(const ChartPeriod& p) { return p.kind >= 0 && p.kind <= 8 && p.multiplier >= 1 && p.multiplier <= 100000; }

const std::vector<ToolbarPeriod>& ToolbarPeriods() {
  static const std::vector<ToolbarPeriod> kPeriods = [] {
    const struct {
      const std::string& label;
      int kind, n;
    } rows[] = {
        {TXT("分时"), kPeriodTimeShare, 1}, {TXT("Tick"), kPeriodTick, 1},     {TXT("15秒"), kPeriodSeconds, 15},
        {TXT("30秒"), kPeriodSeconds, 30},  {TXT("1分钟"), kPeriodMinutes, 1},  {TXT("3分钟"), kPeriodMinutes, 3},
        {TXT("5分钟"), kPeriodMinutes, 5},  {TXT("15分"), kPeriodMinutes, 15},  {TXT("30分"), kPeriodMinutes, 30},
        {TXT("60分"), kPeriodMinutes, 60},  {TXT("120分"), kPeriodMinutes, 120}, {TXT("240分"), kPeriodMinutes, 240},
        {TXT("日线"), kPeriodDays, 1},      {TXT("周线"), kPeriodWeek, 1},      {TXT("月线"), kPeriodMonths, 1},
        {TXT("季线"), kPeriodMonths, 3},    {TXT("年线"), kPeriodYear, 1},
    };
    std::vector<ToolbarPeriod> out;
    int id = kFirstPeriodCommand;
    for (const auto& r : rows) out.push_back({id++, r.label, {r.kind, r.n}});
    return out;
  }();
  return kPeriods;
}

std::optional<ChartPeriod> PeriodForCommand(int command) {
  if (command < kFirstPeriodCommand || command > kLastPeriodCommand) return std::nullopt;
  return ToolbarPeriods()[static_cast<std::size_t>(command - kFirstPeriodCommand)].period;
}

int CommandForPeriod(const ChartPeriod& period) {
  for (const ToolbarPeriod& t : ToolbarPeriods())
    if (t.period == period) return t.command;
  return 0;
}

std::vector<ChartPeriod> ParseUserPeriods(std::string_view text) {
  text = text.substr(0, std::min<std::size_t>(text.size(), 900));
  std::vector<int> numbers;
  std::vector<bool> ok;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t comma = text.find(',', pos);
    const std::string_view part = TrimView(text.substr(pos, comma == std::string_view::npos ? text.npos : comma - pos));
    bool good = false;
    const long long v = ParseLeadingInt(part, &good);
    good = good && !part.empty();
    numbers.push_back(static_cast<int>(std::clamp<long long>(v, -1, 1000000)));
    ok.push_back(good);
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
  }
  std::vector<ChartPeriod> out;
  for (std::size_t i = 0; i + 1 < numbers.size(); i += 2) {
    if (!ok[i] || !ok[i + 1]) continue;
    const ChartPeriod p{numbers[i], numbers[i + 1]};
    if (IsValidPeriod(p) && std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
  }
  return out;
}

std::string FormatUserPeriods(const std::vector<ChartPeriod>& periods) {
  std::string out;
  for (const ChartPeriod& p : periods) {
    if (!out.empty()) out += ',';
    out += Format("%d,%d", p.kind, p.multiplier);
  }
  return out;
}

std::vector<ChartPeriod> LoadUserPeriods() {
  return ParseUserPeriods(Profile::GetString(kUserPeriodFile, "Period", "data", ""));
}

bool SaveUserPeriods(const std::vector<ChartPeriod>& periods) {
  return Profile::WriteString(kUserPeriodFile, "Period", std::string_view("data"), FormatUserPeriods(periods));
}

std::vector<ChartPeriod> OfferedPeriods(const std::vector<ChartPeriod>& user) {
  std::vector<ChartPeriod> out;
  for (const ToolbarPeriod& t : ToolbarPeriods()) out.push_back(t.period);
  for (const ChartPeriod& p : user)
    if (IsValidPeriod(p) && std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
  return out;
}

int PeriodSeconds(const ChartPeriod& p) {
  const int n = std::max(1, p.multiplier);
  switch (p.kind) {
    case kPeriodTimeShare: return 60;
    case kPeriodSeconds: return n;
    case kPeriodMinutes: return 60 * n;
    case kPeriodDays: return 86400 * n;
    case kPeriodWeek: return 7 * 86400;
    case kPeriodMonths: return 30 * 86400 * n;
    case kPeriodYear: return 365 * 86400;
    default: return 0;
  }
}

}  // namespace tarn
