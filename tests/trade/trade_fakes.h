// A trading library for the trade grid's tests: lists set by the test, every order operation
// recorded.
#pragma once

#include <string>
#include <vector>

#include "data/trade_api.h"
#include "platform/sync.h"
#include "platform/text.h"

namespace tarn::test {

class GridFakeApi : public ITradeApi {
 public:
  GridFakeApi() { SetTradeApi(this); }
  ~GridFakeApi() override { SetTradeApi(nullptr); }

  std::vector<OrderRecord> orders;
  std::vector<PositionRecord> positions;
  std::vector<PositionDetail> details;
  std::vector<FillRecord> fills;
  std::vector<std::string> accounts{"8001"};
  FundsRecord funds{};
  // What the terminal did.
  std::vector<OrderRecord> inserted;
  std::vector<OrderRecord> cancelled;
  std::vector<PositionRecord> closed;
  struct Modify {
    OrderRecord order;
    double price;
    int quantity;
  };
  std::vector<Modify> modified;
  std::vector<std::string> current;
  int refreshes = 0;
  int listCalls = 0;

  void GetAccounts(std::vector<std::string>& out) override { out = accounts; }
  void GetAccountText(std::string& out, const std::string&) override { out = "Base"; }
  void ClosePosition(PositionRecord p) override { closed.push_back(p); }
  void Login(AccountTexts, const std::string&, int, const std::string&, int) override {}
  void KeyboardPanelText(const std::string&) override {}
  void GetLoginInfo(std::vector<AccountTexts>& out, AccountTexts& cur) override {
    out.clear();
    cur = AccountTexts{};
  }
  void AddListener(ITradeNotify* l) override { listeners.Add(l); }
  void RemoveListener(ITradeNotify* l) override { listeners.Remove(l); }
  double GetCurrencyRate(const std::string&) override { return 1.0; }
  int GetAccountFunds(FundsRecord& out, const std::string& account, const std::string&) override {
    out = funds;
    if (!account.empty()) SetField(out.account, account);
    return 1;
  }
  void GetOrders(std::vector<OrderRecord>& out) override {
    ++listCalls;
    out = orders;
  }
  void GetFills(std::vector<FillRecord>& out) override { out = fills; }
  void GetPositions(std::vector<PositionRecord>& out) override { out = positions; }
  void GetPositionDetails(std::vector<PositionDetail>& out) override { out = details; }
  int InsertOrder(OrderRecord o) override {
    inserted.push_back(o);
    return 1;
  }
  int InsertConditionOrder(ConditionOrderRequest) override { return 1; }
  int CancelOrder(const OrderRecord* o) override {
    cancelled.push_back(*o);
    return 1;
  }
  int GetContractRates(ContractRates&, DC_Contract) override { return 0; }
  void SelectContract(DC_Contract, int, double) override {}
  void RefreshPositions() override { ++refreshes; }
  void ChangePassword(AccountTexts, const std::string&, const std::string&, int) override {}
  bool NeedsCloseToday(DC_Contract) override { return false; }
  int InsertLoopOrder(const StrategyOrderRequest*) override { return 1; }
  void GetStrategyOrders(std::vector<StrategyOrderRecord>& out) override { out.clear(); }
  void StrategyGridAction(int, int) override {}
  bool IsReady() override { return false; }
  int ModifyOrder(OrderRecord o, double price, int quantity) override {
    modified.push_back({o, price, quantity});
    return 1;
  }
  void QuerySettlement(int) override {}
  void SetCurrentAccount(const std::string& a) override { current.push_back(a); }

  template <class F>
  void Notify(F&& f) {
    listeners.ForEach([&](ITradeNotify* l) { f(l); });
  }
  ListenerSet<ITradeNotify> listeners;
};

inline DC_Contract TestContract(const char* code) {
  DC_Contract c{};
  SetField(c.code, code);
  SetField(c.key, std::string("SHFE|") + code);
  return c;
}

inline OrderRecord TestOrder(const char* key, const char* code, int state, int hidden = 0) {
  OrderRecord o{};
  SetField(o.key, key);
  o.contract = TestContract(code);
  o.direction = 1;
  o.offset = 1;
  o.state = state;
  o.hidden = hidden;
  o.quantity = 1;
  o.price = 3500;
  o.insertTime = 1765159200;
  return o;
}

inline PositionRecord TestPosition(const char* code, int longQty, int shortQty, int todayLong = 0, int todayShort = 0) {
  PositionRecord p{};
  p.contract = TestContract(code);
  p.longQuantity = longQty;
  p.shortQuantity = shortQty;
  p.todayLong = todayLong;
  p.todayShort = todayShort;
  p.longAverage = 3500;
  p.shortAverage = 3500;
  p.currentPrice = 3510;
  return p;
}

}  // namespace tarn::test
