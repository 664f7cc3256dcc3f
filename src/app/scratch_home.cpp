#include "app/scratch_home.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace tarn {
namespace fs = std::filesystem;

namespace {
constexpr const char* kDataFolders[] = {"config", "user", "formula", "sound", "icon", "update"};
}

ScratchHome::ScratchHome(const std::string& fromDir) {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) {
    error_ = "no temporary folder: " + ec.message();
    return;
  }
  std::string pattern = (base / "tarn-scratch-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) {
    error_ = "cannot make a folder under " + base.string();
    return;
  }
  const fs::path to(name.data());
  for (const char* folder : kDataFolders) {
    const fs::path from = fs::path(fromDir) / folder;
    if (!fs::is_directory(from, ec)) continue;
    fs::copy(from, to / folder, fs::copy_options::recursive, ec);
    if (ec) {
      error_ = "cannot copy " + from.string() + ": " + ec.message();
      fs::remove_all(to, ec);
      return;
    }
  }
  dir_ = to.string();
}

ScratchHome::~ScratchHome() {
  if (dir_.empty()) return;
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

}  // namespace tarn
