#include "app/link_state.h"

#include "app/login_session.h"
#include "data/quote_data_center.h"
#include "data/trade_api.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace tarn {
namespace {
std::atomic<unsigned> g_paintCounter{0};
std::atomic<int> g_animation{0};
}  // namespace

void StatusBarLogic::OnRetryTimer() {
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (center && center->IsConnected()) {
    retryDelaySeconds_ = 3;
    return;
  }
  if (center) center->Reconnect();
  retryDelaySeconds_ = 10;
}

StateText StatusBarLogic::QuoteState(bool connected) {
  return connected ? StateText{TXT("行情:正常"), Rgb(200, 200, 200)} : StateText{TXT("行情:正在重连"), Rgb(220, 220, 100)};
}

StateText StatusBarLogic::NextTradeState() {
  if (tradeUp_) return {TXT("交易:正常"), Rgb(200, 200, 200)};
  const unsigned n = ++g_paintCounter;
  return {TXT("交易:已断开"), (n & 1) ? Rgb(255, 0, 0) : Rgb(255, 255, 0)};
}

std::string StatusBarLogic::ClockText(int64_t seconds) {
  const std::tm t = LocalTime(seconds);
  return Format("%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
}

TradeReconnectLogic::NoticeStep TradeReconnectLogic::OnNoticeTimer(bool visible) {
  NoticeStep s;
  if (!tradeDown_) {
    s.hide = true;
    return s;
  }
  s.show = !visible;
  int n = g_animation.load();
  if (attempt_) n = ++g_animation;
  s.text = TXT("交易已断开，正在进行自动重连") + std::string(static_cast<std::size_t>(n % 9 + 1), '.');
  return s;
}

bool TradeReconnectLogic::OnRetryTimer() {
  if (attempt_ || !tradeDown_) return false;
  attempt_ = true;
  const TradeLoginParams p = LoginSession::TradeLogin();
  if (ITradeApi* api = GetTradeApi()) api->Login(p.texts, p.tradeHost, p.tradePort, p.cloudHost, p.cloudPort);
  return true;
}

int TradeReconnectLogic::AnimationCounter() { return g_animation.load(); }
void TradeReconnectLogic::ResetAnimationCounter() { g_animation = 0; }

}  // namespace tarn
