// The candle colours of every chart, "\user\KColor.ini" section "KColor": "ClrUp" (default 255),
// "ClrDn" (default 16776960) and "Style" (default 0). Choosing style 0 ("方案1") writes ClrUp 255
// and ClrDn 15790080, style 1 ("方案2") ClrUp 255 and ClrDn 56320; every change is written at
// once and every chart is told through IKlineSettingNotify.
#pragma once

#include "platform/color.h"

namespace tarn {

inline constexpr const char* kKColorFile = "\\user\\KColor.ini";

struct KLineColors {
  Colorref up = 255;
  Colorref down = 16776960;
  int style = 0;
  bool operator==(const KLineColors&) const = default;
};

KLineColors LoadKLineColors();
// The colours a style writes; false for a style other than 0 and 1.
bool CandleStyleColors(int style, KLineColors* out);
// Writes the style and its colours, then tells every listener. False for an unknown style or
// when the file could not be written (nothing is told then).
bool ChooseCandleStyle(int style);

}  // namespace tarn

// Told after the candle colours changed (on the thread that changed them, the UI thread).
class IKlineSettingNotify {
 public:
  virtual ~IKlineSettingNotify() = default;
  virtual void OnKlineSettingChanged() = 0;
};

namespace tarn {
void AddKlineSettingListener(IKlineSettingNotify* listener);
void RemoveKlineSettingListener(IKlineSettingNotify* listener);
}  // namespace tarn
