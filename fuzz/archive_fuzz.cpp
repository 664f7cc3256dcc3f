// Any bytes as an archive: reads of every kind stop cleanly at the damage, never allocate
// beyond the input, and never read past it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarn::ArchiveReader r(std::string_view(reinterpret_cast<const char*>(data), size));
  int32_t n = 0;
  if (!r.Count(n, 5)) return 0;
  for (int32_t i = 0; i < n && r.Ok(); ++i) {
    std::string s;
    double d;
    int64_t q;
    int8_t b;
    if (!r.String(s) || !r.Double(d) || !r.Int64(q) || !r.Int8(b)) break;
  }
  while (r.Ok() && !r.AtEnd()) {
    std::string s;
    r.String(s);
  }
  return 0;
}
