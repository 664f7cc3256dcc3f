// The quote page record over any bytes: no crash, no deep recursion, and what was read (whole or
// up to the damage) writes a record that reads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "workspace/workspace_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarn::QuotePageModel page;
  page.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string once = page.Serialize();
  tarn::QuotePageModel again;
  if (!again.Parse(once) || again.Serialize() != once) std::abort();
  return 0;
}
