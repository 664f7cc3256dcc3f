// The paper-trading broker of the embedded exchange: logins and accounts, orders matched against
// the simulated market, positions with their lots, funds, condition and stop orders, strategy
// orders (kept and listed), the trading-day settlement and its statements, and its store.
//
// Matching. Paper orders never move the market. A marketable order takes the shown book level
// by level (and the paper orders resting on the other side, the market's shown volume first at
// an equal price) up to its limit; a market order takes what the book shows and the rest is
// cancelled. What one snapshot's book shows is taken only once, by whichever orders come first.
// A limit order that rests joins its price level behind the volume the market shows there (and
// behind earlier paper orders at that price) and fills as the market trades at its price (the
// flow first clears the queue ahead of it) or through it (it fills at its own price, up to the
// traded lots), or as the market's book moves onto it. Orders of one account never trade with
// each other: an order that could reach the account's own resting order is refused.
//
// Threads. Every operation is thread-safe and runs on the caller's thread under the broker's
// lock. The market's events come on the thread that advances the market; the broker only queues
// them there and works them off on a thread of its own. Whatever an operation or a market step
// causes is committed to the store and queued as events, which are delivered to the listeners
// after the state is consistent, outside the lock, in order. A listener may call any operation
// from inside OnBrokerEvents: the operation runs at once, and its events follow the batch being
// delivered (they are never delivered from inside another delivery).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "libs/exchange/broker/broker_auth.h"
#include "libs/exchange/broker/broker_journal.h"
#include "libs/exchange/broker/broker_market.h"
#include "libs/exchange/broker/broker_store.h"
#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/broker/condition_book.h"
#include "libs/exchange/broker/ledger.h"
#include "libs/exchange/broker/order_book.h"
#include "libs/exchange/broker/store_changes.h"
#include "libs/exchange/broker/strategy_runner.h"
#include "libs/exchange/spread_formula.h"
#include "platform/sync.h"

namespace tarn::exchange {

struct BrokerOptions {
  std::string storePath;         // native path of the database; empty: nothing is kept
  bool createDemo = true;        // the demo login when the store is new
  HashCost hashCost = HashCost::Interactive;
  // The store is written on the thread that waits for it (the operation's caller) instead of a
  // journal thread of its own: for a broker opened briefly, where a thread costs more than it saves.
  bool inlineJournal = false;
};

// The demo login the broker creates in a new store.
struct DemoAccounts {
  static constexpr const char* kLogin = "8001";
  static constexpr const char* kPassword = "888888";
  static constexpr const char* kMain = "8001";    // 1,000,000.00
  static constexpr const char* kSecond = "8002";  // 200,000.00
};

class Broker final : public IMarketListener, private IStrategyHost {
 public:
  Broker(IBrokerMarket& market, BrokerOptions options);
  // Over a store opened by the caller (e.g. BrokerStore::OpenImage); options.storePath unused.
  Broker(IBrokerMarket& market, BrokerOptions options, std::unique_ptr<BrokerStore> store);
  ~Broker() override;
  Broker(const Broker&) = delete;
  Broker& operator=(const Broker&) = delete;

  // The store (nullptr without one) and whether the file found was damaged and replaced.
  BrokerStore* Store() { return store_.get(); }
  bool ReplacedDamagedStore() const { return store_ && store_->ReplacedDamagedFile(); }

  // ---- administration ----
  bool CreateLogin(const std::string& user, const std::string& password, const std::string& name);
  // A new account of a login, with `balance` as its previous equity.
  bool CreateAccount(const std::string& id, const std::string& login, const std::string& name, Money balance);
  // Money in (amount > 0) or out (amount < 0, at most what is available).
  bool Deposit(const std::string& account, Money amount, std::string* error = nullptr);

  // ---- logins ----
  // Checks a login; fills its accounts. The hash is checked outside the broker's lock.
  bool Authenticate(const std::string& user, const std::string& password, std::vector<std::string>& accounts,
                    std::string& error);
  // 0 and "密码修改成功", else a code and the reason.
  int ChangePassword(const std::string& user, const std::string& oldPassword, const std::string& newPassword,
                     std::string& message);
  std::vector<std::string> AccountsOf(const std::string& login);
  AccountIndex FindAccount(std::string_view id);
  std::string AccountId(AccountIndex account);
  std::string AccountName(AccountIndex account);

  // ---- trading ----
  // The order's sequence within the day (above 0; a refused order is an order too, with state
  // 10), or -1 when the account is unknown.
  int InsertOrder(const OrderEntry& entry);
  int InsertCondition(const ConditionEntry& entry);
  // As InsertOrder / InsertCondition, answering with the order. An entry whose clientRef the
  // account has used before (also before a restart) books nothing: the receipt is the order
  // booked the first time, with repeat set.
  OrderReceipt PlaceOrder(const OrderEntry& entry);
  OrderReceipt PlaceCondition(const ConditionEntry& entry);
  // 0, or an error code (`error` says why).
  int CancelOrder(const std::string& account, std::string_view key, std::string* error = nullptr);
  int ModifyOrder(const std::string& account, std::string_view key, int64_t price, bool priceOnTick, int quantity,
                  std::string* error = nullptr);
  // The strategy order's sequence within the day, or -1 (`error` says why) for an unknown
  // account or a definition that cannot run.
  int InsertStrategy(const StrategyEntry& entry, std::string* error = nullptr);
  // Stops a running strategy order (its working leg orders are cancelled): 0, or an error code.
  int StopStrategy(const std::string& account, int32_t sequence, std::string* error = nullptr);

