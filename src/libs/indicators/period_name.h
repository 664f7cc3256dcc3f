// The names of chart periods (kind, multiplier) as menus, titles and the keyboard wizard
// show them.
#pragma once

#include <string>

namespace tarn {

enum PeriodKind : int {
  kPeriodTimeShare = 0,  // intraday time-share
  kPeriodTick = 1,
  kPeriodSeconds = 2,
  kPeriodMinutes = 3,
  kPeriodUnnamed = 4,
  kPeriodDays = 5,
  kPeriodWeek = 6,
  kPeriodMonths = 7,
  kPeriodYear = 8,
};

// "分时", "分笔", "%d秒", "%d分钟", "" (kind 4), "日线" / "%d日线", "周线", "月线" / "季线" /
// "%d月线", "年线"; unknown kinds give an empty text. GBK.
std::string PeriodName(int kind, int multiplier);

}  // namespace tarn
