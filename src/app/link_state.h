// The logic of the two link watchers, without windows: the status bar's quote retry and its
// state texts and colours (CMoStateBar), and the trade reconnection's flags, timers and notice
// (CDlgTradeReconect). Notifications set atomic flags on the libraries' threads; everything
// else runs on the UI thread.
#pragma once

#include <atomic>
#include <string>

#include "platform/color.h"

namespace tarn {

struct StateText {
  std::string text;  // GBK
  Colorref color;
};

// The status bar's fixed colours.
constexpr Colorref kStatusBarBack = Rgb(10, 30, 80);
constexpr Colorref kStatusBarTitle = Rgb(210, 225, 230);
constexpr Colorref kStatusBarClock = Rgb(210, 210, 215);

class StatusBarLogic {
 public:
  // Trade notifications (any thread).
  void OnTradeLogin(int code) {
    if (code == 1) tradeUp_ = true;
  }
  void OnTradeDisconnected() { tradeUp_ = false; }
  bool TradeUp() const { return tradeUp_; }

  // The quote link was lost: timer 2 is started with this delay.
  int RetryDelayMs() const { return retryDelaySeconds_ * 1000; }
  int RetryDelaySeconds() const { return retryDelaySeconds_; }
  // Timer 2 (already stopped by the caller): a link that is back resets the delay to 3 s;
  // otherwise the quote library is asked to reconnect and the delay becomes 10 s.
  void OnRetryTimer();

  // "行情:正常" / "行情:正在重连" with their colours.
  static StateText QuoteState(bool connected);
  // "交易:正常", or "交易:已断开" alternating red (odd paint) and yellow (even) from the
  // process-wide paint counter, which every call advances while the link is down.
  StateText NextTradeState();
  // The clock text "%02d:%02d:%02d" of a time.
  static std::string ClockText(int64_t seconds);

 private:
  std::atomic<bool> tradeUp_{true};
  int retryDelaySeconds_ = 3;
};

class TradeReconnectLogic {
 public:
  // Trade notifications (any thread).
  void OnTradeDisconnected() { tradeDown_ = true; }
  void OnTradeLogin(int code) {
    if (code == 1) tradeDown_ = false;
  }
  bool TradeDown() const { return tradeDown_; }
  bool AttemptInProgress() const { return attempt_; }

  struct NoticeStep {
    bool hide = false;   // trade is up: hide and stop
    bool show = false;   // show the notice (it was hidden)
    std::string text;    // the notice, when not hiding
  };
  // Timer 1 (500 ms).
  NoticeStep OnNoticeTimer(bool visible);
  // Timer 2 (1000 ms): with the link down and no attempt pending, sends the stored trade login
  // again; true when it did (timer 3 is then started).
  bool OnRetryTimer();
  // Timer 3 (10 s): the attempt is over.
  void OnAttemptTimer() { attempt_ = false; }

  static int AnimationCounter();
  static void ResetAnimationCounter();

 private:
  std::atomic<bool> tradeDown_{false};
  std::atomic<bool> attempt_{false};
};

}  // namespace tarn
