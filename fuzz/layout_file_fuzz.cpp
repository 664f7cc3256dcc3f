// A ".lyt" layout file (one workspace record) over any bytes: no crash, no deep recursion, and
// the windows read write a record that reads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "workspace/workspace_record.h"

namespace {

std::string Write(const tarn::WorkspaceModel& ws) {
  tarn::ArchiveWriter w;
  tarn::WriteWorkspaceRecord(w, *ws.layout, ws.flags, [&ws](tarn::ArchiveWriter& o, int window) {
    tarn::WriteChartState(o, ws.leaves->State(window));
  });
  return w.Take();
}

bool Read(std::string_view bytes, tarn::WorkspaceModel* ws) {
  tarn::ArchiveReader r(bytes);
  return tarn::ReadWorkspaceRecord(r, ws->layout.get(), &ws->flags, [ws](tarn::ArchiveReader& in, int window) {
    return tarn::ReadChartState(in, &ws->leaves->State(window));
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarn::WorkspaceModel ws;
  Read(std::string_view(reinterpret_cast<const char*>(data), size), &ws);
  const std::string once = Write(ws);
  tarn::WorkspaceModel again;
  if (!Read(once, &again) || Write(again) != once) std::abort();
  return 0;
}
