// The quote library's interface (IQuoteDataCenter), its notification interface
// (_IDataCenterNotify) and the shared forwarding object (IDataCenterNotify) that the library
// holds for each listener.
//
// The library delivers notifications on its own threads, never from inside an operation on the
// caller's thread and never with its own locks held, so a listener may call any operation from
// inside a notification.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/quote_records.h"
#include "platform/sync.h"

// The listener interface. Slot 0 is the destructor, slots 1 to 8 the notifications; slots 1
// and 2 return 0 by default, the rest do nothing.
class _IDataCenterNotify {
 public:
  virtual ~_IDataCenterNotify() = default;
  virtual int OnQuote(int status, const DC_Quote* quote) { (void)status; (void)quote; return 0; }           // 1
  virtual int OnHistory(int error, const HistoryReply* reply) { (void)error; (void)reply; return 0; }       // 2
  virtual void OnLoginResult(int code, const std::string& text) { (void)code; (void)text; }                 // 3
  virtual void OnConnectionLost(int reason) { (void)reason; }                                               // 4
  // `record` bytes 64-91 hold the contract key (a DC_Contract or a DC_Quote qualifies).
  virtual void OnTickData(const DC_Contract* record) { (void)record; }                                      // 5
  virtual void OnConnectState(int x, int flag, int state) { (void)x; (void)flag; (void)state; }             // 6
  virtual void OnContractReset(DC_Contract contract) { (void)contract; }                                    // 7
  virtual void OnExtra(int a, int b, int c, int d, int e) { (void)a; (void)b; (void)c; (void)d; (void)e; }  // 8
};

// The forwarding object: shared and reference-counted; what the library holds. Each operation
// takes the critical section and calls the listener's slot n+1 while the back pointer is set;
// without it, the two int operations return -1 and the others do nothing. It may outlive its
// listener: clearing the back pointer under the section makes destruction and a notification
// in flight exclusive.
class IDataCenterNotify {
 public:
  explicit IDataCenterNotify(_IDataCenterNotify* listener) : listener_(listener) {}

  int OnQuote(int status, const DC_Quote* quote) {
    tarn::Lock lock(mutex_);
    return listener_ ? listener_->OnQuote(status, quote) : -1;
  }
  int OnHistory(int error, const HistoryReply* reply) {
    tarn::Lock lock(mutex_);
    return listener_ ? listener_->OnHistory(error, reply) : -1;
  }
  void OnLoginResult(int code, const std::string& text) {
    tarn::Lock lock(mutex_);
    if (listener_) listener_->OnLoginResult(code, text);
  }
  void OnConnectionLost(int reason) {
    tarn::Lock lock(mutex_);
    if (listener_) listener_->OnConnectionLost(reason);
  }
  void OnTickData(const DC_Contract* record) {
    tarn::Lock lock(mutex_);
    if (listener_) listener_->OnTickData(record);
  }
  void OnConnectState(int x, int flag, int state) {
    tarn::Lock lock(mutex_);
    if (listener_) listener_->OnConnectState(x, flag, state);
  }
  void OnContractReset(DC_Contract contract) {
    tarn::Lock lock(mutex_);
    if (listener_) listener_->OnContractReset(contract);
  }
  void OnExtra(int a, int b, int c, int d, int e) {
    tarn::Lock lock(mutex_);
    if (listener_) listener_->OnExtra(a, b, c, d, e);
  }

  // Clears the back pointer; returns once no notification is running through this object.
  void Detach() {
    tarn::Lock lock(mutex_);
    listener_ = nullptr;
  }
  bool Attached() {
    tarn::Lock lock(mutex_);
    return listener_ != nullptr;
  }

 private:
  tarn::CriticalSection mutex_;
  _IDataCenterNotify* listener_;
};

// A listener handle: what the library keeps; none = empty handle.
using NotifyHandle = std::shared_ptr<IDataCenterNotify>;

// The bar store a history request fills: the contract and period, and the bars in time order,
// guarded by the store's critical section. Bars are held by value in one contiguous array, so
// that the formula engine and the chart read them without copying bar by bar.
struct BarStore {
  DC_Contract contract{};
  int32_t periodKind = 0;
  int32_t periodCount = 0;
  std::vector<DC_KData> bars;
  mutable tarn::CriticalSection mutex;