  // ---- queries (copies) ----
  bool GetOrders(const std::string& account, std::vector<Order>& out);
  bool GetFills(const std::string& account, std::vector<Fill>& out);
  bool GetPositions(const std::string& account, std::vector<PositionView>& out);
  bool GetLots(const std::string& account, std::vector<LotView>& out);
  bool GetFunds(const std::string& account, FundsView& out);
  bool GetStrategies(const std::string& account, std::vector<StrategyOrder>& out);
  // The statement of a day: stored for a settled day, made now for the current one.
  bool GetSettlement(const std::string& account, int32_t tradingDay, std::string& text);
  const Catalogue& GetCatalogue() const { return market_.GetCatalogue(); }
  const ContractTerms& Terms(ContractId id);
  int32_t TradingDay();

  void AddListener(IBrokerListener* listener) { listeners_.Add(listener); }
  void RemoveListener(IBrokerListener* listener) { listeners_.Remove(listener); }

  // Returns once the market events received so far are worked off and every event is delivered.
  void WaitIdle();
  // Returns once every change made so far is in the store (at once without one). Not with the
  // broker's lock held, nor from a delivery.
  void WaitDurable() { Durable(); }

  // The checks tests call after every step: positions equal the day's start plus the fills and
  // the sum of their lots; funds recomputed from fills, lots, prices and working orders equal
  // the running totals and balance exactly; working orders sit in the book once, reservations
  // and frozen money match them; no book crosses. False with the first fault in `why`.
  bool CheckInvariants(std::string* why, std::string_view onlyAccount = {});

  // A digest of everything the broker keeps and reports: logins, accounts and their funds,
  // positions and lots, the day's orders, fills, statements-to-be and strategy orders, the
  // orders resting in each book in queue order, condition orders waiting, client references.
  // Two brokers that hold the same state give the same hash; what follows from the market
  // alone (its snapshots, queue places behind the market's volume) is left out.
  uint64_t StateHash();

  void OnMarketEvents(const std::vector<MarketEvent>& events) override;

 private:
  using Account = LedgerAccount;
  // A contract the broker trades in: its paper order book, and what else waits on its prices.
  struct Book : OrderBook {
    ContractId id = kNoContract;
    bool watched = false;
    ConditionBook conditions;              // condition orders waiting on its prices
    std::map<AccountIndex, int> holders;  // accounts with a side in this contract
    ContractTerms terms;
  };



  static uint64_t KeyCode(int32_t day, int32_t seq) { return OrderKeyCode(day, seq); }
  static uint64_t ParseKey(std::string_view key);

  // broker.cpp
  void Load();
  void CreateDemo();
  // With the lock held; the caller commits.
  bool AddLogin(const std::string& user, const std::string& hash, const std::string& name);
  bool AddNewAccount(const std::string& id, const std::string& login, const std::string& name, Money balance);
  AccountIndex AddAccount(Account account);
  Book& BookOf(ContractId id);            // creates it, watches the contract
  Book* FindBook(ContractId id);
  const std::string& ContractKey(ContractId id) const;
  uint64_t NextId() { return nextId_++; }
  int64_t Now();
  void Emit(BrokerEvent event);
  void EmitOrder(const Order& o);
  void EmitText(AccountIndex account, const std::string& text);
  void Touch(AccountIndex account);        // positions changed by a fill
  void TouchPrice(AccountIndex account);   // positions changed by a price
  void EmitTouched();
  void Finish();  // touched accounts' events, then the commit
  // With a store: queues what changed, with the events, for the writer. Without one: nothing.
  void Commit();
  // Without a store: delivers the events. With one: waits while the writer is far behind.
  void Deliver();
  // Waits until everything queued so far is in the store (not on the journal's thread, and not
  // with the broker's lock held).
  void Durable();
  void WorkerLoop();
  void ProcessBatch(const std::vector<MarketEvent>& events);
  void DirtyOrder(const Order& o) { changes_.Order(o.id); }
  void DirtySide(AccountIndex a, uint64_t sideKey) { changes_.Side(a, sideKey); }
  void DirtyLot(AccountIndex a, uint64_t sideKey, uint64_t lotId) { changes_.Lot(a, sideKey, lotId); }
  void DirtyAccount(AccountIndex a) { changes_.Account(a); }
  Order* FindOrder(AccountIndex a, std::string_view key);
  PositionView ViewOf(const Side& s, uint64_t key);
  FundsView FundsOf(AccountIndex a);
  Money SideProfit(const Side& s, uint64_t key, int32_t last, bool open);
  int32_t LastPrice(ContractId id, const Side* side);

