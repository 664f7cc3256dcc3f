// The exchange's store over any bytes: opening a damaged database never crashes, and either
// reads it or starts a new store in its place. The store opens in memory over the bytes: no file,
// no fsync.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exchange_sqlite_heap.h"
#include "libs/exchange/market/market_store.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tarn_fuzz::UseLibcHeapForSqlite();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto store = tarn::exchange::MarketStore::OpenImage(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!store) abort();  // a store must always be had
  std::string value;
  store->GetMeta("seed", value);
  std::vector<tarn::exchange::MarketStore::SettlementRow> rows;
  store->LoadSettlements(20251208, rows);
  if (!store->SetMeta("probe", "1")) abort();
  return 0;
}
