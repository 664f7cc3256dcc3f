// The tarn executable: the terminal, or `tarn --screenshot DIR` (log in by itself, write the
// windows' images, end), `tarn --startup-report` (log in by itself, print the start-up figures), `tarn --version`, `tarn --help`.
#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "app/gui/tarn_client_app.h"
#include "app/scratch_home.h"
#include "platform/program_dir.h"

#ifndef TARN_VERSION
#define TARN_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
  // Help, version and wrong usage are answered before anything touches the program directory.
  const tarn::ParsedCommandLine cmd = tarn::ParseCommandLine(argc, argv, tarn::TarnOptions());
  if (!cmd.error.empty()) {
    std::fprintf(stderr, "tarn: %s\nTry 'tarn --help' for more information.\n", cmd.error.c_str());
    return 2;
  }
  if (cmd.Has("--help")) {
    std::fputs(tarn::TarnUsage(TARN_VERSION).c_str(), stdout);
    return 0;
  }
  if (cmd.Has("--version")) {
    std::printf("tarn (Tarn) %s\n", TARN_VERSION);
    return 0;
  }
  // From here on every reader of the command line sees "--name VALUE", never "--name=VALUE".
  tarn::ArgvHolder args(cmd.normalized);
  const tarn::ProgramDirStatus home = tarn::InitProgramDir(args.argc(), args.argv());
  for (const std::string& w : home.warnings) std::fprintf(stderr, "tarn: %s\n", w.c_str());
  if (!home.ok) {
    std::fprintf(stderr, "tarn: %s\n", home.error.c_str());
    return 1;
  }
  const bool screenshots = cmd.Has("--screenshot");
  // The screenshot run logs in, sends orders and changes settings: it works in a copy of the
  // program directory so that the user's accounts and files stay as they are.
  std::unique_ptr<tarn::ScratchHome> scratch;
  if (screenshots) {
    scratch = std::make_unique<tarn::ScratchHome>(tarn::ProgramDirNative());
    if (!scratch->Ok()) {
      std::fprintf(stderr, "tarn: %s\n", scratch->Error().c_str());
      return 2;
    }
    tarn::SetProgramDir(scratch->Dir());
  }
  QApplication qapp(args.argc(), args.argv());
  CTarnClientApp app(args.argc(), args.argv());
  if (screenshots) return app.RunScreenshots(QString::fromLocal8Bit(cmd.Value("--screenshot").c_str()));
  if (cmd.Has("--startup-report")) return app.RunStartupReport();
  int code = 0;
  if (!app.InitInstance(&code)) return code;
  return app.Run();
}
