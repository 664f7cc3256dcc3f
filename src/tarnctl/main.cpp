#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/program_dir.h"
#include "platform/text.h"
#include "tarnctl/command.h"

namespace tarnctl {

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

bool Register(Command command) {
  Registry().push_back(std::move(command));
  return true;
}

const std::vector<Command>& Commands() {
  std::sort(Registry().begin(), Registry().end(), [](const Command& a, const Command& b) { return a.name < b.name; });
  return Registry();
}

void PrintGbk(const std::string& gbk) {
  std::string utf8 = tarn::GbkToUtf8(gbk);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace tarnctl

namespace {
const std::vector<tarn::CommandLineOption>& Options() {
  static const std::vector<tarn::CommandLineOption> table = {
      {"--home", "DIR", "work on the program directory DIR (also TARN_HOME=DIR)"},
      {"--help", "", "show this help and exit"},
      {"--version", "", "show the version and exit"},
  };
  return table;
}

void Usage(std::FILE* out) {
  std::fprintf(out, "Usage: tarnctl [OPTION]... COMMAND [ARGS]\n"
                    "The administrators' tool of the Tarn terminal.\n\nOptions:\n%s\nCommands:\n",
               tarn::OptionsHelp(Options()).c_str());
  for (const tarnctl::Command& c : tarnctl::Commands()) std::fprintf(out, "  %s\n", c.usage.c_str());
}

void TryHelp() { std::fprintf(stderr, "Try 'tarnctl --help' for more information.\n"); }
}  // namespace

int main(int argc, char** argv) {
  // The options before the command are tarnctl's; the command reads the words after it.
  const tarn::ParsedCommandLine cmd = tarn::ParseCommandLine(argc, argv, Options(), true);
  if (!cmd.error.empty()) {
    std::fprintf(stderr, "tarnctl: %s\n", cmd.error.c_str());
    TryHelp();
    return 2;
  }
  if (cmd.Has("--help") || (!cmd.words.empty() && cmd.words[0] == "help")) {
    Usage(stdout);
    return 0;
  }
  if (cmd.Has("--version")) {
    std::printf("tarnctl (Tarn) %s\n", TARN_VERSION);
    return 0;
  }
  if (cmd.words.empty()) {
    Usage(stderr);
    return 2;
  }
  tarn::ArgvHolder args(cmd.normalized);
  const tarn::ProgramDirStatus home = tarn::InitProgramDir(args.argc(), args.argv());
  for (const std::string& w : home.warnings) std::fprintf(stderr, "tarnctl: %s\n", w.c_str());
  if (!home.ok) {
    std::fprintf(stderr, "tarnctl: %s\n", home.error.c_str());
    return 1;
  }
  // "--home DIR" is also accepted after the command, as it always was.
  std::vector<std::string> words;
  for (std::size_t i = 0; i < cmd.words.size(); ++i) {
    if (cmd.words[i] == "--home" && i + 1 < cmd.words.size()) {
      ++i;
      continue;
    }
    if (cmd.words[i].rfind("--home=", 0) == 0) continue;
    words.push_back(cmd.words[i]);
  }
  for (const tarnctl::Command& c : tarnctl::Commands()) {
    if (c.name == words[0]) return c.run(std::vector<std::string>(words.begin() + 1, words.end()));
  }
  std::fprintf(stderr, "tarnctl: unknown command '%s'\n", words[0].c_str());
  TryHelp();
  return 2;
}
