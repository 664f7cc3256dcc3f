// The executables' command lines, and tarnctl run from an installed layout (<root>/usr/bin with
// the data in <root>/usr/share/tarn) with a fresh HOME.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "app/command_line.h"
#include "platform/shipped_files.h"
#include "support/test_support.h"

namespace tarn {
namespace {

ParsedCommandLine Parse(std::vector<std::string> words, bool endAtWord = false,
                        const std::vector<CommandLineOption>& table = TarnOptions()) {
  words.insert(words.begin(), "tarn");
  ArgvHolder args(words);
  return ParseCommandLine(args.argc(), args.argv(), table, endAtWord);
}

TEST(CommandLine, OptionsValuesAndTheNormalizedForm) {
  ParsedCommandLine p = Parse({"--home=/a b", "noinvoke", "--screenshot", "/shots", "-platform", "offscreen", "-h"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.Value("--home"), "/a b");
  EXPECT_EQ(p.Value("--screenshot"), "/shots");
  EXPECT_TRUE(p.Has("--help"));
  EXPECT_FALSE(p.Has("--version"));
  EXPECT_EQ(p.words, std::vector<std::string>{"noinvoke"});
  // Code that scans argv itself sees "--home VALUE"; the toolkit still gets its own options.
  EXPECT_EQ(p.normalized, (std::vector<std::string>{"tarn", "--home", "/a b", "noinvoke", "--screenshot", "/shots",
                                                    "-platform", "offscreen", "--help"}));
  // A value may start with a dash; "--" ends the options.
  p = Parse({"--password", "-secret", "--", "--version"});
  EXPECT_EQ(p.Value("--password"), "-secret");
  EXPECT_FALSE(p.Has("--version"));
  EXPECT_EQ(p.words, std::vector<std::string>{"--version"});
}

TEST(CommandLine, WrongUsageIsAnErrorWithTheOffendingOption) {
  EXPECT_EQ(Parse({"--bogus"}).error, "unrecognized option '--bogus'");
  EXPECT_EQ(Parse({"--bogus=1"}).error, "unrecognized option '--bogus'");
  EXPECT_EQ(Parse({"-x"}).error, "unrecognized option '-x'");
  EXPECT_NE(Parse({"--home"}).error.find("needs a value"), std::string::npos);
  EXPECT_NE(Parse({"--version=2"}).error.find("takes no value"), std::string::npos);
  // A subcommand's options are its own business.
  const std::vector<CommandLineOption> ctl = {{"--home", "DIR", "h"}, {"--help", "", "h"}};
  ParsedCommandLine p = Parse({"--home", "/h", "dump", "--all", "-x"}, true, ctl);
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.words, (std::vector<std::string>{"dump", "--all", "-x"}));
  EXPECT_EQ(Parse({"--all", "dump"}, true, ctl).error, "unrecognized option '--all'");
}

TEST(CommandLine, HelpListsTheDocumentedOptionsOnly) {
  const std::string help = TarnUsage("9.9.9");
  EXPECT_NE(help.find("9.9.9"), std::string::npos);
  for (const char* o : {"--home DIR", "--screenshot DIR", "--startup-report", "-h, --help", "--version", "noinvoke"})
    EXPECT_NE(help.find(o), std::string::npos) << o;
  EXPECT_EQ(help.find("-platform"), std::string::npos);
}

// Runs a command line in the shell; returns its exit code and standard output + error.
int RunShell(const std::string& command, std::string* output) {
  output->clear();
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) output->append(buf, n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstalledLayout, TarnctlWorksOnAPerUserFolderMadeFromTheShippedData) {
  namespace fs = std::filesystem;
  test::TempDir root;
  fs::create_directories(root.File("usr/bin"));
  fs::create_directories(root.File("home"));
  fs::create_directories(root.File("usr/share/tarn"));
  fs::copy_file(TARNCTL_PATH, root.File("usr/bin/tarnctl"));
  fs::copy(std::string(TARN_ASSETS_DIR) + "/config", root.File("usr/share/tarn/config"), fs::copy_options::recursive);
  const std::string env = "env -u TARN_HOME -u XDG_DATA_HOME HOME=" + root.File("home") + " ";
  const std::string ctl = root.File("usr/bin/tarnctl");
  std::string out;

  ASSERT_EQ(RunShell(env + ctl + " version", &out), 0) << out;
  const std::string perUser = root.File("home/.local/share/tarn");
  EXPECT_NE(out.find("program directory: " + perUser), std::string::npos) << out;
  EXPECT_TRUE(test::Exists(perUser + "/config/userblock.dat"));
  EXPECT_TRUE(test::Exists(perUser + "/" + kShippedManifest));
  // Private to the user: it will hold their accounts and orders.
  EXPECT_EQ(std::filesystem::status(perUser).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
  // Nothing was written beside the executable.
  EXPECT_FALSE(test::Exists(root.File("usr/bin/config")));
  EXPECT_FALSE(test::Exists(root.File("usr/bin/user")));

  // The user's changed file survives a newer version's data.
  test::WriteFile(perUser + "/config/userblock.dat", "mine");
  test::WriteFile(root.File("usr/share/tarn/config/userblock.dat"), "newer");
  test::WriteFile(root.File("usr/share/tarn/config/added.ini"), "[x]\n");
  ASSERT_EQ(RunShell(env + ctl + " version", &out), 0) << out;
  EXPECT_EQ(test::ReadFile(perUser + "/config/userblock.dat"), "mine");
  EXPECT_EQ(test::ReadFile(perUser + "/config/added.ini"), "[x]\n");

  // --home still wins; nothing is seeded there.
  ASSERT_EQ(RunShell(env + ctl + " --home " + root.File("elsewhere") + " version", &out), 0) << out;
  EXPECT_NE(out.find("program directory: " + root.File("elsewhere")), std::string::npos) << out;
  EXPECT_FALSE(test::Exists(root.File("elsewhere/config")));

  // The usual answers to --help, --version and a wrong option.
  EXPECT_EQ(RunShell(env + ctl + " --help", &out), 0);
  EXPECT_NE(out.find("Usage: tarnctl"), std::string::npos);
  EXPECT_EQ(RunShell(env + ctl + " --version", &out), 0);
  EXPECT_EQ(out.rfind("tarnctl (Tarn) ", 0), 0u) << out;
  EXPECT_EQ(RunShell(env + ctl + " --frobnicate", &out), 2);
  EXPECT_NE(out.find("unrecognized option '--frobnicate'"), std::string::npos) << out;
  EXPECT_EQ(RunShell(env + ctl, &out), 2);
}

}  // namespace
}  // namespace tarn
