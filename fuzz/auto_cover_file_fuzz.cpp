// "\config\AutoCover.dat" over any bytes: no crash, never more settings than the bytes hold,
// and what was read completely writes back to something that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engines/auto_cover_file.h"
#include "engines/file_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tarn::AutoCoverFileContents f = tarn::ParseAutoCoverFile(bytes);
  if (f.settings.size() * tarn::kAutoCoverRecordMinBytes > size) std::abort();
  if (f.settings.capacity() > size / tarn::kAutoCoverRecordMinBytes + 1) std::abort();
  const tarn::AutoCoverFileContents again = tarn::ParseAutoCoverFile(tarn::SerializeAutoCoverFile(f.settings));
  if (!again.complete || again.settings != f.settings) std::abort();
  bool complete = false;
  tarn::DumpAutoCoverFile(bytes, &complete);
  if (complete != f.complete) std::abort();
  return 0;
}
