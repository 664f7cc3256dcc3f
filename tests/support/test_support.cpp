#include "support/test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/program_dir.h"

namespace tarn::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tarn_test_XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedHome::ScopedHome() : previous_(ProgramDirNative()) { SetProgramDir(dir_.path()); }

ScopedHome::~ScopedHome() { SetProgramDir(previous_); }

std::string ScopedHome::Native(const std::string& terminalPath) const { return Path(terminalPath); }

void WriteFile(const std::string& nativePath, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(nativePath).parent_path());
  std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool Exists(const std::string& nativePath) { return std::filesystem::exists(nativePath); }

}  // namespace tarn::test
