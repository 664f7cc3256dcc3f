#include "app/command_line.h"

#include <algorithm>

namespace tarn {

std::string ParsedCommandLine::Value(const std::string& name) const {
  auto it = options.find(name);
  return it == options.end() ? std::string() : it->second;
}

ParsedCommandLine ParseCommandLine(int argc, char** argv, const std::vector<CommandLineOption>& table,
                                   bool optionsEndAtFirstWord) {
  ParsedCommandLine parsed;
  if (argc > 0 && argv && argv[0]) parsed.normalized.emplace_back(argv[0]);
  auto find = [&](const std::string& name) -> const CommandLineOption* {
    auto it = std::find_if(table.begin(), table.end(), [&](const CommandLineOption& o) { return o.name == name; });
    return it == table.end() ? nullptr : &*it;
  };
  bool onlyWords = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (onlyWords || arg.size() < 2 || arg[0] != '-') {
      parsed.words.push_back(arg);
      parsed.normalized.push_back(arg);
      if (optionsEndAtFirstWord) onlyWords = true;
      continue;
    }
    if (arg == "--") {
      onlyWords = true;
      parsed.normalized.push_back(arg);
      continue;
    }
    std::string name = arg == "-h" ? "--help" : arg;
    std::string value;
    bool inlineValue = false;
    if (const std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      inlineValue = true;
    }
    const CommandLineOption* option = find(name);
    if (!option) {
      parsed.error = "unrecognized option '" + name + "'";
      return parsed;
    }
    if (option->valueName.empty()) {
      if (inlineValue) {
        parsed.error = "option '" + name + "' takes no value";
        return parsed;
      }
    } else if (!inlineValue) {
      if (i + 1 >= argc) {
        parsed.error = "option '" + name + "' needs a value (" + option->valueName + ")";
        return parsed;
      }
      value = argv[++i];
    }
    parsed.options[name] = value;
    parsed.normalized.push_back(name);
    if (!option->valueName.empty()) parsed.normalized.push_back(value);
  }
  return parsed;
}

std::string OptionsHelp(const std::vector<CommandLineOption>& table) {
  std::string text;
  for (const CommandLineOption& o : table) {
    if (o.help.empty()) continue;
    std::string left = "  " + (o.name == "--help" ? "-h, --help" : o.name);
    if (!o.valueName.empty()) left += " " + o.valueName;
    if (left.size() < 24) left.resize(24, ' ');
    else left += "  ";
    text += left + o.help + "\n";
  }
  return text;
}

const std::vector<CommandLineOption>& TarnOptions() {
  static const std::vector<CommandLineOption> table = [] {
    std::vector<CommandLineOption> t = {
        {"--home", "DIR", "use DIR as the program directory (also TARN_HOME=DIR)"},
        {"--screenshot", "DIR", "log in with the demo account, write PNG images of the windows to DIR, exit"},
        {"--startup-report", "", "log in with the demo account, print the time and memory when the main frame is drawn, exit"},
        {"--account", "NAME", "the account --screenshot logs in with (default 8001)"},
        {"--password", "TEXT", "its password (default 888888)"},
        {"--help", "", "show this help and exit"},
        {"--version", "", "show the version and exit"},
    };
    // The GUI toolkit's own options pass through unlisted.
    for (const char* name : {"-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-style", "-stylesheet",
                             "-session", "-display", "-geometry", "-qwindowgeometry", "-qwindowtitle", "-qwindowicon",
                             "-name", "-title"})
      t.push_back({name, "VALUE", ""});
    for (const char* name : {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"}) t.push_back({name, "", ""});
    return t;
  }();
  return table;
}

std::string TarnUsage(const std::string& version) {
  return "Usage: tarn [OPTION]... [noinvoke]\n"
         "Tarn " + version + ", the futures trading and market-analysis terminal.\n\n"
         "Options:\n" + OptionsHelp(TarnOptions()) +
         "\n"
         "  noinvoke              do not hand over to an installed updater (\\update.exe)\n\n"
         "The program directory holds config/, user/, formula/, sound/ and icon/. It is the\n"
         "executable's folder; for an installed terminal it is $XDG_DATA_HOME/tarn\n"
         "(~/.local/share/tarn), made from the shipped files on the first start.\n";
}

ArgvHolder::ArgvHolder(std::vector<std::string> args) : args_(std::move(args)) {
  for (std::string& a : args_) ptrs_.push_back(a.data());
  ptrs_.push_back(nullptr);
  argc_ = static_cast<int>(args_.size());
}

}  // namespace tarn
