#include "app/gui/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/gui/account_dialogs.h"
#include "app/gui/dlg_login.h"
#include "app/gui/dlg_trade_reconect.h"
#include "app/gui/frame_key_filter.h"
#include "app/gui/mo_state_bar.h"
#include "app/gui/page_tab_strip.h"
#include "app/login_session.h"
#include "workspace/gui/chart_container.h"
#include "engines/gui/alert_windows.h"
#include "engines/gui/strategy_windows.h"
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "quote/gui/ccx_info_panel_ctrl.h"
#include "quote/gui/dlg_sel_contract.h"
#include "quote/gui/key_wizard_router.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/info_panel_settings.h"
#include "data/quote_data_center.h"
#include "quote/gui/wnd_quote_gird.h"
#include "engines/gui/engine_widgets.h"
#include "tools/gui/dlg_ping_server.h"
#include "trade/orders/gui/keyboard_order_panel.h"
#include "trade/gui/panel_containers.h"
#include "trade/orders/order_panel_logic.h"
#include "tools/gui/dlg_setting.h"
#include "ui/fonts.h"
#include "ui/render_registry.h"
#include "ui/text_qt.h"
#include "ui/theme.h"
#include "ui/window_message.h"
#include "workspace/gui/page_quote.h"
#include "workspace/gui/wnd_chart_container.h"

CChildView::CChildView(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // The main page: the workspace page (child 2001) above the trading area. Its first window
  // shows the quote grid until frm.dat says otherwise.
  mainPage_ = new QWidget(this);
  auto* column = new QVBoxLayout(mainPage_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  page_ = new CPageQuote(mainPage_);
  page_->currentContract = [this] { return currentContract_; };
  column->addWidget(page_, 1);
  // The trading area below the work area: funds, order panels and the trade grid.
  tradeArea_ = new CDlgTradePanelContainer(mainPage_);
  tradeArea_->setFixedHeight(tradeArea_->DockHeight());
  column->addWidget(tradeArea_);
  // The pages: the main page and the arbitrage page (child id 3001), switched by a vertical tab
  // strip at the left; the arbitrage page is made when its tab is first chosen.
  auto* pages = new QHBoxLayout;
  pages->setContentsMargins(0, 0, 0, 0);
  pages->setSpacing(0);
  pageTabs_ = new CPageTabStrip(this);
  pageTabs_->AddTab(QStringLiteral("主页面"));
  pageTabs_->AddTab(QStringLiteral("套利交易"));
  connect(pageTabs_, &CPageTabStrip::currentChanged, this, [this](int i) { ShowPage(i); });
  pages->addWidget(pageTabs_);
  pages->addWidget(mainPage_, 1);
  pageArea_ = pages;
  // Typing on the workspace page opens the keyboard wizard (not on the order panels or the trade
  // grid, where keys are for keyboard ordering and the panels' fields).
  new CKeyWizardRouter(page_, this, this);
  layout->addLayout(pages, 1);
  statusBar_ = new CMoStateBar(this);
  layout->addWidget(statusBar_);
  openDialog = [](QWidget* dialog) {
    if (auto* d = qobject_cast<QDialog*>(dialog)) d->exec();
    dialog->deleteLater();
  };
  connect(tarn::ui::ThemeNotifier::Instance(), &tarn::ui::ThemeNotifier::changed, this, qOverload<>(&QWidget::update));
}

void CChildView::ShowPage(int index) {
  if (index == 1 && !arbitrage_) {
    arbitrage_ = new CWndTaoLiView(this);
    arbitrage_->setObjectName(QStringLiteral("3001"));
    pageArea_->addWidget(arbitrage_, 1);
  }
  mainPage_->setVisible(index != 1);
  if (arbitrage_) arbitrage_->setVisible(index == 1);
  pageTabs_->SetCurrentIndex(index);
  update();
}

CChartContainer* CChildView::Container() const { return page_->CurrentContainer(); }

CWndQuoteGird* CChildView::QuoteGrid() const {
  CChartContainer* c = Container();
  return c ? c->QuoteGrid() : nullptr;
}

CCXInfoPanelCtrl* CChildView::InfoPanel() const {
  CChartContainer* c = Container();
  return c ? c->SidePanel() : nullptr;
}

void CChildView::ShowSavedBlock() {
  // The workspaces of frm.dat, or one workspace whose window shows the quote grid.
  const bool loaded = !state_.quotePageRecord.empty() && page_->LoadRecord(state_.quotePageRecord);
  if (!loaded && page_->WorkspaceCount() == 0) page_->MakeDefault();
  CChartContainer* first = Container();
  if (!loaded && first && page_->CurrentWorkspace()->WindowCount() == 1 && first->Content() == tarn::kContentNone)
    first->ShowContent(tarn::kContentQuoteGrid);
  IQuoteDataCenter* center = GetQuoteDataCenter();
  DC_Contract c{};
  if (center && !state_.contractKey.empty()) center->FindContract(&c, state_.contractKey.c_str());
  CWndQuoteGird* grid = QuoteGrid();
  if (grid) {
    grid->onBlockChanged = [this](const std::string& block) { state_.blockName = block; };
    grid->onContractChanged = [this](const DC_Contract& k) {
      currentContract_ = k;
      state_.contractKey = std::string(k.Key());
    };
    grid->RefreshBlocks(state_.blockName);
    // The saved current contract is selected in the grid; the window keeps showing what frm.dat
    // says (selecting is not a double-click, which would open the chart).
    if (!c.Empty()) grid->SelectContract(c);
    if (c.Empty()) c = grid->CurrentContract();
    // Without a remembered contract the panel shows the grid's first row.
    const tarn::QuoteGridModel& rows = grid->Grid()->Model();
    if (c.Empty() && rows.RowCount() > 0) c = rows.RowAt(0)->contract;
  }
  if (c.Empty()) return;
  currentContract_ = c;
  if (CChartContainer* box = Container(); box && box->Contract().Empty()) box->SetContract(c);
  // The order panels start on the contract the work area shows.
  for (tarn::IOrderPanelOpt* p : tarn::OrderPanels()) p->SetContract(c);
}

tarn::FrameState& CChildView::CollectState() {
  state_.contractKey = std::string(currentContract_.Key());
  if (CWndQuoteGird* grid = QuoteGrid()) state_.blockName = grid->BlockName();
  state_.quotePageRecord = page_->Record();
  return state_;
}

void CChildView::OnKeyWizardItem(tarn::WizardItem item) {
  if (item.kind == tarn::kWizardWorkspace) {
    const int index = tarn::WorkspaceIndexOf(item);
    if (index >= 0 && index < page_->WorkspaceCount() && index != page_->CurrentIndex()) page_->SetCurrent(index);
    return;
  }
  if (CChartContainer* c = Container()) c->ApplyWizardItem(item);
}

QWidget* CChildView::KeyWizardFocusWindow() {
  CChartContainer* c = Container();
  return c ? c->FocusWindow() : page_;
}

void CChildView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), tarn::ui::Theme().background);
}

