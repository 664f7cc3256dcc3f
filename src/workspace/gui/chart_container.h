// CChartContainer, the leaf window of a workspace: it shows one of four contents, the quote
// grid (with the information panel beside it while the side panel is on), the K-line chart of
// its contract, the time-share chart, or the price cube; with nothing shown yet it offers the
// seven buttons. It is the quote grid window's host: a double-click on a row hands it the
// contract and the block and switches it to the K-line chart; the chart's toolbar ("返回", the
// periods and the drawing tools) and its menu bring it back. The workspaces hold the
// containers; window commands go to the workspace through onWindowCommand.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "chart/chart_state.h"
#include "data/quote_records.h"
#include "quote/gui/wnd_quote_gird.h"
#include "quote/wizard_item.h"
#include "trade/orders/gui/order_dialogs.h"
#include "trade/orders/order_dialog_forms.h"

class CCChartCtrl;

// Posted by a workspace to each of its containers for a tool id it does not know itself:
// wParam = id - 4000.
constexpr int kMsgContainerTool = 4431;
class CCXInfoPanelCtrl;
class CWndPriceCube;
class QToolButton;

// The toolbar over a chart: "返回", the seventeen periods and the drawing tools' menu.
class CChartToolBar : public QWidget {
  Q_OBJECT
 public:
  explicit CChartToolBar(QWidget* parent = nullptr);
  std::function<void(int command)> onCommand;
  // Marks the button of the chart's period.
  void SetPeriodCommand(int command);
  QToolButton* Button(int command) const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::vector<QToolButton*> buttons_;
};

class CChartContainer : public QWidget, public IQuoteGridHost {
  Q_OBJECT
 public:
  explicit CChartContainer(QWidget* parent = nullptr);
  ~CChartContainer() override;

  int Content() const { return content_; }
  // Shows a content (kContentNone: the seven buttons). A chart takes the terminal's current
  // contract when the container has none; a new price cube starts with a card of it.
  void ShowContent(int kind);
  CWndQuoteGird* QuoteGrid() const { return grid_; }
  CCChartCtrl* Chart() const { return chart_; }
  CChartToolBar* ToolBar() const { return toolBar_; }
  // The price cube (content 3) and its cards: contract keys and strategy keys in the board's
  // order, the record's cards nobody knew at their places.
  CWndPriceCube* PriceCube() const { return cube_; }
  std::vector<tarn::CubeCardRef> CubeCardRefs() const;
  std::vector<std::string> CubeCards() const;
  CCXInfoPanelCtrl* SidePanel() const { return panel_; }
  const std::vector<QPushButton*>& EmptyButtons() const { return buttons_; }

  void SetSidePanel(bool on);
  bool SidePanelOn() const { return sidePanel_; }
  bool Linked() const { return linked_; }
  void SetLinked(bool on) { linked_ = on; }

  // The container's contract (its chart and side panel follow it).
  void SetContract(const DC_Contract& contract);
  const DC_Contract& Contract() const { return contract_; }
  // The contract's key, or the stored key the quote library did not know.
  std::string ContractKeyText() const;
  const std::string& BlockName() const { return block_; }
  const tarn::ChartPeriod& KLinePeriod() const { return period_; }

  // The chart toolbar's commands: 1000 back to the grid, 1001-1017 periods, 1090 the line-order
  // palette, 4001-4022 tools.
  void RunToolbarCommand(int id);

  // The line-order palette of this container's K-line chart ("画线下单" on the chart's toolbar):
  // one per container, beside the chart, shown again when asked again.
  void OpenLineOrderPanel();
  CDlgLineOrderPanel* LineOrderPanel() const { return linePanel_; }
  // A left click at (x, y) on the K-line chart while a palette key is armed: a condition order
  // at the price there, then the key disarms. False (the chart handles the click) without an
  // armed key or outside the chart's price area.
  bool PlaceLineOrder(int x, int y);
  // Window commands 0 split top/bottom, 1 split left/right, 2 close, 3 maximise. Without a
  // workspace (no onWindowCommand) closing resets the container to its empty state and the
  // others do nothing, as for the only window of a workspace.
  void WindowCommand(int command);
  // Back to the seven buttons (the content dropped, the contract kept).
  void ResetToEmpty();

  // Shows the K-line chart in a period (the time-share chart for the time-share period).
  void ShowPeriod(const tarn::ChartPeriod& period);
  // The keyboard wizard's choice: a contract, a period, an indicator or a window command.
  bool ApplyWizardItem(const tarn::WizardItem& item);
  // The window that takes the focus after a wizard pick: the chart or grid shown.
  QWidget* FocusWindow() const;

  tarn::ChartContainerState State() const;
  void Restore(const tarn::ChartContainerState& state);

  // Set by the workspace: where window commands go and how many windows it holds.
  std::function<void(int command)> onWindowCommand;
  std::function<int()> workspaceWindows;
  // The terminal's current contract (a chart shown without a contract takes it).
  std::function<DC_Contract()> currentContract;

  // IQuoteGridHost
  tarn::GridHostInfo HostInfo() const override;
  void ShowContract(const DC_Contract& contract, const std::string& block, bool showChart) override;
  void FollowContract(const DC_Contract& contract) override;
  std::string HostContractKey() const override;

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void Arrange();
  void EnsureGrid();
  void MakeChart(bool timeShare);
  void DropChart();
  void EnsureCube();
  void ChooseContract();
  void SwitchContract(int step);

  int content_ = tarn::kContentNone;
  CWndQuoteGird* grid_ = nullptr;
  CCXInfoPanelCtrl* panel_ = nullptr;
  CCChartCtrl* chart_ = nullptr;
  CChartToolBar* toolBar_ = nullptr;
  CWndPriceCube* cube_ = nullptr;
  QPointer<CDlgLineOrderPanel> linePanel_;
  std::vector<tarn::CubeCardRef> cubeKeys_;      // the cards of the record, until the cube is made
  // Cards whose contract or strategy is not known, with their place on the board when read:
  // kept there, so that a record round trip keeps the board's order.
  std::vector<std::pair<std::size_t, tarn::CubeCardRef>> unknownCards_;
  std::vector<QPushButton*> buttons_;
  bool sidePanel_ = true;
  bool linked_ = false;
  DC_Contract contract_{};
  std::string storedKey_;  // a restored key the quote library does not know, kept as text
  std::string block_;
  tarn::ChartPeriod period_;               // the K-line chart's period
  tarn::ChartContainerState chartState_;   // the K-line chart's panes, indicators, objects
  bool haveChartState_ = false;
};
