// The order dialogs, panels and the trading area for `tarn --screenshot`, on the embedded
// exchange's contracts when the libraries are logged in. Nothing is sent.
#pragma once

#include "ui/screenshot.h"

namespace tarn {
void RegisterTradeOrderScreenshots(ui::ScreenshotRegistry& registry);
}  // namespace tarn