bool CChildView::event(QEvent* e) {
  if (static_cast<int>(e->type()) == kMsgMenuCommand) {
    OnCommand(static_cast<int>(static_cast<tarn::WindowMessage*>(e)->LParam()));
    return true;
  }
  return QWidget::event(e);
}

void CChildView::OnCommand(int id) {
  QWidget* top = window();
  switch (id) {
    case kCmdTradeLogin: openDialog(new CDlgLogin(true, top)); break;
    case kCmdChangePassword: openDialog(new CDlgModiPwd(top)); break;
    case kCmdSettlement: openDialog(new CDlgShowSettleInfo(top)); break;
    case kCmdSettings: openDialog(new CDlgSetting(top)); break;
    case kCmdKeyOrders: tarn::ConfigureKeyOrders(top); break;
    case kCmdQuoteAlert: tarn::ShowAlertList(top); break;  // modeless, made once
    case kCmdPing: {
      const tarn::TradeLoginParams t = tarn::LoginSession::TradeLogin();
      openDialog(new CDlgPingServer(tarn::PingTargets(tarn::LoginSession::QuoteHost(), t.tradeHost, t.cloudHost), top));
      break;
    }
    case kCmdAbout: openDialog(new CDlgAbout(top)); break;
    case kCmdExit: QMetaObject::invokeMethod(top, &QWidget::close, Qt::QueuedConnection); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------

CMainFrame::CMainFrame(QWidget* parent) : tarn::ui::FramelessWindow(parent) {
  tarn::ui::RenderRegistry::Instance().SetServiceWindow(this);
  connect(&redraw_, &QTimer::timeout, this, [] { tarn::ui::RenderRegistry::Instance().Service(); });
  redraw_.start(1000);
  // The periodic save writes on the writer's thread: a slow disk does not hold up the UI.
  connect(&save_, &QTimer::timeout, this, [this] {
    ++saves_;
    writer_.Post(tarn::FrameStatePath(), tarn::SerializeFrameState(view_->CollectState()));
  });
  save_.start(15000);
  SetTitle(tarn::ui::ToQString(TXT("Tarn交易分析终端")));
  const QIcon icon(QString::fromStdString(tarn::Path("\\icon\\tarnclient.png")));
  setWindowIcon(icon);
  Caption()->SetIcon(icon);
  // The contract chooser of the order panels, the alert and condition dialogs is the contract
  // selection. It is in place before the view builds the order panels: their "..." buttons are
  // enabled by whether there is one.
  tarn::SetContractChooser([](QWidget* parent, DC_Contract* contract) {
    CDlgSelContract d(false, {}, parent);
    if (d.exec() != QDialog::Accepted) return false;
    *contract = d.Contract();
    return true;
  });
  view_ = new CChildView(this);
  SetContent(view_);
  tarn::LoadFrameState(&view_->State());  // a missing or damaged file leaves the defaults
  view_->ShowSavedBlock();
  BuildMenu();
  reconnect_ = new CDlgTradeReconect(this);
  // Typed characters reach keyboard ordering first (not while a text input or a modal dialog has
  // the focus); function keys switch the trade grid's tabs from anywhere.
  new CFrameKeyFilter(this);
  tarn::StartAlerts(this);  // the alert engine loads its file; the tip window waits hidden
  // The quote grid's "行情预警" opens the alert dialog for its row.
  CWndQuoteGird::SetQuoteAlertHook([](QWidget* parent, const DC_Contract& c) { tarn::EditAlertFor(parent, c); });
}

CMainFrame::~CMainFrame() {
  if (tarn::ui::RenderRegistry::Instance().ServiceWindow() == this)
    tarn::ui::RenderRegistry::Instance().SetServiceWindow(nullptr);
}

void CMainFrame::BuildMenu() {
  menu_ = new QMenuBar;
  auto add = [this](QMenu* m, const QString& text, int id) {
    QAction* a = m->addAction(text);
    a->setData(id);
    connect(a, &QAction::triggered, this, [this, id] { tarn::PostWindowMessage(view_, kMsgMenuCommand, 0, id); });
  };
  QMenu* system = menu_->addMenu(QStringLiteral("系统"));
  add(system, QStringLiteral("系统设置"), kCmdSettings);
  add(system, QStringLiteral("快捷下单设置"), kCmdKeyOrders);
  system->addSeparator();
  add(system, QStringLiteral("行情预警"), kCmdQuoteAlert);
  system->addSeparator();
  add(system, QStringLiteral("Ping服务器"), kCmdPing);
  system->addSeparator();
  add(system, QStringLiteral("退出(&X)"), kCmdExit);
  QMenu* trade = menu_->addMenu(QStringLiteral("交易"));
  add(trade, QStringLiteral("交易登录"), kCmdTradeLogin);
  add(trade, QStringLiteral("修改密码"), kCmdChangePassword);
  add(trade, QStringLiteral("结算单查询"), kCmdSettlement);
  QMenu* help = menu_->addMenu(QStringLiteral("帮助"));
  add(help, QStringLiteral("关于 TarnClient(&A)..."), kCmdAbout);
  Caption()->SetMenuBar(menu_);
}

void CMainFrame::PlaceOnDesktop() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen) setGeometry(screen->availableGeometry().adjusted(100, 100, -100, -100));
  showNormal();
}

bool CMainFrame::SaveState() {
  ++saves_;
  writer_.Flush();  // a periodic save still under way must not land after this one
  return tarn::SaveFrameState(view_->CollectState());
}

bool CMainFrame::event(QEvent* e) {
  if (static_cast<int>(e->type()) == tarn::ui::kMsgRedrawCharts) {
    tarn::ui::RenderRegistry::Instance().Service();
    return true;
  }
  return tarn::ui::FramelessWindow::event(e);
}

void CMainFrame::closeEvent(QCloseEvent* e) {
  if (askOnClose_ &&
      tarn::MessageBox(TXT("您确实要退出本系统吗?"), std::string(), tarn::MsgButtons::OkCancel) != tarn::MsgAnswer::Ok) {
    e->ignore();
    return;
  }
  if (askOnClose_) SaveState();
  redraw_.stop();
  save_.stop();
  e->accept();
}
