#include "libs/indicators/period_name.h"

#include "platform/text.h"

namespace tarn {

std::string PeriodName(int kind, int n) {
  switch (kind) {
    case kPeriodTimeShare: return TXT("分时");
    case kPeriodTick: return TXT("分笔");
    case kPeriodSeconds: return Format(TXT("%d秒"), n);
    case kPeriodMinutes: return Format(TXT("%d分钟"), n);
    case kPeriodDays: return n < 2 ? TXT("日线") : Format(TXT("%d日线"), n);
    case kPeriodWeek: return TXT("周线");
    case kPeriodMonths: return n == 1 ? TXT("月线") : n == 3 ? TXT("季线") : Format(TXT("%d月线"), n);
    case kPeriodYear: return TXT("年线");
    default: return std::string();
  }
}

}  // namespace tarn
