// CAlertCenter: the quote alert engine. It keeps one QuoteAlert per contract with up to five
// limits (upper and lower price, last-trade quantity, volume, open interest), checks every quote
// of an alerted contract against them on the quote library's thread, fires each limit once,
// keeps the history of fired alerts for the run, plays "\sound\trade\0.wav" once per update
// that fired, saves its list to "\config\alertdata.dat" and tells every IQuoteAlertListener.
//
// One critical section guards the list, the history and the sound flag (file writes
// included). Listeners are called after it is released, on the quote thread: they must only
// copy and post to their windows.
#pragma once

#include <string>
#include <vector>

#include "data/data_listener.h"
#include "engines/alert_file.h"
#include "engines/engine_support.h"
#include "platform/sync.h"

class CAlertCenter;

// Hears every fired alert. Construction registers with CAlertCenter::Instance() (pass false and
// call StartListening() at the end of the derived constructor to hear nothing before it is
// complete); a derived class calls StopListening() first in its destructor, after which no
// call reaches it (a call in flight on another thread is waited for).
class IQuoteAlertListener {
 public:
  explicit IQuoteAlertListener(bool listenNow = true);
  virtual ~IQuoteAlertListener();
  IQuoteAlertListener(const IQuoteAlertListener&) = delete;
  IQuoteAlertListener& operator=(const IQuoteAlertListener&) = delete;

  // The contract of the quote that fired and one message (GBK); once per message.
  virtual void OnQuoteAlert(const DC_Contract& contract, const std::string& message) = 0;

  void StartListening();
  void StopListening();

 private:
  friend class CAlertCenter;
  CAlertCenter* center_ = nullptr;  // the engine it is registered with
};

class CAlertCenter : public CQuoteDataClient {
 public:
  CAlertCenter();
  ~CAlertCenter() override;

  // The process-wide engine (created on first use unless one is installed with ScopedEngine).
  static CAlertCenter& Instance() { return tarn::EngineInstance<CAlertCenter>::Get(); }

  // Reads "\config\alertdata.dat" into the list (replacing what it held): records whose
  // contract the quote library does not list are dropped; then subscribes every contract.
  void Load();
  // Rewrites the file from the list. False when the file could not be replaced.
  bool Save();

  // Every alert with the same contract key is overwritten by `alert` (limits and flags alike);
  // without one it is appended. Then saves and subscribes the contract. An alert without a
  // contract is ignored.
  void AddOrReplace(const QuoteAlert& alert);
  // Removes every alert with the key of `alert`, then saves. The contract stays subscribed.
  void Remove(const QuoteAlert& alert);
  // Removes every alert and saves once (the list dialog's clear).
  void RemoveAll();
  void CopyAlerts(std::vector<QuoteAlert>& out) const;
  // Clears `out` and copies the history into it.
  void CopyHistory(std::vector<AlertLogEntry>& out) const;
  void SetSound(bool on);
  bool SoundOn() const;
  std::size_t AlertCount() const;

  // The trigger check (only with status 0 and a snapshot).
  int OnQuote(int status, const DC_Quote* quote) override;

  void AddListener(IQuoteAlertListener* listener);
  void RemoveListener(IQuoteAlertListener* listener);

  // Off: the engine neither reads nor writes its file (a demonstration engine, such as the
  // screenshots' one, must not touch the user's alerts). On by default.
  void SetFileEnabled(bool enabled);

 private:
  // Under the lock: the first alert of every key, so that a quote finds its alert without
  // walking the list.
  void RebuildIndex();
  bool SaveLocked();

  mutable tarn::CriticalSection mutex_;
  int32_t soundOn_ = 1;
  bool fileEnabled_ = true;
  std::vector<QuoteAlert> alerts_;
  std::vector<AlertLogEntry> history_;
  tarn::KeyMap<std::size_t> firstByKey_;
  tarn::ListenerSet<IQuoteAlertListener> listeners_;
};

namespace tarn {
// The messages of the five limits (GBK), as the trigger check writes them.
std::string UpperPriceMessage(const std::string& name, int decimals, double limit, double last);
std::string LowerPriceMessage(const std::string& name, int decimals, double limit, double last);
std::string LastQtyMessage(const std::string& name, int64_t limit);
std::string VolumeMessage(const std::string& name, int64_t limit);
std::string OpenInterestMessage(const std::string& name, int64_t limit);
}  // namespace tarn
