// The simulated market: the live state of every watched contract, advanced in 500 ms steps,
// the events it publishes, and the queries over its data (snapshots, bars of every period,
// the day's ticks, recent trades).
//
// Threads and events: every operation is thread-safe. AdvanceTo computes the steps under the
// market's lock, queues the events they cause and delivers the queue to the listeners after
// the state is consistent and outside the lock, in order, on the advancing thread. A listener
// may call any operation from inside OnMarketEvents; an AdvanceTo from inside a delivery only
// queues, and the delivery already running hands its events out after the current batch, so
// batches never overtake each other.
//
// Only watched contracts are stepped (and published); any other contract is computed on demand
// at the market's current time, from the same model, with the same result.
//
// Trades: a snapshot whose lastQty is above 0 is one trade of lastQty lots at `last`. The
// broker matches against the ten-level book and the trades of the snapshots it watches.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "libs/exchange/calendar.h"
#include "libs/exchange/catalogue.h"
#include "libs/exchange/market/model.h"
#include "platform/sync.h"

namespace tarn::exchange {

constexpr int kBookLevels = 10;

// A quote snapshot in engine form: prices in ticks (0 = no price), quantities in lots.
struct Snapshot {
  ContractId id = kNoContract;
  int32_t tradingDay = 0;  // yyyymmdd
  int32_t sequence = 0;    // step number within the day
  int64_t timeMs = 0;      // time of the step, ms since 1970
  int32_t preClose = 0, preSettle = 0;
  int32_t open = 0, last = 0, high = 0, low = 0;
  int32_t upper = 0, lower = 0;
  int32_t settlement = 0;  // set once the day is over
  int64_t preOpenInterest = 0, volume = 0, openInterest = 0;
  int32_t lastQty = 0;
  int8_t side = 0;         // of the last trade: 1 active buy, 2 active sell
  double turnover = 0;     // money traded today
  int32_t bidPrice[kBookLevels] = {}, bidQty[kBookLevels] = {};
  int32_t askPrice[kBookLevels] = {}, askQty[kBookLevels] = {};
};

// One history bar; time in seconds since 1970 (start of the bar).
struct Bar {
  int64_t time = 0;
  int32_t open = 0, high = 0, low = 0, close = 0;
  int64_t volume = 0;
  int64_t openInterest = 0;
  double amount = 0;
};

// One trade of the day.
struct Tick {
  int64_t timeMs = 0;
  int32_t tradingDay = 0;
  int32_t price = 0, bid = 0, ask = 0, qty = 0;
  int8_t side = 0;
  int64_t openInterest = 0;
  int64_t volume = 0;  // cumulative volume of the day after the trade
};

enum class EventType : uint8_t {
  Snapshot,       // a watched contract changed
  DayRoll,        // the market's trading day changed (snap.tradingDay is the new one)
  ContractReset,  // the contract's history changed (a main contract moved to another month)
};

struct MarketEvent {
  EventType type = EventType::Snapshot;
  ContractId id = kNoContract;
  Snapshot snap;
};

class IMarketListener {
 public:
  virtual ~IMarketListener() = default;
  virtual void OnMarketEvents(const std::vector<MarketEvent>& events) = 0;
};

// Period kinds of the history: 1 tick, 2 n seconds, 3 n minutes, 5 n days, 6 weeks, 7 n months,
// 8 years (0, the time-share, is served as one-minute bars of the current day).
struct Period {
  int kind = 3;
  int count = 1;
};

struct MarketOptions {
  uint64_t seed = 20250101;
  int64_t originDay = 0;    // first day of the history (day number)
  bool realSessions = false;
  int64_t startMs = 0;      // the market's time when it opens
  const std::vector<CommoditySpec>* specs = nullptr;  // nullptr: the standard catalogue
};

class Market {
 public:
  explicit Market(const MarketOptions& options);
  ~Market();
  Market(const Market&) = delete;
  Market& operator=(const Market&) = delete;

  const Catalogue& GetCatalogue() const { return *catalogue_; }
  const TradingCalendar& Calendar() const { return calendar_; }
  uint64_t Seed() const { return options_.seed; }
  int64_t OriginDay() const { return days_.Origin(); }
  int64_t NowMs() const;
  // The market's current trading day (yyyymmdd).
  int32_t TradingDay() const;

