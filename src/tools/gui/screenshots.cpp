#include "tools/gui/screenshots.h"

#include "tools/gui/dlg_setting.h"
#include "tools/gui/setting_color.h"

namespace tarn {

void RegisterToolsScreenshots(ui::ScreenshotRegistry& registry) {
  registry.Add("settings", [] { return static_cast<QWidget*>(new CDlgSetting); });
  registry.Add("colors", [] { return static_cast<QWidget*>(new CSettingColor); });
}

}  // namespace tarn
