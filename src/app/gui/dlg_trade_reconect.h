// CDlgTradeReconect: the notice shown while the trade link is down. It re-sends the stored
// trade login at most once every 10 seconds and hides within 500 ms of a successful login.
// Created hidden by the main frame; modeless. The logic is TradeReconnectLogic.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "app/link_state.h"
#include "data/trade_api.h"

class CDlgTradeReconect : public QWidget, public CTradeListener {
  Q_OBJECT
 public:
  explicit CDlgTradeReconect(QWidget* owner = nullptr);
  ~CDlgTradeReconect() override;

  tarn::TradeReconnectLogic& Logic() { return logic_; }
  QString NoticeText() const { return text_->text(); }
  bool AttemptTimerActive() const { return attempt_.isActive(); }
  // The timers' work, callable from tests.
  void OnNoticeTimer();
  void OnRetryTimer();
  void OnAttemptTimer();

  void OnTradeLogin(int code, const std::string& text, const AccountTexts& account) override;
  void OnTradeDisconnected(const AccountTexts& account) override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  void Place();

  tarn::TradeReconnectLogic logic_;
  QWidget* owner_;
  QLabel* text_;   // 1125
  QTimer notice_;  // timer 1, 500 ms
  QTimer retry_;   // timer 2, 1000 ms
  QTimer attempt_; // timer 3, 10000 ms
};
