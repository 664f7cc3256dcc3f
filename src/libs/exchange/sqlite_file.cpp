#include "libs/exchange/sqlite_file.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>

namespace tarn::exchange {

namespace {

// Each store serialises every use of its connection under its own mutex (BrokerStore, MarketStore),
// so the connection needs no mutex of SQLite's: NOMUTEX spares the lock and unlock that SQLite
// would otherwise take in every call (each bind, step and reset of the journal's rows).
sqlite3* OpenRaw(const char* path) {
  // SQLite's memory statistics take a process-wide mutex in every allocation of its own; nothing
  // here reads them. Settable only before SQLite starts (a later call fails and changes nothing).
  static const bool statisticsOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)statisticsOff;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 2000);
  return db;
}

// Applies the form to an open database and checks it; closes it and gives nullptr when it fails.
// A database known to be new (`fresh`) holds only what the schema just made: nothing to check.
sqlite3* Checked(sqlite3* db, const SqliteStoreForm& form, bool fresh = false) {
  // A file of another kind fails here (not a database, a damaged page, a foreign schema).
  bool ok = sqlite3_exec(db, form.pragmas, nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, form.schema, nullptr, nullptr, nullptr) == SQLITE_OK;
  if (ok && !fresh) {
    // The full check, not the quick one: the quick check does not compare the indexes with their
    // tables, and a store whose index has lost a row passes it yet fails every later write. The
    // full check costs about 0.2 s on a store of 300,000 rows, once at opening.
    sqlite3_stmt* check = nullptr;
    ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check(1)", -1, &check, nullptr) == SQLITE_OK &&
         sqlite3_step(check) == SQLITE_ROW;
    if (ok) {
      const unsigned char* text = sqlite3_column_text(check, 0);
      ok = text != nullptr && std::strcmp(reinterpret_cast<const char*>(text), "ok") == 0;
    }
    sqlite3_finalize(check);
  }
  // The tables must have the columns the store's code reads.
  for (const char* probe : form.probes) {
    if (!ok || fresh) break;
    sqlite3_stmt* st = nullptr;
    ok = sqlite3_prepare_v2(db, probe, -1, &st, nullptr) == SQLITE_OK;
    sqlite3_finalize(st);
  }
  if (!ok) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

}  // namespace

sqlite3* OpenCheckedSqlite(const std::string& path, const SqliteStoreForm& form) {
  sqlite3* db = OpenRaw(path.c_str());
  return db ? Checked(db, form) : nullptr;
}

sqlite3* OpenSqliteImage(std::string_view image, const SqliteStoreForm& form, bool& replaced) {
  replaced = false;
  if (!image.empty()) {
    sqlite3* db = OpenRaw(":memory:");
    if (!db) return nullptr;
    auto* bytes = static_cast<unsigned char*>(sqlite3_malloc64(image.size()));
    if (!bytes) {
      sqlite3_close(db);
      return nullptr;
    }
    std::memcpy(bytes, image.data(), image.size());
    // A write-ahead-log database without its log holds the same pages as one of the rollback
    // journal; memory databases read only the latter.
    if (image.size() >= 20 && bytes[18] == 2 && bytes[19] == 2) bytes[18] = bytes[19] = 1;
    const auto size = static_cast<sqlite3_int64>(image.size());
    if (sqlite3_deserialize(db, "main", bytes, size, size,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK) {
      sqlite3_close(db);  // the bytes are freed by sqlite3_deserialize itself
      db = nullptr;
    }
    if (db && (db = Checked(db, form)) != nullptr) return db;
    replaced = true;
  }
  sqlite3* db = OpenRaw(":memory:");
  return db ? Checked(db, form, true) : nullptr;
}

sqlite3* OpenSqliteStore(const std::string& path, const SqliteStoreForm& form, bool& replaced) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  replaced = false;
  sqlite3* db = OpenCheckedSqlite(path, form);
  if (!db && std::filesystem::exists(path, ec)) {
    std::filesystem::rename(path, path + ".damaged", ec);
    std::filesystem::remove(path + "-wal", ec);
    std::filesystem::remove(path + "-shm", ec);
    replaced = true;
    db = OpenCheckedSqlite(path, form);
  }
  return db;
}

}  // namespace tarn::exchange
