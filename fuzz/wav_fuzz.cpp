// The wave reader over any bytes: no crash, no hang, whole frames only.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ui/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto w = tarn::ui::ParseWav(std::string_view(reinterpret_cast<const char*>(data), size));
  if (w && (w->FrameBytes() <= 0 || w->pcm.size() % static_cast<std::size_t>(w->FrameBytes()) != 0)) std::abort();
  return 0;
}
