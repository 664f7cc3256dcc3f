// TradeFeed: the trading windows' one source of the account's trading state. It listens to the
// trading library, applies the records the notifications carry (an order's new state, a new
// fill) to its own copies keyed by identity (order key, fill number), remembers what else
// changed (positions, funds, texts, a contract chosen elsewhere), and hands each window one
// coalesced change set: a burst of notifications wakes a window once, and the window takes
// everything that changed since its last look in one call on its own thread.
//
// The windows implement no library interface: they are ITradeFeedClient, woken on the library's
// thread (they only post a message there) and reading on theirs. The lists are read whole from
// the library only at the start, at a refresh and when the current account changes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "data/trade_api.h"
#include "platform/sync.h"

namespace tarn {

// A contract chosen elsewhere in the terminal (SelectContract).
struct ContractChoice {
  DC_Contract contract{};
  int direction = 0;
  double price = 0;
};

// What changed for one window since it last took its changes.
struct TradeChangeSet {
  // The lists were read afresh (start, refresh, another account): `orders` and `fills` are the
  // whole lists, in the library's order, and everything else is to be read again.
  bool reload = false;
  std::vector<OrderRecord> orders;  // changed or new orders (their latest record), first change first
  std::vector<FillRecord> fills;    // new fills, in arrival order
  bool positions = false;           // the positions (and their lots) changed
  bool positionsComplete = false;   // ... and the library's position list is complete
  bool funds = false;               // the account's funds changed
  std::vector<std::string> texts;   // the library's messages (a refused order says why), in order
  std::optional<ContractChoice> choice;  // the last contract chosen elsewhere
  bool Empty() const {
    return !reload && orders.empty() && fills.empty() && !positions && !funds && texts.empty() && !choice;
  }
};

class ITradeFeedClient {
 public:
  // Changes are waiting. Called on the library's thread, once until the client takes them,
  // outside the feed's lock: post a message to the window, do no work here.
  virtual void OnTradeFeedChanged() = 0;

 protected:
  ~ITradeFeedClient() = default;
};

class TradeFeed : private CTradeListener {
 public:
  // The feed of the installed trading library, shared by the windows that hold it; made by the
  // first and ended with the last.
  static std::shared_ptr<TradeFeed> Acquire();

  // Reads the lists and starts listening to the installed library (none: an empty feed).
  TradeFeed();
  ~TradeFeed() override;
  TradeFeed(const TradeFeed&) = delete;
  TradeFeed& operator=(const TradeFeed&) = delete;

  // A new client's first change set is a reload.
  void AddClient(ITradeFeedClient* client);
  // Once it has returned the client is never woken again.
  void RemoveClient(ITradeFeedClient* client);
  // Everything that changed for `client` since it last took (any thread; windows call it on
  // theirs). An unknown client gets an empty set.
  TradeChangeSet Take(ITradeFeedClient* client);

  // Copies of the feed's lists, in the library's order (tests, the first look of a window).
  std::vector<OrderRecord> Orders() const;
  std::vector<FillRecord> Fills() const;

  // Reads the lists from the library afresh, as a refresh notification does.
  void Reload();
  using CTradeListener::Listening;

  // ITradeNotify (library thread).
  void OnTradeText(const std::string& text, const AccountTexts& account) override;
  void OnOrder(const OrderRecord* order, const AccountTexts& account) override;
  void OnAccountUpdate(int value, const AccountTexts& account) override;
  void OnFill(const FillRecord* fill, const AccountTexts& account) override;
  void OnTradeLogin(int code, const std::string& text, const AccountTexts& account) override;
  void OnTradeRefresh() override;
  void OnContractSelected(DC_Contract contract, int direction, double price) override;
  void OnPositions(const AccountTexts& account, bool complete) override;

 private:
  struct Pending {
    uint64_t seenEpoch = 0;    // the reload the client last took
    uint64_t seenVersion = 0;  // the order version it last took
    std::size_t seenFills = 0; // the fills it has taken
    bool positions = false, positionsComplete = false, funds = false;
    std::vector<std::string> texts;
    std::optional<ContractChoice> choice;
    bool woken = false;        // a wake is out and not yet answered by a Take
  };
  // Marks a change for every client (under the lock) and wakes those not yet woken (after it).
  template <class Mark>
  void Change(Mark mark);
  // False for a notification about another account than the one whose lists are shown.
  bool CurrentAccount(const AccountTexts& account) const;
  void ReadLists();  // under the lock

  mutable CriticalSection mutex_;
  std::vector<OrderRecord> orders_;
  std::vector<uint64_t> versions_;  // per order: the version of its last change
  std::unordered_map<std::string, std::size_t> orderIndex_;
  std::vector<FillRecord> fills_;
  std::unordered_set<std::string> fillNumbers_;
  std::string account_;  // the account the lists are of ("" unknown: every account is taken)
  uint64_t version_ = 0;
  uint64_t epoch_ = 1;
  std::unordered_map<ITradeFeedClient*, Pending> pending_;
  ListenerSet<ITradeFeedClient> clients_;
};

}  // namespace tarn
