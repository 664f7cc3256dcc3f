// "\config\keyborderorder.dat" over any bytes: no crash, never more entries than the bytes
// hold, and a complete table writes back to bytes that read the same table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "trade/orders/key_order_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tarn::KeyOrderFileResult r = tarn::ParseKeyOrderFile(bytes);
  if (r.table.products.size() * 5 > size || r.table.bindings.size() * 17 > size) std::abort();
  if (r.complete != (r.failedAt < 0)) std::abort();
  const tarn::KeyOrderFileResult again = tarn::ParseKeyOrderFile(tarn::SerializeKeyOrderFile(r.table));
  if (!again.complete || !(again.table == r.table)) std::abort();
  return 0;
}
