// tarnctl version: the program version and the program directory it works on.
#include <cstdio>

#include "platform/program_dir.h"
#include "tarnctl/command.h"

TARNCTL_COMMAND("version", "version            print the version and the program directory",
                [](const std::vector<std::string>&) {
                  std::printf("Tarn %s\nprogram directory: %s\n", TARN_VERSION, tarn::ProgramDirNative().c_str());
                  return 0;
                });
