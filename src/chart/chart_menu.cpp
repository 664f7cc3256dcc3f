#include "chart/chart_menu.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/program_dir.h"
#include "platform/text.h"

extern char** environ;

namespace tarn {

std::vector<ChartMenuItem> BuildChartMenu(const ChartMenuContext& c, std::vector<std::string>* loadNames,
                                          std::vector<std::string>* overlayNames) {
  std::vector<ChartMenuItem> menu;
  const auto add = [&menu](int id, const std::string& text, bool checked = false) {
    menu.push_back({id, text, checked, {}});
  };
  const auto separator = [&menu] { menu.push_back({}); };
  if (c.objectKind >= 0) {
    if (c.objectKind == 21) add(kChartCmdModifyText, TXT("修改"));
    else add(kChartCmdObjectStyle, TXT("样式设置"));
    add(kChartCmdDeleteObject, TXT("删除"));
    add(kChartCmdDeleteAll, TXT("全部删除"));
    separator();
  }
  add(kChartCmdInvert, TXT("K线反转(Ctrl+F)"), c.inverted);
  ChartMenuItem panes{0, TXT("视图组合"), false, {}};
  for (int i = 0; i < 6; ++i)
    panes.children.push_back({kChartCmdPanes1 + i, Format(TXT("%d图组合"), i + 1), c.paneCount == i + 1, {}});
  menu.push_back(std::move(panes));

  // "加载指标": the groups of fmlGroup.xml with their indicators, then every indicator not in a
  // group; "指标叠加": the main-chart indicators.
  ChartMenuItem load{0, TXT("加载指标"), false, {}};
  std::vector<std::string> names;
  const auto known = [&c](const std::string& name, IndicatorEntry* entry) {
    for (const IndicatorEntry& e : c.indicators)
      if (EqualsNoCase(e.name, name)) {
        if (entry) *entry = e;
        return true;
      }
    return false;
  };
  const auto loadItem = [&](const IndicatorEntry& e) {
    const int id = kChartCmdLoadIndicator + static_cast<int>(names.size());
    names.push_back(e.name);
    std::string text = e.name;
    if (!e.description.empty()) text += " " + e.description;
    return ChartMenuItem{id, text, false, {}};
  };
  std::vector<std::string> grouped;
  for (const FormulaGroup& g : c.groups) {
    ChartMenuItem group{0, g.name, false, {}};
    for (const std::string& f : g.formulas) {
      IndicatorEntry e;
      if (!known(f, &e) || names.size() >= 1000) continue;
      group.children.push_back(loadItem(e));
      grouped.push_back(e.name);
    }
    if (!group.children.empty()) load.children.push_back(std::move(group));
  }
  for (const IndicatorEntry& e : c.indicators) {
    bool inGroup = false;
    for (const std::string& g : grouped) inGroup = inGroup || EqualsNoCase(g, e.name);
    if (!inGroup && names.size() < 1000) load.children.push_back(loadItem(e));
  }
  if (loadNames) *loadNames = names;
  menu.push_back(std::move(load));
  ChartMenuItem overlay{0, TXT("指标叠加"), false, {}};
  std::vector<std::string> overlays;
  for (const IndicatorEntry& e : c.indicators) {
    if (!e.mainChart || overlays.size() >= 1000) continue;
    overlay.children.push_back({kChartCmdOverlay + static_cast<int>(overlays.size()),
                                e.description.empty() ? e.name : e.name + " " + e.description, false, {}});
    overlays.push_back(e.name);
  }
  if (overlayNames) *overlayNames = overlays;
  menu.push_back(std::move(overlay));
  separator();
  add(kChartCmdSelectContract, TXT("选择合约"));
  add(kChartCmdToggleUser, c.inUserBlock ? TXT("从自选移除") : TXT("加入自选(Ctrl+Z)"));
  if (c.alertAvailable) add(kChartCmdQuoteAlert, TXT("行情预警"));
  if (c.windowCommands) {
    separator();
    add(kChartCmdSplitTopBottom, TXT("上下拆分"));
    add(kChartCmdSplitLeftRight, TXT("左右拆分"));
    add(kChartCmdCloseWindow, TXT("关闭窗口"));
  }
  separator();
  ChartMenuItem scheme{0, TXT("配色方案"), false, {}};
  scheme.children.push_back({kChartCmdScheme1, TXT("方案1"), c.candleStyle == 0, {}});
  scheme.children.push_back({kChartCmdScheme2, TXT("方案2"), c.candleStyle == 1, {}});
  menu.push_back(std::move(scheme));
  return menu;
}

std::vector<ChartMenuItem> BuildIndicatorMenu() {
  return {
      {kIndicatorReload, TXT("重新加载"), false, {}},
      {kIndicatorParams, TXT("参数设置"), false, {}},
      {kIndicatorRemove, TXT("移除"), false, {}},
      {kIndicatorEditor, TXT("修改公式"), false, {}},
  };
}

EditorLaunch FormulaEditorLaunch(const std::string& mainTitle, const std::string& indicator) {
  EditorLaunch l;
  l.directory = Path("\\formula");
  l.program = "MovoEditor.exe";
  l.parameters = Format("-ParentName %s ", mainTitle) + "-open " + indicator;
  return l;
}

bool StartFormulaEditor(const EditorLaunch& launch) {
  const std::string program = launch.directory + "/" + launch.program;
  if (access(program.c_str(), X_OK) != 0) return false;
  std::vector<std::string> args{program};
  const std::string params = GbkToUtf8(launch.parameters);
  std::size_t pos = 0;
  while (pos < params.size()) {
    const std::size_t blank = params.find(' ', pos);
    const std::string part = params.substr(pos, blank == std::string::npos ? std::string::npos : blank - pos);
    if (!part.empty()) args.push_back(part);
    if (blank == std::string::npos) break;
    pos = blank + 1;
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The editor runs in the formula folder, as the working directory the start names.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
  posix_spawn_file_actions_addchdir_np(&actions, launch.directory.c_str());
#endif
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  // The editor lives on by itself; a detached waiter collects it when it ends.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}

}  // namespace tarn

namespace tarn {
const std::vector<DrawingTool>& DrawingTools() {
  static const std::vector<DrawingTool> kTools{
      {4001, TXT("水平线")},   {4002, TXT("垂直线")}, {4003, TXT("两点直线")}, {4004, TXT("射线")},
      {4005, TXT("两点线段")}, {4006, TXT("通道线")}, {4007, TXT("箭头线段")}, {4009, TXT("三角形")},
      {4010, TXT("矩形")},     {4011, TXT("黄金分割线")}, {4012, TXT("百分比线")}, {4015, TXT("速阻线")},
      {4016, TXT("甘氏线")},   {4020, TXT("图标")},   {4021, TXT("文字")},     {4022, TXT("测距工具")},
  };
  return kTools;
}
}  // namespace tarn
