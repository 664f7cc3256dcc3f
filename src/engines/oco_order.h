// COCOOrderMgr: the local OCO pairs ("one cancels the other"). A pair watches the last price of
// one contract: when it breaks above price 1 the terminal sends leg A's order at market, when
// it breaks below price 2 leg B's; either ends the pair, so the other leg never goes out. Pairs
// live in memory for the run (fired and cancelled ones stay listed with their state).
//
// Quotes arrive on the quote library's thread; add, modify, cancel and copy come from the UI
// thread. One critical section guards the pairs and the id counter; fired orders are sent and
// listeners told after it is released, so either may call back into the manager.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "data/data_listener.h"
#include "data/trade_enums.h"
#include "data/trade_records.h"
#include "engines/engine_support.h"
#include "platform/sync.h"

// One OCO pair, a plain value.
struct OcoOrder {
  int32_t id = 0;          // from 1 upwards in creation order; 0 before it is added
  int32_t state = 0;       // 0 "未触发", 1 "已触发_A", 2 "已触发_B", 3 "已撤销"
  DC_Contract contract{};  // quotes are matched by its key
  double price1 = 0;       // upper level (leg A)
  double price2 = 0;       // lower level (leg B), below price1
  int32_t directionA = tarn::kBuy;
  int32_t directionB = tarn::kSell;
  int32_t offsetA = tarn::kOpen;
  int32_t offsetB = tarn::kOpen;
  int64_t createdAt = 0;   // seconds since 1970 of the last add or modify
  int32_t quantity = 0;    // lots of whichever leg fires
};

namespace tarn {
// The display name of a pair's state (GBK); "" for other codes.
const std::string& OcoStateText(int state);
// The market order of a fired leg (leg 1 = A, 2 = B).
OrderRecord OcoLegOrder(const OcoOrder& oco, int leg);
}  // namespace tarn

// Hears every change of a pair. Registration as with IQuoteAlertListener.
class IOCOOrderNotify {
 public:
  explicit IOCOOrderNotify(bool listenNow = true);
  virtual ~IOCOOrderNotify();
  IOCOOrderNotify(const IOCOOrderNotify&) = delete;
  IOCOOrderNotify& operator=(const IOCOOrderNotify&) = delete;

  virtual void OnOcoOrderChanged(const OcoOrder& oco) { (void)oco; }

  void StartListening();
  void StopListening();

 private:
  friend class COCOOrderMgr;
  class COCOOrderMgr* manager_ = nullptr;
};

class COCOOrderMgr : public CQuoteDataClient {
 public:
  COCOOrderMgr();
  ~COCOOrderMgr() override;

  static COCOOrderMgr& Instance() { return tarn::EngineInstance<COCOOrderMgr>::Get(); }

  // Assigns the next id, state 0 and createdAt = now, stores it, subscribes the contract and
  // tells the listeners. Returns the id (0: no contract, nothing added).
  int Add(const OcoOrder& oco);
  // Replaces the pair with that id whole (state included) and refreshes createdAt, subscribes,
  // tells the listeners. Only a pair that exists and is still watching can be modified: a fired
  // or cancelled pair is final. Returns whether it was replaced.
  bool Modify(const OcoOrder& oco);
  // A watching pair becomes cancelled (state 3); any other id is left alone, silently.
  void Cancel(int id);
  // Every pair in id order, fired and cancelled ones included.
  void CopyAll(std::vector<OcoOrder>& out) const;
  std::size_t Count() const;

  // The trigger check (only with status 0, a snapshot and a last price of at least 1e-7).
  int OnQuote(int status, const DC_Quote* quote) override;

  void AddListener(IOCOOrderNotify* listener);
  void RemoveListener(IOCOOrderNotify* listener);

 private:
  void Notify(const OcoOrder& oco);
  void Unwatch(const OcoOrder& oco);

  mutable tarn::CriticalSection mutex_;
  std::map<int32_t, OcoOrder> orders_;
  int32_t nextId_ = 1;
  // The watching pairs per contract key, in id order, with their two levels beside the id so
  // that a quote is tested without looking each pair up: only they can fire.
  struct Watch {
    int32_t id;
    double price1;
    double price2;
  };
  tarn::KeyMap<std::vector<Watch>> watchingByKey_;
  tarn::ListenerSet<IOCOOrderNotify> listeners_;
};