  // broker_orders.cpp
  Order& NewOrder(AccountIndex a, ContractId c);
  // Fills `receipt` with the order `ref` named first, if the account used it before.
  bool FindRepeat(AccountIndex a, uint64_t ref, OrderReceipt& receipt);
  void NoteRef(Order& o, uint64_t ref);
  int DoInsertOrder(const OrderEntry& entry, AccountIndex a);
  int CheckOrder(Order& o, const OrderEntry& entry, Book* book);
  int ReserveClose(Order& o, const std::string& positionNumber, bool check);
  void ReleaseClose(Order& o, int32_t lots);
  void Freeze(Order& o);
  void Refuse(Order& o, int32_t code);
  void Match(Order& o, Book& b);
  void BookFill(Order& o, int32_t price, int32_t lots);
  void OpenLots(Order& o, Fill& f);
  void CloseLots(Order& o, Fill& f);
  void RemoveEmptySide(AccountIndex a, uint64_t sideKey);
  // Stores and follows up what a booking of the ledger changed: the contract's holders, the
  // rows to write, the position numbers closed out.
  void Booked(AccountIndex a, ContractId c, const LedgerChanges& changes);
  void EndBound(AccountIndex a, ContractId c, std::string_view number);
  void FinishOrder(Order& o, int8_t state);
  void ProcessSnapshot(Book& b, const Snapshot& s);
  void CrossResting(Book& b, bool buys);
  void TradeThrough(Book& b, bool buys);
  int DoInsertCondition(const ConditionEntry& entry, AccountIndex a);
  void EvaluateConditions(Book& b);
  void FireCondition(Order& c, Book& b);

  // broker_strategies.cpp: what the strategy runner asks of the broker.
  StrategyOrder* FindStrategy(AccountIndex a, uint64_t id);
  const OrderBook& LegBook(ContractId c) override { return BookOf(c); }
  bool LegCloseToday(ContractId c) override { return BookOf(c).terms.closeToday; }
  const LedgerAccount& RunAccount(AccountIndex a) override { return ledger_.accounts[a]; }
  uint64_t SendLegOrder(const OrderEntry& entry, AccountIndex a, uint64_t strategy) override;
  const Order* LegOrder(uint64_t id) override;
  void TagLegOrder(uint64_t id, uint64_t strategy) override;
  void CancelLegOrder(uint64_t id) override;
  StrategyOrder* FindStrategyOrder(AccountIndex a, uint64_t id) override { return FindStrategy(a, id); }
  void StrategyChanged(AccountIndex a, uint64_t id) override;

  // broker_settlement.cpp
  void RollTo(int32_t newDay);
  void SettleDay(int32_t day, int32_t nextDay);
  std::string Statement(AccountIndex a, int32_t day, bool settled, const std::map<ContractId, int32_t>* prices);

  IBrokerMarket& market_;
  BrokerOptions options_;
  std::unique_ptr<BrokerStore> store_;

  mutable tarn::CriticalSection mutex_;
  Ledger ledger_;  // logins, accounts, positions and funds
  std::unordered_map<uint64_t, Order> orders_;
  std::unordered_map<uint64_t, uint64_t> byKey_;  // KeyCode -> id
  std::vector<std::unique_ptr<Book>> books_;      // by contract id
  std::unique_ptr<std::atomic<bool>[]> interest_; // contracts whose events the broker works
  std::vector<ContractTerms> terms_;              // by commodity
  uint64_t nextId_ = 1;
  int32_t day_ = 0;
  int32_t orderSeq_ = 0, fillSeq_ = 0, strategySeq_ = 0;

  // Events of the operation or step under way, and the accounts it touched.
  std::vector<BrokerEvent> pending_;
  bool delivering_ = false;
  std::vector<AccountIndex> touched_, priceTouched_;
  std::vector<uint8_t> touchMark_;  // per account: 1 by a fill, 2 by a price
  std::vector<std::pair<ContractId, std::string>> ended_;  // position numbers a fill has closed out

  // Changes not yet in the store (none collected without a store).
  StoreChanges changes_{false};

  // The running strategy orders, and the strategy order a leg order being sent belongs to.
  StrategyRunner runner_{*this, market_.GetCatalogue()};
  uint64_t sendingFor_ = 0;

  tarn::ListenerSet<IBrokerListener> listeners_;
  // Statements not known to be stored yet (without a store: all of them).
  std::map<std::pair<AccountIndex, int32_t>, std::string> statements_;
  uint64_t statementsSeq_ = 0;  // the commit that writes them

  // Commits what operations changed, several at once, then delivers their events (with a store).
  std::unique_ptr<BrokerJournal> journal_;

  // The worker: market batches waiting, and whether it is busy.
  std::mutex workMutex_;
  std::condition_variable workCv_, idleCv_;
  std::deque<std::vector<MarketEvent>> work_;
  bool working_ = false;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace tarn::exchange
