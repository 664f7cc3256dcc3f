// The chart's menus as plain entries: the context menu of the chart (what it offers depends on
// the drawn object under the pointer, the panes, the indicator groups and the contract), the
// menu of an indicator's title, and the formula editor's start.
#pragma once

#include <string>
#include <vector>

#include "libs/indicators/formula_files.h"
#include "libs/indicators/formula_manager.h"

namespace tarn {

enum ChartMenuCommand {
  kChartCmdDeleteAll = 1001,      // "全部删除"
  kChartCmdObjectStyle = 1002,    // "样式设置"
  kChartCmdInvert = 1004,         // "K线反转(Ctrl+F)"
  kChartCmdDeleteObject = 1005,   // "删除"
  kChartCmdSplitTopBottom = 1007,
  kChartCmdSplitLeftRight = 1008,
  kChartCmdCloseWindow = 1009,
  kChartCmdModifyText = 1010,     // "修改"
  kChartCmdSelectContract = 1030, // "选择合约"
  kChartCmdToggleUser = 1031,     // "加入自选(Ctrl+Z)" / "从自选移除"
  kChartCmdQuoteAlert = 1076,     // "行情预警"
  kChartCmdPanes1 = 2000,         // "1图组合" .. "6图组合": 2000..2005
  kChartCmdScheme1 = 3001,        // "方案1"
  kChartCmdScheme2 = 3002,        // "方案2"
  kChartCmdLoadIndicator = 5000,  // "加载指标": 5000 + the indicator's place in the list
  kChartCmdOverlay = 7000,        // "指标叠加": 7000 + the place of a main-chart indicator
};

enum IndicatorMenuCommand {
  kIndicatorReload = 1001,  // "重新加载"
  kIndicatorRemove = 1003,  // "移除"
  kIndicatorParams = 1004,  // "参数设置"
  kIndicatorEditor = 1006,  // the formula editor
};

struct ChartMenuItem {
  int id = 0;                          // 0 with no children: a separator
  std::string text;                    // GBK
  bool checked = false;
  std::vector<ChartMenuItem> children;
};

struct ChartMenuContext {
  int objectKind = -1;          // the drawn object under the pointer (-1: none)
  bool inverted = false;
  int paneCount = 1;
  int candleStyle = 0;
  bool inUserBlock = false;
  bool alertAvailable = false;  // the quote alert dialog can be opened
  bool windowCommands = false;  // the split and close entries are offered
  std::vector<FormulaGroup> groups;
  std::vector<IndicatorEntry> indicators;
};

// The context menu. `loadNames` / `overlayNames` receive the indicator of each load (5000 + i)
// and overlay (7000 + i) command.
std::vector<ChartMenuItem> BuildChartMenu(const ChartMenuContext& c, std::vector<std::string>* loadNames,
                                          std::vector<std::string>* overlayNames);
std::vector<ChartMenuItem> BuildIndicatorMenu();

// How the formula editor is started: the verb "OPEN" on "MovoEditor.exe" in the program
// directory's "\formula", shown restored, with "-ParentName <title> -open <indicator>".
struct EditorLaunch {
  std::string directory;    // native
  std::string program;      // "MovoEditor.exe"
  std::string parameters;   // "-ParentName %s -open NAME" (GBK)
};
EditorLaunch FormulaEditorLaunch(const std::string& mainTitle, const std::string& indicator);
// Starts it (the program in the directory, the parameters split at blanks); false when it
// cannot be started.
bool StartFormulaEditor(const EditorLaunch& launch);

}  // namespace tarn

namespace tarn {
// The quote page's drawing tools: "水平线" 4001 ... "测距工具" 4022, in the toolbar's order.
struct DrawingTool {
  int command = 0;
  std::string label;  // GBK
};
const std::vector<DrawingTool>& DrawingTools();
constexpr int kToolbarBack = 1000;  // "返回": the container shows its quote grid again
constexpr int kToolbarLineOrder = 1090;  // "画线下单": the line-order palette of the chart
}  // namespace tarn
