// frm.dat over any bytes: no crash, and what parses writes back to what it read (a file without
// a quote page record is written with the empty page).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/frame_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tarn::FrameState s;
  if (tarn::ParseFrameState(bytes, &s)) {
    tarn::FrameState again;
    const std::string page = s.quotePageRecord.empty() ? tarn::EmptyQuotePageRecord() : s.quotePageRecord;
    if (!tarn::ParseFrameState(tarn::SerializeFrameState(s), &again) || again.contractKey != s.contractKey ||
        again.blockName != s.blockName || again.quotePageRecord != page)
      std::abort();
  }
  return 0;
}
