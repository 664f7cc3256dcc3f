// The quote library (IQuoteDataCenter) over a market link.
//
// The host name "tarn-embedded" (any port) selects the embedded exchange's in-process link; any
// other host belongs to the network link, which this build does not have, so such a login
// fails with a text saying so.
//
// Threads: every notification is delivered on the library's dispatcher thread, in order, with
// none of the library's locks held; nothing is ever delivered from inside an operation on the
// caller's thread, so a listener may call any operation from inside a notification. Once
// UnregisterListener has returned, the listener is not called again (when it is called from
// another thread than the dispatcher's, it waits for a delivery to that listener in flight).
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "data/quote_data_center.h"
#include "libs/exchange/link.h"
#include "libs/quotedata/dispatcher.h"
#include "platform/sync.h"

namespace tarn::quotedata {

class QuoteCenter final : public IQuoteDataCenter, public exchange::ILinkSink {
 public:
  static constexpr const char* kEmbeddedHost = "tarn-embedded";

  // `embedded` is the link of the embedded exchange, `remote` the network link used for any other
  // host (both kept by the caller, outliving the center; either may be null).
  explicit QuoteCenter(exchange::IMarketLink* embedded, exchange::IMarketLink* remote = nullptr);
  ~QuoteCenter() override;

  int RegisterListener(const NotifyHandle& listener) override;
  void UnregisterListener(const NotifyHandle& listener) override;
  int SubscribeQuote(const NotifyHandle& listener, const DC_Contract* contract, DC_Quote* out, int subscribe) override;
  int RequestHistory(const NotifyHandle& listener, const DC_Contract* contract, int periodKind, int periodCount,
                     BarStore* store, int barCount, int flag) override;
  int CopyHistory(const DC_Contract* contract, int periodKind, int periodCount, BarStore* store) override;
  int GetTicks(const NotifyHandle& listener, std::vector<TickRecord>& out, const DC_Contract* contract) override;
  int GetQuoteDetail(const NotifyHandle& listener, int zero, std::vector<QuoteDetail>& out, const DC_Quote* quote) override;
  void Login(const NotifyHandle& listener, QuoteLoginParams params) override;
  int GetExchanges(DC_Exchange* out, int capacity) override;
  int GetCommodities(DC_Commodity* out, int capacity, const char* exchangeCode) override;
  int GetContracts(DC_Contract* out, int capacity, const char* listName) override;
  int FindContract(DC_Contract* out, const char* key) override;
  int GetContractsOf(DC_Contract* out, int capacity, const char* exchangeCode, int zero) override;
  bool IsConnected() override;
  void Reconnect() override;
  int64_t GetServerTime(int zero) override;
  int RequestHistoryRange(const NotifyHandle& listener, const DC_Contract* contract, int64_t start, int barCount,
                          int periodKind, int periodCount, BarStore* store) override;
  void ContractSettingChanged(DC_Contract contract) override;
  void GetListNames(std::vector<std::string>& out) override;
  void Logout() override;
  const DC_Commodity* ResolveCommodity(CommodityHandle handle) override;
  const DC_Exchange* ResolveExchange(ExchangeHandle handle) override;

  void OnLinkEvents(const std::vector<exchange::MarketEvent>& events) override;
  void OnLinkDown(int reason) override;

  // Returns once every notification queued so far has been delivered.
  void WaitDelivered() { dispatcher_.WaitIdle(); }
  // The notification thread. The embedded broker posts its trade notifications here too, so
  // that a fill never overtakes the quote that caused it.
  Dispatcher& NotificationThread() { return dispatcher_; }

 private:
  using Alive = std::shared_ptr<std::atomic<bool>>;
  struct Sub {
    NotifyHandle handle;
    Alive alive;
  };
  using SubList = std::vector<Sub>;
  struct Entry {
    NotifyHandle handle;
    Alive alive;
    bool registered = false;
    std::set<exchange::ContractId> quotes;  // subscribed contracts
    std::set<exchange::ContractId> ticks;   // contracts whose new ticks it hears of
  };

  // Calls `f` with the listener unless it has been unregistered (dispatcher thread only).
  template <class F>
  void Call(const Sub& s, F&& f) {
    current_.store(s.handle.get());
    if (s.alive->load()) f(*s.handle);
    current_.store(nullptr);
  }
  Entry& EntryFor(const NotifyHandle& h);        // mutex_ held
  Sub SubOf(const NotifyHandle& h);
  std::vector<Sub> Registered();
  void Broadcast(const std::function<void(IDataCenterNotify&)>& f);  // dispatcher thread
  void RebuildList(std::vector<std::shared_ptr<const SubList>>& lists, exchange::ContractId id, bool quotes);
  exchange::ContractId IdOf(std::string_view key);
  exchange::IMarketLink* ConnectedLink();
  std::vector<exchange::ContractId> ListOf(std::string_view name);
  int CopyContracts(const std::vector<exchange::ContractId>& ids, DC_Contract* out, int capacity);
  int FillStore(exchange::ContractId id, int kind, int count, int64_t endSec, int barCount, BarStore* store);
  HistoryReply ReplyFor(const DC_Contract& contract, int kind, int count, int bars);
  void LoginJob(Sub sub, QuoteLoginParams params);
  void BuildRecords(exchange::IMarketLink* link);
  void DeliverEvents(const std::vector<exchange::MarketEvent>& events);
  int AnswerHistory(const NotifyHandle& listener, const DC_Contract* contract, int64_t endSec, int barCount,
                    int kind, int count, BarStore* store);

  exchange::IMarketLink* embedded_;
  exchange::IMarketLink* remote_;
  exchange::IMarketLink* recordsLink_ = nullptr;  // the link whose catalogue the records show
  tarn::CriticalSection mutex_;
  exchange::IMarketLink* link_ = nullptr;  // the link of the session, once logged in
  bool loggedIn_ = false;
  std::map<IDataCenterNotify*, Entry> entries_;
  std::map<uint64_t, int> requested_;  // bar counts asked per contract and period

  // Records: built once at the first login, never changed afterwards.
  std::atomic<bool> recordsReady_{false};
  const exchange::Catalogue* catalogue_ = nullptr;
  std::vector<DC_Exchange> exchanges_;
  std::vector<DC_Commodity> commodities_;
  std::vector<DC_Contract> contracts_;

  // Subscribers and tick listeners per contract, copied on change (the dispatcher reads them).
  std::mutex listsMutex_;
  std::vector<std::shared_ptr<const SubList>> quoteLists_;
  std::vector<std::shared_ptr<const SubList>> tickLists_;

  std::atomic<IDataCenterNotify*> current_{nullptr};
  Dispatcher dispatcher_;  // last: stopped first, while everything it uses still exists
};

}  // namespace tarn::quotedata
