// CPanelDataTracer: the information panel's tallies of one contract's day. A quote client of its
// own: it subscribes the contract and fetches the day's ticks with its listener, so that the
// quote library tells it of new ones (OnTickData), walks them incrementally into big/small order tallies and tells its owner.
// Big orders are ticks above the commodity's average trade size times the panel's multiple.
#pragma once

#include "data/data_listener.h"
#include "platform/sync.h"
#include "tools/tick_tallies.h"

class IPanelTracerNotify {
 public:
  virtual ~IPanelTracerNotify() = default;
  // New tallies are ready (called on the thread that fetched the ticks, with the tracer's lock
  // held: copy and post).
  virtual void OnPanelTallies() = 0;
};

class CPanelDataTracer : public CQuoteDataClient {
 public:
  CPanelDataTracer() = default;
  ~CPanelDataTracer() override;

  // The owner told of new tallies; nullptr detaches it (under the tracer's lock).
  void SetOwner(IPanelTracerNotify* owner);
  // Follows a contract from its first tick of the day; `multiple` is the big-order multiple.
  void Follow(const DC_Contract& contract, int multiple);
  void SetMultiple(int multiple);
  void Stop();

  // Fetches the ticks and brings the tallies up to date (also run on every OnTickData).
  void Update();

  tarn::TickTallies Tallies() const;
  int64_t BigOrderSize() const;
  int32_t AverageTradeSize() const;
  std::size_t TicksHandled() const;
  DC_Contract Contract() const;

  void OnTickData(const DC_Contract* record) override;

 private:
  mutable tarn::CriticalSection mutex_;
  IPanelTracerNotify* owner_ = nullptr;
  DC_Contract contract_{};
  int multiple_ = 5;
  int32_t average_ = 0;
  int64_t bigOrderSize_ = 0;
  tarn::TickTallyWalker walker_;
  std::vector<TickRecord> delivered_;  // reused between fetches
};
