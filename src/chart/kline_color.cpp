#include "chart/kline_color.h"

#include "platform/profile.h"
#include "platform/sync.h"
#include "platform/text.h"

namespace tarn {

namespace {
ListenerSet<IKlineSettingNotify>& Listeners() {
  static ListenerSet<IKlineSettingNotify> set;
  return set;
}
}  // namespace

KLineColors LoadKLineColors() {
  KLineColors c;
  c.up = static_cast<Colorref>(Profile::GetInt(kKColorFile, "KColor", "ClrUp", 255));
  c.down = static_cast<Colorref>(Profile::GetInt(kKColorFile, "KColor", "ClrDn", 16776960));
  c.style = Profile::GetInt(kKColorFile, "KColor", "Style", 0);
  return c;
}

bool CandleStyleColors(int style, KLineColors* out) {
  if (style == 0) *out = {255, 15790080, 0};
  else if (style == 1) *out = {255, 56320, 1};
  else return false;
  return true;
}

bool ChooseCandleStyle(int style) {
  KLineColors c;
  if (!CandleStyleColors(style, &c)) return false;
  // The three keys go to the file in one replacement.
  const std::string path = Profile::Resolve(kKColorFile);
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Set("KColor", "Style", Format("%d", c.style));
  doc.Set("KColor", "ClrUp", Format("%u", c.up));
  doc.Set("KColor", "ClrDn", Format("%u", c.down));
  if (!doc.Save(path)) return false;
  Listeners().ForEach([](IKlineSettingNotify* l) { l->OnKlineSettingChanged(); });
  return true;
}

void AddKlineSettingListener(IKlineSettingNotify* listener) { Listeners().Add(listener); }
void RemoveKlineSettingListener(IKlineSettingNotify* listener) { Listeners().Remove(listener); }

}  // namespace tarn
