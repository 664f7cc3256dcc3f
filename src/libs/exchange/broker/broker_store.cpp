#include "libs/exchange/broker/broker_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "libs/exchange/sqlite_file.h"
#include "platform/text.h"

namespace tarn::exchange {
namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS login(user TEXT PRIMARY KEY, hash TEXT NOT NULL, name BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS account(id TEXT PRIMARY KEY, login TEXT NOT NULL, seq INTEGER NOT NULL,"
    " name BLOB NOT NULL, currency TEXT NOT NULL, pre_balance INTEGER NOT NULL, deposit INTEGER NOT NULL,"
    " withdrawal INTEGER NOT NULL, close_profit INTEGER NOT NULL, fee INTEGER NOT NULL, credit INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS orders(id INTEGER PRIMARY KEY, account TEXT NOT NULL, trading_day INTEGER NOT NULL,"
    " sequence INTEGER NOT NULL, contract TEXT NOT NULL, direction INTEGER NOT NULL, offset INTEGER NOT NULL,"
    " market INTEGER NOT NULL, condition INTEGER NOT NULL, state INTEGER NOT NULL, price INTEGER NOT NULL,"
    " quantity INTEGER NOT NULL, filled INTEGER NOT NULL, fill_count INTEGER NOT NULL, fill_value INTEGER NOT NULL,"
    " error_code INTEGER NOT NULL, error_text BLOB NOT NULL, insert_ms INTEGER NOT NULL, update_ms INTEGER NOT NULL,"
    " position_number TEXT NOT NULL, trigger_basis INTEGER NOT NULL, kind INTEGER NOT NULL,"
    " send_mode INTEGER NOT NULL, long_term INTEGER NOT NULL, trigger_price INTEGER NOT NULL,"
    " send_price INTEGER NOT NULL, ticks INTEGER NOT NULL, stop INTEGER NOT NULL, extreme INTEGER NOT NULL,"
    " triggered INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS orders_day ON orders(trading_day);"
    "CREATE TABLE IF NOT EXISTS fills(id INTEGER PRIMARY KEY, account TEXT NOT NULL, trading_day INTEGER NOT NULL,"
    " sequence INTEGER NOT NULL, order_id INTEGER NOT NULL, order_key TEXT NOT NULL, contract TEXT NOT NULL,"
    " direction INTEGER NOT NULL, offset INTEGER NOT NULL, price INTEGER NOT NULL, quantity INTEGER NOT NULL,"
    " fee INTEGER NOT NULL, close_profit INTEGER NOT NULL, time_ms INTEGER NOT NULL, position_number TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS fills_day ON fills(trading_day);"
    "CREATE TABLE IF NOT EXISTS sides(account TEXT NOT NULL, contract TEXT NOT NULL, side INTEGER NOT NULL,"
    " id INTEGER NOT NULL, number TEXT NOT NULL, PRIMARY KEY(account, contract, side));"
    "CREATE TABLE IF NOT EXISTS lots(id INTEGER PRIMARY KEY, account TEXT NOT NULL, contract TEXT NOT NULL,"
    " side INTEGER NOT NULL, number TEXT NOT NULL, fill_number TEXT NOT NULL, quantity INTEGER NOT NULL,"
    " today INTEGER NOT NULL, open_price INTEGER NOT NULL, hold_price INTEGER NOT NULL, open_ms INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS day_start(account TEXT NOT NULL, contract TEXT NOT NULL, side INTEGER NOT NULL,"
    " quantity INTEGER NOT NULL, PRIMARY KEY(account, contract, side));"
    "CREATE TABLE IF NOT EXISTS settlement(account TEXT NOT NULL, trading_day INTEGER NOT NULL, text BLOB NOT NULL,"
    " PRIMARY KEY(account, trading_day));"
    "CREATE TABLE IF NOT EXISTS strategy(id INTEGER PRIMARY KEY, account TEXT NOT NULL, trading_day INTEGER NOT NULL,"
    " sequence INTEGER NOT NULL, state INTEGER NOT NULL, units INTEGER NOT NULL, payload BLOB NOT NULL,"
    " error_text BLOB NOT NULL, insert_ms INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS strategy_run(id INTEGER PRIMARY KEY, data BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS order_ref(account TEXT NOT NULL, ref INTEGER NOT NULL, order_id INTEGER NOT NULL,"
    " trading_day INTEGER NOT NULL, sequence INTEGER NOT NULL, PRIMARY KEY(account, ref));";

// Every column the reader reads, so that a file of another form is refused at opening.
constexpr const char* kProbes[] = {
    "SELECT key, value FROM meta LIMIT 1",
    "SELECT user, hash, name FROM login LIMIT 1",
    "SELECT id, login, seq, name, currency, pre_balance, deposit, withdrawal, close_profit, fee, credit FROM account LIMIT 1",
    ("SELECT id, account, trading_day, sequence, contract, direction, offset, market, condition, state, price, quantity,"
    " filled, fill_count, fill_value, error_code, error_text, insert_ms, update_ms, position_number, trigger_basis,"
    " kind, send_mode, long_term, trigger_price, send_price, ticks, stop, extreme, triggered FROM orders LIMIT 1"),
    ("SELECT id, account, trading_day, sequence, order_id, order_key, contract, direction, offset, price, quantity,"
    " fee, close_profit, time_ms, position_number FROM fills LIMIT 1"),
    "SELECT account, contract, side, id, number FROM sides LIMIT 1",
    "SELECT id, account, contract, side, number, fill_number, quantity, today, open_price, hold_price, open_ms FROM lots LIMIT 1",
    "SELECT account, contract, side, quantity FROM day_start LIMIT 1",
    "SELECT account, trading_day, text FROM settlement LIMIT 1",
    "SELECT id, account, trading_day, sequence, state, units, payload, error_text, insert_ms FROM strategy LIMIT 1",
    "SELECT account, ref, order_id, trading_day, sequence FROM order_ref LIMIT 1",
};

SqliteStoreForm StoreForm() {
  return {"PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", kSchema, kProbes};
}

// Statement slots of the writer.
enum Slot {
  kSetMeta, kPutLogin, kPutAccount, kPutOrder, kPutFill, kPutSide, kDeleteSide, kPutLot, kDeleteLot,
  kClearStarts, kPutStart, kPutSettlement, kGetSettlement, kPutStrategy, kPutStrategyRun, kPutOrderRef, kGetOrder,
  kSlotCount
};

std::string ColumnText(sqlite3_stmt* st, int i) {
  const void* p = sqlite3_column_blob(st, i);
  const int n = sqlite3_column_bytes(st, i);
  return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

template <std::size_t N>
void ColumnField(sqlite3_stmt* st, int i, char (&field)[N]) {
  SetField(field, ColumnText(st, i));
}

void BindText(sqlite3_stmt* st, int i, std::string_view s) {
  sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
void BindBlob(sqlite3_stmt* st, int i, std::string_view s) {
  sqlite3_bind_blob(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// A read statement that finalises itself.
class Query {
 public:
  Query(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) == SQLITE_OK; }
  ~Query() { sqlite3_finalize(st_); }
  bool Ok() const { return ok_; }
  sqlite3_stmt* get() { return st_; }
  bool Row() { return ok_ && (rc_ = sqlite3_step(st_)) == SQLITE_ROW; }
  bool Done() const { return rc_ == SQLITE_DONE; }

 private:
  sqlite3_stmt* st_ = nullptr;
  bool ok_ = false;
  int rc_ = SQLITE_DONE;
};

constexpr const char* kOrderColumns =
    "id, account, trading_day, sequence, contract, direction, offset, market, condition, state, price,"
    " quantity, filled, fill_count, fill_value, error_code, error_text, insert_ms, update_ms, position_number,"
    " trigger_basis, kind, send_mode, long_term, trigger_price, send_price, ticks, stop, extreme, triggered";

// One row of kOrderColumns.
void ReadOrder(sqlite3_stmt* s, BrokerStore::OrderRow& r) {
  Order& o = r.order;
  o.id = static_cast<uint64_t>(sqlite3_column_int64(s, 0));
  r.account = ColumnText(s, 1);
  o.tradingDay = sqlite3_column_int(s, 2);
  o.sequence = sqlite3_column_int(s, 3);
  r.contract = ColumnText(s, 4);
  o.direction = static_cast<int8_t>(sqlite3_column_int(s, 5));
  o.offset = static_cast<int8_t>(sqlite3_column_int(s, 6));
  o.market = sqlite3_column_int(s, 7) != 0;
  o.condition = sqlite3_column_int(s, 8) != 0;
  o.state = static_cast<int8_t>(sqlite3_column_int(s, 9));
  o.price = sqlite3_column_int(s, 10);
  o.quantity = sqlite3_column_int(s, 11);
  o.filled = sqlite3_column_int(s, 12);
  o.fillCount = sqlite3_column_int(s, 13);
  o.fillValue = sqlite3_column_int64(s, 14);
  o.errorCode = sqlite3_column_int(s, 15);
  ColumnField(s, 16, o.errorText);
  o.insertMs = sqlite3_column_int64(s, 17);
  o.updateMs = sqlite3_column_int64(s, 18);
  ColumnField(s, 19, o.positionNumber);
  o.triggerBasis = static_cast<int8_t>(sqlite3_column_int(s, 20));
  o.kind = static_cast<int8_t>(sqlite3_column_int(s, 21));
  o.sendMode = static_cast<int8_t>(sqlite3_column_int(s, 22));
  o.longTerm = sqlite3_column_int(s, 23) != 0;
  o.trigger = sqlite3_column_int(s, 24);
  o.sendPrice = sqlite3_column_int(s, 25);
  o.ticks = sqlite3_column_int(s, 26);
  o.stop = sqlite3_column_int(s, 27);
  o.extreme = sqlite3_column_int(s, 28);
  o.triggeredSequence = sqlite3_column_int(s, 29);
}

}  // namespace

std::unique_ptr<BrokerStore> BrokerStore::Open(const std::string& path, std::string* error, bool* inUse) {
  if (inUse) *inUse = false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  FileLock lock;
  const FileLock::Result locked = lock.Acquire(path + ".lock");
  if (locked != FileLock::Result::Acquired) {
    if (inUse) *inUse = locked == FileLock::Result::Held;
    if (error)
      *error = locked == FileLock::Result::Held ? "the broker store " + path + " is in use by another process"
                                                : "cannot lock the broker store " + path;
    return nullptr;
  }
  bool replaced = false;
  sqlite3* db = OpenSqliteStore(path, StoreForm(), replaced);
  if (!db) {
    if (error) *error = "cannot open the broker store " + path;
    return nullptr;
  }
  std::unique_ptr<BrokerStore> store = Adopt(db, path, replaced, false);
  store->lock_ = std::move(lock);  // held as long as the store is open
  return store;
}

std::unique_ptr<BrokerStore> BrokerStore::OpenImage(std::string_view image) {
  bool replaced = false;
  sqlite3* db = OpenSqliteImage(image, StoreForm(), replaced);
  return db ? Adopt(db, ":memory:", replaced, image.empty() || replaced) : nullptr;
}

std::unique_ptr<BrokerStore> BrokerStore::Adopt(sqlite3* db, std::string path, bool replaced, bool empty) {
  std::unique_ptr<BrokerStore> store(new BrokerStore(db, std::move(path)));
  store->replaced_ = replaced;
  store->statements_.assign(kSlotCount, nullptr);
  store->SetMeta("schema", "1");
  store->empty_ = empty;  // the schema's mark is nothing Load reads
  return store;
}

BrokerStore::~BrokerStore() {
  for (sqlite3_stmt* st : statements_) sqlite3_finalize(st);
  sqlite3_close(db_);
}

bool BrokerStore::Exec(const char* sql) {
  empty_ = false;
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* BrokerStore::Prepared(int slot, const char* sql) {
  empty_ = false;  // a statement of the writer: the store may hold rows from now on
  sqlite3_stmt*& st = statements_[static_cast<std::size_t>(slot)];
  if (!st && sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    st = nullptr;
    return nullptr;
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  return st;
}

bool BrokerStore::Begin() {
  tarn::Lock lock(mutex_);
  damaged_ = false;
  if (Exec("BEGIN IMMEDIATE")) return true;
  NoteFailure();
  return false;
}

bool BrokerStore::Commit() {
  tarn::Lock lock(mutex_);
  if (Exec("COMMIT")) return true;
  NoteFailure();
  Exec("ROLLBACK");
  return false;
}

void BrokerStore::Rollback() {
  tarn::Lock lock(mutex_);
  NoteFailure();
  Exec("ROLLBACK");
}

void BrokerStore::NoteFailure() {
  const int rc = sqlite3_errcode(db_);
  damaged_ = damaged_ || rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

bool BrokerStore::SetMeta(const std::string& key, const std::string& value) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kSetMeta, "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)");
  if (!st) return false;
  BindText(st, 1, key);
  BindText(st, 2, value);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutLogin(const LoginRow& r) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutLogin, "INSERT OR REPLACE INTO login(user, hash, name) VALUES(?1, ?2, ?3)");
  if (!st) return false;
  BindText(st, 1, r.user);
  BindText(st, 2, r.hash);
  BindBlob(st, 3, r.name);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutAccount(const AccountRow& r) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutAccount,
                              "INSERT INTO account(id, login, seq, name, currency, pre_balance, deposit, withdrawal,"
                              " close_profit, fee, credit) VALUES(?1, ?2, (SELECT COUNT(*) FROM account), ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                              " ON CONFLICT(id) DO UPDATE SET login = ?2, name = ?3, currency = ?4, pre_balance = ?5,"
                              " deposit = ?6, withdrawal = ?7, close_profit = ?8, fee = ?9, credit = ?10");
  if (!st) return false;
  BindText(st, 1, r.id);
  BindText(st, 2, r.login);
  BindBlob(st, 3, r.name);
  BindText(st, 4, r.currency);
  sqlite3_bind_int64(st, 5, r.preBalance);
  sqlite3_bind_int64(st, 6, r.deposit);
  sqlite3_bind_int64(st, 7, r.withdrawal);
  sqlite3_bind_int64(st, 8, r.closeProfit);
  sqlite3_bind_int64(st, 9, r.fee);
  sqlite3_bind_int64(st, 10, r.credit);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutOrder(const Order& o, const std::string& account, const std::string& contract) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(
      kPutOrder,
      "INSERT OR REPLACE INTO orders(id, account, trading_day, sequence, contract, direction, offset, market, condition,"
      " state, price, quantity, filled, fill_count, fill_value, error_code, error_text, insert_ms, update_ms,"
      " position_number, trigger_basis, kind, send_mode, long_term, trigger_price, send_price, ticks, stop, extreme,"
      " triggered) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20,"
      " ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29, ?30)");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(o.id));
  BindText(st, 2, account);
  sqlite3_bind_int(st, 3, o.tradingDay);
  sqlite3_bind_int(st, 4, o.sequence);
  BindText(st, 5, contract);
  sqlite3_bind_int(st, 6, o.direction);
  sqlite3_bind_int(st, 7, o.offset);
  sqlite3_bind_int(st, 8, o.market ? 1 : 0);
  sqlite3_bind_int(st, 9, o.condition ? 1 : 0);
  sqlite3_bind_int(st, 10, o.state);
  sqlite3_bind_int(st, 11, o.price);
  sqlite3_bind_int(st, 12, o.quantity);
  sqlite3_bind_int(st, 13, o.filled);
  sqlite3_bind_int(st, 14, o.fillCount);
  sqlite3_bind_int64(st, 15, o.fillValue);
  sqlite3_bind_int(st, 16, o.errorCode);
  BindBlob(st, 17, Field(o.errorText));
  sqlite3_bind_int64(st, 18, o.insertMs);
  sqlite3_bind_int64(st, 19, o.updateMs);
  BindText(st, 20, Field(o.positionNumber));
  sqlite3_bind_int(st, 21, o.triggerBasis);
  sqlite3_bind_int(st, 22, o.kind);
  sqlite3_bind_int(st, 23, o.sendMode);
  sqlite3_bind_int(st, 24, o.longTerm ? 1 : 0);
  sqlite3_bind_int(st, 25, o.trigger);
  sqlite3_bind_int(st, 26, o.sendPrice);
  sqlite3_bind_int(st, 27, o.ticks);
  sqlite3_bind_int(st, 28, o.stop);
  sqlite3_bind_int(st, 29, o.extreme);
  sqlite3_bind_int(st, 30, o.triggeredSequence);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutFill(const Fill& f, const std::string& account, const std::string& contract) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutFill,
                              "INSERT OR REPLACE INTO fills(id, account, trading_day, sequence, order_id, order_key,"
                              " contract, direction, offset, price, quantity, fee, close_profit, time_ms, position_number)"
                              " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(f.id));
  BindText(st, 2, account);
  sqlite3_bind_int(st, 3, f.tradingDay);
  sqlite3_bind_int(st, 4, f.sequence);
  sqlite3_bind_int64(st, 5, static_cast<int64_t>(f.orderId));
  BindText(st, 6, Field(f.orderKey));
  BindText(st, 7, contract);
  sqlite3_bind_int(st, 8, f.direction);
  sqlite3_bind_int(st, 9, f.offset);
  sqlite3_bind_int(st, 10, f.price);
  sqlite3_bind_int(st, 11, f.quantity);
  sqlite3_bind_int64(st, 12, f.fee);
  sqlite3_bind_int64(st, 13, f.closeProfit);
  sqlite3_bind_int64(st, 14, f.timeMs);
  BindText(st, 15, Field(f.positionNumber));
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutSide(const std::string& account, const std::string& contract, int side, uint64_t id,
                          const std::string& number) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutSide,
                              "INSERT OR REPLACE INTO sides(account, contract, side, id, number) VALUES(?1, ?2, ?3, ?4, ?5)");
  if (!st) return false;
  BindText(st, 1, account);
  BindText(st, 2, contract);
  sqlite3_bind_int(st, 3, side);
  sqlite3_bind_int64(st, 4, static_cast<int64_t>(id));
  BindText(st, 5, number);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::DeleteSide(const std::string& account, const std::string& contract, int side) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kDeleteSide, "DELETE FROM sides WHERE account = ?1 AND contract = ?2 AND side = ?3");
  if (!st) return false;
  BindText(st, 1, account);
  BindText(st, 2, contract);
  sqlite3_bind_int(st, 3, side);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutLot(const Lot& l, const std::string& account, const std::string& contract, int side) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutLot,
                              "INSERT OR REPLACE INTO lots(id, account, contract, side, number, fill_number, quantity,"
                              " today, open_price, hold_price, open_ms) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(l.id));
  BindText(st, 2, account);
  BindText(st, 3, contract);
  sqlite3_bind_int(st, 4, side);
  BindText(st, 5, Field(l.number));
  BindText(st, 6, Field(l.fillNumber));
  sqlite3_bind_int(st, 7, l.quantity);
  sqlite3_bind_int(st, 8, l.today ? 1 : 0);
  sqlite3_bind_int(st, 9, l.open);
  sqlite3_bind_int(st, 10, l.hold);
  sqlite3_bind_int64(st, 11, l.openMs);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::DeleteLot(uint64_t id) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kDeleteLot, "DELETE FROM lots WHERE id = ?1");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(id));
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::ClearStarts(const std::string& account) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kClearStarts, "DELETE FROM day_start WHERE account = ?1");
  if (!st) return false;
  BindText(st, 1, account);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutStart(const StartRow& r) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutStart,
                              "INSERT OR REPLACE INTO day_start(account, contract, side, quantity) VALUES(?1, ?2, ?3, ?4)");
  if (!st) return false;
  BindText(st, 1, r.account);
  BindText(st, 2, r.contract);
  sqlite3_bind_int(st, 3, r.side);
  sqlite3_bind_int(st, 4, r.quantity);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutSettlement(const std::string& account, int32_t tradingDay, const std::string& text) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutSettlement,
                              "INSERT OR REPLACE INTO settlement(account, trading_day, text) VALUES(?1, ?2, ?3)");
  if (!st) return false;
  BindText(st, 1, account);
  sqlite3_bind_int(st, 2, tradingDay);
  BindBlob(st, 3, text);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::PutOrderRef(const RefRow& r) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutOrderRef,
                              "INSERT OR IGNORE INTO order_ref(account, ref, order_id, trading_day, sequence)"
                              " VALUES(?1, ?2, ?3, ?4, ?5)");
  if (!st) return false;
  BindText(st, 1, r.account);
  sqlite3_bind_int64(st, 2, static_cast<int64_t>(r.ref));
  sqlite3_bind_int64(st, 3, static_cast<int64_t>(r.orderId));
  sqlite3_bind_int(st, 4, r.tradingDay);
  sqlite3_bind_int(st, 5, r.sequence);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::GetOrder(uint64_t id, OrderRow& out) {
  tarn::Lock lock(mutex_);
  static const std::string sql = std::string("SELECT ") + kOrderColumns + " FROM orders WHERE id = ?1";
  sqlite3_stmt* st = Prepared(kGetOrder, sql.c_str());
  if (!st) return false;
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(id));
  if (sqlite3_step(st) != SQLITE_ROW) return false;
  ReadOrder(st, out);
  return true;
}

