// What the login leaves behind for the windows that work with the current login: the trade
// login's parameters (the reconnection re-sends them) and the hosts (the server ping probes
// them). Process-wide, guarded by its own lock.
#pragma once

#include <string>

#include "data/trade_records.h"

namespace tarn {

struct TradeLoginParams {
  AccountTexts texts;  // (empty, account, password)
  std::string tradeHost;
  int tradePort = 0;
  std::string cloudHost;
  int cloudPort = 0;
};

namespace LoginSession {
void SetTradeLogin(const TradeLoginParams& p);
TradeLoginParams TradeLogin();
bool HasTradeLogin();
void SetQuoteHost(const std::string& host);
std::string QuoteHost();
// Forgets everything (tests).
void Clear();
}  // namespace LoginSession

}  // namespace tarn
