#include "tools/gui/scheme_theme.h"

namespace tarn {

ui::ThemeColors ThemeFromScheme(const ColorTable& c) {
  ui::ThemeColors t;
  t.background = ui::FromColorref(c[kColorDiSe]);
  t.title = ui::FromColorref(c[kColorBiaoTi]);
  t.text = ui::FromColorref(c[kColorZiFuXianShi]);
  t.hint = ui::FromColorref(c[kColorTiXingSe]);
  t.axis = ui::FromColorref(c[kColorZuoBiaoXian]);
  t.scale = ui::FromColorref(c[kColorKeDu]);
  t.border = ui::FromColorref(c[kColorBianKuang]);
  t.menuBar = ui::FromColorref(c[kColorMenuBar]);
  t.sideBar = ui::FromColorref(c[kColorCeBianLan]);
  t.header = ui::FromColorref(c[kColorTaiTouZiFu]);
  t.quote = ui::FromColorref(c[kColorBaoJiaZiFu]);
  t.rising = ui::FromColorref(c[kColorShangZhang]);
  t.falling = ui::FromColorref(c[kColorXiaDie]);
  t.zebra = ui::FromColorref(c[kColorBanMaTiao]);
  t.unchanged = ui::FromColorref(c[kColorPingPan]);
  return t;
}

SchemeThemeWatcher::SchemeThemeWatcher(QObject* parent) : QObject(parent) {
  GetColorScheme().AddListener(this);
  ui::ApplyTheme(ThemeFromScheme(GetColorScheme().Table()));
}

SchemeThemeWatcher::~SchemeThemeWatcher() { GetColorScheme().RemoveListener(this); }

void SchemeThemeWatcher::OnColorSchemeChanged() {
  QMetaObject::invokeMethod(
      this, [] { ui::ApplyTheme(ThemeFromScheme(GetColorScheme().Table())); }, Qt::AutoConnection);
}

}  // namespace tarn
