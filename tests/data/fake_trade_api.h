// A scriptable trading library for the tests of the terminal's trade listeners.
#pragma once

#include <vector>

#include "data/trade_api.h"
#include "platform/sync.h"

namespace tarn::test {

class FakeTradeApi : public ITradeApi {
 public:
  FakeTradeApi() { SetTradeApi(this); }
  ~FakeTradeApi() override { SetTradeApi(nullptr); }

  bool ready = true;
  std::vector<OrderRecord> orders;
  std::vector<PositionRecord> positions;
  std::vector<OrderRecord> inserted;

  // Delivers to every listener, as the library's thread would.
  template <class F>
  void Notify(F&& f) {
    listeners.ForEach([&](ITradeNotify* l) { f(l); });
  }

  void GetAccounts(std::vector<std::string>& out) override { out = {"8001"}; }
  void GetAccountText(std::string& out, const std::string&) override { out = "Base"; }
  void ClosePosition(PositionRecord) override {}
  void Login(AccountTexts, const std::string&, int, const std::string&, int) override {}
  void KeyboardPanelText(const std::string&) override {}
  void GetLoginInfo(std::vector<AccountTexts>& out, AccountTexts& current) override {
    out.clear();
    current = AccountTexts{};
  }
  void AddListener(ITradeNotify* l) override { listeners.Add(l); }
  void RemoveListener(ITradeNotify* l) override { listeners.Remove(l); }
  double GetCurrencyRate(const std::string&) override { return 1.0; }
  int GetAccountFunds(FundsRecord& out, const std::string&, const std::string&) override {
    out = FundsRecord{};
    return 1;
  }
  void GetOrders(std::vector<OrderRecord>& out) override { out = orders; }
  void GetFills(std::vector<FillRecord>& out) override { out.clear(); }
  void GetPositions(std::vector<PositionRecord>& out) override { out = positions; }
  void GetPositionDetails(std::vector<PositionDetail>& out) override { out.clear(); }
  int InsertOrder(OrderRecord o) override {
    inserted.push_back(o);
    return 1;
  }
  int InsertConditionOrder(ConditionOrderRequest) override { return 1; }
  int CancelOrder(const OrderRecord*) override { return 1; }
  int GetContractRates(ContractRates&, DC_Contract) override { return 0; }
  void SelectContract(DC_Contract c, int d, double p) override {
    Notify([&](ITradeNotify* l) { l->OnContractSelected(c, d, p); });
  }
  void RefreshPositions() override {}
  void ChangePassword(AccountTexts, const std::string&, const std::string&, int) override {}
  bool NeedsCloseToday(DC_Contract) override { return false; }
  int InsertLoopOrder(const StrategyOrderRequest*) override { return 1; }
  void GetStrategyOrders(std::vector<StrategyOrderRecord>& out) override { out.clear(); }
  void StrategyGridAction(int, int) override {}
  bool IsReady() override { return ready; }
  int ModifyOrder(OrderRecord, double, int) override { return 1; }
  void QuerySettlement(int) override {}
  void SetCurrentAccount(const std::string&) override {}
  std::string CurrentAccount() override { return currentAccount; }

  std::string currentAccount;  // "" : the library does not tell

  ListenerSet<ITradeNotify> listeners;
};

}  // namespace tarn::test
