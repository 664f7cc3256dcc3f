// QuoteGrid.ini over any text: no crash, and the columns it gives stay within their bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "quote/grid_columns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto cols = tarn::ParseGridColumns(text);
  if (cols) {
    if (cols->empty() || cols->size() > static_cast<std::size_t>(tarn::kMaxGridColumns)) std::abort();
    for (const QG_ColInfo& c : *cols)
      if (c.width < tarn::kMinGridColumnWidth || c.width > tarn::kMaxGridColumnWidth) std::abort();
  }
  return 0;
}
