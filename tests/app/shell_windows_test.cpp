// The shell's windows under the offscreen platform, against the fake libraries: the login
// dialog's whole flow, the status bar, the reconnection notice, the account dialogs, the main
// frame's timers, menu and exit question, and the screenshot session.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <filesystem>

#include "app/gui/account_dialogs.h"
#include "app/gui/dlg_login.h"
#include "app/gui/dlg_trade_reconect.h"
#include "engines/gui/strategy_windows.h"
#include "quote/gui/wnd_quote_gird.h"
#include "app/gui/frame_key_filter.h"
#include "trade/orders/gui/order_dialogs.h"
#include "trade/orders/gui/order_panel_base.h"
#include "app/gui/main_frame.h"
#include "trade/grid/gui/trade_grid_container.h"
#include "trade/grid/trade_grid_tabs.h"
#include "workspace/gui/page_quote.h"
#include <QLineEdit>
#include "app/gui/page_tab_strip.h"
#include "app/gui/mo_state_bar.h"
#include "app/gui/screenshots.h"
#include "app/gui/tarn_client_app.h"
#include "app/login_session.h"
#include "app/startup.h"
#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/single_instance.h"
#include "fake_libraries.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "tools/gui/dlg_ping_server.h"
#include "tools/gui/dlg_setting.h"
#include "tools/gui/scheme_theme.h"
#include "ui/fonts.h"
#include "ui/render_registry.h"
#include "ui/text_qt.h"

namespace tarn {
namespace {

using test::ScopedHome;

// A program directory with the shipped configuration and icons.
class ShellHome : public ScopedHome {
 public:
  ShellHome() {
    namespace fs = std::filesystem;
    for (const char* dir : {"config", "icon", "sound"})
      fs::copy(fs::path(TARN_ASSETS_DIR) / dir, fs::path(path()) / dir, fs::copy_options::recursive);
  }
};

bool WaitUntil(const std::function<bool()>& f, int ms = 3000) {
  for (int i = 0; i < ms / 10 && !f(); ++i) QTest::qWait(10);
  return f();
}

class ShellWindows : public ::testing::Test {
 protected:
  void SetUp() override { LoginSession::Clear(); }
  void TearDown() override { LoginSession::Clear(); }
  ShellHome home;
  test::ShellQuoteCenter quotes;
  test::ShellTradeApi trades;
  MessageBoxRecorder boxes;
};

TEST_F(ShellWindows, LoginDialogLogsInThroughBothLibrariesAndRemembers) {
  CDlgLogin d(false);
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Tarn交易分析终端"));
  ASSERT_EQ(d.server->count(), 1);
  EXPECT_EQ(d.server->itemText(0), QStringLiteral("Tarn模拟交易所"));
  EXPECT_EQ(d.version->text(), QStringLiteral("版本号:1.0.0.1"));
  EXPECT_EQ(d.okButton->text(), QStringLiteral("登陆"));
  d.show();
  d.account->setText(QStringLiteral("8001"));
  d.password->setText(QStringLiteral("888888"));
  d.server->setCurrentIndex(0);
  QTest::keyClick(d.password, Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return d.result() == QDialog::Accepted; }));
  ASSERT_EQ(quotes.logins.size(), 1u);
  EXPECT_EQ(quotes.logins[0].params.host, "tarn-embedded");
  EXPECT_EQ(quotes.logins[0].params.port, 7100);
  ASSERT_EQ(trades.logins.size(), 1u);
  EXPECT_EQ(trades.logins[0].tradeHost, "tarn-embedded");
  EXPECT_EQ(trades.logins[0].tradePort, 7200);
  EXPECT_EQ(boxes.Count(), 0u);
  // The next dialog remembers the account and the server and puts the focus on the password.
  CDlgLogin again(false);
  again.show();
  EXPECT_EQ(again.account->text(), QStringLiteral("8001"));
  EXPECT_EQ(again.server->currentIndex(), 0);
  EXPECT_EQ(QApplication::focusWidget() == again.password || again.password->hasFocus() ||
                again.focusWidget() == again.password,
            true);
}

