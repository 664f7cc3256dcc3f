#include "libs/exchange/sqlite_file.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>

namespace tarn::exchange {

sqlite3* OpenCheckedSqlite(const std::string& path, const SqliteStoreForm& form) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 2000);
  // A file of another kind fails here (not a database, a damaged page, a foreign schema).
  bool ok = sqlite3_exec(db, form.pragmas, nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, form.schema, nullptr, nullptr, nullptr) == SQLITE_OK;
  if (ok) {
    sqlite3_stmt* check = nullptr;
    ok = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK &&
         sqlite3_step(check) == SQLITE_ROW;
    if (ok) {
      const unsigned char* text = sqlite3_column_text(check, 0);
      ok = text != nullptr && std::strcmp(reinterpret_cast<const char*>(text), "ok") == 0;
    }
    sqlite3_finalize(check);
  }
  // The tables must have the columns the store's code reads.
  for (const char* probe : form.probes) {
    if (!ok) break;
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