  // Copies the bars under the store's lock.
  std::vector<DC_KData> Snapshot() const {
    tarn::Lock lock(mutex);
    return bars;
  }
  void Clear() {
    tarn::Lock lock(mutex);
    bars.clear();
  }
  std::size_t Size() const {
    tarn::Lock lock(mutex);
    return bars.size();
  }
};

// The quote library, in slot order (slots 5, 9, 20, 22 and 23 are not used by the terminal).
class IQuoteDataCenter {
 public:
  virtual ~IQuoteDataCenter() = default;

  virtual int RegisterListener(const NotifyHandle& listener) = 0;                                  // 1
  virtual void UnregisterListener(const NotifyHandle& listener) = 0;                               // 2
  // With subscribe 1: 0 = subscribed and `out` filled; above 0 = the snapshot follows by
  // notification; below 0 = refused. No listener: fill `out` only. With 0: unsubscribe.
  virtual int SubscribeQuote(const NotifyHandle& listener, const DC_Contract* contract, DC_Quote* out,
                             int subscribe) = 0;                                                   // 3
  // 0 = `store` filled now; 1 = bars follow (OnHistory). No listener: fill from what is held.
  virtual int RequestHistory(const NotifyHandle& listener, const DC_Contract* contract, int periodKind,
                             int periodCount, BarStore* store, int barCount, int flag) = 0;        // 4
  virtual int CopyHistory(const DC_Contract* contract, int periodKind, int periodCount, BarStore* store) = 0;  // 6
  // The day's ticks of the contract, in time order. Returns their number.
  virtual int GetTicks(const NotifyHandle& listener, std::vector<TickRecord>& out, const DC_Contract* contract) = 0;  // 7
  // The contract's trade details, oldest first. Returns their number.
  virtual int GetQuoteDetail(const NotifyHandle& listener, int zero, std::vector<QuoteDetail>& out,
                             const DC_Quote* quote) = 0;                                           // 8
  // The result comes by OnLoginResult: code 0 progress texts, then 1 or a refusal with a text.
  virtual void Login(const NotifyHandle& listener, QuoteLoginParams params) = 0;                   // 10
  virtual int GetExchanges(DC_Exchange* out, int capacity) = 0;                                    // 11
  // Null array with capacity 0 asks only the count (likewise for the other lists).
  virtual int GetCommodities(DC_Commodity* out, int capacity, const char* exchangeCode) = 0;       // 12
  virtual int GetContracts(DC_Contract* out, int capacity, const char* listName) = 0;              // 13
  // Above 0 = found and `out` filled.
  virtual int FindContract(DC_Contract* out, const char* key) = 0;                                 // 14
  // `exchangeCode` is an exchange code, or "EXCHANGE|COMMODITY" for one commodity's contracts.
  virtual int GetContractsOf(DC_Contract* out, int capacity, const char* exchangeCode, int zero) = 0;  // 15
  virtual bool IsConnected() = 0;                                                                  // 16
  virtual void Reconnect() = 0;                                                                    // 17
  virtual int64_t GetServerTime(int zero) = 0;                                                     // 18
  // As RequestHistory, for `barCount` bars ending at or before `start` (seconds since 1970;
  // 0 = now); the bars go into `store`.
  virtual int RequestHistoryRange(const NotifyHandle& listener, const DC_Contract* contract, int64_t start,
                                  int barCount, int periodKind, int periodCount, BarStore* store) = 0;  // 19
  virtual void ContractSettingChanged(DC_Contract contract) = 0;                                   // 21
  virtual void GetListNames(std::vector<std::string>& out) = 0;                                    // 24
  virtual void Logout() = 0;                                                                       // 25

  // The records behind the 32-bit handles of DC_Contract and DC_Commodity (nullptr: none).
  // The library owns them for its whole life.
  virtual const DC_Commodity* ResolveCommodity(CommodityHandle handle) = 0;
  virtual const DC_Exchange* ResolveExchange(ExchangeHandle handle) = 0;
};

// The process-wide quote library: fetched afresh at every use, never released. The
// application (or a test) installs the implementation; until then it is nullptr.
IQuoteDataCenter* GetQuoteDataCenter();
void SetQuoteDataCenter(IQuoteDataCenter* center);

// Helpers over the handles: the commodity of a contract and its exchange code ("" when none).
const DC_Commodity* CommodityOf(const DC_Contract& contract);
std::string ExchangeCodeOf(const DC_Contract& contract);
// The contract's price decimals (2 when the commodity is unknown).
int PriceDecimals(const DC_Contract& contract);
