// The trade grid's and the funds window's screenshots, with real content from the logged-in
// trading library: a few orders are sent once (filled positions, a resting order, a stop order)
// before the first window is opened.
#pragma once

#include "ui/screenshot.h"

namespace tarn {
void RegisterTradeGridScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