TEST_F(ShellWindows, LoginRefusalShowsTheTextAndGivesTheButtonsBack) {
  trades.loginCode = -1;
  trades.loginText = "bad password";
  CDlgLogin d(false);
  d.show();
  d.account->setText(QStringLiteral("8001"));
  d.server->setCurrentIndex(0);
  d.OnOk();
  ASSERT_TRUE(WaitUntil([&] { return boxes.Count() > 0 && d.okButton->isEnabled(); }));
  EXPECT_EQ(boxes.LastText(), "bad password");
  EXPECT_EQ(d.progress->text(), QStringLiteral("bad password"));
  EXPECT_NE(d.result(), QDialog::Accepted);
}

TEST_F(ShellWindows, StatusBarRetriesTheQuoteLinkAndDoubleClickRelogsTrade) {
  CMoStateBar bar;
  bar.resize(800, 22);
  bar.show();
  int opened = 0;
  bar.openTradeLogin = [&] { ++opened; };
  QTest::qWait(600);  // timer 1 paints
  ASSERT_FALSE(bar.TradeStateRect().isEmpty());
  const QPoint inside = bar.TradeStateRect().center();
  QTest::mouseDClick(&bar, Qt::LeftButton, Qt::NoModifier, inside);
  EXPECT_EQ(opened, 0);  // trade is up
  trades.Disconnect();
  QTest::qWait(600);
  QTest::mouseDClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(2, 10));
  EXPECT_EQ(opened, 0);  // outside the trade text
  QTest::mouseDClick(&bar, Qt::LeftButton, Qt::NoModifier, bar.TradeStateRect().center());
  EXPECT_EQ(opened, 1);
  // The quote link drops: the retry runs after 3 s; still down, it reconnects and waits 10 s.
  quotes.DropLink();
  ASSERT_TRUE(WaitUntil([&] { return bar.RetryPending(); }));
  EXPECT_EQ(bar.RetryIntervalMs(), 3000);
  ASSERT_TRUE(WaitUntil([&] { return quotes.reconnects.load() == 1; }, 4000));
  EXPECT_FALSE(bar.RetryPending());
  EXPECT_EQ(bar.Logic().RetryDelayMs(), 10000);
  quotes.connected = true;
  quotes.DropLink();  // a loss report; the link is back by the time the timer fires
  quotes.connected = true;
  ASSERT_TRUE(WaitUntil([&] { return bar.RetryPending(); }));
  EXPECT_EQ(bar.RetryIntervalMs(), 10000);
}

TEST_F(ShellWindows, ReconnectionNoticeShowsWhileDownAndHidesWithinHalfASecond) {
  trades.loginCode = 0;  // no answer yet
  LoginSession::SetTradeLogin({{"", "8001", "pw"}, "tarn-embedded", 7200, "tarn-embedded", 7200});
  CDlgTradeReconect notice;
  EXPECT_FALSE(notice.isVisible());
  trades.Disconnect();
  ASSERT_TRUE(WaitUntil([&] { return notice.isVisible(); }, 1500));
  EXPECT_TRUE(notice.NoticeText().startsWith(QStringLiteral("交易已断开，正在进行自动重连.")));
  ASSERT_TRUE(WaitUntil([&] { return trades.logins.size() == 1; }, 2000));
  EXPECT_TRUE(notice.AttemptTimerActive());
  QTest::qWait(1200);
  EXPECT_EQ(trades.logins.size(), 1u);  // at most one login per 10 s
  // The broker answers a new attempt with success: the notice hides within 500 ms.
  trades.loginCode = 1;
  notice.OnAttemptTimer();
  ASSERT_TRUE(WaitUntil([&] { return trades.logins.size() == 2; }, 1500));
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(WaitUntil([&] { return !notice.isVisible(); }, 1000));
  EXPECT_LE(t.elapsed(), 750);  // timer 1 runs every 500 ms
}

TEST_F(ShellWindows, PasswordDialogChecksSendsAndShowsTheAnswer) {
  LoginSession::SetTradeLogin({{"", "8001", "old"}, "h", 1, "h", 1});
  CDlgModiPwd d;
  d.show();
  d.oldPassword->setText(QStringLiteral("old"));
  d.newPassword->setText(QStringLiteral("New1"));
  d.confirmation->setText(QStringLiteral("new1"));
  d.OnOk();
  EXPECT_EQ(boxes.LastText(), TXT("两次输入的新密码不一致"));
  EXPECT_TRUE(trades.passwordChanges.empty());
  d.confirmation->setText(QStringLiteral("New1"));
  d.OnOk();
  ASSERT_TRUE(WaitUntil([&] { return boxes.Count() == 2; }));
  EXPECT_EQ(boxes.LastText(), TXT("密码修改成功"));
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(LoginSession::TradeLogin().texts.password, "New1");  // the reconnection uses it
  trades.passwordCode = 7;
  trades.passwordMessage = "old password wrong";
  d.OnOk();
  ASSERT_TRUE(WaitUntil([&] { return boxes.Count() == 3; }));
  EXPECT_EQ(boxes.LastText(), "old password wrong");
}

