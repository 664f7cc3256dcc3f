// tarnctl dump of the engines' files: "\config\alertdata.dat" and "\config\AutoCover.dat".
#include "engines/file_dump.h"
#include "tarnctl/dump.h"

namespace {
int Print(std::string (*dump)(std::string_view, bool*), const std::string& bytes) {
  bool complete = false;
  tarnctl::PrintGbk(dump(bytes, &complete));
  return complete ? 0 : 1;
}
}  // namespace

TARNCTL_DUMP_FORMAT("alertdata.dat", "quote alerts", [](const std::string& bytes) { return Print(&tarn::DumpAlertFile, bytes); });
TARNCTL_DUMP_FORMAT("AutoCover.dat", "automatic stop settings",
                    [](const std::string& bytes) { return Print(&tarn::DumpAutoCoverFile, bytes); });