  // Runs the market up to `wallMs` (never backwards) and delivers the events.
  void AdvanceTo(int64_t wallMs);

  // Watching makes a contract step live and publish its snapshots (counted).
  void Watch(ContractId id);
  void Unwatch(ContractId id);
  int Watchers(ContractId id) const;

  void AddListener(IMarketListener* listener) { listeners_.Add(listener); }
  void RemoveListener(IMarketListener* listener) { listeners_.Remove(listener); }

  bool GetSnapshot(ContractId id, Snapshot& out);
  // Up to `count` bars ending at or before `endSec` (0: now), oldest first; the last bar of
  // "now" is the bar in progress.
  bool GetBars(ContractId id, Period period, int64_t endSec, int count, std::vector<Bar>& out);
  // The day's trades up to now, oldest first.
  bool GetTicks(ContractId id, std::vector<Tick>& out);
  // The latest trades of the day, oldest first, at most `max`.
  bool GetRecentTrades(ContractId id, int max, std::vector<Tick>& out);
  // Today's main month contract of a commodity (kNoContract when it is not in the catalogue).
  ContractId MainMonth(int commodity);
  // A contract's last finished trading day.
  struct Settled {
    int32_t tradingDay = 0;
    int32_t close = 0, settlement = 0;  // ticks
    int64_t openInterest = 0, volume = 0;
  };
  bool LastSettled(ContractId id, Settled& out);
  // The settlement of a finished trading day (yyyymmdd, before the market's current day): the
  // price the next day's quotes show as the previous settlement. False for a day not finished
  // yet, before the market's first day, or on which the contract was not listed.
  bool DaySettlement(ContractId id, int32_t tradingDay, Settled& out);

  // Bytes held for live states and caches (for the benchmarks).
  std::size_t MemoryBytes() const;

 private:
  struct Live;
  struct Runtime;
  struct Position {
    int k = 0;
    int done = 0;  // steps done in day k
  };

  Position PositionAt(const Commodity& c, int64_t wallMs);
  int64_t StepTimeMs(const Commodity& c, int k, int idx);
  Runtime& RuntimeOf(int commodity);
  void Resync(Live& live, Runtime& rt, int k, int done);
  void ApplyStep(Live& live, Runtime& rt, int idx, int64_t timeMs, bool emit);
  void FillBook(Live& live, int32_t bid, int32_t ask, uint64_t salt);
  void EmitSnapshot(Live& live);
  void StepTo(int64_t wallMs);
  void RollDay(Runtime& rt, int newK, bool publish);
  SeriesDay SeriesOf(ContractId id, int k);
  CommodityModel& ModelOf(ContractId id);
  void Deliver();

  // History helpers (market_history.cpp).
  void DayBars(ContractId id, int k, Position now, Bar& out, bool& any);
  void MinuteBars(ContractId id, int k, int upToStep, std::vector<Bar>& out);
  void TickBars(ContractId id, int k, int upToStep, std::vector<Tick>& out);

  MarketOptions options_;
  TradingCalendar calendar_;
  mutable tarn::CriticalSection mutex_;   // the state
  tarn::CriticalSection advanceMutex_;    // one advance (and its delivery) at a time
  DayIndex days_;
  std::unique_ptr<Catalogue> catalogue_;
  std::vector<std::unique_ptr<CommodityModel>> models_;
  std::vector<std::unique_ptr<Runtime>> runtimes_;
  std::map<ContractId, std::unique_ptr<Live>> lives_;
  std::map<uint64_t, Bar> dayBarCache_;   // finished days (contract, day)
  int64_t nowMs_ = 0;
  int64_t tradingDay_ = 0;                // day number
  std::vector<MarketEvent> pending_;
  bool delivering_ = false;
  tarn::ListenerSet<IMarketListener> listeners_;
};

// Ticks <-> prices at the boundary.
inline double PriceOf(int32_t ticks, double tick) { return ticks * tick; }

}  // namespace tarn::exchange
