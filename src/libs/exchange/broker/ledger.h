// The broker's books of account: logins, accounts with their positions, lots, funds and frozen
// money, and the booking rules (a fill into lots and funds, which lots a close takes, what a
// working order holds back). A value type: no I/O, no lock, no events. A booking reports what
// it changed in a LedgerChanges, for the caller to store and announce; the caller supplies the
// contract's terms and the ids of new lots and positions.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "libs/exchange/broker/broker_terms.h"
#include "libs/exchange/broker/broker_types.h"

namespace tarn::exchange {

// A position side's key within an account: the contract and the side (1 long, 2 short).
inline uint64_t SideKey(ContractId c, int side) {
  return (static_cast<uint64_t>(c) << 1) | static_cast<uint64_t>(side - 1);
}
inline ContractId SideContract(uint64_t key) { return static_cast<ContractId>(key >> 1); }
inline int SideOf(uint64_t key) { return static_cast<int>(key & 1) + 1; }

// The order a client reference named first.
struct RefEntry {
  uint64_t orderId = 0;
  int32_t day = 0, sequence = 0;
};

struct LedgerAccount {
  std::string id, login, name, currency;
  Money preBalance = 0, deposit = 0, withdrawal = 0, closeProfit = 0, fee = 0, credit = 0;
  Money margin = 0, frozenMargin = 0, frozenFee = 0;
  std::vector<uint64_t> orders;        // the day's orders and waiting condition orders
  std::vector<Fill> fills;             // the day's
  std::map<uint64_t, Side> sides;      // by SideKey
  std::map<uint64_t, int32_t> start;   // quantities at the day's start, by SideKey
  std::vector<StrategyOrder> strategies;
  std::unordered_map<uint64_t, RefEntry> refs;  // by client reference
};

struct LoginInfo {
  std::string hash, name;
  std::vector<AccountIndex> accounts;
};

// What one booking changed.
struct LedgerChanges {
  std::vector<uint64_t> sides;                      // side keys written or removed
  std::vector<std::pair<uint64_t, uint64_t>> lots;  // (side key, lot id) written or removed
  std::vector<std::string> ended;                   // position numbers closed out: lots, then the side
  bool opened = false;                              // a side opened from flat
  bool removed = false;                             // a side closed out and went
};

class Ledger {
 public:
  std::deque<LedgerAccount> accounts;                          // by AccountIndex
  std::map<std::string, AccountIndex, std::less<>> index;      // account id -> index
  std::map<std::string, LoginInfo, std::less<>> logins;

  // Adds an account under its login; its index.
  AccountIndex Add(LedgerAccount account);
  AccountIndex Find(std::string_view id) const;

  // An opening order's frozen money: what it held goes back, and while it works it holds the
  // margin and open fee of its remaining lots at `price`.
  void Freeze(Order& o, int32_t price, const ContractTerms& t);
  // Reserves the lots a close order needs (o.reserve: 1 older lots, 2 today's lots on exchanges
  // that tell them apart, 3 the lot `positionNumber` names, 4 any lots). With `check`, refuses
  // with an error code what the position cannot give; 0 when reserved.
  int ReserveClose(Order& o, bool closeToday, const std::string& positionNumber, bool check);
  // Gives back `lots` of a close order's reservation.
  void ReleaseClose(const Order& o, int32_t lots);

  // A fill of an opening order: a new lot at the fill's price; sets the fill's fee and position
  // number. New ids come from `nextId`.
  void OpenLots(const Order& o, Fill& f, const ContractTerms& t, uint64_t& nextId, LedgerChanges& out);
  // A fill of a closing order: takes lots as the order reserved them (older lots, today's, a
  // named lot; otherwise oldest first, or today's first where `todayFirst`), books the close
  // profit and fee into the fill; a side left empty goes.
  void CloseLots(const Order& o, Fill& f, const ContractTerms& t, bool todayFirst, LedgerChanges& out);
  // Removes a side with its lots and their margin.
  void RemoveSide(AccountIndex a, uint64_t key, LedgerChanges& out);

  // The close of a trading day for an account's positions: every side is marked to `price` of its
  // contract, each lot is held at that price from then on, today's lots become older lots,
  // reservations end and margins are recomputed at that price. Returns the sides' profit against
  // their holding prices (it goes into the next day's previous equity); every lot is reported in
  // `out.lots`.
  Money MarkToSettlement(AccountIndex a, const std::function<int32_t(ContractId)>& price,
                         const std::function<const ContractTerms&(ContractId)>& terms, LedgerChanges& out);
  // The day's money and `realized` roll into the previous equity; the day's fills and strategy
  // orders go, and the day's start quantities become the current ones.
  void RollDay(AccountIndex a, Money realized);

  // Every running total equals what it sums: a side's lots, today's lots, values and margin;
  // each lot's margin from its terms; an account's margin from its sides; reservations within
  // what they reserve. False with the first fault in `why`.
  bool CheckInvariant(const std::function<const ContractTerms&(ContractId)>& terms, std::string* why) const;
};

}  // namespace tarn::exchange
