#include "quote/grid_menu.h"

#include "platform/text.h"

namespace tarn {

bool GridOffersWindowCommands(const GridHostInfo& host) {
  return host.inChartContainer && (host.workspaceWindows < 2 || !host.layoutFlag);
}

bool GridDoubleClickShowsChart(const GridHostInfo& host) {
  return host.inChartContainer && !(host.workspaceWindows >= 2 && host.linkedGridContainer);
}

std::vector<GridMenuEntry> BuildGridMenu(const GridMenuContext& c) {
  std::vector<GridMenuEntry> m;
  auto separator = [&] {
    if (!m.empty() && m.back().id != 0) m.push_back({0, std::string()});
  };
  m.push_back({kGridCmdHeaderSettings, TXT("表头设置")});
  m.push_back({kGridCmdAutoFit, TXT("列宽自适应")});
  separator();
  if (c.onRow && c.blockIsLibrary)
    m.push_back({kGridCmdToggleUserBlock, c.contractInUser ? TXT("从自选移除") : TXT("加入自选(Ctrl+Z)")});
  if (c.onRow && (c.blockIsUserList || (c.blockIsUsers && c.contractInBlock))) m.push_back({kGridCmdDelete, TXT("删除")});
  if (c.blockIsUserList) m.push_back({kGridCmdContractSettings, TXT("合约设置")});
  separator();
  if (c.windowCommands) {
    m.push_back({kGridCmdSplitTopBottom, TXT("上下拆分")});
    m.push_back({kGridCmdSplitLeftRight, TXT("左右拆分")});
    m.push_back({kGridCmdCloseWindow, TXT("关闭窗口")});
    separator();
  }
  if (c.onRow && c.alertAvailable) m.push_back({kGridCmdQuoteAlert, TXT("行情预警")});
  while (!m.empty() && m.back().id == 0) m.pop_back();
  return m;
}

}  // namespace tarn
