// The chart windows and dialogs for `tarn --screenshot DIR`.
#pragma once

#include "ui/screenshot.h"

namespace tarn {
void RegisterChartScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
