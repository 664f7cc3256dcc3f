#include "app/login_session.h"

#include <mutex>

namespace tarn::LoginSession {
namespace {
struct State {
  std::mutex mutex;
  TradeLoginParams trade;
  bool hasTrade = false;
  std::string quoteHost;
};
State& S() {
  static State s;
  return s;
}
}  // namespace

void SetTradeLogin(const TradeLoginParams& p) {
  std::lock_guard<std::mutex> l(S().mutex);
  S().trade = p;
  S().hasTrade = true;
}
TradeLoginParams TradeLogin() {
  std::lock_guard<std::mutex> l(S().mutex);
  return S().trade;
}
bool HasTradeLogin() {
  std::lock_guard<std::mutex> l(S().mutex);
  return S().hasTrade;
}
void SetQuoteHost(const std::string& host) {
  std::lock_guard<std::mutex> l(S().mutex);
  S().quoteHost = host;
}
std::string QuoteHost() {
  std::lock_guard<std::mutex> l(S().mutex);
  return S().quoteHost;
}
void Clear() {
  std::lock_guard<std::mutex> l(S().mutex);
  S().trade = TradeLoginParams{};
  S().hasTrade = false;
  S().quoteHost.clear();
}

}  // namespace tarn::LoginSession
