// The terminal's side of the quote library: the listener base, the real-time quote client with
// its subscription map, and the history client used by charts.
//
// Destruction order matters: a notification may be running on a library thread while a
// listener is destroyed. Each class below detaches (clears its forwarder's back pointer under
// the forwarder's lock, which waits for a notification in flight) before any of its state goes.
// A class derived from these, whose overrides read its own members, calls Detach() first thing
// in its own destructor, so that no notification reaches a half-destroyed object.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/quote_data_center.h"

class CDataListener : public _IDataCenterNotify {
 public:
  CDataListener() = default;
  ~CDataListener() override;
  CDataListener(const CDataListener&) = delete;
  CDataListener& operator=(const CDataListener&) = delete;

  // Once: creates the forwarding object if absent, sets the registered flag, registers it.
  void Register();
  // If registered and the handle exists: unregisters and clears the flag.
  void Unregister();
  // Stops every notification to this object for good (clears the back pointer, unregisters).
  // Safe to call more than once.
  void Detach();

  bool Registered() const { return registered_; }
  // The forwarding object, created on first need and kept for the listener's life.
  const NotifyHandle& Handle();

 private:
  NotifyHandle handle_;
  bool registered_ = false;
  tarn::CriticalSection handleMutex_;
};

// A real-time quote client: the contracts it subscribed, by key.
class CQuoteDataClient : public CDataListener {
 public:
  CQuoteDataClient() = default;
  ~CQuoteDataClient() override;

  // Subscribes a contract. Returns 1 when the contract is (now or already) subscribed, 0 when
  // the library refused it.
  int Subscribe(const DC_Contract& contract);
  void Unsubscribe(const DC_Contract& contract);
  void UnsubscribeAll();

  bool IsSubscribed(std::string_view key) const;
  std::size_t SubscriptionCount() const;
  std::vector<DC_Contract> Subscriptions() const;

  // Clears the displays when the link is down, re-reads every subscribed snapshot otherwise.
  void OnConnectState(int x, int flag, int state) override;

  // Detaches and drops every subscription (derived destructors call it first).
  void Detach();

 protected:
  bool clientRegistered_ = false;

 private:
  mutable tarn::CriticalSection mapMutex_;
  std::map<std::string, DC_Contract, std::less<>> subscribed_;
};

// The owner of a history request (the chart): three events, in this order.
class IHisDataNotify {
 public:
  virtual ~IHisDataNotify() = default;
  virtual void OnHisDataEvent(const DC_Contract* contract, int status, int a, int b) = 0;
  virtual void OnHisDataReset(int x, int flag, int state) = 0;
  virtual void OnHisDataExtra(int a, int b, int c, int d, int e) { (void)a; (void)b; (void)c; (void)d; (void)e; }
};

// One history request at a time for one contract.
class CHisDataClient : public CDataListener {
 public:
  CHisDataClient() = default;
  ~CHisDataClient() override;

  // Requests the latest `count` bars. -1: empty contract; 0: the bar store can be read at
  // once; 1: the bars follow with a history event.
  int Request(const DC_Contract& contract, int count, IHisDataNotify* owner, int periodKind, int periodCount);
  // Requests `count` bars ending at `start`. Same results.
  int RequestRange(const DC_Contract& contract, int64_t start, int count, IHisDataNotify* owner, int periodKind,
                   int periodCount);
  void Stop();

  BarStore& Store() { return store_; }
  const BarStore& Store() const { return store_; }
  bool Answered() const;
  bool Idle() const;
  int PeriodKind() const;
  int PeriodCount() const;
  DC_Contract Contract() const;

  int OnHistory(int error, const HistoryReply* reply) override;
  int OnQuote(int status, const DC_Quote* quote) override;
  void OnTickData(const DC_Contract* record) override;
  void OnConnectState(int x, int flag, int state) override;
  void OnContractReset(DC_Contract contract) override;
  void OnExtra(int a, int b, int c, int d, int e) override;

 private:
  bool Begin(const DC_Contract& contract, IHisDataNotify* owner, int periodKind, int periodCount);

  mutable tarn::CriticalSection mutex_;
  BarStore store_;
  DC_Contract contract_{};
  int periodKind_ = 5;
  int periodCount_ = 1;
  bool answered_ = false;
  int64_t lastVolume_ = 0;
  int32_t lastTradingDay_ = 0;
  IHisDataNotify* owner_ = nullptr;
  bool idle_ = true;
};

// The chart library's time interface (9 slots).
class IChartTimeServer {
 public:
  virtual ~IChartTimeServer() = default;
  virtual int64_t ServerTime() = 0;  // 0
  virtual int Slot1() { return 0; }
  virtual int Slot2() { return 0; }
  virtual int Slot3() { return 0; }
  virtual int Slot4() { return 0; }
  virtual int Slot5() { return 0; }
  virtual int Slot6() { return 0; }
  virtual int Slot7() { return 0; }
  virtual int Slot8() { return 0; }
};

// Slot 0 answers the quote library's server time; the other slots return 0.
class CTimeServer final : public IChartTimeServer {
 public:
  int64_t ServerTime() override;
};
