// Command lines of the executables in the usual form: "--name VALUE" or "--name=VALUE",
// "--flag", "-h" for "--help", "--" ending the options; an unknown option is wrong usage (the
// caller prints the message with "Try '... --help'" and ends with code 2).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarn {

struct CommandLineOption {
  std::string name;       // with its dashes: "--home", "-platform"
  std::string valueName;  // "DIR" for an option with a value; empty for a flag
  std::string help;       // one line for --help; empty: accepted but not listed
};

struct ParsedCommandLine {
  std::map<std::string, std::string> options;  // given options ("" for flags); the last one wins
  std::vector<std::string> words;              // everything that is not an option, in order
  // The command line with "--name=VALUE" split into "--name" "VALUE", for code that scans
  // argv itself (the program directory, the GUI toolkit).
  std::vector<std::string> normalized;
  std::string error;  // not empty: wrong usage, and the text to print

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  std::string Value(const std::string& name) const;
};

// Parses argv[1..]. With `optionsEndAtFirstWord` (a program with subcommands), the first plain
// word and everything after it are words, so that a subcommand reads its own options.
ParsedCommandLine ParseCommandLine(int argc, char** argv, const std::vector<CommandLineOption>& table,
                                   bool optionsEndAtFirstWord = false);

// The listed options, one a line: "  --home DIR      use DIR as the program directory".
std::string OptionsHelp(const std::vector<CommandLineOption>& table);

// The terminal's own command line: its options, its --help text.
const std::vector<CommandLineOption>& TarnOptions();
std::string TarnUsage(const std::string& version);

// Holds a normalized command line as a C argv (argv[argc] is null) for as long as it lives.
class ArgvHolder {
 public:
  explicit ArgvHolder(std::vector<std::string> args);
  ArgvHolder(const ArgvHolder&) = delete;
  ArgvHolder& operator=(const ArgvHolder&) = delete;
  int& argc() { return argc_; }
  char** argv() { return ptrs_.data(); }

 private:
  std::vector<std::string> args_;
  std::vector<char*> ptrs_;
  int argc_;
};

}  // namespace tarn
