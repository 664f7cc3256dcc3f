// Live values of strategies: CCombolQuote computes, for one strategy, its formula at the legs'
// last prices (lastValue), at the prices selling the combination would fetch (bidValue: a buy
// leg's bid, a sell leg's ask) and at those buying it would cost (askValue: a buy leg's ask, a
// sell leg's bid). A value that cannot be computed keeps its previous one, -992831.0 at first.
// CCombolQuoteClient creates and removes calculators by strategy key and forwards their values
// to one ICombolQuoteListener.
//
// Quotes come on the quote library's thread; toggle, remove and value reads on the UI thread.
// Each calculator has its own critical section; the listener is called after it is released
// (on the quote library's thread) and should only store the values or post to its window.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "data/data_listener.h"
#include "data/strategy_records.h"
#include "engines/combol_formula.h"
#include "platform/sync.h"

// A value not computed yet.
constexpr double kCombolNoValue = -992831.0;

// The text key of a strategy: its used legs in order A to D, each "%s_%d_%d" (contract key,
// direction, lots), joined by "|". Strategies with the same legs share a key whatever their
// formula.
using CombolKey = std::string;
CombolKey MakeCombolKey(const CombolStrategy& strategy);

class ICombolQuoteListener {
 public:
  virtual ~ICombolQuoteListener() = default;
  // `lead` is askValue when it was just computed, otherwise of no meaning: read the three.
  virtual void OnCombolQuote(double lead, const CombolStrategy& strategy, double lastValue, double bidValue,
                             double askValue) {
    (void)lead; (void)strategy; (void)lastValue; (void)bidValue; (void)askValue;
  }
  // The registry's forward (its meaning is the listener's).
  virtual void OnCombolForward(int value) { (void)value; }
};

class CCombolQuote : public CQuoteDataClient {
 public:
  CCombolQuote() = default;
  ~CCombolQuote() override;

  // Parses the formula (on failure the calculator stays empty and subscribes nothing), keeps
  // the strategy and the listener, and subscribes every used leg's contract.
  void Setup(const CombolStrategy& strategy, ICombolQuoteListener* listener);

  int OnQuote(int status, const DC_Quote* quote) override;

  void Values(double* lastValue, double* bidValue, double* askValue) const;
  bool Parsed() const;
  CombolStrategy Strategy() const;

 private:
  struct Leg {
    char letter;           // 'A' + index
    char key[sizeof(DC_Contract::key)];
    std::size_t keyLength;
    int32_t direction;     // 1 buy, 2 sell
    double last, bid, ask; // the latest quote of the leg's contract, 0 until the first
  };

  mutable tarn::CriticalSection mutex_;
  CombolStrategy strategy_{};
  tarn::CombolFormula formula_;
  ICombolQuoteListener* listener_ = nullptr;
  Leg legs_[4]{};
  int legCount_ = 0;
  double lastValue_ = kCombolNoValue;
  double bidValue_ = kCombolNoValue;
  double askValue_ = kCombolNoValue;
};

class CCombolQuoteClient {
 public:
  explicit CCombolQuoteClient(ICombolQuoteListener* listener = nullptr);
  ~CCombolQuoteClient();
  CCombolQuoteClient(const CCombolQuoteClient&) = delete;
  CCombolQuoteClient& operator=(const CCombolQuoteClient&) = delete;

  // Every operation below does nothing while there is no listener.
  void SetListener(ICombolQuoteListener* listener);

  // Starts a calculator for the strategy's key, or, when one runs, removes it.
  void Toggle(const CombolStrategy& strategy);
  // Removes the calculator of the strategy's key, if any.
  void Remove(const CombolStrategy& strategy);
  // The three values of the strategy's calculator; without one the outputs stay untouched.
  void CurrentValues(const CombolStrategy& strategy, double* lastValue, double* bidValue, double* askValue) const;
  // Passes the value to the listener's second operation.
  void Forward(int value);

  bool Has(const CombolStrategy& strategy) const;
  std::size_t Count() const;

 private:
  mutable tarn::CriticalSection mutex_;
  ICombolQuoteListener* listener_;
  std::map<CombolKey, std::shared_ptr<CCombolQuote>> calculators_;
};
