// userblock.dat over any bytes: no crash, no allocation beyond the input, and a file read whole
// writes back to the same blocks and lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "quote/user_block_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tarn::UserBlockParse p = tarn::ParseUserBlockFile(bytes);
  if (!p.complete && p.failedAt > size) std::abort();
  (void)tarn::DescribeUserBlockFile(bytes);
  if (p.complete) {
    const tarn::UserBlockParse again = tarn::ParseUserBlockFile(tarn::SerializeUserBlockFile(p.file));
    if (!again.complete || again.trailing || again.file.blocks.size() != p.file.blocks.size() ||
        again.file.extraList1 != p.file.extraList1 || again.file.extraList2 != p.file.extraList2)
      std::abort();
    for (std::size_t i = 0; i < p.file.blocks.size(); ++i)
      if (again.file.blocks[i].name != p.file.blocks[i].name || again.file.blocks[i].keys != p.file.blocks[i].keys)
        std::abort();
  }
  return 0;
}
