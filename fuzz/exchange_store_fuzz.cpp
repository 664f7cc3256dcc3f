// The exchange's store over any bytes: opening a damaged file never crashes, and either reads
// it or replaces it with a working store.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "libs/exchange/market/market_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/tarn_store_fuzz_XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  const std::string path = dir + "/market.db";
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm", ".damaged"}) std::filesystem::remove(path + suffix, ec);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  auto store = tarn::exchange::MarketStore::Open(path);
  if (!store) abort();  // a store must always be had
  std::string value;
  store->GetMeta("seed", value);
  std::vector<tarn::exchange::MarketStore::SettlementRow> rows;
  store->LoadSettlements(20251208, rows);
  if (!store->SetMeta("probe", "1")) abort();
  return 0;
}
