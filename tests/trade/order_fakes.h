// The scripted libraries the order panels' tests share: a trading library with rates, funds,
// a currency, the close-today rule and a record of what was cancelled and closed; a quote
// library with commodities of known tick size, decimals and multiplier.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engines/engine_fakes.h"

namespace tarn::test {

class OrdersTradeApi : public EngineTradeApi {
 public:
  bool haveRates = false;
  ContractRates rates{};
  bool haveFunds = true;
  FundsRecord funds{};
  std::string contractCurrency = "CNY";
  double currencyRate = 1.0;
  std::vector<OrderRecord> cancelled;
  std::vector<PositionRecord> closed;
  std::vector<ConditionOrderRequest> conditions;

  OrdersTradeApi() { SetField(funds.currency, "CNY"); }

  int GetContractRates(ContractRates& out, DC_Contract) override {
    if (!haveRates) return 0;
    out = rates;
    return 1;
  }
  int GetAccountFunds(FundsRecord& out, const std::string&, const std::string&) override {
    if (!haveFunds) return 0;
    out = funds;
    return 1;
  }
  void GetAccountText(std::string& out, const std::string&) override { out = contractCurrency; }
  double GetCurrencyRate(const std::string&) override { return currencyRate; }
  int CancelOrder(const OrderRecord* o) override {
    cancelled.push_back(*o);
    return 1;
  }
  void ClosePosition(PositionRecord p) override { closed.push_back(p); }
  int InsertConditionOrder(ConditionOrderRequest r) override {
    conditions.push_back(r);
    return 1;
  }
};

// SHFE "rb" (handle 1, tick 1, 0 decimals, multiplier 10) and DCE "m" (handle 2, tick 0.2, 1
// decimal), with the contracts "SHFE|rb2605" and "DCE|m2605".
class OrdersQuoteCenter : public EngineQuoteCenter {
 public:
  OrdersQuoteCenter() {
    AddCommodity(1, 1, "rb", "rebar", 1.0, 0);
    AddCommodity(2, 2, "m", "meal", 0.2, 1);
    rb = AddContract("SHFE|rb2605", 1, "rb2605");
    m = AddContract("DCE|m2605", 2, "m2605");
  }
  DC_Contract rb, m;

  // The market's "HOT" list (each commodity's main month).
  std::vector<DC_Contract> hot;
  int GetContracts(DC_Contract* out, int capacity, const char* listName) override {
    if (std::string(listName) != "HOT") return 0;
    const int n = static_cast<int>(hot.size());
    if (!out) return n;
    for (int i = 0; i < n && i < capacity; ++i) out[i] = hot[static_cast<std::size_t>(i)];
    return std::min(n, capacity);
  }
  // A main-continuous or index series of a commodity.
  DC_Contract AddSeries(const std::string& key, CommodityHandle commodity, const char* month) {
    DC_Contract c = AddContract(key, commodity);
    SetField(c.month, month);
    return c;
  }
};

inline DC_Quote QuoteOf(const DC_Contract& c, double last, double bid, double ask, int bidVol = 5, int askVol = 7) {
  DC_Quote q{};
  q.contract = c;
  q.data.last = static_cast<float>(last);
  q.data.bidPrice[0] = static_cast<float>(bid);
  q.data.askPrice[0] = static_cast<float>(ask);
  q.data.bidVolume[0] = bidVol;
  q.data.askVolume[0] = askVol;
  return q;
}

inline PositionRecord PositionWithToday(const DC_Contract& c, int longQty, int longToday, int shortQty, int shortToday) {
  PositionRecord p = Position(c, longQty, shortQty);
  p.todayLong = longToday;
  p.todayShort = shortToday;
  return p;
}

inline OrderRecord WorkingOrder(const DC_Contract& c, const std::string& key, int direction, int state, int hidden = 0) {
  OrderRecord o{};
  SetField(o.key, key);
  o.contract = c;
  o.direction = direction;
  o.offset = 1;
  o.state = state;
  o.hidden = hidden;
  o.quantity = 1;
  return o;
}

}  // namespace tarn::test
