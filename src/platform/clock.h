// One injectable clock for the whole terminal: a steady millisecond count (the design's tick
// count) and the wall time in seconds since 1970. Tests install a ManualClock and move time
// themselves, so nothing in a test waits on the real clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

namespace tarn {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t SteadyMs() const = 0;
  virtual int64_t WallSeconds() const = 0;
  // Wall time in milliseconds since 1970.
  virtual int64_t WallMs() const { return WallSeconds() * 1000; }
};

class SystemClock final : public Clock {
 public:
  int64_t SteadyMs() const override;
  int64_t WallSeconds() const override;
  int64_t WallMs() const override;
};

class ManualClock final : public Clock {
 public:
  explicit ManualClock(int64_t wallMs = 1700000000000, int64_t steadyMs = 1000000)
      : steady_(steadyMs), wall_(wallMs) {}
  int64_t SteadyMs() const override { return steady_.load(); }
  int64_t WallSeconds() const override { return wall_.load() / 1000; }
  int64_t WallMs() const override { return wall_.load(); }
  void AdvanceMs(int64_t ms) {
    steady_ += ms;
    wall_ += ms;
  }
  void SetWallMs(int64_t ms) { wall_ = ms; }

 private:
  std::atomic<int64_t> steady_;
  std::atomic<int64_t> wall_;
};

// The clock in use (the system clock unless one was installed).
const Clock& GetClock();
// Installs a clock (nullptr: back to the system clock). The caller keeps it alive.
void SetClock(const Clock* clock);

inline int64_t TickCount() { return GetClock().SteadyMs(); }
inline int64_t Now() { return GetClock().WallSeconds(); }

// Local time of a time value (seconds since 1970).
std::tm LocalTime(int64_t seconds);
// strftime of a time value in local time, e.g. FormatTime(t, "%Y-%m-%d %H:%M:%S").
std::string FormatTime(int64_t seconds, const char* fmt);

}  // namespace tarn
