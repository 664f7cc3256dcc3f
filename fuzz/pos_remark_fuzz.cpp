// pos_remark.dat over any bytes: no crash, no more entries than the input can hold, and what
// was read writes back to a file that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "trade/grid/position_remarks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bool complete = false;
  const tarn::RemarkMap remarks = tarn::ParseRemarkFile(bytes, &complete);
  if (remarks.size() > size / 2 + 1) std::abort();
  bool again = false;
  if (tarn::ParseRemarkFile(tarn::SerializeRemarkFile(remarks), &again) != remarks || !again) std::abort();
  return 0;
}
