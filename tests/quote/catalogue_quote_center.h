// A fake quote library with a small catalogue: exchanges, commodities and contracts that the
// list operations, FindContract and the handles serve, on top of the scriptable fake.
#pragma once

#include <string>
#include <vector>

#include "data/fake_quote_center.h"
#include "platform/text.h"

namespace tarn::test {

class CatalogueQuoteCenter : public FakeQuoteCenter {
 public:
  // Adds an exchange; returns its handle.
  ExchangeHandle AddExchange(const std::string& code, const std::string& name) {
    DC_Exchange e{};
    SetField(e.code, code);
    SetField(e.name, name);
    e.handle = static_cast<ExchangeHandle>(exchanges.size() + 1);
    exchanges.push_back(e);
    return e.handle;
  }
  // Adds a commodity of an exchange; returns its handle.
  CommodityHandle AddCommodity(ExchangeHandle exchange, const std::string& code, const std::string& name,
                               int decimals = 0) {
    DC_Commodity c{};
    c.exchange = exchange;
    SetField(c.code, code);
    SetField(c.display, name);
    SetField(c.exchangeCode, exchanges[exchange - 1].Code());
    c.decimals = decimals;
    c.tickSize = 1;
    c.multiplier = 10;
    c.handle = static_cast<CommodityHandle>(commodities.size() + 1);
    commodities.push_back(c);
    return c.handle;
  }
  // Adds a contract "EX|codemonth" of a commodity.
  DC_Contract AddContract(CommodityHandle commodity, const std::string& month, const std::string& name = "") {
    const DC_Commodity& com = commodities[commodity - 1];
    DC_Contract c{};
    c.commodity = commodity;
    SetField(c.month, month);
    const std::string code = std::string(com.Code()) + month;
    SetField(c.code, code);
    SetField(c.name, name.empty() ? code : name);
    SetField(c.key, std::string(com.ExchangeCode()) + "|" + code);
    c.value = static_cast<int32_t>(contracts.size());
    contracts.push_back(c);
    return c;
  }
  // The library's lists besides the exchanges ("HOT" and the like), by name.
  std::vector<std::pair<std::string, std::vector<DC_Contract>>> extraLists;
  // Requests for list names seen by GetContractsOf, in order.
  std::vector<std::string> contractsOfCalls;

  int GetExchanges(DC_Exchange* out, int capacity) override {
    if (!out) return static_cast<int>(exchanges.size());
    int n = std::min<int>(capacity, static_cast<int>(exchanges.size()));
    for (int i = 0; i < n; ++i) out[i] = exchanges[static_cast<std::size_t>(i)];
    return n;
  }
  int GetCommodities(DC_Commodity* out, int capacity, const char* exchangeCode) override {
    std::vector<DC_Commodity> list;
    for (const DC_Commodity& c : commodities)
      if (EqualsNoCase(c.ExchangeCode(), exchangeCode)) list.push_back(c);
    return Copy(list, out, capacity);
  }
  int GetContracts(DC_Contract* out, int capacity, const char* listName) override {
    return Copy(ListOf(listName), out, capacity);
  }
  int GetContractsOf(DC_Contract* out, int capacity, const char* exchangeCode, int) override {
    contractsOfCalls.emplace_back(exchangeCode);
    return Copy(ListOf(exchangeCode), out, capacity);
  }
  int FindContract(DC_Contract* out, const char* key) override {
    for (const DC_Contract& c : contracts)
      if (c.Key() == key) {
        if (out) *out = c;
        return 1;
      }
    return 0;
  }
  void GetListNames(std::vector<std::string>& out) override {
    out.clear();
    for (const DC_Exchange& e : exchanges) out.emplace_back(e.Code());
    for (const auto& [name, list] : extraLists) out.push_back(name);
  }
  const DC_Commodity* ResolveCommodity(CommodityHandle h) override {
    return h == 0 || h > commodities.size() ? nullptr : &commodities[h - 1];
  }
  const DC_Exchange* ResolveExchange(ExchangeHandle h) override {
    return h == 0 || h > exchanges.size() ? nullptr : &exchanges[h - 1];
  }

  std::vector<DC_Exchange> exchanges;
  std::vector<DC_Commodity> commodities;
  std::vector<DC_Contract> contracts;

 private:
  std::vector<DC_Contract> ListOf(const std::string& name) {
    for (const auto& [n, list] : extraLists)
      if (n == name) return list;
    const auto bar = name.find('|');
    std::vector<DC_Contract> out;
    for (const DC_Contract& c : contracts) {
      const DC_Commodity& com = commodities[c.commodity - 1];
      if (bar == std::string::npos ? EqualsNoCase(com.ExchangeCode(), name)
                                   : EqualsNoCase(com.ExchangeCode(), name.substr(0, bar)) && com.Code() == name.substr(bar + 1))
        out.push_back(c);
    }
    return out;
  }
  template <class T>
  static int Copy(const std::vector<T>& list, T* out, int capacity) {
    if (!out) return static_cast<int>(list.size());
    int n = std::min<int>(capacity, static_cast<int>(list.size()));
    for (int i = 0; i < n; ++i) out[i] = list[static_cast<std::size_t>(i)];
    return n;
  }
};

// A catalogue like a small market: SHFE with rb (four months, MI, IDX) and cu, ZCE with SR,
// COMEX with GC.
struct SmallMarket {
  explicit SmallMarket(CatalogueQuoteCenter& q) {
    const ExchangeHandle shfe = q.AddExchange("SHFE", TXT("上海期货交易所"));
    const ExchangeHandle zce = q.AddExchange("ZCE", TXT("郑州商品交易所"));
    const ExchangeHandle comex = q.AddExchange("COMEX", TXT("纽约金属交易所"));
    rb = q.AddCommodity(shfe, "rb", TXT("螺纹钢"));
    cu = q.AddCommodity(shfe, "cu", TXT("沪铜"));
    sr = q.AddCommodity(zce, "SR", TXT("白糖"));
    gc = q.AddCommodity(comex, "GC", TXT("纽约黄金"), 1);
    for (const char* m : {"2605", "2610", "2601", "2701"}) rbMonths.push_back(q.AddContract(rb, m, TXT("螺纹钢") + m));
    rbMain = q.AddContract(rb, "MI", TXT("螺纹钢主连"));
    rbIndex = q.AddContract(rb, "IDX", TXT("螺纹钢指数"));
    for (const char* m : {"2603", "2604"}) cuMonths.push_back(q.AddContract(cu, m, TXT("沪铜") + m));
    for (const char* m : {"605", "509", "601"}) srMonths.push_back(q.AddContract(sr, m, TXT("白糖") + m));
    gcMonth = q.AddContract(gc, "2612", TXT("纽约黄金2612"));
    q.extraLists.push_back({"HOT", {rbMonths[0], cuMonths[0], srMonths[0]}});
    q.extraLists.push_back({"MI", {rbMain}});
    q.extraLists.push_back({"IDX", {rbIndex}});
  }
  CommodityHandle rb, cu, sr, gc;
  std::vector<DC_Contract> rbMonths, cuMonths, srMonths;
  DC_Contract rbMain, rbIndex, gcMonth;
};

}  // namespace tarn::test
