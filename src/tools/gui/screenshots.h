// The tools' windows for `tarn --screenshot`.
#pragma once

#include "ui/screenshot.h"

namespace tarn {
// Adds the settings and colour dialogs.
void RegisterToolsScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
