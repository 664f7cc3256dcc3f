// The opening of the exchange's SQLite stores. A store's file either opens as the database its
// code expects (the pragmas and schema applied, a quick check passed, and every probe, a statement
// the store runs, prepared) or it is moved aside to "<path>.damaged" and a new database is
// started, so that a damaged or foreign file never stops the exchange and is kept for inspection.
#pragma once

#include <span>
#include <string>
#include <string_view>

struct sqlite3;

namespace tarn::exchange {

struct SqliteStoreForm {
  const char* pragmas = "";   // run first, e.g. "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
  const char* schema = "";    // CREATE TABLE IF NOT EXISTS ...
  std::span<const char* const> probes;
};

// The database at `path` opened and checked as `form` says (created when missing); nullptr when
// it cannot be opened or fails a check.
sqlite3* OpenCheckedSqlite(const std::string& path, const SqliteStoreForm& form);

// As OpenCheckedSqlite, creating the folders; an existing file that fails is moved to
// "<path>.damaged" (its -wal and -shm files removed) and a new database is opened in its place.
// `replaced` tells whether that happened. nullptr when even a new database cannot be opened.
sqlite3* OpenSqliteStore(const std::string& path, const SqliteStoreForm& form, bool& replaced);

// A store in memory that starts from `image`, the bytes of a database file (empty: a new
// database), opened and checked as `form` says; nothing touches the disk. An image that fails
// is dropped for a new database (`replaced` tells). A new database is a copy of an image of the
// empty schema, made once per process and form. The fuzz targets and tests use it: no file, no
// fsync.
sqlite3* OpenSqliteImage(std::string_view image, const SqliteStoreForm& form, bool& replaced);

}  // namespace tarn::exchange
