// tarnctl, the administrators' command-line tool: each subsystem adds its subcommands in a
// file of its own (cmd_*.cpp) with TARNCTL_COMMAND, so that no file lists them all.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnctl {

struct Command {
  std::string name;     // first word on the command line, e.g. "encipher" or "formula"
  std::string usage;    // one line: "encipher TEXT   print the enciphered address text"
  // Runs with the words after the name; returns the process exit code (0 success, 1 failure,
  // 2 wrong usage). Output goes to standard output, errors to standard error.
  std::function<int(const std::vector<std::string>& args)> run;
};

// Adds a command to the registry (used by TARNCTL_COMMAND at static initialisation).
bool Register(Command command);
const std::vector<Command>& Commands();

// Writes a GBK text to standard output as UTF-8 (the terminal's texts are GBK inside).
void PrintGbk(const std::string& gbk);

}  // namespace tarnctl

#define TARNCTL_CONCAT2(a, b) a##b
#define TARNCTL_CONCAT(a, b) TARNCTL_CONCAT2(a, b)
// TARNCTL_COMMAND("name", "usage line", [](const std::vector<std::string>& args) { ... });
#define TARNCTL_COMMAND(name, usage, fn) \
  static const bool TARNCTL_CONCAT(tarnctl_registered_, __LINE__) = ::tarnctl::Register({name, usage, fn})
