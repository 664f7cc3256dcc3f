// Readable text of the engines' files, for administrators (tarnctl dump): one line per record
// with every field, then where a damaged file stops. Keys stay as stored (GBK).
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// "\config\alertdata.dat". *complete is false when the file is damaged.
std::string DumpAlertFile(std::string_view bytes, bool* complete);
// "\config\AutoCover.dat".
std::string DumpAutoCoverFile(std::string_view bytes, bool* complete);
// "\user\cmbolfml.dat".
std::string DumpStrategyFile(std::string_view bytes, bool* complete);

}  // namespace tarn
