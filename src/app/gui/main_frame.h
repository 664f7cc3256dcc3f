// CMainFrame, the terminal's main window: frameless, with its own caption holding the main
// menu; it services the chart redraw registry (message 1096 and timer 110, every 1000 ms),
// saves the window state every 15 s (timer 120) and on a confirmed exit, and asks
// "您确实要退出本系统吗?" before closing.
//
// CChildView fills it: the workspace page, the trading area below it and the status bar. Menu commands reach the view as
// message 1002 (lParam = the command id).
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>

#include "app/frame_state.h"
#include "app/state_writer.h"
#include "quote/gui/dlg_key_wizard.h"
#include "ui/frameless_window.h"

class CCXInfoPanelCtrl;
class CChartContainer;
class CPageQuote;
class CMoStateBar;
class CWndQuoteGird;
class CDlgTradeReconect;
class CWndTaoLiView;
class CDlgTradePanelContainer;
class QHBoxLayout;
class CPageTabStrip;
class QMenuBar;

// The menu commands of this window.
enum MenuCommand {
  kCmdTradeLogin = 32780,    // "交易登录"
  kCmdChangePassword = 32782,  // "修改密码"
  kCmdSettlement = 32784,    // "结算单查询"
  kCmdSettings = 32787,      // "系统设置"
  kCmdKeyOrders = 32789,     // "快捷下单设置"
  kCmdQuoteAlert = 32791,    // "行情预警"
  kCmdPing = 32793,          // "Ping服务器"
  kCmdAbout = 57664,         // "关于 TarnClient(&A)..."
  kCmdExit = 57665,          // "退出(&X)"
};
constexpr int kMsgMenuCommand = 1002;

class CChildView : public QWidget, public IKeyWizardNotify {
  Q_OBJECT
 public:
  explicit CChildView(QWidget* parent = nullptr);

  CMoStateBar* StatusBar() const { return statusBar_; }
  // The workspace page (child 2001) above the trading area.
  CPageQuote* Page() const { return page_; }
  // The current chart container of the current workspace, its quote grid (nullptr when it shows
  // none) and the information panel beside the grid (nullptr while switched off).
  CChartContainer* Container() const;
  CWndQuoteGird* QuoteGrid() const;
  CCXInfoPanelCtrl* InfoPanel() const;
  // Restores the workspaces of the window state (the default page when there are none), shows
  // the remembered block and selects the remembered contract in the grid.
  void ShowSavedBlock();
  // Shows the main page (0) or the arbitrage page (1, made on first use).
  void ShowPage(int index);
  CWndTaoLiView* ArbitragePage() const { return arbitrage_; }
  // The trading area under the work area.
  CDlgTradePanelContainer* TradeArea() const { return tradeArea_; }
  // The view's part of frm.dat (kept from the file read at start).
  tarn::FrameState& State() { return state_; }
  // The state as it stands now (contract, block, the workspace page's record).
  tarn::FrameState& CollectState();
  // Runs a menu command. Dialogs are opened through `openDialog` so tests can see them.
  void OnCommand(int id);
  std::function<void(QWidget* dialog)> openDialog;
  // The keyboard wizard's choice, typed on the workspace page: a workspace switch, or an entry
  // for the current chart container of the current workspace.
  void OnKeyWizardItem(tarn::WizardItem item) override;
  QWidget* KeyWizardFocusWindow() override;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent*) override;

 private:
  CMoStateBar* statusBar_;
  CPageQuote* page_ = nullptr;
  QWidget* mainPage_ = nullptr;  // the workspace page and the trading area
  DC_Contract currentContract_{};  // the terminal's current contract
  CPageTabStrip* pageTabs_ = nullptr;
  QHBoxLayout* pageArea_ = nullptr;
  CWndTaoLiView* arbitrage_ = nullptr;
  CDlgTradePanelContainer* tradeArea_ = nullptr;
  tarn::FrameState state_;
};

class CMainFrame : public tarn::ui::FramelessWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  CChildView* View() const { return view_; }
  CDlgTradeReconect* ReconnectNotice() const { return reconnect_; }
  QMenuBar* Menu() const { return menu_; }
  // Places the frame on the available desktop shrunk by 100 pixels on each side, restored.
  void PlaceOnDesktop();
  // Writes "\user\layout\frm.dat" now (on exit; timer 120 writes on the writer's thread).
  bool SaveState();
  // Closing asks first (off for the screenshot run).
  void SetAskOnClose(bool ask) { askOnClose_ = ask; }
  int SaveCount() const { return saves_; }
  QTimer& RedrawTimer() { return redraw_; }
  QTimer& SaveTimer() { return save_; }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void BuildMenu();

  CChildView* view_;
  CDlgTradeReconect* reconnect_;
  QMenuBar* menu_ = nullptr;
  QTimer redraw_;  // timer 110
  QTimer save_;    // timer 120
  tarn::StateWriter writer_;  // the periodic saves' thread
  bool askOnClose_ = true;
  int saves_ = 0;
};
