// "\config\alertdata.dat" over any bytes: no crash, never more records than the bytes hold,
// what was read writes back to the same records, and the administrators' dump agrees.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <string_view>

#include "engines/alert_file.h"
#include "engines/file_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tarn::AlertFileContents f = tarn::ParseAlertFile(bytes);
  if (f.records.size() * (1 + tarn::kAlertRecordFixedBytes) > size) std::abort();
  if (f.records.capacity() > size / (1 + tarn::kAlertRecordFixedBytes) + 1) std::abort();
  // What was read writes back to bytes that read the same records.
  std::vector<QuoteAlert> alerts;
  bool fits = f.complete;
  for (const tarn::AlertFileRecord& r : f.records) {
    if (r.key.size() >= sizeof(DC_Contract::key) || r.key.find('\0') != std::string::npos) fits = false;
    QuoteAlert a = r.alert;
    std::memcpy(a.contract.key, r.key.data(), std::min(r.key.size(), sizeof a.contract.key - 1));
    alerts.push_back(a);
  }
  if (fits) {
    const tarn::AlertFileContents again = tarn::ParseAlertFile(tarn::SerializeAlertFile(f.soundOn, alerts));
    if (!again.complete || again.records.size() != f.records.size()) std::abort();
    for (std::size_t i = 0; i < f.records.size(); ++i) {
      if (again.records[i].key != f.records[i].key ||
          std::memcmp(&again.records[i].alert.upperPrice, &f.records[i].alert.upperPrice,
                      offsetof(QuoteAlert, openInterestFired) + 4 - offsetof(QuoteAlert, upperPrice)) != 0)
        std::abort();
    }
  }
  bool complete = false;
  tarn::DumpAlertFile(bytes, &complete);
  if (complete != f.complete) std::abort();
  return 0;
}
