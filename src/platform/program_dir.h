// The program directory: the folder that holds the executable and every file of the terminal
// ("\config", "\user", "\formula", "\sound", "\icon", "\update").
//
// It is the folder of /proc/self/exe, unless the command line says "--home DIR" or the
// environment says TARN_HOME=DIR; it is computed once and has no trailing separator. Every
// test runs with a fresh temporary home of its own.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Reads "--home DIR" (or "--home=DIR") from the command line, then TARN_HOME, then falls back
// to the executable's folder. Call once at start; later calls change nothing.
void InitProgramDir(int argc, char** argv);

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
