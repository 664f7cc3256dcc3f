// CMoStateBar: the strip along the bottom of the main window: the terminal's title, the local
// clock and the states of the quote and trade links. It restarts the quote link after a loss
// (3 s, then 10 s while it stays down) and, while trade is down, a double click on the trade
// state opens the login in trade-only mode. The logic is StatusBarLogic.
#pragma once

#include <QTimer>
#include <QWidget>

#include "app/link_state.h"
#include "data/data_listener.h"
#include "data/trade_api.h"

class CMoStateBar : public QWidget, public CDataListener, public CTradeListener {
  Q_OBJECT
 public:
  static constexpr int kChildId = 1003;

  explicit CMoStateBar(QWidget* parent = nullptr);
  ~CMoStateBar() override;

  tarn::StatusBarLogic& Logic() { return logic_; }
  QRect TradeStateRect() const { return tradeRect_; }
  bool RetryPending() const { return retry_.isActive(); }
  int RetryIntervalMs() const { return retry_.interval(); }
  // Opens the trade-only login (tests replace it).
  std::function<void()> openTradeLogin;

  // Quote and trade notifications (library threads).
  void OnConnectionLost(int reason) override;
  void OnTradeLogin(int code, const std::string& text, const AccountTexts& account) override;
  void OnTradeDisconnected(const AccountTexts& account) override;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  void StartRetry();
  void OnRetry();

  tarn::StatusBarLogic logic_;
  QTimer tick_;   // timer 1, 500 ms
  QTimer retry_;  // timer 2
  QRect tradeRect_;
};
