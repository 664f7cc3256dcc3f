#include "libs/exchange/calendar.h"

#include <algorithm>

namespace tarn::exchange {

int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

int32_t Yyyymmdd(int64_t dayNum) {
  int y, m, d;
  CivilFromDays(dayNum, y, m, d);
  return y * 10000 + m * 100 + d;
}

int64_t DayNumOf(int32_t v) { return DaysFromCivil(v / 10000, (v / 100) % 100, v % 100); }

int Weekday(int64_t dayNum) {
  int64_t w = (dayNum + 4) % 7;
  return static_cast<int>(w < 0 ? w + 7 : w);
}

static int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

int64_t ExchangeDayNum(int64_t wallMs) { return FloorDiv(wallMs + kExchangeUtcOffsetMs, kDayMs); }

int ExchangeSecondOfDay(int64_t wallMs) {
  const int64_t local = wallMs + kExchangeUtcOffsetMs;
  return static_cast<int>((local - FloorDiv(local, kDayMs) * kDayMs) / 1000);
}

bool TradingCalendar::IsTradingDate(int64_t dayNum) const {
  if (!realSessions_) return true;
  const int w = Weekday(dayNum);
  return w >= 1 && w <= 5;
}

int64_t TradingCalendar::NextTradingDate(int64_t dayNum) const {
  do {
    ++dayNum;
  } while (!IsTradingDate(dayNum));
  return dayNum;
}

int64_t TradingCalendar::PrevTradingDate(int64_t dayNum) const {
  do {
    --dayNum;
  } while (!IsTradingDate(dayNum));
  return dayNum;
}

int64_t TradingCalendar::TradingDateOnOrAfter(int64_t dayNum) const {
  while (!IsTradingDate(dayNum)) ++dayNum;
  return dayNum;
}

int64_t TradingCalendar::TradingDayAt(int64_t wallMs) const {
  // The date whose 17:00 has not yet passed: shift the exchange time by 7 hours.
  const int64_t d = FloorDiv(wallMs + kExchangeUtcOffsetMs + 7 * 3600000, kDayMs);
  return TradingDateOnOrAfter(d);
}

int64_t TradingCalendar::OffsetToMs(int64_t tradingDay, int offset) const {
  if (offset < 840) return RollMs(PrevTradingDate(tradingDay)) + offset * kMinuteMs;
  return tradingDay * kDayMs - kExchangeUtcOffsetMs + (offset - 420) * kMinuteMs;
}

int64_t TradingCalendar::MsIntoWindow(int64_t tradingDay, int64_t wallMs) const {
  const int64_t dayPartStart = tradingDay * kDayMs - kExchangeUtcOffsetMs + 7 * 3600000;  // 07:00 of D
  if (wallMs >= dayPartStart) return wallMs - dayPartStart + 840 * kMinuteMs;
  // The night part ends at 07:00 after the previous trading date; a weekend between it and the
  // day part counts as its last moment.
  const int64_t night = wallMs - RollMs(PrevTradingDate(tradingDay));
  return night < 840 * kMinuteMs ? night : 840 * kMinuteMs - 1;
}

SessionPlan::SessionPlan(std::vector<Range> ranges) : ranges_(std::move(ranges)) {
  std::sort(ranges_.begin(), ranges_.end(), [](const Range& a, const Range& b) { return a.begin < b.begin; });
  for (const Range& r : ranges_) {
    before_.push_back(total_);
    total_ += r.end - r.begin;
  }
}

int SessionPlan::OffsetOf(int i) const {
  for (std::size_t k = ranges_.size(); k-- > 0;) {
    if (i >= before_[k]) return ranges_[k].begin + (i - before_[k]);
  }
  return 0;
}

int SessionPlan::MinutesBefore(int offset) const {
  int n = 0;
  for (const Range& r : ranges_) {
    if (offset <= r.begin) break;
    n += std::min(offset, r.end) - r.begin;
  }
  return n;
}

bool SessionPlan::InSession(int offset) const {
  for (const Range& r : ranges_)
    if (offset >= r.begin && offset < r.end) return true;
  return false;
}

}  // namespace tarn::exchange