TEST_F(ShellWindows, SettlementDialogQueriesTheDayAndShowsTheAnswer) {
  CDlgShowSettleInfo d;
  d.show();
  d.date->setDate(QDate(2026, 3, 5));
  trades.statement = TXT("结算单 2026-03-05");
  d.queryButton->click();
  ASSERT_EQ(trades.settlementQueries.size(), 1u);
  EXPECT_EQ(trades.settlementQueries[0], 20260305);
  ASSERT_TRUE(WaitUntil([&] { return !d.statement->toPlainText().isEmpty(); }));
  EXPECT_EQ(d.statement->toPlainText(), QStringLiteral("结算单 2026-03-05"));
  d.date->setDate(QDate(2025, 12, 31));
  trades.statement = "second";
  QTest::keyClick(d.date, Qt::Key_Return);  // Enter queries and keeps the dialog open
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(trades.settlementQueries.back(), 20251231);
  ASSERT_TRUE(WaitUntil([&] { return d.statement->toPlainText() == QStringLiteral("second"); }));
}

TEST_F(ShellWindows, MainFrameTimersMenuAndExitQuestion) {
  CMainFrame frame;
  frame.resize(900, 600);
  frame.show();
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tarn交易分析终端"));
  EXPECT_EQ(frame.RedrawTimer().interval(), 1000);
  EXPECT_EQ(frame.SaveTimer().interval(), 15000);
  EXPECT_EQ(ui::RenderRegistry::Instance().ServiceWindow(), &frame);
  // The menu: three pop-ups with this commands.
  QStringList titles;
  std::vector<int> ids;
  for (QAction* m : frame.Menu()->actions()) {
    titles << m->text();
    for (QAction* a : m->menu()->actions())
      if (!a->isSeparator()) ids.push_back(a->data().toInt());
  }
  EXPECT_EQ(titles, (QStringList{QStringLiteral("系统"), QStringLiteral("交易"), QStringLiteral("帮助")}));
  EXPECT_EQ(ids, (std::vector<int>{32787, 32789, 32791, 32793, 57665, 32780, 32782, 32784, 57664}));
  // A menu command reaches the view as message 1002 and opens its dialog.
  std::vector<QString> opened;
  frame.View()->openDialog = [&](QWidget* d) {
    opened.push_back(d->windowTitle());
    delete d;
  };
  for (int id : {32787, 32793, 32780, 32782, 32784, 57664}) {
    for (QAction* m : frame.Menu()->actions())
      for (QAction* a : m->menu()->actions())
        if (a->data().toInt() == id) a->trigger();
  }
  QTest::qWait(20);
  EXPECT_EQ(opened, (std::vector<QString>{QStringLiteral("系统设置"), QStringLiteral("Ping服务器"),
                                          QStringLiteral("Tarn交易分析终端"), QStringLiteral("修改密码"),
                                          QStringLiteral("结算单查询"), QStringLiteral("关于 TarnClient")}));
  // Exit: Cancel keeps the frame; 57665 asks the same question; OK saves frm.dat and closes.
  boxes.Script(MsgAnswer::Cancel);
  frame.close();
  EXPECT_TRUE(frame.isVisible());
  EXPECT_EQ(boxes.LastText(), TXT("您确实要退出本系统吗?"));
  EXPECT_FALSE(test::Exists(home.Native("\\user\\layout\\frm.dat")));
  boxes.Script(MsgAnswer::Ok);
  frame.View()->OnCommand(kCmdExit);
  ASSERT_TRUE(WaitUntil([&] { return !frame.isVisible(); }));
  EXPECT_EQ(boxes.Count(), 2u);
  EXPECT_EQ(boxes.LastText(), TXT("您确实要退出本系统吗?"));
  EXPECT_TRUE(test::Exists(home.Native("\\user\\layout\\frm.dat")));
  EXPECT_EQ(frame.SaveCount(), 1);
}

