// The tarn executable.
#include <cstdio>
#include <cstring>

#include "platform/program_dir.h"

#ifndef TARN_VERSION
#define TARN_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  tarn::InitProgramDir(argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Tarn %s\n", TARN_VERSION);
      return 0;
    }
  }
  std::printf("Tarn %s\nprogram directory: %s\n", TARN_VERSION, tarn::ProgramDirNative().c_str());
  return 0;
}
