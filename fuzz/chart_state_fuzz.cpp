// A chart container's saved record and the user's period list over any bytes: no crash, no
// allocation beyond the input, and a record read whole writes back to the same bytes' meaning.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "chart/chart_period.h"
#include "chart/chart_state.h"
#include "platform/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tarn::ArchiveReader in(bytes);
  tarn::ChartContainerState state;
  const bool ok = tarn::ReadChartState(in, &state);
  if (ok != in.Ok()) std::abort();
  if (ok) {
    tarn::ArchiveWriter out;
    tarn::WriteChartState(out, state);
    tarn::ArchiveReader again(out.Data());
    tarn::ChartContainerState back;
    if (!tarn::ReadChartState(again, &back) || !(back == state) || !again.AtEnd()) std::abort();
  }
  for (const tarn::ChartPeriod& p : tarn::ParseUserPeriods(bytes))
    if (!tarn::IsValidPeriod(p)) std::abort();
  return 0;
}
