// The quote grid window's context menu: its entries and when each is offered, and the rules
// that depend on the window hosting the grid (a chart container of a workspace).
#pragma once

#include <string>
#include <vector>

#include "data/quote_records.h"

namespace tarn {

enum GridMenuCommand {
  kGridCmdToggleUserBlock = 101,  // "加入自选(Ctrl+Z)" / "从自选移除"
  kGridCmdDelete = 102,           // "删除"
  kGridCmdContractSettings = 103, // "合约设置"
  kGridCmdHeaderSettings = 104,   // "表头设置"
  kGridCmdAutoFit = 105,          // "列宽自适应"
  kGridCmdSplitTopBottom = 1007,  // "上下拆分"
  kGridCmdSplitLeftRight = 1008,  // "左右拆分"
  kGridCmdCloseWindow = 1009,     // "关闭窗口"
  kGridCmdQuoteAlert = 1010,      // "行情预警"
};

// The window commands message 1014 carries.
enum GridWindowCommand { kWindowSplitTopBottom = 0, kWindowSplitLeftRight = 1, kWindowClose = 2, kWindowMaximize = 3 };

// What the window hosting the grid window tells about itself.
struct GridHostInfo {
  bool inChartContainer = false;     // hosted by a chart container of a workspace
  int workspaceWindows = 0;          // windows of that workspace
  bool layoutFlag = false;           // the workspace's layout flag
  bool linkedGridContainer = false;  // a grid-showing container of the workspace has its linking flag
};
// The split and close entries (and the caption's close and maximise buttons) are offered in a
// chart container whose workspace holds fewer than two windows or has its layout flag cleared.
bool GridOffersWindowCommands(const GridHostInfo& host);
// A double-click switches the hosting container to its K-line chart unless the workspace holds
// two or more windows and a grid-showing container has its linking flag set.
bool GridDoubleClickShowsChart(const GridHostInfo& host);

struct GridMenuContext {
  bool onRow = false;            // the right click was on a row (selected first)
  bool blockIsLibrary = false;   // the shown block is one of the quote library's
  bool blockIsUserList = false;  // the shown block is "USER"
  bool blockIsUsers = false;     // the shown block is one of the user's (including "USER")
  bool contractInUser = false;   // the row's contract is in "USER"
  bool contractInBlock = false;  // the row's contract is in the shown user block
  bool windowCommands = false;   // GridOffersWindowCommands of the host
  bool alertAvailable = false;   // the quote alert dialog can be opened
};

struct GridMenuEntry {
  int id = 0;        // 0: a separator
  std::string text;  // GBK
};

std::vector<GridMenuEntry> BuildGridMenu(const GridMenuContext& context);

}  // namespace tarn
