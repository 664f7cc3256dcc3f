// Any bytes as an INI file: parsing, reading, writing and serialising never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tarn::ProfileDocument doc(text);
  for (const std::string& s : doc.SectionNames())
    for (const std::string& k : doc.KeyNames(s)) {
      (void)doc.GetString(s, k, "");
      (void)doc.GetInt(s, k, 0);
      (void)doc.GetIntOr(s, k, 0);
    }
  doc.Set("GridCol", "DataIdx", "0|1|2");
  doc.Set(text.substr(0, size / 2), text.substr(size / 2), text);
  doc.Set("GridCol", std::nullopt, std::nullopt);
  (void)doc.Serialize();
  return 0;
}
