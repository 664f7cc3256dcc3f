// CTradeGridContainer: the tabbed trade grid. Eight CMyColorGrid grids (positions, all orders,
// working orders, fills, condition orders, local OCO pairs, local stops, position details) as
// tabs in one or two tab groups; the rows come from TradeGridModel, the commands go to
// TradeGridActions. Tabs are dragged within a group, onto the other group, or to the right
// edge of a single group (which makes the second group); the layout and the column widths are
// kept in "\user\setting.ini".
//
// The trading state comes from the trade feed: a change wakes the container on the library's
// thread, which only posts 8122; the window takes the feed's change set on its own thread and
// applies it (an incomplete position list only marks the positions dirty for the 500 ms timer).
// The local engines' changes post 8125 (OCO pairs) and 8126 (local stops).
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "data/trade_api.h"
#include "engines/auto_cover.h"
#include "engines/oco_order.h"
#include "trade/feed/trade_feed.h"
#include "trade/grid/grid_actions.h"
#include "trade/grid/sel_position.h"
#include "trade/grid/trade_grid_model.h"

class CMyColorGrid;
class QDialog;
class QMenu;
class QSplitter;
class QTabWidget;
struct GridNotify;

class CTradeGridContainer : public QWidget,
                            public tarn::ITradeFeedClient,
                            public IAutoCoverNotify,
                            public IOCOOrderNotify,
                            public ISelPositionQueryer,
                            private tarn::IGridActionHost {
  Q_OBJECT
 public:
  static constexpr int kRefreshMessage = 8122;
  static constexpr int kOcoMessage = 8125;
  static constexpr int kStopsMessage = 8126;
  static constexpr int kRefreshTimerMs = 500;  // timer 11

  explicit CTradeGridContainer(QWidget* parent = nullptr);
  ~CTradeGridContainer() override;

  // The one container of the process (nullptr when there is none).
  static CTradeGridContainer* Instance();

  CMyColorGrid* Grid(int kind) const;
  tarn::TradeGridModel& Model() { return model_; }
  tarn::TradeGridActions& Actions() { return actions_; }

  // ---- tab groups --------------------------------------------------------------------------
  int GroupCount() const;
  std::vector<int> GroupTabs(int group) const;
  int CurrentTab(int group) const;  // -1 for none
  QTabWidget* Group(int group) const;
  // The function keys' rule: the first group holding the tab switches to it.
  void ShowTab(int kind);
  // Moves a tab into a group (group 1 when there is one group makes the second) at a tab index
  // (-1: the end), as a drop does, and saves the layout. False when nothing moved.
  bool MoveTab(int kind, int group, int index);

  // ---- refresh -----------------------------------------------------------------------------
  void RefreshNow(bool full);
  void RefreshOco();
  void RefreshAutoStops();
  // The refresh timer's work.
  void OnRefreshTimer();

  // Takes the feed's change set and shows it (the refresh message's work).
  void TakeChanges();

  // ---- library thread ----------------------------------------------------------------------
  void OnTradeFeedChanged() override;
  void OnOcoOrderChanged(const OcoOrder& oco) override;
  void OnAutoCoverChanged() override;

  bool QuerySelectedPosition(PositionRecord& out) override;

  // A row of the positions tab was selected: the visible order panels take a copy (by default;
  // a test may listen instead).
  std::function<void(const PositionRecord&)> onPositionSelected;
  // How a context menu is shown (popup at the pointer by default; tests look at it). The menu
  // deletes itself when closed.
  std::function<void(QMenu*)> showMenu;
  // How a dialog is run (exec by default; tests answer it).
  std::function<int(QDialog&)> runDialog;

  // Selects the record a tab's row shows, as a click does (without telling the panels).
  void SelectRow(int kind, int row);

  // The context menu of a grid's right click (not shown; the caller execs or inspects it).
  QMenu* BuildContextMenu(int controlId, int row);
  // A grid's notification, as the grids send it.
  void HandleGridNotify(const GridNotify& n);

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  // IGridActionHost
  void OpenCoverPosition(const PositionRecord& position) override;
  void OpenCoverByPosNo(const PositionDetail& detail, double currentPrice) override;
  std::optional<Modified> OpenModifyOrder(const OrderRecord& order, double tick, int decimals) override;
  void OpenStopDialog(const tarn::StopContext& context, double floatProfit, const std::string& positionNumber) override;
  void OpenAutoCoverSetting() override;
  void OpenOcoDialog(const OcoOrder& pair) override;
  std::optional<std::string> EditRemark(const std::string& current) override;
  void Wait(int ms) override;

  int RunDialog(QDialog& d);
  void BuildGroups(const tarn::TradeGridLayout& layout);
  QTabWidget* NewGroup();
  void SaveLayout();
  void ApplyTab(int kind);
  void ApplyAll();
  void UpdateTitles();
  void Post(int message);
  int GroupOfTab(int kind) const;
  int GroupAt(const QPoint& pos) const;
  void RemoveEmptyGroups();

  tarn::PositionRemarkStore remarks_;
  tarn::TradeGridModel model_;
  tarn::PanelOrderSender sender_;
  tarn::TradeGridActions actions_;
  std::shared_ptr<tarn::TradeFeed> feed_;
  bool positionsDirty_ = false;  // an incomplete position list came: the timer reads them
  std::atomic<bool> ocoPosted_{false};
  std::atomic<bool> stopsPosted_{false};
  CMyColorGrid* grids_[tarn::kTradeTabCount] = {};
  QSplitter* splitter_ = nullptr;
  std::vector<QTabWidget*> groups_;
  QTimer timer_;
  bool applyingLayout_ = false;
};
