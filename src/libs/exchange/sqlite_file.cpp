#include "libs/exchange/sqlite_file.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

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

// Moves `bytes`, the image of a database file, into `db` as its main database; false (with `db`
// still open) when SQLite refuses it.
bool Deserialize(sqlite3* db, std::string_view bytes) {
  auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(bytes.size()));
  if (!copy) return false;
  std::memcpy(copy, bytes.data(), bytes.size());
  // A write-ahead-log database without its log holds the same pages as one of the rollback
  // journal; memory databases read only the latter.
  if (bytes.size() >= 20 && copy[18] == 2 && copy[19] == 2) copy[18] = copy[19] = 1;
  const auto size = static_cast<sqlite3_int64>(bytes.size());
  // On failure sqlite3_deserialize frees the copy itself.
  return sqlite3_deserialize(db, "main", copy, size, size,
                             SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) == SQLITE_OK;
}

// The image of a new database of `form` (its schema applied, nothing else), made once per form
// and process: a new store in memory starts from a copy of it instead of running the schema's
// statements again, which costs several times as much. Empty when it cannot be made.
const std::string& NewImage(const SqliteStoreForm& form) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, std::string>, std::string> images;
  std::lock_guard<std::mutex> lock(mutex);
  auto [it, added] = images.try_emplace({form.pragmas, form.schema});
  if (!added) return it->second;
  sqlite3* db = OpenRaw(":memory:");
  if (db && (db = Checked(db, form, true)) != nullptr) {
    sqlite3_int64 size = 0;
    if (unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0)) {
      it->second.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
      sqlite3_free(bytes);
    }
  }
  sqlite3_close(db);
  return it->second;
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
    if (Deserialize(db, image) && (db = Checked(db, form)) != nullptr) {
      // An image whose header asks for a newer writer opens for reading only: it passes every
      // check yet fails each commit of the store. (From a file, setting its journal mode fails.)
      if (sqlite3_db_readonly(db, "main") == 0) return db;
    }
    sqlite3_close(db);  // a no-op once Checked has closed it
    replaced = true;
  }
  sqlite3* db = OpenRaw(":memory:");
  if (!db) return nullptr;
  // A copy of the new database's image needs only the connection's pragmas; without the image
  // the schema is applied here.
  const std::string& fresh = NewImage(form);
  if (fresh.empty() || !Deserialize(db, fresh)) return Checked(db, form, true);
  if (sqlite3_exec(db, form.pragmas, nullptr, nullptr, nullptr) == SQLITE_OK) return db;
  sqlite3_close(db);
  return nullptr;
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
