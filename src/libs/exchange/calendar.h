// Dates, trading days and trading sessions of the simulated market.
//
// The market keeps exchange time: China Standard Time, UTC+8 without daylight saving, so that
// the market is the same on every machine whatever its time zone. A trading day D covers the
// window from 17:00 of the previous trading date to 17:00 of D: the evening (night) session
// belongs to the next trading day, as on the domestic exchanges, and the trading day rolls at
// 17:00 exchange time. Inside a window a time is an "offset": minutes from the window's 17:00,
// where offsets below 840 (17:00 to 07:00) fall on the evening after the previous trading date
// and the others on D itself. With real sessions, trading dates are Monday to Friday (Monday's
// window starts on Friday at 17:00); otherwise every date trades and the window is one day.
#pragma once

#include <cstdint>
#include <vector>

namespace tarn::exchange {

constexpr int64_t kMinuteMs = 60000;
constexpr int64_t kDayMs = 86400000;
constexpr int64_t kExchangeUtcOffsetMs = 8 * 3600000;  // UTC+8
constexpr int kStepMs = 500;                           // one snapshot step
constexpr int kStepsPerMinute = 120;

// Days since 1970-01-01 <-> civil dates.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t dayNum, int& year, int& month, int& day);
int32_t Yyyymmdd(int64_t dayNum);
int64_t DayNumOf(int32_t yyyymmdd);
// 0 = Sunday ... 6 = Saturday.
int Weekday(int64_t dayNum);
// Exchange-time civil date of a wall time (ms since 1970).
int64_t ExchangeDayNum(int64_t wallMs);
// Seconds since the exchange-time midnight of a wall time.
int ExchangeSecondOfDay(int64_t wallMs);

class TradingCalendar {
 public:
  explicit TradingCalendar(bool realSessions) : realSessions_(realSessions) {}
  bool RealSessions() const { return realSessions_; }

  bool IsTradingDate(int64_t dayNum) const;
  int64_t NextTradingDate(int64_t dayNum) const;  // strictly after
  int64_t PrevTradingDate(int64_t dayNum) const;  // strictly before
  // First trading date on or after dayNum.
  int64_t TradingDateOnOrAfter(int64_t dayNum) const;

  // 17:00 exchange time of a date, as ms since 1970.
  static int64_t RollMs(int64_t dayNum) { return dayNum * kDayMs + 17 * 3600000 - kExchangeUtcOffsetMs; }
  // The trading day whose window holds the wall time.
  int64_t TradingDayAt(int64_t wallMs) const;
  // Wall time of an offset (minutes) of trading day D's window.
  int64_t OffsetToMs(int64_t tradingDay, int offsetMinutes) const;
  // Offset in ms of a wall time inside trading day D's window (may be far beyond 1440 minutes
  // for the weekend part of a Monday window).
  int64_t MsIntoWindow(int64_t tradingDay, int64_t wallMs) const;

 private:
  bool realSessions_;
};

// The trading minutes of one commodity inside a trading-day window: sorted ranges of offsets.
class SessionPlan {
 public:
  struct Range {
    int begin;  // first offset (minutes from 17:00)
    int end;    // one past the last
  };
  SessionPlan() = default;
  explicit SessionPlan(std::vector<Range> ranges);
  static SessionPlan AllDay() { return SessionPlan({{0, 1440}}); }

  int Minutes() const { return total_; }
  const std::vector<Range>& Ranges() const { return ranges_; }
  // Offset of session minute i (0 <= i < Minutes()).
  int OffsetOf(int i) const;
  // Session minutes that start before offset o.
  int MinutesBefore(int offset) const;
  bool InSession(int offset) const;

 private:
  std::vector<Range> ranges_;
  std::vector<int> before_;  // session minutes before each range
  int total_ = 0;
};

}  // namespace tarn::exchange
