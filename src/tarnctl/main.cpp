#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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
void Usage(std::FILE* out) {
  std::fprintf(out, "usage: tarnctl [--home DIR] COMMAND [ARGS]\ncommands:\n");
  for (const tarnctl::Command& c : tarnctl::Commands()) std::fprintf(out, "  %s\n", c.usage.c_str());
}
}  // namespace

int main(int argc, char** argv) {
  tarn::InitProgramDir(argc, argv);
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc) {
      ++i;
      continue;
    }
    if (std::strncmp(argv[i], "--home=", 7) == 0) continue;
    words.emplace_back(argv[i]);
  }
  if (words.empty() || words[0] == "help" || words[0] == "--help" || words[0] == "-h") {
    Usage(words.empty() ? stderr : stdout);
    return words.empty() ? 2 : 0;
  }
  for (const tarnctl::Command& c : tarnctl::Commands()) {
    if (c.name == words[0]) return c.run(std::vector<std::string>(words.begin() + 1, words.end()));
  }
  std::fprintf(stderr, "tarnctl: unknown command '%s'\n", words[0].c_str());
  Usage(stderr);
  return 2;
}
