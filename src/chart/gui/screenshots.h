// The chart's dialogs for `tarn --screenshot DIR` (the charts themselves are shot in their
// container, with the workspace windows).
#pragma once

#include "ui/screenshot.h"

namespace tarn {
void RegisterChartScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
