// "\user\cmbolfml.dat" over any bytes: no crash, never more records than the bytes hold, the
// strategies kept write back to a file that reads the same, and the administrators' dump agrees.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engines/file_dump.h"
#include "engines/strategy_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tarn::StrategyFileContents f = tarn::ParseStrategyFile(bytes);
  // The smallest record: decimals, two empty strings, one int32, four legs of 14 bytes.
  constexpr std::size_t kSmallest = 4 + 1 + 1 + 4 + 4 * 14;
  if (f.records.size() * kSmallest > size) std::abort();
  if (f.records.capacity() > size / 8 + 1) std::abort();
  // Every stored key names a contract of its own (commodity 1) unless it cannot be a key.
  const auto kept = tarn::ResolveStrategies(f, [](const std::string& key, DC_Contract& c) {
    c = DC_Contract{};
    c.commodity = 1;
    tarn::SetField(c.key, key);
    return key.size() % 7 != 3;  // some contracts are gone
  });
  for (const CombolStrategy& s : kept) {
    if (s.Formula().size() > tarn::kMaxStrategyText || s.Name().size() > tarn::kMaxStrategyText) std::abort();
    if (s.decimals < 0 || s.decimals > 5 || s.UsedLegs() == 0) std::abort();
  }
  const tarn::StrategyFileContents again = tarn::ParseStrategyFile(tarn::SerializeStrategyFile(kept));
  if (!again.complete || again.records.size() != kept.size()) std::abort();
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (again.records[i].formula != kept[i].Formula() || again.records[i].name != kept[i].Name()) std::abort();
    for (int k = 0; k < 4; ++k)
      if (again.records[i].legKeys[k] != (kept[i].legs[k].Used() ? kept[i].legs[k].contract.Key() : std::string_view()))
        std::abort();
  }
  bool complete = false;
  tarn::DumpStrategyFile(bytes, &complete);
  if (complete != f.complete) std::abort();
  return 0;
}
