#include "engines/combol_quote.h"

#include <cmath>
#include <cstring>

#include "data/trade_enums.h"
#include "platform/text.h"

CombolKey MakeCombolKey(const CombolStrategy& strategy) {
  CombolKey key;
  for (const CombolLeg& leg : strategy.legs) {
    if (!leg.Used()) continue;
    if (!key.empty()) key += '|';
    key += tarn::Format("%s_%d_%d", std::string(leg.contract.Key()), leg.direction, leg.lots);
  }
  return key;
}

// ---- CCombolQuote --------------------------------------------------------------------------

CCombolQuote::~CCombolQuote() { Detach(); }

void CCombolQuote::Setup(const CombolStrategy& strategy, ICombolQuoteListener* listener) {
  {
    tarn::Lock lock(mutex_);
    if (!formula_.Parse(strategy.Formula(), strategy, nullptr)) return;
    strategy_ = strategy;
    listener_ = listener;
    legCount_ = 0;
    for (int i = 0; i < 4; ++i) {
      const CombolLeg& l = strategy.legs[i];
      if (!l.Used()) continue;
      Leg& e = legs_[legCount_++];
      e = Leg{};
      e.letter = static_cast<char>('A' + i);
      std::memcpy(e.key, l.contract.key, sizeof e.key);
      e.key[sizeof e.key - 1] = '\0';
      e.keyLength = std::strlen(e.key);
      e.direction = l.direction;
    }
  }
  for (const CombolLeg& l : strategy.legs) {
    if (l.Used()) Subscribe(l.contract);
  }
}

int CCombolQuote::OnQuote(int status, const DC_Quote* quote) {
  if (status != 0 || !quote) return 0;
  const std::string_view key = quote->contract.Key();
  const DC_QuoteData& d = quote->data;
  // The values are computed under the lock and told after it is released, so that a listener
  // may wait for a thread that reads this calculator. The quote library delivers one quote at a
  // time and Detach waits for a delivery in flight: the listener outlives this call.
  ICombolQuoteListener* listener = nullptr;
  CombolStrategy strategy;
  double lastValue = 0, bidValue = 0, askValue = 0;
  {
    tarn::Lock lock(mutex_);
    bool leg = false;
    for (int i = 0; i < legCount_; ++i) {
      Leg& e = legs_[i];
      if (e.keyLength == key.size() && std::memcmp(e.key, key.data(), key.size()) == 0) {
        e.last = d.last;
        e.bid = d.bidPrice[0];
        e.ask = d.askPrice[0];
        leg = true;
      }
    }
    if (!leg) return 0;
    // Letters name legs by position (used legs come first), so value i belongs to leg A + i.
    double last[4] = {0, 0, 0, 0}, bid[4] = {0, 0, 0, 0}, ask[4] = {0, 0, 0, 0};
    bool haveLast = true, haveBid = true, haveAsk = true;
    for (int i = 0; i < legCount_; ++i) {
      const Leg& e = legs_[i];
      const int slot = e.letter - 'A';
      const bool buy = e.direction == tarn::kBuy;
      last[slot] = e.last;
      bid[slot] = buy ? e.bid : e.ask;
      ask[slot] = buy ? e.ask : e.bid;
      haveLast = haveLast && std::fabs(last[slot]) > 1e-5;
      haveBid = haveBid && std::fabs(bid[slot]) > 1e-5;
      haveAsk = haveAsk && std::fabs(ask[slot]) > 1e-5;
    }
    if (haveLast) lastValue_ = formula_.Evaluate(last);
    if (haveBid) bidValue_ = formula_.Evaluate(bid);
    if (haveAsk) askValue_ = formula_.Evaluate(ask);
    if (!(haveLast || haveBid || haveAsk) || !listener_) return 0;
    listener = listener_;
    strategy = strategy_;
    lastValue = lastValue_;
    bidValue = bidValue_;
    askValue = askValue_;
  }
  listener->OnCombolQuote(askValue, strategy, lastValue, bidValue, askValue);
  return 0;
}

void CCombolQuote::Values(double* lastValue, double* bidValue, double* askValue) const {
  tarn::Lock lock(mutex_);
  if (lastValue) *lastValue = lastValue_;
  if (bidValue) *bidValue = bidValue_;
  if (askValue) *askValue = askValue_;
}

bool CCombolQuote::Parsed() const {
  tarn::Lock lock(mutex_);
  return formula_.Valid();
}

CombolStrategy CCombolQuote::Strategy() const {
  tarn::Lock lock(mutex_);
  return strategy_;
}

// ---- CCombolQuoteClient --------------------------------------------------------------------

CCombolQuoteClient::CCombolQuoteClient(ICombolQuoteListener* listener) : listener_(listener) {}

CCombolQuoteClient::~CCombolQuoteClient() {
  std::map<CombolKey, std::shared_ptr<CCombolQuote>> all;
  {
    tarn::Lock lock(mutex_);
    all.swap(calculators_);
  }
  // Destroyed outside the lock: a calculator waits for a quote in flight, whose listener may
  // read values through this registry.
  all.clear();
}

void CCombolQuoteClient::SetListener(ICombolQuoteListener* listener) {
  tarn::Lock lock(mutex_);
  listener_ = listener;
}

void CCombolQuoteClient::Toggle(const CombolStrategy& strategy) {
  const CombolKey key = MakeCombolKey(strategy);
  std::shared_ptr<CCombolQuote> gone;
  std::shared_ptr<CCombolQuote> created;
  ICombolQuoteListener* listener;
  {
    tarn::Lock lock(mutex_);
    listener = listener_;
    if (!listener) return;
    auto it = calculators_.find(key);
    if (it != calculators_.end()) {
      gone = std::move(it->second);
      calculators_.erase(it);
    } else {
      auto calc = std::make_shared<CCombolQuote>();
      created = calc;
      calculators_.emplace(key, std::move(calc));
    }
  }
  if (created) created->Setup(strategy, listener);
  // `gone` unsubscribes its legs as it is destroyed, outside the lock.
}

void CCombolQuoteClient::Remove(const CombolStrategy& strategy) {
  const CombolKey key = MakeCombolKey(strategy);
  std::shared_ptr<CCombolQuote> gone;
  {
    tarn::Lock lock(mutex_);
    if (!listener_) return;
    auto it = calculators_.find(key);
    if (it == calculators_.end()) return;
    gone = std::move(it->second);
    calculators_.erase(it);
  }
  gone->UnsubscribeAll();
}

void CCombolQuoteClient::CurrentValues(const CombolStrategy& strategy, double* lastValue, double* bidValue,
                                       double* askValue) const {
  const CombolKey key = MakeCombolKey(strategy);
  std::shared_ptr<CCombolQuote> calc;
  {
    tarn::Lock lock(mutex_);
    if (!listener_) return;
    auto it = calculators_.find(key);
    if (it == calculators_.end()) return;
    calc = it->second;
  }
  // Read outside the registry's lock, so that the registry and a calculator are never held in
  // the two orders at once.
  calc->Values(lastValue, bidValue, askValue);
}

void CCombolQuoteClient::Forward(int value) {
  ICombolQuoteListener* listener;
  {
    tarn::Lock lock(mutex_);
    listener = listener_;
  }
  if (listener) listener->OnCombolForward(value);
}

bool CCombolQuoteClient::Has(const CombolStrategy& strategy) const {
  tarn::Lock lock(mutex_);
  return calculators_.count(MakeCombolKey(strategy)) != 0;
}

std::size_t CCombolQuoteClient::Count() const {
  tarn::Lock lock(mutex_);
  return calculators_.size();
}
