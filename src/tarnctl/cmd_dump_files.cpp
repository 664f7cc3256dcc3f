// tarnctl dump FILE: finds the printer registered for the file's name and runs it.
#include <cstdio>
#include <filesystem>

#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "tarnctl/command.h"
#include "tarnctl/dump.h"

namespace tarnctl {

namespace {
std::vector<DumpPrinter>& Printers() {
  static std::vector<DumpPrinter> printers;
  return printers;
}

int Dump(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: tarnctl dump FILE   (a path, or a terminal path such as \\\\config\\\\userblock.dat)\n");
    for (const DumpPrinter& p : DumpPrinters()) std::fprintf(stderr, "  %s\n", p.description.c_str());
    return 2;
  }
  // A path that starts with a backslash is under the program directory.
  const std::string path = !args[0].empty() && args[0][0] == '\\' ? tarn::Path(tarn::Utf8ToGbk(args[0])) : args[0];
  const std::string name = std::filesystem::path(path).filename().string();
  const DumpPrinter* printer = nullptr;
  for (const DumpPrinter& p : DumpPrinters())
    if (tarn::EqualsNoCase(p.fileName, name)) printer = &p;
  if (!printer) {
    std::fprintf(stderr, "tarnctl: no printer for files named '%s'; known:\n", name.c_str());
    for (const DumpPrinter& p : DumpPrinters()) std::fprintf(stderr, "  %s\n", p.description.c_str());
    return 2;
  }
  const std::optional<std::string> bytes = tarn::ReadWholeFile(path);
  if (!bytes) {
    std::fprintf(stderr, "tarnctl: cannot read %s\n", path.c_str());
    return 1;
  }
  std::printf("%s: ", path.c_str());
  return printer->print(*bytes);
}
}  // namespace

bool RegisterDumpPrinter(DumpPrinter printer) {
  Printers().push_back(std::move(printer));
  return true;
}

const std::vector<DumpPrinter>& DumpPrinters() { return Printers(); }

}  // namespace tarnctl

TARNCTL_COMMAND("dump", "dump FILE          print a data file of the terminal (recognised by its name)", tarnctl::Dump);
