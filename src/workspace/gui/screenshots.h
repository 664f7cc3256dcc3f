// The workspace windows for `tarn --screenshot DIR`.
#pragma once

#include "ui/screenshot.h"

namespace tarn {
void RegisterWorkspaceScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
