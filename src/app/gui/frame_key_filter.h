// CFrameKeyFilter, the main frame's key pre-filter (an application event filter):
// - the function keys F5, F9, F4 and F1 switch the trade grid's tabs from anywhere in the frame
//   while the grid exists, also while the arbitrage page hides it;
// - a typed character goes to keyboard ordering first (swallowed when taken), but only while no
//   text input has the focus and no modal dialog is open: a price typed into a dialog's field,
//   or a name into the wizard, is never taken for an order key;
// - a key press clears every line-order palette's armed key, and a left click clears those of
//   the palettes it is not in, once the click has been handled (a click on a chart has placed
//   its line order by then).
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

class CFrameKeyFilter : public QObject {
  Q_OBJECT
 public:
  // `frame`: the main frame whose trade grid the function keys reach.
  explicit CFrameKeyFilter(QWidget* frame);
  // Whether keyboard ordering may take typed characters now.
  static bool KeyOrderingMayTake();

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QPointer<QWidget> frame_;
  const QEvent* lastPress_ = nullptr;  // a press seen once, not again as it goes up to the parents
  quint64 lastPressTime_ = 0;
};
