// Strategy orders at work: the runner watches each running order's combination value on every
// quote of its legs, sends the leg orders in units of the per-trigger quantity up to the total,
// chases the legs that ask for it, and reports progress and state.
//
// The value that triggers is the price of trading the combination now: every letter is the
// price its leg order would take, the best ask for a leg bought and the best bid for a leg sold
// (with the sides swapped for a reverse order, and again for a loop order trading back). A
// trigger starts a batch of `units` strategy units: each leg gets lots x units, priced at the
// other side's best plus its spread ticks (towards the other side). Type 1 sends every leg at
// once; type 2 sends leg A first and the others once it is filled. A leg order refused ends the
// strategy order in error ('3'); a leg order cancelled is sent again for what is left when the
// leg chases, and ends the strategy order in error when it does not. A chasing leg's working
// order is cancelled and sent again whenever the other side's best moves from its price. Once
// every leg of the batch is filled the units count as done (a loop order first trades them back
// when the value reaches its loop price); the order is done ('4') with its total.
//
// Each running order's definition and batch are encoded in `StrategyOrder::run` and stored with
// it, so that a restart carries on where it was.
//
// The runner keeps the running orders and decides; the orders, books and accounts are the
// broker's, reached through IStrategyHost. No lock and no events of its own: the broker calls it
// under its lock, and the host's calls queue whatever the broker announces.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/broker/ledger.h"
#include "libs/exchange/broker/order_book.h"
#include "libs/exchange/catalogue.h"
#include "libs/exchange/spread_formula.h"

namespace tarn::exchange {

// A running strategy order: its definition, its formula read once, and the batch under way.
struct StrategyRun {
  uint64_t id = 0;                // the StrategyOrder's
  AccountIndex account = kNoAccount;
  StrategyEntry spec;             // account and payload left empty
  SpreadFormula formula;
  double tick[4] = {};            // the legs' tick sizes
  const OrderBook* books[4] = {};  // the legs' books (a book lives as long as the broker)
  bool back = false;              // a loop order whose units are out: watching the loop price
  bool sending = false;           // a batch of leg orders is under way
  int32_t units = 0;              // units of that batch
  int32_t target[4] = {};         // lots of each leg in the batch
  bool started[4] = {};           // whether the leg's orders went out
  std::vector<uint64_t> sent[4];  // every order sent for the leg in the batch
};

// What a strategy order's definition is refused for (nullptr: it can run; its formula is then
// read into `formula`). `tradable` says whether a contract trades today.
const std::string* CheckStrategyEntry(const StrategyEntry& e, const Catalogue& cat,
                                      const std::function<bool(ContractId)>& tradable, SpreadFormula& formula);

// Whether `value` meets `condition` (1 >=, 2 <=, 3 >, 4 <) against `price`, with a tolerance for
// the last bits of a value computed from prices.
bool StrategyHolds(double value, int condition, double price);

// What the runner asks of the broker, always under the broker's lock.
class IStrategyHost {
 public:
  virtual ~IStrategyHost() = default;
  // The contract's book, made and watched when new; it lives as long as the host.
  virtual const OrderBook& LegBook(ContractId c) = 0;
  // Whether the contract's exchange tells older and today's lots apart.
  virtual bool LegCloseToday(ContractId c) = 0;
  virtual const LedgerAccount& RunAccount(AccountIndex a) = 0;
  // Books a leg order of strategy order `strategy`: the new order's id, 0 when none was booked.
  virtual uint64_t SendLegOrder(const OrderEntry& entry, AccountIndex a, uint64_t strategy) = 0;
  virtual const Order* LegOrder(uint64_t id) = 0;
  // Whose changes the order reports to (0: nobody's).
  virtual void TagLegOrder(uint64_t id, uint64_t strategy) = 0;
  // Cancels a working leg order.
  virtual void CancelLegOrder(uint64_t id) = 0;
  virtual StrategyOrder* FindStrategyOrder(AccountIndex a, uint64_t id) = 0;
  // The strategy order changed: it is stored and announced.
  virtual void StrategyChanged(AccountIndex a, uint64_t id) = 0;
};

class StrategyRunner {
 public:
  StrategyRunner(IStrategyHost& host, const Catalogue& catalogue) : host_(host), catalogue_(catalogue) {}
  StrategyRunner(const StrategyRunner&) = delete;
  StrategyRunner& operator=(const StrategyRunner&) = delete;

  // The stored form of a run, and back (false for anything that does not read or cannot run).
  void Encode(const StrategyRun& run, StrategyOrder& s) const;
  bool Decode(const StrategyOrder& s, StrategyRun& run) const;

  // Runs a strategy order from its current state; its leg orders report to it from now on.
  void Start(StrategyRun run);
  // Starts a batch when the market stands at the trigger already.
  void TriggerIfDue(uint64_t id);
  bool Running(uint64_t id) const { return runs_.count(id) != 0; }
  // Ends a running order in `state` with `text`; its working leg orders are cancelled.
  void End(uint64_t id, char state, const std::string& text);
  // The day ends: every run is forgotten (the broker ends the day's orders itself).
  void Clear();

  // A new quote of contract `c`: the runs watching it trigger, or chase their legs.
  bool Watches(ContractId c) const { return c < byContract_.size() && !byContract_[c].empty(); }
  void OnQuote(ContractId c, const OrderBook& b);
  // A leg order of `id` changed: the run looks at its batch again in Work.
  void Wake(uint64_t id) { work_.push_back(id); }
  bool HasWork() const { return !work_.empty(); }
  // Advances the runs woken, a few rounds while sending leg orders wakes them again.
  void Work();

 private:
  bool TriggerValue(const StrategyRun& run, double& value) const;
  void StartBatch(StrategyRun& run);
  void SendLeg(StrategyRun& run, int leg, int32_t lots);
  void ChaseLegs(StrategyRun& run, ContractId c, const OrderBook& b);
  void Advance(uint64_t id);
  void EndRun(StrategyRun& run, char state, const std::string& text);
  void SaveRun(StrategyRun& run);

  IStrategyHost& host_;
  const Catalogue& catalogue_;
  // Running strategy orders by id, the ones to look at again, and the runs by leg contract (in
  // the order they started).
  std::unordered_map<uint64_t, std::unique_ptr<StrategyRun>> runs_;
  std::vector<uint64_t> work_;
  std::vector<std::vector<StrategyRun*>> byContract_;
};

}  // namespace tarn::exchange