TEST_F(ShellWindows, EveryOrderPanelsContractButtonOpensTheContractSelection) {
  CMainFrame frame;
  frame.resize(1200, 800);
  frame.show();
  const QList<ContractSelector*> selectors = frame.findChildren<ContractSelector*>();
  ASSERT_FALSE(selectors.isEmpty());
  for (ContractSelector* s : selectors) EXPECT_TRUE(s->choose->isEnabled());
}

TEST_F(ShellWindows, ThePageTabsSwitchBetweenTheMainPageAndTheArbitragePage) {
  CMainFrame frame;
  frame.resize(1100, 700);
  frame.show();
  CChildView* view = frame.View();
  EXPECT_EQ(view->ArbitragePage(), nullptr);  // made when first chosen
  EXPECT_TRUE(view->QuoteGrid()->isVisible());
  // The strip: the icon, then the tabs one under the other, each tall enough for its caption
  // written downwards. A click on the second tab shows the arbitrage page.
  auto* strip = view->findChild<CPageTabStrip*>();
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->width(), ui::Scaled(22));
  EXPECT_GT(strip->TabRect(0).top(), strip->width() / 2);
  EXPECT_GT(strip->TabRect(1).top(), strip->TabRect(0).bottom());
  EXPECT_GE(strip->TabRect(1).height(), 4 * strip->fontMetrics().height());
  EXPECT_EQ(strip->TabAt(QPoint(5, strip->TabRect(0).top() - 1)), -1);
  const QPoint at = strip->TabRect(1).center();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), strip->mapToGlobal(QPointF(at)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(strip, &press);
  EXPECT_EQ(strip->CurrentIndex(), 1);
  ASSERT_NE(view->ArbitragePage(), nullptr);
  EXPECT_TRUE(view->ArbitragePage()->isVisible());
  EXPECT_FALSE(view->QuoteGrid()->isVisible());
  CWndTaoLiView* page = view->ArbitragePage();
  view->ShowPage(0);
  view->ShowPage(1);
  EXPECT_EQ(view->ArbitragePage(), page);  // made once
  view->ShowPage(0);
  EXPECT_TRUE(view->QuoteGrid()->isVisible());
  EXPECT_FALSE(page->isVisible());
}

// The frame's key pre-filter: function keys reach the trade grid while the arbitrage page hides
// it, and keyboard ordering is offered typed characters only while no text input has the focus
// and no modal dialog is open.
TEST_F(ShellWindows, FunctionKeysReachTheHiddenTradeGridAndTextInputsKeepTheirCharacters) {
  CMainFrame frame;
  frame.resize(1100, 700);
  frame.show();
  CChildView* view = frame.View();
  auto* grid = view->findChild<CTradeGridContainer*>();
  ASSERT_NE(grid, nullptr);
  view->ShowPage(1);
  ASSERT_FALSE(grid->isVisible());
  QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
  QApplication::sendEvent(view->ArbitragePage(), &f9);
  bool shown = false;
  for (int g = 0; g < grid->GroupCount(); ++g) shown = shown || grid->CurrentTab(g) == kTabOrders;
  EXPECT_TRUE(shown);
  view->ShowPage(0);

  frame.activateWindow();
  view->Page()->setFocus();
  EXPECT_TRUE(CFrameKeyFilter::KeyOrderingMayTake());
  QLineEdit edit(view->Page());
  edit.show();
  edit.setFocus();
  QApplication::processEvents();
  ASSERT_EQ(QApplication::focusWidget(), &edit);
  EXPECT_FALSE(CFrameKeyFilter::KeyOrderingMayTake());
  edit.setReadOnly(true);
  EXPECT_TRUE(CFrameKeyFilter::KeyOrderingMayTake());
  QDialog modal(&frame);
  modal.setModal(true);
  modal.show();
  QApplication::processEvents();
  EXPECT_FALSE(CFrameKeyFilter::KeyOrderingMayTake());
  modal.hide();
}

