// What the operations under way changed that the store does not have yet: which orders, sides,
// lots, accounts, strategy orders, day-start positions and logins to write again, the new fills,
// references and statements, and whether the trading day moved. It collects identities only and
// becomes a write set at the commit, reading each record as it stands then (a record marked twice
// is written once; a side or lot gone since is erased). A set made disabled (a broker without a
// store) ignores every mark and stays empty.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "libs/exchange/broker/broker_journal.h"
#include "libs/exchange/broker/broker_store.h"
#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/broker/ledger.h"
#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

class StoreChanges {
 public:
  explicit StoreChanges(bool enabled = true) : enabled_(enabled) {}

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  void Order(uint64_t id) { if (enabled_) orders_.push_back(id); }
  void NewFill(const Fill& f) { if (enabled_) fills_.push_back(f); }
  void Side(AccountIndex a, uint64_t sideKey) { if (enabled_) sides_.emplace_back(a, sideKey); }
  void Lot(AccountIndex a, uint64_t sideKey, uint64_t lotId) { if (enabled_) lots_.emplace_back(a, sideKey, lotId); }
  void Account(AccountIndex a) { if (enabled_) accounts_.push_back(a); }
  void Strategy(AccountIndex a, uint64_t id) { if (enabled_) strategies_.emplace_back(a, id); }
  void Starts(AccountIndex a) { if (enabled_) starts_.push_back(a); }
  void Login(const std::string& user) { if (enabled_) logins_.push_back(user); }
  void NewRef(BrokerStore::RefRow r) { if (enabled_) refs_.push_back(std::move(r)); }
  void NewStatement(AccountIndex a, int32_t day, std::string text) {
    if (enabled_) statements_.emplace_back(a, day, std::move(text));
  }
  void Day() { if (enabled_) day_ = true; }

  bool Empty() const;
  bool HasStatements() const { return !statements_.empty(); }

  // Moves the changes into `w` as store rows, reading the records from `ledger` and `orders` as
  // they stand, and empties the set. `day` is written when the day was marked.
  void TakeInto(JournalWrite& w, const Ledger& ledger, const std::unordered_map<uint64_t, exchange::Order>& orders,
                const Catalogue& catalogue, int32_t day);

 private:
  bool enabled_;
  std::vector<uint64_t> orders_;
  std::vector<Fill> fills_;
  std::vector<std::pair<AccountIndex, uint64_t>> sides_;
  std::vector<std::tuple<AccountIndex, uint64_t, uint64_t>> lots_;
  std::vector<AccountIndex> accounts_;
  std::vector<std::pair<AccountIndex, uint64_t>> strategies_;
  std::vector<std::tuple<AccountIndex, int32_t, std::string>> statements_;
  std::vector<AccountIndex> starts_;
  std::vector<std::string> logins_;
  std::vector<BrokerStore::RefRow> refs_;
  bool day_ = false;
};

}  // namespace tarn::exchange
