// The trading library's interface (ITradeApi) and its notification interface (ITradeNotify).
//
// The library delivers notifications on its own thread, in a consistent order (an order's
// OnOrder before the OnFill and OnPositions it causes), outside its own locks, so a listener
// may call any operation from inside a notification. Once RemoveListener has returned, the
// removed listener is never called again.
#pragma once

#include <string>
#include <vector>

#include "data/strategy_records.h"
#include "data/trade_records.h"

// Notifications, in slot order (slot 0 is an operation, not a destructor). Every default does
// nothing. AccountTexts and the texts are passed by reference to the caller's copy.
class ITradeNotify {
 public:
  virtual void OnTradeText(const std::string& text, const AccountTexts& account) { (void)text; (void)account; }  // 0
  virtual void OnOrder(const OrderRecord* order, const AccountTexts& account) { (void)order; (void)account; }      // 1
  virtual void OnAccountUpdate(int value, const AccountTexts& account) { (void)value; (void)account; }             // 2
  // The fill record the library has just added to its fills list (GetFills).
  virtual void OnFill(const FillRecord* fill, const AccountTexts& account) { (void)fill; (void)account; }          // 3
  virtual void OnTradeLogin(int code, const std::string& text, const AccountTexts& account) {                      // 4
    (void)code; (void)text; (void)account;
  }
  virtual void OnTradeRefresh() {}                                                                                 // 5
  virtual void OnContractSelected(DC_Contract contract, int direction, double price) {                             // 6
    (void)contract; (void)direction; (void)price;
  }
  virtual void OnPositions(const AccountTexts& account, bool complete) { (void)account; (void)complete; }          // 7
  virtual void OnTradeDisconnected(const AccountTexts& account) { (void)account; }                                 // 8
  virtual void OnPasswordChanged(const AccountTexts& account, const PasswordChangeResult& result) {                // 9
    (void)account; (void)result;
  }
  virtual void OnSlot10(const AccountTexts& account) { (void)account; }                                            // 10
  virtual void OnStrategyChanged(int value, const AccountTexts& account) { (void)value; (void)account; }           // 11
  virtual void OnSettlementInfo(int value, const std::string& text) { (void)value; (void)text; }                   // 12
  virtual void OnSlot13(const AccountTexts& account) { (void)account; }                                            // 13

 protected:
  ~ITradeNotify() = default;
};

// The trading library, in slot order (slots 4, 9, 18, 20, 22, 24 and 26-30, 32-38 are not used
// by the terminal).
class ITradeApi {
 public:
  virtual ~ITradeApi() = default;

  virtual void GetAccounts(std::vector<std::string>& out) = 0;                                     // 0
  // A text the library keeps for `key`: for a contract key, the contract's currency.
  virtual void GetAccountText(std::string& out, const std::string& key) = 0;                       // 1
  virtual void ClosePosition(PositionRecord position) = 0;                                         // 2
  // The result comes by OnTradeLogin.
  virtual void Login(AccountTexts account, const std::string& tradeHost, int tradePort,
                     const std::string& cloudHost, int cloudPort) = 0;                              // 3
  virtual void KeyboardPanelText(const std::string& block) = 0;                                    // 5
  virtual void GetLoginInfo(std::vector<AccountTexts>& out, AccountTexts& current) = 0;            // 6
  virtual void AddListener(ITradeNotify* listener) = 0;                                            // 7
  virtual void RemoveListener(ITradeNotify* listener) = 0;                                         // 8
  virtual double GetCurrencyRate(const std::string& currency) = 0;                                 // 10
  // Funds of `account` (empty: the current account) in `currency` ("Base": the account's own).
  // Returns above 0 when filled.
  virtual int GetAccountFunds(FundsRecord& out, const std::string& account, const std::string& currency) = 0;  // 11
  virtual void GetOrders(std::vector<OrderRecord>& out) = 0;                                       // 12
  virtual void GetFills(std::vector<FillRecord>& out) = 0;                                         // 13
  virtual void GetPositions(std::vector<PositionRecord>& out) = 0;                                 // 14
  virtual void GetPositionDetails(std::vector<PositionDetail>& out) = 0;                           // 15
  virtual int InsertOrder(OrderRecord order) = 0;                                                  // 16
  virtual int InsertConditionOrder(ConditionOrderRequest request) = 0;                             // 17
  virtual int CancelOrder(const OrderRecord* order) = 0;                                           // 19
  // Above 0 when the library has rates for the contract.
  virtual int GetContractRates(ContractRates& out, DC_Contract contract) = 0;                      // 21
  virtual void SelectContract(DC_Contract contract, int direction, double price) = 0;              // 23
  virtual void RefreshPositions() = 0;                                                             // 25
  // The result comes by OnPasswordChanged.
  virtual void ChangePassword(AccountTexts account, const std::string& oldPassword,
                              const std::string& newPassword, int zero) = 0;                       // 31
  virtual bool NeedsCloseToday(DC_Contract contract) = 0;                                          // 39
  virtual int InsertLoopOrder(const StrategyOrderRequest* request) = 0;                            // 40
  virtual void GetStrategyOrders(std::vector<StrategyOrderRecord>& out) = 0;                       // 41
  virtual void StrategyGridAction(int a, int b) = 0;                                               // 42
  virtual bool IsReady() = 0;                                                                      // 43
  virtual int ModifyOrder(OrderRecord order, double price, int quantity) = 0;                      // 44
  // Date as year * 10000 + month * 100 + day; the answer comes by OnSettlementInfo.
  virtual void QuerySettlement(int date) = 0;                                                      // 45

  // Makes `account` (one of GetAccounts) the current account of the terminal.
  virtual void SetCurrentAccount(const std::string& account) = 0;
  // The current account: the one whose orders, fills and positions the lists hold. "" when
  // the library cannot tell.
  virtual std::string CurrentAccount() { return {}; }
};

// The process-wide trading library: fetched afresh at every use, never released. The
// application (or a test) installs the implementation; until then it is nullptr.
ITradeApi* GetTradeApi();
void SetTradeApi(ITradeApi* api);

// Every object that must hear trading events derives from CTradeListener: construction adds it
// to the trading library, destruction removes it. A derived class whose overrides read its own
// members calls StopListening() first thing in its destructor, so that no notification reaches
// a half-destroyed object; one that must not hear anything before its own constructor has run
// passes false and calls StartListening() at the end of that constructor.
class CTradeListener : public ITradeNotify {
 public:
  explicit CTradeListener(bool listenNow = true);
  virtual ~CTradeListener();
  CTradeListener(const CTradeListener&) = delete;
  CTradeListener& operator=(const CTradeListener&) = delete;

  void StartListening();
  void StopListening();
  bool Listening() const { return api_ != nullptr; }

 private:
  ITradeApi* api_ = nullptr;  // the library it was added to
};

// Plays the sound of an order notification: "\sound\trade\5.wav" for state 4, "\6.wav" for
// states 7 and 8, "\2.wav" for state 10, nothing for any other state or while the library is
// not ready. Returns the native path played, or "" when nothing played.
std::string PlayTradeSound(const OrderRecord& order);
// The file of a state's sound (terminal path), or "" when the state has none.
std::string TradeSoundFile(int state);
