// tarnctl dump FILE: prints a data file of the terminal in readable form. The file is
// recognised by its name; each subsystem registers a printer for its files (in a
// cmd_dump_*.cpp of its own) with TARNCTL_DUMP_PRINTER.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnctl {

struct DumpPrinter {
  std::string fileName;     // the file's name, compared without regard to case, e.g. "userblock.dat"
  std::string description;  // one line for the usage text
  // Prints the file's bytes; returns the exit code (0 read whole, 1 damaged).
  std::function<int(const std::string& bytes)> print;
};

bool RegisterDumpPrinter(DumpPrinter printer);
const std::vector<DumpPrinter>& DumpPrinters();

}  // namespace tarnctl

#define TARNCTL_DUMP_PRINTER(file, description, fn) \
  static const bool TARNCTL_CONCAT(tarnctl_dump_registered_, __LINE__) = ::tarnctl::RegisterDumpPrinter({file, description, fn})
