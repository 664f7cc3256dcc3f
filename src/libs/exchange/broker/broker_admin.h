// Administration of a broker's database while no broker runs on it: logins with their accounts,
// passwords, money in and out, and a list of the accounts. The administrator holds the store's
// lock for as long as the object lives, so a broker (terminal or server) that holds the database
// makes Open fail with a message saying so, and one that starts meanwhile keeps its hands off.
//
// Offline the market is not running: what an account may withdraw is its balance less the
// margin of its open lots (at their holding prices) and the money its working orders freeze;
// floating profit is not counted.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "libs/exchange/broker/broker_auth.h"
#include "libs/exchange/broker/broker_store.h"
#include "libs/exchange/calendar.h"
#include "libs/exchange/catalogue.h"

namespace tarn::exchange {

class BrokerAdmin {
 public:
  struct AccountLine {
    std::string id, login, name;
    Money balance = 0;    // previous equity + deposits - withdrawals + close profit - fees
    Money margin = 0;     // of the open lots
    Money frozen = 0;     // by working opening orders
    Money available = 0;  // balance - margin - frozen: what may be withdrawn
    int32_t lots = 0;     // open lots, summed over positions
    int32_t working = 0;  // working orders and waiting condition orders
  };

  // The store "broker.db" in `dir` (created when missing). nullptr with `error` set when a
  // broker holds it or it cannot be opened. `catalogue` prices the margins; without one the
  // standard catalogue of the store's trading day is used.
  static std::unique_ptr<BrokerAdmin> Open(const std::string& dir, std::string& error,
                                           HashCost cost = HashCost::Interactive, const Catalogue* catalogue = nullptr);
  static std::string StorePath(const std::string& dir) { return dir + "/broker.db"; }

  // A login NAME with one account NAME holding `funds` as its previous equity.
  bool Add(const std::string& name, const std::string& password, Money funds, std::string& error);
  bool SetPassword(const std::string& name, const std::string& password, std::string& error);
  bool Deposit(const std::string& account, Money amount, std::string& error);
  bool Withdraw(const std::string& account, Money amount, std::string& error);
  std::vector<AccountLine> List();

 private:
  BrokerAdmin(std::unique_ptr<BrokerStore> store, HashCost cost) : store_(std::move(store)), cost_(cost) {}
  bool Reload(std::string& error);
  BrokerStore::AccountRow* FindAccount(const std::string& id);
  AccountLine LineOf(const BrokerStore::AccountRow& a) const;
  const ContractTerms* TermsOf(const std::string& contractKey) const;
  bool Write(const std::vector<BrokerStore::LoginRow>& logins, const std::vector<BrokerStore::AccountRow>& accounts,
             std::string& error);

  std::unique_ptr<BrokerStore> store_;
  HashCost cost_;
  BrokerStore::Loaded state_;
  std::unique_ptr<TradingCalendar> calendar_;
  std::unique_ptr<Catalogue> ownCatalogue_;
  const Catalogue* catalogue_ = nullptr;
  std::vector<ContractTerms> terms_;  // by commodity
};

}  // namespace tarn::exchange
