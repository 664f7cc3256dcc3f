// CAutoCover: the automatic stop engine. While it is switched on, every opening order that
// becomes fully filled, for a commodity with an AutoCoverSetting, gets an AutoCoverStop; the
// engine watches the contract's quotes, computes the stop-loss and take-profit levels, moves
// the trailing stop in whole steps, arms the break-even stop, and when a level is touched sends
// one closing market order for the filled quantity. A stop whose position is gone is dropped.
// Settings are kept in "\config\AutoCover.dat"; stops live in memory only.
//
// Orders and positions arrive on the trading library's thread, quotes on the quote library's,
// settings and grid calls on the UI thread. One critical section guards settings, stops, the
// handled orders and the switch, file writes and the closing order's sending included.
// Listeners are called with it held: they must only post to their windows.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "data/data_listener.h"
#include "data/trade_api.h"
#include "engines/auto_cover_file.h"
#include "engines/engine_support.h"
#include "platform/sync.h"

// One running protection of a fully filled opening order.
struct AutoCoverStop {
  int32_t state = 0;             // 0 watching, 1 fired (closing order sent)
  double extremePrice = 0;       // best last price since creation (highest long, lowest short)
  OrderRecord order{};           // the filled opening order
  AutoCoverSetting setting;      // the setting that applied
  double trailingStopPrice = 0;
  bool breakEvenArmed = false;
  double stopLossPrice = 0;
  double takeProfitPrice = 0;
  double tickSize = 0;           // the commodity's tick size, read when the stop was made

  bool IsLong() const { return order.direction == 1; }
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
  // is gone.
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
  void RebuildIndex();
  void NotifyLocked();

  mutable tarn::CriticalSection mutex_;
  bool enabled_ = false;
  bool settingsLoaded_ = false;
  bool fileEnabled_ = true;
  std::vector<AutoCoverSetting> settings_;
  std::vector<AutoCoverStop> stops_;
  tarn::KeyMap<std::vector<std::size_t>> stopsByKey_;  // indices into stops_, in creation order
  std::unordered_set<std::string> handled_;            // keys of the orders already seen filled
  tarn::ListenerSet<IAutoCoverNotify> listeners_;
};
