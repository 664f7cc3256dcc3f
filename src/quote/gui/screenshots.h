// The quote display's windows for `tarn --screenshot`.
#pragma once

#include "ui/screenshot.h"

namespace tarn {
// Adds the quote grid window with live quotes, its context menu, the header settings and the
// contract selection in both modes.
void RegisterQuoteScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
