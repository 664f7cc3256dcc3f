// `tarn --startup-report`: the start-up figures of the terminal. It logs in with the demo
// account (as `--screenshot` does), shows the main frame at 1600x900 and waits until its
// current workspace is drawn: every visible window of the workspace has finished its first
// paint, and every chart in it has painted with its bars. It then prints one line on standard
// output,
//   startup-report drawn_ms=N vmrss_kb=N vmhwm_kb=N windows=N charts=N bars=N,N,...
// (drawn_ms counted from the process's start, memory from /proc/self/status at that moment),
// and ends: 0 when drawn, 1 when the login failed, 3 when the workspace was not drawn in time.
// The steps' times go to standard error ("startup-phase NAME ms=N").
//
// It runs in the program directory itself, not in a copy, so that a restart sees what the run
// before it stored: point --home at a folder made for it.
#pragma once

#include <QObject>
#include <QWidget>
#include <set>
#include <vector>

#include "app/gui/screenshots.h"

class CPageQuote;
class CCChartCtrl;

namespace tarn {

// Watches the application's paint events: which widgets have painted, and which charts have
// painted while holding bars.
class PaintWatch : public QObject {
  Q_OBJECT
 public:
  PaintWatch();
  ~PaintWatch() override;
  bool Painted(const QWidget* w) const { return painted_.count(w) > 0; }
  bool PaintedWithBars(const CCChartCtrl* chart) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  std::set<const QObject*> painted_;
  std::set<const QObject*> paintedWithBars_;
};

struct DrawnState {
  bool drawn = false;
  int windows = 0;                // visible windows of the current workspace
  std::vector<std::size_t> bars;  // bars of each visible chart, in tree order
};
// Whether the current workspace of `page` is drawn by the rule above.
DrawnState WorkspaceDrawn(const CPageQuote& page, const PaintWatch& watch);

// Milliseconds since the process started (from /proc/self/stat, 10 ms steps).
long long MsSinceProcessStart();

int RunStartupReport(const DemoAccount& demo, int timeoutMs = 60000);

}  // namespace tarn
