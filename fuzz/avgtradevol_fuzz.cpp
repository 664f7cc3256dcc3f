// avgtradevol.dat over any bytes: no crash, no allocation beyond the input, the offset of a
// stop inside the input, and a file read whole writes back to the same averages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/tick_tallies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tarn::AvgTradeVolumeFile f = tarn::ParseAvgTradeVolume(bytes);
  if (!f.complete && f.failedAt > size) std::abort();
  if (f.averages.size() > size / 5 + 1) std::abort();
  const tarn::AvgTradeVolumeFile again = tarn::ParseAvgTradeVolume(tarn::SerializeAvgTradeVolume(f.averages));
  if (!again.complete || again.averages != f.averages) std::abort();
  return 0;
}
