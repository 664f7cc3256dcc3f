#include "app/gui/screenshots.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/gui/account_dialogs.h"
#include "app/gui/dlg_login.h"
#include "app/gui/dlg_trade_reconect.h"
#include "app/gui/main_frame.h"
#include "app/gui/mo_state_bar.h"
#include "app/login_session.h"
#include "chart/gui/screenshots.h"
#include "workspace/gui/screenshots.h"
#include "engines/gui/screenshots.h"
#include "platform/text.h"
#include "quote/gui/block_tab_bar.h"
#include "quote/gui/ccx_info_panel_ctrl.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/gui/screenshots.h"
#include "quote/gui/wnd_quote_gird.h"
#include "tools/gui/dlg_ping_server.h"
#include "tools/gui/screenshots.h"
#include "trade/gui/screenshots.h"
#include "trade/grid/gui/trade_grid_screenshots.h"
#include "ui/text_qt.h"

namespace tarn {

DemoAccount DemoAccountFromEnvironment(int argc, char** argv) {
  DemoAccount d{"8001", "888888"};
  if (const char* a = std::getenv("TARN_DEMO_ACCOUNT"); a && *a) d.account = a;
  if (const char* p = std::getenv("TARN_DEMO_PASSWORD"); p && *p) d.password = p;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--account") == 0) d.account = argv[i + 1];
    if (std::strcmp(argv[i], "--password") == 0) d.password = argv[i + 1];
  }
  return d;
}

void FillDemoLogin(CDlgLogin& login, const DemoAccount& demo) {
  login.account->setText(ui::ToQString(demo.account));
  login.password->setText(ui::ToQString(demo.password));
  if (login.server->currentIndex() < 0 && login.server->count() > 0) login.server->setCurrentIndex(0);
}

bool FinishDemoLogin(CDlgLogin& login, int timeoutMs, std::string* error) {
  login.OnOk();
  QElapsedTimer t;
  t.start();
  while (login.result() != QDialog::Accepted && !login.okButton->isEnabled() && t.elapsed() < timeoutMs)
    ui::PumpEvents(5);
  const bool ok = login.result() == QDialog::Accepted;
  if (!ok && error) *error = GbkToUtf8(ui::ToGbk(login.progress->text()));
  return ok;
}

void RegisterShellScreenshots(ui::ScreenshotRegistry& r) {
  r.Add("trade_login", [] { return static_cast<QWidget*>(new CDlgLogin(true)); });
  r.Add("change_password", [] { return static_cast<QWidget*>(new CDlgModiPwd); });
  r.Add("settlement", [] {
    auto* d = new CDlgShowSettleInfo;
    d->Query();
    return static_cast<QWidget*>(d);
  });
  r.Add("ping", [] {
    const TradeLoginParams t = LoginSession::TradeLogin();
    auto* d = new CDlgPingServer(PingTargets(LoginSession::QuoteHost(), t.tradeHost, t.cloudHost));
    d->Start();
    ui::PumpEvents(2500);  // two or three probes
    return static_cast<QWidget*>(d);
  });
  r.Add("about", [] { return static_cast<QWidget*>(new CDlgAbout); });
  // The main frame with its quote grid moving (the quote link is up even when the trade login
  // of the session could not be made).
  r.Add("main_frame_quotes", [] {
    auto* frame = new CMainFrame;
    frame->SetAskOnClose(false);
    frame->resize(1280, 800);
    // A saved frm.dat may put a chart, not the grid, in the current window: the frame is then
    // taken as it comes up.
    CWndQuoteGird* grid = frame->View()->QuoteGrid();
    // The first exchange's block (a new user's own block is empty).
    if (grid && grid->BlockBar()->Blocks().size() > 1) grid->ShowBlock(grid->BlockBar()->Blocks()[1].code);
    frame->show();
    ui::PumpEvents(300);
    if (grid) {
      tarn::QuoteGridModel& rows = grid->Grid()->Model();
      rows.Select(1);
      // The information panel shows the selected row, as after a click on it.
      if (frame->View()->InfoPanel() && rows.RowCount() > 1) frame->View()->InfoPanel()->ShowContract(rows.RowAt(1)->contract);
    }
    ui::PumpEvents(1200);
    return static_cast<QWidget*>(frame);
  });
  r.Add("reconnect_notice", [] {
    auto* d = new CDlgTradeReconect;
    d->Logic().OnTradeDisconnected();
    d->OnNoticeTimer();
    return static_cast<QWidget*>(d);
  });
}

int RunScreenshotSession(const QString& dir, const DemoAccount& demo, int loginTimeoutMs) {
  QDir().mkpath(dir);
  auto file = [&](const char* name) { return QDir(dir).filePath(QString::fromUtf8(name) + QStringLiteral(".png")); };
  bool ok = true;
  bool loggedIn = false;
  {
    CDlgLogin login(false);
    FillDemoLogin(login, demo);
    ok = ui::GrabWindow(&login, file("login")) && ok;
    std::string error;
    loggedIn = FinishDemoLogin(login, loginTimeoutMs, &error);
    if (!loggedIn) {
      std::fprintf(stderr, "tarn: the demo login did not succeed: %s\n", error.c_str());
      ok = ui::GrabWindow(&login, file("login_failed")) && ok;
    }
    login.hide();
  }
  if (loggedIn) {
    CMainFrame frame;
    frame.SetAskOnClose(false);
    frame.resize(1280, 800);
    ok = ui::GrabWindow(&frame, file("main_frame")) && ok;
    ui::PumpEvents(1100);  // the clock ticks
    ok = ui::GrabWindow(&frame, file("main_frame_later")) && ok;
    // What the status bar shows while the trade link is down (the display only).
    frame.View()->StatusBar()->Logic().OnTradeDisconnected();
    ok = ui::GrabWindow(&frame, file("main_frame_trade_down")) && ok;
    frame.View()->StatusBar()->Logic().OnTradeLogin(1);
    frame.close();
  }
  ui::ScreenshotRegistry& registry = ui::Screenshots();
  RegisterToolsScreenshots(registry);
  RegisterQuoteScreenshots(registry);
  RegisterEnginesScreenshots(registry);
  RegisterChartScreenshots(registry);
  RegisterWorkspaceScreenshots(registry);
  RegisterTradeGridScreenshots(registry);
  RegisterTradeOrderScreenshots(registry);
  RegisterShellScreenshots(registry);  // last: its reconnection notice keeps timers running
  std::vector<std::string> failed;
  registry.GrabAll(dir, &failed);
  for (const std::string& f : failed) std::fprintf(stderr, "tarn: could not grab %s\n", f.c_str());
  return (loggedIn && ok && failed.empty()) ? 0 : 1;
}

}  // namespace tarn
