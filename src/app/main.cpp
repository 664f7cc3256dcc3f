// The tarn executable: the terminal, or `tarn --screenshot DIR` (log in by itself, write the
// windows' images, end), or `tarn --version`.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/gui/tarn_client_app.h"
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
  QApplication qapp(argc, argv);
  CTarnClientApp app(argc, argv);
  if (screenshotDir) return app.RunScreenshots(QString::fromLocal8Bit(screenshotDir));
  int code = 0;
  if (!app.InitInstance(&code)) return code;
  return app.Run();
}
