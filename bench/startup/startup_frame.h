// The frm.dat of the start-up figures: four workspaces "工作区1".."工作区4" of four windows
// (scheme 2x2) each: two K-line charts of one-minute bars (MA over the candles, VOL and MACD
// panes), a quote grid and a time-share chart, on main contracts of the embedded exchange
// (always open, a year of history: far more than the charts' 10,000 bars). The first
// workspace is the current one.
#pragma once

#include <string>
#include <vector>

namespace tarn::bench {

// The contract keys of the eight K-line charts, two per workspace in order.
const std::vector<std::string>& StartupChartContracts();
// The whole file's bytes (the frame's record with the quote page record inside).
std::string StartupFrameFile();

}  // namespace tarn::bench
