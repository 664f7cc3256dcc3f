// CCChartCtrl, the chart control: one contract in one period (a K-line chart, or the time-share
// chart of period kind 0). It owns one chart engine (ordinal 1 at creation, ordinal 2 at
// destruction) and a history client whose owner it is; it feeds the engine the bars and the
// indicators' outputs, follows live quotes through the history client, draws the user's working
// orders, positions and condition orders as lines, and runs the chart's and the indicators'
// menus.
//
// Threads. History events arrive on the quote library's thread: under the chart's lock the bar
// list is brought up to date and the indicators are computed again for the changed bars, then
// the chart marks itself for the frame's next redraw service. Render (UI thread) hands the new
// bars and pane contents to the engine under the same lock and paints. Trade notifications only
// post 1301 to the window once until it is handled; the lines are rebuilt on the UI thread.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "chart/chart_bars.h"
#include "chart/chart_indicators.h"
#include "chart/chart_menu.h"
#include "chart/chart_period.h"
#include "chart/chart_state.h"
#include "chart/kline_color.h"
#include "chart/order_lines.h"
#include "data/data_listener.h"
#include "data/trade_api.h"
#include "libs/candlechart/chart_engine.h"
#include "tools/color_scheme.h"
#include "tools/setting_cfg.h"
#include "ui/render_registry.h"

class QDialog;
class QMenu;

constexpr int kMsgChartOrderLines = 1301;  // posted to the chart: rebuild the order lines
constexpr int kMsgChartReload = 1302;      // posted to the chart: load the bars again
constexpr int kChartTimerId = 11;          // the chart's 1000 ms timer

class CCChartCtrl : public tarn::ui::CRenderWnd,
                    public IHisDataNotify,
                    public tarn::candlechart::IChartEngineNotify,
                    public CTradeListener,
                    public IKlineSettingNotify,
                    public ISettingCfgNotify,
                    public IColorSchemeNotify {
  Q_OBJECT
 public:
  explicit CCChartCtrl(QWidget* parent = nullptr, bool timeShare = false);
  ~CCChartCtrl() override;

  // The contract and the period; each change loads the bars again.
  void SetContract(const DC_Contract& contract);
  // Asked first on a left button press at (x, y); true takes the click (the chart leaves it
  // alone). The container places line orders through it.
  std::function<bool(int x, int y)> onLeftClick;
  const DC_Contract& Contract() const { return contract_; }
  void SetPeriod(const tarn::ChartPeriod& period);
  const tarn::ChartPeriod& Period() const { return period_; }
  bool TimeShare() const { return period_.kind == tarn::kPeriodTimeShare; }
  // Loads the bars of the contract and period (the load steps); `refresh` redraws at once.
  void Load(bool refresh = true);
  // A workspace's chart state (panes, indicators, objects, period).
  void SaveState(tarn::ChartContainerState* state) const;
  void RestoreState(const tarn::ChartContainerState& state);

  tarn::candlechart::ChartEngine* Engine() const { return engine_; }
  const tarn::ChartIndicators& Indicators() const { return indicators_; }
  // Bars held now (a copy, under the chart's lock).
  std::vector<DC_KData> Bars() const;
  std::size_t BarCount() const;
  // Starts a drawing tool (4001..4022); false when it is not one.
  bool BeginTool(int tool);
  void SetPaneCount(int count);
  void ToggleInverted();
  // Loads an indicator into a pane (0: replaces the overlays), or overlays one.
  bool LoadIndicator(int pane, const std::string& name);
  bool OverlayIndicator(const std::string& name);

  // The chart's context menu at a point as entries, and a command of it. The object is the
  // drawn object the menu is for (-1: none); the pane where the click was.
  std::vector<tarn::ChartMenuItem> MenuEntries(int objectKind) const;
  void RunCommand(int id);
  void RunIndicatorCommand(int id, int pane);
  QMenu* BuildMenu(const std::vector<tarn::ChartMenuItem>& items, QWidget* parent);

  // Where the window commands (0 split top/bottom, 1 split left/right, 2 close) go, whether
  // they are offered, and the contract chooser; set by the container.
  std::function<void(int command)> onWindowCommand;
  std::function<bool()> windowCommandsOffered;
  std::function<void()> onChooseContract;
  // The mouse wheel's "切换合约": the next (+1) or previous (-1) contract of the container.
  std::function<void(int step)> onSwitchContract;
  // Dialogs are run through this so that tests can answer them (default: exec).
  std::function<int(QDialog* dialog)> runDialog;
  // The main window's title, handed to the formula editor.
  std::string mainTitle;

  // IHisDataNotify (quote library's thread)
  void OnHisDataEvent(const DC_Contract* contract, int status, int a, int b) override;
  void OnHisDataReset(int x, int flag, int state) override;
  // IChartEngineNotify (UI thread)
  void OnChartContextMenu(int x, int y, int objectKind, int object) override;
  void OnIndicatorMenu(int x, int y, int pane) override;
  void OnObjectDrawn(int object) override;
  void OnOrderLineDropped(int line, double price) override;
  void OnObjectDoubleClicked(int object) override;
  // CTradeListener (trading library's thread)
  void OnOrder(const OrderRecord* order, const AccountTexts& account) override;
  void OnPositions(const AccountTexts& account, bool complete) override;
  void OnTradeRefresh() override;
  // Settings and colours (UI thread)
  void OnKlineSettingChanged() override;
  void OnSettingCfgChanged(bool recomputeColumns) override;
  void OnColorSchemeChanged() override;

  // The lines drawn now (UI thread) and a rebuild of them from the trading library.
  const std::vector<tarn::ChartOrderLine>& OrderLines() const { return lines_; }
  void RefreshOrderLines();
  QTimer& Timer() { return timer_; }
  int MenuPane() const { return menuPane_; }

 protected:
  void Render() override;
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void ApplySettings();
  void ApplyDefaults();
  void PushData();
  void Apply(tarn::candlechart::Invalidate level);
  void EditObjectText(int object);
  void EditObjectStyle(int object);
  void EditParams(int pane);
  void ComputeAll();
  int RunDialog(QDialog* d);
  void KeepObjects();

  tarn::candlechart::ChartEngine* engine_;
  CHisDataClient history_;
  DC_Contract contract_{};
  tarn::ChartPeriod period_;
  tarn::ChartDataMode mode_ = tarn::kDataLatest;
  int capacity_ = tarn::kDefaultBarCapacity;

  mutable tarn::CriticalSection lock_;  // the chart's lock: bars, indicators, what is pending
  tarn::ChartBarList bars_;
  std::size_t shownFrom_ = 0;            // the time-share chart shows the bars of its day only
  tarn::ChartIndicators indicators_;
  bool dataDirty_ = false;
  std::size_t pendingFirst_ = 0;

  std::vector<tarn::ChartOrderLine> lines_;
  std::atomic<bool> linesPosted_{false};
  std::atomic<bool> reloadPosted_{false};
  QTimer timer_;
  QPixmap cache_;
  bool cacheValid_ = false;
  QFont font_;
  int menuPane_ = 0;
  int menuObject_ = -1;
  std::vector<std::string> loadNames_, overlayNames_;
};
