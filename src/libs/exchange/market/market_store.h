// The embedded exchange's store: an SQLite database (write-ahead log, every change committed)
// with the market's parameters and the ledger of settled days.
//
//   meta(key TEXT PRIMARY KEY, value TEXT)        "schema", "seed", "origin" (yyyymmdd), "created"
//   settlement(trading_day, contract, close, settlement, open_interest, volume)
//                                                 one row per contract and settled trading day
//
// A file that is not a readable database of this form is moved aside (to "<name>.damaged") and
// a new store is started, so a damaged file never stops the market.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sync.h"

struct sqlite3;

namespace tarn::exchange {

class MarketStore {
 public:
  struct SettlementRow {
    int32_t tradingDay = 0;
    std::string contract;  // contract key
    double close = 0;
    double settlement = 0;
    int64_t openInterest = 0;
    int64_t volume = 0;
  };

  // Opens or creates the store at a native path (its folder is created). Nullptr with `error`
  // when no store can be had at all.
  static std::unique_ptr<MarketStore> Open(const std::string& path, std::string* error = nullptr);
  // A store in memory that starts from the bytes of a database file (see OpenSqliteImage).
  static std::unique_ptr<MarketStore> OpenImage(std::string_view image);
  ~MarketStore();
  MarketStore(const MarketStore&) = delete;
  MarketStore& operator=(const MarketStore&) = delete;

  // True when the file found at Open was damaged and has been replaced.
  bool ReplacedDamagedFile() const { return replaced_; }

  bool GetMeta(const std::string& key, std::string& value);
  bool SetMeta(const std::string& key, const std::string& value);
  // Writes the rows in one transaction (rows already there are replaced).
  bool SaveSettlements(const std::vector<SettlementRow>& rows);
  bool LoadSettlements(int32_t tradingDay, std::vector<SettlementRow>& rows);
  bool HasSettlements(int32_t tradingDay);

 private:
  explicit MarketStore(sqlite3* db) : db_(db) {}
  static std::unique_ptr<MarketStore> Adopt(sqlite3* db, bool replaced);
  bool Exec(const char* sql);

  sqlite3* db_ = nullptr;
  bool replaced_ = false;
  tarn::CriticalSection mutex_;
};

}  // namespace tarn::exchange
