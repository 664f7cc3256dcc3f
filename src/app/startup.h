// The start-up steps that come before any window: the single-instance mutex name and the
// updater hand-over.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarn {

// "Tarn_MUTEX_%d" with the sum of the program directory's bytes (each as a signed 8-bit value)
// plus its length in bytes: two installations in different folders get different names.
std::string MutexName(const std::string& programDirGbk);

// The command line as one text (the words joined by spaces).
std::string JoinCommandLine(int argc, char** argv);

// Starts a program: the path and its arguments. True when it started.
using Spawner = std::function<bool(const std::string& path, const std::vector<std::string>& args)>;
bool SpawnProcess(const std::string& path, const std::vector<std::string>& args);

// The updater hand-over. Unless the command line contains "noinvoke": copies
// "\update\update.exe" over "\update.exe" (a failed copy is ignored) and, when "\update.exe"
// exists, starts it with the command line "%s parent=%d" (its path and our process id).
// True when the updater was started: the terminal then ends and the updater takes over.
bool HandOverToUpdater(const std::string& commandLine, int pid, const Spawner& spawn = SpawnProcess);

}  // namespace tarn
