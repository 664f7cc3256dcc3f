// The program directory: the folder that holds every file of the terminal ("\config", "\user",
// "\formula", "\sound", "\icon", "\update").
//
// In order: "--home DIR" on the command line, TARN_HOME=DIR in the environment, the folder of
// /proc/self/exe (a build tree, or an unpacked copy the user owns), or, for an installed
// terminal, a folder of the user's own under the XDG data home (~/.local/share/tarn) made from
// the shipped data (see shipped_files.h). It is computed once and has no trailing separator.
// Every test runs with a fresh temporary home of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// What the choice of the program directory depends on; gathered by GatherProgramDirFacts.
struct ProgramDirFacts {
  std::string homeOption;      // "--home DIR" / "--home=DIR" (empty: not given)
  std::string homeEnv;         // TARN_HOME (empty: not set)
  std::string exeDir;          // the executable's folder
  bool exeDirWritable = true;  // the user may create files there
  // The shipped data of an installed terminal: "<exeDir>/../share/tarn" when it holds the data
  // folders and the executable's folder does not (empty otherwise).
  std::string installedDataDir;
  std::string xdgDataHome;  // XDG_DATA_HOME (used only when absolute)
  std::string userHome;     // HOME, or the password database's home folder
};

struct ProgramDirChoice {
  std::string dir;         // the program directory (empty: none could be chosen, see error)
  std::string shippedDir;  // set when `dir` is a per-user folder to be made from this data
  std::string error;
};

// The rule: --home, then TARN_HOME, then the executable's folder when it is writable and not
// an installed layout, else "<XDG data home>/tarn" seeded from the installed data (or, for an
// unwritable folder that holds the data itself, from that folder).
ProgramDirChoice ChooseProgramDir(const ProgramDirFacts& facts);

// "<exeDir>/../share/tarn" when it holds the shipped data folders and `exeDir` does not (an
// installed terminal: <prefix>/bin/tarn beside <prefix>/share/tarn, also when a package is
// unpacked under another root); empty otherwise.
std::string InstalledDataDir(const std::string& exeDir);

// Reads the command line, the environment and the file system.
ProgramDirFacts GatherProgramDirFacts(int argc, char** argv);

struct ProgramDirStatus {
  bool ok = true;                     // false: no usable program directory (error says why)
  bool perUser = false;               // the per-user folder of an installed terminal
  std::string error;
  std::vector<std::string> warnings;  // shipped files that could not be laid out
};

// Chooses the program directory and, for a per-user one, makes it or brings its shipped files
// up to date. Call once at start; later calls change nothing.
ProgramDirStatus InitProgramDir(int argc, char** argv);

// The program directory as a native (UTF-8) path, without a trailing separator.
const std::string& ProgramDirNative();
// The program directory as a terminal text (GBK), without a trailing separator.
const std::string& ProgramDir();

// Turns a terminal path ("\config\setting.ini", GBK) into a native path under the program
// directory ("<home>/config/setting.ini", UTF-8). A path that does not start with a separator
// gets one.
std::string Path(std::string_view relative);

// Converts a whole terminal path (GBK, either separator) into a native path, without adding
// the program directory.
std::string NativePath(std::string_view gbkPath);

// Points the program directory elsewhere (tests, and --home handling). Not thread-safe: call
// before any other thread reads the directory.
void SetProgramDir(const std::string& nativeDir);

// The folder of the running executable.
std::string ExecutableDir();

}  // namespace tarn
