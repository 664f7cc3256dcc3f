// tarnctl dump FILE: prints a data file of the terminal as readable text, one record a line.
// The file is recognised by its name; each subsystem registers the printers of its formats
// in its own cmd_dump_*.cpp with TARNCTL_DUMP_FORMAT.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tarnctl/command.h"

namespace tarnctl {

struct DumpFormat {
  std::string fileName;     // e.g. "alertdata.dat" (compared without regard to case)
  std::string description;  // one line for the usage text
  // Prints the file's bytes to standard output; returns 0 when the whole file was read, 1 when
  // it is damaged (what could be read is printed, then where it stops).
  std::function<int(const std::string& bytes)> print;
};

bool RegisterDumpFormat(DumpFormat format);
const std::vector<DumpFormat>& DumpFormats();
// The format of a path's file name, or nullptr.
const DumpFormat* FindDumpFormat(std::string_view path);

}  // namespace tarnctl

// TARNCTL_DUMP_FORMAT("alertdata.dat", "quote alerts", [](const std::string& bytes) { ... });
#define TARNCTL_DUMP_FORMAT(file, description, fn) \
  static const bool TARNCTL_CONCAT(tarnctl_dump_registered_, __LINE__) = ::tarnctl::RegisterDumpFormat({file, description, fn})
