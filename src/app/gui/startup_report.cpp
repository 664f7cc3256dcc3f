#include "app/gui/startup_report.h"

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/gui/dlg_login.h"
#include "app/gui/main_frame.h"
#include "chart/gui/cc_chart_ctrl.h"
#include "workspace/gui/chart_container.h"
#include "quote/gui/quote_grid_ctrl.h"
#include "quote/gui/wnd_quote_gird.h"
#include "workspace/gui/page_quote.h"
#include "workspace/gui/wnd_chart_container.h"

namespace tarn {

PaintWatch::PaintWatch() { qApp->installEventFilter(this); }

PaintWatch::~PaintWatch() { qApp->removeEventFilter(this); }

bool PaintWatch::PaintedWithBars(const CCChartCtrl* chart) const { return paintedWithBars_.count(chart) > 0; }

bool PaintWatch::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Paint) {
    // Seen before the widget paints; the check that reads these sets runs after the event.
    painted_.insert(watched);
    if (auto* chart = qobject_cast<CCChartCtrl*>(watched); chart && chart->BarCount() > 0)
      paintedWithBars_.insert(watched);
  }
  return QObject::eventFilter(watched, e);
}

DrawnState WorkspaceDrawn(const CPageQuote& page, const PaintWatch& watch) {
  DrawnState s;
  const CWndChartContainer* ws = page.CurrentWorkspace();
  if (!ws || !ws->isVisible() || !watch.Painted(ws)) return s;
  bool all = true;
  for (CChartContainer* c : ws->Containers()) {
    if (!c->isVisible()) continue;
    ++s.windows;
    if (!watch.Painted(c)) all = false;
    if (CCChartCtrl* chart = c->Chart(); chart && chart->isVisible()) {
      s.bars.push_back(chart->BarCount());
      if (!watch.PaintedWithBars(chart)) all = false;
    }
    if (CWndQuoteGird* grid = c->QuoteGrid(); grid && grid->isVisible() && !watch.Painted(grid->Grid())) all = false;
  }
  s.drawn = all && s.windows > 0;
  return s;
}

long long MsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name may hold spaces: the fields are counted after its closing parenthesis.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long startTicks = 0;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) startTicks = std::stoull(field);
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const long hz = sysconf(_SC_CLK_TCK);
  const long long nowMs = static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  return nowMs - static_cast<long long>(startTicks * 1000 / static_cast<unsigned long long>(hz > 0 ? hz : 100));
}

namespace {

long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line))
    if (line.compare(0, prefix.size(), prefix) == 0) return std::stol(line.substr(prefix.size()));
  return -1;
}

void Phase(const char* name) { std::fprintf(stderr, "startup-phase %s ms=%lld\n", name, MsSinceProcessStart()); }

}  // namespace

int RunStartupReport(const DemoAccount& demo, int timeoutMs) {
  Phase("toolkit");
  {
    CDlgLogin login(false);
    FillDemoLogin(login, demo);
    std::string error;
    if (!FinishDemoLogin(login, timeoutMs, &error)) {
      std::fprintf(stderr, "tarn: the demo login did not succeed: %s\n", error.c_str());
      return 1;
    }
    login.hide();
  }
  Phase("login");
  PaintWatch watch;
  CMainFrame frame;
  frame.SetAskOnClose(false);  // the run leaves frm.dat as it found it
  frame.resize(1600, 900);
  Phase("frame");
  frame.show();
  QElapsedTimer t;
  t.start();
  DrawnState s;
  while (!(s = WorkspaceDrawn(*frame.View()->Page(), watch)).drawn && t.elapsed() < timeoutMs)
    QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);  // the frame's timer wakes it
  const long long ms = MsSinceProcessStart();
  const long rss = StatusKb("VmRSS"), hwm = StatusKb("VmHWM");
  if (!s.drawn) {
    std::fprintf(stderr, "tarn: the workspace was not drawn in %d ms\n", timeoutMs);
    return 3;
  }
  std::string bars;
  for (std::size_t n : s.bars) bars += (bars.empty() ? "" : ",") + std::to_string(n);
  std::printf("startup-report drawn_ms=%lld vmrss_kb=%ld vmhwm_kb=%ld windows=%d charts=%zu bars=%s\n", ms, rss, hwm,
              s.windows, s.bars.size(), bars.c_str());
  std::fflush(stdout);
  frame.close();
  return 0;
}

}  // namespace tarn
