// tarnctl dump FILE: finds the printer of the file's format by its name and runs it.
#include <cstdio>
#include <optional>

#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "tarnctl/command.h"
#include "tarnctl/dump.h"

namespace tarnctl {

namespace {
std::vector<DumpFormat>& Formats() {
  static std::vector<DumpFormat> formats;
  return formats;
}
}  // namespace

bool RegisterDumpFormat(DumpFormat format) {
  Formats().push_back(std::move(format));
  return true;
}

const std::vector<DumpFormat>& DumpFormats() { return Formats(); }

const DumpFormat* FindDumpFormat(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  for (const DumpFormat& f : Formats())
    if (tarn::EqualsNoCase(f.fileName, name)) return &f;
  return nullptr;
}

}  // namespace tarnctl

namespace {

int Dump(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: tarnctl dump FILE\nformats:\n");
    for (const tarnctl::DumpFormat& f : tarnctl::DumpFormats())
      std::fprintf(stderr, "  %-18s %s\n", f.fileName.c_str(), f.description.c_str());
    return 2;
  }
  const std::string& arg = args[0];
  const tarnctl::DumpFormat* format = tarnctl::FindDumpFormat(arg);
  if (!format) {
    std::fprintf(stderr, "tarnctl: no printer for the file name of '%s'; known files:", arg.c_str());
    for (const tarnctl::DumpFormat& f : tarnctl::DumpFormats()) std::fprintf(stderr, " %s", f.fileName.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }
  // "\config\alertdata.dat" is a path under the program directory; anything else is a path
  // of this system.
  const std::string native = (!arg.empty() && arg[0] == '\\') ? tarn::Path(tarn::Utf8ToGbk(arg)) : arg;
  const std::optional<std::string> bytes = tarn::ReadWholeFile(native);
  if (!bytes) {
    std::fprintf(stderr, "tarnctl: cannot read %s\n", native.c_str());
    return 1;
  }
  return format->print(*bytes);
}

}  // namespace

TARNCTL_COMMAND("dump", "dump FILE          print a data file (alertdata.dat, AutoCover.dat, ...) one record a line",
                [](const std::vector<std::string>& args) { return Dump(args); });