bool BrokerStore::GetSettlement(const std::string& account, int32_t tradingDay, std::string& text) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kGetSettlement, "SELECT text FROM settlement WHERE account = ?1 AND trading_day = ?2");
  if (!st) return false;
  BindText(st, 1, account);
  sqlite3_bind_int(st, 2, tradingDay);
  if (sqlite3_step(st) != SQLITE_ROW) return false;
  text = ColumnText(st, 0);
  sqlite3_reset(st);
  return true;
}

bool BrokerStore::PutStrategy(const StrategyOrder& s, const std::string& account) {
  tarn::Lock lock(mutex_);
  sqlite3_stmt* st = Prepared(kPutStrategy,
                              "INSERT OR REPLACE INTO strategy(id, account, trading_day, sequence, state, units, payload,"
                              " error_text, insert_ms) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(s.id));
  BindText(st, 2, account);
  sqlite3_bind_int(st, 3, s.tradingDay);
  sqlite3_bind_int(st, 4, s.sequence);
  sqlite3_bind_int(st, 5, static_cast<unsigned char>(s.state));
  sqlite3_bind_int(st, 6, s.unitsDone);
  BindBlob(st, 7, s.payload);
  BindBlob(st, 8, s.errorText);
  sqlite3_bind_int64(st, 9, s.insertMs);
  if (sqlite3_step(st) != SQLITE_DONE) return false;
  // The broker's definition and progress of the order, in a table of its own (stores made
  // before strategy orders ran have none).
  st = Prepared(kPutStrategyRun, "INSERT OR REPLACE INTO strategy_run(id, data) VALUES(?1, ?2)");
  if (!st) return false;
  sqlite3_bind_int64(st, 1, static_cast<int64_t>(s.id));
  BindBlob(st, 2, s.run);
  return sqlite3_step(st) == SQLITE_DONE;
}

bool BrokerStore::Load(Loaded& out) {
  tarn::Lock lock(mutex_);
  out = Loaded{};
  // A new store holds no row: each of the queries below would be prepared for nothing.
  if (empty_) return true;
  bool ok = true;
  {
    Query q(db_, "SELECT value FROM meta WHERE key = 'trading_day'");
    if (q.Row()) out.tradingDay = static_cast<int32_t>(std::strtol(ColumnText(q.get(), 0).c_str(), nullptr, 10));
  }
  {
    Query q(db_, "SELECT user, hash, name FROM login ORDER BY user");
    while (q.Row()) out.logins.push_back({ColumnText(q.get(), 0), ColumnText(q.get(), 1), ColumnText(q.get(), 2)});
    ok = ok && q.Done();
  }
  {
    Query q(db_,
            "SELECT id, login, name, currency, pre_balance, deposit, withdrawal, close_profit, fee, credit FROM account"
            " ORDER BY seq, id");
    while (q.Row()) {
      sqlite3_stmt* s = q.get();
      AccountRow r;
      r.id = ColumnText(s, 0);
      r.login = ColumnText(s, 1);
      r.name = ColumnText(s, 2);
      r.currency = ColumnText(s, 3);
      r.preBalance = sqlite3_column_int64(s, 4);
      r.deposit = sqlite3_column_int64(s, 5);
      r.withdrawal = sqlite3_column_int64(s, 6);
      r.closeProfit = sqlite3_column_int64(s, 7);
      r.fee = sqlite3_column_int64(s, 8);
      r.credit = sqlite3_column_int64(s, 9);
      out.accounts.push_back(std::move(r));
    }
    ok = ok && q.Done();
  }
  {
    const std::string sql = std::string("SELECT ") + kOrderColumns +
                            " FROM orders WHERE trading_day = ?1 OR (condition = 1 AND state = 11) ORDER BY id";
    Query q(db_, sql.c_str());
    sqlite3_bind_int(q.get(), 1, out.tradingDay);
    while (q.Row()) {
      OrderRow r;
      ReadOrder(q.get(), r);
      out.orders.push_back(std::move(r));
    }
    ok = ok && q.Done();
  }
  {
    Query q(db_,
            "SELECT id, account, trading_day, sequence, order_id, order_key, contract, direction, offset, price,"
            " quantity, fee, close_profit, time_ms, position_number FROM fills WHERE trading_day = ?1 ORDER BY id");
    sqlite3_bind_int(q.get(), 1, out.tradingDay);
    while (q.Row()) {
      sqlite3_stmt* s = q.get();
      FillRow r;
      Fill& f = r.fill;
      f.id = static_cast<uint64_t>(sqlite3_column_int64(s, 0));
      r.account = ColumnText(s, 1);
      f.tradingDay = sqlite3_column_int(s, 2);
      f.sequence = sqlite3_column_int(s, 3);
      f.orderId = static_cast<uint64_t>(sqlite3_column_int64(s, 4));
      ColumnField(s, 5, f.orderKey);
      r.contract = ColumnText(s, 6);
      f.direction = static_cast<int8_t>(sqlite3_column_int(s, 7));
      f.offset = static_cast<int8_t>(sqlite3_column_int(s, 8));
      f.price = sqlite3_column_int(s, 9);
      f.quantity = sqlite3_column_int(s, 10);
      f.fee = sqlite3_column_int64(s, 11);
      f.closeProfit = sqlite3_column_int64(s, 12);
      f.timeMs = sqlite3_column_int64(s, 13);
      ColumnField(s, 14, f.positionNumber);
      out.fills.push_back(std::move(r));
    }
    ok = ok && q.Done();
  }
  {
    Query q(db_, "SELECT account, contract, side, id, number FROM sides ORDER BY id");
    while (q.Row()) {
      sqlite3_stmt* s = q.get();
      out.sides.push_back({ColumnText(s, 0), ColumnText(s, 1), sqlite3_column_int(s, 2),
                           static_cast<uint64_t>(sqlite3_column_int64(s, 3)), ColumnText(s, 4)});
    }
    ok = ok && q.Done();
  }
  {
    Query q(db_,
            "SELECT id, account, contract, side, number, fill_number, quantity, today, open_price, hold_price, open_ms"
            " FROM lots ORDER BY id");
    while (q.Row()) {
      sqlite3_stmt* s = q.get();
      LotRow r;
      r.lot.id = static_cast<uint64_t>(sqlite3_column_int64(s, 0));
      r.account = ColumnText(s, 1);
      r.contract = ColumnText(s, 2);
      r.side = sqlite3_column_int(s, 3);
      ColumnField(s, 4, r.lot.number);
      ColumnField(s, 5, r.lot.fillNumber);
      r.lot.quantity = sqlite3_column_int(s, 6);
      r.lot.today = sqlite3_column_int(s, 7) != 0;
      r.lot.open = sqlite3_column_int(s, 8);
      r.lot.hold = sqlite3_column_int(s, 9);
      r.lot.openMs = sqlite3_column_int64(s, 10);
      out.lots.push_back(std::move(r));
    }
    ok = ok && q.Done();
  }
  {
    Query q(db_, "SELECT account, contract, side, quantity FROM day_start");
    while (q.Row()) {
      sqlite3_stmt* s = q.get();
      out.starts.push_back({ColumnText(s, 0), ColumnText(s, 1), sqlite3_column_int(s, 2), sqlite3_column_int(s, 3)});
    }
    ok = ok && q.Done();
  }
  {
    Query q(db_,
            "SELECT s.id, s.account, s.trading_day, s.sequence, s.state, s.units, s.payload, s.error_text, s.insert_ms,"
            " r.data FROM strategy s LEFT JOIN strategy_run r ON r.id = s.id WHERE s.trading_day = ?1 ORDER BY s.id");
    sqlite3_bind_int(q.get(), 1, out.tradingDay);
    while (q.Row()) {
      sqlite3_stmt* s = q.get();
      StrategyRow r;
      r.order.id = static_cast<uint64_t>(sqlite3_column_int64(s, 0));
      r.account = ColumnText(s, 1);
      r.order.tradingDay = sqlite3_column_int(s, 2);
      r.order.sequence = sqlite3_column_int(s, 3);
      r.order.state = static_cast<char>(sqlite3_column_int(s, 4));
      r.order.unitsDone = sqlite3_column_int(s, 5);
      r.order.payload = ColumnText(s, 6);
      r.order.errorText = ColumnText(s, 7);
      r.order.insertMs = sqlite3_column_int64(s, 8);
      r.order.run = ColumnText(s, 9);
      out.strategies.push_back(std::move(r));
    }
    ok = ok && q.Done();
  }
  {
    Query q(db_, "SELECT account, ref, order_id, trading_day, sequence FROM order_ref");
    while (q.Row()) {
      sqlite3_stmt* s = q.get();
      out.refs.push_back({ColumnText(s, 0), static_cast<uint64_t>(sqlite3_column_int64(s, 1)),
                          static_cast<uint64_t>(sqlite3_column_int64(s, 2)), sqlite3_column_int(s, 3),
                          sqlite3_column_int(s, 4)});
    }
    ok = ok && q.Done();
  }
  {
    Query q(db_,
            "SELECT MAX(m) FROM (SELECT MAX(id) AS m FROM orders UNION ALL SELECT MAX(id) FROM fills UNION ALL"
            " SELECT MAX(id) FROM lots UNION ALL SELECT MAX(id) FROM sides UNION ALL SELECT MAX(id) FROM strategy)");
    if (q.Row()) out.maxId = static_cast<uint64_t>(sqlite3_column_int64(q.get(), 0));
  }
  auto maxOf = [&](const char* sql) {
    Query q(db_, sql);
    sqlite3_bind_int(q.get(), 1, out.tradingDay);
    return q.Row() ? sqlite3_column_int(q.get(), 0) : 0;
  };
  out.maxOrderSequence = maxOf("SELECT MAX(sequence) FROM orders WHERE trading_day = ?1");
  out.maxFillSequence = maxOf("SELECT MAX(sequence) FROM fills WHERE trading_day = ?1");
  out.maxStrategySequence = maxOf("SELECT MAX(sequence) FROM strategy WHERE trading_day = ?1");
  return ok;
}

}  // namespace tarn::exchange
