// The engines' windows for `tarn --screenshot`. Each is shown over a demonstration engine of
// its own (no file is read or written), filled with the embedded exchange's contracts when the
// quote library is logged in.
#pragma once

#include "ui/screenshot.h"

namespace tarn {
void RegisterEnginesScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
