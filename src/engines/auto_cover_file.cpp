#include "engines/auto_cover_file.h"

#include <algorithm>

#include "platform/archive.h"

namespace tarn {

AutoCoverFileContents ParseAutoCoverFile(std::string_view bytes) {
  AutoCoverFileContents out;
  ArchiveReader r(bytes);
  if (!r.Int32(out.count)) {
    out.failedAt = r.FailedAt();
    return out;
  }
  out.countRead = true;
  const std::size_t fit = r.Remaining() / kAutoCoverRecordMinBytes;
  out.settings.reserve(std::min<std::size_t>(out.count > 0 ? static_cast<std::size_t>(out.count) : 0, fit));
  for (int32_t i = 0; i < out.count; ++i) {
    AutoCoverSetting s;
    out.damagedRecordAt = r.Position();
    if (!(r.String(s.commodity) && r.String(s.exchange) && r.Int32(s.stopLossTicks) && r.Int32(s.takeProfitTicks) &&
          r.Int32(s.trailingTicks) && r.Int32(s.breakEvenTicks))) {
      out.failedAt = r.FailedAt();
      return out;
    }
    out.settings.push_back(std::move(s));
  }
  out.complete = true;
  out.trailingBytes = r.Remaining();
  return out;
}

std::string SerializeAutoCoverFile(const std::vector<AutoCoverSetting>& settings) {
  ArchiveWriter w;
  w.Int32(static_cast<int32_t>(settings.size()));
  for (const AutoCoverSetting& s : settings) {
    w.String(s.commodity);
    w.String(s.exchange);
    w.Int32(s.stopLossTicks);
    w.Int32(s.takeProfitTicks);
    w.Int32(s.trailingTicks);
    w.Int32(s.breakEvenTicks);
  }
  return w.Take();
}

}  // namespace tarn
