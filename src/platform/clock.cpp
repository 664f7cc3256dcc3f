#include "platform/clock.h"

#include <chrono>

namespace tarn {
namespace {
std::atomic<const Clock*> g_clock{nullptr};
}

int64_t SystemClock::SteadyMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t SystemClock::WallSeconds() const {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

int64_t SystemClock::WallMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

const Clock& GetClock() {
  static const SystemClock system;
  const Clock* c = g_clock.load(std::memory_order_acquire);
  return c ? *c : system;
}

void SetClock(const Clock* clock) { g_clock.store(clock, std::memory_order_release); }

std::tm LocalTime(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string FormatTime(int64_t seconds, const char* fmt) {
  std::tm tm = LocalTime(seconds);
  char buf[128];
  std::size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
  return std::string(buf, n);
}

}  // namespace tarn
