// CDlgAlertTip: the pop-up that shows fired alerts at the bottom-right corner of the desktop.
// One instance, created hidden with the main frame. An alert (on the quote thread) appends
// the entry under the window's own lock and posts message 1001; on the UI thread the window
// places itself (360 x 240, scaled), fades in over 100 ms and shows the newest entry. It paints
// the title "Tarn行情预警", the entry's time and text, "%d/%d" between the previous and next
// arrows, a close control (hides it) and the link "报警记录", which opens the history.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

#include "engines/alert_center.h"
#include "engines/alert_forms.h"
#include "platform/sync.h"

class CDlgAllAlertInfo;
class QPropertyAnimation;

class CDlgAlertTip : public QWidget, public IQuoteAlertListener {
  Q_OBJECT
 public:
  explicit CDlgAlertTip(QWidget* owner = nullptr);
  ~CDlgAlertTip() override;

  void OnQuoteAlert(const DC_Contract& contract, const std::string& message) override;

  // Where the parts are painted, for the mouse and for tests.
  struct Parts {
    QRect title, close, time, text, back, position, forward, link;
  };
  Parts Layout() const;
  // Bottom-right of the available desktop.
  void Place();
  void Back();
  void Forward();
  void OpenHistory();

  // The model under the window's lock (copied).
  tarn::AlertTipModel Model() const;
  // Opens the history dialog. Tests replace it.
  std::function<void(CDlgAllAlertInfo*)> openHistory;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  mutable tarn::CriticalSection mutex_;
  tarn::AlertTipModel model_;
  QPropertyAnimation* fade_ = nullptr;
};
