// CAutoCover: the automatic stop engine. While it is switched on, every opening order that
// becomes fully filled, for a commodity with an AutoCoverSetting, gets an AutoCoverStop; the
// engine watches the contract's quotes, computes the stop-loss and take-profit levels, moves
// the trailing stop in whole steps, arms the break-even stop, and when a level is touched sends
// one closing market order for the filled quantity. A stop whose position is gone is dropped.
// Settings are kept in "\config\AutoCover.dat"; stops live in memory only.
//
// Orders and positions arrive on the trading library's thread, quotes on the quote library's,
// settings and grid calls on the UI thread. One critical section guards settings, stops, the
// handled orders and the switch, file writes included. Closing orders are sent, and listeners
// told, after it is released, so either may call back into the engine from any thread.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "data/data_listener.h"
#include "data/trade_api.h"
#include "data/trade_enums.h"
#include "engines/auto_cover_file.h"
#include "engines/engine_support.h"
#include "platform/sync.h"

// One running protection of a fully filled opening order. The fields the trigger check reads
// on every quote come first, so that a contract's stops are read in few cache lines.
struct AutoCoverStop {
  int32_t state = 0;             // 0 watching, 1 fired (closing order sent)
  bool breakEvenArmed = false;   // set once the price has moved breakEvenTicks in favour
  double extremePrice = 0;       // best last price since creation (highest long, lowest short)
  double stopLossPrice = 0;      // 0 until computed
  double takeProfitPrice = 0;
  double trailingStopPrice = 0;
  double tickSize = 0;           // the commodity's tick size, read when the stop was made
  // Copies of what the check reads of the order and the setting, beside the levels.
  double openPrice = 0;          // order.averageFillPrice
  int32_t direction = 0;         // order.direction: 1 long, else short
  int32_t stopLossTicks = 0, takeProfitTicks = 0, trailingTicks = 0, breakEvenTicks = 0;
  uint64_t sequence = 0;         // creation order across contracts
  AutoCoverSetting setting;      // the setting that applied
  OrderRecord order{};           // the filled opening order

  // Builds a watching stop for a filled opening order and the setting that applies.
  static AutoCoverStop For(const OrderRecord& order, const AutoCoverSetting& setting, double tickSize);
  bool IsLong() const { return direction == tarn::kBuy; }
};

namespace tarn {

// What one quote did to a stop.
enum StopStep : unsigned {
  kStopUnchanged = 0,
  kStopChanged = 1,  // a level was computed or moved, or the break-even stop armed
  kStopFired = 2,    // a level was touched: the stop is now fired
};
// Applies a last price to a watching stop: the extreme price, the levels, the trailing steps,
// the break-even arming, and the firing test. Returns a combination of StopStep values; sets
// the state to 1 when it fires. Does nothing when the tick size is not positive.
unsigned StepAutoCoverStop(AutoCoverStop& stop, double last);

// The closing market order of a fired stop: the opening order's contract and account texts,
// the other direction, offset 2, market price type, the filled quantity.
OrderRecord ClosingOrderFor(const AutoCoverStop& stop);

}  // namespace tarn

// Hears every change of the running stops. Registration as with IQuoteAlertListener.
class IAutoCoverNotify {
 public:
  explicit IAutoCoverNotify(bool listenNow = true);
  virtual ~IAutoCoverNotify();
  IAutoCoverNotify(const IAutoCoverNotify&) = delete;
  IAutoCoverNotify& operator=(const IAutoCoverNotify&) = delete;

  virtual void OnAutoCoverChanged() {}

  void StartListening();
  void StopListening();

 private:
  friend class CAutoCover;
  class CAutoCover* engine_ = nullptr;
};

class CAutoCover : public CTradeListener, public CQuoteDataClient {
 public:
  CAutoCover();
  ~CAutoCover() override;

  static CAutoCover& Instance() { return tarn::EngineInstance<CAutoCover>::Get(); }

  // Reads the settings file, once: a second call does nothing. A missing file loads nothing.
  void LoadSettings();
  // The first setting with both codes equal is overwritten, otherwise it is appended. Saves.
  void AddOrReplaceSetting(const AutoCoverSetting& setting);
  // Removes every setting of that commodity code. Saves.
  void RemoveSetting(const std::string& commodity);
  void RemoveAllSettings();
  void CopySettings(std::vector<AutoCoverSetting>& out) const;

  // Switching off discards every stop and tells the listeners.
  void SetEnabled(bool enabled);
  bool Enabled() const;

  // Copies the watching stops, then drops every fired one.
  void CopyActiveStops(std::vector<AutoCoverStop>& out);
  std::size_t StopCount() const;

  // Trading library: creates stops for fully filled opening orders; drops stops whose position
  // is gone. Positions are judged per account: the library lists the current account's only,
  // so the stops of the login's other accounts are left alone.
  void OnOrder(const OrderRecord* order, const AccountTexts& account) override;
  void OnPositions(const AccountTexts& account, bool complete) override;
  // Quote library: the trigger check.
  int OnQuote(int status, const DC_Quote* quote) override;

  void AddListener(IAutoCoverNotify* listener);
  void RemoveListener(IAutoCoverNotify* listener);

  // Off: the settings file is neither read nor written (a demonstration engine). On by default.
  void SetFileEnabled(bool enabled);

 private:
  bool SaveLocked();
  void Notify();

  mutable tarn::CriticalSection mutex_;
  bool enabled_ = false;
  bool settingsLoaded_ = false;
  bool fileEnabled_ = true;
  std::vector<AutoCoverSetting> settings_;
  // The stops per contract key, each list in creation order (`sequence` orders them across
  // contracts), so that a quote reaches its contract's stops without walking the others.
  tarn::KeyMap<std::vector<AutoCoverStop>> stopsByKey_;
  std::size_t stopCount_ = 0;
  uint64_t nextSequence_ = 1;
  std::unordered_set<std::string> handled_;            // keys of the orders already seen filled
  tarn::ListenerSet<IAutoCoverNotify> listeners_;
};
