#include "platform/program_dir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/file_io.h"
#include "platform/shipped_files.h"
#include "platform/text.h"

namespace tarn {
namespace {

struct Dir {
  bool set = false;
  std::string native;
  std::string gbk;
};

Dir& State() {
  static Dir dir;
  return dir;
}

std::string StripTrailing(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

}  // namespace

std::string ExecutableDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return StripTrailing(std::filesystem::current_path().string());
  buf[n] = '\0';
  std::string exe(buf);
  std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

void SetProgramDir(const std::string& nativeDir) {
  Dir& d = State();
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(nativeDir, ec);
  d.native = StripTrailing(ec ? nativeDir : p.lexically_normal().string());
  d.gbk = Utf8ToGbk(d.native);
  d.set = true;
}

namespace {

// The data folders a program directory holds; "config" is the one every layout has.
bool HoldsData(const std::filesystem::path& dir) {
  std::error_code ec;
  return std::filesystem::is_directory(dir / "config", ec);
}

std::string HomeOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc) return argv[i + 1];
    if (std::strncmp(argv[i], "--home=", 7) == 0) return argv[i] + 7;
  }
  return {};
}

std::string UserHome() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
  return {};
}

}  // namespace

ProgramDirChoice ChooseProgramDir(const ProgramDirFacts& f) {
  ProgramDirChoice choice;
  if (!f.homeOption.empty()) {
    choice.dir = f.homeOption;
    return choice;
  }
  if (!f.homeEnv.empty()) {
    choice.dir = f.homeEnv;
    return choice;
  }
  if (f.installedDataDir.empty() && f.exeDirWritable) {
    choice.dir = f.exeDir;
    return choice;
  }
  // An installed terminal (or one in a folder the user may not write): a folder of the user's
  // own, made from the shipped data.
  std::string dataHome;
  if (!f.xdgDataHome.empty() && f.xdgDataHome.front() == '/') {
    dataHome = f.xdgDataHome;
  } else if (!f.userHome.empty()) {
    dataHome = StripTrailing(f.userHome) + "/.local/share";
  } else {
    choice.error = "no home folder to keep the terminal's files in (set HOME, or use --home DIR)";
    return choice;
  }
  choice.dir = StripTrailing(dataHome) + "/tarn";
  choice.shippedDir = f.installedDataDir.empty() ? f.exeDir : f.installedDataDir;
  return choice;
}

std::string InstalledDataDir(const std::string& exeDir) {
  const std::filesystem::path exe(exeDir);
  const std::filesystem::path shared = (exe / ".." / "share" / "tarn").lexically_normal();
  if (!HoldsData(exe) && HoldsData(shared)) return StripTrailing(shared.string());
  return {};
}

ProgramDirFacts GatherProgramDirFacts(int argc, char** argv) {
  ProgramDirFacts f;
  f.homeOption = HomeOption(argc, argv);
  if (const char* env = std::getenv("TARN_HOME")) f.homeEnv = env;
  f.exeDir = ExecutableDir();
  f.exeDirWritable = access(f.exeDir.c_str(), W_OK) == 0;
  f.installedDataDir = InstalledDataDir(f.exeDir);
  if (const char* xdg = std::getenv("XDG_DATA_HOME")) f.xdgDataHome = xdg;
  f.userHome = UserHome();
  return f;
}

ProgramDirStatus InitProgramDir(int argc, char** argv) {
  ProgramDirStatus status;
  if (State().set) return status;
  const ProgramDirChoice choice = ChooseProgramDir(GatherProgramDirFacts(argc, argv));
  if (choice.dir.empty()) {
    status.ok = false;
    status.error = choice.error;
    SetProgramDir(ExecutableDir());
    return status;
  }
  if (!choice.shippedDir.empty()) {
    status.perUser = true;
    // The folder holds the user's accounts and orders: made private to the user.
    std::error_code ec;
    const bool fresh = !std::filesystem::exists(choice.dir, ec);
    if (fresh && MakeDirs(choice.dir)) ::chmod(choice.dir.c_str(), 0700);
    if (!MakeDirs(choice.dir)) {
      status.ok = false;
      status.error = "cannot make the program directory " + choice.dir;
    } else {
      status.warnings = SeedShippedFiles(choice.shippedDir, choice.dir).errors;
    }
  }
  SetProgramDir(choice.dir);
  return status;
}

const std::string& ProgramDirNative() {
  if (!State().set) InitProgramDir(0, nullptr);
  return State().native;
}

const std::string& ProgramDir() {
  if (!State().set) InitProgramDir(0, nullptr);
  return State().gbk;
}

std::string NativePath(std::string_view gbkPath) {
  std::string utf8 = GbkToUtf8(gbkPath);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

std::string Path(std::string_view relative) {
  std::string rel = NativePath(relative);
  if (rel.empty() || rel.front() != '/') rel.insert(rel.begin(), '/');
  const std::string& home = ProgramDirNative();
  if (home == "/") return rel;
  return home + rel;
}

}  // namespace tarn
