// The scripted libraries of tests/data with what the engines need beyond them: commodities
// with tick sizes and decimals, contracts found by key, and helpers that build quotes and
// orders.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/fake_quote_center.h"
#include "data/fake_trade_api.h"

namespace tarn::test {

class EngineQuoteCenter : public FakeQuoteCenter {
 public:
  EngineQuoteCenter() {
    AddExchange(1, "SHFE");
    AddExchange(2, "DCE");
  }

  // A commodity with its handle, code, name, tick size and decimals, on an exchange handle.
  void AddCommodity(CommodityHandle h, ExchangeHandle ex, const std::string& code, const std::string& name,
                    double tick, int decimals) {
    DC_Commodity c{};
    c.exchange = ex;
    c.handle = h;
    SetField(c.code, code);
    SetField(c.display, name);
    c.tickSize = tick;
    c.decimals = decimals;
    c.multiplier = 10;
    const DC_Exchange* e = ResolveExchange(ex);
    if (e) SetField(c.exchangeCode, e->Code());
    commodities_[h] = c;
  }
  // A contract of a commodity; FindContract finds it by key.
  DC_Contract AddContract(const std::string& key, CommodityHandle commodity, const std::string& name = "") {
    DC_Contract c = MakeContract(key, 0, commodity);
    if (!name.empty()) SetField(c.name, name);
    contracts_[key] = c;
    return c;
  }

  const DC_Commodity* ResolveCommodity(CommodityHandle h) override {
    auto it = commodities_.find(h);
    return it == commodities_.end() ? nullptr : &it->second;
  }
  const DC_Exchange* ResolveExchange(ExchangeHandle h) override {
    auto it = exchanges_.find(h);
    return it == exchanges_.end() ? nullptr : &it->second;
  }
  int FindContract(DC_Contract* out, const char* key) override {
    auto it = contracts_.find(key);
    if (it == contracts_.end()) return 0;
    *out = it->second;
    return 1;
  }
  int GetExchanges(DC_Exchange* out, int capacity) override {
    int n = 0;
    for (const auto& [h, e] : exchanges_) {
      if (out && n < capacity) out[n] = e;
      ++n;
    }
    return out ? std::min(n, capacity) : n;
  }
  int GetCommodities(DC_Commodity* out, int capacity, const char* exchangeCode) override {
    int n = 0;
    for (const auto& [h, c] : commodities_) {
      if (c.ExchangeCode() != exchangeCode) continue;
      if (out && n < capacity) out[n] = c;
      ++n;
    }
    return out ? std::min(n, capacity) : n;
  }

 private:
  void AddExchange(ExchangeHandle h, const std::string& code) {
    DC_Exchange e{};
    SetField(e.code, code);
    e.handle = h;
    exchanges_[h] = e;
  }
  std::map<CommodityHandle, DC_Commodity> commodities_;
  std::map<ExchangeHandle, DC_Exchange> exchanges_;
  std::map<std::string, DC_Contract> contracts_;
};

// The scripted trading library, with exchanges that tell today's lots from older ones when
// `closeToday` is set.
class EngineTradeApi : public FakeTradeApi {
 public:
  bool closeToday = false;
  bool NeedsCloseToday(DC_Contract) override { return closeToday; }
};

inline DC_Quote QuoteAt(const DC_Contract& c, double last) {
  DC_Quote q{};
  q.contract = c;
  q.data.last = static_cast<float>(last);
  return q;
}

// A fully filled (state 4) opening (offset 1) order.
inline OrderRecord FilledOpen(const std::string& key, const DC_Contract& c, int direction, int quantity, double price) {
  OrderRecord o{};
  SetField(o.key, key);
  SetField(o.accountText1, "broker");
  SetField(o.accountText2, "8001");
  o.contract = c;
  o.direction = direction;
  o.offset = 1;
  o.state = 4;
  o.quantity = quantity;
  o.filledQuantity = quantity;
  o.averageFillPrice = price;
  return o;
}

inline PositionRecord Position(const DC_Contract& c, int longQty, int shortQty) {
  PositionRecord p{};
  p.contract = c;
  p.longQuantity = longQty;
  p.shortQuantity = shortQty;
  return p;
}

}  // namespace tarn::test
