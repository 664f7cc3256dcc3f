// The tarn executable: the terminal, or `tarn --screenshot DIR` (log in by itself, write the
// windows' images, end), or `tarn --version`.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/gui/tarn_client_app.h"
#include <memory>

#include "app/scratch_home.h"
#include "platform/program_dir.h"

#ifndef TARN_VERSION
#define TARN_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  tarn::InitProgramDir(argc, argv);
  const char* screenshotDir = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Tarn %s\n", TARN_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) screenshotDir = argv[i + 1];
  }
  // The screenshot run logs in, sends orders and changes settings: it works in a copy of the
  // program directory so that the user's accounts and files stay as they are.
  std::unique_ptr<tarn::ScratchHome> scratch;
  if (screenshotDir) {
    scratch = std::make_unique<tarn::ScratchHome>(tarn::ProgramDirNative());
    if (!scratch->Ok()) {
      std::fprintf(stderr, "tarn: %s\n", scratch->Error().c_str());
      return 2;
    }
    tarn::SetProgramDir(scratch->Dir());
  }
  QApplication qapp(argc, argv);
  CTarnClientApp app(argc, argv);
  if (screenshotDir) return app.RunScreenshots(QString::fromLocal8Bit(screenshotDir));
  int code = 0;
  if (!app.InitInstance(&code)) return code;
  return app.Run();
}
