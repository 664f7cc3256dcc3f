#include "platform/program_dir.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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

void InitProgramDir(int argc, char** argv) {
  if (State().set) return;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc) {
      SetProgramDir(argv[i + 1]);
      return;
    }
    if (std::strncmp(argv[i], "--home=", 7) == 0) {
      SetProgramDir(argv[i] + 7);
      return;
    }
  }
  if (const char* env = std::getenv("TARN_HOME"); env && *env) {
    SetProgramDir(env);
    return;
  }
  SetProgramDir(ExecutableDir());
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
