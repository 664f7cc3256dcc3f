// tarnctl dump of the engines' files: "\config\alertdata.dat" (quote alerts) and
// "\config\AutoCover.dat" (automatic stop settings) and "\user\cmbolfml.dat" (strategies), one
// record a line with every field.
#include "engines/file_dump.h"
#include "tarnctl/command.h"
#include "tarnctl/dump.h"

namespace {
int Print(std::string (*dump)(std::string_view, bool*), const std::string& bytes) {
  bool complete = false;
  tarnctl::PrintGbk(dump(bytes, &complete));
  return complete ? 0 : 1;
}
}  // namespace

TARNCTL_DUMP_PRINTER("alertdata.dat", "alertdata.dat      the quote alerts (\\config\\alertdata.dat)",
                     [](const std::string& bytes) { return Print(&tarn::DumpAlertFile, bytes); });
TARNCTL_DUMP_PRINTER("AutoCover.dat", "AutoCover.dat      the automatic stop settings (\\config\\AutoCover.dat)",
                     [](const std::string& bytes) { return Print(&tarn::DumpAutoCoverFile, bytes); });
TARNCTL_DUMP_PRINTER("cmbolfml.dat", "cmbolfml.dat       the strategies (\\user\\cmbolfml.dat)",
                     [](const std::string& bytes) { return Print(&tarn::DumpStrategyFile, bytes); });