TEST_F(ShellWindows, KeysAndClicksElsewhereClearTheLineOrderPalettesArmedKeys) {
  CMainFrame frame;
  frame.resize(1100, 700);
  frame.show();
  CDlgLineOrderPanel first(&frame), second(&frame);
  first.show();
  second.show();
  QApplication::processEvents();
  auto press = [](QWidget* w) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
    QApplication::processEvents();  // the clearing runs once the click is handled
  };
  first.ClickMode(0);
  second.ClickMode(3);
  // A click in a palette keeps that palette's key and clears the other's.
  press(first.modes[1]);
  EXPECT_EQ(first.Palette().Armed(), 0);
  EXPECT_EQ(second.Palette().Armed(), -1);
  EXPECT_FALSE(second.modes[3]->isChecked());
  // A click anywhere else clears it too; a right click does not.
  second.ClickMode(3);
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(2, 2), frame.mapToGlobal(QPointF(2, 2)), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(frame.View(), &right);
  QApplication::processEvents();
  EXPECT_EQ(first.Palette().Armed(), 0);
  press(frame.View());
  EXPECT_EQ(first.Palette().Armed(), -1);
  EXPECT_EQ(second.Palette().Armed(), -1);
  // Any key press clears every palette, also one typed into a palette.
  first.ClickMode(2);
  second.ClickMode(1);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
  QApplication::sendEvent(second.quantity, &key);
  EXPECT_EQ(first.Palette().Armed(), -1);
  EXPECT_EQ(second.Palette().Armed(), -1);
}

class Chart : public ui::CRenderWnd {
 public:
  int renders = 0;

 protected:
  void Render() override { ++renders; }
};

TEST_F(ShellWindows, MainFrameServicesChartRedrawsOncePerChart) {
  CMainFrame frame;
  Chart a, b;
  for (int i = 0; i < 50; ++i) {
    a.NeedRedraw();
    b.NeedRedraw();
  }
  QApplication::processEvents();
  EXPECT_EQ(a.renders, 1);
  EXPECT_EQ(b.renders, 1);
  a.NeedRedraw();
  QApplication::processEvents();
  EXPECT_EQ(a.renders, 2);
  EXPECT_EQ(b.renders, 1);
}

TEST_F(ShellWindows, SecondCopyInTheSameFolderIsRefused) {
  char arg0[] = "tarn";
  char* argv[] = {arg0, nullptr};
  CTarnClientApp first(1, argv), second(1, argv);
  EXPECT_TRUE(first.TakeMutex());
  EXPECT_FALSE(second.TakeMutex());
  EXPECT_FALSE(second.CheckSingleInstance());
  EXPECT_EQ(boxes.LastText(), TXT("程序已经启动"));
}

TEST_F(ShellWindows, ALockFileThatCannotBeOpenedDoesNotPassForASecondCopy) {
  char arg0[] = "tarn";
  char* argv[] = {arg0, nullptr};
  // Something we cannot open as a lock sits where the lock file goes (as a file of another
  // user would): the terminal runs without the lock instead of claiming it is running.
  // The lock files go to a folder of this test's own, so that no other run meets them.
  test::TempDir runtime;
  const char* previous = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = previous ? previous : "";
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  const std::string path = SingleInstanceLock::LockPath(MutexName(ProgramDir()));
  EXPECT_EQ(path.rfind(runtime.path() + "/", 0), 0u);
  ASSERT_TRUE(MakeDirs(path));
  {
    CTarnClientApp app(1, argv);
    const std::size_t before = boxes.Count();
    EXPECT_TRUE(app.CheckSingleInstance());
    EXPECT_EQ(boxes.Count(), before);
  }
  if (previous) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else unsetenv("XDG_RUNTIME_DIR");
}

TEST_F(ShellWindows, ScreenshotSessionLogsInAndWritesEveryWindow) {
  // TARN_SCREENSHOT_DIR keeps the images for a look; otherwise a temporary folder.
  test::TempDir tmp;
  const char* keep = std::getenv("TARN_SCREENSHOT_DIR");
  const QString dir = QString::fromStdString(keep && *keep ? std::string(keep) : tmp.path());
  ui::Screenshots().Clear();
  // The look of the terminal: its fonts and the theme from the colour scheme.
  ui::InitFonts();
  GetColorScheme().Reload();
  SchemeThemeWatcher theme;
  EXPECT_EQ(RunScreenshotSession(dir, {"8001", "888888"}, 5000), 0);
  ui::Screenshots().Clear();
  for (const char* name : {"login", "main_frame", "main_frame_later", "main_frame_trade_down", "settings", "colors", "trade_login",
                           "change_password", "settlement", "ping", "about", "reconnect_notice"}) {
    QImage img(QDir(dir).filePath(QString::fromUtf8(name) + QStringLiteral(".png")));
    ASSERT_FALSE(img.isNull()) << name;
    EXPECT_GT(img.width(), 100) << name;
  }
  EXPECT_EQ(trades.logins.size(), 1u);
}

}  // namespace
}  // namespace tarn
