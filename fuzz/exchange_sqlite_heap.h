// SQLite's own heap for the exchange's store fuzz targets. SQLite is not instrumented, yet every
// allocation it makes went through the address sanitizer's allocator (quarantine, stack depot),
// which cost more than the store's work itself; here its blocks come from the C library directly.
// Our own code's allocations stay under the sanitizer.
#pragma once

#include <sqlite3.h>

#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t);
void __libc_free(void*);
void* __libc_realloc(void*, std::size_t);
}

namespace tarn_fuzz {

// Each block carries its size in front: the sanitizer cannot be asked about a block it did not give.
inline void* SqliteMalloc(int n) {
  auto* p = static_cast<sqlite3_int64*>(__libc_malloc(static_cast<std::size_t>(n) + 8));
  if (!p) return nullptr;
  *p = n;
  return p + 1;
}
inline void SqliteFree(void* p) {
  if (p) __libc_free(static_cast<sqlite3_int64*>(p) - 1);
}
inline void* SqliteRealloc(void* p, int n) {  // SQLite never passes a null block here
  auto* q = static_cast<sqlite3_int64*>(__libc_realloc(static_cast<sqlite3_int64*>(p) - 1, static_cast<std::size_t>(n) + 8));
  if (!q) return nullptr;
  *q = n;
  return q + 1;
}
inline int SqliteSize(void* p) { return p ? static_cast<int>(*(static_cast<sqlite3_int64*>(p) - 1)) : 0; }
inline int SqliteRoundup(int n) { return (n + 7) & ~7; }
inline int SqliteInit(void*) { return 0; }
inline void SqliteShutdown(void*) {}

// Before SQLite's first use (LLVMFuzzerInitialize).
inline void UseLibcHeapForSqlite() {
  static const sqlite3_mem_methods methods = {SqliteMalloc, SqliteFree, SqliteRealloc, SqliteSize,
                                              SqliteRoundup, SqliteInit, SqliteShutdown, nullptr};
  sqlite3_config(SQLITE_CONFIG_MALLOC, &methods);
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

}  // namespace tarn_fuzz
