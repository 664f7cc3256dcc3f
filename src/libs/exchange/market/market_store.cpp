#include "libs/exchange/market/market_store.h"

#include <sqlite3.h>

#include <cstdio>

#include "libs/exchange/sqlite_file.h"

namespace tarn::exchange {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS settlement(trading_day INTEGER NOT NULL, contract TEXT NOT NULL,"
    " close REAL NOT NULL, settlement REAL NOT NULL, open_interest INTEGER NOT NULL,"
    " volume INTEGER NOT NULL, PRIMARY KEY(trading_day, contract));";

// The columns this code reads, so that a file of another form is refused at opening.
constexpr const char* kProbes[] = {
    "SELECT key, value FROM meta LIMIT 1",
    "SELECT trading_day, contract, close, settlement, open_interest, volume FROM settlement LIMIT 1",
};

SqliteStoreForm StoreForm() { return {"PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", kSchema, kProbes}; }

// A prepared statement that finalises itself.
class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) == SQLITE_OK; }
  ~Stmt() { sqlite3_finalize(st_); }
  bool Ok() const { return ok_; }
  sqlite3_stmt* get() { return st_; }

 private:
  sqlite3_stmt* st_ = nullptr;
  bool ok_ = false;
};

}  // namespace

std::unique_ptr<MarketStore> MarketStore::Open(const std::string& path, std::string* error) {
  bool replaced = false;
  sqlite3* db = OpenSqliteStore(path, StoreForm(), replaced);
  if (!db) {
    if (error) *error = "cannot open the exchange store " + path;
    return nullptr;
  }
  return Adopt(db, replaced);
}

std::unique_ptr<MarketStore> MarketStore::OpenImage(std::string_view image) {
  bool replaced = false;
  sqlite3* db = OpenSqliteImage(image, StoreForm(), replaced);
  return db ? Adopt(db, replaced) : nullptr;
}

std::unique_ptr<MarketStore> MarketStore::Adopt(sqlite3* db, bool replaced) {
  std::unique_ptr<MarketStore> store(new MarketStore(db));
  store->replaced_ = replaced;
  std::string schema;
  if (!store->GetMeta("schema", schema)) store->SetMeta("schema", "1");
  return store;
}

MarketStore::~MarketStore() { sqlite3_close(db_); }

bool MarketStore::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool MarketStore::GetMeta(const std::string& key, std::string& value) {
  tarn::Lock lock(mutex_);
  Stmt st(db_, "SELECT value FROM meta WHERE key = ?1");
  if (!st.Ok()) return false;
  sqlite3_bind_text(st.get(), 1, key.c_str(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.get()) != SQLITE_ROW) return false;
  const unsigned char* text = sqlite3_column_text(st.get(), 0);
  value.assign(text ? reinterpret_cast<const char*>(text) : "");
  return true;
}

bool MarketStore::SetMeta(const std::string& key, const std::string& value) {
  tarn::Lock lock(mutex_);
  Stmt st(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)");
  if (!st.Ok()) return false;
  sqlite3_bind_text(st.get(), 1, key.c_str(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.get(), 2, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  return sqlite3_step(st.get()) == SQLITE_DONE;
}

bool MarketStore::SaveSettlements(const std::vector<SettlementRow>& rows) {
  tarn::Lock lock(mutex_);
  if (!Exec("BEGIN IMMEDIATE")) return false;
  bool ok = true;
  {
    Stmt st(db_,
            "INSERT OR REPLACE INTO settlement(trading_day, contract, close, settlement, open_interest, volume)"
            " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    ok = st.Ok();
    for (const SettlementRow& r : rows) {
      if (!ok) break;
      sqlite3_reset(st.get());
      sqlite3_bind_int(st.get(), 1, r.tradingDay);
      sqlite3_bind_text(st.get(), 2, r.contract.c_str(), static_cast<int>(r.contract.size()), SQLITE_TRANSIENT);
      sqlite3_bind_double(st.get(), 3, r.close);
      sqlite3_bind_double(st.get(), 4, r.settlement);
      sqlite3_bind_int64(st.get(), 5, r.openInterest);
      sqlite3_bind_int64(st.get(), 6, r.volume);
      ok = sqlite3_step(st.get()) == SQLITE_DONE;
    }
  }
  if (!ok) {
    Exec("ROLLBACK");
    return false;
  }
  return Exec("COMMIT");
}

bool MarketStore::LoadSettlements(int32_t tradingDay, std::vector<SettlementRow>& rows) {
  tarn::Lock lock(mutex_);
  rows.clear();
  Stmt st(db_,
          "SELECT contract, close, settlement, open_interest, volume FROM settlement WHERE trading_day = ?1"
          " ORDER BY contract");
  if (!st.Ok()) return false;
  sqlite3_bind_int(st.get(), 1, tradingDay);
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    SettlementRow r;
    r.tradingDay = tradingDay;
    const unsigned char* text = sqlite3_column_text(st.get(), 0);
    r.contract.assign(text ? reinterpret_cast<const char*>(text) : "");
    r.close = sqlite3_column_double(st.get(), 1);
    r.settlement = sqlite3_column_double(st.get(), 2);
    r.openInterest = sqlite3_column_int64(st.get(), 3);
    r.volume = sqlite3_column_int64(st.get(), 4);
    rows.push_back(std::move(r));
  }
  return rc == SQLITE_DONE;
}

bool MarketStore::HasSettlements(int32_t tradingDay) {
  tarn::Lock lock(mutex_);
  Stmt st(db_, "SELECT 1 FROM settlement WHERE trading_day = ?1 LIMIT 1");
  if (!st.Ok()) return false;
  sqlite3_bind_int(st.get(), 1, tradingDay);
  return sqlite3_step(st.get()) == SQLITE_ROW;
}

}  // namespace tarn::exchange
