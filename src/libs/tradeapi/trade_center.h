// The trading library (ITradeApi) over a trade link.
//
// The host name "tarn-embedded" (any port) selects the embedded exchange's broker; any other
// host belongs to the network link to an exchange server (when the center was given one; else
// such a login fails with a text saying so).
//
// A login holds several accounts; the lists (orders, fills, positions, lots, funds) are those
// of the current account, which SetCurrentAccount switches. Orders go to the account their
// record names (the second account text) when it belongs to the login, else to the current one.
// While the link is down the lists are the last ones read and operations fail.
//
// Threads: every notification is delivered on the library's own notification thread, in the
// broker's order (an order's OnOrder before the OnFill and OnPositions it causes), with none of
// the library's locks held, so a listener may call any operation from inside a notification.
// RemoveListener returns only when no delivery to that listener is in flight (unless it is
// called from that delivery) and nothing reaches the listener afterwards.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "data/trade_api.h"
#include "libs/exchange/client_ref.h"
#include "libs/exchange/trade_link.h"
#include "libs/quotedata/dispatcher.h"
#include "platform/sync.h"

namespace tarn::tradeapi {

class TradeCenter final : public ITradeApi, public exchange::ITradeSink {
 public:
  static constexpr const char* kEmbeddedHost = "tarn-embedded";

  // `embedded` is the embedded exchange's trade link, `remote` the network link for any other
  // host (both kept by the caller, outliving the center; either may be null).
  explicit TradeCenter(exchange::ITradeLink* embedded, exchange::ITradeLink* remote = nullptr);
  ~TradeCenter() override;

  void GetAccounts(std::vector<std::string>& out) override;
  void GetAccountText(std::string& out, const std::string& key) override;
  void ClosePosition(PositionRecord position) override;
  void Login(AccountTexts account, const std::string& tradeHost, int tradePort, const std::string& cloudHost,
             int cloudPort) override;
  void KeyboardPanelText(const std::string& block) override;
  void GetLoginInfo(std::vector<AccountTexts>& out, AccountTexts& current) override;
  void AddListener(ITradeNotify* listener) override;
  void RemoveListener(ITradeNotify* listener) override;
  double GetCurrencyRate(const std::string& currency) override;
  int GetAccountFunds(FundsRecord& out, const std::string& account, const std::string& currency) override;
  void GetOrders(std::vector<OrderRecord>& out) override;
  void GetFills(std::vector<FillRecord>& out) override;
  void GetPositions(std::vector<PositionRecord>& out) override;
  void GetPositionDetails(std::vector<PositionDetail>& out) override;
  int InsertOrder(OrderRecord order) override;
  int InsertConditionOrder(ConditionOrderRequest request) override;
  int CancelOrder(const OrderRecord* order) override;
  int GetContractRates(ContractRates& out, DC_Contract contract) override;
  void SelectContract(DC_Contract contract, int direction, double price) override;
  void RefreshPositions() override;
  void ChangePassword(AccountTexts account, const std::string& oldPassword, const std::string& newPassword,
                      int zero) override;
  bool NeedsCloseToday(DC_Contract contract) override;
  int InsertLoopOrder(const StrategyOrderRequest* request) override;
  void GetStrategyOrders(std::vector<StrategyOrderRecord>& out) override;
  void StrategyGridAction(int a, int b) override;
  bool IsReady() override { return ready_.load(); }
  int ModifyOrder(OrderRecord order, double price, int quantity) override;
  void QuerySettlement(int date) override;
  void SetCurrentAccount(const std::string& account) override;
  std::string CurrentAccount() override { return Current(); }

  void OnTradeEvents(const std::vector<exchange::BrokerEvent>& events) override;
  void OnTradeLinkDown(int reason) override;

  // Returns once every notification queued so far has been delivered.
  void WaitDelivered() { dispatcher_.WaitIdle(); }
  quotedata::Dispatcher& NotificationThread() { return dispatcher_; }

 private:
  struct Lists {
    std::vector<OrderRecord> orders;
    std::vector<FillRecord> fills;
    std::vector<PositionRecord> positions;
    std::vector<PositionDetail> details;
    FundsRecord funds{};
    bool haveFunds = false;
  };

  void LoginJob(AccountTexts texts, std::string host, int port);
  void Deliver(const std::vector<exchange::BrokerEvent>& events);
  template <class F>
  void Broadcast(F&& f) {
    listeners_.ForEach([&](ITradeNotify* l) { f(*l); });
  }
  void Post(std::function<void()> job);
  void Say(const std::string& text);  // OnTradeText for the current account, on the thread
  // The link when logged in and up (nullptr otherwise).
  exchange::ITradeLink* Up();
  std::string Current();
  // The account an order names when it belongs to the login, else the current account.
  std::string AccountFor(std::string_view named);
  AccountTexts TextsOf(const std::string& account) const { return AccountTexts{"", account, ""}; }
  exchange::ContractId IdOf(std::string_view key);
  const exchange::Catalogue* Catalogue();
  // Closes one side of a position at market (side: kBuy the long side, kSell the short).
  void SendClose(const PositionRecord& p, const std::string& account, int side);

  // The link of the last login.
  exchange::ITradeLink* Link() const { return link_.load(); }

  exchange::ITradeLink* embedded_;
  exchange::ITradeLink* remote_;
  std::atomic<exchange::ITradeLink*> link_;
  tarn::CriticalSection mutex_;
  bool loggedIn_ = false;
  std::string user_;
  std::vector<std::string> accounts_;
  std::string current_;
  Lists last_;  // the current account's lists as last read
  std::atomic<bool> ready_{false};
  exchange::ClientRefs refs_;  // every order sent carries a new one
  std::atomic<const exchange::Catalogue*> catalogue_{nullptr};
  tarn::ListenerSet<ITradeNotify> listeners_;
  quotedata::Dispatcher dispatcher_;  // last: stopped first, while everything it uses still exists
};

}  // namespace tarn::tradeapi
