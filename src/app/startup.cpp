#include "app/startup.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/text.h"

extern char** environ;

namespace tarn {

std::string MutexName(const std::string& dir) {
  int sum = 0;
  for (char c : dir) sum += static_cast<signed char>(c);
  sum += static_cast<int>(dir.size());
  return Format("Tarn_MUTEX_%d", sum);
}

std::string JoinCommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i) line += ' ';
    line += argv[i];
  }
  return line;
}

bool SpawnProcess(const std::string& path, const std::vector<std::string>& args) {
  std::vector<std::string> words;
  words.push_back(path);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  return posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

bool HandOverToUpdater(const std::string& commandLine, int pid, const Spawner& spawn) {
  if (commandLine.find("noinvoke") != std::string::npos) return false;
  const std::string fresh = Path("\\update\\update.exe");
  const std::string updater = Path("\\update.exe");
  std::error_code ec;
  if (FileExists(fresh)) std::filesystem::copy_file(fresh, updater, std::filesystem::copy_options::overwrite_existing, ec);
  if (!FileExists(updater)) return false;
  // The command line "%s parent=%d": the updater's path, then its one argument.
  const std::string line = Format("%s parent=%d", updater, pid);
  const std::string argument = line.substr(updater.size() + 1);
  return spawn(updater, {argument});
}

}  // namespace tarn
