// The broker's store: an SQLite database (write-ahead log) beside the market's, with every
// change committed before anyone hears of it, so that neither a restart nor a killed process
// loses an order, a fill or a lot.
//
//   meta(key, value)             "schema", "trading_day" (the broker's day, yyyymmdd)
//   login(user, hash, name)      password hashes only (Argon2id strings with their parameters)
//   account(id, login, seq, name, currency, pre_balance, deposit, withdrawal, close_profit,
//           fee, credit)         money in cents
//   orders(id, account, ...)     every order and condition order of every day
//   fills(id, account, ...)      every fill of every day
//   sides(account, contract, side, id, number)   open positions and their position numbers
//   lots(id, account, contract, side, ...)       open lots
//   day_start(account, contract, side, quantity) positions at the start of the trading day
//   settlement(account, trading_day, text)       the statements of settled days
//   strategy(id, account, ...)   strategy orders of the day
//   order_ref(account, ref, order_id, trading_day, sequence)   the senders' references of orders
//
// Commits use synchronous=NORMAL: with the write-ahead log a committed transaction survives a
// killed process (it is in the log the moment COMMIT returns); only a power cut may lose the
// last transactions, never the database. A file that is not a readable store of this form is
// moved aside to "<name>.damaged" and a new store is started.
//
// A store opened from a file holds "<name>.lock" for its life: one process at a time writes it
// (the broker of a terminal or a server, or the administrators' tool while none runs).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "libs/exchange/broker/broker_types.h"
#include "libs/exchange/file_lock.h"
#include "platform/sync.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tarn::exchange {

class BrokerStore {
 public:
  struct LoginRow {
    std::string user, hash, name;
  };
  struct AccountRow {
    std::string id, login, name, currency;
    Money preBalance = 0, deposit = 0, withdrawal = 0, closeProfit = 0, fee = 0, credit = 0;
  };
  struct OrderRow {
    Order order;
    std::string account, contract;
  };
  struct FillRow {
    Fill fill;
    std::string account, contract;
  };
  struct LotRow {
    Lot lot;
    std::string account, contract;
    int side = 1;
  };
  struct SideRow {
    std::string account, contract;
    int side = 1;
    uint64_t id = 0;
    std::string number;
  };
  struct StartRow {
    std::string account, contract;
    int side = 1;
    int32_t quantity = 0;
  };
  struct StrategyRow {
    StrategyOrder order;
    std::string account;
  };
  struct RefRow {
    std::string account;
    uint64_t ref = 0, orderId = 0;
    int32_t tradingDay = 0, sequence = 0;
  };
  struct Loaded {
    int32_t tradingDay = 0;  // 0: a new store
    std::vector<LoginRow> logins;
    std::vector<AccountRow> accounts;
    std::vector<OrderRow> orders;  // the day's, and condition orders still waiting
    std::vector<FillRow> fills;    // the day's
    std::vector<SideRow> sides;
    std::vector<LotRow> lots;
    std::vector<StartRow> starts;
    std::vector<StrategyRow> strategies;  // the day's
    std::vector<RefRow> refs;             // every order's reference, of every day
    uint64_t maxId = 0;
    int32_t maxOrderSequence = 0, maxFillSequence = 0, maxStrategySequence = 0;  // of the day
  };

  // nullptr with `error` set when the file cannot be opened or another process holds its lock
  // (`inUse` then tells that).
  static std::unique_ptr<BrokerStore> Open(const std::string& path, std::string* error = nullptr,
                                           bool* inUse = nullptr);
  // A store in memory that starts from the bytes of a database file (see OpenSqliteImage).
  static std::unique_ptr<BrokerStore> OpenImage(std::string_view image);
  ~BrokerStore();
  BrokerStore(const BrokerStore&) = delete;
  BrokerStore& operator=(const BrokerStore&) = delete;

  bool ReplacedDamagedFile() const { return replaced_; }
  const std::string& Path() const { return path_; }

  bool Load(Loaded& out);

  // Writing: everything between Begin and Commit is one transaction.
  bool Begin();
  bool Commit();
  void Rollback();
  bool SetMeta(const std::string& key, const std::string& value);
  bool PutLogin(const LoginRow& row);
  bool PutAccount(const AccountRow& row);
  bool PutOrder(const Order& order, const std::string& account, const std::string& contract);
  bool PutFill(const Fill& fill, const std::string& account, const std::string& contract);
  bool PutSide(const std::string& account, const std::string& contract, int side, uint64_t id, const std::string& number);
  bool DeleteSide(const std::string& account, const std::string& contract, int side);
  bool PutLot(const Lot& lot, const std::string& account, const std::string& contract, int side);
  bool DeleteLot(uint64_t id);
  bool ClearStarts(const std::string& account);
  bool PutStart(const StartRow& row);
  bool PutSettlement(const std::string& account, int32_t tradingDay, const std::string& text);
  bool PutStrategy(const StrategyOrder& order, const std::string& account);
  // A reference once stored keeps naming its first order.
  bool PutOrderRef(const RefRow& row);

  bool GetSettlement(const std::string& account, int32_t tradingDay, std::string& text);
  // Any stored order (also one of an earlier day) by its id.
  bool GetOrder(uint64_t id, OrderRow& out);

  // Whether the last failure was a damaged database (retrying cannot help), not a busy or full one.
  bool Damaged() const { return damaged_; }

 private:
  BrokerStore(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
  // `empty`: the database is known to be new, so that Load has nothing to read.
  static std::unique_ptr<BrokerStore> Adopt(sqlite3* db, std::string path, bool replaced, bool empty);
  sqlite3_stmt* Prepared(int slot, const char* sql);
  bool Exec(const char* sql);
  void NoteFailure();  // with mutex_ held, right after a failed statement

  sqlite3* db_ = nullptr;
  std::string path_;
  FileLock lock_;
  bool replaced_ = false;
  bool damaged_ = false;
  bool empty_ = false;  // new and not written since: Load reads nothing
  std::vector<sqlite3_stmt*> statements_;
  tarn::CriticalSection mutex_;
};

}  // namespace tarn::exchange
